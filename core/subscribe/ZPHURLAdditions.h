#pragma once

// Address rules shared by the feed finder and the windows that take an
// address from the user: the cleaned form the finder compares addresses in,
// tidying what a user typed, turning feed: and rss: addresses into web
// addresses, and showing an address without its scheme.

#include <QtCore/QString>
#include <QtCore/QUrl>

// The URL with "." and ".." path segments resolved: the form in which the
// feed finder compares and records addresses.
QUrl zph_cleanedUpAbsoluteStandardizedURL(const QUrl& url);

// The address to search for typed text, or an invalid URL when none can be
// made. Blanks around the text are trimmed. An http or https address is
// kept; a feed: or rss: address becomes its web address; text without a
// scheme ("example", "example.com/news", "localhost:8080/feed") becomes an
// http address, ".com" added to a host name without a dot and without a port,
// and "/" as the path when there is none. Any other scheme ("file:",
// "javascript:", "mailto:") gives an invalid URL. Runs of slashes in the
// path are squeezed to one.
QUrl zph_cleanedUpURLWithUserInputString(const QString& string);

// The cleaned URL with every run of two or more slashes in its path squeezed
// to one; the query and fragment are left alone. Invalid for invalid.
QUrl zph_scrubDuplicateSlashes(const QUrl& url);

// True when the scheme is http or https, in any case.
bool zph_urlIsHTTPOrHTTPS(const QUrl& url);

// The web address a feed address of `scheme` stands for: "S://host/x"
// becomes "http://host/x", and "S:http://..." or "S:https://..." (also
// "http:S://..." and "https:S://...") drop the S. Only the start of the
// address is rewritten. Invalid unless the result is an http or https
// address with a host; `scheme` must not be empty.
QUrl zph_urlWithRationalizedSchemeForFeedCheckingForScheme(const QUrl& url, const QString& scheme);

// An http or https URL unchanged; else the rationalized form for "feed",
// then for "rss"; invalid when neither gives one.
QUrl zph_urlWithRationalizedSchemeForFeed(const QUrl& url);

// The address for display: the feed scheme rationalized, every "http://"
// and "https://" removed.
QString zph_userPresentableStringFromURL(const QUrl& url);

// True for a file URL whose path does not exist, false for every other URL.
bool zph_isRelativeURLThatWillLikelyFail(const QUrl& url);
