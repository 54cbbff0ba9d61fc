#pragma once

#include "platform/ZPHNotificationCenter.h"
#include "subscribe/ZPHFeedErrorRecoveryAttempter.h"

// User-info key of the login recovery's question; its answer must carry the
// same value back (the application copies the question's user info into
// its answer).
extern const QString
    ZPHAuthenticationErrorRecoveryAttempterBlockKey;  // "ZPHAuthenticationErrorRecoveryAttempterBlockKey"

// "Log In": asks the application for the feed's credentials with
// ZPHFeedRefreshChallengeReceivedNotification (object the feed's URL, user
// info "url", "username" and "password" when known, and
// ZPHAuthenticationErrorRecoveryAttempterBlockKey), waits for the matching
// ZPHFeedRefreshChallengeCredentialsReadyNotification, and with a user name
// and a password that were not cancelled stores them on the feed and
// refreshes it. Recovery is reported in every case, once the answer came.
class ZPHAuthenticationErrorRecoveryAttempter : public ZPHFeedErrorRecoveryAttempter {
public:
  static ZPHAuthenticationErrorRecoveryAttempter* sharedAuthenticationErrorRecoveryAttempter();

  void attemptRecoveryFromError(const ZPHError& error, int optionIndex, CBFeed* feed,
                                DidRecoverHandler didRecover) override;
};
