#pragma once

#include "store/entities/AbstractManagedFolder.h"

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QUrl>
#include <QtCore/QVariantMap>

class CBDataAccount;
class CBFeed;

// A folder of feeds and folders.
//
// The class operations take the context last and run on its thread; fetch
// errors give empty results or nullptr.
class CBFolder : public AbstractManagedFolder {
public:
  static CBFolder* insertFolderWithMOC(ZPHManagedObjectContext* context);
  static CBFolder* insertFolderWithName(const QString& name, ZPHManagedObjectContext* context);
  // name and userSpecifiedName, a new guid, creationDate now (seconds since
  // 2001).
  static CBFolder* createFolderWithName(const QString& name, ZPHManagedObjectContext* context);
  // Created inside `parent` (nullptr: top level), marked for sync.
  static CBFolder* addFolderWithName(const QString& name, CBFolder* parent, CBDataAccount* account,
                                     ZPHManagedObjectContext* context);
  static CBFolder* folderWithGUID(const QString& guid, ZPHManagedObjectContext* context);
  // creationDate in seconds since 2001.
  static CBFolder* folderWithGUID(const QString& guid, double creationDate, ZPHManagedObjectContext* context);
  static QList<CBFolder*> foldersWithGUID(const QString& guid, ZPHManagedObjectContext* context);
  // Marks the folder deleted for sync and deletes it. Nothing for nullptr.
  static void deleteFolder(CBFolder* folder, ZPHManagedObjectContext* context);
  // Not deleted.
  static QList<CBFolder*> foldersWithMOC(ZPHManagedObjectContext* context);
  static QList<CBFolder*> rootFoldersWithMOC(ZPHManagedObjectContext* context);
  // The folders inside `parent`, or at top level for nullptr.
  static QList<CBFolder*> foldersInParentFolder(CBFolder* parent, ZPHManagedObjectContext* context);
  static QList<CBFolder*> foldersWithName(const QString& name, CBFolder* parent, ZPHManagedObjectContext* context);

  bool isFolder() const override { return true; }
  bool nameIsEditable() const override { return true; }
  bool canBeDeleted() const override { return true; }
  quint64 countForDisplay() const override { return unreadCount(); }

  // The name, else "Untitled".
  QString nameForDisplay() const;
  // A rename by the user: also the sync dates and mark.
  void setNameForDisplay(const QString& name);

  // Sum of the shown counts of the children that are not deleted.
  void updateUnreadCount();
  void invalidate() override;

  // Every feed below, in tree order.
  QList<CBFeed*> allDescendantsThatAreFeeds() const;
  // Of those, the feeds not suspended with unread articles; empty when none.
  QList<CBFeed*> descendantFeedsForMarkAsRead() const;
  bool containsFeedWithURL(const QUrl& url) const;
  // The latest date shown below; the distant past when none.
  QDateTime dateForDisplay() const;
  // "name" (when set) and "unreadCount".
  QVariantMap dictionaryRepresentation() const;
  QString description() const;

  // Children ("parentguid == guid") by childindex.
  QList<CBNode*> fetchChildrenWithMOC(ZPHManagedObjectContext* context) const;
  QList<CBNode*> fetchChildren() const { return fetchChildrenWithMOC(managedObjectContext()); }
  QList<CBFolder*> firstLevelSubFoldersWithMOC(ZPHManagedObjectContext* context) const;

  // In memory: a mark-all-read of the folder is running.
  bool markingAllAsRead() const { return m_markingAllAsRead; }
  void setMarkingAllAsRead(bool marking) { m_markingAllAsRead = marking; }

private:
  bool m_markingAllAsRead = false;
};
