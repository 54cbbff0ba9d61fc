#include "store/operations/ZPHAccountCalculateUnreadCountsOperation.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QPointer>

#include <algorithm>
#include <exception>

ZPHAccountCalculateUnreadCountsOperation::ZPHAccountCalculateUnreadCountsOperation(QObject* delegate, Callback callback,
                                                                                   const QString& accountID,
                                                                                   quint64 generation)
    : ZPHTerminationCancelingOperation(delegate, std::move(callback)), m_accountID(accountID), m_generation(generation)
{
  setOperationType(OperationType);
}

QHash<QString, qint64> ZPHAccountCalculateUnreadCountsOperation::feedUnreadCounts(ZPHManagedObjectContext* context)
{
  return CBFeed::feedUnreadCountsWithMOC(context);
}

void ZPHAccountCalculateUnreadCountsOperation::main()
{
  if (isCancelled()) {
    CBOperation::main();
    return;
  }
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  CBDataController* controller = delegate ? delegate->dataController() : nullptr;
  if (controller == nullptr)
    return;
  CBDataAccount* account = m_accountID.isNull() ? controller->localAccount() : controller->accountWithID(m_accountID);
  Q_ASSERT_X(account != nullptr, Q_FUNC_INFO, "no data account for the recount");
  if (account == nullptr || account->lastUnreadCountOperationGeneration() != m_generation)
    return;

  try {
    std::shared_ptr<ZPHManagedObjectContext> context = delegate->temporaryManagedObjectContext();
    if (context == nullptr)
      return;
    const QList<CBFolder*> folders = CBFolder::foldersWithMOC(context.get());
    if (isCancelled())
      return;
    const QList<CBFeed*> feeds = CBFeed::feedsWithMOC(context.get());
    if (isCancelled())
      return;
    const QHash<QString, qint64> counts = feedUnreadCounts(context.get());
    if (isCancelled())
      return;

    quint64 total = 0;
    quint64 favorites = 0;
    for (CBFeed* feed : feeds) {
      const qint64 found = counts.value(feed->URL().toString(), counts.value(feed->url(), 0));
      const quint64 count = quint64(std::max<qint64>(found, 0));
      if (feed->unreadCount() != count)
        feed->setUnreadCount(count);
      if (!feed->unreadCountIsValid())
        feed->setUnreadCountIsValid(true);
      total += count;
      if (feed->favorite())
        favorites += count;
    }

    // Deepest folders first, so each sum reads children that are already right.
    auto depth = [](const CBFolder* folder) {
      int d = 0;
      for (const CBNode* n = folder->parent(); n != nullptr && d < 1000; n = n->parent()) ++d;
      return d;
    };
    QList<QPair<int, CBFolder*>> byDepth;
    for (CBFolder* folder : folders) byDepth.append({depth(folder), folder});
    std::stable_sort(byDepth.begin(), byDepth.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& entry : byDepth) {
      if (!entry.second->unreadCountIsValid())
        entry.second->updateUnreadCount();
    }

    m_unreadCount.store(total);
    m_favoritesUnreadCount.store(favorites);
    if (isCancelled())
      return;
    delegate->saveManagedObjectContext(context.get());
  } catch (const std::exception& exception) {
    qCCritical(zphStore) << "Exception in unread count operation!" << exception.what();
    // Partial counts would look real: report nothing and count again.
    QPointer<CBDataAccount> guard(account);
    ZPHMainThread::async([guard] {
      if (guard)
        guard->updateUnreadCountsOnMainThread();
    });
    return;
  }
  CBOperation::main();
}
