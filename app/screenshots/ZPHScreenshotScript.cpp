#include "screenshots/ZPHScreenshotScript.h"

#include "articleview/ZPHArticleDetailPaneView.h"
#include "mainwindow/toolbar/ZPHToolbarCustomizationSheet.h"

#include "mainwindow/toolbar/ZPHMainWindowToolbarController.h"

#include "kit/CBPopupButton.h"

#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHArticleListSettings.h"
#include "articlelist/ZPHArticleListTableView.h"
#include "articlelist/ZPHSearchField.h"
#include "articlelist/ZPHSearchWindowController.h"
#include "articlelist/ZPHTableViewContextualMenu.h"
#include "articleview/ZPHWebArticleDetailPane.h"
#include "browser/CBBrowserTextField.h"
#include "browser/ZPHBrowserContentView.h"
#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHBrowserViewController.h"
#include "browser/ZPHFeedPopupButton.h"
#include "browser/ZPHTabCommands.h"
#include "browser/ZPHTabThumbnailingController.h"
#include "browser/ZPHTabsController.h"
#include "common/FRNHCGUtils.h"
#include "common/ZPHShellLog.h"
#include "feeds/images/CBFaviconController.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/CBPrefs.h"
#include "kit/ZPHClock.h"
#include "kit/ZPHNamedImage.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/status/ZPHStatusViewController.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHUserDefaults.h"
#include "shell/ZPHAppDelegate.h"
#include "shell/ZPHBrowserLauncher.h"
#include "sourcelist/ZPHSourceListCommands.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/CBDataController.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalAccount.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/operations/ZPHMarkAllAsReadOperation.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "web/ZPHMacWebViewFindBarViewController.h"
// Sharing: the popover, the read-later login and the Share submenu.
#include "articleview/ZPHArticleDetailViewController.h"
#include "sharing/ZPHPluginCommandSendToInstapaper.h"
#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSharingErrors.h"
#include "sharing/ZPHSharingPopoverViewController.h"
#include "web/ZPHMacWebView.h"

#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineScript>

// Adding sites, folders and imports.
#include "feeds/refresh/ZPHDeterminateProgressStatusItem.h"
#include "foundation/ZPHErrors.h"
#include "mainwindow/bezel/ZPHNotificationBezelWindow.h"
#include "mainwindow/bezel/ZPHNotificationBezelWindowController.h"
#include "subscribe/ZPHFeedFinder.h"
#include "subscribe/ZPHSubscriber.h"
#include "subscriptions/ZPHAddFolderWindowController.h"
#include "subscriptions/ZPHAddSiteAddressContentViewController.h"
#include "subscriptions/ZPHAddSiteOrFolderTextView.h"
#include "subscriptions/ZPHAddSiteWindowController.h"
#include "subscriptions/ZPHAddSitesSubscriptionErrorViewController.h"
#include "subscriptions/ZPHImportOPMLController.h"
#include "subscriptions/ZPHSelectableToolbar.h"
#include "subscriptions/ZPHSubscriptionCommands.h"
// Menus, badge and windows.
#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBMimeTypes.h"
#include "preferences/ZPHPreferenceWindowController.h"
#include "preferences/ZPHStylePopoverViewController.h"
#include "sheets/FRNHAboutWindowController.h"
#include "sheets/FRNHLicenseAgreementWindowController.h"
#include "sheets/ZPHAuthenticationController.h"
#include "sheets/ZPHCredentialsWindowController.h"
#include "sheets/ZPHSyncMergeOrPurgeController.h"
#include "sheets/ZPHSyncQuestionsController.h"
#include "sheets/ZPHWelcomeWindowController.h"
#include "shell/ZPHApplicationCommands.h"
#include "shell/ZPHMainMenuController.h"
#include "sync/ZPHSyncConstants.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QTimer>
#include <QtCore/QUrlQuery>
#include <QtGui/QContextMenuEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QToolBar>

namespace {

constexpr qint64 Deadline = 90 * 1000;  // ms
constexpr int PollInterval = 50;        // ms

class FixedReachability : public ZPHNetworkController::ReachabilitySource {
public:
  explicit FixedReachability(bool reachable) : m_reachable(reachable) {}
  bool setCallback(FlagsHandler) override { return true; }
  std::optional<quint32> currentFlags() override
  {
    return m_reachable ? quint32(ZPHNetworkController::ReachabilityFlagReachable) : quint32(0);
  }

private:
  bool m_reachable;
};

qint64 now() { return ZPHClock::systemClock().now(); }

QStringList strings(const QJsonValue& value)
{
  QStringList list;
  for (const QJsonValue& each : value.toArray()) list.append(each.toString());
  return list;
}

// The feeds whose address ends with one of `endings`.
QList<CBFeed*> feedsNamed(CBDataAccount* account, const QStringList& endings)
{
  QList<CBFeed*> found;
  if (account == nullptr)
    return found;
  for (const QString& ending : endings) {
    for (CBFeed* feed : account->feeds()) {
      if (feed->url().endsWith(ending) && !found.contains(feed))
        found.append(feed);
    }
  }
  return found;
}

}  // namespace

std::unique_ptr<ZPHScreenshotScript> ZPHScreenshotScript::load(const QString& path, QString* errorMessage)
{
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (errorMessage)
      *errorMessage = file.errorString();
    return nullptr;
  }
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
  if (!document.isObject()) {
    if (errorMessage)
      *errorMessage = error.error != QJsonParseError::NoError ? error.errorString() : QStringLiteral("not an object");
    return nullptr;
  }
  return std::make_unique<ZPHScreenshotScript>(document.object());
}

ZPHScreenshotScript::ZPHScreenshotScript(const QJsonObject& state, QObject* parent) : QObject(parent), m_state(state) {}

ZPHScreenshotScript::~ZPHScreenshotScript() = default;

bool ZPHScreenshotScript::offline() const { return m_state.value(QStringLiteral("offline")).toBool(); }

std::unique_ptr<ZPHNetworkController::ReachabilitySource> ZPHScreenshotScript::makeFixedReachabilitySource(
    bool reachable) const
{
  return std::make_unique<FixedReachability>(reachable);
}

void ZPHScreenshotScript::addStep(std::function<bool()> ready, std::function<void()> action)
{
  m_steps.push_back({std::move(ready), std::move(action)});
}

void ZPHScreenshotScript::addAction(std::function<void()> action)
{
  addStep([] { return true; }, std::move(action));
}

bool ZPHScreenshotScript::waited(qint64 milliseconds) const { return now() - m_stepStartedAt >= milliseconds; }

bool ZPHScreenshotScript::storeIdle() const
{
  return m_delegate->dataController() == nullptr || !m_delegate->dataController()->coreDataQueueHasOperations();
}

bool ZPHScreenshotScript::downloadsSettled() const
{
  return waited(5000) ||
         (waited(1500) && CBOperationController::sharedDownloadOperationController()->numberOfOperations() == 0);
}

void ZPHScreenshotScript::run(ZPHAppDelegate* delegate, std::function<void()> takePicture)
{
  m_delegate = delegate;
  m_takePicture = std::move(takePicture);
  m_startedAt = now();
  m_observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHRefreshSessionDidEndNotification, QVariant(), this, [this](const ZPHNotification&) { ++m_sessionsEnded; },
      ZPHNotificationCenter::Delivery::MainThread));
  m_observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      CBFaviconDownloadedNotification, QVariant(), this, [this](const ZPHNotification&) { ++m_faviconsDownloaded; },
      ZPHNotificationCenter::Delivery::MainThread));

  // The window's size for the picture.
  if (const QJsonObject size = m_state.value(QStringLiteral("window")).toObject();
      !size.isEmpty() && delegate->mainWindow() != nullptr) {
    QMainWindow* main = delegate->mainWindow();
    main->resize(size.value(QStringLiteral("width")).toInt(main->width()),
                 size.value(QStringLiteral("height")).toInt(main->height()));
  }
  startSteps();
  articleListSteps();
  commandSteps();
  tabSteps();
  subscriptionSteps();
  menusAndWindowsSteps();
  finalSteps();

  m_stepStartedAt = now();
  QTimer::singleShot(0, this, &ZPHScreenshotScript::poll);
}

namespace {

// The status area shows the item of `identifier`, at rest.
bool statusShows(ZPHStatusViewController* status, const QString& identifier)
{
  return status != nullptr && status->currentStatusItem() != nullptr &&
         status->currentStatusItem()->identifier() == identifier && !status->isAnimating();
}

ZPHStatusViewController* statusOf(ZPHMainWindowController* window)
{
  return window != nullptr ? window->statusViewController() : nullptr;
}

}  // namespace

void ZPHScreenshotScript::startSteps()
{
  ZPHAppDelegate* delegate = m_delegate;
  ZPHMainWindowController* window = delegate->mainWindowController();
  ZPHStatusViewController* status = statusOf(window);
  ZPHSourceListViewController* sourceList = window != nullptr ? window->sourceListViewController() : nullptr;
  addAction([this] { shapeStore(); });
  addAction([this] { warmFavicons(); });
  if (offline()) {
    addStep([status] { return statusShows(status, ZPHNetworkController::StatusItemIdentifier); });
  } else {
    // The first refresh, and what it handed to the store.
    addStep([this, delegate] { return m_sessionsEnded >= 1 && !delegate->refreshInProgress() && storeIdle(); },
            [this] { markRead(); });
    addStep([this] { return storeIdle() && waited(1000); });
  }
  addStep(
      [this] {
        // The favicons asked for, or a few seconds.
        return CBOperationController::sharedDownloadOperationController()->numberOfOperations() == 0 || waited(5000);
      },
      [this] {
        if (m_state.value(QStringLiteral("hideRead")).toBool())
          CBPrefsSetBool(true, ZPHHideFeedsWithNoUnread);
        select();
      });
  addStep([this, sourceList] {
    return waited(300) &&
           (sourceList == nullptr || (!sourceList->isFilterReloadScheduled() && !sourceList->currentlyReloadingData()));
  });
}

void ZPHScreenshotScript::finalSteps()
{
  ZPHAppDelegate* delegate = m_delegate;
  ZPHMainWindowController* window = delegate->mainWindowController();
  ZPHStatusViewController* status = statusOf(window);
  if (!offline()) {
    addStep([status] {
      return status == nullptr || (status->orderedStatusItems().isEmpty() && status->pendingStepCount() == 0);
    });
    if (m_state.value(QStringLiteral("refresh")).toString() == QLatin1String("during")) {
      addAction([delegate] { delegate->refreshAll(); });
      addStep([status] { return statusShows(status, ZPHRefreshController::StatusItemIdentifier); });
    }
  }
  const QJsonObject bezel = m_state.value(QStringLiteral("bezel")).toObject();
  if (!bezel.isEmpty()) {
    addAction([window, bezel] {
      if (window != nullptr)
        window->showNotificationBezelWithText(bezel.value(QStringLiteral("text")).toString(),
                                              ZPHNamedImage(bezel.value(QStringLiteral("image")).toString()));
    });
    addStep([this] { return waited(600); });
  }
}

void ZPHScreenshotScript::poll()
{
  while (m_next < m_steps.size()) {
    if (now() - m_startedAt > Deadline) {
      qCWarning(zphShell) << "the screenshot's state did not come in time; the window is written as it is";
      break;
    }
    Step& step = m_steps[m_next];
    if (!step.ready()) {
      QTimer::singleShot(PollInterval, this, &ZPHScreenshotScript::poll);
      return;
    }
    if (step.action)
      step.action();
    ++m_next;
    m_stepStartedAt = now();
  }
  m_steps.clear();
  if (m_takePicture)
    m_takePicture();
}

void ZPHScreenshotScript::shapeStore()
{
  CBDataController* data = m_delegate->dataController();
  CBDataAccount* account = data != nullptr ? data->localAccount() : nullptr;
  if (account == nullptr)
    return;
  for (const QJsonValue& value : m_state.value(QStringLiteral("folders")).toArray()) {
    const QJsonObject spec = value.toObject();
    const QString name = spec.value(QStringLiteral("name")).toString();
    if (name.isEmpty())
      continue;
    CBFolder* folder = account->addFolderWithName(name);
    const CBTreeNode::Pointer folderNode =
        folder != nullptr ? account->treeNodeForFolderWithGUID(folder->guid()) : nullptr;
    if (folderNode == nullptr)
      continue;
    for (CBFeed* feed : feedsNamed(account, strings(spec.value(QStringLiteral("feeds"))))) {
      const CBTreeNode::List topLevel = account->accountTreeNode()->children();
      for (const CBTreeNode::Pointer& node : topLevel) {
        if (node->representedNode() == feed) {
          folderNode->moveChild(node);
          break;
        }
      }
      feed->setParent(folder);
      feed->setParentguid(folder->guid());
    }
    folderNode->sweepChildIndices(true);
    account->accountTreeNode()->sweepChildIndices(true);
    const bool open = spec.value(QStringLiteral("open")).toBool(true);
    folder->setExpanded(open);
    folderNode->setExpanded(open);
  }
  for (CBFeed* feed : feedsNamed(account, strings(m_state.value(QStringLiteral("favorites")))))
    feed->operation_only_markAsFavorite(true);
  for (CBFeed* feed : feedsNamed(account, strings(m_state.value(QStringLiteral("suspended")))))
    feed->setSuspended(true);
  account->saveMOC();
  if (CBGlobalAccount* global = CBGlobalAccount::globalAccount()) {
    if (m_state.value(QStringLiteral("openFavorites")).toBool()) {
      ZPHUserDefaults::standardUserDefaults().setBool(ZPHExpandFavoritesKey, true);
      if (global->favoritesGroup()->treeNode() != nullptr)
        global->favoritesGroup()->treeNode()->setExpanded(true);
    }
    global->favoritesGroup()->zph_updateChildren();
  }
  account->markAllUnreadCountsAsInvalid();
  data->updateAllUnreadCountsOnMainThread();
  if (ZPHMainWindowController* window = m_delegate->mainWindowController())
    window->sourceListViewController()->refreshDataCacheReloadDataAndPreserveCurrentSelection();
}

void ZPHScreenshotScript::warmFavicons()
{
  // Favicons found by an earlier run that left before they came.
  CBDataAccount* account = m_delegate->dataController() ? m_delegate->dataController()->localAccount() : nullptr;
  ZPHFeedIngestionInterface* ingestion = ZPHFeedIngestionInterface::shared();
  if (account == nullptr || ingestion == nullptr)
    return;
  for (CBFeed* feed : account->feeds()) {
    if (!feed->homePageURL().isEmpty() && !FRNHCGUtils::hasCachedImageForFeed(feed->homePageURL(), feed->faviconURL()))
      ingestion->updateBestFaviconURLForHomePageURL(feed->homePageURL());
  }
}

void ZPHScreenshotScript::markRead()
{
  const QJsonValue which = m_state.value(QStringLiteral("markRead"));
  CBDataAccount* account = m_delegate->dataController() ? m_delegate->dataController()->localAccount() : nullptr;
  if (account == nullptr || which.isUndefined())
    return;
  const QList<CBFeed*> feeds =
      which.toString() == QLatin1String("all") ? account->feeds() : feedsNamed(account, strings(which));
  QList<ZPHRepresentedObject> objects;
  for (CBFeed* feed : feeds) objects.append(static_cast<CBNode*>(feed));
  if (!objects.isEmpty())
    m_delegate->performUndoableOperation(
        ZPHMarkAllAsReadOperation::operationWithTreeNodeRepresentedObjects(objects, true));
}

void ZPHScreenshotScript::select()
{
  ZPHMainWindowController* window = m_delegate->mainWindowController();
  const QString which = m_state.value(QStringLiteral("select")).toString();
  CBDataAccount* account = m_delegate->dataController() ? m_delegate->dataController()->localAccount() : nullptr;
  if (window == nullptr || which.isEmpty() || account == nullptr)
    return;
  if (which.startsWith(QLatin1String("folder:"))) {
    for (CBFolder* folder : account->folders()) {
      if (folder->nameForDisplay() == which.mid(7)) {
        window->sourceListViewController()->selectRepresentedObject(static_cast<CBNode*>(folder), true);
        return;
      }
    }
    return;
  }
  const QList<CBFeed*> feeds = feedsNamed(account, {which});
  if (!feeds.isEmpty())
    window->sourceListViewController()->selectRepresentedObject(static_cast<CBNode*>(feeds.constFirst()), true);
}

// ---- The article list

namespace {

// The row of the first article whose title holds the text; -1 for none.
int rowOf(ZPHArticleListDelegate* list, const QString& text)
{
  ZPHArticleListModel* model = list->articleListModel();
  for (int row = 0; row < model->rowCount(); ++row) {
    const CBDataArticle* article = model->articleAtRow(row);
    if (article != nullptr && article->title().contains(text))
      return row;
  }
  return -1;
}

// The table of the list's layout, if it shows one.
ZPHArticleListTableView* tableOf(ZPHArticleListDelegate* list)
{
  ZPHReadingLayoutViewController* layout = list->currentLayoutViewController();
  return layout != nullptr ? qobject_cast<ZPHArticleListTableView*>(layout->controlView()) : nullptr;
}

// The article page of the list's layout, if it shows one.
ZPHWebArticleDetailPane* articlePaneOf(ZPHArticleListDelegate* list)
{
  ZPHReadingLayoutViewController* layout = list->currentLayoutViewController();
  return layout != nullptr ? qobject_cast<ZPHWebArticleDetailPane*>(layout->detailViewController()) : nullptr;
}

// A copy of a picture over the main window, where nothing takes its clicks.
QLabel* pinCopy(QWidget* main, const QPixmap& picture, const QRect& frame)
{
  auto* copy = new QLabel(main);
  copy->setObjectName(QStringLiteral("ZPHScreenshotCopy"));
  copy->setPixmap(picture);
  copy->setGeometry(frame);
  copy->setAttribute(Qt::WA_TransparentForMouseEvents);
  copy->show();
  copy->raise();
  return copy;
}

}  // namespace

void ZPHScreenshotScript::articleListSteps()
{
  ZPHMainWindowController* window = m_delegate->mainWindowController();
  ZPHArticleListDelegate* list = window != nullptr ? window->articleListDelegate() : nullptr;
  if (list == nullptr)
    return;
  if (m_state.contains(QStringLiteral("layout"))) {
    const int layout = m_state.value(QStringLiteral("layout")).toInt();
    addAction([layout] { ZPHUserDefaults::standardUserDefaults().setInteger(ZPHContentLayoutMode, layout); });
  }
  addStep([this, list] { return waited(300) && !list->articleListController()->isUpdating(); });
  bookmarkSteps(list);
  readArticleSteps(list);
  articleFindSteps(list);
  searchSteps(window, list);
  // The thumbnails and favicons the rows asked for, or a few seconds.
  addStep([this] { return downloadsSettled(); });
  listMenuSteps(window, list);
}

void ZPHScreenshotScript::bookmarkSteps(ZPHArticleListDelegate* list)
{
  const QStringList bookmarks = strings(m_state.value(QStringLiteral("bookmark")));
  if (bookmarks.isEmpty())
    return;
  addAction([list, bookmarks] {
    QList<CBDataArticle*> articles;
    for (const QString& text : bookmarks) {
      if (CBDataArticle* article = list->articleListModel()->articleAtRow(rowOf(list, text)))
        articles.append(article);
    }
    CBDataArticle::markArticlesAsFlagged(articles, true);
  });
  addStep([this] { return waited(800) && storeIdle(); });
}

void ZPHScreenshotScript::readArticleSteps(ZPHArticleListDelegate* list)
{
  const QString read = m_state.value(QStringLiteral("readArticle")).toString();
  if (read.isEmpty())
    return;
  addAction([list, read] {
    const int row = rowOf(list, read);
    if (ZPHArticleListTableView* view = tableOf(list); view != nullptr && row >= 0) {
      view->setFocus(Qt::OtherFocusReason);
      view->selectRow(row, true);
    }
  });
  addStep([this] { return waited(800); });
  // The article's page in, with its pictures.
  addStep([this, list] {
    ZPHReadingLayoutViewController* layout = list->currentLayoutViewController();
    return waited(20000) || (layout != nullptr && !layout->awaitingMainFrameLoadingComplete());
  });
  addStep([this] { return downloadsSettled(); });
}

void ZPHScreenshotScript::articleFindSteps(ZPHArticleListDelegate* list)
{
  const QString find = m_state.value(QStringLiteral("find")).toString();
  if (find.isEmpty())
    return;
  const auto findBar = [list]() -> ZPHMacWebViewFindBarViewController* {
    ZPHWebArticleDetailPane* pane = articlePaneOf(list);
    return pane != nullptr ? pane->paneView()->findBarViewController() : nullptr;
  };
  addAction([list, find, findBar] {
    ZPHWebArticleDetailPane* pane = articlePaneOf(list);
    if (pane == nullptr)
      return;
    pane->paneView()->showFindPanelAnimated(false);
    findBar()->triggerSearchFor(find);
  });
  addStep([this, findBar] {
    return waited(5000) || (waited(500) && findBar() != nullptr && !findBar()->numberOfMatchesString().isEmpty());
  });
}

void ZPHScreenshotScript::searchSteps(ZPHMainWindowController* window, ZPHArticleListDelegate* list)
{
  const QJsonObject search = m_state.value(QStringLiteral("search")).toObject();
  if (search.isEmpty())
    return;
  addAction([window, search] {
    window->searchField()->setFocus(Qt::OtherFocusReason);
    window->searchField()->setText(search.value(QStringLiteral("text")).toString());
    window->searchWindowController()->searchEntered();
    const int type = search.value(QStringLiteral("type")).toInt();
    if (type != 0)
      window->searchWindowController()->executeSearchWithType(type);
  });
  addStep([this, list] { return waited(500) && list->showingSearchResultSet(); });
}

void ZPHScreenshotScript::listMenuSteps(ZPHMainWindowController* window, ZPHArticleListDelegate* list)
{
  const QString menu = m_state.value(QStringLiteral("contextMenu")).toString();
  if (menu.isEmpty())
    return;
  addAction([window, list, menu] {
    ZPHArticleListTableView* view = tableOf(list);
    const int row = rowOf(list, menu);
    if (view == nullptr || row < 0)
      return;
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    QContextMenuEvent event(QContextMenuEvent::Mouse, rect.center() - QPoint(rect.width() / 4, 0),
                            view->viewport()->mapToGlobal(rect.center() - QPoint(rect.width() / 4, 0)));
    QCoreApplication::sendEvent(view->viewport(), &event);
    // A menu is a window of its own: the picture of the main window shows
    // a copy of it where it stands.
    ZPHTableViewContextualMenu* shown = view->contextualMenu();
    if (!shown->isVisible())
      return;
    QRect frame(window->window()->mapFromGlobal(shown->pos()), shown->size());
    // Inside the window, as the desktop keeps a menu on screen.
    frame.moveBottom(qMin(frame.bottom(), window->window()->height() - 4));
    pinCopy(window->window(), shown->grab(), frame);
  });
  addStep([this] { return waited(300); });
}

// ---- The source list's commands, the toolbar and sharing

namespace {

// A menu or a sheet is a window of its own: the picture of the main window
// shows a copy of it where it stands, kept inside the window.
void showCopy(ZPHMainWindowController* window, QWidget* shown, QPoint topLeft)
{
  QWidget* main = window->window();
  QRect frame(topLeft, shown->size());
  frame.moveRight(qMin(frame.right(), main->width() - 4));
  frame.moveBottom(qMin(frame.bottom(), main->height() - 4));
  pinCopy(main, shown->grab(), frame);
}

// Where a sheet shows: centred under the toolbar.
QPoint sheetOrigin(ZPHMainWindowController* window, QWidget* sheet)
{
  QWidget* main = window->window();
  const int top = window->toolbar() != nullptr ? window->toolbar()->geometry().bottom() : 0;
  return QPoint((main->width() - sheet->width()) / 2, top);
}

// A menu opened where it would pop up, shown as a copy at `topLeft`, closed.
void showMenuCopy(ZPHMainWindowController* window, QMenu* menu, QPoint globalPosition, QPoint topLeft)
{
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(globalPosition);
  showCopy(window, menu, topLeft);
  menu->close();
}

}  // namespace

void ZPHScreenshotScript::commandSteps()
{
  ZPHMainWindowController* window = m_delegate->mainWindowController();
  if (window == nullptr)
    return;
  sourceListSteps(window);
  toolbarSteps(window);
  sharingSteps(window);
  addStep([this] { return waited(200); });
}

void ZPHScreenshotScript::sourceListSteps(ZPHMainWindowController* window)
{
  ZPHSourceListViewController* sourceList = window->sourceListViewController();
  if (m_state.value(QStringLiteral("sourceListMenu")).toBool()) {
    addAction([window, sourceList] {
      ZPHSourceListView* outline = sourceList->sourceListOutlineView();
      const QList<int> rows = sourceList->selectedRows();
      if (rows.isEmpty())
        return;
      QMenu* menu = sourceList->commands()->contextualMenuForRow(rows.first(), outline);
      if (menu == nullptr)
        return;
      const QRect rect = outline->visualRect(sourceList->indexForRow(rows.first()));
      showMenuCopy(window, menu, outline->viewport()->mapToGlobal(rect.center()),
                   outline->viewport()->mapTo(window->window(), rect.center()));
    });
  }
  if (m_state.value(QStringLiteral("gearMenu")).toBool()) {
    addAction([window, sourceList] {
      CBPopupButton* gear = sourceList->contextMenuPopUpButton();
      QMenu* menu = sourceList->commands()->gearButtonMenu(gear);
      const QPoint offset(0, -menu->sizeHint().height());
      showMenuCopy(window, menu, gear->mapToGlobal(offset), gear->mapTo(window->window(), offset));
    });
  }
  if (m_state.value(QStringLiteral("remove")).toBool()) {
    addAction([sourceList] { sourceList->commands()->deleteSelectedFeedsAndFolders(); });
    addStep(
        [this, sourceList] { return sourceList->commands()->deletionConfirmationSheet() != nullptr && waited(300); },
        [window, sourceList] {
          QMessageBox* sheet = sourceList->commands()->deletionConfirmationSheet();
          showCopy(window, sheet, sheetOrigin(window, sheet));
        });
  }
  if (m_state.value(QStringLiteral("rename")).toBool())
    addAction([sourceList] { sourceList->commands()->performCommand(QStringLiteral("renameEntry:")); });
}

void ZPHScreenshotScript::toolbarSteps(ZPHMainWindowController* window)
{
  const int toolbarMode = m_state.value(QStringLiteral("toolbarMode")).toInt();
  if (toolbarMode != 0)
    addAction([window, toolbarMode] {
      window->toolbarController()->setDisplayMode(ZPHMainWindowToolbarController::DisplayMode(toolbarMode));
    });
  if (m_state.value(QStringLiteral("toolbarMenu")).toBool()) {
    addStep([window] { return window->toolbar() != nullptr; },
            [window] {
              QToolBar* bar = window->toolbar();
              QMenu* menu = window->toolbarController()->contextMenu(bar);
              const QPoint inside(bar->width() / 3, bar->height() / 2);
              showMenuCopy(window, menu, bar->mapToGlobal(inside), bar->mapTo(window->window(), inside));
            });
  }
  if (m_state.value(QStringLiteral("customizeToolbar")).toBool()) {
    addAction([window] { window->toolbarController()->runCustomizationSheet(); });
    addStep([this, window] { return window->toolbarController()->customizationSheet() != nullptr && waited(300); },
            [window] {
              ZPHToolbarCustomizationSheet* sheet = window->toolbarController()->customizationSheet();
              showCopy(window, sheet, sheetOrigin(window, sheet));
            });
  }
}

// "sharePopover": "toolbar" (the popover at Share) or "page" (at the
// article page's share control); "shareSavedLogin": true (a read-later
// login kept, so its row has the clear button); "shareLogin": true (the
// read-later login in the popover, refused); "shareSubmenu": true (the
// list's menu of "contextMenu" with its Share submenu open); "shareLink":
// an address the toolbar's popover shares instead of the article.
void ZPHScreenshotScript::sharingSteps(ZPHMainWindowController* window)
{
  const QString sharePopover = m_state.value(QStringLiteral("sharePopover")).toString();
  const QString shareLink = m_state.value(QStringLiteral("shareLink")).toString();
  if (m_state.value(QStringLiteral("shareSavedLogin")).toBool())
    addAction([] { ZPHPluginCommandSendToInstapaper::setSavedUsername(QStringLiteral("reader@example.com")); });
  if (sharePopover == QLatin1String("toolbar")) {
    addStep([window] { return window->presentedSharableItemPopoverRelativeView() != nullptr; },
            [window, shareLink] {
              if (shareLink.isEmpty()) {
                window->toolbarController()->shareButtonPressed();
                return;
              }
              ZPHSharingPopoverViewController::sharingPopoverViewController()->togglePopoverForItem(
                  CBSharableItem::sharableItemWithURL(QUrl(shareLink), QUrl(), QStringLiteral("A link")),
                  window->presentedSharableItemPopoverRelativeView());
            });
  } else if (sharePopover == QLatin1String("page")) {
    addStep([this] { return waited(500); },
            [window] {
              ZPHWebArticleDetailPane* pane = articlePaneOf(window->articleListDelegate());
              ZPHArticleDetailViewController* page = pane != nullptr ? pane->detailViewController() : nullptr;
              if (page != nullptr && page->webView() != nullptr)
                page->webView()->page()->runJavaScript(
                    QStringLiteral("var c = document.getElementById('shareControl'); if (c) c.click();"),
                    QWebEngineScript::ApplicationWorld);
            });
  }
  if (m_state.value(QStringLiteral("shareLogin")).toBool())
    shareLoginSteps();
  if (!sharePopover.isEmpty())
    addStep(
        [this] { return waited(800) && ZPHSharingPopoverViewController::sharingPopoverViewController()->isShown(); },
        [window] {
          QWidget* shown = ZPHSharingPopoverViewController::sharingPopoverViewController()->popover();
          showCopy(window, shown, window->window()->mapFromGlobal(shown->pos()));
        });
  if (m_state.value(QStringLiteral("shareSubmenu")).toBool()) {
    addStep([this] { return waited(300); },
            [window] {
              ZPHArticleListTableView* table = tableOf(window->articleListDelegate());
              QMenu* menu = table != nullptr ? table->contextualMenu() : nullptr;
              if (menu == nullptr)
                return;
              for (QAction* action : menu->actions()) {
                if (action->menu() == nullptr)
                  continue;
                QMenu* share = action->menu();
                const QRect item = menu->actionGeometry(action);
                const QPoint at = menu->mapToGlobal(QPoint(item.right() - 4, item.top()));
                share->popup(at);
                showCopy(window, share, window->window()->mapFromGlobal(at));
                share->close();
              }
            });
  }
}

void ZPHScreenshotScript::shareLoginSteps()
{
  addStep([this] { return waited(300) && ZPHSharingPopoverViewController::sharingPopoverViewController()->isShown(); },
          [] {
            auto* command = ZPHPluginManager::sharedManager()->pluginCommandOfClass<ZPHPluginCommandSendToInstapaper>();
            if (command != nullptr)
              ZPHSharingPopoverViewController::sharingPopoverViewController()->runPlugin(command->commandID());
          });
  addStep([this] { return waited(300); },
          [] {
            auto* command = ZPHPluginManager::sharedManager()->pluginCommandOfClass<ZPHPluginCommandSendToInstapaper>();
            if (ZPHInstapaperLoginViewController* login =
                    command != nullptr ? command->instapaperLoginViewController() : nullptr) {
              login->setEmailAddress(QStringLiteral("reader@example.com"));
              login->setPassword(QStringLiteral("not-the-password"));
              login->setErrorMessage(ZPHSharingIncorrectCredentialsMessage());
              login->focusPasswordFieldAndSelect();
            }
          });
}

// ---- Browser tabs

void ZPHScreenshotScript::tabSteps()
{
  const QJsonObject spec = m_state.value(QStringLiteral("tabs")).toObject();
  ZPHMainWindowController* window = m_delegate->mainWindowController();
  ZPHTabsController* tabs = window != nullptr ? window->tabsController() : nullptr;
  if (spec.isEmpty() || tabs == nullptr)
    return;
  // The pages come from the site of the feed named.
  QUrl origin;
  CBDataController* data = m_delegate->dataController();
  const QList<CBFeed*> feeds = data != nullptr
                                   ? feedsNamed(data->localAccount(), {spec.value(QStringLiteral("site")).toString()})
                                   : QList<CBFeed*>();
  if (!feeds.isEmpty())
    origin = feeds.first()->URL().resolved(QUrl(QStringLiteral("/")));
  ZPHAppDelegate* delegate = m_delegate;
  addAction([spec, delegate] {
    if (spec.value(QStringLiteral("labels")).toBool())
      ZPHUserDefaults::standardUserDefaults().setInteger(ZPHBrowserTabsViewState, 1);
    if (spec.contains(QStringLiteral("visibility")))
      delegate->tabCommands()->setTabsVisibility(spec.value(QStringLiteral("visibility")).toInt());
  });
  // Each page shown until it has loaded and been pictured.
  const auto loaded = [tabs] {
    ZPHBrowserTab* tab = tabs->currentBrowserTab();
    return tab != nullptr && tab->browserViewController() != nullptr &&
           !tab->browserViewController()->pageLoadInProgress() && !tab->displayURL().isEmpty() &&
           tab->webView() != nullptr && !tab->webView()->title().isEmpty();
  };
  for (const QString& path : strings(spec.value(QStringLiteral("open")))) {
    const QString address = origin.resolved(QUrl(path)).toString();
    addAction([tabs, address] { tabs->openURLStringInNewTab(address, true, false); });
    addStep([this, loaded, tabs] {
      return waited(15000) || (loaded() && waited(2500) &&
                               !tabs->thumbnailingController()->thumbnailForTab(tabs->currentBrowserTab()).isNull());
    });
  }
  const int show = spec.value(QStringLiteral("show")).toInt();
  addAction([tabs, show] { tabs->selectTabAtIndex(std::clamp<qsizetype>(show, 0, tabs->numberOfTabs() - 1)); });
  addStep([this] { return waited(1500); });
  if (const QString find = spec.value(QStringLiteral("find")).toString(); !find.isEmpty())
    tabFindSteps(tabs, find);
  if (spec.value(QStringLiteral("feedMenu")).toBool())
    tabFeedMenuSteps(window, tabs);
  addStep([this] { return waited(500); });
}

void ZPHScreenshotScript::tabFindSteps(ZPHTabsController* tabs, const QString& find)
{
  addAction([tabs, find] {
    if (ZPHBrowserViewController* browser = tabs->currentBrowserViewController()) {
      browser->contentView()->showFindPanelAnimated(false);
      browser->findBarViewController()->triggerSearchFor(find);
    }
  });
  addStep([this, tabs] {
    ZPHBrowserViewController* browser = tabs->currentBrowserViewController();
    return waited(5000) ||
           (waited(500) && browser != nullptr && !browser->findBarViewController()->numberOfMatchesString().isEmpty());
  });
}

void ZPHScreenshotScript::tabFeedMenuSteps(ZPHMainWindowController* window, ZPHTabsController* tabs)
{
  addStep(
      [this, tabs] {
        ZPHBrowserViewController* browser = tabs->currentBrowserViewController();
        return waited(8000) || (browser != nullptr && !browser->feedLinks().isEmpty());
      },
      [window, tabs] {
        ZPHBrowserViewController* browser = tabs->currentBrowserViewController();
        if (browser == nullptr)
          return;
        ZPHFeedPopupButton* button = browser->addressField()->addButton();
        QMenu* menu = button->menuForPopupButton(window->window());
        if (menu == nullptr)
          return;
        // A menu is a window of its own: the picture of the main window
        // shows a copy of it where it would stand, under the button.
        menu->adjustSize();
        const QPoint anchor =
            button->mapTo(window->window(), QPoint(button->width() - menu->width(), button->height() + 2));
        pinCopy(window->window(), menu->grab(), QRect(anchor, menu->size()));
        menu->deleteLater();
      });
  addStep([this] { return waited(300); });
}

// ------------------------------------------------ adding sites and imports

namespace {

// A window of its own shows in the picture as a copy of it, under the
// toolbar and centred.
void showSheetCopy(ZPHMainWindowController* window, QWidget* sheet)
{
  pinCopy(window->window(), sheet->grab(), QRect(sheetOrigin(window, sheet), sheet->size()));
}

// The main window as it is now, over itself: what comes later (a bezel
// fading) leaves the picture as it is.
void freezeWindow(ZPHMainWindowController* window)
{
  QWidget* main = window->window();
  pinCopy(main, main->grab(), main->rect());
}

// The errors of `count` sites that could not be added.
ZPHFeedSubscriptionResults failedSubscriptions(int count)
{
  ZPHFeedSubscriptionResults results;
  const QStringList names = {QStringLiteral("Harbor Notes"),
                             QString(),
                             QStringLiteral("Copper <b>Lantern</b>"),
                             QStringLiteral("Meadow Review"),
                             QString(),
                             QStringLiteral("Quartz Weekly"),
                             QStringLiteral("Night Owl"),
                             QStringLiteral("Tide Tables")};
  for (int i = 0; i < count; ++i) {
    auto request =
        std::make_shared<ZPHSubscribeRequest>(QUrl(QStringLiteral("https://site%1.example.org/feed.xml").arg(i + 1)));
    request->setTitle(names.value(i % names.size()));
    auto result = std::make_shared<ZPHFeedSubscriptionResult>(request);
    const QString suggestion =
        i % 2 == 0 ? ZPHFeedFinder::noFeedFoundErrorString() : ZPHFeedFinder::siteNotAccessibleErrorString();
    result->setError(ZPHErrors::errorWithCode(
        ZPHSubscriberErrorFinderFailed,
        QStringLiteral("There was a problem adding %1.").arg(ZPHFeedFinderFeedNameUncapitalizedPlaceholder),
        {{ZPHLocalizedRecoverySuggestionKey, suggestion}}));
    results.append(result);
  }
  return results;
}

}  // namespace

void ZPHScreenshotScript::subscriptionSteps()
{
  ZPHMainWindowController* window = m_delegate->mainWindowController();
  ZPHSubscriptionCommands* commands = m_delegate->subscriptionCommands();
  if (window == nullptr || commands == nullptr)
    return;
  if (m_state.contains(QStringLiteral("addSite")))
    addSiteSteps(window, commands);
  subscriptionErrorSteps(window);
  if (m_state.contains(QStringLiteral("addFolder")))
    addFolderSteps(window, commands);
  importSteps(window, commands);
}

void ZPHScreenshotScript::addSiteSteps(ZPHMainWindowController* window, ZPHSubscriptionCommands* commands)
{
  const QJsonObject addSite = m_state.value(QStringLiteral("addSite")).toObject();
  const int pane = addSite.value(QStringLiteral("pane")).toInt();
  addAction([commands, pane] {
    if (pane == 1)
      commands->addPopularSites();
    else
      commands->addSite(QString(), false, true);
  });
  addStep([this, commands] { return commands->addSiteWindowController() != nullptr && waited(400); },
          [commands, addSite] {
            ZPHAddSiteAddressContentViewController* address =
                commands->addSiteWindowController()->addressContentViewController();
            const QString text = addSite.value(QStringLiteral("address")).toString();
            if (!text.isEmpty())
              address->urlStringTextView()->setPlainText(text);
            if (addSite.value(QStringLiteral("search")).toBool())
              address->addSitesAction();
          });
  const QString until = addSite.value(QStringLiteral("until")).toString();
  if (!until.isEmpty()) {
    addStep([commands, until] {
      ZPHAddSiteWindowController* controller = commands->addSiteWindowController();
      const int state = controller != nullptr ? controller->addressContentViewController()->state() : 0;
      return until == QLatin1String("found") ? state == 5 : state == 3;
    });
  }
  addStep([this] { return waited(500); },
          [window, commands] {
            if (ZPHAddSiteWindowController* controller = commands->addSiteWindowController())
              showSheetCopy(window, controller->window());
          });
}

void ZPHScreenshotScript::subscriptionErrorSteps(ZPHMainWindowController* window)
{
  const int failures = m_state.value(QStringLiteral("subscriptionErrors")).toInt();
  if (failures <= 0)
    return;
  addAction([window, failures] {
    ZPHAddSitesSubscriptionErrorViewController::presentSubscriptionErrorsForSubscribeResults(
        failedSubscriptions(failures), window->window(), {});
  });
  addStep([this] { return ZPHAddSitesSubscriptionErrorViewController::currentSheet() != nullptr && waited(400); },
          [window] { showSheetCopy(window, ZPHAddSitesSubscriptionErrorViewController::currentSheet()); });
}

void ZPHScreenshotScript::addFolderSteps(ZPHMainWindowController* window, ZPHSubscriptionCommands* commands)
{
  const QString name = m_state.value(QStringLiteral("addFolder")).toString();
  addAction([commands] { commands->addFolder(); });
  addStep([this, commands] { return commands->addFolderWindowController() != nullptr && waited(300); },
          [window, commands, name] {
            ZPHAddFolderWindowController* sheet = commands->addFolderWindowController();
            sheet->setFolderName(name);
            showSheetCopy(window, sheet->window());
          });
}

void ZPHScreenshotScript::importSteps(ZPHMainWindowController* window, ZPHSubscriptionCommands* commands)
{
  if (m_state.contains(QStringLiteral("importing"))) {
    const double progress = m_state.value(QStringLiteral("importing")).toDouble();
    addAction([this, progress] {
      auto item = ZPHDeterminateProgressStatusItem::determinateProgressStatusItemWithLocalizedDescription(
          QCoreApplication::translate("ZPHImportOPMLController", "Importing OPML\u2026"),
          ZPHImportOPMLController::statusItemIdentifierForPath(QStringLiteral("/screenshot.opml")));
      item->setProgressValue(progress);
      m_delegate->addStatusItem(item, {});
    });
    addStep([this] { return waited(1500); });
  }
  const QString importFile = m_state.value(QStringLiteral("importFile")).toString();
  if (importFile.isEmpty())
    return;
  addAction([commands, importFile] { commands->importFeedsFromOPMLFileAtPath(importFile); });
  addStep(
      [this, commands] {
        ZPHImportOPMLController* import = commands->importOPMLController();
        return import != nullptr && (!import->isImporting() || import->errorAlert() != nullptr) && waited(600);
      },
      [window, commands] {
        if (QMessageBox* alert = commands->importOPMLController()->errorAlert())
          showSheetCopy(window, alert);
      });
  // The import's bezel: the window as it shows it is what the picture keeps
  // (the bezel fades before the steps after this one are through).
  addStep(
      [this, window] {
        ZPHNotificationBezelWindowController* bezel = window->notificationBezelWindowController();
        return (bezel != nullptr && bezel->isShowingBezel() && waited(500)) || waited(3000);
      },
      [window] {
        ZPHNotificationBezelWindowController* bezel = window->notificationBezelWindowController();
        if (bezel != nullptr && bezel->isShowingBezel())
          freezeWindow(window);
      });
}

// MARK: - Menus, badge and windows

namespace {

// A window's picture under a plain title bar with its title, as a desktop
// would frame it.
QPixmap pictureWithTitleBar(QWidget* window)
{
  const QPixmap content = window->grab();
  const int bar = 26;
  QPixmap framed(content.width(), content.height() + bar);
  framed.fill(Qt::transparent);
  QPainter painter(&framed);
  QLinearGradient gradient(0, 0, 0, bar);
  gradient.setColorAt(0, QColor(232, 232, 232));
  gradient.setColorAt(1, QColor(208, 208, 208));
  painter.fillRect(QRect(0, 0, content.width(), bar), gradient);
  painter.setPen(QColor(60, 60, 60));
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRect(0, 0, content.width(), bar), Qt::AlignCenter, window->windowTitle());
  painter.drawPixmap(0, bar, content);
  painter.setPen(QColor(150, 150, 150));
  painter.drawRect(framed.rect().adjusted(0, 0, -1, -1));
  return framed;
}

// A copy of a picture over the main window at `topLeft`, kept inside it.
void showPictureOver(QWidget* main, const QPixmap& picture, QPoint topLeft)
{
  QRect frame(topLeft, picture.size() / picture.devicePixelRatio());
  frame.moveRight(qMin(frame.right(), main->width() - 4));
  frame.moveBottom(qMin(frame.bottom(), main->height() - 4));
  frame.moveLeft(qMax(frame.left(), 4));
  frame.moveTop(qMax(frame.top(), 0));
  pinCopy(main, picture, frame);
}

// Where a picture stands centred over the main window.
QPoint centredOver(ZPHMainWindowController* window, const QPixmap& picture)
{
  QWidget* main = window->window();
  return QPoint((main->width() - picture.width()) / 2, (main->height() - picture.height()) / 2);
}

// A window's picture with its title bar, centred over the main window.
void showFramedCopy(ZPHMainWindowController* window, QWidget* shown)
{
  const QPixmap picture = pictureWithTitleBar(shown);
  showPictureOver(window->window(), picture, centredOver(window, picture));
}

// The About window's picture; with the license agreement, the sheet slides
// out under its title.
QPixmap aboutPicture(bool agreement)
{
  FRNHAboutWindowController* about = FRNHAboutWindowController::sharedAboutWindowController();
  QPixmap picture = pictureWithTitleBar(about->window());
  if (!agreement)
    return picture;
  QWidget* sheet = FRNHLicenseAgreementWindowController::sharedWindowController()->window();
  const QPixmap agreementPicture = sheet->grab();
  QPixmap both(qMax(picture.width(), agreementPicture.width()),
               26 + qMax(picture.height() - 26, agreementPicture.height()));
  both.fill(Qt::transparent);
  QPainter painter(&both);
  painter.drawPixmap((both.width() - picture.width()) / 2, 0, picture);
  painter.drawPixmap((both.width() - agreementPicture.width()) / 2, 26, agreementPicture);
  painter.end();
  return both;
}

}  // namespace

void ZPHScreenshotScript::menusAndWindowsSteps()
{
  ZPHMainWindowController* window = m_delegate->mainWindowController();
  if (window == nullptr)
    return;
  if (m_state.value(QStringLiteral("titleBar")).toBool())
    titleBarSteps(window);
  if (m_state.value(QStringLiteral("siteMenu")).toBool())
    siteMenuSteps(window);
  if (m_state.value(QStringLiteral("stylePopover")).toBool())
    stylePopoverSteps(window);
  preferencesSteps(window);
  questionSheetSteps(window);
  if (m_state.value(QStringLiteral("welcome")).toBool())
    welcomeSteps(window);
  if (m_state.value(QStringLiteral("mailNotOpened")).toBool())
    mailNotOpenedSteps(window);
  if (m_state.value(QStringLiteral("about")).toBool())
    aboutSteps(window);
}

void ZPHScreenshotScript::titleBarSteps(ZPHMainWindowController* window)
{
  addStep([this] { return waited(300); },
          [window] {
            // The window as the desktop frames it: its title ("Zephlin
            // (12)") over it, the picture made to fit.
            QMainWindow* main = window->window();
            const QPixmap framed = pictureWithTitleBar(main);
            QLabel* copy =
                pinCopy(main, framed.scaled(main->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation), main->rect());
            copy->setAlignment(Qt::AlignCenter);
            copy->setAutoFillBackground(true);
          });
}

void ZPHScreenshotScript::siteMenuSteps(ZPHMainWindowController* window)
{
  ZPHAppDelegate* delegate = m_delegate;
  addAction([delegate, window] {
    QMenu* site = delegate->mainMenuController()->menuNamed(QStringLiteral("siteMenu"));
    QMenuBar* bar = window->window()->menuBar();
    if (site == nullptr || bar == nullptr)
      return;
    Q_EMIT site->aboutToShow();
    const QRect item = bar->actionGeometry(site->menuAction());
    site->popup(bar->mapToGlobal(item.bottomLeft()));
    showPictureOver(window->window(), site->grab(), bar->mapTo(window->window(), item.bottomLeft()));
    site->close();
  });
}

void ZPHScreenshotScript::stylePopoverSteps(ZPHMainWindowController* window)
{
  addAction([window] {
    ZPHMainWindowToolbarController* toolbar = window->toolbarController();
    QWidget* style = nullptr;
    for (QWidget* widget : window->toolbar()->findChildren<QWidget*>())
      if (widget->objectName() == ZPHMainWindowToolbarController::ArticleThemeItemIdentifier)
        style = widget;
    toolbar->styleButtonPressed(style);
  });
  addStep([this] { return waited(400); },
          [window] {
            QFrame* popover = window->toolbarController()->stylePopoverViewController()->popover();
            if (!popover->isVisible())
              return;
            showPictureOver(window->window(), popover->grab(), window->window()->mapFromGlobal(popover->pos()));
            popover->hide();
          });
}

void ZPHScreenshotScript::preferencesSteps(ZPHMainWindowController* window)
{
  const QString pane = m_state.value(QStringLiteral("preferences")).toString();
  if (pane.isEmpty())
    return;
  ZPHAppDelegate* delegate = m_delegate;
  addAction([delegate, pane] {
    delegate->commandAction(QStringLiteral("openPreferencesWindow:"))->trigger();
    if (ZPHPreferenceWindowController* preferences = delegate->applicationCommands()->preferenceWindowController())
      preferences->selectItemAtIndex(pane == QLatin1String("Reading") ? 1 : 0);
  });
  addStep(
      [this, delegate] {
        ZPHPreferenceWindowController* preferences = delegate->applicationCommands()->preferenceWindowController();
        return preferences != nullptr && !preferences->isTransitionRunning() && waited(500);
      },
      [delegate, window] {
        QWidget* preferences = delegate->applicationCommands()->preferenceWindowController()->window();
        showFramedCopy(window, preferences);
        preferences->hide();
      });
}

void ZPHScreenshotScript::questionSheetSteps(ZPHMainWindowController* window)
{
  ZPHAppDelegate* delegate = m_delegate;
  const auto showSheet = [window](QWidget* sheet) {
    showPictureOver(window->window(), sheet->grab(), sheetOrigin(window, sheet));
  };
  const QString login = m_state.value(QStringLiteral("credentialsSheet")).toString();
  if (!login.isEmpty()) {
    addAction([delegate, login] {
      const QList<CBFeed*> feeds = feedsNamed(delegate->dataController()->localAccount(), {login});
      if (feeds.isEmpty())
        return;
      const QUrl url = feeds.first()->URL();
      ZPHNotificationCenter::defaultCenter().post(
          ZPHFeedRefreshChallengeReceivedNotification, url,
          {{CBURLKey, url}, {ZPHFeedRefreshChallengeTokenKey, QStringLiteral("screenshot")}});
    });
    addStep(
        [this, delegate] { return delegate->authenticationController()->credentialsSheet() != nullptr && waited(300); },
        [delegate, showSheet] { showSheet(delegate->authenticationController()->credentialsSheet()->sheetWindow()); });
  }
  if (m_state.value(QStringLiteral("mergeOrPurge")).toBool()) {
    addAction([] { ZPHNotificationCenter::defaultCenter().post(ZPHSyncMergeOrPurgeDataRequest); });
    addStep(
        [this, delegate] { return delegate->syncQuestionsController()->mergeOrPurgeSheet() != nullptr && waited(300); },
        [delegate, showSheet] { showSheet(delegate->syncQuestionsController()->mergeOrPurgeSheet()->sheetWindow()); });
  }
}

void ZPHScreenshotScript::welcomeSteps(ZPHMainWindowController* window)
{
  ZPHAppDelegate* delegate = m_delegate;
  addStep(
      [this, delegate] { return delegate->applicationCommands()->welcomeWindowController() != nullptr && waited(700); },
      [delegate, window] {
        showFramedCopy(window, delegate->applicationCommands()->welcomeWindowController()->window());
      });
}

void ZPHScreenshotScript::mailNotOpenedSteps(ZPHMainWindowController* window)
{
  // "Mail Link" with no mail program to take the message.
  QUrlQuery query;
  query.addQueryItem(QStringLiteral("subject"), m_state.value(QStringLiteral("readArticle")).toString());
  QUrl mail(QStringLiteral("mailto:"));
  mail.setQuery(query);
  ZPHAppDelegate* delegate = m_delegate;
  addAction([delegate, mail] { delegate->linkDidNotOpen(mail); });
  // Shown once the status area has taken it in, and a moment after.
  addStep([window] {
    const std::shared_ptr<ZPHStatusItem> shown = window->statusViewController()->currentStatusItem();
    return shown != nullptr && shown->identifier() == ZPHBrowserLauncher::StatusItemIdentifier;
  });
  addStep([this] { return waited(1500); });
}

void ZPHScreenshotScript::aboutSteps(ZPHMainWindowController* window)
{
  const bool agreement = m_state.value(QStringLiteral("agreement")).toBool();
  addAction([agreement] {
    FRNHAboutWindowController* about = FRNHAboutWindowController::sharedAboutWindowController();
    about->showWindow();
    if (agreement)
      about->showLicenseAgreement();
  });
  addStep([this] { return waited(400); },
          [window, agreement] {
            const QPixmap picture = aboutPicture(agreement);
            showPictureOver(window->window(), picture, centredOver(window, picture));
          });
}
