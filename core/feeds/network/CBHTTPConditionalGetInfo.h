#pragma once

#include <QtCore/QString>
#include <QtCore/QVariantMap>

#include <optional>

// Response header names of conditional GET.
extern const QString CBHTTPResponseHeaderEtag;          // "ETag"
extern const QString CBHTTPResponseHeaderLastModified;  // "Last-Modified"

// The entity tag and last-modified value of a response; either may be null.
class CBHTTPConditionalGetInfo {
public:
  CBHTTPConditionalGetInfo(const QString& etagResponse, const QString& lastModifiedResponse);
  static CBHTTPConditionalGetInfo conditionalGetInfoWithEtagResponse(const QString& etagResponse,
                                                                     const QString& lastModifiedResponse);
  // Reads "ETag" and "Last-Modified" in any case; nothing without header
  // fields or when both are empty.
  static std::optional<CBHTTPConditionalGetInfo> conditionalGetInfoWithURLResponse(const QVariantMap& headerFields);

  QString httpResponseEtag() const { return m_etag; }
  QString httpResponseLastModified() const { return m_lastModified; }

private:
  QString m_etag;
  QString m_lastModified;
};
