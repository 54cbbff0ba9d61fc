#include "feeds/refresh/CBDownloadableFeedRefresher.h"

#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHMainThread.h"
#include "store/accounts/CBAccount.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QSet>

namespace {

constexpr qsizetype MaxDisplayNameLength = 60;

}  // namespace

CBDownloadableFeedRefresher::~CBDownloadableFeedRefresher() = default;

bool CBDownloadableFeedRefresher::wantsToRefreshFeed(CBFeed* feed, CBAccount* accountToRefresh) const
{
  if (feed == nullptr || feed->suspended())
    return false;
  if (accountToRefresh == nullptr || accountToRefresh->accountType() != 0)
    return false;
  return CBURLIsDownloadable(feed->URL());
}

void CBDownloadableFeedRefresher::refreshFeed(CBFeed* feed, CBAccount* account,
                                              CBOperationController* operationController)
{
  Q_UNUSED(account);
  ZPH_ASSERT_MAIN_THREAD();
  if (feed == nullptr || operationController == nullptr)
    return;
  operationController->addOperationIfNotInQueue(refreshOperationForFeed(feed));
}

void CBDownloadableFeedRefresher::refreshFeeds(const QList<CBFeed*>& feeds, CBAccount* account,
                                               CBOperationController* operationController)
{
  Q_UNUSED(account);
  ZPH_ASSERT_MAIN_THREAD();
  if (operationController == nullptr)
    return;
  // What addOperationIfNotInQueue() would find: the addresses of the
  // uncancelled refreshes the controller tracks, and those queued here.
  QSet<QUrl> queued;
  for (const std::shared_ptr<CBOperation>& operation : operationController->operations()) {
    if (operation->isCancelled() || operation->operationType() != ZPHRefreshFeedOperation::OperationType)
      continue;
    const QVariant object = operation->operationObject();
    if (object.metaType() == QMetaType::fromType<QUrl>())
      queued.insert(object.toUrl());
  }
  for (CBFeed* feed : feeds) {
    if (feed == nullptr)
      continue;
    const QUrl url = feed->URL();
    if (queued.contains(url))
      continue;
    queued.insert(url);
    operationController->addOperation(refreshOperationForFeed(feed));
  }
}

std::shared_ptr<ZPHRefreshFeedOperation> CBDownloadableFeedRefresher::refreshOperationForFeed(CBFeed* feed)
{
  const QUrl url = feed->URL();
  auto operation = std::make_shared<ZPHRefreshFeedOperation>(url);
  operation->setUsername(feed->username());
  if (!feed->username().isEmpty())
    operation->setPassword(feed->password());
  operation->setOperationObject(url);

  // The outcome goes onto the feed on the main thread, in store-queue order,
  // after the articles the refresh handed to the store. The feed is looked
  // up again: it may have been deleted meanwhile.
  const ZPHManagedObjectID feedID = feed->objectID();
  std::weak_ptr<ZPHRefreshFeedOperation> weakOperation = operation;
  operation->setCompletionBlock([weakOperation, feedID] {
    std::shared_ptr<ZPHRefreshFeedOperation> finished = weakOperation.lock();
    if (!finished)
      return;
    const ZPHError refreshError = finished->refreshError();
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    if (delegate == nullptr)
      return;
    delegate->addMainThreadCoreDataQueueBlock([feedID, refreshError] {
      ZPHCoreApplicationDelegate* mainDelegate = ZPHCoreApplicationDelegate::sharedDelegate();
      ZPHManagedObjectContext* context = mainDelegate ? mainDelegate->mainThreadManagedObjectContext() : nullptr;
      if (context == nullptr)
        return;
      ZPHManagedObject* object = context->existingObjectWithID(feedID);
      if (object == nullptr || object->isDeleted())
        return;
      auto* stillThere = dynamic_cast<CBFeed*>(object);
      Q_ASSERT(stillThere != nullptr);
      if (stillThere == nullptr)
        return;
      stillThere->setLastFeedRefreshError(refreshError.isNull() ? ZPHError()
                                                                : translateError(refreshError, stillThere));
    });
  });

  return operation;
}

ZPHError CBDownloadableFeedRefresher::translateError(const ZPHError& error, CBFeed* feed)
{
  Q_ASSERT(!error.isNull());
  Q_ASSERT(feed != nullptr);
  if (error.isNull() || feed == nullptr)
    return error;

  QString name = feed->nameForDisplay();
  if (name.isEmpty())
    name = feed->URL().host();
  if (name.isEmpty())
    name = QStringLiteral("Unnamed Site");
  if (name.size() > MaxDisplayNameLength)
    name = name.left(MaxDisplayNameLength) + QStringLiteral("…");

  QVariantMap userInfo;
  const QVariantMap original = error.userInfo();
  for (auto it = original.constBegin(); it != original.constEnd(); ++it) {
    if (it.value().typeId() == QMetaType::QString) {
      QString text = it.value().toString();
      text.replace(ZPHRefreshFeedOperationFeedDisplayNameTextPlaceholder, name);
      userInfo.insert(it.key(), text);
    } else {
      userInfo.insert(it.key(), it.value());
    }
  }
  return ZPHError(error.domain(), error.code(), userInfo);
}
