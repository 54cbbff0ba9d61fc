#pragma once

#include "platform/ZPHError.h"

#include <functional>

class CBFeed;

// Offers the way out of a feed's refresh error: the application's error
// window shows the error's recovery options and, when the user picks one,
// hands it here with the feed. Login errors (codes 8 and 9 of the refresh
// operation) ask for new credentials and refresh, not-found errors (4)
// search for the feed again from its site, gone errors (5) open the site's
// home page. Main thread only.
class ZPHFeedErrorRecoveryAttempter {
public:
  // Told whether recovery happened, once, on the main thread.
  using DidRecoverHandler = std::function<void(bool didRecover)>;

  virtual ~ZPHFeedErrorRecoveryAttempter() = default;

  // Acts on the option at `optionIndex` of the error's recovery options for
  // `feed`. An index other than the attempter's own reports recovery at
  // once and does nothing else.
  virtual void attemptRecoveryFromError(const ZPHError& error, int optionIndex, CBFeed* feed,
                                        DidRecoverHandler didRecover) = 0;

  // The shared attempter for a refresh error, or nullptr when it offers no
  // recovery.
  static ZPHFeedErrorRecoveryAttempter* attempterForRefreshError(const ZPHError& error);
};
