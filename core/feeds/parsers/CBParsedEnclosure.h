#pragma once

// One media attachment of a parsed item: an RSS enclosure, a media:content
// element or an Atom link with rel "enclosure".

#include "foundation/CBMimeTypes.h"

#include <QtCore/QString>
#include <QtCore/QVariantMap>

#include <memory>

class CBParsedEnclosure {
public:
  // Null when the dictionary has neither a non-empty "url" nor a non-empty
  // "href". Reads "url"/"href", "mimeType"/"type", "medium", "fileSize" (or
  // "length" when that is below 1), "bitrate", "width" and "height"; a
  // missing or non-numeric number is 0.
  static std::shared_ptr<CBParsedEnclosure> enclosureWithFeedEnclosureDictionary(const QVariantMap& dictionary);

  QString urlString() const { return m_urlString; }
  void setUrlString(const QString& urlString) { m_urlString = urlString; }
  // The stored type; when none was stored, guessed once from the address.
  QString mimeType() const;
  void setMimeType(const QString& mimeType) { m_mimeType = mimeType; }
  QString medium() const { return m_medium; }
  void setMedium(const QString& medium) { m_medium = medium; }
  qint64 fileSize() const { return m_fileSize; }
  void setFileSize(qint64 fileSize) { m_fileSize = fileSize; }
  qint64 bitrate() const { return m_bitrate; }
  void setBitrate(qint64 bitrate) { m_bitrate = bitrate; }
  qint64 width() const { return m_width; }
  void setWidth(qint64 width) { m_width = width; }
  qint64 height() const { return m_height; }
  void setHeight(qint64 height) { m_height = height; }
  // The stored kind; when 0, derived once from mimeType().
  CBMediaType mediaType() const;
  void setMediaType(CBMediaType mediaType) { m_mediaType = mediaType; }
  bool didCalculateMIMEType() const { return m_didCalculateMIMEType; }
  bool didCalculateMediaType() const { return m_didCalculateMediaType; }

  // "url", "mimeType", "medium" when not null; "fileSize", "bitrate",
  // "height", "width" when above 0.
  QVariantMap dictionaryRepresentation() const;

private:
  QString m_urlString;
  mutable QString m_mimeType;
  QString m_medium;
  qint64 m_fileSize = 0;
  qint64 m_bitrate = 0;
  qint64 m_width = 0;
  qint64 m_height = 0;
  mutable CBMediaType m_mediaType = CBMediaTypeNone;
  mutable bool m_didCalculateMIMEType = false;
  mutable bool m_didCalculateMediaType = false;
};
