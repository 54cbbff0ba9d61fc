#pragma once

// The event-driven base of every XML reader: drives libxml2's SAX2 push
// parser over a whole buffer and turns its callbacks into four hooks, with a
// character buffer that subclasses switch on and off per element and a
// stack of per-element attribute dictionaries.
//
// Hostile input is bounded here:
// - namespaces on, no network, no DTD loading, no external entities, never
//   entity substitution; libxml2's own limits stay on (no "huge" mode: depth
//   256, 10 MB per name, attribute value or pending token);
// - a reference to a general entity other than XML's five resolves to the
//   text of HTML's named reference of that name
//   (CBNamedCharacterReferenceText), and a name HTML does not know stays in
//   the text as written ("&bogus;"); entities the document declares are
//   never stored, so a billion-laughs document never expands and never ends
//   the parse;
// - only the attributes the document wrote reach the readers (defaults from
//   an <!ATTLIST> of its own DTD never do), and the attribute values of one
//   document may take MaximumAttributeBytes in all: past that the parse
//   stops with an error;
// - the character buffer keeps at most MaximumBufferedTextBytes of text per
//   element (the rest of that element's text is dropped), and elements nest
//   at most MaximumElementDepth deep (libxml2's push parser has no limit of
//   its own there);
// - the data is fed in chunks, so a reader that stops early (the type
//   detector) reads no further than the chunk it stopped in.

#include "platform/ZPHError.h"

#include <QtCore/QByteArray>
#include <QtCore/QByteArrayView>
#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QVariantMap>

#include <memory>

// Keys of the raw form of an attribute as a dictionary.
extern const QString ZPHStreamingXMLParserAttributeDictionaryKeyLocalName;  // "localName"
extern const QString ZPHStreamingXMLParserAttributeDictionaryKeyValue;      // "value"
extern const QString ZPHStreamingXMLParserAttributeDictionaryKeyURI;        // "uri"
extern const QString ZPHStreamingXMLParserAttributeDictionaryKeyPrefix;     // "prefix"

// Domain of the XML errors the readers pass out; the code is libxml2's
// error number, the description its message with line and column.
extern const QString ZPHXMLParserErrorDomain;  // "ZPHXMLParserErrorDomain"

// One attribute in raw form, as the start hook receives it.
struct ZPHXMLRawAttribute {
  QString qualifiedName;  // as written, e.g. "xml:base"
  QString localName;
  QString prefix;  // null without prefix
  QString uri;     // namespace URI of the element
  QString value;

  // localName, value, uri and (only with a prefix) prefix under the keys above.
  QVariantMap dictionary() const;
};
using ZPHXMLRawAttributes = QList<ZPHXMLRawAttribute>;

// Simple form: "prefix:localName" (or the local name alone) -> value.
using ZPHXMLAttributes = QHash<QString, QString>;

class ZPHStreamingXMLParser {
public:
  // Text kept per element; more is dropped.
  static constexpr qsizetype MaximumBufferedTextBytes = 8 * 1024 * 1024;
  // Elements open at once; deeper nesting ends the parse with an error.
  static constexpr int MaximumElementDepth = 1024;
  // Size of the pieces the data is fed in.
  static constexpr qsizetype ChunkBytes = 16 * 1024;
  // Bytes of attribute values (as written, UTF-8) one document may hold.
  static constexpr qsizetype MaximumAttributeBytes = 16 * 1024 * 1024;

  ZPHStreamingXMLParser();
  virtual ~ZPHStreamingXMLParser();
  ZPHStreamingXMLParser(const ZPHStreamingXMLParser&) = delete;
  ZPHStreamingXMLParser& operator=(const ZPHStreamingXMLParser&) = delete;

  static std::unique_ptr<ZPHStreamingXMLParser> xmlParser() { return std::make_unique<ZPHStreamingXMLParser>(); }

  // Parses the whole buffer (leading white space skipped, and a UTF-8 byte
  // order mark before it). Answers true in every case: a broken document
  // keeps what was gathered before the error, and the error is stored
  // through `error` when given. A stop by stopParsing() is no error.
  bool parseData(const QByteArray& data, ZPHError* error = nullptr);
  // Aborts the running parse; safe from inside a hook.
  void stopParsing();

  // The attribute budget of the next parses (MaximumAttributeBytes unless set).
  qsizetype maximumAttributeBytes() const { return m_maximumAttributeBytes; }
  void setMaximumAttributeBytes(qsizetype bytes) { m_maximumAttributeBytes = bytes; }

  // Whether a reference to an entity that is neither one of XML's five nor
  // one of HTML's names (an entity the document declares itself, or one it
  // never declares) ends the parse with an error. Off by default: such a
  // reference stays as written, as feeds need.
  bool refusesUnknownEntities() const { return m_refusesUnknownEntities; }
  void setRefusesUnknownEntities(bool refuses) { m_refusesUnknownEntities = refuses; }

  QString dataURL() const { return m_dataURL; }
  void setDataURL(const QString& dataURL) { m_dataURL = dataURL; }

  // "prefix:localName", or the local name alone when the prefix is null.
  static QString keyWithLocalName(const QString& localName, const QString& prefix);
  // Splits at ":" when that gives at least two parts; else no prefix and
  // the whole name.
  static void prefixFromQualifiedName(const QString& qualifiedName, QString* prefix, QString* localName);

protected:
  // Hooks. namespaces is always null; attributes null without attributes.
  virtual void xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                               const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes);
  virtual void xmlEndElement(const QString& localName, const QString& prefix, const QString& uri);
  // Character data and CDATA, as UTF-8.
  virtual void xmlCharactersFound(QByteArrayView utf8);
  virtual void xmlEndDocument() {}

  void startStoringCharacters();
  void endStoringCharacters();
  bool storingCharacters() const { return m_storingCharacters; }
  // Appends UTF-8 text whatever the storing flag (bounded like all text).
  void appendString(const QString& string);
  void appendBytes(QByteArrayView utf8);
  // The buffer as text, null when empty.
  QString currentString() const;
  const char* currentBytes() const { return m_characterBuffer.isEmpty() ? nullptr : m_characterBuffer.constData(); }
  const QByteArray& characterBuffer() const { return m_characterBuffer; }
  // The buffer read as a feed date; invalid when empty.
  QDateTime currentDate() const;
  // When the buffer is not empty: stores currentString() under the key and
  // ends storing; else nothing.
  void addItemToDictionary(const QString& localName, const QString& prefix, QVariantMap& dictionary);

  // Attributes of the element being started or ended (simple form); null
  // when it has none.
  const ZPHXMLAttributes* currentXMLAttributes() const
  {
    return m_hasCurrentAttributes ? &m_currentXMLAttributes : nullptr;
  }
  QString currentAttribute(const QString& key) const { return m_currentXMLAttributes.value(key); }
  void setCurrentXMLAttributes(const ZPHXMLAttributes& attributes);
  void pushCurrentXMLAttributes();
  // Sets the current attributes to the top of the stack and pops it.
  void popXMLAttributes();
  bool isParsing() const { return m_context != nullptr; }

private:
  friend struct ZPHStreamingXMLParserCallbacks;
  struct EntityScratch;

  QString internedString(const unsigned char* name);
  void recordError(int code, const QString& message);

  QByteArray m_characterBuffer;
  bool m_storingCharacters = false;
  QList<ZPHXMLAttributes> m_xmlAttributesStack;
  QList<bool> m_xmlAttributesPresent;
  ZPHXMLAttributes m_currentXMLAttributes;
  bool m_hasCurrentAttributes = false;
  void* m_context = nullptr;  // xmlParserCtxtPtr while parsing
  bool m_stopped = false;
  int m_depth = 0;
  qsizetype m_attributeBytes = 0;
  qsizetype m_maximumAttributeBytes = MaximumAttributeBytes;
  bool m_refusesUnknownEntities = false;
  std::unique_ptr<EntityScratch> m_entityScratch;
  ZPHError m_error;
  QString m_dataURL;
  QHash<const void*, QString> m_internedStrings;
};

// Measurement aid for the benchmarks: one plain libxml2 SAX2 pass over the
// data (memory parser, the same parser options, callbacks that do nothing),
// the floor the readers are compared with.
void ZPHStreamingXMLParserEmptyPass(const QByteArray& data);
