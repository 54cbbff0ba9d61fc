#include "feeds/parsers/CBParsedEnclosure.h"

#include "foundation/CBCollections.h"

std::shared_ptr<CBParsedEnclosure> CBParsedEnclosure::enclosureWithFeedEnclosureDictionary(
    const QVariantMap& dictionary)
{
  QString urlString = cb_stringForKey(dictionary, QStringLiteral("url"));
  if (urlString.isEmpty())
    urlString = cb_stringForKey(dictionary, QStringLiteral("href"));
  if (urlString.isEmpty())
    return nullptr;

  auto enclosure = std::make_shared<CBParsedEnclosure>();
  enclosure->m_urlString = urlString;
  enclosure->m_mimeType = cb_stringForKey(dictionary, QStringLiteral("mimeType"));
  if (enclosure->m_mimeType.isNull())
    enclosure->m_mimeType = cb_stringForKey(dictionary, QStringLiteral("type"));
  enclosure->m_medium = cb_stringForKey(dictionary, QStringLiteral("medium"));
  enclosure->m_fileSize = cb_integerForKey(dictionary, QStringLiteral("fileSize"));
  if (enclosure->m_fileSize < 1)
    enclosure->m_fileSize = cb_integerForKey(dictionary, QStringLiteral("length"));
  enclosure->m_bitrate = cb_integerForKey(dictionary, QStringLiteral("bitrate"));
  enclosure->m_width = cb_integerForKey(dictionary, QStringLiteral("width"));
  enclosure->m_height = cb_integerForKey(dictionary, QStringLiteral("height"));
  return enclosure;
}

QString CBParsedEnclosure::mimeType() const
{
  if (m_mimeType.isNull() && !m_didCalculateMIMEType) {
    m_mimeType = CBMimeTypeForURLString(m_urlString);
    m_didCalculateMIMEType = true;
  }
  return m_mimeType;
}

CBMediaType CBParsedEnclosure::mediaType() const
{
  if (m_mediaType == CBMediaTypeNone && !m_didCalculateMediaType) {
    m_mediaType = CBMediaTypeForMimeType(mimeType());
    m_didCalculateMediaType = true;
  }
  return m_mediaType;
}

QVariantMap CBParsedEnclosure::dictionaryRepresentation() const
{
  QVariantMap dictionary;
  if (!m_urlString.isNull())
    dictionary.insert(QStringLiteral("url"), m_urlString);
  const QString type = mimeType();
  if (!type.isNull())
    dictionary.insert(QStringLiteral("mimeType"), type);
  if (!m_medium.isNull())
    dictionary.insert(QStringLiteral("medium"), m_medium);
  if (m_fileSize > 0)
    dictionary.insert(QStringLiteral("fileSize"), m_fileSize);
  if (m_bitrate > 0)
    dictionary.insert(QStringLiteral("bitrate"), m_bitrate);
  if (m_height > 0)
    dictionary.insert(QStringLiteral("height"), m_height);
  if (m_width > 0)
    dictionary.insert(QStringLiteral("width"), m_width);
  return dictionary;
}
