#pragma once

#include <QtCore/QList>

class CBAccount;
class CBFeed;
class CBOperationController;

// Refreshes the feeds of the accounts it wants, queuing the work on the
// operation controller it is given. Main thread.
class CBAccountRefresher {
public:
  virtual ~CBAccountRefresher();

  virtual bool wantsToRefreshAccount(CBAccount* account) const = 0;
  virtual void refreshAll(CBAccount* account, CBOperationController* operationController) = 0;
  virtual void refreshFeeds(const QList<CBFeed*>& feeds, CBAccount* account,
                            CBOperationController* operationController) = 0;
};
