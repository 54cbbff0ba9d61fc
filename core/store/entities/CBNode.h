#pragma once

#include "store/graph/ZPHManagedObject.h"

#include <QtCore/QList>
#include <QtCore/QString>

class AbstractManagedFolder;
class ZPHManagedObjectContext;

// Posted after a save for each node whose needsSync went from false to true;
// object: the node (ZPHManagedObject*).
extern const QString ZPHSyncableFeedOrFolderEventNotification;  // "ZPHSyncableFeedOrFolderEventNotification"
// Posted after a save for each node that the save removed from the store
// and that was marked deleted for sync (a deletion by the user), so the sync
// client can tell its server; no object (the node is gone); user info: the
// node's last values by attribute name ("guid", "modDate", "parentguid",
// "parentguidModDate", "childindex", "childindexModDate",
// "userSpecifiedName", "userSpecifiedNameModDate", "flags", "flagsModDate";
// for a feed also "url", "strHomePageURL" and "strFaviconURL", as stored)
// and "isFolder" (bool). Nodes without a guid are not announced.
extern const QString ZPHSyncableFeedOrFolderDeletedNotification;  // "ZPHSyncableFeedOrFolderDeletedNotification"

// A stored feed or folder (entity "Node", abstract). Node times are seconds
// since 1970 in doubles, except creationDate (seconds since 2001).
class CBNode : public ZPHManagedObject {
public:
  // Attribute indexes (inherited attributes come first).
  enum AttributeIndex {
    PropertyGuid,
    PropertyParentguid,
    PropertyParentguidModDate,
    PropertyChildindex,
    PropertyChildindexModDate,
    PropertyName,
    PropertyUserSpecifiedName,
    PropertyUserSpecifiedNameModDate,
    PropertyCreationDate,
    PropertyModDate,
    PropertyDeleted,
    PropertyNeedsSync,
    PropertyNeedsSyncChanged,
    PropertyIsFolder,
    PropertyToplevel,
    PropertyFlags,
    PropertyFlagsModDate,
    PropertyUnreadCount,
    PropertyUnreadCountIsValid,
    AttributeCount
  };

  QString guid() const { return primitiveValue(PropertyGuid).toString(); }
  void setGuid(const QString& value) { setPrimitiveValue(PropertyGuid, value); }
  QString parentguid() const { return primitiveValue(PropertyParentguid).toString(); }
  void setParentguid(const QString& value) { setPrimitiveValue(PropertyParentguid, value); }
  double parentguidModDate() const { return primitiveValue(PropertyParentguidModDate).toDouble(); }
  void setParentguidModDate(double value) { setPrimitiveValue(PropertyParentguidModDate, value); }
  int childindex() const { return primitiveValue(PropertyChildindex).toInt(); }
  void setChildindex(int value) { setPrimitiveValue(PropertyChildindex, value); }
  double childindexModDate() const { return primitiveValue(PropertyChildindexModDate).toDouble(); }
  void setChildindexModDate(double value) { setPrimitiveValue(PropertyChildindexModDate, value); }
  QString name() const { return primitiveValue(PropertyName).toString(); }
  void setName(const QString& value) { setPrimitiveValue(PropertyName, value); }
  QString userSpecifiedName() const { return primitiveValue(PropertyUserSpecifiedName).toString(); }
  void setUserSpecifiedName(const QString& value) { setPrimitiveValue(PropertyUserSpecifiedName, value); }
  double userSpecifiedNameModDate() const { return primitiveValue(PropertyUserSpecifiedNameModDate).toDouble(); }
  void setUserSpecifiedNameModDate(double value) { setPrimitiveValue(PropertyUserSpecifiedNameModDate, value); }
  double creationDate() const { return primitiveValue(PropertyCreationDate).toDouble(); }
  void setCreationDate(double value) { setPrimitiveValue(PropertyCreationDate, value); }
  double modDate() const { return primitiveValue(PropertyModDate).toDouble(); }
  void setModDate(double value) { setPrimitiveValue(PropertyModDate, value); }
  bool deleted() const { return primitiveValue(PropertyDeleted).toBool(); }
  void setDeleted(bool value) { setPrimitiveValue(PropertyDeleted, value); }
  bool needsSyncChanged() const { return primitiveValue(PropertyNeedsSyncChanged).toBool(); }
  void setNeedsSyncChanged(bool value) { setPrimitiveValue(PropertyNeedsSyncChanged, value); }
  bool toplevel() const { return primitiveValue(PropertyToplevel).toBool(); }
  void setToplevel(bool value) { setPrimitiveValue(PropertyToplevel, value); }
  qint64 flags() const { return primitiveValue(PropertyFlags).toLongLong(); }
  void setFlags(qint64 value) { setPrimitiveValue(PropertyFlags, value); }
  double flagsModDate() const { return primitiveValue(PropertyFlagsModDate).toDouble(); }
  void setFlagsModDate(double value) { setPrimitiveValue(PropertyFlagsModDate, value); }
  quint64 unreadCount() const { return primitiveValue(PropertyUnreadCount).toULongLong(); }
  void setUnreadCount(quint64 value) { setPrimitiveValue(PropertyUnreadCount, value); }

  // Feeds answer false and folders true, without reading the store.
  virtual bool isFolder() const = 0;

  // The containing folder; nullptr at top level.
  AbstractManagedFolder* parent() const;
  void setParent(AbstractManagedFolder* folder);

  // Shown counts and editing answers; subclasses refine them.
  virtual quint64 countForDisplay() const { return unreadCount(); }
  virtual bool nameIsEditable() const { return false; }
  virtual bool canBeDeleted() const { return false; }
  virtual void invalidate() {}

  // The stored unread count is current. Setting false also marks every
  // folder above invalid, so the recount reaches them.
  bool unreadCountIsValid() const { return primitiveValue(PropertyUnreadCountIsValid).toBool(); }
  void setUnreadCountIsValid(bool valid);
  void recursivelyInvalidateUnreadCountsUpTree();

  // The sync mark: a change from false to true is announced after the next
  // save (ZPHSyncableFeedOrFolderEventNotification).
  bool needsSync() const { return primitiveValue(PropertyNeedsSync).toBool(); }
  void setNeedsSync(bool needsSync);

  // Nodes of a context: all, not deleted ("deleted == 0"), to sync
  // ("needsSync == 1").
  static QList<CBNode*> nodesWithMOC(ZPHManagedObjectContext* context);
  static QList<CBNode*> activeNodesWithMOC(ZPHManagedObjectContext* context);
  static QList<CBNode*> nodesToSyncWithMOC(ZPHManagedObjectContext* context);

protected:
  void willSave() override;
  void didSave() override;

private:
  // needsSync went from false to true: announced after the save that
  // writes the mark back to false.
  bool m_announceNeedsSync = false;
};
