#include "feeds/refresh/CBFeedRefresher.h"

CBFeedRefresher::~CBFeedRefresher() = default;

void CBFeedRefresher::refreshFeeds(const QList<CBFeed*>& feeds, CBAccount* account,
                                   CBOperationController* operationController)
{
  for (CBFeed* feed : feeds) refreshFeed(feed, account, operationController);
}
