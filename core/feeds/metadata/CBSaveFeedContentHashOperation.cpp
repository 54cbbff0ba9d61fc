#include "feeds/metadata/CBSaveFeedContentHashOperation.h"

#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"

CBSaveFeedContentHashOperation::CBSaveFeedContentHashOperation(std::shared_ptr<CBLocalAccountFeedMetadataCache> cache,
                                                               const QByteArray& contentHash, const QUrl& feedURL)
    : m_cache(std::move(cache)), m_contentHash(contentHash), m_feedURL(feedURL)
{
}

void CBSaveFeedContentHashOperation::main()
{
  if (!isCancelled() && m_cache)
    m_cache->storeContentHash(m_contentHash, m_feedURL);
  CBOperation::main();
}
