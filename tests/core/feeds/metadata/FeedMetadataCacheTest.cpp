#include "feeds/metadata/CBDeleteFeedInfoOperation.h"
#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "foundation/CBFiles.h"
#include "platform/CBOperation.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using Info = CBHTTPConditionalGetInfo;

// Records the warnings logged while it lives, and passes every message on.
class LogCapture {
public:
  LogCapture()
  {
    current() = this;
    m_previous = qInstallMessageHandler(&LogCapture::handle);
  }
  ~LogCapture()
  {
    qInstallMessageHandler(m_previous);
    current() = nullptr;
  }
  QStringList warnings() const
  {
    QMutexLocker locker(&m_mutex);
    return m_warnings;
  }

private:
  static LogCapture*& current()
  {
    static LogCapture* capture = nullptr;
    return capture;
  }
  static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
  {
    LogCapture* capture = current();
    if (capture == nullptr)
      return;
    if (type >= QtWarningMsg) {
      QMutexLocker locker(&capture->m_mutex);
      capture->m_warnings.append(message);
    }
    if (capture->m_previous != nullptr)
      capture->m_previous(type, context, message);
  }

  QtMessageHandler m_previous = nullptr;
  mutable QMutex m_mutex;
  QStringList m_warnings;
};

QByteArray md5(const QByteArray& body) { return QCryptographicHash::hash(body, QCryptographicHash::Md5); }

// A feed's values as stored, and as they must read back.
struct StoredValuesCase {
  const char* url;
  std::optional<Info> info;
  QByteArray hash;
  QString etag;
  QString lastModified;
};

// Missing values read back as empty (not null) strings, a missing digest as
// empty (not null) data.
void expectStoredValues(CBLocalAccountFeedMetadataCache& cache, const StoredValuesCase& c)
{
  SCOPED_TRACE(c.url);
  const QUrl url(QString::fromUtf8(c.url));
  const std::optional<Info> info = cache.conditionalGetInfoForFeedURL(url);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->httpResponseEtag(), c.etag);
  EXPECT_FALSE(info->httpResponseEtag().isNull());
  EXPECT_EQ(info->httpResponseLastModified(), c.lastModified);
  const QByteArray hash = cache.contentHashForFeedURL(url);
  EXPECT_FALSE(hash.isNull());
  EXPECT_EQ(hash, c.hash.isNull() ? QByteArray() : c.hash);
}

class FeedMetadataCacheTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_now = QDateTime(QDate(2026, 3, 10), QTime(12, 0), Qt::UTC);
    // Deleted an hour ago: no wipe unless a test asks for one.
    setLastDeleted(m_now.addSecs(-3600));
  }

  void TearDown() override { ZPHUserDefaults::standardUserDefaults().removeObject(lastDeletedKey()); }

  static QString lastDeletedKey() { return CBLocalAccountFeedMetadataCacheDateLastDeletedKey; }
  static void setLastDeleted(const QDateTime& date)
  {
    ZPHUserDefaults::standardUserDefaults().setObject(lastDeletedKey(), date);
  }
  static QDateTime lastDeleted()
  {
    return ZPHUserDefaults::standardUserDefaults().objectForKey(lastDeletedKey()).toDateTime();
  }

  std::shared_ptr<CBLocalAccountFeedMetadataCache> makeCache()
  {
    return CBLocalAccountFeedMetadataCache::makeCache([this] { return m_now; });
  }

  QString databasePath() const
  {
    return QDir(m_delegate.pathToCacheFolder()).filePath(CBLocalAccountFeedMetadataCache::DatabaseFileName);
  }

  static bool waitForOwnOperations(const std::shared_ptr<CBLocalAccountFeedMetadataCache>& cache)
  {
    return ZPHTestWaitUntil([&] { return !cache->hasOperations(); });
  }

  ZPHTestApplicationDelegate m_delegate;
  QDateTime m_now;
};

TEST_F(FeedMetadataCacheTest, StoredValuesComeBackThroughQueuedSaves)
{
  auto cache = makeCache();
  ASSERT_TRUE(cache);
  EXPECT_EQ(cache->databaseFilePath(), databasePath());
  EXPECT_TRUE(cache->databaseIsNew());
  EXPECT_EQ(cache->databaseKey(), QStringLiteral("LocalAccountMetadataCache.sqlite3_cachedDatabaseKey"));
  EXPECT_EQ(cache->refcountKey(), QStringLiteral("LocalAccountMetadataCache.sqlite3_cachedRefCountKey"));
  EXPECT_EQ(cache->feedMetaDataCacheOperationsController()->name(),
            QStringLiteral("com.fernhollow.zephlin.feedMetaDataCacheOperationController"));

  const QUrl never(QStringLiteral("https://example.com/never.xml"));
  EXPECT_FALSE(cache->conditionalGetInfoForFeedURL(never).has_value());
  EXPECT_TRUE(cache->contentHashForFeedURL(never).isNull());

  // Missing values are written as "" and read back as empty (not null)
  // strings; a missing digest as empty (not null) data.
  const StoredValuesCase cases[] = {
      {"https://example.com/full.xml", Info{QStringLiteral("\"abc\""), QStringLiteral("Tue, 10 Mar 2026 10:00:00 GMT")},
       md5("body one"), QStringLiteral("\"abc\""), QStringLiteral("Tue, 10 Mar 2026 10:00:00 GMT")},
      {"https://example.com/no-etag.xml", Info{QString(), QStringLiteral("Mon, 09 Mar 2026 08:00:00 GMT")},
       md5("body two"), QStringLiteral(""), QStringLiteral("Mon, 09 Mar 2026 08:00:00 GMT")},
      {"http://example.com/nothing.xml?a=1&b=%C3%A9", std::nullopt, QByteArray(), QStringLiteral(""),
       QStringLiteral("")},
  };
  for (const StoredValuesCase& c : cases) {
    cache->setConditionalGetInfo(c.info, QUrl(QString::fromUtf8(c.url)));
    cache->setContentHash(c.hash, QUrl(QString::fromUtf8(c.url)));
  }
  EXPECT_TRUE(cache->hasOperations());
  // Saves wait for everything else.
  for (const auto& operation : cache->feedMetaDataCacheOperationsController()->operations())
    EXPECT_EQ(operation->queuePriority(), ZPHOperationQueuePriority::VeryLow);
  ASSERT_TRUE(waitForOwnOperations(cache));

  for (const StoredValuesCase& c : cases) expectStoredValues(*cache, c);

  // The rows are in the file: a new database over it finds them.
  cache.reset();
  auto reopened = makeCache();
  ASSERT_TRUE(reopened);
  EXPECT_FALSE(reopened->databaseIsNew());
  EXPECT_EQ(reopened->contentHashForFeedURL(QUrl(QStringLiteral("https://example.com/full.xml"))), md5("body one"));
}

TEST_F(FeedMetadataCacheTest, WritesUnderWayWhenTheApplicationQuitsStillEnd)
{
  // The quit waits for this database's writes: those queued before it began
  // end, and it hears of their end.
  auto cache = makeCache();
  ASSERT_TRUE(cache);
  for (int i = 0; i < 20; ++i) {
    const QUrl url(QStringLiteral("https://example.com/quit-%1.xml").arg(i));
    cache->setContentHash(md5(QByteArray::number(i)), url);
  }
  ASSERT_TRUE(cache->hasOperations());
  m_delegate.shuttingDown = true;
  EXPECT_TRUE(waitForOwnOperations(cache));
  // Nothing new is queued while quitting.
  cache->setContentHash(md5("late"), QUrl(QStringLiteral("https://example.com/late.xml")));
  ZPHTestSpinEventLoop(20);
  EXPECT_FALSE(cache->hasOperations());
  EXPECT_EQ(cache->contentHashForFeedURL(QUrl(QStringLiteral("https://example.com/quit-19.xml"))), md5("19"));
  EXPECT_TRUE(cache->contentHashForFeedURL(QUrl(QStringLiteral("https://example.com/late.xml"))).isNull());
  m_delegate.shuttingDown = false;
}

TEST_F(FeedMetadataCacheTest, LaterWriteWinsAndDeleteRemovesBothRowsFromAnyThread)
{
  auto cache = makeCache();
  ASSERT_TRUE(cache);
  const QUrl feed(QStringLiteral("https://example.com/feed.xml"));
  const QUrl other(QStringLiteral("https://example.com/other.xml"));

  cache->setConditionalGetInfo(Info{QStringLiteral("first"), QStringLiteral("first-date")}, feed);
  cache->setContentHash(md5("first"), feed);
  ASSERT_TRUE(waitForOwnOperations(cache));
  cache->setConditionalGetInfo(Info{QStringLiteral("second"), QString()}, feed);
  cache->setContentHash(md5("second"), feed);
  ASSERT_TRUE(waitForOwnOperations(cache));
  cache->storeContentHash(md5("other"), other);
  cache->storeConditionalGetInfo(Info{QStringLiteral("other"), QString()}, other);

  std::optional<Info> info = cache->conditionalGetInfoForFeedURL(feed);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->httpResponseEtag(), QStringLiteral("second"));
  EXPECT_EQ(info->httpResponseLastModified(), QStringLiteral(""));
  EXPECT_EQ(cache->contentHashForFeedURL(feed), md5("second"));

  // Asked from a worker thread, the removal is still queued on the main
  // thread, on the shared controller, before anything else waiting there.
  QList<ZPHOperationQueuePriority> deletions;
  ZPHObserverToken completions = ZPHNotificationCenter::defaultCenter().addObserver(
      CBOperationDidCompleteNotification, QVariant(), [&](const ZPHNotification& notification) {
        const auto operation = notification.object.value<std::shared_ptr<CBOperation>>();
        if (std::dynamic_pointer_cast<CBDeleteFeedInfoOperation>(operation) != nullptr)
          deletions.append(operation->queuePriority());
      });
  std::thread worker([&] { cache->deleteInfoForFeedURL(feed); });
  worker.join();
  EXPECT_EQ(CBOperationController::sharedController()->numberOfOperations(), 0);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return cache->contentHashForFeedURL(feed).isNull() && !deletions.isEmpty(); }));
  EXPECT_EQ(deletions.first(), ZPHOperationQueuePriority::VeryHigh);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return CBOperationController::sharedController()->numberOfOperations() == 0; }));
  EXPECT_FALSE(cache->conditionalGetInfoForFeedURL(feed).has_value());
  EXPECT_TRUE(cache->contentHashForFeedURL(feed).isNull());
  EXPECT_EQ(cache->contentHashForFeedURL(other), md5("other"));
  EXPECT_TRUE(cache->conditionalGetInfoForFeedURL(other).has_value());
}

TEST_F(FeedMetadataCacheTest, ResponseValuesAreOneSaveOfBothRows)
{
  // A downloaded body's digest and conditional-GET values go in one queued
  // save, and replace whatever the feed had, in memory and in the file.
  auto cache = makeCache();
  ASSERT_TRUE(cache);
  const StoredValuesCase cases[] = {
      {"https://example.com/both.xml", Info{QStringLiteral("\"v2\""), QStringLiteral("Wed, 11 Mar 2026 09:00:00 GMT")},
       md5("body v2"), QStringLiteral("\"v2\""), QStringLiteral("Wed, 11 Mar 2026 09:00:00 GMT")},
      {"https://example.com/neither.xml", std::nullopt, QByteArray(), QStringLiteral(""), QStringLiteral("")},
  };
  for (const StoredValuesCase& c : cases) {
    const QUrl url(QString::fromUtf8(c.url));
    cache->storeContentHash(md5("old body"), url);
    cache->storeConditionalGetInfo(Info{QStringLiteral("old"), QStringLiteral("old-date")}, url);
    cache->setResponseValues(c.hash, c.info, url);
  }
  EXPECT_EQ(cache->feedMetaDataCacheOperationsController()->numberOfOperations(), int(std::size(cases)));
  ASSERT_TRUE(waitForOwnOperations(cache));

  cache.reset();
  auto reopened = makeCache();
  ASSERT_TRUE(reopened);
  for (const StoredValuesCase& c : cases) expectStoredValues(*reopened, c);
}

TEST_F(FeedMetadataCacheTest, WholeDatabaseIsWipedAtMostOnceADay)
{
  const QUrl feed(QStringLiteral("https://example.com/feed.xml"));
  struct Case {
    const char* name;
    std::optional<qint64> lastDeletedSecondsAgo;  // nullopt: never deleted
    bool wiped;
  } cases[] = {
      {"25 hours ago", 25 * 3600, true},
      {"23 hours ago", 23 * 3600, false},
      {"exactly 24 hours ago", 24 * 3600, false},
      {"never", std::nullopt, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      auto cache = makeCache();
      ASSERT_TRUE(cache);
      cache->storeContentHash(md5("kept"), feed);
      ASSERT_EQ(cache->contentHashForFeedURL(feed), md5("kept"));
    }
    const QDateTime before = m_now;
    m_now = m_now.addDays(3);  // a later start
    QDateTime stored;
    if (c.lastDeletedSecondsAgo) {
      stored = m_now.addSecs(-*c.lastDeletedSecondsAgo);
      setLastDeleted(stored);
    } else {
      ZPHUserDefaults::standardUserDefaults().removeObject(lastDeletedKey());
    }

    auto cache = makeCache();
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->databaseIsNew(), c.wiped);
    EXPECT_EQ(cache->contentHashForFeedURL(feed).isNull(), c.wiped);
    EXPECT_EQ(lastDeleted(), c.wiped ? m_now : stored);
    // Both tables are there again after a wipe.
    cache->storeConditionalGetInfo(Info{QStringLiteral("e"), QStringLiteral("l")}, feed);
    EXPECT_TRUE(cache->conditionalGetInfoForFeedURL(feed).has_value());
    cache.reset();

    m_now = before;
    setLastDeleted(m_now.addSecs(-3600));
  }
}

TEST_F(FeedMetadataCacheTest, TablesAreCreatedOnlyWhenMissing)
{
  const QUrl feed(QStringLiteral("https://example.com/feed.xml"));
  {
    // A file made before the digest table existed.
    auto older = CBLocalAccountFeedMetadataCache::makeCacheWithDatabaseFileName(
        CBLocalAccountFeedMetadataCache::DatabaseFileName,
        CBLocalAccountFeedMetadataCache::ConditionalGetInfoCreateStatement, [this] { return m_now; });
    ASSERT_TRUE(older);
    older->storeConditionalGetInfo(Info{QStringLiteral("etag"), QStringLiteral("date")}, feed);
  }
  for (int start = 0; start < 2; ++start) {
    SCOPED_TRACE(start);
    LogCapture log;
    auto cache = makeCache();
    ASSERT_TRUE(cache);
    EXPECT_FALSE(cache->databaseIsNew());
    // No "table already exists" failure at a later start.
    EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join(QLatin1Char('\n')).toStdString();
    const std::optional<Info> info = cache->conditionalGetInfoForFeedURL(feed);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->httpResponseEtag(), QStringLiteral("etag"));
    cache->storeContentHash(md5("body"), feed);
    EXPECT_EQ(cache->contentHashForFeedURL(feed), md5("body"));
  }
}

TEST_F(FeedMetadataCacheTest, DamagedOrUnopenableFileIsLoggedAndSurvived)
{
  const QUrl feed(QStringLiteral("https://example.com/feed.xml"));
  struct Case {
    const char* name;
    std::function<void(const QString& path)> damage;
  } cases[] = {
      {"garbage in the file",
       [](const QString& path) {
         QFile file(path);
         ASSERT_TRUE(file.open(QIODevice::WriteOnly));
         file.write(QByteArray(8192, '\x5a'));
       }},
      {"a truncated database",
       [this](const QString& path) {
         {
           auto cache = makeCache();
           cache->storeContentHash(md5("body"), QUrl(QStringLiteral("https://example.com/feed.xml")));
         }
         QFile file(path);
         ASSERT_TRUE(file.open(QIODevice::ReadWrite));
         file.resize(100);
       }},
      {"a folder in its place", [](const QString& path) { ASSERT_TRUE(QDir().mkpath(path)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.damage(databasePath());

    LogCapture log;
    auto cache = makeCache();
    ASSERT_TRUE(cache);
    EXPECT_FALSE(cache->conditionalGetInfoForFeedURL(feed).has_value());
    EXPECT_TRUE(cache->contentHashForFeedURL(feed).isNull());
    cache->storeConditionalGetInfo(Info{QStringLiteral("e"), QStringLiteral("l")}, feed);
    cache->setContentHash(md5("body"), feed);
    ASSERT_TRUE(waitForOwnOperations(cache));
    cache->deleteAllInfoForFeedURL(feed);
    EXPECT_TRUE(cache->contentHashForFeedURL(feed).isNull());
    EXPECT_FALSE(log.warnings().isEmpty());
    cache.reset();

    ASSERT_TRUE(CBFileDelete(databasePath()));
  }
}

TEST_F(FeedMetadataCacheTest, EachThreadUsesItsOwnConnection)
{
  auto cache = makeCache();
  ASSERT_TRUE(cache);
  SQLite::Database* mainConnection = cache->database();
  ASSERT_NE(mainConnection, nullptr);
  EXPECT_EQ(cache->database(), mainConnection);

  constexpr int perThread = 150;
  std::atomic<int> mismatches{0};
  std::atomic<bool> sharedConnection{false};
  auto work = [&](int thread) {
    SQLite::Database* own = cache->database();
    if (own == nullptr || own == mainConnection)
      sharedConnection = true;
    for (int i = 0; i < perThread; ++i) {
      const QUrl url(QStringLiteral("https://example.com/%1/%2.xml").arg(thread).arg(i));
      const QByteArray hash = md5(url.toEncoded());
      cache->storeContentHash(hash, url);
      cache->storeConditionalGetInfo(Info{QString::number(i), QString::number(thread)}, url);
      const std::optional<Info> info = cache->conditionalGetInfoForFeedURL(url);
      if (cache->contentHashForFeedURL(url) != hash || !info || info->httpResponseEtag() != QString::number(i))
        ++mismatches;
    }
  };
  std::thread first(work, 1);
  std::thread second(work, 2);
  first.join();
  second.join();
  EXPECT_FALSE(sharedConnection.load());
  EXPECT_EQ(mismatches.load(), 0);

  // Everything both threads wrote is visible on the main thread's connection.
  for (int thread = 1; thread <= 2; ++thread) {
    for (int i = 0; i < perThread; i += 37) {
      const QUrl url(QStringLiteral("https://example.com/%1/%2.xml").arg(thread).arg(i));
      EXPECT_EQ(cache->contentHashForFeedURL(url), md5(url.toEncoded()));
    }
  }
}

TEST_F(FeedMetadataCacheTest, PlainDatabaseLivesInTheDataFolderAndNestsTransactionsPerThread)
{
  const QString create = QStringLiteral("CREATE TABLE notes (name TEXT UNIQUE, body TEXT);");
  auto countNotes = [](CBSQLiteDatabaseController& database) {
    const std::optional<QVariantList> row =
        database.executeQueryForFirstRow(QStringLiteral("select count(*) from notes;"));
    return row ? row->at(0).toLongLong() : -1;
  };
  {
    CBSQLiteDatabaseController database(QStringLiteral("Notes.sqlite3"), create);
    EXPECT_EQ(database.databaseFilePath(),
              QDir(m_delegate.pathToDataFolder()).filePath(QStringLiteral("Notes.sqlite3")));
    EXPECT_TRUE(database.databaseIsNew());

    // Only the outermost end commits: until then another thread's own
    // connection cannot read past the open transaction.
    database.beginTransaction();
    database.beginTransaction();
    ASSERT_TRUE(database.executeUpdate(QStringLiteral("insert into notes (name, body) values (?, ?)"),
                                       {QStringLiteral("a"), QStringLiteral("one")}));
    database.endTransaction();
    qint64 seenInside = -2;
    std::thread([&] { seenInside = countNotes(database); }).join();
    EXPECT_NE(seenInside, 1);
    database.endTransaction();
    qint64 seenAfter = -2;
    std::thread([&] { seenAfter = countNotes(database); }).join();
    EXPECT_EQ(seenAfter, 1);
    database.endTransaction();  // unbalanced: nothing happens
    EXPECT_EQ(countNotes(database), 1);
  }
  LogCapture log;
  CBSQLiteDatabaseController reopened(QStringLiteral("Notes.sqlite3"), create);
  EXPECT_FALSE(reopened.databaseIsNew());
  EXPECT_EQ(countNotes(reopened), 1);
  EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join(QLatin1Char('\n')).toStdString();
}

TEST_F(FeedMetadataCacheTest, NoCacheFolderMakesNoDatabase)
{
  ZPHCoreApplicationDelegate::setSharedDelegate(nullptr);
  EXPECT_FALSE(makeCache());
  ZPHCoreApplicationDelegate::setSharedDelegate(&m_delegate);
}

}  // namespace
