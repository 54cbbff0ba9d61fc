#pragma once

#include "platform/ZPHNotificationCenter.h"
#include "store/entities/CBDataArticle.h"
#include "store/graph/ZPHManagedObjectID.h"
#include "store/tree/CBTreeNode.h"

#include <QtCore/QObject>
#include <QtGui/QImage>

#include <vector>

class CBAccount;
class ZPHManagedObjectContext;

// Object: the group (QObject*). Posted on the main thread each time the
// group has rebuilt its children.
extern const QString ZPHGlobalFavoritesGroupUpdatedChildren;  // "ZPHGlobalFavoritesGroupUpdatedChildren"

// The Favorites group of the global account: its node holds one leaf per
// favourite feed, rebuilt from the main store context whenever a feed's
// favourite mark changes or feeds are deleted. A favourite feed keeps its
// own node in the account's tree as well. Main thread only, except the
// fetches, which run on the thread of the context given.
class ZPHGlobalFavoritesGroup : public QObject, public CBTreeNodeRepresentedObject {
  Q_OBJECT
public:
  using Sort = CBDataArticle::Sort;

  explicit ZPHGlobalFavoritesGroup(QObject* parent = nullptr);
  ~ZPHGlobalFavoritesGroup() override;

  QString nameForDisplay() const override { return m_nameForDisplay; }
  void setNameForDisplay(const QString& name) override { m_nameForDisplay = name; }

  // The unread articles of the favourite feeds, as the data controller sets
  // it. Announces only a real change.
  quint64 unreadCount() const { return m_unreadCount; }
  void setUnreadCount(quint64 unreadCount);
  quint64 countForDisplay() const override { return m_unreadCount; }
  QUrl associatedURL() const override { return QUrl(); }

  QImage image() const { return m_image; }
  QImage selectedImage() const { return m_selectedImage; }
  void setImageName(const QString& name);
  void setSelectedImageName(const QString& name);

  // Not owned; nothing here reads it.
  CBAccount* account() const { return m_account; }
  void setAccount(CBAccount* account) { m_account = account; }

  // The group's node; setting it rebuilds the children.
  CBTreeNode::Pointer treeNode() const { return m_treeNode; }
  void setTreeNode(const CBTreeNode::Pointer& node);

  // The articles of the favourite feeds; only the unread ones when
  // "ZPHHideReadArticles" is set.
  QList<CBDataArticle*> fetchArticlesWithSortDescriptor(const Sort& sort, ZPHManagedObjectContext* context) const;
  // Empty when none.
  QList<ZPHManagedObjectID> managedObjectIDsOfUnreadArticlesWithManagedObjectContext(
      ZPHManagedObjectContext* context) const;
  // A child stands for a feed with this address.
  bool containsFeedWithURL(const QUrl& url) const;

  // One leaf per favourite, not deleted feed of the main context, by name;
  // then announces ZPHGlobalFavoritesGroupUpdatedChildren.
  void zph_updateChildren();

Q_SIGNALS:
  // The observable "unreadCount".
  void unreadCountChanged(quint64 unreadCount);

private:
  QString m_nameForDisplay;
  quint64 m_unreadCount = 0;
  QImage m_image;
  QImage m_selectedImage;
  CBAccount* m_account = nullptr;
  CBTreeNode::Pointer m_treeNode;
  std::vector<ZPHObserverToken> m_observers;
};
