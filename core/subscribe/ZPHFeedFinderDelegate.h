#pragma once

#include "platform/ZPHError.h"
#include "subscribe/ZPHFeedResult.h"

#include <QtCore/QList>

class ZPHFeedFinder;

// Hears how a search ended, on the main thread; exactly one of the two is
// called, unless the search was cancelled first.
class ZPHFeedFinderDelegate {
public:
  virtual ~ZPHFeedFinderDelegate() = default;
  // `results` is not empty, in the finder's order.
  virtual void feedFinderDidFindFeedsWithResults(ZPHFeedFinder* finder, const QList<ZPHFeedResult>& results) = 0;
  virtual void feedFinderDidFailWithError(ZPHFeedFinder* finder, const ZPHError& error) = 0;
};
