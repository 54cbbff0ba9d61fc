#include "sync/ZPHSyncFeedFetchOperation.h"

#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "subscribe/ZPHFeedFinder.h"
#include "sync/CBDataAccountSync.h"
#include "sync/ZPHSyncServerNetworkOperation.h"
#include "sync/ZPHSyncUtils.h"

#include <QtCore/QMutexLocker>

namespace {

const QString URLKey = QStringLiteral("url");
const QString HomePageURLKey = QStringLiteral("homepageurl");
const QString FaviconURLKey = QStringLiteral("favIconUrl");
const QString GuidKey = QStringLiteral("guid");
const QString UserAssignedNameKey = QStringLiteral("userAssignedName");

}  // namespace

ZPHSyncFeedFetchOperation::ZPHSyncFeedFetchOperation() = default;

ZPHSyncFeedFetchOperation::~ZPHSyncFeedFetchOperation() = default;

void ZPHSyncFeedFetchOperation::start()
{
  if (isCancelled()) {
    finish();
    return;
  }
  markAsRunning();
  if (!m_reactivatingFeed) {
    m_urlString = ZPHSyncUtils::processString(m_feedDictionary.value(URLKey));
    m_homepageUrlString = ZPHSyncUtils::processWebAddress(m_feedDictionary.value(HomePageURLKey));
    m_faviconUrlString = ZPHSyncUtils::processWebAddress(m_feedDictionary.value(FaviconURLKey));
  }
  auto self = std::static_pointer_cast<ZPHSyncFeedFetchOperation>(shared_from_this());
  ZPHMainThread::async([self] {
    if (self->isCancelled()) {
      self->finish();
      return;
    }
    self->m_feedFinder = ZPHFeedFinder::finderWithURL(QUrl(self->m_urlString), self.get());
    if (!self->m_feedFinder->findFeed()) {
      self->feedFinderDidFailWithError(self->m_feedFinder.get(), ZPHError());
    }
  });
}

void ZPHSyncFeedFetchOperation::cancel()
{
  FHLConcurrentOperation::cancel();
  if (!isExecuting())
    return;
  auto self = std::static_pointer_cast<ZPHSyncFeedFetchOperation>(shared_from_this());
  ZPHMainThread::async([self] {
    if (!self->m_feedFinder)
      return;
    self->m_feedFinder->cancel();
    self->m_feedFinder.reset();
    self->finish();
  });
}

void ZPHSyncFeedFetchOperation::feedFinderDidFindFeedsWithResults(ZPHFeedFinder* finder,
                                                                  const QList<ZPHFeedResult>& results)
{
  Q_UNUSED(finder);
  m_feedFinder.reset();
  if (results.isEmpty()) {
    finish();
    return;
  }
  const ZPHFeedResult& found = results.first();
  updateFeed(found.foundTitle(), [found](CBFeed* feed) {
    feed->setURL(found.URL());
    if (!found.username().isEmpty()) {
      feed->setUsername(found.username());
      feed->setPassword(found.password());
    }
    if (!feed->password().isEmpty())
      feed->savePasswordInKeychain();
    feed->setSuspended(false);
  });
}

void ZPHSyncFeedFetchOperation::feedFinderDidFailWithError(ZPHFeedFinder* finder, const ZPHError& error)
{
  Q_UNUSED(finder);
  qCWarning(zphSync).noquote() << "FeedFetchOperation: failed to find feed with url"
                               << cb_URLStringWithUsernameAndPasswordRemoved(m_urlString) << error.toString();
  m_feedFinder.reset();
  updateFeed(QString(), [](CBFeed* feed) { feed->setSuspended(true); });
}

void ZPHSyncFeedFetchOperation::updateFeed(const QString& title, const std::function<void(CBFeed* feed)>& work)
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr || isCancelled()) {
    finish();
    return;
  }
  auto self = std::static_pointer_cast<ZPHSyncFeedFetchOperation>(shared_from_this());
  auto block = std::make_shared<ZPHBlockOperation>([self, title, work] {
    ZPHCoreApplicationDelegate* d = ZPHCoreApplicationDelegate::sharedDelegate();
    std::shared_ptr<ZPHManagedObjectContext> context = d ? d->temporaryManagedObjectContext() : nullptr;
    if (context == nullptr)
      return;
    CBFeed* feed = self->feedWithTitle(title, context.get());
    if (feed == nullptr)
      return;
    work(feed);
    if (!ZPHSyncServerNetworkOperation::saveContext(context.get()))
      return;
    CBDataAccountSync::addFeedFromSyncManager(feed->objectID(), feed->URL());
  });
  // The operation ends once the store work ran, or was dropped at quit.
  block->setCompletionBlock([self] { self->finish(); });
  delegate->addCoreDataQueueOperation(block);
  if (ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown())
    finish();
}

CBFeed* ZPHSyncFeedFetchOperation::feedWithTitle(const QString& title, ZPHManagedObjectContext* context) const
{
  if (m_urlString.isEmpty())
    return nullptr;
  // Stored addresses hold no login (the finder took it apart).
  if (CBFeed* feed = CBFeed::feedWithURL(cb_URLStringWithUsernameAndPasswordRemoved(m_urlString), context))
    return feed;
  // Only web addresses become feeds.
  if (ZPHSyncUtils::processWebAddress(QJsonValue(m_urlString)).isEmpty())
    return nullptr;
  CBFeed* feed = CBFeed::insertFeedWithMOC(context);
  feed->setUrl(m_urlString);
  QString guid = ZPHSyncUtils::processIdentifier(m_feedDictionary.value(GuidKey));
  if (guid.isEmpty())
    guid = cb_uuidString();
  feed->setGuid(guid);
  ZPHSyncUtils::setNodeProperties(feed, m_feedDictionary, true, nullptr, nullptr);
  const QString name = ZPHSyncUtils::processString(m_feedDictionary.value(UserAssignedNameKey));
  feed->setName(name.isEmpty() ? title : name);
  feed->setStrHomePageURL(m_homepageUrlString);
  if (!feed->parentguid().isEmpty()) {
    if (CBFolder* folder = CBFolder::folderWithGUID(feed->parentguid(), context))
      feed->setParent(folder);
  }
  if (!m_faviconUrlString.isEmpty())
    feed->setStrFaviconURL(m_faviconUrlString);
  return feed;
}

void ZPHSyncFeedFetchOperation::finish()
{
  {
    QMutexLocker locker(&m_finishMutex);
    if (m_finished)
      return;
    m_finished = true;
  }
  markAsComplete();
}
