#pragma once

#include <QtCore/QList>

class CBAccount;
class CBFeed;
class CBOperationController;

// Refreshes the single feeds it wants, queuing the work on the operation
// controller it is given. Main thread.
class CBFeedRefresher {
public:
  virtual ~CBFeedRefresher();

  virtual bool wantsToRefreshFeed(CBFeed* feed, CBAccount* accountToRefresh) const = 0;
  virtual void refreshFeed(CBFeed* feed, CBAccount* account, CBOperationController* operationController) = 0;
  // Feeds it wants, in order, as refreshFeed() one by one would; a refresher
  // may do the batch at once.
  virtual void refreshFeeds(const QList<CBFeed*>& feeds, CBAccount* account,
                            CBOperationController* operationController);
};
