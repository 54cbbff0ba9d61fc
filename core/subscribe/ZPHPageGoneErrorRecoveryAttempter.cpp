#include "subscribe/ZPHPageGoneErrorRecoveryAttempter.h"

#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "store/entities/CBFeed.h"

ZPHPageGoneErrorRecoveryAttempter* ZPHPageGoneErrorRecoveryAttempter::sharedFeedGoneErrorRecoveryAttempter()
{
  static ZPHPageGoneErrorRecoveryAttempter attempter;
  return &attempter;
}

void ZPHPageGoneErrorRecoveryAttempter::attemptRecoveryFromError(const ZPHError&, int optionIndex, CBFeed* feed,
                                                                 DidRecoverHandler didRecover)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (optionIndex != ZPHRefreshFeedOperationGoneErrorRecoveryIndex) {
    if (didRecover)
      didRecover(true);
    return;
  }
  bool opened = false;
  const QUrl homePage = feed != nullptr ? feed->homePageURL() : QUrl();
  if (CBURLIsWebURL(homePage)) {
    if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
      opened = delegate->openURLInDefaultWebBrowser(homePage);
  } else if (!homePage.isEmpty()) {
    qCInfo(zphNetwork) << "not opening a home page that is not a web address:" << homePage.scheme();
  }
  if (didRecover)
    didRecover(opened);
}
