#pragma once

#include "feeds/refresh/CBAccountRefresher.h"

#include <memory>
#include <vector>

class CBFeedRefresher;

// Refreshes the local account (account type 0): each feed goes to the first
// registered feed refresher that wants it; feeds nobody wants are skipped.
class CBLocalAccountRefresher : public CBAccountRefresher {
public:
  CBLocalAccountRefresher();
  ~CBLocalAccountRefresher() override;

  bool wantsToRefreshAccount(CBAccount* account) const override;
  // The account's feeds that can be refreshed.
  void refreshAll(CBAccount* account, CBOperationController* operationController) override;
  void refreshFeeds(const QList<CBFeed*>& feeds, CBAccount* account,
                    CBOperationController* operationController) override;

  // A null refresher is ignored.
  void registerFeedRefresher(std::unique_ptr<CBFeedRefresher> refresher);
  CBFeedRefresher* feedRefresherForFeed(CBFeed* feed, CBAccount* accountToRefresh) const;
  QList<CBFeedRefresher*> feedRefreshers() const;

private:
  std::vector<std::unique_ptr<CBFeedRefresher>> m_feedRefreshers;
};
