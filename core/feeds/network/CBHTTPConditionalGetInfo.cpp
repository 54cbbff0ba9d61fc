#include "feeds/network/CBHTTPConditionalGetInfo.h"

#include "foundation/CBCollections.h"

const QString CBHTTPResponseHeaderEtag = QStringLiteral("ETag");
const QString CBHTTPResponseHeaderLastModified = QStringLiteral("Last-Modified");

CBHTTPConditionalGetInfo::CBHTTPConditionalGetInfo(const QString& etagResponse, const QString& lastModifiedResponse)
    : m_etag(etagResponse), m_lastModified(lastModifiedResponse)
{
}

CBHTTPConditionalGetInfo CBHTTPConditionalGetInfo::conditionalGetInfoWithEtagResponse(
    const QString& etagResponse, const QString& lastModifiedResponse)
{
  return CBHTTPConditionalGetInfo(etagResponse, lastModifiedResponse);
}

std::optional<CBHTTPConditionalGetInfo> CBHTTPConditionalGetInfo::conditionalGetInfoWithURLResponse(
    const QVariantMap& headerFields)
{
  if (headerFields.isEmpty())
    return std::nullopt;
  const QString etag = cb_objectForCaseInsensitiveKey(headerFields, CBHTTPResponseHeaderEtag).toString();
  const QString lastModified =
      cb_objectForCaseInsensitiveKey(headerFields, CBHTTPResponseHeaderLastModified).toString();
  if (etag.isEmpty() && lastModified.isEmpty())
    return std::nullopt;
  return CBHTTPConditionalGetInfo(etag, lastModified);
}
