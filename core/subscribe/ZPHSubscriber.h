#pragma once

#include "platform/ZPHNotificationCenter.h"
#include "subscribe/ZPHFeedFinderDelegate.h"
#include "subscribe/ZPHFeedSubscriptionResult.h"
#include "subscribe/ZPHSubscribeRequest.h"

#include <QtCore/QList>
#include <QtCore/QMetaType>

#include <functional>
#include <memory>

class CBFeed;
class ZPHFeedFinder;
class ZPHSubscriber;

// Posted on the main thread, object the subscriber (ZPHSubscriber*).
// Will start: user info {"subscribeRequests": every request
// (ZPHSubscribeRequests)}. Did finish: user info {"subscribeResults": the
// result of every request, in request order (ZPHFeedSubscriptionResults),
// "subscribeRequests": every request}; after a cancel, no user info.
extern const QString ZPHBatchSubscribeWillStartNotification;             // "ZPHBatchSubscribeWillStartNotification"
extern const QString ZPHBatchSubscribeDidFinishNotification;             // "ZPHBatchSubscribeDidFinishNotification"
extern const QString ZPHBatchSubscribeNotificationSubscribeRequestsKey;  // "subscribeRequests"
extern const QString ZPHBatchSubscribeNotificationSubscribeResultsKey;   // "subscribeResults"

// Codes of the subscriber's errors.
enum ZPHSubscriberErrorCode : qint64 {
  // The finder failed and gave no error (ZPHErrors domain).
  ZPHSubscriberErrorUnknown = 1,
  // The account has the feed already (ZPHErrors domain).
  ZPHSubscriberErrorAlreadySubscribed = 2,
  // The finder failed (the finder error's domain).
  ZPHSubscriberErrorFinderFailed = 3,
};

// Subscribes a batch of requests: one at a time, a feed finder searches the
// request's address and the first feed it finds counts (or its error); when
// the batch is through, every feed found is added to its account and folder
// in one main-thread block in store-queue order, and each request ends with
// a ZPHFeedSubscriptionResult. A feed the account has already is not added
// again: its request ends with error 2 and the existing feed. Equal requests
// in one batch are searched once and share their result. Adding a feed to
// the account makes the refresh controller refresh it.
//
// Main thread only. A running subscriber keeps itself alive until it
// finishes or is cancelled.
class ZPHSubscriber : public std::enable_shared_from_this<ZPHSubscriber>, public ZPHFeedFinderDelegate {
public:
  // After each request: whether it succeeded, and its result.
  using ProgressHandler = std::function<void(bool succeeded, const std::shared_ptr<ZPHFeedSubscriptionResult>&)>;
  // At the end: every result, in request order.
  using CompletionHandler = std::function<void(const ZPHFeedSubscriptionResults& results)>;
  // At the end: the feed of every result that has one (also an existing
  // one), and every result with an error, both in request order.
  using FeedsAndFailuresHandler =
      std::function<void(const QList<CBFeed*>& feeds, const ZPHFeedSubscriptionResults& failures)>;

  static std::shared_ptr<ZPHSubscriber> subscriberWithSubscribeRequests(const ZPHSubscribeRequests& requests);
  static std::shared_ptr<ZPHSubscriber> subscriberWithSubscribeRequest(std::shared_ptr<ZPHSubscribeRequest> request);
  static std::shared_ptr<ZPHSubscriber> subscriberUsingSubscriptionRequests(const ZPHSubscribeRequests& requests,
                                                                            FeedsAndFailuresHandler handler);

  explicit ZPHSubscriber(const ZPHSubscribeRequests& requests);
  ~ZPHSubscriber() override;
  ZPHSubscriber(const ZPHSubscriber&) = delete;
  ZPHSubscriber& operator=(const ZPHSubscriber&) = delete;

  // Starts the batch; false when it was cancelled, started before or has no
  // request.
  bool subscribe();
  bool subscribeWithCompletionHandler(CompletionHandler handler);
  void setProgressHandler(ProgressHandler handler) { m_progressHandler = std::move(handler); }
  void setCompletionHandler(CompletionHandler handler) { m_completionHandler = std::move(handler); }
  // Stops the batch: nothing more is searched or added, neither handler is
  // called, and the did-finish notification goes out without user info.
  void cancel();

  // Before subscribe(): whether the finders may ask the user (see
  // ZPHFeedFinder::setAllowsUserQuestions).
  bool allowsUserQuestions() const { return m_allowsUserQuestions; }
  void setAllowsUserQuestions(bool allow) { m_allowsUserQuestions = allow; }

  ZPHSubscribeRequests allSubscribeRequests() const { return m_allSubscribeRequests; }
  ZPHSubscribeRequests remainingSubscribeRequests() const { return m_remainingSubscribeRequests; }
  std::shared_ptr<ZPHSubscribeRequest> currentSubscribeRequest() const { return m_currentSubscribeRequest; }
  std::shared_ptr<ZPHFeedSubscriptionResult> currentSubscribeResult() const { return m_currentSubscribeResult; }
  // The result of a request (or of one equal to it); null when none yet.
  std::shared_ptr<ZPHFeedSubscriptionResult> resultForRequest(const ZPHSubscribeRequest& request) const;
  // Every result so far, in request order.
  ZPHFeedSubscriptionResults subscribeResults() const;
  bool isCanceled() const { return m_isCanceled; }

  // From the did-finish notification: the feeds of the results without
  // error, and the errors of the others; empty for any other notification.
  static QList<CBFeed*> newlySubscribedFeedsFromBatchSubscribeDidFinishNotification(
      const ZPHNotification& notification);
  static QList<ZPHError> errorsFromBatchSubscribeDidFinishNotification(const ZPHNotification& notification);

  // ZPHFeedFinderDelegate
  void feedFinderDidFindFeedsWithResults(ZPHFeedFinder* finder, const QList<ZPHFeedResult>& results) override;
  void feedFinderDidFailWithError(ZPHFeedFinder* finder, const ZPHError& error) override;

private:
  void startFeedFinderForNextSubscribeRequestOrFinish();
  void startFeedFinder();
  // Clears its delegate; a finder still searching is cancelled when asked.
  void dropFeedFinder(bool cancel);
  void finish();
  void addFeedsOnMainThread();
  void addFeed(const std::shared_ptr<ZPHFeedSubscriptionResult>& result);
  void postDidFinish(bool withUserInfo);
  static ZPHError alreadySubscribedError();

  ZPHSubscribeRequests m_allSubscribeRequests;
  ZPHSubscribeRequests m_remainingSubscribeRequests;
  std::shared_ptr<ZPHSubscribeRequest> m_currentSubscribeRequest;
  std::shared_ptr<ZPHFeedSubscriptionResult> m_currentSubscribeResult;
  QList<std::pair<std::shared_ptr<ZPHSubscribeRequest>, std::shared_ptr<ZPHFeedSubscriptionResult>>>
      m_subscribeResultsByRequest;
  std::shared_ptr<ZPHFeedFinder> m_feedFinder;
  ProgressHandler m_progressHandler;
  CompletionHandler m_completionHandler;
  bool m_allowsUserQuestions = true;
  bool m_started = false;
  bool m_isCanceled = false;
  // Held from subscribe() to the end of the batch.
  std::shared_ptr<ZPHSubscriber> m_keepAlive;
};

Q_DECLARE_METATYPE(ZPHSubscriber*)
