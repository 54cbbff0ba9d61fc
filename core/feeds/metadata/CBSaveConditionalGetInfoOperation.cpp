#include "feeds/metadata/CBSaveConditionalGetInfoOperation.h"

CBSaveConditionalGetInfoOperation::CBSaveConditionalGetInfoOperation(
    std::shared_ptr<CBLocalAccountFeedMetadataCache> cache, std::optional<CBHTTPConditionalGetInfo> conditionalGetInfo,
    const QUrl& feedURL)
    : m_cache(std::move(cache)), m_conditionalGetInfo(std::move(conditionalGetInfo)), m_feedURL(feedURL)
{
}

void CBSaveConditionalGetInfoOperation::main()
{
  if (!isCancelled() && m_cache)
    m_cache->storeConditionalGetInfo(m_conditionalGetInfo, m_feedURL);
  CBOperation::main();
}
