#pragma once

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <limits>
#include <memory>

class CBNode;
class CBTree;

// What a tree node stands for when it is not a stored feed or folder (an
// account, a smart feed, a group). Only the name is required.
class CBTreeNodeRepresentedObject {
public:
  virtual ~CBTreeNodeRepresentedObject();
  virtual QString nameForDisplay() const = 0;
  virtual void setNameForDisplay(const QString& name) = 0;
  virtual void invalidate() {}
  virtual quint64 countForDisplay() const { return 0; }
  virtual QUrl associatedURL() const { return QUrl(); }
  virtual bool nameIsEditable() const { return false; }
  virtual bool canBeDeleted() const { return false; }
  virtual QDateTime dateForDisplay() const { return QDateTime(); }
};

extern const QString CBTreeNodeSelectedKey;  // "selected"
// User default (boolean): sort by name or date only inside each folder; the
// account's top level keeps the manual order.
extern const QString ZPHSortInGroupsOnly;  // "sortInGroupsOnly"

// A node of a displayed tree: a stored feed or folder (CBNode, owned by its
// context) or another represented object (not owned). A parent owns its
// children; the parent link is a plain back pointer that a parent clears on
// its children when it goes away. Children keep their insertion order;
// orderedChildren and the flat lists are caches derived from the sort key.
// Main thread only. Nodes always live in a std::shared_ptr.
class CBTreeNode : public std::enable_shared_from_this<CBTreeNode> {
public:
  using Pointer = std::shared_ptr<CBTreeNode>;
  using List = QList<Pointer>;

  virtual ~CBTreeNode();
  CBTreeNode(const CBTreeNode&) = delete;
  CBTreeNode& operator=(const CBTreeNode&) = delete;

  // A new node with the parent link and represented object set and the sort
  // key of the "subscriptionsSortOrder" default; the parent's children are
  // not changed.
  static Pointer treeNodeWithParent(CBTreeNode* parent, CBNode* node);
  static Pointer treeNodeWithParent(CBTreeNode* parent, CBTreeNodeRepresentedObject* object);
  // A group node for the folder, expanded as the folder is.
  static Pointer treeNodeForFolder(CBNode* folder, CBTreeNode* parent);

  // The represented object: a stored node or another object (one of the
  // two, or neither).
  CBNode* representedNode() const { return m_node; }
  CBTreeNodeRepresentedObject* representedObject() const { return m_object; }
  bool hasRepresentedObject() const { return m_node != nullptr || m_object != nullptr; }
  bool representsFolder() const;
  bool representsFeed() const;
  void setRepresentedObject(CBNode* node);
  void setRepresentedObject(CBTreeNodeRepresentedObject* object);
  // Identity of the represented object (either kind).
  const void* representedIdentity() const;

  // Answers of the represented object.
  QString title() const;
  quint64 countForDisplay() const;
  QDateTime dateForDisplay() const;

  virtual CBTreeNode* parent() const { return m_parent; }
  void setParent(CBTreeNode* parent) { m_parent = parent; }
  CBTree* tree() const { return m_tree; }
  void setTree(CBTree* tree) { m_tree = tree; }

  virtual bool isGroup() const { return m_isGroup; }
  void setIsGroup(bool group) { m_isGroup = group; }
  virtual bool isSpecialGroup() const { return m_isSpecialGroup; }
  void setIsSpecialGroup(bool special) { m_isSpecialGroup = special; }
  bool expanded() const { return m_expanded; }
  void setExpanded(bool expanded);
  bool selected() const { return m_selected; }
  void setSelected(bool selected) { m_selected = selected; }
  bool allowsDragging() const { return m_allowsDragging; }
  void setAllowsDragging(bool allows) { m_allowsDragging = allows; }

  // Children in insertion order (empty for a non-group).
  const List& children() const { return m_children; }
  bool hasChildren() const { return isGroup() && !m_children.isEmpty(); }
  int numberOfChildren() const { return int(m_children.size()); }
  // The children that represent folders, in children order.
  List folders() const;

  void addChild(const Pointer& child);
  void addChildren(const List& children);
  void insertChild(const Pointer& child, qsizetype index);
  void removeChild(CBTreeNode* child) { removeChild(child, false); }
  void removeChild(CBTreeNode* child, bool invalidateRecursively);
  void removeAllChildren();
  void moveChild(const Pointer& child);
  void moveChild(const Pointer& child, qsizetype index);
  // Plain assignment of the children list (no store changes).
  void setChildren(const List& children);
  qsizetype indexOfChild(const CBTreeNode* child) const;
  bool hasChild(const CBTreeNode* child) const { return indexOfChild(child) >= 0; }
  Pointer childAtIndex(qsizetype index) const;
  Pointer orderedChildAtIndex(qsizetype index) const;

  // Ordering.
  QString sortKeyForOrderingChildren() const { return m_sortKey; }
  void setSortKeyForOrderingChildren(const QString& key);
  List arraySortedByCurrentSortOrder(const List& nodes) const;
  const List& orderedChildren();
  int numberOfOrderedChildren() { return int(orderedChildren().size()); }
  // The position the node would take among this node's sorted children.
  qsizetype orderedIndexForPotentialChild(const Pointer& child) const;
  Pointer nextOrderedSibling() const;
  // Walks the parents, this node included.
  bool isDescendedFrom(const CBTreeNode* node) const;

  // Caches.
  void invalidateCaches();
  void invalidateFlatItemCache();
  const List& flatItems();
  const List& flatItemsRespectingExpansionState();
  const List& flatItemsRespectingFirstLevelExpansionState();
  quint64 numberOfFlatItemsRespectingExpansionState();

  // This node when it stands for the object, then every node of flatItems
  // that does.
  List treeNodesForRepresentedObject(const void* identity);

  // Renumbers the stored child indexes to the children's positions; with
  // marking, changed ones are marked for sync.
  void sweepChildIndices(bool markForSync);
  void detachFromParentInvalidatingRecursively(bool invalidateRecursively);
  void invalidateRecursively();
  void ensureChildrenAreOrphaned();
  void ensureChildrenHaveParent();

  // The name indented one space per level, then the children a level deeper.
  QString description(int indentLevel = 0);

protected:
  CBTreeNode();

private:
  void didInsertChild(const Pointer& child);
  void updateOrderedChildren();

  CBNode* m_node = nullptr;
  CBTreeNodeRepresentedObject* m_object = nullptr;
  CBTreeNode* m_parent = nullptr;
  CBTree* m_tree = nullptr;
  List m_children;
  QString m_sortKey;
  bool m_isGroup = false;
  bool m_isSpecialGroup = false;
  bool m_expanded = false;
  bool m_selected = false;
  bool m_allowsDragging = true;
  bool m_invalidating = false;

  static constexpr quint64 NotComputed = quint64(std::numeric_limits<qint64>::max());
  bool m_hasOrderedChildren = false;
  List m_orderedChildren;
  bool m_hasFlatItems = false;
  List m_flatItems;
  bool m_hasFlatExpanded = false;
  List m_flatItemsRespectingExpansionState;
  bool m_hasFlatFirstLevel = false;
  List m_flatItemsRespectingFirstLevelExpansionState;
  quint64 m_numberOfFlatItemsRespectingExpansionState = NotComputed;

  friend class CBTree;
};

// Node equality of the source list: the same node, or two nodes under equal
// parents (a missing parent never equals anything) that both stand for feeds
// with equal URLs. Containers compare nodes by identity; this is asked for
// by name.
bool CBTreeNodeIsEqual(const CBTreeNode* a, const CBTreeNode* b);
