#pragma once

#include "subscribe/ZPHFeedErrorRecoveryAttempter.h"

// "Open Site in Browser": asks the application to open the feed's home page
// in the default browser, only when it is an http or https address. Reports
// whether the page was handed to the browser.
class ZPHPageGoneErrorRecoveryAttempter : public ZPHFeedErrorRecoveryAttempter {
public:
  static ZPHPageGoneErrorRecoveryAttempter* sharedFeedGoneErrorRecoveryAttempter();

  void attemptRecoveryFromError(const ZPHError& error, int optionIndex, CBFeed* feed,
                                DidRecoverHandler didRecover) override;
};
