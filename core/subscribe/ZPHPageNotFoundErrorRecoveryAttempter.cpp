#include "subscribe/ZPHPageNotFoundErrorRecoveryAttempter.h"

#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHMainThread.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "subscribe/ZPHSubscribeRequest.h"

ZPHPageNotFoundErrorRecoveryAttempter* ZPHPageNotFoundErrorRecoveryAttempter::sharedFeedNotFoundErrorRecoveryAttempter()
{
  static ZPHPageNotFoundErrorRecoveryAttempter attempter;
  return &attempter;
}

QUrl ZPHPageNotFoundErrorRecoveryAttempter::addressToSearchForFeed(const CBFeed* feed)
{
  if (feed == nullptr)
    return {};
  const QUrl homePage = feed->homePageURL();
  if (CBURLIsWebURL(homePage))
    return homePage;
  const QUrl feedURL = feed->URL();
  if (feedURL.scheme().isEmpty() || feedURL.host().isEmpty())
    return {};
  QUrl root;
  root.setScheme(feedURL.scheme());
  root.setHost(feedURL.host());
  root.setPort(feedURL.port());
  root.setPath(QStringLiteral("/"));
  return root;
}

void ZPHPageNotFoundErrorRecoveryAttempter::attemptRecoveryFromError(const ZPHError&, int optionIndex, CBFeed* feed,
                                                                     DidRecoverHandler didRecover)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (optionIndex == ZPHRefreshFeedOperationPageNotFoundErrorRecoveryIndex && feed != nullptr) {
    const QUrl address = addressToSearchForFeed(feed);
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    if (address.isValid() && delegate != nullptr) {
      auto request = std::make_shared<ZPHSubscribeRequest>(address);
      if (auto* folder = dynamic_cast<CBFolder*>(feed->parent()))
        request->setParentFolder(folder);
      request->setAccount(CBDataAccount::localAccount());
      if (!feed->userSpecifiedName().isEmpty())
        request->setTitle(feed->userSpecifiedName());
      delegate->addFeedsWithSubscribeRequestReturningNewlyAddedFeeds(request);
    }
  }
  if (didRecover)
    didRecover(true);
}
