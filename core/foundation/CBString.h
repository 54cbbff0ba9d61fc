#pragma once

// String, URL and HTML helpers of the core library: C functions over strings
// and URL strings, and the cb_ string methods as free functions (the
// mutable-string ones change their QString& argument in place). A null
// QString stands for "null" and is kept distinct from an empty one. Lengths
// and indexes count UTF-16 code units; searches are literal and
// case-sensitive unless a comment says otherwise.

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QStringView>
#include <QtCore/QVariantMap>

#include <optional>

// ---------------------------------------------------------------------------
// C functions

// True for a null or empty string.
bool CBStringIsEmpty(const QString& string);

// True only when both are non-null, non-empty and equal.
bool CBEqualNotEmptyStrings(const QString& string1, const QString& string2);

// True when both are null; false when exactly one is null; else equality.
bool CBEqualStrings(const QString& string1, const QString& string2);

// The second when the first is null, the first when the second is null, else
// their concatenation.
QString CBAddStrings(const QString& string1, const QString& string2);

// Null for a null string; the string itself when target or replacement is
// null (or the target empty); else a copy with every occurrence replaced.
QString CBStringReplaceAll(const QString& string, const QString& target, const QString& replacement);

// "<a href="URL">text</a>" with the text and the address escaped for HTML.
// Only http, https and mailto addresses become links; for any other (or no
// valid) address the answer is the escaped text alone. The address is
// written as the URL parser read it (trimmed and percent-encoded), so the
// page sees the same address that was checked.
QString CBStringCreateLink(const QString& text, const QString& urlString);

// Percent-escaped (UTF-8), leaving letters, digits and the characters legal
// in a URL ("-_.~!*'();/?:@&=+$,#") as they are.
QString CBStringByAddingPercentEscapes(const QString& string);

// Every percent escape decoded (UTF-8); null for null, for a malformed escape
// or for bytes that are not UTF-8.
QString CBURLDecodedString(const QString& string);

// "mailto:?subject=...&body=..." with the title and body percent-encoded in
// full (every byte but letters, digits and "-._~"), so that they arrive as
// written; a null title or body gives an empty part.
QString CBStringMailToLinkWithTitleAndBody(const QString& title, const QString& body);

// True for a non-empty string starting with "http://", "https://" or
// "file://" (exact case) that parses as a URL.
bool CBStringIsWebOrFileURLString(const QString& string);

// True when the string starts with "feed:", ignoring case.
bool CBURLIsFeedURL(const QString& string);

// The web address of a feed: address. A string that does not start with
// "feed:" comes back unchanged. "feed://host/path" gives "http://host/path";
// a feed: address wrapping a web address ("feed:https://x/y",
// "feed://http://x") gives that address. Any other result is null: the answer
// for a feed: address is always an http or https URL with a host, or null.
QString CBURLWithFeedURL(const QString& string);

// Index of the first `character` strictly between the first and the last
// character; -1 when there is none or the string is shorter than 3.
qsizetype CBStringIndexOfFirstInstanceOfCharacter(const QString& string, QChar character);

// {before, after} split at that index; an empty list when there is none.
QStringList CBArraySeparatedByFirstInstanceOfCharacter(const QString& string, QChar character);

// The text after that index, or null.
QString CBStringStartingAfterCharacter(const QString& string, QChar character);

// The text after the first "?" found by that rule, or null.
QString CBQueryStringFromURLString(const QString& urlString);

// name=value pairs joined by "&" -> map of percent-decoded names and values
// (a later pair replaces an earlier one); pairs without a non-empty name and
// value, or that do not decode, are skipped. No value for a null string.
std::optional<QHash<QString, QString>> CBDictionaryFromURLParametersString(const QString& parameters);

// CBDictionaryFromURLParametersString of the URL's query; no value without a
// query.
std::optional<QHash<QString, QString>> CBDictionaryFromURLString(const QString& urlString);

// Tag-free text: characters inside "<...>" dropped, a space written where a
// tag closes, a space after a kept space dropped. Null for null; the string
// itself without "<". A stray ">" never hides text.
QString CBStringStripHTML(const QString& string);

// The leading integer of a text as a string's intValue reads it: white
// space, an optional sign, digits up to the first non-digit; clamped to the
// int range; 0 without digits.
int CBStringIntValue(QStringView text);

// Bytes to text: UTF-16 with a byte-order mark, else the first of UTF-8,
// ISO Latin-1, ... that decodes. Null for null data.
QString CBStringUsefulStringWithData(const QByteArray& data);

// ---------------------------------------------------------------------------
// Strings

// Substring tests, case-sensitive / ignoring case; an empty needle is never
// found.
bool cb_contains(const QString& string, const QString& substring);
bool cb_caseInsensitiveContains(const QString& string, const QString& substring);

// The string without the prefix / suffix when it has it, else the string.
QString cb_stringByStrippingPrefix(const QString& string, const QString& prefix);
QString cb_stringByStrippingSuffix(const QString& string, const QString& suffix);
QString cb_stringByStrippingCaseInsensitivePrefix(const QString& string, const QString& prefix);
QString cb_stringByStrippingCaseInsensitiveSuffix(const QString& string, const QString& suffix);

// The string without the text from its last "?" on; the string itself when
// it has no "?".
QString cb_stringByStrippingURLQuery(const QString& string);

// Leading and trailing white space (and line breaks) removed.
QString cb_stringByTrimmingWhitespace(const QString& string);

// A copy with cb_collapseWhitespace applied.
QString cb_stringByCollapsingWhitespace(const QString& string);

// The empty string when the string is not longer than `count`; else the
// string without its last `count` characters.
QString cb_stringByTrimmingCharactersFromEnd(const QString& string, int count);

// CBStringReplaceAll(string, target, replacement).
QString cb_replaceAll(const QString& string, const QString& target, const QString& replacement);

// MD5 of the UTF-8 bytes as 32 lower-case hexadecimal digits.
QString cb_md5HashString(const QString& string);

// cb_md5HashString, used as a cache file name.
QString cb_URLStringSafeForFileSystem(const QString& string);

// A new random UUID, "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in upper case.
QString cb_uuidString();

// The file read as UTF-8; when that fails, decoded by its byte-order mark;
// null when the file cannot be read or decoded.
QString cb_stringWithContentsOfUTF8EncodedFile(const QString& path);

// Text from UTF-8 bytes; null for null data or invalid UTF-8.
QString cb_stringWithUTF8EncodedData(const QByteArray& data);

// The two strings one after the other (a null one adds nothing).
QString cb_stringByAddingStrings(const QString& string1, const QString& string2);

// "@2x" inserted before the last "."; null for strings shorter than 10
// characters or without ".".
QString cb_stringByInserting2XSignifier(const QString& string);

// Null for null; the string itself unless it holds "<" and a later ">"; else
// the text between the first "<" and the next ">", trimmed.
QString cb_stringStrippedForItsURL(const QString& string);

// Tag-free text, white space runs written as one space, stopping after
// `maxCharacters` kept characters when that is above 0; no ellipsis. Markup
// is what HTML reads as markup: tags (a ">" inside a quoted attribute value
// does not end one), comments, declarations; a "<" before anything but a
// letter, "/", "!" or "?" is text, as is a ">" outside markup. The tags of
// blocks, list items, table cells and rows, rules and line breaks leave one
// blank between the words around them ("<p>a</p><p>b</p>" gives "a b");
// inline tags leave none. References stay as written. Null for null;
// without "<" the string itself or its first `maxCharacters` characters.
QString cb_stringWithStrippedHTML(const QString& string, int maxCharacters);

// Null for null; else trimmed, then tabs and line breaks become spaces and
// runs of spaces collapse to one.
QString cb_stringWithCollapsedWhitespace(const QString& string);

// Every character outside the letters, marks and digits / outside the decimal
// digits removed. Null for null.
QString cb_stringWithCollapsedNonAlphaNumericCharacters(const QString& string);
QString cb_stringWithCollapsedNonNumbericCharacters(const QString& string);

// The text before / after the first occurrence of `substring`; null when it
// is not found or starts the string; the "after" form is also null when
// nothing follows it.
QString cb_substringToFirstOccurenceOfString(const QString& string, const QString& substring);
QString cb_substringAfterFirstOccurenceOfString(const QString& string, const QString& substring);

// The first `count` words (split at " ", joined with " "); no ellipsis added.
QString cb_ellipsizeAfterNWords(const QString& string, int count);

// For a non-empty name, writes the name without its extension and the
// extension; else leaves both untouched.
void cb_splitFilenameWithSuffix(const QString& filenameWithSuffix, QString* filename, QString* suffix);

// False unless the URL string holds "@" and "//". Else takes the text after
// the first "//", up to the first "/", up to the first "@", and splits it at
// ":": the percent-decoded first piece is the user name, the second the
// password (null when there is none); writes both and answers true.
bool cb_usernameAndPasswordFromURL(const QString& urlString, QString* username, QString* password);

// A feed's author text split into a name and an e-mail address, white space
// collapsed: "x@example.com (Jane Doe)", "Jane Doe (x@example.com)" and
// "Jane Doe <x@example.com>" (quotes around the name dropped, a "mailto:"
// before the address too) give both; an address alone gives the address;
// text without "@" is a name. Anything else is kept whole as the e-mail.
// Both null for empty text.
void CBSplitAuthorNameAndEmail(const QString& text, QString* name, QString* email);

// The URL without its user name and password (FullyEncoded string form); the
// string itself when it has none or does not parse as a URL.
QString cb_URLStringWithUsernameAndPasswordRemoved(const QString& urlString);

// Percent-escaped (UTF-8) for a form or query value: only letters, digits
// and "-_.~()" stay as they are.
QString cb_stringWithURLEncoding(const QString& string);

// "name=value" of the two cb_stringWithURLEncoding forms.
QString cb_stringWithURLEncodedNameValuePair(const QString& name, const QString& value);

// The name=value pairs of every key, keys in sorted order, joined by "&".
QString cb_stringWithURLEncodedNameValuePairsFromDictionarySortedByKey(const QVariantMap& dictionary);

// Byte counts for display: "N bytes", "1.5 KB", "2.0 MB", "3.9 GB" (one
// decimal, truncated).
QString cb_byteString(quint64 count);
QString cb_kilobyteString(quint64 count);
QString cb_megabyteString(quint64 count);
QString cb_gigabyteString(quint64 count);

// The "%f" text of the number cut after its first decimal (1.99 -> "1.9").
QString cb_doubleStringWithOneDecimalPlace(double number);

// A copy with cb_replaceXMLCharacterReferences applied.
QString cb_stringByReplacingXMLCharacterReferences(const QString& string);

// A copy with "&" -> "&amp;" first, then ">" -> "&gt;", "<" -> "&lt;" and
// '"' -> "&quot;"; the apostrophe is left.
QString cb_stringByReplacingReservedXMLCharactersWithReferences(const QString& string);

// A title for people from a feed's title markup, read once: script and style
// elements removed with their text, every other tag removed (as the tag
// strippers read markup; block tags and line breaks leave a blank), then
// every reference decoded once into the character it stands for
// (CBTextWithDecodedEntities) and white space collapsed: "a &lt;b&gt;
// <b>c</b>" gives "a <b> c". Plain text: escape it to put it into HTML. Null
// for null.
QString cb_stringByMakingPlainTextTitle(const QString& string);

// The string with every element named in `tagNames` (start tag, content, end
// tag; case-insensitive) removed; the string itself for an empty list; null
// (and a logged error) when the names make an invalid pattern.
QString cb_stringByFilteringHTMLTagContentsWithinTagsWithNames(const QString& string, const QStringList& tagNames);

// ---------------------------------------------------------------------------
// Images in HTML

// True for an empty URL or one holding an advertising, tracking or sharing
// image fragment (ignoring case).
bool cb_isIgnorableImgURLString(const QString& urlString);

// The image walks below look at a bounded amount of text: when hostile HTML
// makes image tags overlap heavily, they stop early (with a log line).

// The sources of all image tags, in order, references replaced.
QStringList cb_allImgURLStringsInHTML(const QString& html);

// The first image source that is not ignorable and whose declared width and
// height (when given) are at least 32, references replaced; null when there
// is none or the first tag without a source comes first.
QString cb_firstImgURLStringInHTML(const QString& html);

// The source address of one image tag ("<img" to its ">"); null without one.
QString cb_sourceOfImageTag(const QString& tag);

// The integer width / height declared in an image tag.
std::optional<int> cb_widthOfImageTag(const QString& tag);
std::optional<int> cb_heightOfImageTag(const QString& tag);

// The value of the attribute `name` in a tag; null when absent or empty.
QString cb_htmlTagAttributeValue(const QString& tag, const QString& name);

// ---------------------------------------------------------------------------
// Mutable strings (changed in place)

// Appends unless `other` is null.
void cb_safeAppendString(QString& string, const QString& other);

// Literal replace-all when both are non-null (and the target non-empty).
void cb_replaceOccurrencesOfString(QString& string, const QString& target, const QString& replacement);

// "&#38;" becomes "&".
void cb_replaceEntity38WithAmpersand(QString& string);

// Tabs and line breaks become spaces, runs of spaces collapse to one, white
// space at both ends is trimmed.
void cb_collapseWhitespace(QString& string);

// Only when the string holds both "&" and ";": "&lt;", "&gt;", "&quot;",
// "&apos;" and their numeric forms, "&nbsp;", "&mdash;", "&ldquo;",
// "&rdquo;" and last the ampersand references replaced by their characters.
void cb_replaceXMLCharacterReferences(QString& string);

// A new string with the three appended in order, null ones skipped.
QString cb_mutableStringByAddingThreeStrings(const QString& s1, const QString& s2, const QString& s3);

// Tag-free text like cb_stringWithStrippedHTML; when the walk stopped at
// `maxCharacters`, the text from the last white space on becomes "...". Null
// for null or empty input.
QString cb_mutableStringWithStrippedHTML(const QString& string, int maxCharacters);
