#include "sync/CBDataAccountSync.h"

#include "foundation/CBEventThrottler.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHMainThread.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "sync/ZPHSyncConstants.h"

namespace {

const QString DescriptionKey = QStringLiteral("description");

}  // namespace

CBEventThrottler* CBDataAccountSync::updateFeedsAndFoldersEventThrottler()
{
  ZPH_ASSERT_MAIN_THREAD();
  // Kept for the whole run (never destroyed, so no timer outlives the
  // event loop at exit).
  static CBEventThrottler* const throttler = [] {
    auto* made = new CBEventThrottler([](const QVariantList&) {}, 0.5);
    made->setFireAfterMaxPostpones(true);
    made->setMaxPostPones(10);
    return made;
  }();
  return throttler;
}

void CBDataAccountSync::addFeedFromSyncManager(const ZPHManagedObjectID& feedID, const QUrl& url)
{
  if (url.isEmpty() || feedID.isNull())
    return;
  ZPHMainThread::async([feedID, url] {
    CBDataAccount* account = CBDataAccount::localAccount();
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    ZPHManagedObjectContext* context = delegate ? delegate->mainThreadManagedObjectContext() : nullptr;
    if (account == nullptr || context == nullptr)
      return;
    if (account->feedWithURL(url) == nullptr) {
      if (ZPHFeedIngestionInterface* ingestion = ZPHFeedIngestionInterface::shared())
        ingestion->deleteStoredInfoForFeedURL(url);
    }
    auto* feed = dynamic_cast<CBFeed*>(context->existingObjectWithID(feedID));
    if (feed == nullptr)
      return;
    CBEventThrottler* throttler = updateFeedsAndFoldersEventThrottler();
    throttler->addNotification(
        ZPHRemoteFeedAddedNotification, QVariant::fromValue(static_cast<QObject*>(account)),
        QVariantMap{{ZPHFolderOrFeedKey, QVariant::fromValue(static_cast<ZPHManagedObject*>(feed))},
                    {CBURLKey, url},
                    {DescriptionKey, url}});
    throttler->setEventTriggered(true);
  });
}

void CBDataAccountSync::addFolderFromSyncManager(const QString& guid)
{
  ZPHMainThread::async([guid] {
    CBDataAccount* account = CBDataAccount::localAccount();
    if (account == nullptr)
      return;
    const ZPHManagedObjectID folderID = account->foldersDictionary().value(guid);
    CBEventThrottler* throttler = updateFeedsAndFoldersEventThrottler();
    throttler->addNotification(ZPHRemoteFolderAddedNotification,
                               folderID.isNull() ? QVariant() : QVariant::fromValue(folderID));
    throttler->setEventTriggered(true);
  });
}
