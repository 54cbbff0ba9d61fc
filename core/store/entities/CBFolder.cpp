#include "store/entities/CBFolder.h"

#include "foundation/CBDates.h"
#include "foundation/CBString.h"
#include "platform/ZPHLog.h"
#include "store/CBCoreDataUtilities.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QCoreApplication>

#include <QtCore/QSet>

#include <functional>

namespace {

const QString DeletedKey = QStringLiteral("deleted");
const QString GuidKey = QStringLiteral("guid");

// Seconds since 1 January 2001, the reference date of folder creation dates.
double nowSince2001()
{
  static const qint64 referenceMSecs = QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
  return double(QDateTime::currentMSecsSinceEpoch() - referenceMSecs) / 1000.0;
}

QList<CBFolder*> fetchFolders(ZPHManagedObjectContext* context, const ZPHPredicate& predicate, int limit = 0)
{
  QList<CBFolder*> folders;
  if (context == nullptr)
    return folders;
  ZPHFetchRequest request(CBDataEntityNameFolder, predicate);
  request.fetchLimit = limit;
  for (ZPHManagedObject* object : context->executeFetchRequest(request)) folders.append(static_cast<CBFolder*>(object));
  return folders;
}

}  // namespace

CBFolder* CBFolder::insertFolderWithMOC(ZPHManagedObjectContext* context)
{
  return context == nullptr ? nullptr : static_cast<CBFolder*>(CBInsertObject(CBDataEntityNameFolder, context));
}

CBFolder* CBFolder::insertFolderWithName(const QString& name, ZPHManagedObjectContext* context)
{
  CBFolder* folder = insertFolderWithMOC(context);
  if (folder != nullptr)
    folder->setName(name);
  return folder;
}

CBFolder* CBFolder::createFolderWithName(const QString& name, ZPHManagedObjectContext* context)
{
  CBFolder* folder = insertFolderWithMOC(context);
  if (folder == nullptr)
    return nullptr;
  folder->setName(name);
  folder->setUserSpecifiedName(name);
  folder->setGuid(cb_uuidString());
  folder->setCreationDate(nowSince2001());
  return folder;
}

CBFolder* CBFolder::addFolderWithName(const QString& name, CBFolder* parent, CBDataAccount* account,
                                      ZPHManagedObjectContext* context)
{
  Q_UNUSED(account);
  CBFolder* folder = createFolderWithName(name, context);
  if (folder == nullptr)
    return nullptr;
  folder->setParent(parent);
  if (parent != nullptr) {
    folder->setParentguid(parent->guid());
    folder->setParentguidModDate(cb_timeIntervalSince1970Now());
  }
  folder->setModDate(cb_timeIntervalSince1970Now());
  folder->setNeedsSync(true);
  return folder;
}

CBFolder* CBFolder::folderWithGUID(const QString& guid, ZPHManagedObjectContext* context)
{
  return static_cast<CBFolder*>(
      CBFetchManagedObjectWithPredicate(ZPHPredicate::equal(GuidKey, guid), CBDataEntityNameFolder, context));
}

CBFolder* CBFolder::folderWithGUID(const QString& guid, double creationDate, ZPHManagedObjectContext* context)
{
  return static_cast<CBFolder*>(CBFetchManagedObjectWithPredicate(
      ZPHPredicate::equal(GuidKey, guid) && ZPHPredicate::equal(QStringLiteral("creationDate"), creationDate),
      CBDataEntityNameFolder, context));
}

QList<CBFolder*> CBFolder::foldersWithGUID(const QString& guid, ZPHManagedObjectContext* context)
{
  return fetchFolders(context, ZPHPredicate::equal(GuidKey, guid), 1);
}

void CBFolder::deleteFolder(CBFolder* folder, ZPHManagedObjectContext* context)
{
  if (folder == nullptr || context == nullptr)
    return;
  folder->setDeleted(true);
  folder->setNeedsSync(true);
  folder->setModDate(cb_timeIntervalSince1970Now());
  context->deleteObject(folder);
}

QList<CBFolder*> CBFolder::foldersWithMOC(ZPHManagedObjectContext* context)
{
  return fetchFolders(context, ZPHPredicate::equal(DeletedKey, 0));
}

QList<CBFolder*> CBFolder::rootFoldersWithMOC(ZPHManagedObjectContext* context)
{
  QList<CBFolder*> folders = foldersWithMOC(context);
  folders.removeIf([](const CBFolder* folder) { return folder->parent() != nullptr; });
  return folders;
}

QList<CBFolder*> CBFolder::foldersInParentFolder(CBFolder* parent, ZPHManagedObjectContext* context)
{
  if (parent != nullptr)
    return parent->firstLevelSubFoldersWithMOC(context);
  return rootFoldersWithMOC(context);
}

QList<CBFolder*> CBFolder::foldersWithName(const QString& name, CBFolder* parent, ZPHManagedObjectContext* context)
{
  QList<CBFolder*> folders = foldersInParentFolder(parent, context);
  folders.removeIf([&](const CBFolder* folder) { return folder->nameForDisplay() != name; });
  return folders;
}

QString CBFolder::nameForDisplay() const
{
  const QString stored = name();
  return stored.isEmpty() ? QCoreApplication::translate("CBFolder", "Untitled") : stored;
}

void CBFolder::setNameForDisplay(const QString& name)
{
  const double now = cb_timeIntervalSince1970Now();
  setName(name);
  setUserSpecifiedName(name);
  setUserSpecifiedNameModDate(now);
  setModDate(now);
  setNeedsSync(true);
}

void CBFolder::updateUnreadCount()
{
  quint64 sum = 0;
  for (const CBNode* child : children()) {
    if (!child->deleted())
      sum += child->countForDisplay();
  }
  setUnreadCount(sum);  // stores (and tells observers) only when it differs
  if (sum == 0)
    m_markingAllAsRead = false;
  setUnreadCountIsValid(true);
}

void CBFolder::invalidate()
{
  AbstractManagedFolder::invalidate();
  recursivelyInvalidateUnreadCountsUpTree();
}

QList<CBFeed*> CBFolder::allDescendantsThatAreFeeds() const
{
  QList<CBFeed*> feeds;
  // Depth first over the stored children, in child order; bounded by the
  // number of nodes seen, so a damaged store with a cycle cannot loop.
  QSet<const CBNode*> seen;
  std::function<void(const AbstractManagedFolder*)> walk = [&](const AbstractManagedFolder* folder) {
    for (CBNode* child : folder->children()) {
      if (seen.contains(child))
        continue;
      seen.insert(child);
      if (child->isFolder())
        walk(static_cast<AbstractManagedFolder*>(child));
      else
        feeds.append(static_cast<CBFeed*>(child));
    }
  };
  seen.insert(this);
  walk(this);
  return feeds;
}

QList<CBFeed*> CBFolder::descendantFeedsForMarkAsRead() const
{
  QList<CBFeed*> feeds = allDescendantsThatAreFeeds();
  feeds.removeIf([](const CBFeed* feed) { return feed->suspended() || feed->unreadCount() == 0; });
  return feeds;
}

bool CBFolder::containsFeedWithURL(const QUrl& url) const
{
  for (const CBFeed* feed : allDescendantsThatAreFeeds()) {
    if (feed->URL() == url)
      return true;
  }
  return false;
}

QDateTime CBFolder::dateForDisplay() const
{
  QDateTime latest;
  for (const CBFeed* feed : allDescendantsThatAreFeeds()) {
    const QDateTime date = feed->dateForDisplay();
    if (date.isValid() && (!latest.isValid() || date > latest))
      latest = date;
  }
  // The distant past.
  return latest.isValid() ? latest : QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}

QVariantMap CBFolder::dictionaryRepresentation() const
{
  QVariantMap map;
  if (!name().isNull())
    map.insert(QStringLiteral("name"), name());
  map.insert(QStringLiteral("unreadCount"), unreadCount());
  return map;
}

QString CBFolder::description() const
{
  return QStringLiteral("<CBFolder: 0x%1>  userSpecififiedName:%2").arg(quintptr(this), 0, 16).arg(userSpecifiedName());
}

QList<CBNode*> CBFolder::fetchChildrenWithMOC(ZPHManagedObjectContext* context) const
{
  QList<CBNode*> nodes;
  if (context == nullptr)
    return nodes;
  ZPHFetchRequest request(CBDataEntityNameNode, ZPHPredicate::equal(QStringLiteral("parentguid"), guid()));
  request.sortDescriptors = {{QStringLiteral("childindex"), true}};
  ZPHError error;
  const QList<ZPHManagedObject*> objects = context->executeFetchRequest(request, &error);
  if (!error.isNull())
    qCWarning(zphStore) << "Received error while fetching children for folder:" << error.toString();
  for (ZPHManagedObject* object : objects) nodes.append(static_cast<CBNode*>(object));
  return nodes;
}

QList<CBFolder*> CBFolder::firstLevelSubFoldersWithMOC(ZPHManagedObjectContext* context) const
{
  return fetchFolders(context, ZPHPredicate::equal(QStringLiteral("parent.guid"), guid()));
}
