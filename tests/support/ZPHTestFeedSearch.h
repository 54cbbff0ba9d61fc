#pragma once

#include "foundation/ZPHErrors.h"
#include "subscribe/ZPHFeedFinder.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QStringList>
#include <QtCore/QUrl>

#include <gtest/gtest.h>

#include <memory>

// One feed finder search for a test: start() begins it, wait() waits for
// the delegate's answer, and the answer stays in `results` or `error`
// (`calls` counts the answers: a finder gives exactly one).
struct ZPHTestFeedSearch : ZPHFeedFinderDelegate {
  int calls = 0;
  QList<ZPHFeedResult> results;
  ZPHError error;
  std::shared_ptr<ZPHFeedFinder> finder;

  void feedFinderDidFindFeedsWithResults(ZPHFeedFinder*, const QList<ZPHFeedResult>& found) override
  {
    ++calls;
    results = found;
  }
  void feedFinderDidFailWithError(ZPHFeedFinder*, const ZPHError& failure) override
  {
    ++calls;
    error = failure;
  }

  // `questions`: whether the finder may ask the user (a login, a
  // certificate).
  void start(const QUrl& url, bool questions = true)
  {
    finder = ZPHFeedFinder::finderWithURL(url, this);
    finder->setAllowsUserQuestions(questions);
    EXPECT_TRUE(finder->findFeed());
  }
  bool wait(int timeoutMs = 30000)
  {
    return ZPHTestWaitUntil([&] { return calls > 0; }, timeoutMs);
  }
  // The paths of the found feeds' addresses, in order.
  QStringList urls() const
  {
    QStringList list;
    for (const ZPHFeedResult& result : results) list.append(result.URL().path());
    return list;
  }
  QStringList titles() const
  {
    QStringList list;
    for (const ZPHFeedResult& result : results) list.append(result.foundTitle());
    return list;
  }
  QString errorText() const { return error.localizedDescription(); }
};
