#include "feeds/parsers/ZPHStreamingXMLParser.h"

#include "feeds/parsers/CBFeedDateParser.h"
#include "foundation/CBEntityDecoding.h"
#include "foundation/CBString.h"
#include "foundation/ZPHLibXML.h"
#include "platform/ZPHLog.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

const QString ZPHStreamingXMLParserAttributeDictionaryKeyLocalName = QStringLiteral("localName");
const QString ZPHStreamingXMLParserAttributeDictionaryKeyValue = QStringLiteral("value");
const QString ZPHStreamingXMLParserAttributeDictionaryKeyURI = QStringLiteral("uri");
const QString ZPHStreamingXMLParserAttributeDictionaryKeyPrefix = QStringLiteral("prefix");
const QString ZPHXMLParserErrorDomain = QStringLiteral("ZPHXMLParserErrorDomain");

QVariantMap ZPHXMLRawAttribute::dictionary() const
{
  QVariantMap map;
  map.insert(ZPHStreamingXMLParserAttributeDictionaryKeyLocalName, localName);
  map.insert(ZPHStreamingXMLParserAttributeDictionaryKeyValue, value);
  map.insert(ZPHStreamingXMLParserAttributeDictionaryKeyURI, uri);
  if (!prefix.isNull())
    map.insert(ZPHStreamingXMLParserAttributeDictionaryKeyPrefix, prefix);
  return map;
}

namespace {

// An attribute value as libxml2 hands it over without entity substitution:
// "&" kept as "&#38;" and other named references as written ("&name;").
// Decoded in one walk: HTML's names become their text, others stay as
// written.
QString ZPHDecodedAttributeValue(const char* begin, const char* end)
{
  if (std::memchr(begin, '&', size_t(end - begin)) == nullptr)
    return QString::fromUtf8(begin, end - begin);
  std::string out;
  out.reserve(size_t(end - begin));
  for (const char* p = begin; p < end; ++p) {
    if (*p != '&') {
      out.push_back(*p);
      continue;
    }
    const char* semicolon = static_cast<const char*>(std::memchr(p, ';', size_t(end - p)));
    if (semicolon == nullptr) {
      out.push_back(*p);
      continue;
    }
    const std::string_view name(p + 1, size_t(semicolon - p - 1));
    std::size_t length = 0;
    if (name == "#38") {
      out.push_back('&');
      p = semicolon;
    } else if (const char* text = CBNamedCharacterReferenceUTF8(name, &length)) {
      out.append(text, length);
      p = semicolon;
    } else {
      out.push_back(*p);
    }
  }
  return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

void ZPHIgnoreGenericError(void*, const char*, ...) {}

// XML writes a hexadecimal character reference "&#x41;"; feeds write
// "&#X41;" too, which would end the document there. The pieces of a document
// are fed with that X in lower case, in UTF-8 (or another encoding that
// keeps ASCII as it is) and UTF-16 of either byte order. Only what is fed is
// looked at (a parse that stops early reads no further), and a piece is
// copied only when it holds such an X. Elsewhere than in a reference (a
// CDATA section, a comment) the text is HTML's, which reads both the same.
class LowerCaseHexReferences {
public:
  // `data` is the whole document; its first bytes tell the encoding.
  explicit LowerCaseHexReferences(QByteArrayView data) : m_data(data)
  {
    const bool wide = std::memchr(data.data(), '\0', size_t(qMin<qsizetype>(data.size(), 4))) != nullptr;
    if (wide)
      m_patterns = {QByteArrayView("&\0#\0X", 5), QByteArrayView("\0&\0#\0X", 6)};
    else
      m_patterns = {QByteArrayView("&#X", 3)};
  }

  // The bytes to feed for data[offset, offset + length): the data itself or
  // a patched copy (valid until the next call).
  const char* piece(qsizetype offset, qsizetype length)
  {
    const char* const original = m_data.data() + offset;
    bool copied = false;
    for (const QByteArrayView pattern : m_patterns) {
      // Every pattern whose X lies in this piece (it may begin before it).
      // The X is rare in feeds, "&" common: look for the X, then check what
      // comes before it.
      const qsizetype before = pattern.size() - 1;
      qsizetype x = qMax(offset, before);
      const qsizetype end = offset + length;
      while (x < end) {
        const void* found = std::memchr(m_data.data() + x, 'X', size_t(end - x));
        if (found == nullptr)
          break;
        x = static_cast<const char*>(found) - m_data.data();
        if (x >= before && std::memcmp(m_data.data() + x - before, pattern.data(), size_t(before)) == 0) {
          if (!copied) {
            m_copy = QByteArray(original, length);
            copied = true;
          }
          m_copy[x - offset] = 'x';
        }
        ++x;
      }
    }
    return copied ? m_copy.constData() : original;
  }

private:
  QByteArrayView m_data;
  QList<QByteArrayView> m_patterns;
  QByteArray m_copy;
};

// The library, and the entity table the readers share, set up once.
void initializeReaders()
{
  static std::once_flag once;
  std::call_once(once, [] {
    ZPHInitializeLibXML();
    CBNamedCharacterReferenceUTF8("amp", nullptr);
  });
}

}  // namespace

// What a reference to a general entity resolves to. libxml2 asks for the
// entity and uses it at once: in content it inlines the text of one of the
// predefined kind; in an attribute value it keeps a general entity's
// reference as written (one already checked), which is decoded when the
// attributes are read. So one entity of each kind per parse serves every
// reference.
struct ZPHStreamingXMLParser::EntityScratch {
  xmlEntity inContent;
  xmlEntity inAttribute;
  std::string text;

  EntityScratch()
  {
    for (xmlEntity* entity : {&inContent, &inAttribute}) {
      std::memset(entity, 0, sizeof(xmlEntity));
      entity->type = XML_ENTITY_DECL;
    }
    inContent.etype = XML_INTERNAL_PREDEFINED_ENTITY;
    inAttribute.etype = XML_INTERNAL_GENERAL_ENTITY;
    inAttribute.checked = 2;
    inAttribute.content = reinterpret_cast<xmlChar*>(const_cast<char*>(""));
  }
  ~EntityScratch() { releaseOriginalValues(); }

  // An entity declaration of the document hands the raw text of its value to
  // the entity getEntity() answers for the name; it is ours to free.
  void releaseOriginalValues()
  {
    for (xmlEntity* entity : {&inContent, &inAttribute}) {
      if (entity->orig != nullptr) {
        xmlFree(entity->orig);
        entity->orig = nullptr;
      }
    }
  }
};

struct ZPHStreamingXMLParserCallbacks {
  static ZPHStreamingXMLParser* parser(void* context) { return static_cast<ZPHStreamingXMLParser*>(context); }

  static void startElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                           int /*namespaceCount*/, const xmlChar** /*namespaces*/, int attributeCount,
                           int defaultedCount, const xmlChar** attributes)
  {
    ZPHStreamingXMLParser* self = parser(context);
    if (self->m_stopped)
      return;
    if (++self->m_depth > ZPHStreamingXMLParser::MaximumElementDepth) {
      self->recordError(
          XML_ERR_INTERNAL_ERROR,
          QStringLiteral("Elements nested more than %1 deep").arg(ZPHStreamingXMLParser::MaximumElementDepth));
      self->stopParsing();
      return;
    }
    const QString name = self->internedString(localName);
    const QString prefixString = self->internedString(prefix);
    const QString uriString = self->internedString(uri);
    // Only the attributes the document wrote: libxml2 adds the defaults of
    // an <!ATTLIST> in the document's own DTD after them.
    attributeCount -= qBound(0, defaultedCount, attributeCount);
    qsizetype attributeBytes = 0;
    for (int i = 0; i < attributeCount; ++i) attributeBytes += attributes[i * 5 + 4] - attributes[i * 5 + 3];
    self->m_attributeBytes += attributeBytes;
    if (self->m_attributeBytes > self->m_maximumAttributeBytes) {
      self->recordError(XML_ERR_INTERNAL_ERROR,
                        QStringLiteral("Attributes longer than %1 bytes in all").arg(self->m_maximumAttributeBytes));
      self->stopParsing();
      return;
    }
    if (attributeCount <= 0) {
      self->xmlStartElement(name, prefixString, uriString, nullptr, nullptr);
      return;
    }
    ZPHXMLRawAttributes raw;
    raw.reserve(attributeCount);
    for (int i = 0; i < attributeCount; ++i) {
      const xmlChar** attribute = attributes + i * 5;
      ZPHXMLRawAttribute entry;
      entry.localName = self->internedString(attribute[0]);
      entry.prefix = self->internedString(attribute[1]);
      entry.qualifiedName = ZPHStreamingXMLParser::keyWithLocalName(entry.localName, entry.prefix);
      entry.uri = uriString;
      entry.value = ZPHDecodedAttributeValue(reinterpret_cast<const char*>(attribute[3]),
                                             reinterpret_cast<const char*>(attribute[4]));
      raw.append(entry);
    }
    self->xmlStartElement(name, prefixString, uriString, nullptr, &raw);
  }

  static void endElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri)
  {
    ZPHStreamingXMLParser* self = parser(context);
    if (self->m_stopped)
      return;
    --self->m_depth;
    self->xmlEndElement(self->internedString(localName), self->internedString(prefix), self->internedString(uri));
  }

  static void characters(void* context, const xmlChar* text, int length)
  {
    ZPHStreamingXMLParser* self = parser(context);
    if (self->m_stopped || length <= 0)
      return;
    self->xmlCharactersFound(QByteArrayView(reinterpret_cast<const char*>(text), length));
  }

  static void endDocument(void* context)
  {
    ZPHStreamingXMLParser* self = parser(context);
    if (!self->m_stopped)
      self->xmlEndDocument();
  }

  // Every general entity other than the five of XML, declared by the
  // document or not: an HTML name gives its text
  // (CBNamedCharacterReferenceUTF8), any other name stays as written, or
  // ends the parse for a parser that refuses such names. No reference ever
  // expands into another.
  static xmlEntityPtr getEntity(void* context, const xmlChar* name)
  {
    if (name == nullptr)
      return nullptr;
    ZPHStreamingXMLParser* self = parser(context);
    if (self->m_refusesUnknownEntities && !self->m_stopped &&
        CBNamedCharacterReferenceUTF8(reinterpret_cast<const char*>(name), nullptr) == nullptr) {
      self->recordError(XML_ERR_UNDECLARED_ENTITY,
                        QStringLiteral("The entity \u201C&%1;\u201D is neither one of XML's nor one of HTML's")
                            .arg(QString::fromUtf8(reinterpret_cast<const char*>(name)).left(100)));
      self->stopParsing();
    }
    ZPHStreamingXMLParser::EntityScratch& scratch = *self->m_entityScratch;
    scratch.releaseOriginalValues();
    auto* parserContext = static_cast<xmlParserCtxtPtr>(self->m_context);
    if (parserContext != nullptr && parserContext->instate == XML_PARSER_ATTRIBUTE_VALUE) {
      scratch.inAttribute.name = name;
      return &scratch.inAttribute;
    }
    const char* nameText = reinterpret_cast<const char*>(name);
    std::size_t length = 0;
    if (const char* text = CBNamedCharacterReferenceUTF8(nameText, &length)) {
      scratch.text.assign(text, length);
    } else {
      scratch.text.assign(1, '&');
      scratch.text.append(nameText);
      scratch.text.push_back(';');
    }
    scratch.inContent.name = name;
    scratch.inContent.content = reinterpret_cast<xmlChar*>(scratch.text.data());
    scratch.inContent.length = int(scratch.text.size());
    return &scratch.inContent;
  }

  static xmlEntityPtr getParameterEntity(void* /*context*/, const xmlChar* /*name*/) { return nullptr; }

  static xmlParserInputPtr resolveEntity(void* /*context*/, const xmlChar* /*publicId*/, const xmlChar* /*systemId*/)
  {
    return nullptr;
  }

  static void structuredError(void* context, xmlErrorPtr error)
  {
    if (error == nullptr || error->level != XML_ERR_FATAL)
      return;
    QString message = QString::fromUtf8(error->message ? error->message : "").trimmed();
    message += QStringLiteral(" (line %1, column %2)").arg(error->line).arg(error->int2);
    parser(context)->recordError(error->code, message);
  }
};

ZPHStreamingXMLParser::ZPHStreamingXMLParser() : m_entityScratch(std::make_unique<EntityScratch>())
{
  m_characterBuffer.reserve(2000);
  m_xmlAttributesStack.reserve(10);
  m_xmlAttributesPresent.reserve(10);
}

ZPHStreamingXMLParser::~ZPHStreamingXMLParser() = default;

bool ZPHStreamingXMLParser::parseData(const QByteArray& data, ZPHError* error)
{
  Q_ASSERT_X(m_context == nullptr, "ZPHStreamingXMLParser::parseData", "a parse is already running");
  if (m_context != nullptr || data.isEmpty())
    return true;
  initializeReaders();

  const char* bytes = data.constData();
  qsizetype length = data.size();
  if (length >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
    bytes += 3;
    length -= 3;
  }
  while (length > 0 &&
         (*bytes == ' ' || *bytes == '\t' || *bytes == '\n' || *bytes == '\r' || *bytes == '\v' || *bytes == '\f')) {
    ++bytes;
    --length;
  }
  LowerCaseHexReferences hexReferences(QByteArrayView(bytes, length));

  xmlSAXHandler handler;
  std::memset(&handler, 0, sizeof(handler));
  handler.initialized = XML_SAX2_MAGIC;
  handler.startElementNs = ZPHStreamingXMLParserCallbacks::startElement;
  handler.endElementNs = ZPHStreamingXMLParserCallbacks::endElement;
  handler.characters = ZPHStreamingXMLParserCallbacks::characters;
  handler.ignorableWhitespace = ZPHStreamingXMLParserCallbacks::characters;
  handler.cdataBlock = ZPHStreamingXMLParserCallbacks::characters;
  handler.endDocument = ZPHStreamingXMLParserCallbacks::endDocument;
  handler.getEntity = ZPHStreamingXMLParserCallbacks::getEntity;
  handler.getParameterEntity = ZPHStreamingXMLParserCallbacks::getParameterEntity;
  handler.resolveEntity = ZPHStreamingXMLParserCallbacks::resolveEntity;
  handler.serror = ZPHStreamingXMLParserCallbacks::structuredError;

  // Encoding errors go to libxml2's generic handler (standard error) rather
  // than to the parser's: keep them quiet for this parse on this thread.
  void* const savedErrorContext = xmlGenericErrorContext;
  const xmlGenericErrorFunc savedErrorFunc = xmlGenericError;
  xmlSetGenericErrorFunc(nullptr, ZPHIgnoreGenericError);

  m_stopped = false;
  m_depth = 0;
  m_attributeBytes = 0;
  m_error = ZPHError();
  const int head = int(qMin<qsizetype>(length, 4));
  xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&handler, this, hexReferences.piece(0, head), head, nullptr);
  if (context == nullptr) {
    xmlSetGenericErrorFunc(savedErrorContext, savedErrorFunc);
    qCWarning(zphFeeds) << "Parsing error: cannot create the XML parser";
    return true;
  }
  xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  context->replaceEntities = 0;
  context->loadsubset = 0;
  context->validate = 0;
  m_context = context;

  qsizetype offset = head;
  do {
    const qsizetype piece = qMin(ChunkBytes, length - offset);
    const bool last = offset + piece >= length;
    xmlParseChunk(context, hexReferences.piece(offset, piece), int(piece), last ? 1 : 0);
    offset += piece;
    if (last)
      break;
  } while (!m_stopped && context->disableSAX == 0 && context->instate != XML_PARSER_EOF);

  m_context = nullptr;
  // Entity declarations leave a stand-in document behind even in SAX mode.
  if (context->myDoc != nullptr) {
    xmlFreeDoc(context->myDoc);
    context->myDoc = nullptr;
  }
  xmlFreeParserCtxt(context);
  m_entityScratch->releaseOriginalValues();
  m_internedStrings.clear();
  xmlSetGenericErrorFunc(savedErrorContext, savedErrorFunc);

  if (!m_error.isNull()) {
    qCWarning(zphFeeds) << "Parsing error:" << m_error.toString();
    if (error != nullptr)
      *error = m_error;
  }
  return true;
}

void ZPHStreamingXMLParser::stopParsing()
{
  if (m_context != nullptr && !m_stopped)
    xmlStopParser(static_cast<xmlParserCtxtPtr>(m_context));
  m_stopped = true;
  m_hasCurrentAttributes = false;
  m_currentXMLAttributes.clear();
}

void ZPHStreamingXMLParser::recordError(int code, const QString& message)
{
  if (m_stopped || !m_error.isNull())
    return;
  m_error = ZPHError(ZPHXMLParserErrorDomain, code, {{ZPHLocalizedDescriptionKey, message}});
}

QString ZPHStreamingXMLParser::internedString(const unsigned char* name)
{
  if (name == nullptr)
    return {};
  // libxml2 hands out names from its dictionary, so the same pointer comes
  // back for the same name during one parse; the text is checked anyway.
  const char* text = reinterpret_cast<const char*>(name);
  auto it = m_internedStrings.find(name);
  if (it != m_internedStrings.end()) {
    const QString cached = it.value();
    const qsizetype size = qsizetype(std::strlen(text));
    if (cached.size() == size && cached == QLatin1String(text, size))
      return cached;
    if (QString::fromUtf8(text, size) == cached)
      return cached;
  }
  if (m_internedStrings.size() > 4096)
    m_internedStrings.clear();
  return m_internedStrings.insert(name, QString::fromUtf8(text)).value();
}

QString ZPHStreamingXMLParser::keyWithLocalName(const QString& localName, const QString& prefix)
{
  if (prefix.isNull())
    return localName;
  return prefix + QLatin1Char(':') + localName;
}

void ZPHStreamingXMLParser::prefixFromQualifiedName(const QString& qualifiedName, QString* prefix, QString* localName)
{
  const QStringList parts = qualifiedName.split(QLatin1Char(':'));
  if (qualifiedName.contains(QLatin1Char(':')) && parts.size() >= 2) {
    if (prefix)
      *prefix = parts.at(0);
    if (localName)
      *localName = parts.at(1);
    return;
  }
  if (prefix)
    *prefix = QString();
  if (localName)
    *localName = qualifiedName;
}

void ZPHStreamingXMLParser::xmlStartElement(const QString& /*localName*/, const QString& /*prefix*/,
                                            const QString& /*uri*/, const QVariantMap* /*namespaces*/,
                                            const ZPHXMLRawAttributes* attributes)
{
  // The values are the document's, decoded once by the XML reader: an
  // "&#38;" written as "&amp;#38;" is that text, not an ampersand.
  ZPHXMLAttributes simple;
  if (attributes != nullptr) {
    for (const ZPHXMLRawAttribute& attribute : *attributes)
      simple.insert(keyWithLocalName(attribute.localName, attribute.prefix), attribute.value);
  }
  setCurrentXMLAttributes(simple);
  pushCurrentXMLAttributes();
}

void ZPHStreamingXMLParser::xmlEndElement(const QString& /*localName*/, const QString& /*prefix*/,
                                          const QString& /*uri*/)
{
  popXMLAttributes();
}

void ZPHStreamingXMLParser::xmlCharactersFound(QByteArrayView utf8)
{
  if (m_storingCharacters)
    appendBytes(utf8);
}

void ZPHStreamingXMLParser::setCurrentXMLAttributes(const ZPHXMLAttributes& attributes)
{
  m_currentXMLAttributes = attributes;
  m_hasCurrentAttributes = !attributes.isEmpty();
}

void ZPHStreamingXMLParser::pushCurrentXMLAttributes()
{
  m_xmlAttributesStack.append(m_hasCurrentAttributes ? m_currentXMLAttributes : ZPHXMLAttributes());
  m_xmlAttributesPresent.append(m_hasCurrentAttributes);
}

void ZPHStreamingXMLParser::popXMLAttributes()
{
  if (m_xmlAttributesStack.isEmpty()) {
    m_currentXMLAttributes.clear();
    m_hasCurrentAttributes = false;
    return;
  }
  m_currentXMLAttributes = m_xmlAttributesStack.takeLast();
  m_hasCurrentAttributes = m_xmlAttributesPresent.takeLast();
}

void ZPHStreamingXMLParser::startStoringCharacters()
{
  m_storingCharacters = true;
  m_characterBuffer.resize(0);
}

void ZPHStreamingXMLParser::endStoringCharacters()
{
  m_storingCharacters = false;
  m_characterBuffer.resize(0);
}

void ZPHStreamingXMLParser::appendString(const QString& string) { appendBytes(string.toUtf8()); }

void ZPHStreamingXMLParser::appendBytes(QByteArrayView utf8)
{
  const qsizetype room = MaximumBufferedTextBytes - m_characterBuffer.size();
  if (room <= 0)
    return;
  qsizetype count = utf8.size();
  if (count > room) {
    // Cut before a character that would not fit whole.
    count = room;
    while (count > 0 && (static_cast<unsigned char>(utf8[count]) & 0xC0) == 0x80) --count;
  }
  m_characterBuffer.append(utf8.data(), count);
}

QString ZPHStreamingXMLParser::currentString() const
{
  if (m_characterBuffer.isEmpty())
    return {};
  return QString::fromUtf8(m_characterBuffer);
}

QDateTime ZPHStreamingXMLParser::currentDate() const
{
  // Feeds often indent element text: the blanks around a date are not part
  // of it.
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  const char* bytes = m_characterBuffer.constData();
  std::size_t length = std::size_t(m_characterBuffer.size());
  while (length > 0 && isBlank(bytes[0])) {
    ++bytes;
    --length;
  }
  while (length > 0 && isBlank(bytes[length - 1])) --length;
  if (length == 0)
    return {};
  return ZPHDateWithBytes(bytes, length);
}

void ZPHStreamingXMLParser::addItemToDictionary(const QString& localName, const QString& prefix,
                                                QVariantMap& dictionary)
{
  if (m_characterBuffer.isEmpty())
    return;
  const QString string = currentString();
  if (!string.isNull())
    dictionary.insert(keyWithLocalName(localName, prefix), string);
  endStoringCharacters();
}

namespace {
void ZPHEmptyStartElement(void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int, int,
                          const xmlChar**)
{
}
void ZPHEmptyEndElement(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
void ZPHEmptyCharacters(void*, const xmlChar*, int) {}
}  // namespace

void ZPHStreamingXMLParserEmptyPass(const QByteArray& data)
{
  initializeReaders();
  xmlParserCtxtPtr context = xmlCreateMemoryParserCtxt(data.constData(), int(data.size()));
  if (context == nullptr)
    return;
  xmlSAXHandler& handler = *context->sax;
  std::memset(&handler, 0, sizeof(handler));
  handler.initialized = XML_SAX2_MAGIC;
  handler.startElementNs = ZPHEmptyStartElement;
  handler.endElementNs = ZPHEmptyEndElement;
  handler.characters = ZPHEmptyCharacters;
  handler.ignorableWhitespace = ZPHEmptyCharacters;
  handler.cdataBlock = ZPHEmptyCharacters;
  handler.serror = [](void*, xmlErrorPtr) {};
  context->userData = nullptr;
  xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  xmlParseDocument(context);
  if (context->myDoc != nullptr) {
    xmlFreeDoc(context->myDoc);
    context->myDoc = nullptr;
  }
  xmlFreeParserCtxt(context);
}
