#pragma once

#include "feeds/network/CBHTTPConditionalGetInfo.h"

#include "feeds/metadata/CBSQLiteDatabaseController.h"

#include <QtCore/QByteArray>
#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <functional>
#include <memory>
#include <optional>

#include <pthread.h>

class CBOperation;
class CBOperationController;

// "dateLastDeletedLocalAccountMetadataCache": when the file was last deleted.
extern const QString CBLocalAccountFeedMetadataCacheDateLastDeletedKey;

// The feed metadata database: per feed URL of the local account, the entity
// tag and last-modified value of the last body downloaded (for the
// conditional GET) and that body's MD5 digest (to skip parsing an unchanged
// body). It lives in "LocalAccountMetadataCache.sqlite3" in the cache folder
// and is thrown away as a whole at the first creation more than 24 hours
// after it was last thrown away.
//
// Reads run at once on the calling thread's connection; writes are queued as
// operations. Every statement runs under one lock. Failures never reach
// callers: a failed read answers "nothing stored", a failed write leaves the
// old row.
class CBLocalAccountFeedMetadataCache : public CBSQLiteDatabaseController,
                                        public std::enable_shared_from_this<CBLocalAccountFeedMetadataCache> {
public:
  using Clock = std::function<QDateTime()>;

  static const QString DatabaseFileName;                   // "LocalAccountMetadataCache.sqlite3"
  static const QString ConditionalGetInfoCreateStatement;  // "CREATE TABLE conditionalGetInfo (...);"
  static const QString FeedContentHashCreateStatement;     // "CREATE TABLE feedContentHash (...);"
  static constexpr qint64 WipeIntervalSeconds = 86400;

  // The shared database, made on first use and kept for the process; null
  // when it could not be made (no cache folder).
  static std::shared_ptr<CBLocalAccountFeedMetadataCache> sharedCache();

  // A database over DatabaseFileName in the application delegate's cache
  // folder with both tables. `now` is the clock of the daily wipe (the
  // current time when empty). Null when there is no cache folder.
  static std::shared_ptr<CBLocalAccountFeedMetadataCache> makeCache(Clock now = {});
  // The same for another file name and first table.
  static std::shared_ptr<CBLocalAccountFeedMetadataCache> makeCacheWithDatabaseFileName(
      const QString& databaseFileName, const QString& createTableStatement, Clock now = {});

  ~CBLocalAccountFeedMetadataCache() override;

  // Synchronous reads on the calling thread. Nothing for a feed never
  // stored, an empty URL or a failed read.
  std::optional<CBHTTPConditionalGetInfo> conditionalGetInfoForFeedURL(const QUrl& feedURL);
  // The stored digest, or a null QByteArray; empty (not null) data when the
  // row was stored without one.
  QByteArray contentHashForFeedURL(const QUrl& feedURL);

  // Queue a save on this database's own controller, from any thread (the
  // controller is reached on the main thread).
  void setConditionalGetInfo(const std::optional<CBHTTPConditionalGetInfo>& info, const QUrl& feedURL);
  void setContentHash(const QByteArray& hash, const QUrl& feedURL);
  // Both of a downloaded body, as one save: the digest, then the values.
  void setResponseValues(const QByteArray& hash, const std::optional<CBHTTPConditionalGetInfo>& info,
                         const QUrl& feedURL);

  // The writes themselves, under the lock (nothing for an empty URL). No
  // info writes "" for both values; a null hash writes empty data.
  void storeConditionalGetInfo(const std::optional<CBHTTPConditionalGetInfo>& info, const QUrl& feedURL);
  void storeContentHash(const QByteArray& hash, const QUrl& feedURL);
  // storeContentHash() then storeConditionalGetInfo(), in one transaction.
  void storeResponseValues(const QByteArray& hash, const std::optional<CBHTTPConditionalGetInfo>& info,
                           const QUrl& feedURL);

  // Queues the removal of both rows on the shared operation controller, on
  // the main thread, from any thread.
  void deleteInfoForFeedURL(const QUrl& feedURL);
  // Removes both rows at once (the hash first), under the lock.
  void deleteAllInfoForFeedURL(const QUrl& feedURL);

  // Main thread: waits for this database's own operations (at quit), and
  // answers whether it has any.
  void waitUntilAllOperationsAreFinished();
  bool hasOperations() const;

  // "com.fernhollow.zephlin.feedMetaDataCacheOperationController", unbounded,
  // tracking.
  CBOperationController* feedMetaDataCacheOperationsController() const { return m_operationController; }

private:
  CBLocalAccountFeedMetadataCache(const QString& databaseFileName, const QString& databaseFilePath);

  // Throws the file away when it was last thrown away more than 24 hours
  // before `now`, and notes `now` as the new date.
  void deleteDatabaseFileIfStale(const QDateTime& now);
  void addOperationToOwnController(const std::shared_ptr<CBOperation>& operation);

  // The stored values, read from the file once and then kept in step with
  // every write (m_lock held): a refresh asks for them once a feed, and the
  // file's per-statement locking would be paid each time.
  void loadStoredValues();
  // Runs `write` with the URL's text under the lock; nothing for an empty
  // URL.
  void writeUnderLock(const QUrl& feedURL, const std::function<void(const QString& url)>& write);
  // One row's write and the kept copy (m_lock held).
  void writeConditionalGetInfo(const std::optional<CBHTTPConditionalGetInfo>& info, const QString& url);
  void writeContentHash(const QByteArray& hash, const QString& url);

  pthread_mutex_t m_lock;
  bool m_lockMade = false;
  bool m_storedValuesLoaded = false;
  QHash<QString, QVariantList> m_conditionalGetInfoByURL;  // etag, lastModified
  QHash<QString, QVariant> m_contentHashByURL;
  CBOperationController* m_operationController = nullptr;  // owned; deleted on the main thread
};
