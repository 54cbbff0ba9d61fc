#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"

#include "feeds/metadata/CBDeleteFeedInfoOperation.h"
#include "feeds/metadata/CBSaveConditionalGetInfoOperation.h"
#include "feeds/metadata/CBSaveFeedContentHashOperation.h"
#include "feeds/metadata/CBSaveFeedResponseValuesOperation.h"
#include "foundation/CBFiles.h"
#include "foundation/CBLocks.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperationQueue.h"
#include "platform/ZPHUserDefaults.h"

#include <QtCore/QDir>

#include <mutex>

const QString CBLocalAccountFeedMetadataCacheDateLastDeletedKey =
    QStringLiteral("dateLastDeletedLocalAccountMetadataCache");

const QString CBLocalAccountFeedMetadataCache::DatabaseFileName = QStringLiteral("LocalAccountMetadataCache.sqlite3");
const QString CBLocalAccountFeedMetadataCache::ConditionalGetInfoCreateStatement =
    QStringLiteral("CREATE TABLE conditionalGetInfo (URL TEXT UNIQUE, etag TEXT, lastModified TEXT);");
const QString CBLocalAccountFeedMetadataCache::FeedContentHashCreateStatement =
    QStringLiteral("CREATE TABLE feedContentHash (URL TEXT UNIQUE, hash BLOB);");

namespace {

const QString selectConditionalGetInfo =
    QStringLiteral("select etag, lastModified from conditionalGetInfo where URL = ? limit 1;");
const QString insertConditionalGetInfo =
    QStringLiteral("insert or replace into conditionalGetInfo (URL, etag, lastModified) values (?, ?, ?)");
const QString selectContentHash = QStringLiteral("select hash from feedContentHash where URL = ? limit 1;");
const QString insertContentHash = QStringLiteral("insert or replace into feedContentHash (URL, hash) values (?, ?)");
const QString deleteContentHash = QStringLiteral("delete from feedContentHash where URL = ?;");
const QString deleteConditionalGetInfo = QStringLiteral("delete from conditionalGetInfo where URL = ?;");

QString urlString(const QUrl& url) { return url.toString(QUrl::FullyEncoded); }

// Holds the statement lock for one scope.
class StatementLock {
public:
  explicit StatementLock(pthread_mutex_t* lock) : m_lock(lock) { CBLockLock(m_lock); }
  ~StatementLock() { CBLockUnlock(m_lock); }
  StatementLock(const StatementLock&) = delete;
  StatementLock& operator=(const StatementLock&) = delete;

private:
  pthread_mutex_t* m_lock;
};

}  // namespace

std::shared_ptr<CBLocalAccountFeedMetadataCache> CBLocalAccountFeedMetadataCache::sharedCache()
{
  // Kept for the life of the process (never destroyed at exit, when its
  // controller's threads may already be gone).
  static std::shared_ptr<CBLocalAccountFeedMetadataCache>* cache = nullptr;
  static std::once_flag once;
  std::call_once(once, [] { cache = new std::shared_ptr<CBLocalAccountFeedMetadataCache>(makeCache()); });
  return *cache;
}

std::shared_ptr<CBLocalAccountFeedMetadataCache> CBLocalAccountFeedMetadataCache::makeCache(Clock now)
{
  std::shared_ptr<CBLocalAccountFeedMetadataCache> cache =
      makeCacheWithDatabaseFileName(DatabaseFileName, ConditionalGetInfoCreateStatement, std::move(now));
  if (cache)
    cache->createTableIfMissing(FeedContentHashCreateStatement);
  return cache;
}

std::shared_ptr<CBLocalAccountFeedMetadataCache> CBLocalAccountFeedMetadataCache::makeCacheWithDatabaseFileName(
    const QString& databaseFileName, const QString& createTableStatement, Clock now)
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  const QString folder = delegate != nullptr ? delegate->pathToCacheFolder() : QString();
  if (folder.isEmpty() || databaseFileName.isEmpty()) {
    qCWarning(zphFeeds) << "no cache folder for" << databaseFileName;
    return nullptr;
  }
  const QString path = QDir(folder).filePath(databaseFileName);
  std::shared_ptr<CBLocalAccountFeedMetadataCache> cache(new CBLocalAccountFeedMetadataCache(databaseFileName, path));
  cache->deleteDatabaseFileIfStale(now ? now() : QDateTime::currentDateTimeUtc());
  cache->ensureDatabaseFileExists(createTableStatement);
  return cache;
}

CBLocalAccountFeedMetadataCache::CBLocalAccountFeedMetadataCache(const QString& databaseFileName,
                                                                 const QString& databaseFilePath)
    : CBSQLiteDatabaseController(DeferredSetUp{}, databaseFileName, databaseFilePath)
{
  m_lockMade = CBLockCreate(&m_lock) == 0;
  if (!m_lockMade)
    logAndExit(QStringLiteral("can't create the feed metadata database lock"));
  m_operationController = new CBOperationController;
  m_operationController->operationQueue()->setName(
      QStringLiteral("com.fernhollow.zephlin.feedMetaDataCacheOperationController"));
  // Its writes take the database's one lock in turn anyway: one thread
  // runs them one after the other, rather than a thread each waking to wait
  // for the lock (a refresh writes twice for every feed it downloads).
  m_operationController->operationQueue()->setMaxConcurrentOperationCount(1);
}

CBLocalAccountFeedMetadataCache::~CBLocalAccountFeedMetadataCache()
{
  // A controller is used on the main thread only; the last reference to the
  // database may go away on one of its own workers, which must not wait for
  // itself.
  CBOperationController* controller = m_operationController;
  m_operationController = nullptr;
  if (ZPHMainThread::isMainThread())
    delete controller;
  else
    ZPHMainThread::async([controller] { delete controller; });
  if (m_lockMade)
    CBLockDestroy(&m_lock);
}

void CBLocalAccountFeedMetadataCache::deleteDatabaseFileIfStale(const QDateTime& now)
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const QDateTime lastDeleted = defaults.objectForKey(CBLocalAccountFeedMetadataCacheDateLastDeletedKey).toDateTime();
  // Never deleted counts as deleted in the distant past.
  if (lastDeleted.isValid() && lastDeleted.addSecs(WipeIntervalSeconds) >= now)
    return;
  if (!CBFileDelete(databaseFilePath()))
    qCWarning(zphFeeds) << "can't delete" << databaseFilePath();
  // The empty journal the database keeps between writes goes with it.
  CBFileDelete(databaseFilePath() + QStringLiteral("-journal"));
  defaults.setObject(CBLocalAccountFeedMetadataCacheDateLastDeletedKey, now.toUTC());
}

std::optional<CBHTTPConditionalGetInfo> CBLocalAccountFeedMetadataCache::conditionalGetInfoForFeedURL(
    const QUrl& feedURL)
{
  Q_ASSERT_X(!feedURL.isEmpty(), Q_FUNC_INFO, "feedURL != nil");
  const QString url = urlString(feedURL);
  if (url.isEmpty())
    return std::nullopt;
  std::optional<QVariantList> row;
  {
    StatementLock locker(&m_lock);
    loadStoredValues();
    if (m_storedValuesLoaded) {
      const auto found = m_conditionalGetInfoByURL.constFind(url);
      if (found != m_conditionalGetInfoByURL.constEnd())
        row = found.value();
    } else {
      row = executeQueryForFirstRow(selectConditionalGetInfo, {url});
    }
  }
  if (!row || row->size() < 2)
    return std::nullopt;
  return CBHTTPConditionalGetInfo(row->at(0).toString(), row->at(1).toString());
}

QByteArray CBLocalAccountFeedMetadataCache::contentHashForFeedURL(const QUrl& feedURL)
{
  Q_ASSERT_X(!feedURL.isEmpty(), Q_FUNC_INFO, "feedURL != nil");
  const QString url = urlString(feedURL);
  if (url.isEmpty())
    return QByteArray();
  std::optional<QVariantList> row;
  {
    StatementLock locker(&m_lock);
    loadStoredValues();
    if (m_storedValuesLoaded) {
      const auto found = m_contentHashByURL.constFind(url);
      if (found != m_contentHashByURL.constEnd())
        row = QVariantList{found.value()};
    } else {
      row = executeQueryForFirstRow(selectContentHash, {url});
    }
  }
  if (!row || row->isEmpty() || !row->at(0).isValid())
    return QByteArray();
  const QByteArray hash = row->at(0).toByteArray();
  return hash.isNull() ? QByteArray("", 0) : hash;
}

void CBLocalAccountFeedMetadataCache::setConditionalGetInfo(const std::optional<CBHTTPConditionalGetInfo>& info,
                                                            const QUrl& feedURL)
{
  Q_ASSERT_X(!feedURL.isEmpty(), Q_FUNC_INFO, "feedURL != nil");
  addOperationToOwnController(std::make_shared<CBSaveConditionalGetInfoOperation>(shared_from_this(), info, feedURL));
}

void CBLocalAccountFeedMetadataCache::setContentHash(const QByteArray& hash, const QUrl& feedURL)
{
  Q_ASSERT_X(!feedURL.isEmpty(), Q_FUNC_INFO, "feedURL != nil");
  addOperationToOwnController(std::make_shared<CBSaveFeedContentHashOperation>(shared_from_this(), hash, feedURL));
}

void CBLocalAccountFeedMetadataCache::setResponseValues(const QByteArray& hash,
                                                        const std::optional<CBHTTPConditionalGetInfo>& info,
                                                        const QUrl& feedURL)
{
  Q_ASSERT_X(!feedURL.isEmpty(), Q_FUNC_INFO, "feedURL != nil");
  addOperationToOwnController(
      std::make_shared<CBSaveFeedResponseValuesOperation>(shared_from_this(), hash, info, feedURL));
}

void CBLocalAccountFeedMetadataCache::addOperationToOwnController(const std::shared_ptr<CBOperation>& operation)
{
  // Saves wait for everything else the database's controller runs.
  operation->setQueuePriority(ZPHOperationQueuePriority::VeryLow);
  if (ZPHMainThread::isMainThread()) {
    m_operationController->addOperation(operation);
    return;
  }
  std::weak_ptr<CBLocalAccountFeedMetadataCache> weakSelf = weak_from_this();
  ZPHMainThread::async([weakSelf, operation] {
    if (std::shared_ptr<CBLocalAccountFeedMetadataCache> self = weakSelf.lock())
      self->m_operationController->addOperation(operation);
  });
}

void CBLocalAccountFeedMetadataCache::storeConditionalGetInfo(const std::optional<CBHTTPConditionalGetInfo>& info,
                                                              const QUrl& feedURL)
{
  writeUnderLock(feedURL, [&](const QString& url) { writeConditionalGetInfo(info, url); });
}

void CBLocalAccountFeedMetadataCache::storeContentHash(const QByteArray& hash, const QUrl& feedURL)
{
  writeUnderLock(feedURL, [&](const QString& url) { writeContentHash(hash, url); });
}

void CBLocalAccountFeedMetadataCache::storeResponseValues(const QByteArray& hash,
                                                          const std::optional<CBHTTPConditionalGetInfo>& info,
                                                          const QUrl& feedURL)
{
  // One journal write for both rows rather than one each; the lock is held
  // throughout, so no other statement waits on the open transaction.
  writeUnderLock(feedURL, [&](const QString& url) {
    beginTransaction();
    writeContentHash(hash, url);
    writeConditionalGetInfo(info, url);
    endTransaction();
  });
}

void CBLocalAccountFeedMetadataCache::writeUnderLock(const QUrl& feedURL,
                                                     const std::function<void(const QString& url)>& write)
{
  Q_ASSERT_X(!feedURL.isEmpty(), Q_FUNC_INFO, "feedURL != nil");
  const QString url = urlString(feedURL);
  if (url.isEmpty())
    return;
  StatementLock locker(&m_lock);
  write(url);
}

void CBLocalAccountFeedMetadataCache::writeConditionalGetInfo(const std::optional<CBHTTPConditionalGetInfo>& info,
                                                              const QString& url)
{
  // Missing values are stored as "" (never NULL).
  const QString etag = info && !info->httpResponseEtag().isNull() ? info->httpResponseEtag() : QStringLiteral("");
  const QString lastModified =
      info && !info->httpResponseLastModified().isNull() ? info->httpResponseLastModified() : QStringLiteral("");
  if (executeUpdate(insertConditionalGetInfo, {url, etag, lastModified}) && m_storedValuesLoaded)
    m_conditionalGetInfoByURL.insert(url, {etag, lastModified});
}

void CBLocalAccountFeedMetadataCache::writeContentHash(const QByteArray& hash, const QString& url)
{
  const QByteArray stored = hash.isNull() ? QByteArray("", 0) : hash;
  if (executeUpdate(insertContentHash, {url, stored}) && m_storedValuesLoaded)
    m_contentHashByURL.insert(url, stored);
}

void CBLocalAccountFeedMetadataCache::deleteInfoForFeedURL(const QUrl& feedURL)
{
  Q_ASSERT_X(!feedURL.isEmpty(), Q_FUNC_INFO, "feedURL != nil");
  auto operation = std::make_shared<CBDeleteFeedInfoOperation>(shared_from_this(), feedURL);
  // Before the feed's first refresh can read what it deletes.
  operation->setQueuePriority(ZPHOperationQueuePriority::VeryHigh);
  ZPHMainThread::async([operation] { CBOperationController::sharedController()->addOperation(operation); });
}

void CBLocalAccountFeedMetadataCache::deleteAllInfoForFeedURL(const QUrl& feedURL)
{
  Q_ASSERT_X(!feedURL.isEmpty(), Q_FUNC_INFO, "feedURL != nil");
  const QString url = urlString(feedURL);
  StatementLock locker(&m_lock);
  executeUpdate(deleteContentHash, {url});
  executeUpdate(deleteConditionalGetInfo, {url});
  m_contentHashByURL.remove(url);
  m_conditionalGetInfoByURL.remove(url);
}

void CBLocalAccountFeedMetadataCache::loadStoredValues()
{
  if (m_storedValuesLoaded)
    return;
  QHash<QString, QVariantList> conditional;
  QHash<QString, QVariant> hashes;
  const bool read =
      executeQuery(QStringLiteral("select URL, etag, lastModified from conditionalGetInfo;"), {},
                   [&](const QVariantList& row) { conditional.insert(row.value(0).toString(), row.mid(1)); }) &&
      executeQuery(QStringLiteral("select URL, hash from feedContentHash;"), {},
                   [&](const QVariantList& row) { hashes.insert(row.value(0).toString(), row.value(1)); });
  // A file that cannot be read whole is asked row by row, as before.
  if (!read)
    return;
  m_conditionalGetInfoByURL = std::move(conditional);
  m_contentHashByURL = std::move(hashes);
  m_storedValuesLoaded = true;
}

void CBLocalAccountFeedMetadataCache::waitUntilAllOperationsAreFinished()
{
  ZPH_ASSERT_MAIN_THREAD();
  m_operationController->waitUntilAllOperationsAreFinished();
}

bool CBLocalAccountFeedMetadataCache::hasOperations() const
{
  ZPH_ASSERT_MAIN_THREAD();
  return m_operationController->numberOfOperations() != 0;
}
