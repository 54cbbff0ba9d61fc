#include "store/accounts/ZPHGlobalFavoritesGroup.h"

#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHUserDefaults.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/entities/CBFeed.h"

const QString ZPHGlobalFavoritesGroupUpdatedChildren = QStringLiteral("ZPHGlobalFavoritesGroupUpdatedChildren");

ZPHGlobalFavoritesGroup::ZPHGlobalFavoritesGroup(QObject* parent) : QObject(parent)
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  const auto update = [this](const ZPHNotification&) { zph_updateChildren(); };
  using D = ZPHNotificationCenter::Delivery;
  m_observers.push_back(
      center.addObserver(CBFeedFavoriteDidChangeNotification, QVariant(), this, update, D::MainThread));
  m_observers.push_back(
      center.addObserver(ZPHFeedsOrFoldersDeletedNotification, QVariant(), this, update, D::MainThread));
}

ZPHGlobalFavoritesGroup::~ZPHGlobalFavoritesGroup() { m_observers.clear(); }

void ZPHGlobalFavoritesGroup::setUnreadCount(quint64 unreadCount)
{
  if (unreadCount == m_unreadCount)
    return;
  m_unreadCount = unreadCount;
  Q_EMIT unreadCountChanged(unreadCount);
}

void ZPHGlobalFavoritesGroup::setImageName(const QString& name) { m_image = CBGlobalFeed::imageNamed(name); }

void ZPHGlobalFavoritesGroup::setSelectedImageName(const QString& name)
{
  m_selectedImage = CBGlobalFeed::imageNamed(name);
}

void ZPHGlobalFavoritesGroup::setTreeNode(const CBTreeNode::Pointer& node)
{
  m_treeNode = node;
  zph_updateChildren();
}

void ZPHGlobalFavoritesGroup::zph_updateChildren()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (!m_treeNode)
    return;
  m_treeNode->removeAllChildren();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  ZPHManagedObjectContext* context = delegate ? delegate->mainThreadManagedObjectContext() : nullptr;
  if (context != nullptr) {
    for (CBFeed* feed : CBFeed::favoriteFeedsWithMOC(context)) {
      if (feed->deleted() || !feed->favorite())
        continue;
      m_treeNode->addChild(CBTreeNode::treeNodeWithParent(m_treeNode.get(), static_cast<CBNode*>(feed)));
    }
  }
  m_treeNode->invalidateCaches();
  ZPHNotificationCenter::defaultCenter().post(ZPHGlobalFavoritesGroupUpdatedChildren,
                                              QVariant::fromValue(static_cast<QObject*>(this)));
}

QList<CBDataArticle*> ZPHGlobalFavoritesGroup::fetchArticlesWithSortDescriptor(const Sort& sort,
                                                                               ZPHManagedObjectContext* context) const
{
  if (ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHHideReadArticles))
    return CBDataArticle::unreadArticlesForFavoriteFeedsWithSortDescriptor(sort, context);
  return CBDataArticle::articlesInFavoriteFeedsWithSortDescriptor(sort, context);
}

QList<ZPHManagedObjectID> ZPHGlobalFavoritesGroup::managedObjectIDsOfUnreadArticlesWithManagedObjectContext(
    ZPHManagedObjectContext* context) const
{
  QList<ZPHManagedObjectID> objectIDs;
  for (const CBDataArticle* article :
       CBDataArticle::unreadArticlesForFavoriteFeedsWithSortDescriptor(std::nullopt, context))
    objectIDs.append(article->objectID());
  return objectIDs;
}

bool ZPHGlobalFavoritesGroup::containsFeedWithURL(const QUrl& url) const
{
  if (!m_treeNode)
    return false;
  for (const CBTreeNode::Pointer& child : m_treeNode->children()) {
    if (child->representsFeed() && static_cast<CBFeed*>(child->representedNode())->URL() == url)
      return true;
  }
  return false;
}
