#pragma once

// String extras of the older unprefixed family: substring tests, prefix and
// suffix stripping, user name and password in URL strings, file-system-safe
// names for URLs, the first e-mail address in a text, byte-order-mark
// removal, key paths, removal of leading articles for sorting and
// type-select, white-space collapsing, and C string functions beside them
// (byte-size strings, line breaks to <br /> tags, mailto: links). Several
// members share a name with a cb_ function of foundation/CBString.h; the two
// are separate functions and each keeps its own behaviour (where the rules
// agree, the function here calls the cb_ one).
//
// A null QString stands for "null" and is kept distinct from an empty one.
// Lengths and indexes count UTF-16 code units.
//
// Pasteboard writing and text measuring of this family live with the user
// interface, not here.

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>

// Pasteboard types.
extern const QString URLCorePboardType;            // "CorePasteboardFlavorType 0x75726C20": the URL string
extern const QString URLNameCorePboardType;        // "CorePasteboardFlavorType 0x75726C6E": the URL's title
extern const QString WebURLsWithTitlesPboardType;  // "WebURLsWithTitlesPboardType": [[URL strings], [titles]]

namespace CobbletonExtras {

// ---- Strings ----

// Whether `substring` occurs in `string`, ignoring case (contains,
// caseInsensitiveContains) or exactly (caseSensitiveContains). An empty
// substring is never found.
bool contains(const QString& string, const QString& substring);
bool caseInsensitiveContains(const QString& string, const QString& substring);
bool caseSensitiveContains(const QString& string, const QString& substring);

// False, outputs untouched, unless the URL string holds "@" and "//". Else
// the text after the first "//", cut at the first "/" and then at the first
// "@", split at ":": the first piece (percent-decoded) is the user name, the
// second the password (null when there is none); writes both, answers true.
bool usernameAndPasswordFromURL(const QString& urlString, QString* username, QString* password);

// When a user name and a password are found and both are non-empty, every
// occurrence of "user:password@" (built from the decoded values) removed;
// else the string unchanged.
QString urlWithUsernameAndPasswordRemoved(const QString& urlString);

// CBStringReplaceAll(string, target, replacement).
QString cb_replaceAll(const QString& string, const QString& target, const QString& replacement);

// Leading and trailing white space and line breaks removed.
QString cb_trimWhiteSpace(const QString& string);

// CBStringStripHTML(string).
QString cb_stripHTML(const QString& string);

// A copy with collapseWhitespace applied.
QString collapsedWhiteSpaceString(const QString& string);

// True for a non-empty string that starts with "http://", "https://" or
// "file://" (exact case) and parses as a URL.
bool isGoodURLString(const QString& string);

// The text before / after the first occurrence of `substring`; null when it
// is not found or starts the string; the "after" form is also null when
// nothing follows it.
QString substringToFirstOccurenceOfString(const QString& string, const QString& substring);
QString substringAfterFirstOccurenceOfString(const QString& string, const QString& substring);

// A readable name for a URL: user name and password removed (when the string
// holds "@"), a leading "http://", "https://" or "file://" dropped, and every
// "/", "." and ":" written "_" ("https://www.example.org/a.b" gives
// "www_example_org_a_b").
QString URLStringSafeForFileSystem(const QString& string);

// The first token holding exactly one "@", tokens being separated by tab,
// line feed, carriage return, blank, "(", ")", "<" and ">"; a second "@"
// ends a token unused and starts a new one after it. Null when there is none
// or the string is shorter than 2 characters.
QString firstEmailAddress(const QString& string);

// The string without a leading article ("the ", "a ", "an ", "der ",
// "l'", "les ", "una ", ...) for sorting and type-select; a leading double
// quote is dropped too. The rest keeps its own letters, except after a
// leading double quote or the article "a ", when it is lower-cased. A
// string too short to hold more than the article comes back unchanged.
QString zph_stringByRemovingLeadingArticles(const QString& string);

// Compares the two strings without their leading articles, ignoring case and
// comparing runs of digits by value, in the user's current locale: -1, 0 or
// 1.
int zph_ignoringArticleCompare(const QString& string, const QString& other);

// The string without the suffix / prefix when it ends / starts with it,
// compared in lower case; else the string.
QString stripSuffix(const QString& string, const QString& suffix);
QString stripPrefix(const QString& string, const QString& prefix);

// CBStringCreateLink(text, urlString).
QString createLink(const QString& text, const QString& urlString);

// Text from UTF-8 bytes; null for null data or invalid UTF-8.
QString stringWithUTF8EncodedData(const QByteArray& data);

// CBStringUsefulStringWithData(data).
QString usefulStringWithData(const QByteArray& data);

// The file read as UTF-8; when that fails, decoded by its byte-order mark;
// null when both fail.
QString stringWithContentsOfUTF8EncodedFile(const QString& path);

// Null for null; the string when it holds no "?"; else the text before its
// last "?".
QString stringWithQueryStripped(const QString& string);

// The string with a leading byte-order mark removed, its bytes held one per
// character (EF BB BF; 00 00 FE FF or FF FE 00 00; FE FF or FF FE, tested in
// that order). A mark is removed only when at least one character follows
// it. Null for null.
QString stringWithByteOrderMarkRemoved(const QString& string);

// The components joined with "." in order; null when the first is null.
// Further components end at the first null one.
QString zph_keyPathWithComponents(const QString& first, const QStringList& further = {});

// ---- Mutable strings (changed in place) ----

// Appends unless `other` is null.
void safeAppendString(QString& string, const QString& other);

// Literal replace-all over the whole string; nothing when either argument is
// null (or the target is empty).
void cb_replaceOccurrencesOfString(QString& string, const QString& target, const QString& replacement);

// Trims white space and line breaks at both ends, writes every tab, carriage
// return and line feed as a blank and collapses runs of blanks to one.
void collapseWhitespace(QString& string);

// A new string of the three parts in order, null parts skipped.
QString stringWithThreeParts(const QString& s1, const QString& s2, const QString& s3);

// A new empty (not null) string.
QString emptyMutableString();

}  // namespace CobbletonExtras

// ---------------------------------------------------------------------------
// C functions

// Whether `substring` occurs in `string`, ignoring case.
bool CBStringContains(const QString& string, const QString& substring);

// A copy with CobbletonExtras::collapseWhitespace applied.
QString CBStringCollapsedWhiteSpaceString(const QString& string);

// True for a null or empty string and for one of white space only.
bool CBStringIsEmptyOrIsAllWhitespace(const QString& string);

// Byte counts for display: up to 1023 "N bytes", then "1.5 KB" (up to
// 1,048,575), "2.0 MB" (up to 1,073,741,823) and "3.9 GB"; one decimal,
// truncated.
QString CBKilobyteString(quint64 bytes);
QString CBMegabyteString(quint64 bytes);
QString CBGigabyteString(quint64 bytes);

// The "%f" text of the value cut after its first decimal (1.99 -> "1.9").
QString CBDoubleStringWithOneDecimalPlace(double value);

// The two strings one after the other (a null one adds nothing); never null.
QString CBConcatenateStrings(const QString& string1, const QString& string2);

// "\r\n", "\n" and "\r" each become "<br />", and runs of more than two
// "<br />" are cut to two. Null for null.
QString CBStringWithLineBreaksConvertedToBRTags(const QString& string);

// The name unchanged when it holds no ":"; else the text between its first
// and second ":" ("atom:link" gives "link").
QString CBStringWithNamespaceStripped(const QString& name);

// "mailto:RECIPIENT?subject=TITLE&body=BODY", each value percent-escaped
// (CBStringByAddingPercentEscapes) with "&" written "%26"; a null value
// gives an empty one.
QString CBStringMailToLinkWithTitleAndBodyAndRecipient(const QString& title, const QString& body,
                                                       const QString& recipient);

// The text before the first "?" that lies strictly inside the string
// (CBArraySeparatedByFirstInstanceOfCharacter); the string unchanged when
// there is none.
QString CBURLStringWithStrippedQueryString(const QString& urlString);

// The difference of two HTML texts. No differ ships with the program: the
// new text is returned (null counting as empty).
QString CBHTMLDiff(const QString& oldHTML, const QString& newHTML);
