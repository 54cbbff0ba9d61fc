#include "store/tree/CBTreeNode.h"

#include "foundation/CBDates.h"
#include "foundation/CBStringExtras.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBCoreDataUtilities.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <algorithm>
#include <functional>
#include <vector>

const QString CBTreeNodeSelectedKey = QStringLiteral("selected");
const QString ZPHSortInGroupsOnly = QStringLiteral("sortInGroupsOnly");

namespace {

const QString NameKey = QStringLiteral("nameForDisplay");
const QString DateKey = QStringLiteral("dateForDisplay");
const QString CountKey = QStringLiteral("countForDisplay");
const QString ChildIndexKey = QStringLiteral("childindex");

bool sortInGroupsOnly() { return ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHSortInGroupsOnly); }

void markMoved(CBNode* node)
{
  const double now = cb_timeIntervalSince1970Now();
  node->setParentguidModDate(now);
  node->setModDate(now);
  node->setNeedsSync(true);
}

}  // namespace

CBTreeNodeRepresentedObject::~CBTreeNodeRepresentedObject() = default;

CBTreeNode::CBTreeNode() = default;

CBTreeNode::~CBTreeNode()
{
  // Children that outlive this node (held elsewhere) lose their back pointer.
  ensureChildrenAreOrphaned();
}

CBTreeNode::Pointer CBTreeNode::treeNodeWithParent(CBTreeNode* parent, CBNode* node)
{
  Pointer tn(new CBTreeNode());
  tn->m_parent = parent;
  tn->m_node = node;
  tn->setSortKeyForOrderingChildren(CBDataAccount::sortKeyForStoredSubscriptionSortOrder());
  tn->m_allowsDragging = true;
  return tn;
}

CBTreeNode::Pointer CBTreeNode::treeNodeWithParent(CBTreeNode* parent, CBTreeNodeRepresentedObject* object)
{
  Pointer tn(new CBTreeNode());
  tn->m_parent = parent;
  tn->m_object = object;
  tn->setSortKeyForOrderingChildren(CBDataAccount::sortKeyForStoredSubscriptionSortOrder());
  tn->m_allowsDragging = true;
  return tn;
}

CBTreeNode::Pointer CBTreeNode::treeNodeForFolder(CBNode* folder, CBTreeNode* parent)
{
  Pointer tn = treeNodeWithParent(parent, folder);
  tn->m_isGroup = true;
  if (folder != nullptr && folder->isFolder())
    tn->m_expanded = static_cast<CBFolder*>(folder)->expanded();
  return tn;
}

bool CBTreeNode::representsFolder() const { return m_node != nullptr && m_node->isFolder(); }
bool CBTreeNode::representsFeed() const { return m_node != nullptr && !m_node->isFolder(); }

void CBTreeNode::setRepresentedObject(CBNode* node)
{
  m_node = node;
  m_object = nullptr;
}

void CBTreeNode::setRepresentedObject(CBTreeNodeRepresentedObject* object)
{
  m_object = object;
  m_node = nullptr;
}

const void* CBTreeNode::representedIdentity() const
{
  if (m_node != nullptr)
    return m_node;
  return m_object;
}

QString CBTreeNode::title() const
{
  if (m_node != nullptr)
    return m_node->isFolder() ? static_cast<CBFolder*>(m_node)->nameForDisplay()
                              : static_cast<CBFeed*>(m_node)->nameForDisplay();
  return m_object != nullptr ? m_object->nameForDisplay() : QString();
}

quint64 CBTreeNode::countForDisplay() const
{
  if (m_node != nullptr)
    return m_node->countForDisplay();
  return m_object != nullptr ? m_object->countForDisplay() : 0;
}

QDateTime CBTreeNode::dateForDisplay() const
{
  if (m_node != nullptr)
    return m_node->isFolder() ? static_cast<CBFolder*>(m_node)->dateForDisplay()
                              : static_cast<CBFeed*>(m_node)->dateForDisplay();
  return m_object != nullptr ? m_object->dateForDisplay() : QDateTime();
}

void CBTreeNode::setExpanded(bool expanded)
{
  if (expanded == m_expanded)
    return;
  m_expanded = expanded;
  invalidateFlatItemCache();
}

CBTreeNode::List CBTreeNode::folders() const
{
  List result;
  for (const Pointer& child : m_children) {
    if (child->representsFolder())
      result.append(child);
  }
  return result;
}

// ------------------------------------------------------------- children

void CBTreeNode::didInsertChild(const Pointer& child)
{
  CBNode* c = child->m_node;
  if (c != nullptr) {
    if (representsFolder()) {
      // A folder that gains a node sums one more count.
      if (c->parent() != m_node)
        m_node->recursivelyInvalidateUnreadCountsUpTree();
      c->setParentguid(m_node->guid());
      c->setParent(static_cast<CBFolder*>(m_node));
      markMoved(c);
    } else if (m_object != nullptr && dynamic_cast<CBDataAccount*>(m_object) != nullptr) {
      c->setParentguid(QString());
      c->setParent(nullptr);
      markMoved(c);
    }
  }
  child->m_parent = this;
  invalidateCaches();
}

void CBTreeNode::addChild(const Pointer& child)
{
  if (!isGroup() || child == nullptr)
    return;
  m_children.append(child);
  didInsertChild(child);
}

void CBTreeNode::addChildren(const List& children)
{
  for (const Pointer& child : children) addChild(child);
  invalidateCaches();
}

void CBTreeNode::insertChild(const Pointer& child, qsizetype index)
{
  if (!isGroup() || child == nullptr)
    return;
  index = std::clamp<qsizetype>(index, 0, m_children.size());
  m_children.insert(index, child);
  didInsertChild(child);
}

void CBTreeNode::removeChild(CBTreeNode* child, bool invalidateRecursively)
{
  if (child == nullptr)
    return;
  const Pointer keep = child->shared_from_this();  // alive until the end of the removal
  if (invalidateRecursively)
    child->invalidateRecursively();
  CBNode* c = child->m_node;
  if (representsFolder() && c != nullptr && !c->parentguid().isNull()) {
    c->recursivelyInvalidateUnreadCountsUpTree();
    c->setParentguid(QString());
    c->setParent(nullptr);
    markMoved(c);
  }
  const qsizetype index = indexOfChild(child);
  if (index >= 0)
    m_children.removeAt(index);
  if (child->m_parent == this)
    child->m_parent = nullptr;
  invalidateCaches();
}

void CBTreeNode::removeAllChildren()
{
  const List children = m_children;
  for (const Pointer& child : children) child->invalidateRecursively();
  m_children.clear();
  invalidateCaches();
}

void CBTreeNode::moveChild(const Pointer& childReference)
{
  // A copy: the reference may point into the old parent's list of children,
  // which the removal below changes.
  const Pointer child = childReference;  // NOLINT(performance-unnecessary-copy-initialization): see above
  if (child == nullptr)
    return;
  if (CBTreeNode* oldParent = child->m_parent)
    oldParent->removeChild(child.get());
  addChild(child);
}

void CBTreeNode::moveChild(const Pointer& childReference, qsizetype index)
{
  const Pointer child = childReference;  // NOLINT(performance-unnecessary-copy-initialization): as above
  if (child == nullptr)
    return;
  if (child->m_parent == this) {
    const qsizetype at = indexOfChild(child.get());
    if (at >= 0)
      m_children.removeAt(at);
  } else if (CBTreeNode* oldParent = child->m_parent) {
    oldParent->removeChild(child.get());
  }
  insertChild(child, std::max<qsizetype>(index, 0));
}

void CBTreeNode::setChildren(const List& children)
{
  m_children = children;
  for (const Pointer& child : m_children) child->m_parent = this;
  invalidateCaches();
}

qsizetype CBTreeNode::indexOfChild(const CBTreeNode* child) const
{
  for (qsizetype i = 0; i < m_children.size(); ++i) {
    if (m_children[i].get() == child)
      return i;
  }
  return -1;
}

CBTreeNode::Pointer CBTreeNode::childAtIndex(qsizetype index) const
{
  if (index < 0 || index >= m_children.size())
    return nullptr;
  return m_children[index];
}

CBTreeNode::Pointer CBTreeNode::orderedChildAtIndex(qsizetype index) const
{
  const List& ordered = const_cast<CBTreeNode*>(this)->orderedChildren();
  if (index < 0 || index >= ordered.size())
    return nullptr;
  return ordered[index];
}

// -------------------------------------------------------------- ordering

void CBTreeNode::setSortKeyForOrderingChildren(const QString& key)
{
  QString k = key;
  if (k.isEmpty() && representsFolder())
    k = ChildIndexKey;
  if (isSpecialGroup() && sortInGroupsOnly()) {
    m_sortKey = QString();
    for (const Pointer& child : m_children) {
      if (child->representsFolder())
        child->setSortKeyForOrderingChildren(k);
    }
  } else {
    for (const Pointer& child : m_children) child->setSortKeyForOrderingChildren(k);
    m_sortKey = k;
  }
  invalidateCaches();
}

CBTreeNode::List CBTreeNode::arraySortedByCurrentSortOrder(const List& nodes) const
{
  if (m_sortKey.isEmpty() || (isSpecialGroup() && sortInGroupsOnly()))
    return nodes;
  // Each node's key is read once: reading one from its stored object
  // costs more than a comparison.
  const auto sortedByKey = [&nodes](auto keyOf, auto less) {
    using Key = decltype(keyOf(nodes.first()));
    std::vector<std::pair<Key, qsizetype>> keyed;
    keyed.reserve(size_t(nodes.size()));
    for (qsizetype i = 0; i < nodes.size(); ++i) keyed.emplace_back(keyOf(nodes.at(i)), i);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&less](const auto& a, const auto& b) { return less(a.first, b.first); });
    List sorted;
    sorted.reserve(nodes.size());
    for (const auto& entry : keyed) sorted.append(nodes.at(entry.second));
    return sorted;
  };
  if (nodes.isEmpty())
    return nodes;
  if (m_sortKey == NameKey) {
    return sortedByKey(
        [](const Pointer& n) { return n->title(); },
        [](const QString& a, const QString& b) { return CobbletonExtras::zph_ignoringArticleCompare(a, b) < 0; });
  }
  if (m_sortKey == ChildIndexKey) {
    return sortedByKey([](const Pointer& n) { return n->m_node != nullptr ? n->m_node->childindex() : 0; },
                       std::less<int>());
  }
  if (m_sortKey == CountKey)
    return sortedByKey([](const Pointer& n) { return n->countForDisplay(); }, std::greater<quint64>());
  if (m_sortKey == DateKey) {
    return sortedByKey(
        [](const Pointer& n) {
          const QDateTime date = n->dateForDisplay();
          return date.isValid() ? date.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
        },
        std::greater<qint64>());
  }
  return nodes;
}

void CBTreeNode::updateOrderedChildren()
{
  m_orderedChildren = arraySortedByCurrentSortOrder(m_children);
  m_hasOrderedChildren = true;
  invalidateFlatItemCache();
}

const CBTreeNode::List& CBTreeNode::orderedChildren()
{
  if (m_sortKey.isEmpty())
    return m_children;
  if (!m_hasOrderedChildren)
    updateOrderedChildren();
  return m_orderedChildren;
}

qsizetype CBTreeNode::orderedIndexForPotentialChild(const Pointer& child) const
{
  List candidates = m_children;
  if (indexOfChild(child.get()) < 0)
    candidates.append(child);
  const List sorted = arraySortedByCurrentSortOrder(candidates);
  for (qsizetype i = 0; i < sorted.size(); ++i) {
    if (sorted[i] == child)
      return i;
  }
  return -1;
}

CBTreeNode::Pointer CBTreeNode::nextOrderedSibling() const
{
  if (m_parent == nullptr)
    return nullptr;
  const List& siblings = m_parent->orderedChildren();
  for (qsizetype i = 0; i < siblings.size(); ++i) {
    if (siblings[i].get() == this)
      return i + 1 < siblings.size() ? siblings[i + 1] : nullptr;
  }
  return nullptr;
}

bool CBTreeNode::isDescendedFrom(const CBTreeNode* node) const
{
  for (const CBTreeNode* n = this; n != nullptr; n = n->parent()) {
    if (n == node)
      return true;
  }
  return false;
}

// ---------------------------------------------------------------- caches

void CBTreeNode::invalidateCaches()
{
  for (CBTreeNode* n = this; n != nullptr; n = n->parent()) {
    n->m_hasOrderedChildren = false;
    n->m_orderedChildren.clear();
  }
  invalidateFlatItemCache();
}

void CBTreeNode::invalidateFlatItemCache()
{
  for (CBTreeNode* n = this; n != nullptr; n = n->parent()) {
    n->m_hasFlatItems = n->m_hasFlatExpanded = n->m_hasFlatFirstLevel = false;
    n->m_flatItems.clear();
    n->m_flatItemsRespectingExpansionState.clear();
    n->m_flatItemsRespectingFirstLevelExpansionState.clear();
    n->m_numberOfFlatItemsRespectingExpansionState = NotComputed;
  }
}

const CBTreeNode::List& CBTreeNode::flatItems()
{
  if (!m_hasFlatItems) {
    List items;
    const List ordered = orderedChildren();
    for (const Pointer& child : ordered) {
      items.append(child);
      items.append(child->flatItems());
    }
    m_flatItems = items;
    m_hasFlatItems = true;
  }
  return m_flatItems;
}

const CBTreeNode::List& CBTreeNode::flatItemsRespectingExpansionState()
{
  if (!m_hasFlatExpanded) {
    List items;
    const List ordered = orderedChildren();
    for (const Pointer& child : ordered) {
      items.append(child);
      if (child->expanded())
        items.append(child->flatItemsRespectingExpansionState());
    }
    m_flatItemsRespectingExpansionState = items;
    m_hasFlatExpanded = true;
  }
  return m_flatItemsRespectingExpansionState;
}

const CBTreeNode::List& CBTreeNode::flatItemsRespectingFirstLevelExpansionState()
{
  if (!m_hasFlatFirstLevel) {
    List items;
    const List ordered = orderedChildren();
    for (const Pointer& child : ordered) {
      items.append(child);
      if (child->expanded())
        items.append(child->orderedChildren());
    }
    m_flatItemsRespectingFirstLevelExpansionState = items;
    m_hasFlatFirstLevel = true;
  }
  return m_flatItemsRespectingFirstLevelExpansionState;
}

quint64 CBTreeNode::numberOfFlatItemsRespectingExpansionState()
{
  if (m_numberOfFlatItemsRespectingExpansionState == NotComputed)
    m_numberOfFlatItemsRespectingExpansionState = quint64(flatItemsRespectingExpansionState().size());
  return m_numberOfFlatItemsRespectingExpansionState;
}

CBTreeNode::List CBTreeNode::treeNodesForRepresentedObject(const void* identity)
{
  List result;
  if (identity == nullptr)
    return result;
  if (representedIdentity() == identity)
    result.append(shared_from_this());
  for (const Pointer& node : flatItems()) {
    if (node->representedIdentity() == identity)
      result.append(node);
  }
  return result;
}

// ------------------------------------------------------- store and life

void CBTreeNode::sweepChildIndices(bool markForSync)
{
  for (qsizetype i = 0; i < m_children.size(); ++i) {
    CBNode* node = m_children[i]->m_node;
    if (node == nullptr || node->childindex() == int(i))
      continue;
    if (markForSync) {
      const double now = cb_timeIntervalSince1970Now();
      node->setChildindexModDate(now);
      node->setModDate(now);
      node->setNeedsSync(true);
    }
    node->setChildindex(int(i));
  }
}

void CBTreeNode::detachFromParentInvalidatingRecursively(bool invalidateRecursively)
{
  const Pointer keep = shared_from_this();
  CBTreeNode* oldParent = m_parent;
  m_parent = nullptr;
  if (m_node != nullptr && cb_isPresentInManagedObjectContext(m_node)) {
    if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate()) {
      const ZPHManagedObjectID objectID = m_node->objectID();
      delegate->addCoreDataQueueBlock(
          [objectID] {
            ZPHCoreApplicationDelegate* d = ZPHCoreApplicationDelegate::sharedDelegate();
            if (d == nullptr)
              return;
            std::shared_ptr<ZPHManagedObjectContext> context = d->temporaryManagedObjectContext();
            if (context == nullptr)
              return;
            if (auto* node = dynamic_cast<CBNode*>(context->existingObjectWithID(objectID))) {
              node->recursivelyInvalidateUnreadCountsUpTree();
              d->saveManagedObjectContext(context.get());
            }
          },
          {});
    }
  }
  if (oldParent != nullptr)
    oldParent->removeChild(this, invalidateRecursively);
}

void CBTreeNode::invalidateRecursively()
{
  if (m_invalidating)
    return;  // the detach below comes back here through removeChild
  m_invalidating = true;
  const Pointer keep = shared_from_this();
  if (m_node != nullptr) {
    if (cb_isPresentInManagedObjectContext(m_node))
      m_node->invalidate();
  } else if (m_object != nullptr) {
    m_object->invalidate();
  }
  if (m_parent != nullptr)
    detachFromParentInvalidatingRecursively(true);
  m_node = nullptr;
  m_object = nullptr;
  const List children = m_children;
  for (const Pointer& child : children) child->invalidateRecursively();
  m_invalidating = false;
}

void CBTreeNode::ensureChildrenAreOrphaned()
{
  for (const Pointer& child : m_children) {
    if (child->m_parent == this)
      child->m_parent = nullptr;
  }
  invalidateCaches();
}

void CBTreeNode::ensureChildrenHaveParent()
{
  for (const Pointer& child : m_children) child->m_parent = this;
  invalidateCaches();
}

QString CBTreeNode::description(int indentLevel)
{
  QString text = QString(indentLevel, QLatin1Char(' ')) + title() + QLatin1Char('\n');
  for (const Pointer& child : m_children) text += child->description(indentLevel + 1);
  return text;
}

bool CBTreeNodeIsEqual(const CBTreeNode* a, const CBTreeNode* b)
{
  if (a == b)
    return true;
  if (a == nullptr || b == nullptr)
    return false;
  if (a->parent() == nullptr || b->parent() == nullptr || !CBTreeNodeIsEqual(a->parent(), b->parent()))
    return false;
  if (!a->representsFeed() || !b->representsFeed())
    return false;
  return static_cast<CBFeed*>(a->representedNode())->URL() == static_cast<CBFeed*>(b->representedNode())->URL();
}
