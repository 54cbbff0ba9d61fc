#include "subscribe/ZPHFeedErrorRecoveryAttempter.h"

#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "subscribe/ZPHAuthenticationErrorRecoveryAttempter.h"
#include "subscribe/ZPHPageGoneErrorRecoveryAttempter.h"
#include "subscribe/ZPHPageNotFoundErrorRecoveryAttempter.h"

ZPHFeedErrorRecoveryAttempter* ZPHFeedErrorRecoveryAttempter::attempterForRefreshError(const ZPHError& error)
{
  if (error.domain() != ZPHRefreshFeedOperationErrorDomain)
    return nullptr;
  switch (error.code()) {
    case ZPHRefreshFeedOperationErrorLoginRejected:
    case ZPHRefreshFeedOperationErrorLoginRequired:
      return ZPHAuthenticationErrorRecoveryAttempter::sharedAuthenticationErrorRecoveryAttempter();
    case ZPHRefreshFeedOperationErrorPageNotFound:
      return ZPHPageNotFoundErrorRecoveryAttempter::sharedFeedNotFoundErrorRecoveryAttempter();
    case ZPHRefreshFeedOperationErrorGone:
      return ZPHPageGoneErrorRecoveryAttempter::sharedFeedGoneErrorRecoveryAttempter();
    default:
      return nullptr;
  }
}
