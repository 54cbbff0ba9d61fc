#pragma once

// Decoding of HTML character references (named and numeric) in feed titles,
// link titles and article text. Decoding never turns text into markup: the
// references for "&", "<" and ">" stay encoded.

#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QStringView>

#include <cstddef>
#include <string_view>

// The entity table: reference name (the text between "&" and ";", e.g.
// "eacute" or "#233") -> replacement text. 234 entries, each the character
// HTML gives the reference ("frac12" is "\u00BD", "nbsp" U+00A0, "#150" the
// Windows-1252 en dash); "amp", "lt" and "gt" map to "&amp;", "&lt;",
// "&gt;". Built once on first use, read-only after.
const QHash<QString, QString>& CBEntitiesDictionary();

// The text the named reference "&name;" stands for in feed and article text:
// the value of CBEntitiesDictionary() when it has the name, else the value of
// HTML's full table (ZPHHTMLNamedCharacterReferences.h); "&", "<" and ">"
// kept encoded ("&LT;" gives "&lt;"). Null for a name HTML does not know;
// names are case-sensitive.
QString CBNamedCharacterReferenceText(QStringView name);
// The same text as UTF-8 (valid for the life of the process, its length in
// *length); null for a name HTML does not know.
const char* CBNamedCharacterReferenceUTF8(std::string_view name, std::size_t* length);

// Decodes the references in `string`. Named references are looked up with
// CBNamedCharacterReferenceText() and numeric ones in the table first, unless
// `convertHexEntitiesOnly` is set (which, despite its name, still
// decodes decimal references as well as hexadecimal ones). A numeric
// reference ("&#233;", "&#xe9;", "&#XE9;") gives the character with that code
// point when it is 1..0x10FFFF and not a surrogate (128..159 as HTML reads
// them: the Windows-1252 characters); other values stay as written.
// Numeric references to "&" become "&amp;"; those to "<" and ">" become
// "&lt;"/"&gt;", or stay as written when carets are to stay encoded
// (`convertCarets` false or `convertHexEntitiesOnly` true) - like the named
// references that stand for them ("&lt;", "&GT;"). Unknown references are
// copied as written. A string without "&" comes back unchanged.
QString cb_stringWithDecodedEntities(const QString& string, bool convertCarets, bool convertHexEntitiesOnly);

// cb_stringWithDecodedEntities(string, true, false).
QString cb_stringWithDecodedEntities(const QString& string);

// The same as cb_stringWithDecodedEntities(string).
QString CBStringWithDecodedEntities(const QString& string);

// Text for people, not markup: every reference decoded once, those for "&",
// "<" and ">" into the characters themselves ("&amp;lt;" gives "&lt;").
// Never put the result into HTML unescaped.
QString CBTextWithDecodedEntities(const QString& string);

// Markup that means the same with every reference HTML knows decoded as
// above, for a parser that knows fewer: references to "&", "<", ">", '"' and
// "'" become the numeric ones every parser reads ("&#38;", "&#60;", "&#62;",
// "&#34;", "&#39;"), so the structure of the markup does not change.
QString CBMarkupWithDecodedEntities(const QString& markup);

// Scans `string` as a hexadecimal number (leading white space and a "0x"
// prefix accepted, digits up to the first non-digit; too large a number gives
// 0xFFFFFFFF) into *value and answers true; leaves *value unchanged and
// answers false when no digit can be scanned.
bool cb_intValueFromHexDigit(const QString& string, quint32* value);
