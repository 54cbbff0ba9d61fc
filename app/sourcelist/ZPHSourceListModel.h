#pragma once

// Qt kind: model (QAbstractItemModel).

#include "platform/ZPHError.h"
#include "store/tree/CBTreeNode.h"

#include <QtCore/QAbstractItemModel>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QSet>
#include <QtGui/QImage>

#include <functional>

class CBFeed;
class CBNode;
class CBTree;

// The rows of the source list: the shared tree builder's tree (the "NEWS
// FEED" section with the smart feeds and Favorites, then the "ALL SITES"
// section with the folders and feeds) as an item model with one column.
//
// The model takes a snapshot of the tree's structure at each reset: which
// children each node shows, in their order, with the unread filter applied.
// Counts, names, errors and favicons are read from the nodes whenever a row
// is drawn, so they follow the store without a reset; the structure changes
// only through reload(). While "hide read sites" is on, a feed or folder
// without unread articles is left out unless it is forced in (the selection
// and its folders keep their rows until the selection leaves them).
//
// The stored feeds and folders of the snapshot are observed: a change of
// one (its count, its last refresh error, its name) redraws its rows on the
// next turn of the event loop, all changes of a turn together.
//
// The snapshot keeps the nodes alive; the stored objects must outlive the
// model (the store closes after the window). Main thread only.
class ZPHSourceListModel : public QAbstractItemModel {
  Q_OBJECT

public:
  // What a row stands for.
  enum class Kind {
    None,
    Header,          // a section header (an account's top node)
    SmartFeed,       // All Unread, Today, Bookmarks
    FavoritesGroup,  // the Favorites group
    Folder,
    Feed,
  };

  enum Role {
    // The row's node (CBTreeNode*, as quintptr).
    NodeRole = Qt::UserRole + 1,
    // Kind, as int.
    KindRole,
    // The count the badge shows (qint64; 0 shows none).
    UnreadCountRole,
    // The error the row's error button shows (ZPHError; null: no button).
    ErrorRole,
    // A suspended feed (bool); its title is drawn in grey.
    SuspendedRole,
    // The header's button title ("Show Read"), else empty.
    HeaderButtonTitleRole,
    // The text drawn over the row's picture (Today's day of the month).
    ImageTextRole,
    // The picture of an unselected row and of a selected row (QImage). An
    // image in QImage::Format_Alpha8 is a template: a mask drawn in the
    // row's text colour.
    ImageRole,
    SelectedImageRole,
  };

  // The images of the rows, by name (each loaded once).
  static QImage templateImageNamed(const QString& name);

  explicit ZPHSourceListModel(QObject* parent = nullptr);
  ~ZPHSourceListModel() override;

  // The tree shown (null: no rows). Takes effect at the next reload.
  std::shared_ptr<CBTree> tree() const { return m_tree; }
  void setTree(std::shared_ptr<CBTree> tree) { m_tree = std::move(tree); }

  // Hide feeds and folders without unread articles. Takes effect at the next
  // reload.
  bool hideFeedsWithNoUnread() const { return m_hideFeedsWithNoUnread; }
  void setHideFeedsWithNoUnread(bool hide) { m_hideFeedsWithNoUnread = hide; }

  // Nodes shown whatever their count. A node counts as forced in when it is
  // one of them or equal to one (CBTreeNodeIsEqual), so a rebuilt node of
  // the same feed stays in. Takes effect at the next reload.
  const CBTreeNode::List& forceIncludedTreeNodes() const { return m_forceIncludedTreeNodes; }
  void setForceIncludedTreeNodes(const CBTreeNode::List& nodes) { m_forceIncludedTreeNodes = nodes; }

  // Whether the internet can be reached; some errors are shown only while it
  // can. A change redraws every row.
  void setHasInternetConnectivity(bool connected);
  bool hasInternetConnectivity() const { return m_hasInternetConnectivity; }

  // Takes a new snapshot of the tree (a model reset).
  void reload();
  // Redraws every row (counts, names, errors, pictures).
  void refreshAllRows();
  // Redraws the rows of the node.
  void refreshRowsForNode(const CBTreeNode* node);

  // Whether the filter lets the node through: always when it is off, for
  // everything but feeds and folders, and for rows with unread articles or
  // forced in.
  bool shouldIncludeTreeNode(const CBTreeNode* node) const;

  CBTreeNode* nodeForIndex(const QModelIndex& index) const;
  // Invalid for a node without a row.
  QModelIndex indexForNode(const CBTreeNode* node) const;
  // The node's children as shown (after the filter), from the snapshot.
  QList<CBTreeNode*> shownChildren(const CBTreeNode* node) const;

  // The row's title: a section header's name in capitals (the "ALL SITES"
  // header reads "UNREAD SITES" or "(NO UNREAD SITES)" while read sites are
  // hidden), else the display name ("Unnamed Site" for a feed without one).
  QString titleForNode(const CBTreeNode* node) const;

  static Kind kindOfNode(const CBTreeNode* node);
  // The feed a node stands for, or null.
  static CBFeed* feedForNode(const CBTreeNode* node);
  // A feed node directly under the Favorites group.
  static bool isFavoritesChild(const CBTreeNode* node);
  // The section header of the global account (smart feeds and Favorites).
  static bool isGlobalSpecialGroup(const CBTreeNode* node);
  // A section header that stands for the Favorites group (the group is no
  // section header in this tree, so never true here).
  static bool isFavoritesSpecialGroup(const CBTreeNode* node);
  // The Favorites group's node.
  static bool isGlobalFavoritesGroup(const CBTreeNode* node);
  // The section header of a data account ("ALL SITES").
  static bool isDataAccountSpecialGroup(const CBTreeNode* node);

  // Which refresh error a feed row shows, with the internet reachable or
  // not: "not connected" never (the status area says it once for all
  // feeds), "cannot connect" and "not responding" only while the internet
  // can be reached, every other error always.
  static bool shouldShowError(const ZPHError& error, bool hasInternetConnectivity);

  // QAbstractItemModel
  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // Feeds and folders are renamed in place: the edit role is their name,
  // and a new name goes to the rename handler (nothing is stored while none
  // is set).
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  void setRenameHandler(std::function<void(CBTreeNode* node, const QString& name)> handler)
  {
    m_renameHandler = std::move(handler);
  }

  // Dragging and dropping: the rows' data and what a drop does are the
  // drop handler's (the source list view controller's); nothing is
  // dragged or dropped while none is set. `parent` is null for the empty
  // area; `row` is -1 for a drop on the row itself.
  struct DropHandler {
    std::function<QMimeData*(const QList<CBTreeNode*>& nodes)> dragData;
    std::function<Qt::DropAction(const QMimeData* data, CBTreeNode* parent, int row)> validateDrop;
    std::function<bool(const QMimeData* data, CBTreeNode* parent, int row)> acceptDrop;
  };
  void setDropHandler(DropHandler handler) { m_dropHandler = std::move(handler); }
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDropActions() const override;
  Qt::DropActions supportedDragActions() const override;
  bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                       const QModelIndex& parent) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;

private:
  DropHandler m_dropHandler;
  std::function<void(CBTreeNode* node, const QString& name)> m_renameHandler;
  struct Entry {
    CBTreeNode::Pointer node;
    CBTreeNode* parent = nullptr;
    int row = 0;
    QList<CBTreeNode*> children;
  };

  void addEntry(const CBTreeNode::Pointer& node, CBTreeNode* parent, int row);
  bool isForcedIn(const CBTreeNode* node) const;
  bool anyChildIsIncluded(CBTreeNode* node) const;
  void emitDataChangedForChildren(const CBTreeNode* parent);
  void observeStoredNodes();
  void stopObservingStoredNodes();
  void storedNodeDidChange(CBNode* node);
  void redrawChangedStoredNodes();

  std::shared_ptr<CBTree> m_tree;
  bool m_hideFeedsWithNoUnread = false;
  bool m_hasInternetConnectivity = true;
  CBTreeNode::List m_forceIncludedTreeNodes;
  QHash<const CBTreeNode*, Entry> m_entries;
  QList<const CBTreeNode*> m_parentsWithChildren;
  // The stored objects shown, with their observer tokens and their rows.
  QHash<CBNode*, int> m_storedNodeObservers;
  QHash<CBNode*, QList<const CBTreeNode*>> m_treeNodesByStoredNode;
  QSet<CBNode*> m_changedStoredNodes;
  bool m_redrawScheduled = false;
};
