#include "store/entities/CBNode.h"

#include "platform/ZPHNotificationCenter.h"
#include "store/CBCoreDataUtilities.h"
#include "store/entities/AbstractManagedFolder.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"

const QString ZPHSyncableFeedOrFolderEventNotification = QStringLiteral("ZPHSyncableFeedOrFolderEventNotification");
const QString ZPHSyncableFeedOrFolderDeletedNotification = QStringLiteral("ZPHSyncableFeedOrFolderDeletedNotification");

namespace {

const QString ParentKey = QStringLiteral("parent");

QList<CBNode*> fetchNodes(ZPHManagedObjectContext* context, const ZPHPredicate& predicate)
{
  QList<CBNode*> nodes;
  for (ZPHManagedObject* object : CBFetchManagedObjectArrayWithPredicate(predicate, CBDataEntityNameNode, context))
    nodes.append(static_cast<CBNode*>(object));
  return nodes;
}

}  // namespace

AbstractManagedFolder* CBNode::parent() const
{
  return static_cast<AbstractManagedFolder*>(relatedObject(entity()->indexOfProperty(ParentKey)));
}

void CBNode::setParent(AbstractManagedFolder* folder)
{
  setRelatedObject(entity()->indexOfProperty(ParentKey), folder);
}

void CBNode::setUnreadCountIsValid(bool valid)
{
  setPrimitiveValue(PropertyUnreadCountIsValid, valid);
  if (!valid) {
    if (AbstractManagedFolder* folder = parent())
      folder->recursivelyInvalidateUnreadCountsUpTree();
  }
}

void CBNode::recursivelyInvalidateUnreadCountsUpTree() { setUnreadCountIsValid(false); }

void CBNode::setNeedsSync(bool needsSync)
{
  if (!primitiveValue(PropertyNeedsSyncChanged).toBool())
    setPrimitiveValue(PropertyNeedsSyncChanged, needsSync && !this->needsSync());
  setPrimitiveValue(PropertyNeedsSync, needsSync);
}

void CBNode::willSave()
{
  ZPHManagedObject::willSave();
  // The mark goes back to false in the same save, so the store never keeps
  // it set for a later save of the node elsewhere to announce again.
  if (!isDeleted() && primitiveValue(PropertyNeedsSyncChanged).toBool()) {
    m_announceNeedsSync = true;
    setPrimitiveValue(PropertyNeedsSyncChanged, false);
  }
}

void CBNode::didSave()
{
  ZPHManagedObject::didSave();
  if (isDeleted()) {
    // A node deleted unloaded (taken along by its folder) was never marked.
    if (!isFault() && deleted() && !guid().isEmpty()) {
      // The node's last values, all of which its server reads.
      QVariantMap userInfo{{QStringLiteral("isFolder"), isFolder()}};
      for (const char* key : {"guid", "modDate", "parentguid", "parentguidModDate", "childindex", "childindexModDate",
                              "userSpecifiedName", "userSpecifiedNameModDate", "flags", "flagsModDate"})
        userInfo.insert(QLatin1String(key), value(QLatin1String(key)));
      if (!isFolder()) {
        for (const char* key : {"url", "strHomePageURL", "strFaviconURL"})
          userInfo.insert(QLatin1String(key), value(QLatin1String(key)));
      }
      ZPHNotificationCenter::defaultCenter().post(ZPHSyncableFeedOrFolderDeletedNotification, QVariant(), userInfo);
    }
    return;
  }
  if (!m_announceNeedsSync)
    return;
  m_announceNeedsSync = false;
  ZPHNotificationCenter::defaultCenter().post(ZPHSyncableFeedOrFolderEventNotification,
                                              QVariant::fromValue(static_cast<ZPHManagedObject*>(this)));
}

QList<CBNode*> CBNode::nodesWithMOC(ZPHManagedObjectContext* context) { return fetchNodes(context, ZPHPredicate()); }

QList<CBNode*> CBNode::activeNodesWithMOC(ZPHManagedObjectContext* context)
{
  return fetchNodes(context, ZPHPredicate::equal(QStringLiteral("deleted"), 0));
}

QList<CBNode*> CBNode::nodesToSyncWithMOC(ZPHManagedObjectContext* context)
{
  return fetchNodes(context, ZPHPredicate::equal(QStringLiteral("needsSync"), 1));
}
