#pragma once

// Entity and character-reference conversion of the older unprefixed string
// family: escaping text for HTML, undoing the XML escapes, turning characters
// above ASCII into entities, full entity decoding and repair of unpaired
// UTF-16 surrogates. A null QString stands for "null".

#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QVariant>

extern const QString ZPHAmp38;      // "&#38;"
extern const QString ZPHAmpersand;  // "&"

// Null for null; otherwise a copy with "&lt;", "&#60;", "&#x3C;", "&#x3c;" ->
// "<", "&gt;", "&#62;", "&#x3E;", "&#x3e;" -> ">", "&quot;", "&#34;", "&#x22;"
// -> '"', "&apos;", "&#39;", "&#x27;" -> "'", and last "&amp;", "&#38;",
// "&#x26;" -> "&" (so "&amp;lt;" gives "&lt;").
QString CBStringUnescapeXMLEntities(const QString& string);

namespace CobbletonExtras {

// The entity table shared with the decoder (CBEntitiesDictionary()).
const QHash<QString, QString>& _entitiesDictionary();

// "&name;" for the table entry whose value equals `character`, a named entry
// winning over a numeric one ("&eacute;", "&#149;"); null when no value
// equals it.
QString entityForCharacterString(const QString& character);

// The entity decoder (cb_stringWithDecodedEntities) with carets converted and
// all entities, with the given caret flag, or with both flags.
QString stringWithDecodedEntities(const QString& string);
QString stringWithDecodedEntities(const QString& string, bool convertCarets);
QString stringWithDecodedEntities(const QString& string, bool convertCarets, bool hexEntitiesOnly);

// stringWithDecodedEntities(string, convertCarets); `unused` is not read.
QString convertFromCommonEntities(const QString& string, const QVariant& unused, bool convertCarets);

// Scans `string` as hexadecimal into *value; true when a number was scanned.
bool intValueFromHexDigit(const QString& string, uint* value);

// "&" -> "&amp;" first, then ">" -> "&gt;", "<" -> "&lt;", '"' -> "&quot;".
QString convertEntities(const QString& string);

// True when any UTF-16 code unit is 128 or above.
bool hasHighChars(const QString& string);

// The string itself without high characters; else every code point up to 127
// copied and every other one written as its entity (entityForCharacterString)
// or as "&#N;" with its code point; an unpaired surrogate becomes "&#65533;".
QString convertHighCharsToEntities(const QString& string);

// "&amp;" and then "&#38;" replaced by "&".
QString stringWithAmpersandEntitiesDecoded(const QString& string);

// The string itself (shared, not copied) when its surrogates are all
// correctly paired; else a copy of the same length in which every unpaired
// high or low surrogate is U+FFFD.
QString zph_stringByReplacingSingularSurrogates(const QString& string);

// In place: "&amp;", then "&#38;", each replaced by "&".
void replaceAmpersandEntities(QString& string);

// In place: ZPHAmp38 replaced by ZPHAmpersand.
void replaceEntity38WithAmpersand(QString& string);

// In place, only when the string holds both "&" and ";": the replacements of
// CBStringUnescapeXMLEntities.
void replaceXMLCharacterReferences(QString& string);

}  // namespace CobbletonExtras
