#include "feeds/metadata/CBDeleteFeedInfoOperation.h"

#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"

CBDeleteFeedInfoOperation::CBDeleteFeedInfoOperation(std::shared_ptr<CBLocalAccountFeedMetadataCache> cache,
                                                     const QUrl& feedURL)
    : m_cache(std::move(cache)), m_feedURL(feedURL)
{
}

void CBDeleteFeedInfoOperation::main()
{
  if (!isCancelled() && m_cache)
    m_cache->deleteAllInfoForFeedURL(m_feedURL);
  CBOperation::main();
}
