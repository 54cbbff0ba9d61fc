#include "feeds/metadata/CBSaveFeedResponseValuesOperation.h"

CBSaveFeedResponseValuesOperation::CBSaveFeedResponseValuesOperation(
    std::shared_ptr<CBLocalAccountFeedMetadataCache> cache, const QByteArray& contentHash,
    std::optional<CBHTTPConditionalGetInfo> conditionalGetInfo, const QUrl& feedURL)
    : m_cache(std::move(cache)),
      m_contentHash(contentHash),
      m_conditionalGetInfo(std::move(conditionalGetInfo)),
      m_feedURL(feedURL)
{
}

void CBSaveFeedResponseValuesOperation::main()
{
  if (!isCancelled() && m_cache)
    m_cache->storeResponseValues(m_contentHash, m_conditionalGetInfo, m_feedURL);
  CBOperation::main();
}
