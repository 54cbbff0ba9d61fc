#pragma once

#include "subscribe/ZPHFeedErrorRecoveryAttempter.h"

#include <QtCore/QUrl>

// "Attempt to Fix": searches for the feed again from its site. The address
// searched is the feed's home page when it is a web address, else the root
// of the feed's own site; the application's Add Site window runs the search
// (ZPHCoreApplicationDelegate::addFeedsWithSubscribeRequestReturningNewlyAddedFeeds)
// with the feed's folder, account and user-given name. Recovery is reported
// in every case.
class ZPHPageNotFoundErrorRecoveryAttempter : public ZPHFeedErrorRecoveryAttempter {
public:
  static ZPHPageNotFoundErrorRecoveryAttempter* sharedFeedNotFoundErrorRecoveryAttempter();

  void attemptRecoveryFromError(const ZPHError& error, int optionIndex, CBFeed* feed,
                                DidRecoverHandler didRecover) override;

  // The address to search for `feed`; invalid when there is none.
  static QUrl addressToSearchForFeed(const CBFeed* feed);
};
