#include "sourcelist/ZPHSourceListCommands.h"

#include "common/CBPasteboard.h"
#include "common/ZPHAppServices.h"
#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHOperationQueue.h"
#include "platform/ZPHUserDefaults.h"
#include "sourcelist/ZPHSourceListModel.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHMarkAllAsReadOperation.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "sync/ZPHSyncFeedFetchOperation.h"
#include "sync/ZPHSyncManager.h"

#include <QtCore/QSet>
#include <QtCore/QUrlQuery>
#include <QtGui/QAction>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <algorithm>
#include <optional>

ZPHSourceListCommands::ZPHSourceListCommands(ZPHSourceListViewController* sourceList)
    : QObject(sourceList), m_sourceList(sourceList)
{
}

ZPHSourceListCommands::~ZPHSourceListCommands() = default;

ZPHSourceListMenuBuilder::Facts ZPHSourceListCommands::menuFacts() const
{
  ZPHSourceListMenuBuilder::Facts facts;
  facts.selectedNodes = int(m_sourceList->selectedOutlineItems().size());
  QList<CBFeed*> feeds;
  for (CBFeed* feed : m_sourceList->zph_selectedNormalFeeds())
    if (feed != nullptr && !feeds.contains(feed))
      feeds.append(feed);
  facts.feeds = int(feeds.size());
  for (CBFeed* feed : feeds) {
    facts.favoriteFeeds += feed->favorite() ? 1 : 0;
    facts.feedsWithHomePage += feed->homePageURL().isValid() && !feed->homePageURL().isEmpty() ? 1 : 0;
    facts.suspendedFeeds += feed->suspended() ? 1 : 0;
    facts.hasUnread |= feed->unreadCount() > 0;
  }
  const QList<CBGlobalFeed*> smartFeeds = m_sourceList->zph_selectedGlobalFeeds();
  facts.smartFeeds = int(smartFeeds.size());
  for (CBGlobalFeed* feed : smartFeeds) facts.hasUnread |= feed->countForDisplay() > 0;
  const QList<CBFolder*> folders = m_sourceList->zph_selectedFolders();
  facts.folders = int(folders.size());
  for (CBFolder* folder : folders) facts.hasUnread |= folder->unreadCount() > 0;
  facts.smartFeedsOrFavoritesGroup = int(m_sourceList->zph_selectedGlobalFolders().size());
  if (m_sourceList->selectedOutlineItems().size() == 1) {
    const CBTreeNode* node = m_sourceList->selectedOutlineItems().first().get();
    CBFeed* feed = ZPHSourceListModel::feedForNode(node);
    facts.singleFeedWithURL = feed != nullptr && feed->URL().isValid() && !feed->URL().isEmpty();
    facts.singleFeedOrFolder = feed != nullptr || node->representsFolder();
  }
  facts.deletable = std::all_of(m_sourceList->selectedOutlineItems().cbegin(),
                                m_sourceList->selectedOutlineItems().cend(), [](const CBTreeNode::Pointer& node) {
                                  return node->representedNode() != nullptr &&
                                         node->representedNode()->canBeDeleted() &&
                                         !ZPHSourceListModel::isFavoritesChild(node.get());
                                });
  return facts;
}

bool ZPHSourceListCommands::validateCommand(const QString& selector) const
{
  return ZPHSourceListMenuBuilder::validate(selector, menuFacts());
}

bool ZPHSourceListCommands::performCommand(const QString& selector)
{
  if (selector == QLatin1String("sortByName:")) {
    m_sourceList->sortByName();
    return true;
  }
  if (selector == QLatin1String("sortByManualOrder:")) {
    m_sourceList->sortByManualOrder();
    return true;
  }
  if (selector == QLatin1String("toggleSortInsideFoldersOnly:")) {
    m_sourceList->toggleSortInsideFoldersOnly();
    return true;
  }
  if (selector == QLatin1String("addFeed:") || selector == QLatin1String("addFolder:")) {
    // The application's commands.
    QAction* action = ZPHAppServices::current().commandAction(selector);
    if (action == nullptr)
      return false;
    action->trigger();
    return true;
  }
  if (!validateCommand(selector))
    return false;
  if (selector == QLatin1String("openHomePageInBrowser:"))
    openHomePageInBrowser();
  else if (selector == QLatin1String("addToFavorites:"))
    changeFavoriteStatesForSelectionRemovingNotAdding(false);
  else if (selector == QLatin1String("removeFromFavorites:"))
    changeFavoriteStatesForSelectionRemovingNotAdding(true);
  else if (selector == QLatin1String("markAllAsReadFromContextMenu:"))
    markAllAsReadFromContextMenu();
  else if (selector == QLatin1String("activateFeed:"))
    activateFeed();
  else if (selector == QLatin1String("copyFeedURL:"))
    copyFeedURL();
  else if (selector == QLatin1String("validateFeedURL:"))
    validateFeedURL();
  else if (selector == QLatin1String("renameEntry:"))
    renameEntry();
  else if (selector == QLatin1String("deleteSelectedFeedsAndFolders:"))
    deleteSelectedFeedsAndFolders();
  else
    return false;
  return true;
}

QMenu* ZPHSourceListCommands::menuForSelectedItems(ZPHSourceListMenuBuilder::Kind kind, QWidget* parent)
{
  // Option and Control held as the menu opens offer to validate the feed.
  const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
  const bool optionAndControl = held.testFlag(Qt::AltModifier) && held.testFlag(Qt::ControlModifier);
  QPointer<ZPHSourceListCommands> self(this);
  return ZPHSourceListMenuBuilder::makeMenu(
      ZPHSourceListMenuBuilder::itemsForSelection(kind, menuFacts(), optionAndControl), parent,
      [self](const QString& command) {
        if (self != nullptr)
          self->performCommand(command);
      });
}

QMenu* ZPHSourceListCommands::gearButtonMenu(QWidget* parent)
{
  const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
  const bool optionAndControl = held.testFlag(Qt::AltModifier) && held.testFlag(Qt::ControlModifier);
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  QPointer<ZPHSourceListCommands> self(this);
  return ZPHSourceListMenuBuilder::makeMenu(
      ZPHSourceListMenuBuilder::gearMenuItems(menuFacts(), defaults.integerForKey(ZPHSubscriptionsSortOrderKey),
                                              defaults.boolForKey(ZPHSortInGroupsOnly), optionAndControl),
      parent, [self](const QString& command) {
        if (self != nullptr)
          self->performCommand(command);
      });
}

bool ZPHSourceListCommands::canAdd(const QString& command)
{
  // The application's commands; without one the item is off.
  return ZPHAppServices::enabledCommandAction(command) != nullptr;
}

QMenu* ZPHSourceListCommands::addButtonMenu(QWidget* parent)
{
  QPointer<ZPHSourceListCommands> self(this);
  return ZPHSourceListMenuBuilder::makeMenu(ZPHSourceListMenuBuilder::addMenuItems(&canAdd), parent,
                                            [self](const QString& command) {
                                              if (self != nullptr)
                                                self->performCommand(command);
                                            });
}

QMenu* ZPHSourceListCommands::contextualMenuForRow(int row, QWidget* parent)
{
  if (row >= 0 && !m_sourceList->selectedRows().contains(row)) {
    if (!m_sourceList->isRowSelectable(row))
      return nullptr;
    m_sourceList->selectRow(row);
  }
  return menuForSelectedItems(ZPHSourceListMenuBuilder::Kind::Contextual, parent);
}

void ZPHSourceListCommands::openHomePageInBrowser()
{
  for (CBFeed* feed : m_sourceList->zph_selectedNormalFeeds()) {
    const QUrl url = feed->homePageURL();
    if (url.isValid() && !url.isEmpty())
      ZPHAppServices::current().openLink(url, ZPHAppServices::LinkPlace::ExternalBrowser);
  }
}

void ZPHSourceListCommands::changeFavoriteStatesForSelectionRemovingNotAdding(bool removing)
{
  QList<CBFeed*> feeds;
  for (CBFeed* feed : m_sourceList->zph_selectedNormalFeeds())
    if (!feeds.contains(feed))
      feeds.append(feed);
  if (feeds.isEmpty())
    return;
  CBFeed::markFeeds(feeds, !removing);
  // Once stored: an added feed is shown under Favorites, a removed one
  // stays selected in its folder.
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr)
    return;
  QPointer<ZPHSourceListViewController> self(m_sourceList);
  const ZPHManagedObjectID first = feeds.first()->objectID();
  delegate->addMainThreadCoreDataQueueBlock([self, first, removing] {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    ZPHManagedObjectContext* main = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
    auto* feed = main != nullptr ? dynamic_cast<CBFeed*>(main->existingObjectWithID(first)) : nullptr;
    if (self == nullptr || feed == nullptr || feed->isDeleted())
      return;
    if (removing)
      self->refreshDataCacheReloadDataAndSelectObject(static_cast<CBNode*>(feed), true);
    else
      self->selectFavoriteFeedAndExpandFavoritesIfNeeded(feed);
  });
}

void ZPHSourceListCommands::markAllAsReadFromContextMenu()
{
  QList<ZPHRepresentedObject> objects;
  for (CBFeed* feed : m_sourceList->zph_selectedNormalFeeds()) objects.append(static_cast<CBNode*>(feed));
  for (CBGlobalFeed* feed : m_sourceList->zph_selectedGlobalFeeds())
    objects.append(static_cast<CBTreeNodeRepresentedObject*>(feed));
  for (CBFolder* folder : m_sourceList->zph_selectedFolders()) objects.append(static_cast<CBNode*>(folder));
  if (ZPHGlobalFavoritesGroup* favorites = m_sourceList->zph_feedsFromFavoritesGroupIfSelected())
    objects.append(static_cast<CBTreeNodeRepresentedObject*>(favorites));
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (objects.isEmpty() || delegate == nullptr)
    return;
  delegate->performUndoableOperation(ZPHMarkAllAsReadOperation::operationWithTreeNodeRepresentedObjects(objects, true));
}

void ZPHSourceListCommands::activateFeed()
{
  ZPHSyncManager* sync = ZPHSyncManager::existingController();
  if (sync == nullptr)
    return;
  for (CBFeed* feed : m_sourceList->zph_selectedNormalFeeds()) {
    if (!feed->suspended())
      continue;
    auto operation = std::make_shared<ZPHSyncFeedFetchOperation>();
    operation->setReactivatingFeed(true);
    operation->setUrlString(feed->URL().toString());
    operation->setHomepageUrlString(feed->homePageURL().toString());
    operation->setFaviconUrlString(feed->faviconURL().toString());
    sync->feedFetchQueue()->addOperation(operation);
  }
}

void ZPHSourceListCommands::renameEntry()
{
  const CBTreeNode::Pointer node = m_sourceList->selectedTreeNodeIfOnlyOne();
  const QModelIndex index = node != nullptr ? m_sourceList->model()->indexForNode(node.get()) : QModelIndex();
  if (!index.isValid() || !m_sourceList->model()->flags(index).testFlag(Qt::ItemIsEditable))
    return;
  m_sourceList->sourceListOutlineView()->setCurrentIndex(index);
  m_sourceList->sourceListOutlineView()->edit(index);
}

QMenu* ZPHSourceListCommands::menuForPopupButton(CBPopupButton* button)
{
  if (button == m_sourceList->contextMenuPopUpButton())
    return gearButtonMenu(button);
  if (button == m_sourceList->addMenuPopUpButton())
    return addButtonMenu(button);
  return nullptr;
}

void ZPHSourceListCommands::copyFeedURL()
{
  if (CBFeed* feed = m_sourceList->selectedFeedIfOnlyOne())
    CBCopyURLStringToPasteboard(feed->URL().toString(QUrl::FullyEncoded));
}

QUrl ZPHSourceListCommands::feedValidatorURL(const QUrl& feedURL)
{
  QUrl address = feedURL;
  // A password in the address stays with the user.
  address.setUserInfo(QString());
  const QString scheme = address.scheme().toLower();
  if (address.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
    return QUrl();
  QUrl check(QStringLiteral("https://validator.w3.org/feed/check.cgi"));
  QUrlQuery query;
  query.addQueryItem(QStringLiteral("url"),
                     QString::fromLatin1(QUrl::toPercentEncoding(address.toString(QUrl::FullyEncoded))));
  check.setQuery(query);
  return check;
}

void ZPHSourceListCommands::validateFeedURL()
{
  CBFeed* feed = m_sourceList->selectedFeedIfOnlyOne();
  const QUrl check = feed != nullptr ? feedValidatorURL(feed->URL()) : QUrl();
  if (check.isValid())
    ZPHAppServices::current().openLink(check, ZPHAppServices::LinkPlace::ExternalBrowser);
}

CBTreeNode::List ZPHSourceListCommands::selectedDeletableNodes() const
{
  CBTreeNode::List nodes;
  for (const CBTreeNode::Pointer& node : m_sourceList->selectedOutlineItems())
    if (node->representedNode() != nullptr && node->representedNode()->canBeDeleted())
      nodes.append(node);
  return nodes;
}

namespace {

QString nameOfNode(const CBTreeNode* node)
{
  if (CBFeed* feed = ZPHSourceListModel::feedForNode(node))
    return feed->nameForDisplay();
  if (node->representsFolder())
    return static_cast<CBFolder*>(node->representedNode())->nameForDisplay();
  return QString();
}

// Whether a node is a feed, or a folder with a feed at any depth.
bool holdsFeeds(const CBTreeNode* node)
{
  if (!node->representsFolder())
    return node->representedNode() != nullptr;
  for (const CBTreeNode::Pointer& child : node->children())
    if (holdsFeeds(child.get()))
      return true;
  return false;
}

}  // namespace

std::pair<QString, QString> ZPHSourceListCommands::deletionConfirmationTexts(const CBTreeNode::List& nodes)
{
  const bool folderWithChildren = std::any_of(nodes.cbegin(), nodes.cend(), [](const CBTreeNode::Pointer& node) {
    return node->representsFolder() && !node->children().isEmpty();
  });
  if (nodes.size() > 1 || folderWithChildren)
    return {tr("Remove items?"), tr("Are you sure you want to remove these items? This can't be undone.")};
  const QString name = nodes.isEmpty() ? QString() : nameOfNode(nodes.first().get());
  if (name.isEmpty())
    return {tr("Remove \u201c%1\u201d?").arg(tr("item")),
            tr("Are you sure you want to remove this item? This can't be undone.")};
  return {tr("Remove \u201c%1\u201d?").arg(name),
          tr("Are you sure you want to remove \u201c%1\u201d? This can't be undone.").arg(name)};
}

void ZPHSourceListCommands::deleteSelectedFeedsAndFolders()
{
  if (!validateDelete())
    return;
  confirmAndDeleteNodes(selectedDeletableNodes());
}

void ZPHSourceListCommands::deleteFeed(CBFeed* feed)
{
  ZPHSourceListTreeBuilder* builder = m_sourceList->sourceListTreeBuilder();
  if (feed == nullptr || builder == nullptr)
    return;
  // The feed's own row: a favourite also shows under Favorites.
  for (const CBTreeNode::Pointer& node : builder->treeNodesForRepresentedObject(static_cast<CBNode*>(feed))) {
    const CBTreeNode* parent = node->parent();
    const bool underFavorites =
        parent != nullptr && dynamic_cast<ZPHGlobalFavoritesGroup*>(parent->representedObject()) != nullptr;
    if (node->representedNode() == feed && feed->canBeDeleted() && !underFavorites) {
      confirmAndDeleteNodes({node});
      return;
    }
  }
}

void ZPHSourceListCommands::confirmAndDeleteNodes(const CBTreeNode::List& nodes)
{
  if (nodes.isEmpty() || m_deletionSheet != nullptr)
    return;
  const bool anyFeeds =
      std::any_of(nodes.cbegin(), nodes.cend(), [](const CBTreeNode::Pointer& node) { return holdsFeeds(node.get()); });
  if (!anyFeeds) {
    actuallyDeleteFeedsAndFoldersInTreeNodes(nodes);
    return;
  }
  const auto [message, text] = deletionConfirmationTexts(nodes);
  auto* box = new QMessageBox(m_sourceList->view());
  box->setObjectName(QStringLiteral("ZPHSourceListDeletionSheet"));
  box->setWindowModality(Qt::WindowModal);
  box->setIcon(QMessageBox::Warning);
  box->setText(message);
  box->setInformativeText(text);
  QPushButton* remove = box->addButton(tr("Remove"), QMessageBox::AcceptRole);
  box->addButton(tr("Cancel"), QMessageBox::RejectRole);
  box->setDefaultButton(remove);
  box->setAttribute(Qt::WA_DeleteOnClose);
  m_deletionSheet = box;
  QPointer<ZPHSourceListCommands> self(this);
  connect(box, &QMessageBox::buttonClicked, this, [self, box, remove, nodes](QAbstractButton* button) {
    if (self != nullptr && button == remove)
      self->actuallyDeleteFeedsAndFoldersInTreeNodes(nodes);
    Q_UNUSED(box);
  });
  box->open();
}

void ZPHSourceListCommands::actuallyDeleteFeedsAndFoldersInTreeNodes(const CBTreeNode::List& nodes)
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  CBDataController* data = delegate != nullptr ? delegate->dataController() : nullptr;
  CBDataAccount* account = data != nullptr ? data->localAccount() : nullptr;
  if (account == nullptr)
    return;
  // The selection afterwards: what stays of it; else the row after the
  // last selected one; else the row before the first unless it is a
  // header.
  const QList<int> rows = m_sourceList->selectedRows();
  std::optional<ZPHRepresentedObject> proposed;
  bool selectedRemoved = false;
  QSet<const CBTreeNode*> removed;
  for (const CBTreeNode::Pointer& node : nodes) removed.insert(node.get());
  for (int row : rows) {
    CBTreeNode* node = m_sourceList->nodeForRow(row);
    bool gone = false;
    for (CBTreeNode* walk = node; walk != nullptr && !gone; walk = walk->parent()) gone = removed.contains(walk);
    selectedRemoved |= gone;
    if (!gone && node != nullptr && !proposed.has_value())
      proposed = node->representedNode() != nullptr ? ZPHRepresentedObject(node->representedNode())
                                                    : ZPHRepresentedObject(node->representedObject());
  }
  const auto objectOfRow = [this](int row) -> std::optional<ZPHRepresentedObject> {
    CBTreeNode* node = row >= 0 && row < m_sourceList->numberOfRows() ? m_sourceList->nodeForRow(row) : nullptr;
    if (node == nullptr || !m_sourceList->isRowSelectable(row))
      return std::nullopt;
    return node->representedNode() != nullptr ? ZPHRepresentedObject(node->representedNode())
                                              : ZPHRepresentedObject(node->representedObject());
  };
  if (selectedRemoved && !proposed.has_value() && !rows.isEmpty()) {
    // The row after the last selected one, outside what goes away.
    for (int row = rows.last() + 1; row < m_sourceList->numberOfRows() && !proposed.has_value(); ++row) {
      bool gone = false;
      for (CBTreeNode* walk = m_sourceList->nodeForRow(row); walk != nullptr && !gone; walk = walk->parent())
        gone = removed.contains(walk);
      if (!gone)
        proposed = objectOfRow(row);
      if (!gone)
        break;
    }
    if (!proposed.has_value())
      proposed = objectOfRow(rows.first() - 1);
  }

  QList<CBNode*> objects;
  for (const CBTreeNode::Pointer& node : nodes) {
    objects.append(node->representedNode());
    node->detachFromParentInvalidatingRecursively(true);
  }
  account->deleteNodes(objects);
  m_sourceList->refreshDataCacheReloadDataAndPreserveCurrentSelection();
  if (selectedRemoved) {
    if (proposed.has_value()) {
      m_sourceList->selectRepresentedObject(*proposed, true);
    } else {
      m_sourceList->sourceListOutlineView()->clearSelection();
    }
  }
}
