#include "feeds/refresh/CBLocalAccountRefresher.h"

#include "feeds/refresh/CBFeedRefresher.h"
#include "store/accounts/CBAccount.h"

CBLocalAccountRefresher::CBLocalAccountRefresher() = default;
CBLocalAccountRefresher::~CBLocalAccountRefresher() = default;

bool CBLocalAccountRefresher::wantsToRefreshAccount(CBAccount* account) const
{
  return account != nullptr && account->accountType() == 0;
}

void CBLocalAccountRefresher::refreshAll(CBAccount* account, CBOperationController* operationController)
{
  if (account == nullptr)
    return;
  refreshFeeds(account->allFeedsThatCanBeRefreshed(), account, operationController);
}

void CBLocalAccountRefresher::refreshFeeds(const QList<CBFeed*>& feeds, CBAccount* account,
                                           CBOperationController* operationController)
{
  // Each run of feeds that go to the same refresher is handed over at once,
  // keeping the order.
  CBFeedRefresher* runRefresher = nullptr;
  QList<CBFeed*> run;
  const auto handOver = [&] {
    if (runRefresher != nullptr && !run.isEmpty())
      runRefresher->refreshFeeds(run, account, operationController);
    run.clear();
  };
  for (CBFeed* feed : feeds) {
    CBFeedRefresher* refresher = feedRefresherForFeed(feed, account);
    if (refresher == nullptr)
      continue;
    if (refresher != runRefresher) {
      handOver();
      runRefresher = refresher;
    }
    run.append(feed);
  }
  handOver();
}

void CBLocalAccountRefresher::registerFeedRefresher(std::unique_ptr<CBFeedRefresher> refresher)
{
  if (refresher)
    m_feedRefreshers.push_back(std::move(refresher));
}

CBFeedRefresher* CBLocalAccountRefresher::feedRefresherForFeed(CBFeed* feed, CBAccount* accountToRefresh) const
{
  for (const std::unique_ptr<CBFeedRefresher>& refresher : m_feedRefreshers) {
    if (refresher->wantsToRefreshFeed(feed, accountToRefresh))
      return refresher.get();
  }
  return nullptr;
}

QList<CBFeedRefresher*> CBLocalAccountRefresher::feedRefreshers() const
{
  QList<CBFeedRefresher*> result;
  for (const std::unique_ptr<CBFeedRefresher>& refresher : m_feedRefreshers) result.append(refresher.get());
  return result;
}
