#include "sourcelist/ZPHSourceListModel.h"

#include "sourcelist/ZPHSourceListDropRules.h"

#include <QtCore/QMimeData>

#include "common/FRNHCGUtils.h"
#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "kit/ZPHNamedImage.h"
#include "kit/ZPHPlainTextToolTip.h"
#include "platform/ZPHMainThread.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalAccount.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/tree/CBTree.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDate>
#include <QtCore/QHash>
#include <QtCore/QPointer>

#include <utility>

QImage ZPHSourceListModel::templateImageNamed(const QString& name)
{
  static QHash<QString, QImage> cache;
  auto found = cache.constFind(name);
  if (found != cache.constEnd())
    return *found;
  const QImage image = ZPHNamedImage(name);
  QImage mask;
  if (!image.isNull()) {
    mask = image.convertToFormat(QImage::Format_Alpha8);
    mask.setDevicePixelRatio(image.devicePixelRatio());
  }
  cache.insert(name, mask);
  return mask;
}

ZPHSourceListModel::ZPHSourceListModel(QObject* parent) : QAbstractItemModel(parent) {}

ZPHSourceListModel::~ZPHSourceListModel() { stopObservingStoredNodes(); }

// MARK: - Kinds and tests

ZPHSourceListModel::Kind ZPHSourceListModel::kindOfNode(const CBTreeNode* node)
{
  if (node == nullptr)
    return Kind::None;
  if (CBNode* stored = node->representedNode())
    return stored->isFolder() ? Kind::Folder : Kind::Feed;
  CBTreeNodeRepresentedObject* object = node->representedObject();
  if (object == nullptr)
    return Kind::None;
  if (node->isSpecialGroup())
    return Kind::Header;
  if (dynamic_cast<CBGlobalFeed*>(object) != nullptr)
    return Kind::SmartFeed;
  if (dynamic_cast<ZPHGlobalFavoritesGroup*>(object) != nullptr)
    return Kind::FavoritesGroup;
  return Kind::None;
}

CBFeed* ZPHSourceListModel::feedForNode(const CBTreeNode* node)
{
  if (node == nullptr || !node->representsFeed())
    return nullptr;
  return static_cast<CBFeed*>(node->representedNode());
}

bool ZPHSourceListModel::isFavoritesChild(const CBTreeNode* node)
{
  return node != nullptr && node->representsFeed() && isGlobalFavoritesGroup(node->parent());
}

bool ZPHSourceListModel::isGlobalSpecialGroup(const CBTreeNode* node)
{
  return node != nullptr && node->isSpecialGroup() &&
         dynamic_cast<CBGlobalAccount*>(node->representedObject()) != nullptr;
}

bool ZPHSourceListModel::isFavoritesSpecialGroup(const CBTreeNode* node)
{
  return node != nullptr && node->isSpecialGroup() && isGlobalFavoritesGroup(node);
}

bool ZPHSourceListModel::isGlobalFavoritesGroup(const CBTreeNode* node)
{
  return node != nullptr && dynamic_cast<ZPHGlobalFavoritesGroup*>(node->representedObject()) != nullptr;
}

bool ZPHSourceListModel::isDataAccountSpecialGroup(const CBTreeNode* node)
{
  return node != nullptr && node->isSpecialGroup() &&
         dynamic_cast<CBDataAccount*>(node->representedObject()) != nullptr;
}

bool ZPHSourceListModel::shouldShowError(const ZPHError& error, bool hasInternetConnectivity)
{
  if (error.isNull())
    return false;
  if (error.domain() != ZPHRefreshFeedOperationErrorDomain)
    return true;
  switch (error.code()) {
    case ZPHRefreshFeedOperationErrorNotConnected:
      return false;
    case ZPHRefreshFeedOperationErrorCannotConnect:
    case ZPHRefreshFeedOperationErrorNotResponding:
      return hasInternetConnectivity;
    default:
      return true;
  }
}

// MARK: - The filter

bool ZPHSourceListModel::isForcedIn(const CBTreeNode* node) const
{
  for (const CBTreeNode::Pointer& forced : m_forceIncludedTreeNodes) {
    if (CBTreeNodeIsEqual(forced.get(), node))
      return true;
  }
  return false;
}

bool ZPHSourceListModel::shouldIncludeTreeNode(const CBTreeNode* node) const
{
  Q_ASSERT_X(node != nullptr, Q_FUNC_INFO, "Invalid parameter not satisfying: node");
  if (node == nullptr)
    return false;
  if (!m_hideFeedsWithNoUnread)
    return true;
  const Kind kind = kindOfNode(node);
  if (kind != Kind::Feed && kind != Kind::Folder)
    return true;
  return node->countForDisplay() != 0 || isForcedIn(node);
}

// MARK: - The snapshot

void ZPHSourceListModel::addEntry(const CBTreeNode::Pointer& node, CBTreeNode* parent, int row)
{
  Entry entry;
  entry.node = node;
  entry.parent = parent;
  entry.row = row;
  CBTreeNode::List children;
  if (node.get() == m_tree.get())
    children = node->children();
  else if (node->isGroup())
    children = node->orderedChildren();
  QList<CBTreeNode::Pointer> shown;
  shown.reserve(children.size());
  for (const CBTreeNode::Pointer& child : std::as_const(children)) {
    if (child != nullptr && shouldIncludeTreeNode(child.get()))
      shown.append(child);
  }
  entry.children.reserve(shown.size());
  for (const CBTreeNode::Pointer& child : std::as_const(shown)) entry.children.append(child.get());
  const bool hasChildren = !entry.children.isEmpty();
  m_entries.emplace(node.get(), std::move(entry));
  if (hasChildren)
    m_parentsWithChildren.append(node.get());
  for (int index = 0; index < shown.size(); ++index) addEntry(shown.at(index), node.get(), index);
}

void ZPHSourceListModel::reload()
{
  ZPH_ASSERT_MAIN_THREAD();
  beginResetModel();
  m_entries.clear();
  m_parentsWithChildren.clear();
  if (m_tree != nullptr) {
    m_entries.reserve(1024);
    addEntry(m_tree, nullptr, 0);
  }
  observeStoredNodes();
  endResetModel();
}

void ZPHSourceListModel::observeStoredNodes()
{
  QHash<CBNode*, QList<const CBTreeNode*>> shown;
  for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
    if (CBNode* stored = it.key()->representedNode())
      shown[stored].append(it.key());
  }
  // Objects no longer shown are let go; new ones are observed.
  for (auto it = m_storedNodeObservers.begin(); it != m_storedNodeObservers.end();) {
    if (shown.contains(it.key())) {
      ++it;
      continue;
    }
    it.key()->removeChangeObserver(it.value());
    m_changedStoredNodes.remove(it.key());
    it = m_storedNodeObservers.erase(it);
  }
  const QPointer<ZPHSourceListModel> self(this);
  for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
    if (m_storedNodeObservers.contains(it.key()))
      continue;
    const int token = it.key()->addChangeObserver([self](ZPHManagedObject* object, const QString&) {
      if (self != nullptr)
        self->storedNodeDidChange(static_cast<CBNode*>(object));
    });
    m_storedNodeObservers.insert(it.key(), token);
  }
  m_treeNodesByStoredNode = std::move(shown);
}

void ZPHSourceListModel::stopObservingStoredNodes()
{
  for (auto it = m_storedNodeObservers.cbegin(); it != m_storedNodeObservers.cend(); ++it)
    it.key()->removeChangeObserver(it.value());
  m_storedNodeObservers.clear();
  m_treeNodesByStoredNode.clear();
  m_changedStoredNodes.clear();
}

void ZPHSourceListModel::storedNodeDidChange(CBNode* node)
{
  m_changedStoredNodes.insert(node);
  if (m_redrawScheduled)
    return;
  m_redrawScheduled = true;
  QMetaObject::invokeMethod(this, &ZPHSourceListModel::redrawChangedStoredNodes, Qt::QueuedConnection);
}

void ZPHSourceListModel::redrawChangedStoredNodes()
{
  m_redrawScheduled = false;
  const QSet<CBNode*> changed = std::exchange(m_changedStoredNodes, {});
  // Many rows at once are drawn again together.
  if (changed.size() > 16) {
    refreshAllRows();
    return;
  }
  for (CBNode* node : changed) {
    for (const CBTreeNode* treeNode : m_treeNodesByStoredNode.value(node)) refreshRowsForNode(treeNode);
  }
}

bool ZPHSourceListModel::anyChildIsIncluded(CBTreeNode* node) const
{
  const auto found = m_entries.constFind(node);
  return found != m_entries.constEnd() && !found->children.isEmpty();
}

QList<CBTreeNode*> ZPHSourceListModel::shownChildren(const CBTreeNode* node) const
{
  const auto found = m_entries.constFind(node == nullptr ? m_tree.get() : node);
  return found == m_entries.constEnd() ? QList<CBTreeNode*>() : found->children;
}

CBTreeNode* ZPHSourceListModel::nodeForIndex(const QModelIndex& index) const
{
  if (!index.isValid() || index.model() != this)
    return nullptr;
  return static_cast<CBTreeNode*>(index.internalPointer());
}

QModelIndex ZPHSourceListModel::indexForNode(const CBTreeNode* node) const
{
  if (node == nullptr || node == m_tree.get())
    return QModelIndex();
  const auto found = m_entries.constFind(node);
  if (found == m_entries.constEnd())
    return QModelIndex();
  return createIndex(found->row, 0, const_cast<CBTreeNode*>(node));
}

// MARK: - Redrawing

void ZPHSourceListModel::emitDataChangedForChildren(const CBTreeNode* parent)
{
  const auto found = m_entries.constFind(parent);
  if (found == m_entries.constEnd() || found->children.isEmpty())
    return;
  const QModelIndex parentIndex = indexForNode(parent);
  Q_EMIT dataChanged(index(0, 0, parentIndex), index(int(found->children.size()) - 1, 0, parentIndex));
}

void ZPHSourceListModel::refreshAllRows()
{
  ZPH_ASSERT_MAIN_THREAD();
  for (const CBTreeNode* parent : std::as_const(m_parentsWithChildren)) emitDataChangedForChildren(parent);
}

void ZPHSourceListModel::refreshRowsForNode(const CBTreeNode* node)
{
  ZPH_ASSERT_MAIN_THREAD();
  const QModelIndex index = indexForNode(node);
  if (index.isValid())
    Q_EMIT dataChanged(index, index);
}

void ZPHSourceListModel::setHasInternetConnectivity(bool connected)
{
  if (connected == m_hasInternetConnectivity)
    return;
  m_hasInternetConnectivity = connected;
  refreshAllRows();
}

// MARK: - Titles

QString ZPHSourceListModel::titleForNode(const CBTreeNode* node) const
{
  if (node == nullptr)
    return QString();
  const QString name = node->title();
  switch (kindOfNode(node)) {
    case Kind::Header:
      if (m_hideFeedsWithNoUnread && isDataAccountSpecialGroup(node)) {
        if (anyChildIsIncluded(const_cast<CBTreeNode*>(node)) || node->numberOfChildren() == 0)
          return tr("Unread Sites").toUpper();
        return tr("(No Unread Sites)").toUpper();
      }
      return name.toUpper();
    case Kind::Feed:
      return name.isNull() ? tr("Unnamed Site") : name;
    default:
      return name;
  }
}

// MARK: - QAbstractItemModel

QModelIndex ZPHSourceListModel::index(int row, int column, const QModelIndex& parent) const
{
  if (column != 0 || row < 0)
    return QModelIndex();
  const CBTreeNode* parentNode = parent.isValid() ? nodeForIndex(parent) : m_tree.get();
  const auto found = m_entries.constFind(parentNode);
  if (found == m_entries.constEnd() || row >= found->children.size())
    return QModelIndex();
  return createIndex(row, 0, found->children.at(row));
}

QModelIndex ZPHSourceListModel::parent(const QModelIndex& child) const
{
  const CBTreeNode* node = nodeForIndex(child);
  if (node == nullptr)
    return QModelIndex();
  const auto found = m_entries.constFind(node);
  if (found == m_entries.constEnd() || found->parent == nullptr || found->parent == m_tree.get())
    return QModelIndex();
  return indexForNode(found->parent);
}

int ZPHSourceListModel::rowCount(const QModelIndex& parent) const
{
  if (parent.isValid() && parent.column() != 0)
    return 0;
  const CBTreeNode* node = parent.isValid() ? nodeForIndex(parent) : m_tree.get();
  const auto found = m_entries.constFind(node);
  return found == m_entries.constEnd() ? 0 : int(found->children.size());
}

int ZPHSourceListModel::columnCount(const QModelIndex& parent) const
{
  Q_UNUSED(parent);
  return 1;
}

bool ZPHSourceListModel::hasChildren(const QModelIndex& parent) const
{
  if (!parent.isValid())
    return rowCount(parent) > 0;
  const CBTreeNode* node = nodeForIndex(parent);
  if (node == nullptr || !node->isGroup())
    return false;
  // The Favorites group opens only while it has feeds; a folder always.
  if (isGlobalFavoritesGroup(node))
    return rowCount(parent) > 0;
  return true;
}

Qt::ItemFlags ZPHSourceListModel::flags(const QModelIndex& index) const
{
  const CBTreeNode* node = nodeForIndex(index);
  if (node == nullptr)
    return Qt::NoItemFlags;
  if (node->isSpecialGroup())
    return Qt::ItemIsEnabled;
  const Kind kind = kindOfNode(node);
  if (kind == Kind::Feed || kind == Kind::Folder) {
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDropEnabled;
    // Favourites' rows stay where they are.
    if (node->allowsDragging() && !isFavoritesChild(node))
      flags |= Qt::ItemIsDragEnabled;
    return flags;
  }
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
}

QStringList ZPHSourceListModel::mimeTypes() const
{
  return {ZPHSourceListDropRules::LocalDragType, QStringLiteral("text/x-moz-url"), QStringLiteral("text/uri-list"),
          QStringLiteral("text/plain")};
}

QMimeData* ZPHSourceListModel::mimeData(const QModelIndexList& indexes) const
{
  QList<CBTreeNode*> nodes;
  for (const QModelIndex& index : indexes) {
    CBTreeNode* node = nodeForIndex(index);
    if (node == nullptr || !flags(index).testFlag(Qt::ItemIsDragEnabled))
      return nullptr;
    if (!nodes.contains(node))
      nodes.append(node);
  }
  return m_dropHandler.dragData && !nodes.isEmpty() ? m_dropHandler.dragData(nodes) : nullptr;
}

Qt::DropActions ZPHSourceListModel::supportedDropActions() const
{
  return Qt::MoveAction | Qt::CopyAction | Qt::LinkAction;
}

Qt::DropActions ZPHSourceListModel::supportedDragActions() const { return Qt::MoveAction | Qt::LinkAction; }

bool ZPHSourceListModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                         const QModelIndex& parent) const
{
  Q_UNUSED(action);
  Q_UNUSED(column);
  return m_dropHandler.validateDrop &&
         m_dropHandler.validateDrop(data, parent.isValid() ? nodeForIndex(parent) : nullptr, row) != Qt::IgnoreAction;
}

bool ZPHSourceListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                      const QModelIndex& parent)
{
  Q_UNUSED(action);
  Q_UNUSED(column);
  return m_dropHandler.acceptDrop &&
         m_dropHandler.acceptDrop(data, parent.isValid() ? nodeForIndex(parent) : nullptr, row);
}

bool ZPHSourceListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
  CBTreeNode* node = const_cast<CBTreeNode*>(nodeForIndex(index));
  if (role != Qt::EditRole || node == nullptr || !flags(index).testFlag(Qt::ItemIsEditable))
    return false;
  const QString name = value.toString().trimmed();
  if (name.isEmpty() || !m_renameHandler)
    return false;
  m_renameHandler(node, name);
  return true;
}

QVariant ZPHSourceListModel::data(const QModelIndex& index, int role) const
{
  const CBTreeNode* node = nodeForIndex(index);
  if (node == nullptr)
    return QVariant();
  const Kind kind = kindOfNode(node);
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
      return titleForNode(node);
    case Qt::ToolTipRole:
      // Names come from feeds: shown as they are, never as markup.
      if (kind == Kind::Feed || kind == Kind::Folder)
        return ZPHPlainTextToolTip(titleForNode(node));
      return QVariant();
    case NodeRole:
      return QVariant::fromValue(quintptr(node));
    case KindRole:
      return int(kind);
    case UnreadCountRole:
      // The Favorites group shows no count of its own.
      if (kind == Kind::Feed || kind == Kind::Folder || kind == Kind::SmartFeed)
        return qint64(node->countForDisplay());
      return qint64(0);
    case ErrorRole: {
      const CBFeed* feed = feedForNode(node);
      if (feed == nullptr)
        return QVariant::fromValue(ZPHError());
      const ZPHError error = feed->lastFeedRefreshError();
      return QVariant::fromValue(shouldShowError(error, m_hasInternetConnectivity) ? error : ZPHError());
    }
    case SuspendedRole: {
      const CBFeed* feed = feedForNode(node);
      return feed != nullptr && feed->suspended();
    }
    case HeaderButtonTitleRole:
      if (kind == Kind::Header && m_hideFeedsWithNoUnread && isDataAccountSpecialGroup(node) &&
          !anyChildIsIncluded(const_cast<CBTreeNode*>(node)) && node->numberOfChildren() != 0)
        return tr("Show Read");
      return QString();
    case ImageTextRole: {
      const auto* smartFeed = dynamic_cast<const CBGlobalFeed*>(node->representedObject());
      if (smartFeed != nullptr && smartFeed->globalFeedType() == CBGlobalFeedTypeToday)
        return QString::number(QDate::currentDate().day());
      return QString();
    }
    case ImageRole:
    case SelectedImageRole: {
      const bool selected = role == SelectedImageRole;
      switch (kind) {
        case Kind::Feed: {
          const CBFeed* feed = feedForNode(node);
          const QUrl homePage = feed->homePageURL();
          const QUrl favicon = feed->faviconURL();
          if (homePage.isEmpty() && favicon.isEmpty())
            return FRNHCGUtils::defaultFaviconImageWithTemplating(!selected);
          return selected ? FRNHCGUtils::imageForFeedWithHomePageURL(homePage, favicon, true)
                          : FRNHCGUtils::templatedImageForFeed(homePage, favicon, true);
        }
        case Kind::Folder:
          return templateImageNamed(selected ? QStringLiteral("FolderSelectedTemplate")
                                             : QStringLiteral("FolderTemplate"));
        case Kind::FavoritesGroup:
          return templateImageNamed(selected ? QStringLiteral("FavoritesSelectedTemplate")
                                             : QStringLiteral("FavoritesTemplate"));
        case Kind::SmartFeed: {
          const auto* smartFeed = static_cast<const CBGlobalFeed*>(node->representedObject());
          switch (smartFeed->globalFeedType()) {
            case CBGlobalFeedTypeToday:
              return templateImageNamed(selected ? QStringLiteral("TodayEmptySelectedTemplate")
                                                 : QStringLiteral("TodayEmptyTemplate"));
            case CBGlobalFeedTypeFlagged:
              return templateImageNamed(selected ? QStringLiteral("FlaggedSelectedTemplate")
                                                 : QStringLiteral("FlaggedTemplate"));
            default:
              return templateImageNamed(selected ? QStringLiteral("UnreadSelectedTemplate")
                                                 : QStringLiteral("UnreadTemplate"));
          }
        }
        default:
          return QImage();
      }
    }
    default:
      return QVariant();
  }
}
