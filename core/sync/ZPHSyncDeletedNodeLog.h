#pragma once

#include <QtCore/QJsonObject>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QString>

// The feeds and folders the user deleted that the sync server has not been
// told of yet. A deletion removes the node from the store at once, so the
// node object the server must see ({"guid", "isDeleted": true, "modDate",
// and "url" or "isFolder"}) is kept here, in "SyncDeletions.json" in the
// data folder, until a feeds-and-folders update call that carried it was
// accepted. Safe from any thread.
class ZPHSyncDeletedNodeLog {
public:
  // At most this many deletions wait; the oldest go first.
  static constexpr int MaximumCount = 10000;

  // Keeps its file in `folder`; an empty folder keeps the records in memory.
  explicit ZPHSyncDeletedNodeLog(const QString& folder);

  // The log of the process, in the data folder of the application delegate
  // registered at the time of each call.
  static ZPHSyncDeletedNodeLog& sharedLog();

  // Keeps a node object; it replaces an earlier one of the same guid.
  // Objects without a guid are ignored.
  void record(const QJsonObject& node);
  // The node objects waiting, oldest first.
  QList<QJsonObject> pendingNodes() const;
  // Forgets the objects that were sent, unless one of the same guid was
  // recorded again since (a later "modDate").
  void remove(const QList<QJsonObject>& sent);
  void clear();

  // While one lives on a thread, deletions on that thread are the sync
  // client's own (merging what the server deleted) and are not recorded.
  class OwnDeletionsScope {
  public:
    OwnDeletionsScope();
    ~OwnDeletionsScope();
    OwnDeletionsScope(const OwnDeletionsScope&) = delete;
    OwnDeletionsScope& operator=(const OwnDeletionsScope&) = delete;
    static bool isActive();

  private:
    bool m_previous;
  };

private:
  // Follows the application delegate's data folder.
  ZPHSyncDeletedNodeLog();
  QString filePath() const;
  QList<QJsonObject> load() const;             // m_mutex held
  void save(const QList<QJsonObject>& nodes);  // m_mutex held

  const QString m_folder;
  const bool m_followsDelegate;
  mutable QMutex m_mutex;
  QList<QJsonObject> m_memory;  // without a folder
};
