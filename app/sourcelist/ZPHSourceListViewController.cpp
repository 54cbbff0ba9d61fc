#include "sourcelist/ZPHSourceListViewController.h"

#include "common/FRNHCGUtils.h"
#include "common/ZPHApplicationNotifications.h"
#include "feeds/images/CBFaviconController.h"
#include "feeds/network/ZPHNetworkController.h"
#include "foundation/CBCalendarDate.h"
#include "foundation/CBDateManager.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/CBPopupButton.h"
#include "kit/ZPHErrorSheet.h"
#include "kit/ZPHInterfaceLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHUserDefaults.h"
#include "sourcelist/ZPHSourceListBottomContainerBox.h"
#include "sourcelist/ZPHSourceListCommands.h"
#include "sourcelist/ZPHSourceListDragAndDrop.h"
#include "sourcelist/ZPHSourceListItemDelegate.h"
#include "sourcelist/ZPHSourceListModel.h"
#include "sourcelist/ZPHSourceListSelectionModel.h"
#include "sourcelist/ZPHSourceListView.h"
#include "store/CBDataController.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalAccount.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "subscribe/ZPHFeedErrorRecoveryAttempter.h"
#include "subscribe/ZPHSubscriber.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncManager.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMimeData>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QVBoxLayout>

#include <algorithm>
#include <optional>

const QString ZPHFeedOrFolderDisplayNameChangedNotification =
    QStringLiteral("ZPHFeedOrFolderDisplayNameChangedNotification");
const QString CBSourceListSelectionDidChangeNotification = QStringLiteral("CBSourceListSelectionDidChangeNotification");

namespace {

constexpr int BottomBarHeight = 26;

// A feed's refresh error that carries no recovery attempter of its own gets
// the feed's: the option chosen in the error box goes to it with the feed,
// looked up again in case it went meanwhile.
class ZPHFeedRecoveryAttempter : public ZPHErrorRecoveryAttempter {
public:
  ZPHFeedRecoveryAttempter(ZPHFeedErrorRecoveryAttempter* attempter, const ZPHManagedObjectID& feedID)
      : m_attempter(attempter), m_feedID(feedID)
  {
  }

  bool attemptRecovery(const ZPHError& error, int optionIndex) override
  {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    ZPHManagedObjectContext* context = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
    ZPHManagedObject* object = context != nullptr ? context->existingObjectWithID(m_feedID) : nullptr;
    auto* feed = dynamic_cast<CBFeed*>(object);
    if (feed == nullptr || feed->isDeleted())
      return false;
    m_attempter->attemptRecoveryFromError(error, optionIndex, feed, {});
    return true;
  }

private:
  ZPHFeedErrorRecoveryAttempter* m_attempter;
  ZPHManagedObjectID m_feedID;
};

CBTreeNode::List treeNodesForObject(const ZPHSourceListTreeBuilder* builder, const ZPHRepresentedObject& object)
{
  if (builder == nullptr)
    return {};
  return std::visit([builder](auto* represented) { return builder->treeNodesForRepresentedObject(represented); },
                    object);
}

bool representsNothing(const ZPHRepresentedObject& object)
{
  return std::visit([](auto* represented) { return represented == nullptr; }, object);
}

}  // namespace

ZPHSourceListViewController::ZPHSourceListViewController(ZPHClock* clock, QObject* parent)
    : QObject(parent), m_clock(clock != nullptr ? clock : &ZPHClock::systemClock())
{
  m_now = [] { return QDateTime::currentDateTime(); };
  m_zone = [] { return QTimeZone::systemTimeZone(); };
  m_commands = new ZPHSourceListCommands(this);
  m_dragAndDrop = new ZPHSourceListDragAndDrop(this);
  loadView();
}

ZPHSourceListViewController::~ZPHSourceListViewController()
{
  m_observers.clear();
  if (m_filterReloadTimer != 0)
    m_clock->cancel(m_filterReloadTimer);
  if (m_faviconReloadTimer != 0)
    m_clock->cancel(m_faviconReloadTimer);
  invalidateMidnightTimer();
  // The view goes with the window that took it, else here.
  if (m_view != nullptr && m_view->parent() == nullptr)
    delete m_view.data();
}

// MARK: - Set-up

void ZPHSourceListViewController::loadView()
{
  m_view = new QWidget;
  m_view->setObjectName(QStringLiteral("ZPHSourceListView"));
  m_view->setMinimumWidth(MinimumSidebarWidth);
  m_view->setMaximumWidth(MaximumSidebarWidth);
  auto* layout = new QVBoxLayout(m_view);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  m_outlineView = new ZPHSourceListView(m_view);
  m_model = new ZPHSourceListModel(this);
  m_outlineView->setModel(m_model);
  QItemSelectionModel* plain = m_outlineView->selectionModel();
  m_selectionModel = new ZPHSourceListSelectionModel(m_model, this);
  m_outlineView->setSelectionModel(m_selectionModel);
  delete plain;
  layout->addWidget(m_outlineView, 1);

  auto* bottom = new ZPHSourceListBottomContainerBox(m_view);
  bottom->setFixedHeight(BottomBarHeight);
  auto* bar = new QHBoxLayout(bottom);
  bar->setContentsMargins(4, 2, 1, 0);
  bar->setSpacing(2);
  const auto makeButton = [bottom](const QString& glyph, const QString& name) {
    auto* button = new CBPopupButton(bottom);
    button->setText(glyph);
    button->setAccessibleName(name);
    button->setFlat(true);
    button->setFixedSize(26, 22);
    return button;
  };
  m_addMenuPopUpButton = makeButton(QStringLiteral("+"), tr("Add"));
  m_contextMenuPopUpButton = makeButton(QStringLiteral("\u2699"), tr("Action"));
  m_statusViewContainer = new QWidget(bottom);
  m_statusViewContainer->setObjectName(QStringLiteral("ZPHSourceListStatusViewContainer"));
  auto* statusLayout = new QVBoxLayout(m_statusViewContainer);
  statusLayout->setContentsMargins(0, 0, 0, 0);
  m_addMenuPopUpButton->setObjectName(QStringLiteral("ZPHSourceListAddButton"));
  m_contextMenuPopUpButton->setObjectName(QStringLiteral("ZPHSourceListGearButton"));
  m_addMenuPopUpButton->setPullDownMenuDelegate(m_commands);
  m_contextMenuPopUpButton->setPullDownMenuDelegate(m_commands);
  bar->addWidget(m_addMenuPopUpButton);
  bar->addWidget(m_contextMenuPopUpButton);
  bar->addWidget(m_statusViewContainer, 1);
  layout->addWidget(bottom);

  // Renaming starts only from the command.
  m_outlineView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_model->setRenameHandler([this](CBTreeNode* node, const QString& name) { textFieldEdited(node, name); });
  ZPHSourceListModel::DropHandler drops;
  drops.dragData = [this](const QList<CBTreeNode*>& nodes) { return m_dragAndDrop->dragDataForNodes(nodes); };
  drops.validateDrop = [this](const QMimeData* data, CBTreeNode* parent, int row) {
    return m_dragAndDrop->validateDrop(data, parent, row);
  };
  drops.acceptDrop = [this](const QMimeData* data, CBTreeNode* parent, int row) {
    return m_dragAndDrop->acceptDrop(data, parent, row);
  };
  m_model->setDropHandler(drops);
  m_outlineView->setDragEnabled(true);
  m_outlineView->setAcceptDrops(true);
  m_outlineView->setDropIndicatorShown(true);
  // The list draws where a drop will land after its rules moved it.
  m_outlineView->dropMarkProvider = [this] {
    ZPHSourceListView::DropMark mark;
    const ZPHSourceListDragAndDrop::ResolvedDrop& drop = m_dragAndDrop->lastResolvedDrop();
    if (drop.node == nullptr || drop.action == Qt::IgnoreAction)
      return mark;
    mark.shown = true;
    mark.index = m_model->indexForNode(drop.node.get());
    mark.childIndex = drop.childIndex;
    return mark;
  };
  m_outlineView->setDragDropMode(QAbstractItemView::DragDrop);
  m_outlineView->setDefaultDropAction(Qt::MoveAction);
  m_outlineView->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_outlineView, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
    const QModelIndex index = m_outlineView->indexAt(position);
    if (!index.isValid())
      return;
    int row = 0;
    for (QModelIndex walk = m_model->index(0, 0); walk.isValid() && walk != index;
         walk = m_outlineView->indexBelow(walk))
      ++row;
    QMenu* menu = m_commands->contextualMenuForRow(row, m_outlineView);
    if (menu == nullptr)
      return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (menu->isEmpty()) {
      delete menu;
      return;
    }
    menu->popup(m_outlineView->viewport()->mapToGlobal(position));
  });
  connect(m_selectionModel, &QItemSelectionModel::selectionChanged, this,
          &ZPHSourceListViewController::outlineViewSelectionDidChange);
  connect(m_outlineView, &QTreeView::expanded, this,
          [this](const QModelIndex& index) { itemExpansionChanged(index, true); });
  connect(m_outlineView, &QTreeView::collapsed, this,
          [this](const QModelIndex& index) { itemExpansionChanged(index, false); });
  connect(m_outlineView->itemDelegate(), &ZPHSourceListItemDelegate::errorButtonClicked, this,
          [this](const QModelIndex& index) { sourceListCellViewDidClickErrorButton(index); });
  connect(m_outlineView->itemDelegate(), &ZPHSourceListItemDelegate::headerButtonClicked, this,
          &ZPHSourceListViewController::sourceListGroupCellViewDidClickButton);
  m_outlineView->onlyFavoritesSelected = [this] {
    return !m_selectedOutlineItems.isEmpty() &&
           std::all_of(
               m_selectedOutlineItems.cbegin(), m_selectedOutlineItems.cend(),
               [](const CBTreeNode::Pointer& node) { return ZPHSourceListModel::isFavoritesChild(node.get()); });
  };

  m_midnightTimer = new QTimer(this);
  m_midnightTimer->setSingleShot(true);
  m_midnightTimer->setTimerType(Qt::PreciseTimer);
  connect(m_midnightTimer, &QTimer::timeout, this, &ZPHSourceListViewController::significantTimeChangeOccurred);
  makeMidnightTimer();

  // The favicons follow the scale of the screen the window is on.
  m_outlineView->installEventFilter(this);
}

bool ZPHSourceListViewController::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == m_outlineView && event->type() == QEvent::Show) {
    if (QWindow* window = m_outlineView->window()->windowHandle()) {
      connect(window, &QWindow::screenChanged, this, &ZPHSourceListViewController::updateFaviconScaleFactorIfNeeded,
              Qt::UniqueConnection);
    }
    updateFaviconScaleFactorIfNeeded();
  }
  return QObject::eventFilter(watched, event);
}

void ZPHSourceListViewController::setNetworkController(ZPHNetworkController* controller)
{
  m_networkController = controller;
  m_model->setHasInternetConnectivity(networkIsReachable());
}

bool ZPHSourceListViewController::networkIsReachable() const
{
  return m_networkController == nullptr || m_networkController->hasInternetConnectivity();
}

void ZPHSourceListViewController::setNowFunction(std::function<QDateTime()> now, std::function<QTimeZone()> zone)
{
  m_now = now ? std::move(now) : std::function<QDateTime()>([] { return QDateTime::currentDateTime(); });
  m_zone = zone ? std::move(zone) : std::function<QTimeZone()>([] { return QTimeZone::systemTimeZone(); });
  invalidateMidnightTimer();
  makeMidnightTimer();
}

void ZPHSourceListViewController::completeInitialization()
{
  if (m_initialized)
    return;
  m_initialized = true;
  refreshDataCacheReloadDataAndPreserveCurrentSelection();
  if (CBDataController* data = m_treeBuilder != nullptr ? m_treeBuilder->dataController() : nullptr) {
    ZPHUserDefaults::standardUserDefaults().synchronize();
    data->setSubscriptionsSortOrder(CBPrefsGetInt(ZPHSubscriptionsSortOrderKey));
  }
  registerObservers();
  CBPrefsAddObserver(this, ZPHHideFeedsWithNoUnread,
                     [this](const QString&) { updateHideFeedsWithNoUnreadFromDefaults(); });
  updateHideFeedsWithNoUnreadFromDefaults();

  // The sections are always open; groups open as they were left.
  if (m_treeBuilder != nullptr && m_treeBuilder->tree() != nullptr) {
    for (const CBTreeNode::Pointer& top : m_treeBuilder->tree()->children()) top->setExpanded(true);
  }
  m_expandingProgrammatically = true;
  expandRowsMarkedExpanded(QModelIndex());
  m_expandingProgrammatically = false;
  validateAddButton();
}

void ZPHSourceListViewController::validateAddButton()
{
  if (m_addMenuPopUpButton == nullptr)
    return;
  bool any = false;
  for (const ZPHSourceListMenuBuilder::Item& item :
       ZPHSourceListMenuBuilder::addMenuItems(&ZPHSourceListCommands::canAdd))
    any = any || item.enabled;
  m_addMenuPopUpButton->setEnabled(any);
}

void ZPHSourceListViewController::registerObservers()
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  using D = ZPHNotificationCenter::Delivery;
  const auto observe = [&](const QString& name, std::function<void(const ZPHNotification&)> handler) {
    m_observers.push_back(center.addObserver(name, QVariant(), this, std::move(handler), D::MainThread));
  };
  // A burst (a thousand feeds added by an import) rebuilds once.
  const auto rebuild = [this](const ZPHNotification&) { scheduleRebuild(); };
  observe(ZPHDataAccountReadyNotification, rebuild);
  observe(ZPHFeedsAddedNotification, rebuild);
  observe(ZPHFolderAddedNotification, rebuild);
  observe(ZPHImportDidFinishNotification, rebuild);
  observe(ZPHGlobalFavoritesGroupUpdatedChildren, rebuild);
  observe(ZPHFeedsOrFoldersDeletedNotification, rebuild);
  observe(ZPHRemoteFeedAddedNotification, rebuild);
  observe(ZPHRemoteFolderAddedNotification, rebuild);
  observe(ZPHRemoteFeedOrFolderReorderingNotification, rebuild);
  observe(ZPHBatchSubscribeDidFinishNotification,
          [this](const ZPHNotification&) { reloadDataPreservingSelectionAndNotify(); });
  observe(ZPHFeedRefreshArticlesUpdatedNotification, [this](const ZPHNotification& notification) {
    CBDataAccount* account = CBDataAccount::localAccount();
    const QUrl url = notification.userInfo.value(CBURLKey).toUrl();
    if (CBFeed* feed = account != nullptr && !url.isEmpty() ? account->feedWithURL(url) : nullptr)
      updateDisplayForRowsThatRepresentObject(static_cast<CBNode*>(feed));
  });
  observe(CBFeedDataDidChangeNotification, [this](const ZPHNotification& notification) {
    if (auto* object = notification.object.value<ZPHManagedObject*>()) {
      if (auto* node = dynamic_cast<CBNode*>(object))
        updateDisplayForRowsThatRepresentObject(node);
    }
  });
  observe(CBFaviconDownloadedNotification, [this](const ZPHNotification&) { faviconDidDownload(); });
  observe(ZPHUnreadCountDidChangeNotification, [this](const ZPHNotification&) { feedOrFolderUnreadCountDidChange(); });
  observe(ZPHNetworkControllerInternetConnectivityChangedNotification,
          [this](const ZPHNotification&) { internetConnectivityChanged(); });
  // The date manager notices when the day or the clock moved: Today's
  // number and the midnight timer follow.
  observe(CBDatesDidChangeNotification, [this](const ZPHNotification&) {
    invalidateMidnightTimer();
    makeMidnightTimer();
    m_model->refreshAllRows();
  });
}

// MARK: - The sidebar's width

int ZPHSourceListViewController::constrainedSplitPosition(int proposed)
{
  int position = proposed;
  if (position > 208 && position < 272)
    position = 240;
  return std::clamp(position, MinimumSidebarWidth, MaximumSidebarWidth);
}

// MARK: - Small things

void ZPHSourceListViewController::makeSourceListOutlineViewFirstResponder() { m_outlineView->setFocus(); }

void ZPHSourceListViewController::setSelectionHidden(bool hidden)
{
  if (hidden == m_selectionHidden)
    return;
  m_selectionHidden = hidden;
  m_outlineView->setSelectionHidden(hidden);
  reloadDataPreservingSelectionAndNotify();
}

bool ZPHSourceListViewController::isCurrentlyTypeSelecting() const { return m_outlineView->isCurrentlyTypeSelecting(); }

// MARK: - Rows

int ZPHSourceListViewController::numberOfRows() const
{
  int rows = 0;
  for (QModelIndex index = m_model->index(0, 0); index.isValid(); index = m_outlineView->indexBelow(index)) ++rows;
  return rows;
}

QModelIndex ZPHSourceListViewController::indexForRow(int row) const
{
  if (row < 0)
    return QModelIndex();
  int at = 0;
  for (QModelIndex index = m_model->index(0, 0); index.isValid(); index = m_outlineView->indexBelow(index), ++at) {
    if (at == row)
      return index;
  }
  return QModelIndex();
}

int ZPHSourceListViewController::rowForNode(const CBTreeNode* node) const
{
  const QModelIndex target = m_model->indexForNode(node);
  if (!target.isValid())
    return -1;
  int at = 0;
  for (QModelIndex index = m_model->index(0, 0); index.isValid(); index = m_outlineView->indexBelow(index), ++at) {
    if (index == target)
      return at;
  }
  return -1;
}

CBTreeNode* ZPHSourceListViewController::nodeForRow(int row) const { return m_model->nodeForIndex(indexForRow(row)); }

bool ZPHSourceListViewController::isRowSelectable(int row) const
{
  const QModelIndex index = indexForRow(row);
  return index.isValid() && (m_model->flags(index) & Qt::ItemIsSelectable);
}

QList<int> ZPHSourceListViewController::selectedRows() const
{
  QList<int> rows;
  int at = 0;
  for (QModelIndex index = m_model->index(0, 0); index.isValid(); index = m_outlineView->indexBelow(index), ++at) {
    if (m_selectionModel->isSelected(index))
      rows.append(at);
  }
  return rows;
}

CBTreeNode::List ZPHSourceListViewController::selectedItemsInOutlineView() const
{
  CBTreeNode::List items;
  if (!m_selectionModel->hasSelection())
    return items;
  for (QModelIndex index = m_model->index(0, 0); index.isValid(); index = m_outlineView->indexBelow(index)) {
    if (m_selectionModel->isSelected(index)) {
      if (CBTreeNode* node = m_model->nodeForIndex(index))
        items.append(node->shared_from_this());
    }
  }
  return items;
}

// MARK: - Selection

CBTreeNode::Pointer ZPHSourceListViewController::currentTreeNode() const
{
  const CBTreeNode::List items = selectedItemsInOutlineView();
  return items.isEmpty() ? nullptr : items.constFirst();
}

CBTreeNode::Pointer ZPHSourceListViewController::selectedTreeNodeIfOnlyOne() const
{
  return m_selectedOutlineItems.size() == 1 ? m_selectedOutlineItems.constFirst() : nullptr;
}

CBFeed* ZPHSourceListViewController::selectedFeedIfOnlyOne() const
{
  return ZPHSourceListModel::feedForNode(selectedTreeNodeIfOnlyOne().get());
}

void ZPHSourceListViewController::selectIndexes(const QList<QModelIndex>& indexes)
{
  if (indexes.isEmpty()) {
    m_selectionModel->clearSelection();
    return;
  }
  QItemSelection selection;
  for (const QModelIndex& index : indexes) selection.select(index, index);
  m_selectionModel->setCurrentIndex(indexes.constFirst(), QItemSelectionModel::NoUpdate);
  m_selectionModel->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ZPHSourceListViewController::selectRow(qint64 row)
{
  const int rows = numberOfRows();
  if (rows == 0)
    return;
  // Compared unsigned: a negative row is past the end too.
  if (quint64(row) >= quint64(rows))
    row = rows - 1;
  const QModelIndex index = indexForRow(int(row));
  selectIndexes({index});
  scrollToSelectedRow();
}

void ZPHSourceListViewController::selectTreeNode(const CBTreeNode* node)
{
  const QModelIndex index = m_model->indexForNode(node);
  if (index.isValid())
    selectIndexes({index});
}

void ZPHSourceListViewController::scrollToSelectedRow()
{
  const QModelIndexList rows = m_selectionModel->selectedRows();
  if (!rows.isEmpty())
    m_outlineView->scrollTo(m_selectionModel->isSelected(m_selectionModel->currentIndex())
                                ? m_selectionModel->currentIndex()
                                : rows.constLast());
}

void ZPHSourceListViewController::selectNextRow()
{
  const int rows = numberOfRows();
  if (rows == 0)
    return;
  const QList<int> selected = selectedRows();
  const int start = selected.isEmpty() ? 0 : selected.constLast() + 1;
  // Each row once at most, going round at the end.
  for (int step = 0; step < rows; ++step) {
    const int row = (start + step) % rows;
    if (isRowSelectable(row)) {
      selectRow(row);
      return;
    }
  }
}

void ZPHSourceListViewController::selectPreviousRow()
{
  const int rows = numberOfRows();
  if (rows == 0)
    return;
  const QList<int> selected = selectedRows();
  const int start = selected.isEmpty() || selected.constFirst() == 0 ? rows - 1 : selected.constFirst() - 1;
  // Each row once at most, going round at the start.
  for (int step = 0; step < rows; ++step) {
    const int row = ((start - step) % rows + rows) % rows;
    if (isRowSelectable(row)) {
      selectRow(row);
      return;
    }
  }
}

void ZPHSourceListViewController::selectRepresentedObject(ZPHRepresentedObject object, bool scrollIfNeeded)
{
  const CBTreeNode::List nodes = treeNodesForObject(m_treeBuilder, object);
  QModelIndex first;
  for (const CBTreeNode::Pointer& node : nodes) {
    const QModelIndex index = m_model->indexForNode(node.get());
    if (!index.isValid() || rowForNode(node.get()) < 0)
      continue;
    if (!first.isValid())
      first = index;
    selectIndexes({index});
  }
  if (scrollIfNeeded && first.isValid())
    m_outlineView->scrollTo(first);
}

void ZPHSourceListViewController::refreshDataCacheReloadDataAndSelectObject(ZPHRepresentedObject object,
                                                                            bool scrollIfNeeded)
{
  Q_ASSERT_X(!representsNothing(object), Q_FUNC_INFO, "Invalid parameter not satisfying: object");
  if (representsNothing(object) || m_treeBuilder == nullptr)
    return;
  m_forceIncludedTreeNodes.clear();
  m_treeBuilder->rebuildTree();
  const CBTreeNode::List nodes = treeNodesForObject(m_treeBuilder, object);
  if (!nodes.isEmpty())
    storeTreeNodesRecursivelyToForceIncludedTreeNodes(nodes.constFirst().get());
  m_model->setForceIncludedTreeNodes(m_forceIncludedTreeNodes);
  reloadSourceListDataPreservingSelection(false);
  if (!nodes.isEmpty()) {
    // Open every group above the node, from the top down.
    QList<CBTreeNode*> ancestors;
    for (CBTreeNode* above = nodes.constFirst()->parent(); above != nullptr; above = above->parent())
      ancestors.prepend(above);
    m_expandingProgrammatically = true;
    for (CBTreeNode* above : ancestors) {
      const QModelIndex index = m_model->indexForNode(above);
      if (index.isValid())
        m_outlineView->expand(index);
    }
    m_expandingProgrammatically = false;
  }
  selectRepresentedObject(object, scrollIfNeeded);
}

// MARK: - What the selection holds

QList<CBFeed*> ZPHSourceListViewController::zph_selectedNormalFeeds() const
{
  QList<CBFeed*> feeds;
  for (const CBTreeNode::Pointer& node : m_selectedOutlineItems) {
    if (CBFeed* feed = ZPHSourceListModel::feedForNode(node.get()))
      feeds.append(feed);
  }
  return feeds;
}

QList<CBGlobalFeed*> ZPHSourceListViewController::zph_selectedGlobalFeeds() const
{
  QList<CBGlobalFeed*> feeds;
  for (const CBTreeNode::Pointer& node : m_selectedOutlineItems) {
    if (auto* feed = dynamic_cast<CBGlobalFeed*>(node->representedObject()))
      feeds.append(feed);
  }
  return feeds;
}

QList<CBFeed*> ZPHSourceListViewController::zph_selectedFavoritesGroupFeeds() const
{
  QList<CBFeed*> feeds;
  for (const CBTreeNode::Pointer& node : m_selectedOutlineItems) {
    if (ZPHSourceListModel::isFavoritesChild(node.get()))
      feeds.append(ZPHSourceListModel::feedForNode(node.get()));
  }
  return feeds;
}

ZPHGlobalFavoritesGroup* ZPHSourceListViewController::zph_feedsFromFavoritesGroupIfSelected() const
{
  for (const CBTreeNode::Pointer& node : m_selectedOutlineItems) {
    if (auto* group = dynamic_cast<ZPHGlobalFavoritesGroup*>(node->representedObject()))
      return group;
  }
  return nullptr;
}

QList<CBTreeNodeRepresentedObject*> ZPHSourceListViewController::zph_selectedGlobalFolders() const
{
  QList<CBTreeNodeRepresentedObject*> folders;
  for (const CBTreeNode::Pointer& node : m_selectedOutlineItems) {
    const ZPHSourceListModel::Kind kind = ZPHSourceListModel::kindOfNode(node.get());
    if (kind == ZPHSourceListModel::Kind::SmartFeed || kind == ZPHSourceListModel::Kind::FavoritesGroup)
      folders.append(node->representedObject());
  }
  return folders;
}

QList<CBFolder*> ZPHSourceListViewController::zph_selectedFolders() const
{
  QList<CBFolder*> folders;
  for (const CBTreeNode::Pointer& node : m_selectedOutlineItems) {
    if (node->representsFolder())
      folders.append(static_cast<CBFolder*>(node->representedNode()));
  }
  return folders;
}

QList<ZPHRepresentedObject> ZPHSourceListViewController::zph_selectedFeedsGlobalFeedsOrFavoritesGroup() const
{
  QList<ZPHRepresentedObject> objects;
  for (CBFeed* feed : zph_selectedNormalFeeds()) objects.append(static_cast<CBNode*>(feed));
  for (CBGlobalFeed* feed : zph_selectedGlobalFeeds()) objects.append(static_cast<CBTreeNodeRepresentedObject*>(feed));
  for (CBFeed* feed : zph_selectedFavoritesGroupFeeds()) objects.append(static_cast<CBNode*>(feed));
  return objects;
}

// MARK: - Selection changes

void ZPHSourceListViewController::storeTreeNodesRecursivelyToForceIncludedTreeNodes(CBTreeNode* node)
{
  Q_ASSERT_X(node != nullptr, Q_FUNC_INFO, "Invalid parameter not satisfying: node");
  for (CBTreeNode* current = node; current != nullptr; current = current->parent()) {
    const bool known = std::any_of(m_forceIncludedTreeNodes.cbegin(), m_forceIncludedTreeNodes.cend(),
                                   [current](const CBTreeNode::Pointer& forced) { return forced.get() == current; });
    if (!known)
      m_forceIncludedTreeNodes.append(current->shared_from_this());
  }
}

void ZPHSourceListViewController::outlineViewSelectionDidChange()
{
  const CBTreeNode::List newItems = selectedItemsInOutlineView();
  QSet<const CBTreeNode*> newSet;
  for (const CBTreeNode::Pointer& node : newItems) newSet.insert(node.get());
  QSet<const CBTreeNode*> oldSet;
  for (const CBTreeNode::Pointer& node : std::as_const(m_selectedOutlineItems)) {
    oldSet.insert(node.get());
    if (!newSet.contains(node.get()))
      node->setSelected(false);
  }
  const bool changed = m_selectedOutlineItems.isEmpty() || oldSet != newSet;
  const bool post = changed && !m_currentlyReloadingData;
  m_selectedOutlineItems = newItems;
  for (const CBTreeNode::Pointer& node : newItems) node->setSelected(true);
  m_selectedIdentities.clear();
  for (const CBTreeNode::Pointer& node : newItems) {
    if (node->hasRepresentedObject())
      m_selectedIdentities.append({node->representedIdentity(), ZPHSourceListModel::isFavoritesChild(node.get())});
  }

  const CBTreeNode::List oldForced = m_forceIncludedTreeNodes;
  m_forceIncludedTreeNodes.clear();
  for (const CBTreeNode::Pointer& node : newItems) storeTreeNodesRecursivelyToForceIncludedTreeNodes(node.get());
  m_model->setForceIncludedTreeNodes(m_forceIncludedTreeNodes);

  if (m_hideFeedsWithNoUnread) {
    // A row left behind by the selection that is read now goes, a little
    // later.
    const bool leftBehind = std::any_of(oldForced.cbegin(), oldForced.cend(), [this](const CBTreeNode::Pointer& node) {
      return !m_model->shouldIncludeTreeNode(node.get());
    });
    if (leftBehind) {
      scheduleFilterReload();
      if (post)
        postSourceListSelectionDidChangeNotification();
      return;
    }
  }
  for (const CBTreeNode::Pointer& node : newItems) m_model->refreshRowsForNode(node.get());
  if (post)
    postSourceListSelectionDidChangeNotification();
}

void ZPHSourceListViewController::postSourceListSelectionDidChangeNotification()
{
  ZPHNotificationCenter::defaultCenter().post(CBSourceListSelectionDidChangeNotification,
                                              QVariant::fromValue(static_cast<QObject*>(m_outlineView)));
}

// MARK: - Reloading

void ZPHSourceListViewController::expandRowsMarkedExpanded(const QModelIndex& parent)
{
  const int rows = m_model->rowCount(parent);
  for (int row = 0; row < rows; ++row) {
    const QModelIndex index = m_model->index(row, 0, parent);
    const CBTreeNode* node = m_model->nodeForIndex(index);
    if (node == nullptr || !node->isGroup() || !node->expanded() || !m_model->hasChildren(index))
      continue;
    if (!m_outlineView->isExpanded(index))
      m_outlineView->expand(index);
    expandRowsMarkedExpanded(index);
  }
}

void ZPHSourceListViewController::restoreSelectionToSelectedOutlineItems(const CBTreeNode::List& items)
{
  QList<QModelIndex> matches;
  if (!items.isEmpty()) {
    for (QModelIndex index = m_model->index(0, 0); index.isValid(); index = m_outlineView->indexBelow(index)) {
      const CBTreeNode* node = m_model->nodeForIndex(index);
      const bool remembered = std::any_of(items.cbegin(), items.cend(), [node](const CBTreeNode::Pointer& item) {
        return CBTreeNodeIsEqual(node, item.get());
      });
      if (remembered)
        matches.append(index);
    }
  }
  selectIndexes(matches);
}

void ZPHSourceListViewController::reloadSourceListDataPreservingSelection(bool preserve)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_currentlyReloadingData) {
    qCWarning(zphInterface).noquote() << Q_FUNC_INFO << ": Skipping reload, because we are already reloading.";
    return;
  }
  m_currentlyReloadingData = true;
  // A reset closes an open editor without a word: a rename in progress is
  // stored first.
  m_outlineView->commitOpenEditor();
  const CBTreeNode::List remembered = preserve ? selectedItemsInOutlineView() : CBTreeNode::List();
  if (m_filterReloadTimer != 0) {
    m_clock->cancel(m_filterReloadTimer);
    m_filterReloadTimer = 0;
  }
  m_model->setTree(m_treeBuilder != nullptr ? m_treeBuilder->tree() : nullptr);
  m_model->setHideFeedsWithNoUnread(m_hideFeedsWithNoUnread);
  m_model->setForceIncludedTreeNodes(m_forceIncludedTreeNodes);
  m_model->setHasInternetConnectivity(networkIsReachable());
  m_model->reload();
  m_expandingProgrammatically = true;
  expandRowsMarkedExpanded(QModelIndex());
  m_expandingProgrammatically = false;
  // Nodes the account let go of when it reloaded its tree (an import, a
  // sync) stand for nothing any more: their objects are found again.
  const bool rememberedGone = std::any_of(remembered.cbegin(), remembered.cend(), [](const CBTreeNode::Pointer& node) {
    return !node->hasRepresentedObject();
  });
  if (preserve && rememberedGone) {
    QList<QModelIndex> matches;
    for (QModelIndex index = m_model->index(0, 0); index.isValid(); index = m_outlineView->indexBelow(index)) {
      const CBTreeNode* node = m_model->nodeForIndex(index);
      if (node != nullptr && node->hasRepresentedObject() &&
          m_selectedIdentities.contains({node->representedIdentity(), ZPHSourceListModel::isFavoritesChild(node)}))
        matches.append(index);
    }
    selectIndexes(matches);
  } else if (preserve) {
    restoreSelectionToSelectedOutlineItems(remembered);
  }
  // A reset drops the selection without a word: the state follows what is
  // selected now.
  QSet<const CBTreeNode*> now;
  for (const CBTreeNode::Pointer& node : selectedItemsInOutlineView()) now.insert(node.get());
  QSet<const CBTreeNode*> handled;
  for (const CBTreeNode::Pointer& node : std::as_const(m_selectedOutlineItems)) handled.insert(node.get());
  if (now != handled)
    outlineViewSelectionDidChange();
  m_currentlyReloadingData = false;
}

void ZPHSourceListViewController::reloadDataPreservingSelectionAndNotify()
{
  if (m_currentlyReloadingData)
    return;
  const qsizetype before = m_selectionModel->selectedRows().size();
  reloadSourceListDataPreservingSelection(true);
  if (m_selectionModel->selectedRows().size() != before)
    postSourceListSelectionDidChangeNotification();
}

void ZPHSourceListViewController::refreshDataCacheReloadDataAndPreserveCurrentSelection()
{
  if (m_treeBuilder != nullptr)
    m_treeBuilder->rebuildTree();
  reloadDataPreservingSelectionAndNotify();
}

void ZPHSourceListViewController::scheduleRebuild()
{
  if (m_rebuildScheduled)
    return;
  m_rebuildScheduled = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        m_rebuildScheduled = false;
        refreshDataCacheReloadDataAndPreserveCurrentSelection();
      },
      Qt::QueuedConnection);
}

void ZPHSourceListViewController::updateDisplayForRowsThatRepresentObject(ZPHRepresentedObject object)
{
  ZPH_ASSERT_MAIN_THREAD();
  for (const CBTreeNode::Pointer& node : treeNodesForObject(m_treeBuilder, object))
    m_model->refreshRowsForNode(node.get());
}

void ZPHSourceListViewController::filterReload() { reloadSourceListDataPreservingSelection(true); }

void ZPHSourceListViewController::scheduleFilterReload()
{
  if (m_filterReloadTimer != 0)
    m_clock->cancel(m_filterReloadTimer);
  m_filterReloadTimer = m_clock->schedule(FilterReloadDelay, this, [this] {
    m_filterReloadTimer = 0;
    filterReload();
  });
}

void ZPHSourceListViewController::feedOrFolderUnreadCountDidChange()
{
  // The notification names no feed: every row's count is drawn again.
  m_model->refreshAllRows();
  if (m_hideFeedsWithNoUnread)
    scheduleFilterReload();
}

void ZPHSourceListViewController::faviconDidDownload()
{
  // Rows read their favicons when drawn: a burst is drawn once.
  if (m_faviconReloadTimer != 0)
    m_clock->cancel(m_faviconReloadTimer);
  m_faviconReloadTimer = m_clock->schedule(FaviconReloadDelay, this, [this] {
    m_faviconReloadTimer = 0;
    m_model->refreshAllRows();
  });
}

void ZPHSourceListViewController::internetConnectivityChanged()
{
  m_model->setHasInternetConnectivity(networkIsReachable());
}

void ZPHSourceListViewController::updateHideFeedsWithNoUnreadFromDefaults()
{
  const QVariant stored = CBPrefsGetObject(ZPHHideFeedsWithNoUnread);
  const bool hide = stored.canConvert<bool>() && stored.toBool();
  setHideFeedsWithNoUnread(hide);
}

void ZPHSourceListViewController::setHideFeedsWithNoUnread(bool hide)
{
  if (hide == m_hideFeedsWithNoUnread)
    return;
  m_hideFeedsWithNoUnread = hide;
  m_model->setHideFeedsWithNoUnread(hide);
  reloadDataPreservingSelectionAndNotify();
}

// MARK: - Expansion

void ZPHSourceListViewController::itemExpansionChanged(const QModelIndex& index, bool expanded)
{
  if (m_expandingProgrammatically || m_currentlyReloadingData)
    return;
  CBTreeNode* node = m_model->nodeForIndex(index);
  if (node == nullptr)
    return;
  if (node->isSpecialGroup()) {
    // The sections stay open.
    if (!expanded) {
      m_expandingProgrammatically = true;
      m_outlineView->expand(index);
      m_expandingProgrammatically = false;
    }
    return;
  }
  node->setExpanded(expanded);
  if (ZPHSourceListModel::isGlobalFavoritesGroup(node)) {
    ZPHUserDefaults::standardUserDefaults().setBool(ZPHExpandFavoritesKey, expanded);
    return;
  }
  if (!node->representsFolder())
    return;
  // Stored in store-queue order, so it never overtakes queued store work.
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr)
    return;
  const ZPHManagedObjectID folderID = node->representedNode()->objectID();
  delegate->addMainThreadCoreDataQueueBlock([folderID, expanded] {
    ZPHCoreApplicationDelegate* mainDelegate = ZPHCoreApplicationDelegate::sharedDelegate();
    ZPHManagedObjectContext* context = mainDelegate ? mainDelegate->mainThreadManagedObjectContext() : nullptr;
    if (context == nullptr)
      return;
    auto* folder = dynamic_cast<AbstractManagedFolder*>(context->existingObjectWithID(folderID));
    if (folder == nullptr || folder->isDeleted() || folder->expanded() == expanded)
      return;
    folder->setExpanded(expanded);
    mainDelegate->saveManagedObjectContext(context);
  });
}

// MARK: - Sorting

void ZPHSourceListViewController::configureForOrder(qint64 order)
{
  CBDataController* data = m_treeBuilder != nullptr ? m_treeBuilder->dataController() : nullptr;
  if (data == nullptr)
    return;
  data->setSubscriptionsSortOrder(order);
  // The account's tree takes the order's key.
  if (CBDataAccount* account = data->localAccount()) {
    if (const CBTreeNode::Pointer top = account->accountTreeNode())
      top->setSortKeyForOrderingChildren(CBDataAccount::sortKeyForSubscriptionSortOrder(quint64(order)));
  }
  reloadDataPreservingSelectionAndNotify();
  scrollToSelectedRow();
}

void ZPHSourceListViewController::sortByName() { configureForOrder(0); }

void ZPHSourceListViewController::sortByManualOrder() { configureForOrder(1); }

void ZPHSourceListViewController::toggleSortInsideFoldersOnly()
{
  CBPrefsToggleBool(ZPHSortInGroupsOnly);
  configureForOrder(CBPrefsGetInt(ZPHSubscriptionsSortOrderKey));
}

// MARK: - The rows' buttons

QMessageBox* ZPHSourceListViewController::sourceListCellViewDidClickErrorButton(const QModelIndex& index)
{
  CBFeed* feed = ZPHSourceListModel::feedForNode(m_model->nodeForIndex(index));
  if (feed == nullptr)
    return nullptr;
  ZPHError error = feed->lastFeedRefreshError();
  if (error.isNull())
    return nullptr;
  if (error.recoveryAttempter() == nullptr) {
    if (ZPHFeedErrorRecoveryAttempter* attempter = ZPHFeedErrorRecoveryAttempter::attempterForRefreshError(error))
      error.setRecoveryAttempter(std::make_shared<ZPHFeedRecoveryAttempter>(attempter, feed->objectID()));
  }
  return ZPHErrorSheet::present(m_view, error);
}

void ZPHSourceListViewController::sourceListGroupCellViewDidClickButton(const QModelIndex& index)
{
  Q_UNUSED(index);
  Q_ASSERT_X(m_hideFeedsWithNoUnread, Q_FUNC_INFO, "the button shows only while read sites are hidden");
  if (!m_hideFeedsWithNoUnread)
    return;
  // The setting's observer shows the read sites again.
  CBPrefsSetBool(false, ZPHHideFeedsWithNoUnread);
}

// MARK: - Midnight

QDateTime ZPHSourceListViewController::nextLocalMidnightAfter(const QDateTime& now, const QTimeZone& zone)
{
  // The beginning of tomorrow, found from its noon: a day of 23 or 25 hours
  // still ends at midnight.
  const QDate tomorrow = now.toTimeZone(zone).date().addDays(1);
  return CobbletonExtras::beginningOfDay(QDateTime(tomorrow, QTime(12, 0), zone));
}

void ZPHSourceListViewController::makeMidnightTimer()
{
  if (m_midnightTimer == nullptr || m_midnightTimer->isActive())
    return;
  const QDateTime now = m_now();
  m_midnightFireDate = nextLocalMidnightAfter(now, m_zone());
  // A second after midnight at the earliest, so the new day has begun.
  const qint64 delay = std::clamp<qint64>(now.msecsTo(m_midnightFireDate) + 1000, 1000, 2 * 24 * 3600 * 1000);
  m_midnightTimer->start(int(delay));
}

void ZPHSourceListViewController::invalidateMidnightTimer()
{
  if (m_midnightTimer != nullptr)
    m_midnightTimer->stop();
  m_midnightFireDate = QDateTime();
}

void ZPHSourceListViewController::significantTimeChangeOccurred()
{
  reloadDataPreservingSelectionAndNotify();
  invalidateMidnightTimer();
  makeMidnightTimer();
}

// MARK: - Favicon scale

void ZPHSourceListViewController::updateFaviconScaleFactorIfNeeded()
{
  const qreal ratio = m_outlineView->devicePixelRatioF();
  if (ratio <= 0)
    return;
  // The favicon controller takes 1 and 2.
  const double factor = ratio > 1.0 ? 2.0 : 1.0;
  CBFaviconController* favicons = CBFaviconController::sharedController();
  if (favicons == nullptr || qFuzzyCompare(favicons->currentFaviconScaleFactor(), factor))
    return;
  FRNHCGUtils::clearCache();
  favicons->setCurrentFaviconScaleFactor(factor);
  reloadDataPreservingSelectionAndNotify();
  ZPHNotificationCenter::defaultCenter().post(CBFaviconControllerScaleFactorUpdatedNotification,
                                              QVariant::fromValue(static_cast<QObject*>(favicons)));
}

// MARK: - Renaming and favourites

void ZPHSourceListViewController::selectFavoriteFeedAndExpandFavoritesIfNeeded(CBFeed* feed)
{
  if (feed == nullptr || m_treeBuilder == nullptr)
    return;
  refreshDataCacheReloadDataAndPreserveCurrentSelection();
  for (const CBTreeNode::Pointer& node : m_treeBuilder->treeNodesForRepresentedObject(static_cast<CBNode*>(feed))) {
    if (!ZPHSourceListModel::isFavoritesChild(node.get()))
      continue;
    const QModelIndex favorites = m_model->indexForNode(node->parent());
    if (favorites.isValid())
      m_outlineView->expand(favorites);
    selectTreeNode(node.get());
    scrollToSelectedRow();
    return;
  }
}

void ZPHSourceListViewController::textFieldEdited(CBTreeNode* node, const QString& name)
{
  CBNode* object = node != nullptr ? node->representedNode() : nullptr;
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (object == nullptr || !object->nameIsEditable() || delegate == nullptr)
    return;
  const ZPHManagedObjectID objectID = object->objectID();
  QPointer<ZPHSourceListViewController> self(this);
  delegate->addMainThreadCoreDataQueueBlock([self, objectID, name] {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    if (self == nullptr || delegate == nullptr)
      return;
    ZPHManagedObjectContext* main = delegate->mainThreadManagedObjectContext();
    ZPHManagedObject* fetched = main != nullptr ? main->existingObjectWithID(objectID) : nullptr;
    if (fetched == nullptr || fetched->isDeleted())
      return;
    if (auto* feed = dynamic_cast<CBFeed*>(fetched))
      feed->setNameForDisplay(name);
    else if (auto* folder = dynamic_cast<CBFolder*>(fetched))
      folder->setNameForDisplay(name);
    else
      return;
    delegate->saveManagedObjectContext(main);
    ZPHNotificationCenter::defaultCenter().post(ZPHFeedOrFolderDisplayNameChangedNotification,
                                                QVariant::fromValue(static_cast<QObject*>(self.data())),
                                                {{ZPHFolderOrFeedKey, QVariant::fromValue(fetched)}});
    if (self->m_treeBuilder != nullptr)
      self->m_treeBuilder->invalidateAllCaches();
    self->reloadDataPreservingSelectionAndNotify();
  });
}
