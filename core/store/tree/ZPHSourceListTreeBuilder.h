#pragma once

#include "store/tree/CBTree.h"

#include <QtCore/QList>
#include <QtCore/QString>

#include <memory>

class CBAccount;
class CBDataController;
class CBFeed;
class CBNode;
class CBTreeNodeRepresentedObject;

// Builds the tree that the source list shows: a root holding the global
// account's top node (smart feeds and Favorites), then the local account's
// (its feeds and folders). The nodes belong to the accounts; the builder
// only gathers them. It also answers the source list's navigation
// questions.
//
// The application makes one at start-up; the last one made is the shared
// builder. The data controller is not owned and must outlive the builder.
// Main thread only.
class ZPHSourceListTreeBuilder {
public:
  // What a node stands for: a stored feed or folder, or another object.
  struct RepresentedObject {
    CBNode* node = nullptr;
    CBTreeNodeRepresentedObject* object = nullptr;
    // The feed, when it is one.
    CBFeed* feed() const;
  };

  explicit ZPHSourceListTreeBuilder(CBDataController* dataController);
  ~ZPHSourceListTreeBuilder();
  ZPHSourceListTreeBuilder(const ZPHSourceListTreeBuilder&) = delete;
  ZPHSourceListTreeBuilder& operator=(const ZPHSourceListTreeBuilder&) = delete;

  // The last builder made (nullptr when it is gone).
  static ZPHSourceListTreeBuilder* sharedTreeBuilder();

  CBDataController* dataController() const { return m_dataController; }
  std::shared_ptr<CBTree> tree() const { return m_tree; }
  CBTreeNode::Pointer localAccountNode() const { return m_localAccountNode; }

  // A new root with the global account's node, then the local account's,
  // both expanded; then the model's flags are brought up to date.
  void rebuildTree();
  // Drops the cached lists of every node, then rebuilds.
  void invalidateAllCaches();

  // Every node of the tree that stands for the object: a favourite feed has
  // two, under Favorites and in its folder.
  CBTreeNode::List treeNodesForRepresentedObject(CBNode* node) const;
  CBTreeNode::List treeNodesForRepresentedObject(CBTreeNodeRepresentedObject* object) const;
  // An account's top node.
  CBTreeNode::Pointer treeNodeForAccount(CBAccount* account) const;
  // The first folder directly under the account's top node whose name
  // equals `name` ignoring case.
  CBTreeNode::Pointer treeNodeForFolderName(const QString& name, CBAccount* account) const;
  // A leaf: what it stands for; a group: what every leaf below it stands for.
  static QList<RepresentedObject> feedsForTreeNode(const CBTreeNode* node);
  // For a feed node under Favorites, the feed's node in the local account's
  // tree; for a feed node elsewhere, its node under Favorites; nullptr for
  // other nodes or when there is no counterpart.
  CBTreeNode::Pointer favoriteCounterPartToTreeNode(const CBTreeNode* node) const;

  // The first row (respecting expansion) with a count to show.
  CBTreeNode::Pointer firstTreeNodeWithCountForDisplay() const;
  // The next row after `node` with a count to show that is a feed, a smart
  // feed or a collapsed group (never an account section or an expanded
  // folder, whose rows follow); nullptr at the end, without wrapping.
  CBTreeNode::Pointer treeNodeWithCountForDisplayAfter(const CBTreeNode* node) const;

private:
  CBTreeNode::List treeNodesForIdentity(const void* identity) const;

  CBDataController* m_dataController = nullptr;
  std::shared_ptr<CBTree> m_tree;
  CBTreeNode::Pointer m_localAccountNode;
};
