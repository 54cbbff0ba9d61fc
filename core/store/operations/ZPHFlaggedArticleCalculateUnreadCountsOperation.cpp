#include "store/operations/ZPHFlaggedArticleCalculateUnreadCountsOperation.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "store/entities/CBDataArticle.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <algorithm>

ZPHFlaggedArticleCalculateUnreadCountsOperation::ZPHFlaggedArticleCalculateUnreadCountsOperation(QObject* delegate,
                                                                                                 Callback callback)
    : ZPHTerminationCancelingOperation(delegate, std::move(callback))
{
  setOperationType(OperationType);
  setOperationObject(QStringLiteral("flagged"));
}

void ZPHFlaggedArticleCalculateUnreadCountsOperation::main()
{
  if (!isCancelled()) {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    std::shared_ptr<ZPHManagedObjectContext> context = delegate ? delegate->temporaryManagedObjectContext() : nullptr;
    if (context == nullptr)
      return;
    const qint64 count = CBDataArticle::unreadCountForFlaggedArticlesWithMoc(context.get());
    m_unreadCount.store(quint64(std::max<qint64>(count, 0)));
  }
  CBOperation::main();
}
