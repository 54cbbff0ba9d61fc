#include "subscribe/ZPHAuthenticationErrorRecoveryAttempter.h"

#include "feeds/refresh/ZPHRefreshController.h"
#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <memory>

const QString ZPHAuthenticationErrorRecoveryAttempterBlockKey =
    QStringLiteral("ZPHAuthenticationErrorRecoveryAttempterBlockKey");

namespace {

CBFeed* feedWithID(const ZPHManagedObjectID& objectID)
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  ZPHManagedObjectContext* context = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
  if (context == nullptr || objectID.isNull())
    return nullptr;
  auto* feed = dynamic_cast<CBFeed*>(objectID.isTemporaryID() ? context->registeredObject(objectID)
                                                              : context->existingObjectWithID(objectID));
  return feed != nullptr && !feed->isDeleted() ? feed : nullptr;
}

}  // namespace

ZPHAuthenticationErrorRecoveryAttempter*
ZPHAuthenticationErrorRecoveryAttempter::sharedAuthenticationErrorRecoveryAttempter()
{
  static ZPHAuthenticationErrorRecoveryAttempter attempter;
  return &attempter;
}

void ZPHAuthenticationErrorRecoveryAttempter::attemptRecoveryFromError(const ZPHError&, int optionIndex, CBFeed* feed,
                                                                       DidRecoverHandler didRecover)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (optionIndex != ZPHRefreshFeedOperationAuthenticationErrorRecoveryIndex || feed == nullptr ||
      !feed->URL().isValid()) {
    if (optionIndex == ZPHRefreshFeedOperationAuthenticationErrorRecoveryIndex)
      qCWarning(zphNetwork) << "a login recovery needs a feed with an address";
    if (didRecover)
      didRecover(true);
    return;
  }

  const QUrl url = feed->URL();
  const QString token = cb_uuidString();
  QVariantMap userInfo{{CBURLKey, url}, {ZPHAuthenticationErrorRecoveryAttempterBlockKey, token}};
  if (!feed->username().isEmpty())
    userInfo.insert(ZPHAuthenticationUsernameKey, feed->username());
  const QString password = feed->password();
  if (!password.isEmpty())
    userInfo.insert(ZPHAuthenticationPasswordKey, password);

  // The observation ends with its answer.
  auto observer = std::make_shared<ZPHObserverToken>();
  const ZPHManagedObjectID feedID = feed->objectID();
  *observer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedRefreshChallengeCredentialsReadyNotification, url,
      [observer, token, feedID, didRecover](const ZPHNotification& answer) {
        if (answer.userInfo.value(ZPHAuthenticationErrorRecoveryAttempterBlockKey).toString() != token)
          return;
        ZPHObserverToken ended = std::move(*observer);
        const QString username = answer.userInfo.value(ZPHAuthenticationUsernameKey).toString();
        const QString entered = answer.userInfo.value(ZPHAuthenticationPasswordKey).toString();
        const bool cancelled = answer.userInfo.value(ZPHAuthenticationUserCancelKey).toBool();
        CBFeed* answered = feedWithID(feedID);
        if (answered != nullptr && !cancelled && !username.isEmpty() && !entered.isEmpty()) {
          answered->setUsername(username);
          answered->setPassword(entered);
          answered->savePasswordInKeychain();
          answered->markAsNeedsToBeSaved();
          ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
          if (ZPHRefreshController* refresh = delegate != nullptr ? delegate->refreshController() : nullptr)
            refresh->refreshFeeds({answered});
        }
        if (didRecover)
          didRecover(true);
      },
      ZPHNotificationCenter::Delivery::MainThread);
  ZPHNotificationCenter::defaultCenter().post(ZPHFeedRefreshChallengeReceivedNotification, url, userInfo);
}
