#include "store/tree/ZPHSourceListTreeBuilder.h"

#include "platform/ZPHMainThread.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalAccount.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBFeed.h"
#include "store/tree/ZPHModel.h"

namespace {

ZPHSourceListTreeBuilder* g_sharedTreeBuilder = nullptr;

CBTreeNode::Pointer firstOf(const CBTreeNode::List& nodes) { return nodes.isEmpty() ? nullptr : nodes.first(); }

}  // namespace

CBFeed* ZPHSourceListTreeBuilder::RepresentedObject::feed() const
{
  return node != nullptr && !node->isFolder() ? static_cast<CBFeed*>(node) : nullptr;
}

ZPHSourceListTreeBuilder::ZPHSourceListTreeBuilder(CBDataController* dataController) : m_dataController(dataController)
{
  ZPH_ASSERT_MAIN_THREAD();
  g_sharedTreeBuilder = this;
}

ZPHSourceListTreeBuilder::~ZPHSourceListTreeBuilder()
{
  if (g_sharedTreeBuilder == this)
    g_sharedTreeBuilder = nullptr;
}

ZPHSourceListTreeBuilder* ZPHSourceListTreeBuilder::sharedTreeBuilder() { return g_sharedTreeBuilder; }

void ZPHSourceListTreeBuilder::rebuildTree()
{
  ZPH_ASSERT_MAIN_THREAD();
  std::shared_ptr<CBTree> tree = CBTree::tree();
  CBGlobalAccount* global = m_dataController ? m_dataController->globalAccount() : nullptr;
  CBDataAccount* local = m_dataController ? m_dataController->localAccount() : nullptr;
  if (global != nullptr && global->accountTreeNode())
    tree->addChild(global->accountTreeNode());
  m_localAccountNode = local ? local->accountTreeNode() : nullptr;
  if (m_localAccountNode)
    tree->addChild(m_localAccountNode);
  for (const CBTreeNode::Pointer& child : tree->children()) child->setExpanded(true);
  m_tree = tree;
  ZPHModel::sharedModel()->updateHasFeedsOtherThanGlobalFeeds();
}

void ZPHSourceListTreeBuilder::invalidateAllCaches()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_tree) {
    const CBTreeNode::List nodes = m_tree->flatItems();
    for (const CBTreeNode::Pointer& node : nodes) {
      node->invalidateCaches();
      node->invalidateFlatItemCache();
    }
  }
  rebuildTree();
}

CBTreeNode::List ZPHSourceListTreeBuilder::treeNodesForIdentity(const void* identity) const
{
  return m_tree ? m_tree->treeNodesForRepresentedObject(identity) : CBTreeNode::List();
}

CBTreeNode::List ZPHSourceListTreeBuilder::treeNodesForRepresentedObject(CBNode* node) const
{
  return treeNodesForIdentity(node);
}

CBTreeNode::List ZPHSourceListTreeBuilder::treeNodesForRepresentedObject(CBTreeNodeRepresentedObject* object) const
{
  return treeNodesForIdentity(object);
}

CBTreeNode::Pointer ZPHSourceListTreeBuilder::treeNodeForAccount(CBAccount* account) const
{
  return firstOf(treeNodesForIdentity(dynamic_cast<CBTreeNodeRepresentedObject*>(account)));
}

CBTreeNode::Pointer ZPHSourceListTreeBuilder::treeNodeForFolderName(const QString& name, CBAccount* account) const
{
  const CBTreeNode::Pointer accountNode = treeNodeForAccount(account);
  if (!accountNode)
    return nullptr;
  for (const CBTreeNode::Pointer& child : accountNode->children()) {
    if (child->isGroup() && !child->isSpecialGroup() && child->title().compare(name, Qt::CaseInsensitive) == 0)
      return child;
  }
  return nullptr;
}

QList<ZPHSourceListTreeBuilder::RepresentedObject> ZPHSourceListTreeBuilder::feedsForTreeNode(const CBTreeNode* node)
{
  QList<RepresentedObject> objects;
  if (node == nullptr)
    return objects;
  const auto add = [&objects](const CBTreeNode* leaf) {
    if (leaf->hasRepresentedObject())
      objects.append({leaf->representedNode(), leaf->representedObject()});
  };
  if (!node->isGroup()) {
    add(node);
    return objects;
  }
  // flatItems() fills a cache; the node itself does not change.
  for (const CBTreeNode::Pointer& item : const_cast<CBTreeNode*>(node)->flatItems()) {
    if (!item->isGroup())
      add(item.get());
  }
  return objects;
}

CBTreeNode::Pointer ZPHSourceListTreeBuilder::favoriteCounterPartToTreeNode(const CBTreeNode* node) const
{
  if (node == nullptr || !node->representsFeed() || m_dataController == nullptr)
    return nullptr;
  CBNode* feed = node->representedNode();
  const CBTreeNode* parent = node->parent();
  const bool underFavorites =
      parent != nullptr && dynamic_cast<ZPHGlobalFavoritesGroup*>(parent->representedObject()) != nullptr;
  CBTreeNode::Pointer searched;
  if (underFavorites) {
    if (CBDataAccount* local = m_dataController->localAccount())
      searched = local->accountTreeNode();
  } else if (CBGlobalAccount* global = m_dataController->globalAccount()) {
    searched = global->accountTreeNode();
  }
  return searched ? firstOf(searched->treeNodesForRepresentedObject(feed)) : nullptr;
}

CBTreeNode::Pointer ZPHSourceListTreeBuilder::firstTreeNodeWithCountForDisplay() const
{
  if (!m_tree)
    return nullptr;
  for (const CBTreeNode::Pointer& node : m_tree->flatItemsRespectingExpansionState()) {
    if (node->countForDisplay() != 0)
      return node;
  }
  return nullptr;
}

CBTreeNode::Pointer ZPHSourceListTreeBuilder::treeNodeWithCountForDisplayAfter(const CBTreeNode* node) const
{
  if (!m_tree || node == nullptr)
    return nullptr;
  const CBTreeNode::List& rows = m_tree->flatItemsRespectingExpansionState();
  qsizetype index = -1;
  for (qsizetype i = 0; i < rows.size(); ++i) {
    if (rows[i].get() == node) {
      index = i;
      break;
    }
  }
  if (index < 0)
    return nullptr;
  for (qsizetype i = index + 1; i < rows.size(); ++i) {
    const CBTreeNode::Pointer& row = rows[i];
    if (row->countForDisplay() != 0 && !row->isSpecialGroup() && (!row->isGroup() || !row->expanded()))
      return row;
  }
  return nullptr;
}
