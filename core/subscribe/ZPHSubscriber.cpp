#include "subscribe/ZPHSubscriber.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "foundation/ZPHErrors.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "store/CBCoreDataUtilities.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "subscribe/ZPHFeedFinder.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QSet>

const QString ZPHBatchSubscribeWillStartNotification = QStringLiteral("ZPHBatchSubscribeWillStartNotification");
const QString ZPHBatchSubscribeDidFinishNotification = QStringLiteral("ZPHBatchSubscribeDidFinishNotification");
const QString ZPHBatchSubscribeNotificationSubscribeRequestsKey = QStringLiteral("subscribeRequests");
const QString ZPHBatchSubscribeNotificationSubscribeResultsKey = QStringLiteral("subscribeResults");

namespace {

QString tr(const char* text) { return QCoreApplication::translate("Subscribing", text); }

}  // namespace

std::shared_ptr<ZPHSubscriber> ZPHSubscriber::subscriberWithSubscribeRequests(const ZPHSubscribeRequests& requests)
{
  return std::make_shared<ZPHSubscriber>(requests);
}

std::shared_ptr<ZPHSubscriber> ZPHSubscriber::subscriberWithSubscribeRequest(
    std::shared_ptr<ZPHSubscribeRequest> request)
{
  return std::make_shared<ZPHSubscriber>(request ? ZPHSubscribeRequests{request} : ZPHSubscribeRequests{});
}

std::shared_ptr<ZPHSubscriber> ZPHSubscriber::subscriberUsingSubscriptionRequests(const ZPHSubscribeRequests& requests,
                                                                                  FeedsAndFailuresHandler handler)
{
  auto subscriber = std::make_shared<ZPHSubscriber>(requests);
  subscriber->setCompletionHandler([handler](const ZPHFeedSubscriptionResults& results) {
    QList<CBFeed*> feeds;
    ZPHFeedSubscriptionResults failures;
    for (const std::shared_ptr<ZPHFeedSubscriptionResult>& result : results) {
      if (CBFeed* feed = result->resultingSubscribedFeed())
        feeds.append(feed);
      if (!result->error().isNull())
        failures.append(result);
    }
    if (handler)
      handler(feeds, failures);
  });
  return subscriber;
}

ZPHSubscriber::ZPHSubscriber(const ZPHSubscribeRequests& requests)
{
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : requests) {
    if (request)
      m_allSubscribeRequests.append(request);
  }
  m_remainingSubscribeRequests = m_allSubscribeRequests;
}

ZPHSubscriber::~ZPHSubscriber()
{
  if (m_feedFinder) {
    m_feedFinder->setDelegate(nullptr);
    m_feedFinder->cancel();
  }
}

std::shared_ptr<ZPHFeedSubscriptionResult> ZPHSubscriber::resultForRequest(const ZPHSubscribeRequest& request) const
{
  for (const auto& [known, result] : m_subscribeResultsByRequest) {
    if (known->isEqual(request))
      return result;
  }
  return nullptr;
}

ZPHFeedSubscriptionResults ZPHSubscriber::subscribeResults() const
{
  ZPHFeedSubscriptionResults results;
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : m_allSubscribeRequests) {
    if (std::shared_ptr<ZPHFeedSubscriptionResult> result = resultForRequest(*request))
      results.append(result);
  }
  return results;
}

bool ZPHSubscriber::subscribeWithCompletionHandler(CompletionHandler handler)
{
  setCompletionHandler(std::move(handler));
  return subscribe();
}

bool ZPHSubscriber::subscribe()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_isCanceled || m_started || m_allSubscribeRequests.isEmpty()) {
    qCWarning(zphNetwork) << "a subscriber starts once, with requests, and not after a cancel";
    return false;
  }
  m_started = true;
  m_keepAlive = shared_from_this();
  startFeedFinderForNextSubscribeRequestOrFinish();
  return true;
}

void ZPHSubscriber::cancel()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_isCanceled)
    return;
  // Whoever let go meanwhile, the subscriber lives to the end of this call.
  const std::shared_ptr<ZPHSubscriber> self = shared_from_this();
  m_isCanceled = true;
  m_currentSubscribeRequest.reset();
  m_currentSubscribeResult.reset();
  m_remainingSubscribeRequests.clear();
  m_progressHandler = nullptr;
  m_completionHandler = nullptr;
  dropFeedFinder(true);
  postDidFinish(false);
  m_keepAlive.reset();
}

void ZPHSubscriber::startFeedFinderForNextSubscribeRequestOrFinish()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_isCanceled)
    return;
  if (!m_currentSubscribeRequest) {
    m_currentSubscribeRequest = m_remainingSubscribeRequests.value(0);
    ZPHNotificationCenter::defaultCenter().post(
        ZPHBatchSubscribeWillStartNotification, QVariant::fromValue(this),
        {{ZPHBatchSubscribeNotificationSubscribeRequestsKey, QVariant::fromValue(m_allSubscribeRequests)}});
    startFeedFinder();
    return;
  }

  // The request just ended; equal ones go with it.
  const std::shared_ptr<ZPHSubscribeRequest> ended = m_currentSubscribeRequest;
  const std::shared_ptr<ZPHFeedSubscriptionResult> result = m_currentSubscribeResult;
  m_remainingSubscribeRequests.removeIf(
      [&](const std::shared_ptr<ZPHSubscribeRequest>& request) { return request->isEqual(*ended); });
  m_subscribeResultsByRequest.append({ended, result});
  if (m_progressHandler)
    m_progressHandler(result->error().isNull(), result);
  if (m_isCanceled)
    return;
  if (!m_remainingSubscribeRequests.isEmpty()) {
    m_currentSubscribeRequest = m_remainingSubscribeRequests.first();
    startFeedFinder();
    return;
  }
  m_currentSubscribeRequest.reset();
  m_currentSubscribeResult.reset();
  finish();
}

void ZPHSubscriber::dropFeedFinder(bool cancel)
{
  if (!m_feedFinder)
    return;
  m_feedFinder->setDelegate(nullptr);
  if (cancel)
    m_feedFinder->cancel();
  m_feedFinder.reset();
}

void ZPHSubscriber::startFeedFinder()
{
  dropFeedFinder(false);
  m_currentSubscribeResult = std::make_shared<ZPHFeedSubscriptionResult>(m_currentSubscribeRequest);
  m_feedFinder = ZPHFeedFinder::finderWithURL(m_currentSubscribeRequest->feedURL(), this);
  m_feedFinder->setAllowsUserQuestions(m_allowsUserQuestions);
  if (!m_feedFinder->findFeed()) {
    // No address to search: the request fails, and the batch goes on.
    const std::shared_ptr<ZPHFeedFinder> finder = m_feedFinder;
    ZPHMainThread::async([self = shared_from_this(), finder] {
      if (self->m_feedFinder == finder)
        self->feedFinderDidFailWithError(
            finder.get(),
            ZPHErrors::errorWithCode(ZPHFeedFinderErrorNoFeedFound, ZPHFeedFinder::notAWebAddressErrorString()));
    });
  }
}

void ZPHSubscriber::feedFinderDidFindFeedsWithResults(ZPHFeedFinder* finder, const QList<ZPHFeedResult>& results)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_isCanceled || finder != m_feedFinder.get() || !m_currentSubscribeResult || results.isEmpty())
    return;
  // Only the first feed found counts.
  const ZPHFeedResult& found = results.first();
  ZPHFeedSubscriptionResult& result = *m_currentSubscribeResult;
  result.setURL(found.URL());
  result.setUsername(found.username());
  result.setPassword(found.password());
  CBDataAccount* account = m_currentSubscribeRequest->account();
  if (CBFeed* existing = account != nullptr ? account->feedWithURL(found.URL()) : nullptr) {
    result.setError(alreadySubscribedError());
    result.setResultingSubscribedFeed(existing);
  } else if (m_currentSubscribeRequest->title().isEmpty()) {
    result.setFoundTitle(found.foundTitle());
  }
  startFeedFinderForNextSubscribeRequestOrFinish();
}

void ZPHSubscriber::feedFinderDidFailWithError(ZPHFeedFinder* finder, const ZPHError& error)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_isCanceled || finder != m_feedFinder.get() || !m_currentSubscribeResult)
    return;
  if (error.isNull()) {
    m_currentSubscribeResult->setError(ZPHErrors::errorWithCode(ZPHSubscriberErrorUnknown, QStringLiteral("")));
  } else {
    QVariantMap userInfo = error.userInfo();
    userInfo.insert(ZPHLocalizedDescriptionKey,
                    tr("There was a problem adding %1.").arg(ZPHFeedFinderFeedNameUncapitalizedPlaceholder));
    userInfo.remove(ZPHLocalizedRecoverySuggestionKey);
    const QString finderText = error.value(ZPHLocalizedDescriptionKey).toString();
    if (!finderText.isEmpty())
      userInfo.insert(ZPHLocalizedRecoverySuggestionKey, finderText);
    userInfo.insert(ZPHUnderlyingErrorKey, QVariant::fromValue(error));
    m_currentSubscribeResult->setError(ZPHError(error.domain(), ZPHSubscriberErrorFinderFailed, userInfo));
  }
  startFeedFinderForNextSubscribeRequestOrFinish();
}

ZPHError ZPHSubscriber::alreadySubscribedError()
{
  return ZPHErrors::errorWithCode(
      ZPHSubscriberErrorAlreadySubscribed, tr("This site cannot be added."),
      {{ZPHLocalizedRecoverySuggestionKey, tr("You have already added %1. You can find it in the sites list.")
                                               .arg(ZPHFeedFinderFeedNameUncapitalizedPlaceholder)}});
}

void ZPHSubscriber::finish()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_isCanceled)
    return;
  std::shared_ptr<ZPHSubscriber> self = shared_from_this();
  auto block = [self] {
    if (!self->m_isCanceled)
      self->addFeedsOnMainThread();
    self->m_keepAlive.reset();
  };
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    delegate->addMainThreadCoreDataQueueBlock(block);
  else
    ZPHMainThread::async(block);
}

void ZPHSubscriber::addFeedsOnMainThread()
{
  ZPH_ASSERT_MAIN_THREAD();
  QSet<ZPHFeedSubscriptionResult*> added;
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : std::as_const(m_allSubscribeRequests)) {
    const std::shared_ptr<ZPHFeedSubscriptionResult> result = resultForRequest(*request);
    if (!result || !result->error().isNull() || added.contains(result.get()))
      continue;
    added.insert(result.get());
    addFeed(result);
  }
  dropFeedFinder(false);

  const ZPHFeedSubscriptionResults results = subscribeResults();
  CompletionHandler completion = std::move(m_completionHandler);
  m_completionHandler = nullptr;
  if (completion)
    completion(results);
  if (!m_isCanceled)
    postDidFinish(true);
}

void ZPHSubscriber::addFeed(const std::shared_ptr<ZPHFeedSubscriptionResult>& result)
{
  const std::shared_ptr<ZPHSubscribeRequest> request = result->subscribeRequest();
  CBDataAccount* account = request->account();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  ZPHManagedObjectContext* context = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
  if (account == nullptr || context == nullptr) {
    qCWarning(zphStore) << "no account to add" << result->URL().toDisplayString(QUrl::RemoveUserInfo) << "to";
    result->setError(ZPHErrors::errorWithCode(ZPHSubscriberErrorUnknown, QStringLiteral("")));
    return;
  }
  // Another request of the batch, or someone else meanwhile, may have added
  // this feed: it is not added twice.
  if (CBFeed* existing = account->feedWithURL(result->URL())) {
    result->setError(alreadySubscribedError());
    result->setResultingSubscribedFeed(existing);
    return;
  }

  CBFeed* feed = CBFeed::insertFeedWithURL(result->URL(), context);
  if (feed == nullptr) {
    result->setError(ZPHErrors::errorWithCode(ZPHSubscriberErrorUnknown, QStringLiteral("")));
    return;
  }
  if (!request->title().isEmpty())
    feed->setUserSpecifiedName(request->title());
  if (!result->foundTitle().isEmpty())
    feed->setFeedSpecifiedName(result->foundTitle());
  if (!result->username().isEmpty())
    feed->setUsername(result->username());
  if (!result->password().isEmpty())
    feed->setPassword(result->password());
  feed->setHomePageURL(request->feedURL());
  if (!result->password().isEmpty())
    feed->savePasswordInKeychain();

  CBFolder* folder = request->parentFolder();
  if (request->targetIndexInParentFolder() == ZPHSubscribeRequest::AppendIndex)
    account->addFeedAtEndOfFolder(feed, folder);
  else
    account->addFeedAtIndexOfFolder(feed, qsizetype(request->targetIndexInParentFolder()), folder);
  CBSaveManagedObjectContext(context);
  if (request->markAsFavorite())
    feed->markAsFavorite(true);
  result->setResultingSubscribedFeed(feed);
}

void ZPHSubscriber::postDidFinish(bool withUserInfo)
{
  QVariantMap userInfo;
  if (withUserInfo) {
    userInfo.insert(ZPHBatchSubscribeNotificationSubscribeResultsKey, QVariant::fromValue(subscribeResults()));
    userInfo.insert(ZPHBatchSubscribeNotificationSubscribeRequestsKey, QVariant::fromValue(m_allSubscribeRequests));
  }
  ZPHNotificationCenter::defaultCenter().post(ZPHBatchSubscribeDidFinishNotification, QVariant::fromValue(this),
                                              userInfo);
}

QList<CBFeed*> ZPHSubscriber::newlySubscribedFeedsFromBatchSubscribeDidFinishNotification(
    const ZPHNotification& notification)
{
  QList<CBFeed*> feeds;
  if (notification.name != ZPHBatchSubscribeDidFinishNotification) {
    qCWarning(zphStore) << "not a batch subscribe did-finish notification:" << notification.name;
    return feeds;
  }
  const ZPHFeedSubscriptionResults results =
      notification.userInfo.value(ZPHBatchSubscribeNotificationSubscribeResultsKey).value<ZPHFeedSubscriptionResults>();
  for (const std::shared_ptr<ZPHFeedSubscriptionResult>& result : results) {
    if (!result || !result->error().isNull())
      continue;
    if (CBFeed* feed = result->resultingSubscribedFeed())
      feeds.append(feed);
    else
      qCWarning(zphStore) << "a subscribe result without error has no feed:" << result->description();
  }
  return feeds;
}

QList<ZPHError> ZPHSubscriber::errorsFromBatchSubscribeDidFinishNotification(const ZPHNotification& notification)
{
  QList<ZPHError> errors;
  if (notification.name != ZPHBatchSubscribeDidFinishNotification)
    return errors;
  const ZPHFeedSubscriptionResults results =
      notification.userInfo.value(ZPHBatchSubscribeNotificationSubscribeResultsKey).value<ZPHFeedSubscriptionResults>();
  for (const std::shared_ptr<ZPHFeedSubscriptionResult>& result : results) {
    if (result && !result->error().isNull())
      errors.append(result->error());
  }
  return errors;
}
