#include "subscriptions/ZPHImportPostProcessor.h"

#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHMainThread.h"
#include "store/CBCoreDataUtilities.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtCore/QPointer>

ZPHImportPostProcessor* ZPHImportPostProcessor::sharedImportPostProcessor()
{
  ZPH_ASSERT_MAIN_THREAD();
  static ZPHImportPostProcessor* shared = new ZPHImportPostProcessor;  // kept for the process
  return shared;
}

ZPHImportPostProcessor::ZPHImportPostProcessor()
{
  m_observer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedRefreshArticleSavingCompleteNotification, QVariant(), this,
      [this](const ZPHNotification& notification) { feedArticlesWereSaved(notification); },
      ZPHNotificationCenter::Delivery::MainThread);
}

QString ZPHImportPostProcessor::keyForURL(const QUrl& url)
{
  if (!url.isValid() || url.isEmpty())
    return {};
  return url.adjusted(QUrl::NormalizePathSegments).toString(QUrl::FullyEncoded);
}

void ZPHImportPostProcessor::requestImportPostProcessingForURL(const QUrl& url, const QString& importerName,
                                                               ZPHImporter::PostProcessor postProcessor)
{
  ZPH_ASSERT_MAIN_THREAD();
  const QString key = keyForURL(url);
  Q_ASSERT_X(!key.isEmpty() && postProcessor, Q_FUNC_INFO, "a post-processing request needs an address and work");
  if (key.isEmpty() || !postProcessor)
    return;
  if (m_requests.contains(key)) {
    qCWarning(zphSubscriptions).noquote() << "Received two import processing requests for the same URL:" << key
                                          << m_requests.value(key).importerName << importerName;
    return;
  }
  m_requests.insert(key, Request{importerName, std::move(postProcessor)});
}

bool ZPHImportPostProcessor::hasPendingRequestForURL(const QUrl& url) const
{
  return m_requests.contains(keyForURL(url));
}

void ZPHImportPostProcessor::feedArticlesWereSaved(const ZPHNotification& notification)
{
  ZPH_ASSERT_MAIN_THREAD();
  auto* feed = dynamic_cast<CBFeed*>(notification.object.value<ZPHManagedObject*>());
  if (feed == nullptr)
    return;
  const QUrl url = feed->URL();
  const QString key = keyForURL(url);
  if (key.isEmpty() || !m_requests.contains(key))
    return;
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr)
    return;
  const ZPHImporter::PostProcessor postProcessor = m_requests.value(key).postProcessor;
  const QString urlString = url.toString(QUrl::FullyEncoded);
  QPointer<ZPHImportPostProcessor> self(this);
  delegate->addCoreDataQueueBlock(
      [self, postProcessor, urlString, key, url] {
        ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
        std::shared_ptr<ZPHManagedObjectContext> context =
            delegate != nullptr ? delegate->temporaryManagedObjectContext() : nullptr;
        if (context != nullptr) {
          if (CBFeed* stored = CBFeed::feedWithURL(urlString, context.get())) {
            postProcessor(stored, context.get());
            CBSaveManagedObjectContext(context.get());
          }
          context.reset();
        }
        ZPHMainThread::sync([self, key, url] {
          if (self == nullptr)
            return;
          self->m_requests.remove(key);
          CBDataAccount* account = CBDataAccount::localAccount();
          CBFeed* feed = account != nullptr ? account->feedWithURL(url) : nullptr;
          if (feed != nullptr)
            ZPHNotificationCenter::defaultCenter().post(ZPHFeedRefreshArticlesUpdatedNotification,
                                                        QVariant::fromValue(static_cast<ZPHManagedObject*>(feed)),
                                                        {{CBURLKey, url}});
        });
      },
      {});
}
