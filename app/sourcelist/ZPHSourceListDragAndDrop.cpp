#include "sourcelist/ZPHSourceListDragAndDrop.h"

#include "common/ZPHAppServices.h"
#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "sourcelist/ZPHSourceListDropRules.h"
#include "sourcelist/ZPHSourceListModel.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "subscribe/ZPHSubscribeRequest.h"

#include <QtCore/QMimeData>
#include <QtCore/QPointer>

#include <optional>

ZPHSourceListDragAndDrop::ZPHSourceListDragAndDrop(ZPHSourceListViewController* sourceList)
    : QObject(sourceList), m_sourceList(sourceList)
{
}

ZPHSourceListDragAndDrop::~ZPHSourceListDragAndDrop() = default;

QMimeData* ZPHSourceListDragAndDrop::dragDataForNodes(const QList<CBTreeNode*>& nodes)
{
  m_draggedItems.clear();
  for (CBTreeNode* node : nodes) {
    if (!node->allowsDragging() || node->isSpecialGroup() || ZPHSourceListModel::isFavoritesChild(node) ||
        node->representedNode() == nullptr)
      return nullptr;
  }
  for (CBTreeNode* node : nodes) m_draggedItems.append(node->shared_from_this());
  auto* data = new QMimeData();
  data->setData(ZPHSourceListDropRules::LocalDragType, QByteArray::number(quintptr(this)));
  // Other programs get one feed's address as text.
  if (nodes.size() == 1)
    if (CBFeed* feed = ZPHSourceListModel::feedForNode(nodes.first()))
      data->setText(feed->URL().toString(QUrl::FullyEncoded));
  return data;
}

Qt::DropAction ZPHSourceListDragAndDrop::validateLocalDrop(CBTreeNode* target) const
{
  if (target == nullptr || m_draggedItems.isEmpty())
    return Qt::IgnoreAction;
  const bool favorites = ZPHSourceListModel::isGlobalFavoritesGroup(target);
  if (!favorites && (!target->isGroup() || ZPHSourceListModel::isGlobalSpecialGroup(target)))
    return Qt::IgnoreAction;
  for (const CBTreeNode::Pointer& node : m_draggedItems) {
    // Nothing into itself or below itself.
    if (target->isDescendedFrom(node.get()))
      return Qt::IgnoreAction;
    if (favorites && node->representsFolder())
      return Qt::IgnoreAction;
  }
  // Favourites stay with the local account's own tree otherwise.
  CBTreeNode* account = m_sourceList->sourceListTreeBuilder() != nullptr
                            ? m_sourceList->sourceListTreeBuilder()->localAccountNode().get()
                            : nullptr;
  if (!favorites && (account == nullptr || !target->isDescendedFrom(account)))
    return Qt::IgnoreAction;
  return favorites ? Qt::LinkAction : Qt::MoveAction;
}

ZPHSourceListDragAndDrop::ResolvedDrop ZPHSourceListDragAndDrop::resolveDrop(const QMimeData* data, CBTreeNode* parent,
                                                                             int row) const
{
  using Rules = ZPHSourceListDropRules;
  if (m_waitingForDropToProcess || data == nullptr)
    return {};
  Rules::DropProposal proposal;
  proposal.local =
      data->hasFormat(Rules::LocalDragType) && data->data(Rules::LocalDragType) == QByteArray::number(quintptr(this));
  if (!proposal.local && data->hasFormat(Rules::LocalDragType))
    return {};  // another window's rows
  std::optional<Rules::DropInfo> info;
  Rules::ExternalDrop external = Rules::ExternalDrop::Refuse;
  if (!proposal.local) {
    info = Rules::infoFromMimeData(data);
    if (!info.has_value())
      return {};
    external = Rules::externalDropForAddress(info->address);
    proposal.fileAddress =
        QUrl(info->address.trimmed()).scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0;
    proposal.subscriptionListFile = external == Rules::ExternalDrop::ImportFile;
    if (!proposal.fileAddress && external != Rules::ExternalDrop::Subscribe)
      return {};
  }
  proposal.childIndex = row;
  if (parent == nullptr) {
    proposal.item = Rules::ProposedItem::EmptyArea;
  } else if (ZPHSourceListModel::isGlobalSpecialGroup(parent) ||
             (!parent->isGroup() && ZPHSourceListModel::isGlobalSpecialGroup(parent->parent()))) {
    // The smart feeds' group, or a smart feed's row in it.
    proposal.item = Rules::ProposedItem::SmartFeeds;
  } else if (parent->isGroup() || ZPHSourceListModel::isGlobalFavoritesGroup(parent)) {
    proposal.item = Rules::ProposedItem::Group;
  } else if (ZPHSourceListModel::isFavoritesChild(parent)) {
    proposal.item = Rules::ProposedItem::Favorite;
  } else {
    proposal.item = Rules::ProposedItem::Row;
    proposal.rowHasParent = parent->parent() != nullptr;
    proposal.rowParentHasParent = proposal.rowHasParent && parent->parent()->parent() != nullptr;
    proposal.rowIndexInParent = proposal.rowHasParent ? int(parent->parent()->indexOfChild(parent)) : -1;
  }

  const Rules::DropTarget target = Rules::retargetProposal(proposal);
  CBTreeNode::Pointer account = m_sourceList->sourceListTreeBuilder() != nullptr
                                    ? m_sourceList->sourceListTreeBuilder()->localAccountNode()
                                    : nullptr;
  CBTreeNode::Pointer node;
  switch (target.node) {
    case Rules::DropTargetNode::None:
      return {};
    case Rules::DropTargetNode::Account:
      node = account;
      break;
    case Rules::DropTargetNode::Item:
      node = parent->shared_from_this();
      break;
    case Rules::DropTargetNode::ItemParent:
      node = parent->parent() != nullptr ? parent->parent()->shared_from_this() : nullptr;
      break;
  }
  if (node == nullptr)
    return {};

  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const bool manual = defaults.integerForKey(ZPHSubscriptionsSortOrderKey) == 1;
  const bool sortInGroupsOnly = defaults.boolForKey(ZPHSortInGroupsOnly);
  switch (target.check) {
    case Rules::DropCheck::Refuse:
      return {};
    case Rules::DropCheck::ImportFile:
      return {node, -1, Qt::CopyAction};
    case Rules::DropCheck::External:
      return {node,
              Rules::externalDropIndex(target.proposedChildIndex, manual, node->isSpecialGroup(), sortInGroupsOnly),
              Qt::LinkAction};
    case Rules::DropCheck::Local:
      break;
  }
  const Qt::DropAction action = validateLocalDrop(node.get());
  if (action == Qt::IgnoreAction)
    return {};
  Rules::LocalDropFacts facts;
  facts.targetIsFavorites = ZPHSourceListModel::isGlobalFavoritesGroup(node.get());
  facts.manualOrder = manual;
  facts.targetIsSpecialGroup = node->isSpecialGroup();
  facts.sortInGroupsOnly = sortInGroupsOnly;
  facts.hidingFeedsWithoutUnread = m_sourceList->hideFeedsWithNoUnread();
  const CBTreeNode::Pointer& first = m_draggedItems.first();
  CBTreeNode::Pointer favoriteNode;
  if (m_draggedItems.size() == 1) {
    facts.oneDraggedIsChildOfTarget = first->parent() == node.get();
    CBFeed* feed = ZPHSourceListModel::feedForNode(first.get());
    if (facts.targetIsFavorites && feed != nullptr)
      for (const CBTreeNode::Pointer& child : node->children())
        if (ZPHSourceListModel::feedForNode(child.get()) == feed)
          favoriteNode = child;
    facts.oneDraggedIsFavorite = favoriteNode != nullptr;
  }
  if (!facts.targetIsFavorites && !facts.manualOrder)
    facts.sortedIndex = int(node->orderedIndexForPotentialChild(first));
  const Rules::LocalDrop local = Rules::retargetLocalDrop(facts, target.childIndex, target.proposedChildIndex);
  switch (local.node) {
    case Rules::LocalDropNode::Target:
      return {node, local.childIndex, action};
    case Rules::LocalDropNode::FavoriteOfDragged:
      return {favoriteNode, -1, action};
    case Rules::LocalDropNode::Dragged:
      return {first, -1, action};
  }
  return {};
}

Qt::DropAction ZPHSourceListDragAndDrop::validateDrop(const QMimeData* data, CBTreeNode* parent, int row)
{
  m_lastResolvedDrop = resolveDrop(data, parent, row);
  return m_lastResolvedDrop.action;
}

bool ZPHSourceListDragAndDrop::acceptDrop(const QMimeData* data, CBTreeNode* parent, int row)
{
  const ResolvedDrop drop = resolveDrop(data, parent, row);
  m_lastResolvedDrop = {};
  if (drop.action == Qt::IgnoreAction)
    return false;
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (data->hasFormat(ZPHSourceListDropRules::LocalDragType)) {
    CBTreeNode* target = drop.node.get();
    const int index = drop.childIndex;
    const CBTreeNode::List dragged = m_draggedItems;
    m_draggedItems.clear();
    if (dragged.size() == 1 && dragged.first().get() == target)
      return true;
    if (delegate == nullptr)
      return false;
    m_waitingForDropToProcess = true;
    const CBTreeNode::Pointer targetNode = target->shared_from_this();
    QPointer<ZPHSourceListDragAndDrop> self(this);
    delegate->addMainThreadCoreDataQueueBlock([self, dragged, targetNode, index] {
      if (self == nullptr)
        return;
      self->processLocalDrop(dragged, targetNode, index);
      self->m_waitingForDropToProcess = false;
    });
    return true;
  }

  const std::optional<ZPHSourceListDropRules::DropInfo> info = ZPHSourceListDropRules::infoFromMimeData(data);
  QUrl url;
  const ZPHSourceListDropRules::ExternalDrop external =
      ZPHSourceListDropRules::externalDropForAddress(info->address, &url);
  if (external == ZPHSourceListDropRules::ExternalDrop::ImportFile) {
    ZPHAppServices::current().applicationOpenFiles({url.toLocalFile()});
    return true;
  }
  if (external != ZPHSourceListDropRules::ExternalDrop::Subscribe || delegate == nullptr)
    return false;
  CBTreeNode* target = drop.node.get();
  const int index = drop.childIndex;
  auto request = std::make_shared<ZPHSubscribeRequest>(url);
  request->setTitle(info->name);
  CBDataController* data_ = delegate->dataController();
  request->setAccount(data_ != nullptr ? data_->localAccount() : nullptr);
  if (ZPHSourceListModel::isGlobalFavoritesGroup(target)) {
    request->setMarkAsFavorite(true);
  } else if (target != nullptr && target->representsFolder()) {
    request->setParentFolder(static_cast<CBFolder*>(target->representedNode()));
  }
  if (index >= 0 && !ZPHSourceListModel::isGlobalFavoritesGroup(target))
    request->setTargetIndexInParentFolder(index);
  const QList<CBFeed*> added = delegate->addFeedsWithSubscribeRequestReturningNewlyAddedFeeds(request);
  ZPHNotificationCenter::defaultCenter().post(ZPHFeedsAndFoldersDidReorganizeNotification,
                                              QVariant::fromValue(static_cast<QObject*>(m_sourceList)));
  Q_UNUSED(added);
  return true;
}

void ZPHSourceListDragAndDrop::processLocalDrop(const CBTreeNode::List& dragged, const CBTreeNode::Pointer& target,
                                                int index)
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr)
    return;
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const bool manual = defaults.integerForKey(ZPHSubscriptionsSortOrderKey) == 1;
  if (ZPHSourceListModel::isGlobalFavoritesGroup(target.get())) {
    QList<CBFeed*> feeds;
    for (const CBTreeNode::Pointer& node : dragged)
      if (CBFeed* feed = ZPHSourceListModel::feedForNode(node.get()))
        feeds.append(feed);
    if (feeds.isEmpty())
      return;
    CBFeed::markFeeds(feeds, true);
    // Once stored, the first of them is shown under Favorites.
    QPointer<ZPHSourceListViewController> self(m_sourceList);
    const ZPHManagedObjectID first = feeds.first()->objectID();
    delegate->addMainThreadCoreDataQueueBlock([self, first] {
      ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
      ZPHManagedObjectContext* main = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
      auto* feed = main != nullptr ? dynamic_cast<CBFeed*>(main->existingObjectWithID(first)) : nullptr;
      if (self != nullptr && feed != nullptr && !feed->isDeleted())
        self->selectFavoriteFeedAndExpandFavoritesIfNeeded(feed);
    });
    return;
  }
  // Outside the account's own tree only Favorites takes a drop.
  CBTreeNode* account = m_sourceList->sourceListTreeBuilder() != nullptr
                            ? m_sourceList->sourceListTreeBuilder()->localAccountNode().get()
                            : nullptr;
  if (account == nullptr || !target->isDescendedFrom(account))
    return;
  int dropIndex = index;
  for (const CBTreeNode::Pointer& node : dragged) {
    if (node->representedNode() == nullptr || node->parent() == nullptr)
      continue;
    // Children travel with a dragged folder.
    bool parentDragged = false;
    for (const CBTreeNode::Pointer& other : dragged) parentDragged |= other.get() == node->parent();
    if (parentDragged)
      continue;
    CBTreeNode* oldParent = node->parent();
    if (manual && dropIndex >= 0) {
      const int current = oldParent == target.get() ? int(target->indexOfChild(node.get())) : -1;
      dropIndex = ZPHSourceListDropRules::landingIndex(current, dropIndex);
      target->moveChild(node, dropIndex);
      ++dropIndex;
    } else {
      target->moveChild(node);
    }
    if (oldParent != target.get())
      oldParent->sweepChildIndices(true);
    target->sweepChildIndices(true);
  }
  delegate->saveManagedObjectContext(delegate->mainThreadManagedObjectContext());
  if (CBDataController* data = delegate->dataController()) {
    data->updateAllUnreadCountsOnMainThread();
    data->updateTodayCount();
  }
  ZPHNotificationCenter::defaultCenter().post(ZPHFeedsAndFoldersDidReorganizeNotification, QVariant());
  if (m_sourceList->sourceListTreeBuilder() != nullptr)
    m_sourceList->sourceListTreeBuilder()->invalidateAllCaches();
  m_sourceList->reloadDataPreservingSelectionAndNotify();
  ZPHNotificationCenter::defaultCenter().post(ZPHFeedsAndFoldersDidReorganizeNotification,
                                              QVariant::fromValue(static_cast<QObject*>(m_sourceList)));
}
