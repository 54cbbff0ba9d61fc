#include "store/operations/ZPHTodayFeedCalculateUnreadCountsOperation.h"

#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHUserDefaults.h"
#include "store/entities/CBDataArticle.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <algorithm>

ZPHTodayFeedCalculateUnreadCountsOperation::ZPHTodayFeedCalculateUnreadCountsOperation(QObject* delegate,
                                                                                       Callback callback,
                                                                                       const QString& accountID)
    : ZPHTerminationCancelingOperation(delegate, std::move(callback)), m_accountID(accountID)
{
  setOperationType(OperationType);
  setOperationObject(QStringLiteral("today"));
}

void ZPHTodayFeedCalculateUnreadCountsOperation::main()
{
  if (!isCancelled()) {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    std::shared_ptr<ZPHManagedObjectContext> context = delegate ? delegate->temporaryManagedObjectContext() : nullptr;
    if (context == nullptr)
      return;
    const bool favoritesOnly = ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHTodayFeedSelection) == 0;
    const qint64 count = favoritesOnly
                             ? CBDataArticle::countOfUnreadArticlesPublishedTodayInFavoriteFeedsWithMoc(context.get())
                             : CBDataArticle::countOfUnreadArticlesPublishedTodayWithMoc(context.get());
    m_unreadCount.store(quint64(std::max<qint64>(count, 0)));
  }
  CBOperation::main();
}
