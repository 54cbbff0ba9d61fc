#include "shell/ZPHScreenshotScript.h"

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
    bool reachable)
{
  return std::make_unique<FixedReachability>(reachable);
}

void ZPHScreenshotScript::addStep(std::function<bool()> ready, std::function<void()> action)
{
  m_steps.push_back({std::move(ready), std::move(action)});
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

  ZPHMainWindowController* window = delegate->mainWindowController();
  // The window's size for the picture.
  if (const QJsonObject size = m_state.value(QStringLiteral("window")).toObject();
      !size.isEmpty() && delegate->mainWindow() != nullptr) {
    QMainWindow* main = delegate->mainWindow();
    main->resize(size.value(QStringLiteral("width")).toInt(main->width()),
                 size.value(QStringLiteral("height")).toInt(main->height()));
  }
  ZPHStatusViewController* status = window != nullptr ? window->statusViewController() : nullptr;
  ZPHSourceListViewController* sourceList = window != nullptr ? window->sourceListViewController() : nullptr;
  const auto storeIdle = [delegate] {
    return delegate->dataController() == nullptr || !delegate->dataController()->coreDataQueueHasOperations();
  };
  const auto waited = [this](qint64 milliseconds) { return now() - m_stepStartedAt >= milliseconds; };
  const auto statusShows = [status](const QString& identifier) {
    return status != nullptr && status->currentStatusItem() != nullptr &&
           status->currentStatusItem()->identifier() == identifier && !status->isAnimating();
  };
  const auto statusEmpty = [status] {
    return status == nullptr || (status->orderedStatusItems().isEmpty() && status->pendingStepCount() == 0);
  };

  addStep([] { return true; }, [this] { shapeStore(); });
  addStep([] { return true; }, [this] { warmFavicons(); });
  if (offline()) {
    addStep([statusShows] { return statusShows(ZPHNetworkController::StatusItemIdentifier); });
  } else {
    // The first refresh, and what it handed to the store.
    addStep(
        [this, delegate, storeIdle] { return m_sessionsEnded >= 1 && !delegate->refreshInProgress() && storeIdle(); },
        [this] { markRead(); });
    addStep([storeIdle, waited] { return storeIdle() && waited(1000); });
  }
  addStep(
      [this, waited] {
        // The favicons asked for, or a few seconds.
        return CBOperationController::sharedDownloadOperationController()->numberOfOperations() == 0 || waited(5000);
      },
      [this] {
        if (m_state.value(QStringLiteral("hideRead")).toBool())
          CBPrefsSetBool(true, ZPHHideFeedsWithNoUnread);
        select();
      });
  addStep([sourceList, waited] {
    return waited(300) &&
           (sourceList == nullptr || (!sourceList->isFilterReloadScheduled() && !sourceList->currentlyReloadingData()));
  });
  articleListSteps();
  commandSteps();
  tabSteps();
  subscriptionSteps();
  menusAndWindowsSteps();
  if (!offline()) {
    addStep([statusEmpty] { return statusEmpty(); });
    if (m_state.value(QStringLiteral("refresh")).toString() == QLatin1String("during")) {
      addStep([] { return true; }, [delegate] { delegate->refreshAll(); });
      addStep([statusShows] { return statusShows(ZPHRefreshController::StatusItemIdentifier); });
    }
  }
  const QJsonObject bezel = m_state.value(QStringLiteral("bezel")).toObject();
  if (!bezel.isEmpty()) {
    addStep([] { return true; },
            [window, bezel] {
              if (window != nullptr)
                window->showNotificationBezelWithText(bezel.value(QStringLiteral("text")).toString(),
                                                      ZPHNamedImage(bezel.value(QStringLiteral("image")).toString()));
            });
    addStep([waited] { return waited(600); });
  }

  m_stepStartedAt = now();
  QTimer::singleShot(0, this, &ZPHScreenshotScript::poll);
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

void ZPHScreenshotScript::articleListSteps()
{
  ZPHMainWindowController* window = m_delegate->mainWindowController();
  ZPHArticleListDelegate* list = window != nullptr ? window->articleListDelegate() : nullptr;
  if (list == nullptr)
    return;
  const auto waited = [this](qint64 milliseconds) { return now() - m_stepStartedAt >= milliseconds; };
  const auto listReady = [list, waited] { return waited(300) && !list->articleListController()->isUpdating(); };
  // The row of the first article whose title holds the text; -1 for none.
  const auto rowOf = [list](const QString& text) {
    ZPHArticleListModel* model = list->articleListModel();
    for (int row = 0; row < model->rowCount(); ++row) {
      const CBDataArticle* article = model->articleAtRow(row);
      if (article != nullptr && article->title().contains(text))
        return row;
    }
    return -1;
  };
  const auto table = [list] {
    return list->currentLayoutViewController()
               ? qobject_cast<ZPHArticleListTableView*>(list->currentLayoutViewController()->controlView())
               : nullptr;
  };
  if (m_state.contains(QStringLiteral("layout"))) {
    const int layout = m_state.value(QStringLiteral("layout")).toInt();
    addStep([] { return true; },
            [layout] { ZPHUserDefaults::standardUserDefaults().setInteger(ZPHContentLayoutMode, layout); });
  }
  addStep(listReady);
  const QStringList bookmarks = strings(m_state.value(QStringLiteral("bookmark")));
  if (!bookmarks.isEmpty()) {
    addStep([] { return true; },
            [list, bookmarks, rowOf] {
              QList<CBDataArticle*> articles;
              for (const QString& text : bookmarks) {
                if (CBDataArticle* article = list->articleListModel()->articleAtRow(rowOf(text)))
                  articles.append(article);
              }
              CBDataArticle::markArticlesAsFlagged(articles, true);
            });
    addStep([this, waited] {
      return waited(800) &&
             (m_delegate->dataController() == nullptr || !m_delegate->dataController()->coreDataQueueHasOperations());
    });
  }
  const QString read = m_state.value(QStringLiteral("readArticle")).toString();
  if (!read.isEmpty()) {
    addStep([] { return true; },
            [list, read, rowOf, table] {
              const int row = rowOf(read);
              if (ZPHArticleListTableView* view = table(); view != nullptr && row >= 0) {
                view->setFocus(Qt::OtherFocusReason);
                view->selectRow(row, true);
              }
            });
    addStep([waited] { return waited(800); });
    // The article's page in, with its pictures.
    addStep([list, waited] {
      ZPHReadingLayoutViewController* layout = list->currentLayoutViewController();
      return waited(20000) || (layout != nullptr && !layout->awaitingMainFrameLoadingComplete());
    });
    addStep([waited] {
      return waited(5000) ||
             (waited(1500) && CBOperationController::sharedDownloadOperationController()->numberOfOperations() == 0);
    });
  }
  const QString find = m_state.value(QStringLiteral("find")).toString();
  if (!find.isEmpty()) {
    const auto findBar = [list]() -> ZPHMacWebViewFindBarViewController* {
      ZPHReadingLayoutViewController* layout = list->currentLayoutViewController();
      auto* pane = layout != nullptr ? qobject_cast<ZPHWebArticleDetailPane*>(layout->detailViewController()) : nullptr;
      return pane != nullptr ? pane->paneView()->findBarViewController() : nullptr;
    };
    addStep([] { return true; },
            [list, find, findBar] {
              ZPHReadingLayoutViewController* layout = list->currentLayoutViewController();
              auto* pane =
                  layout != nullptr ? qobject_cast<ZPHWebArticleDetailPane*>(layout->detailViewController()) : nullptr;
              if (pane == nullptr)
                return;
              pane->paneView()->showFindPanelAnimated(false);
              findBar()->triggerSearchFor(find);
            });
    addStep([waited, findBar] {
      return waited(5000) || (waited(500) && findBar() != nullptr && !findBar()->numberOfMatchesString().isEmpty());
    });
  }
  const QJsonObject search = m_state.value(QStringLiteral("search")).toObject();
  if (!search.isEmpty()) {
    addStep([] { return true; },
            [window, search] {
              window->searchField()->setFocus(Qt::OtherFocusReason);
              window->searchField()->setText(search.value(QStringLiteral("text")).toString());
              window->searchWindowController()->searchEntered();
              const int type = search.value(QStringLiteral("type")).toInt();
              if (type != 0)
                window->searchWindowController()->executeSearchWithType(type);
            });
    addStep([list, waited] { return waited(500) && list->showingSearchResultSet(); });
  }
  // The thumbnails and favicons the rows asked for, or a few seconds.
  addStep([waited] {
    return waited(5000) ||
           (waited(1500) && CBOperationController::sharedDownloadOperationController()->numberOfOperations() == 0);
  });
  const QString menu = m_state.value(QStringLiteral("contextMenu")).toString();
  if (!menu.isEmpty()) {
    addStep([] { return true; },
            [window, rowOf, table, menu] {
              ZPHArticleListTableView* view = table();
              const int row = rowOf(menu);
              if (view == nullptr || row < 0)
                return;
              const QRect rect = view->visualRect(view->model()->index(row, 0));
              QContextMenuEvent event(QContextMenuEvent::Mouse, rect.center() - QPoint(rect.width() / 4, 0),
                                      view->viewport()->mapToGlobal(rect.center() - QPoint(rect.width() / 4, 0)));
              QCoreApplication::sendEvent(view->viewport(), &event);
              // A menu is a window of its own: the picture of the main
              // window shows a copy of it where it stands.
              ZPHTableViewContextualMenu* shown = view->contextualMenu();
              if (!shown->isVisible())
                return;
              auto* copy = new QLabel(window->window());
              copy->setPixmap(shown->grab());
              QRect frame(window->window()->mapFromGlobal(shown->pos()), shown->size());
              // Inside the window, as the desktop keeps a menu on screen.
              frame.moveBottom(qMin(frame.bottom(), window->window()->height() - 4));
              copy->setGeometry(frame);
              copy->setAttribute(Qt::WA_TransparentForMouseEvents);
              copy->show();
              copy->raise();
            });
    addStep([waited] { return waited(300); });
  }
}

void ZPHScreenshotScript::commandSteps()
{
  ZPHMainWindowController* window = m_delegate->mainWindowController();
  if (window == nullptr)
    return;
  ZPHSourceListViewController* sourceList = window->sourceListViewController();
  const auto waited = [this](qint64 milliseconds) { return now() - m_stepStartedAt >= milliseconds; };
  // A menu or a sheet is a window of its own: the picture of the main
  // window shows a copy of it where it stands, kept inside the window.
  const auto showCopy = [window](QWidget* shown, QPoint topLeft) {
    QWidget* main = window->window();
    auto* copy = new QLabel(main);
    copy->setObjectName(QStringLiteral("ZPHScreenshotCopy"));
    copy->setPixmap(shown->grab());
    QRect frame(topLeft, shown->size());
    frame.moveRight(qMin(frame.right(), main->width() - 4));
    frame.moveBottom(qMin(frame.bottom(), main->height() - 4));
    copy->setGeometry(frame);
    copy->setAttribute(Qt::WA_TransparentForMouseEvents);
    copy->show();
    copy->raise();
  };
  // A sheet shows centred under the toolbar.
  const auto sheetOrigin = [window](QWidget* sheet) {
    QWidget* main = window->window();
    const int top = window->toolbar() != nullptr ? window->toolbar()->geometry().bottom() : 0;
    return QPoint((main->width() - sheet->width()) / 2, top);
  };

  if (m_state.value(QStringLiteral("sourceListMenu")).toBool()) {
    addStep([] { return true; },
            [window, sourceList, showCopy] {
              ZPHSourceListView* outline = sourceList->sourceListOutlineView();
              const QList<int> rows = sourceList->selectedRows();
              if (rows.isEmpty())
                return;
              QMenu* menu = sourceList->commands()->contextualMenuForRow(rows.first(), outline);
              if (menu == nullptr)
                return;
              menu->setAttribute(Qt::WA_DeleteOnClose);
              const QRect rect = outline->visualRect(sourceList->indexForRow(rows.first()));
              const QPoint at = outline->viewport()->mapTo(window->window(), rect.center());
              menu->popup(outline->viewport()->mapToGlobal(rect.center()));
              showCopy(menu, at);
              menu->close();
            });
  }
  if (m_state.value(QStringLiteral("gearMenu")).toBool()) {
    addStep([] { return true; },
            [window, sourceList, showCopy] {
              CBPopupButton* gear = sourceList->contextMenuPopUpButton();
              QMenu* menu = sourceList->commands()->gearButtonMenu(gear);
              menu->setAttribute(Qt::WA_DeleteOnClose);
              const QPoint offset(0, -menu->sizeHint().height());
              menu->popup(gear->mapToGlobal(offset));
              showCopy(menu, gear->mapTo(window->window(), offset));
              menu->close();
            });
  }
  if (m_state.value(QStringLiteral("remove")).toBool()) {
    addStep([] { return true; }, [sourceList] { sourceList->commands()->deleteSelectedFeedsAndFolders(); });
    addStep(
        [sourceList, waited] { return sourceList->commands()->deletionConfirmationSheet() != nullptr && waited(300); },
        [sourceList, showCopy, sheetOrigin] {
          QMessageBox* sheet = sourceList->commands()->deletionConfirmationSheet();
          showCopy(sheet, sheetOrigin(sheet));
        });
  }
  if (m_state.value(QStringLiteral("rename")).toBool())
    addStep([] { return true; },
            [sourceList] { sourceList->commands()->performCommand(QStringLiteral("renameEntry:")); });
  const int toolbarMode = m_state.value(QStringLiteral("toolbarMode")).toInt();
  if (toolbarMode != 0)
    addStep([] { return true; },
            [window, toolbarMode] {
              window->toolbarController()->setDisplayMode(ZPHMainWindowToolbarController::DisplayMode(toolbarMode));
            });
  if (m_state.value(QStringLiteral("toolbarMenu")).toBool()) {
    addStep([window] { return window->toolbar() != nullptr; },
            [window, showCopy] {
              QToolBar* bar = window->toolbar();
              QMenu* menu = window->toolbarController()->contextMenu(bar);
              menu->setAttribute(Qt::WA_DeleteOnClose);
              const QPoint inside(bar->width() / 3, bar->height() / 2);
              menu->popup(bar->mapToGlobal(inside));
              showCopy(menu, bar->mapTo(window->window(), inside));
              menu->close();
            });
  }
  if (m_state.value(QStringLiteral("customizeToolbar")).toBool()) {
    addStep([] { return true; }, [window] { window->toolbarController()->runCustomizationSheet(); });
    addStep([window, waited] { return window->toolbarController()->customizationSheet() != nullptr && waited(300); },
            [window, showCopy, sheetOrigin] {
              ZPHToolbarCustomizationSheet* sheet = window->toolbarController()->customizationSheet();
              showCopy(sheet, sheetOrigin(sheet));
            });
  }
  // Sharing: "sharePopover": "toolbar" (the popover at Share) or "page" (at
  // the article page's share control); "shareSavedLogin": true (a read-later
  // login kept, so its row has the clear button); "shareLogin": true (the
  // read-later login in the popover, refused); "shareSubmenu": true (the
  // list's menu of "contextMenu" with its Share submenu open); "shareLink":
  // an address the toolbar's popover shares instead of the article.
  const QString sharePopover = m_state.value(QStringLiteral("sharePopover")).toString();
  const QString shareLink = m_state.value(QStringLiteral("shareLink")).toString();
  if (m_state.value(QStringLiteral("shareSavedLogin")).toBool())
    addStep([] { return true; },
            [] { ZPHPluginCommandSendToInstapaper::setSavedUsername(QStringLiteral("reader@example.com")); });
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
    addStep([waited] { return waited(500); },
            [window] {
              ZPHReadingLayoutViewController* layout = window->articleListDelegate()->currentLayoutViewController();
              auto* pane =
                  layout != nullptr ? qobject_cast<ZPHWebArticleDetailPane*>(layout->detailViewController()) : nullptr;
              ZPHArticleDetailViewController* page = pane != nullptr ? pane->detailViewController() : nullptr;
              if (page != nullptr && page->webView() != nullptr)
                page->webView()->page()->runJavaScript(
                    QStringLiteral("var c = document.getElementById('shareControl'); if (c) c.click();"),
                    QWebEngineScript::ApplicationWorld);
            });
  }
  if (m_state.value(QStringLiteral("shareLogin")).toBool()) {
    addStep(
        [waited] { return waited(300) && ZPHSharingPopoverViewController::sharingPopoverViewController()->isShown(); },
        [] {
          auto* command = ZPHPluginManager::sharedManager()->pluginCommandOfClass<ZPHPluginCommandSendToInstapaper>();
          if (command != nullptr)
            ZPHSharingPopoverViewController::sharingPopoverViewController()->runPlugin(command->commandID());
        });
    addStep([waited] { return waited(300); },
            [] {
              auto* command =
                  ZPHPluginManager::sharedManager()->pluginCommandOfClass<ZPHPluginCommandSendToInstapaper>();
              if (ZPHInstapaperLoginViewController* login =
                      command != nullptr ? command->instapaperLoginViewController() : nullptr) {
                login->setEmailAddress(QStringLiteral("reader@example.com"));
                login->setPassword(QStringLiteral("not-the-password"));
                login->setErrorMessage(ZPHSharingIncorrectCredentialsMessage());
                login->focusPasswordFieldAndSelect();
              }
            });
  }
  if (!sharePopover.isEmpty())
    addStep(
        [waited] { return waited(800) && ZPHSharingPopoverViewController::sharingPopoverViewController()->isShown(); },
        [window, showCopy] {
          QWidget* shown = ZPHSharingPopoverViewController::sharingPopoverViewController()->popover();
          showCopy(shown, window->window()->mapFromGlobal(shown->pos()));
        });
  if (m_state.value(QStringLiteral("shareSubmenu")).toBool()) {
    addStep([waited] { return waited(300); },
            [window, showCopy] {
              ZPHReadingLayoutViewController* layout = window->articleListDelegate()->currentLayoutViewController();
              auto* table = layout != nullptr ? qobject_cast<ZPHArticleListTableView*>(layout->controlView()) : nullptr;
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
                showCopy(share, window->window()->mapFromGlobal(at));
                share->close();
              }
            });
  }
  addStep([waited] { return waited(200); });
}

// ---- Browser tabs

void ZPHScreenshotScript::tabSteps()
{
  const QJsonObject spec = m_state.value(QStringLiteral("tabs")).toObject();
  ZPHMainWindowController* window = m_delegate->mainWindowController();
  ZPHTabsController* tabs = window != nullptr ? window->tabsController() : nullptr;
  if (spec.isEmpty() || tabs == nullptr)
    return;
  const auto waited = [this](qint64 milliseconds) { return now() - m_stepStartedAt >= milliseconds; };
  // The pages come from the site of the feed named.
  QUrl origin;
  CBDataController* data = m_delegate->dataController();
  const QList<CBFeed*> feeds = data != nullptr
                                   ? feedsNamed(data->localAccount(), {spec.value(QStringLiteral("site")).toString()})
                                   : QList<CBFeed*>();
  if (!feeds.isEmpty())
    origin = feeds.first()->URL().resolved(QUrl(QStringLiteral("/")));
  ZPHAppDelegate* delegate = m_delegate;
  addStep([] { return true; },
          [spec, delegate] {
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
    addStep([] { return true; }, [tabs, address] { tabs->openURLStringInNewTab(address, true, false); });
    addStep([loaded, waited, tabs] {
      return waited(15000) || (loaded() && waited(2500) &&
                               !tabs->thumbnailingController()->thumbnailForTab(tabs->currentBrowserTab()).isNull());
    });
  }
  const int show = spec.value(QStringLiteral("show")).toInt();
  addStep([] { return true; },
          [tabs, show] { tabs->selectTabAtIndex(std::clamp<qsizetype>(show, 0, tabs->numberOfTabs() - 1)); });
  addStep([waited] { return waited(1500); });
  const QString find = spec.value(QStringLiteral("find")).toString();
  if (!find.isEmpty()) {
    addStep([] { return true; },
            [tabs, find] {
              if (ZPHBrowserViewController* browser = tabs->currentBrowserViewController()) {
                browser->contentView()->showFindPanelAnimated(false);
                browser->findBarViewController()->triggerSearchFor(find);
              }
            });
    addStep([tabs, waited] {
      ZPHBrowserViewController* browser = tabs->currentBrowserViewController();
      return waited(5000) || (waited(500) && browser != nullptr &&
                              !browser->findBarViewController()->numberOfMatchesString().isEmpty());
    });
  }
  if (spec.value(QStringLiteral("feedMenu")).toBool()) {
    addStep(
        [tabs, waited] {
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
          auto* copy = new QLabel(window->window());
          copy->setPixmap(menu->grab());
          const QPoint anchor =
              button->mapTo(window->window(), QPoint(button->width() - menu->width(), button->height() + 2));
          copy->setGeometry(QRect(anchor, menu->size()));
          copy->setAttribute(Qt::WA_TransparentForMouseEvents);
          copy->show();
          copy->raise();
          menu->deleteLater();
        });
    addStep([waited] { return waited(300); });
  }
  addStep([waited] { return waited(500); });
}

// ------------------------------------------------ adding sites and imports

namespace {

// A window of its own shows in the picture as a copy of it, under the
// toolbar and centred.
void showSheetCopy(ZPHMainWindowController* window, QWidget* sheet)
{
  QWidget* main = window->window();
  auto* copy = new QLabel(main);
  copy->setObjectName(QStringLiteral("ZPHScreenshotCopy"));
  copy->setPixmap(sheet->grab());
  const int top = window->toolbar() != nullptr ? window->toolbar()->geometry().bottom() : 0;
  copy->setGeometry(QRect(QPoint((main->width() - sheet->width()) / 2, top), sheet->size()));
  copy->setAttribute(Qt::WA_TransparentForMouseEvents);
  copy->show();
  copy->raise();
}

}  // namespace

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
  auto* copy = new QLabel(main);
  copy->setObjectName(QStringLiteral("ZPHScreenshotCopy"));
  copy->setPixmap(picture);
  QRect frame(topLeft, picture.size() / picture.devicePixelRatio());
  frame.moveRight(qMin(frame.right(), main->width() - 4));
  frame.moveBottom(qMin(frame.bottom(), main->height() - 4));
  frame.moveLeft(qMax(frame.left(), 4));
  frame.moveTop(qMax(frame.top(), 0));
  copy->setGeometry(frame);
  copy->setAttribute(Qt::WA_TransparentForMouseEvents);
  copy->show();
  copy->raise();
}

}  // namespace

void ZPHScreenshotScript::subscriptionSteps()
{
  ZPHMainWindowController* window = m_delegate->mainWindowController();
  ZPHSubscriptionCommands* commands = m_delegate->subscriptionCommands();
  if (window == nullptr || commands == nullptr)
    return;
  const auto waited = [this](qint64 milliseconds) { return now() - m_stepStartedAt >= milliseconds; };

  const QJsonObject addSite = m_state.value(QStringLiteral("addSite")).toObject();
  if (m_state.contains(QStringLiteral("addSite"))) {
    const int pane = addSite.value(QStringLiteral("pane")).toInt();
    addStep([] { return true; },
            [commands, pane] {
              if (pane == 1)
                commands->addPopularSites();
              else
                commands->addSite(QString(), false, true);
            });
    addStep([commands, waited] { return commands->addSiteWindowController() != nullptr && waited(400); },
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
    addStep([waited] { return waited(500); },
            [window, commands] {
              if (ZPHAddSiteWindowController* controller = commands->addSiteWindowController())
                showSheetCopy(window, controller->window());
            });
  }

  const int failures = m_state.value(QStringLiteral("subscriptionErrors")).toInt();
  if (failures > 0) {
    addStep([] { return true; },
            [window, failures] {
              ZPHFeedSubscriptionResults results;
              const QStringList names = {QStringLiteral("Harbor Notes"),
                                         QString(),
                                         QStringLiteral("Copper <b>Lantern</b>"),
                                         QStringLiteral("Meadow Review"),
                                         QString(),
                                         QStringLiteral("Quartz Weekly"),
                                         QStringLiteral("Night Owl"),
                                         QStringLiteral("Tide Tables")};
              for (int i = 0; i < failures; ++i) {
                auto request = std::make_shared<ZPHSubscribeRequest>(
                    QUrl(QStringLiteral("https://site%1.example.org/feed.xml").arg(i + 1)));
                request->setTitle(names.value(i % names.size()));
                auto result = std::make_shared<ZPHFeedSubscriptionResult>(request);
                const QString suggestion = i % 2 == 0 ? ZPHFeedFinder::noFeedFoundErrorString()
                                                      : ZPHFeedFinder::siteNotAccessibleErrorString();
                result->setError(ZPHErrors::errorWithCode(
                    ZPHSubscriberErrorFinderFailed,
                    QStringLiteral("There was a problem adding %1.").arg(ZPHFeedFinderFeedNameUncapitalizedPlaceholder),
                    {{ZPHLocalizedRecoverySuggestionKey, suggestion}}));
                results.append(result);
              }
              ZPHAddSitesSubscriptionErrorViewController::presentSubscriptionErrorsForSubscribeResults(
                  results, window->window(), {});
            });
    addStep([waited] { return ZPHAddSitesSubscriptionErrorViewController::currentSheet() != nullptr && waited(400); },
            [window] { showSheetCopy(window, ZPHAddSitesSubscriptionErrorViewController::currentSheet()); });
  }

  if (m_state.contains(QStringLiteral("addFolder"))) {
    const QString name = m_state.value(QStringLiteral("addFolder")).toString();
    addStep([] { return true; }, [commands] { commands->addFolder(); });
    addStep([commands, waited] { return commands->addFolderWindowController() != nullptr && waited(300); },
            [window, commands, name] {
              ZPHAddFolderWindowController* sheet = commands->addFolderWindowController();
              sheet->setFolderName(name);
              showSheetCopy(window, sheet->window());
            });
  }

  if (m_state.contains(QStringLiteral("importing"))) {
    const double progress = m_state.value(QStringLiteral("importing")).toDouble();
    addStep([] { return true; },
            [this, progress] {
              auto item = ZPHDeterminateProgressStatusItem::determinateProgressStatusItemWithLocalizedDescription(
                  QCoreApplication::translate("ZPHImportOPMLController", "Importing OPML\u2026"),
                  ZPHImportOPMLController::statusItemIdentifierForPath(QStringLiteral("/screenshot.opml")));
              item->setProgressValue(progress);
              m_delegate->addStatusItem(item, {});
            });
    addStep([waited] { return waited(1500); });
  }

  const QString importFile = m_state.value(QStringLiteral("importFile")).toString();
  if (!importFile.isEmpty()) {
    addStep([] { return true; }, [commands, importFile] { commands->importFeedsFromOPMLFileAtPath(importFile); });
    addStep(
        [commands, waited] {
          ZPHImportOPMLController* import = commands->importOPMLController();
          return import != nullptr && (!import->isImporting() || import->errorAlert() != nullptr) && waited(600);
        },
        [window, commands] {
          if (QMessageBox* alert = commands->importOPMLController()->errorAlert())
            showSheetCopy(window, alert);
        });
    // The import's bezel: the window as it shows it is what the picture
    // keeps (the bezel fades before the steps after this one are through).
    addStep(
        [window, waited] {
          ZPHNotificationBezelWindowController* bezel = window->notificationBezelWindowController();
          return (bezel != nullptr && bezel->isShowingBezel() && waited(500)) || waited(3000);
        },
        [window] {
          ZPHNotificationBezelWindowController* bezel = window->notificationBezelWindowController();
          if (bezel == nullptr || !bezel->isShowingBezel())
            return;
          QWidget* main = window->window();
          auto* frozen = new QLabel(main);
          frozen->setObjectName(QStringLiteral("ZPHScreenshotCopy"));
          frozen->setPixmap(main->grab());
          frozen->setGeometry(main->rect());
          frozen->setAttribute(Qt::WA_TransparentForMouseEvents);
          frozen->show();
          frozen->raise();
        });
  }
}

void ZPHScreenshotScript::menusAndWindowsSteps()
{
  ZPHMainWindowController* window = m_delegate->mainWindowController();
  if (window == nullptr)
    return;
  ZPHAppDelegate* delegate = m_delegate;
  const auto waited = [this](qint64 milliseconds) { return now() - m_stepStartedAt >= milliseconds; };
  const auto centred = [window](const QPixmap& picture) {
    QWidget* main = window->window();
    return QPoint((main->width() - picture.width()) / 2, (main->height() - picture.height()) / 2);
  };

  if (m_state.value(QStringLiteral("titleBar")).toBool()) {
    addStep([waited] { return waited(300); },
            [window] {
              // The window as the desktop frames it: its title ("Zephlin
              // (12)") over it, the picture made to fit.
              QMainWindow* main = window->window();
              const QPixmap framed = pictureWithTitleBar(main);
              auto* copy = new QLabel(main);
              copy->setObjectName(QStringLiteral("ZPHScreenshotCopy"));
              copy->setPixmap(framed.scaled(main->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
              copy->setGeometry(main->rect());
              copy->setAlignment(Qt::AlignCenter);
              copy->setAutoFillBackground(true);
              copy->show();
              copy->raise();
            });
  }
  if (m_state.value(QStringLiteral("siteMenu")).toBool()) {
    addStep([] { return true; },
            [delegate, window] {
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
  if (m_state.value(QStringLiteral("stylePopover")).toBool()) {
    addStep([] { return true; },
            [window] {
              ZPHMainWindowToolbarController* toolbar = window->toolbarController();
              QWidget* style = nullptr;
              for (QWidget* widget : window->toolbar()->findChildren<QWidget*>())
                if (widget->objectName() == ZPHMainWindowToolbarController::ArticleThemeItemIdentifier)
                  style = widget;
              toolbar->styleButtonPressed(style);
            });
    addStep([waited] { return waited(400); },
            [window] {
              QFrame* popover = window->toolbarController()->stylePopoverViewController()->popover();
              if (!popover->isVisible())
                return;
              showPictureOver(window->window(), popover->grab(), window->window()->mapFromGlobal(popover->pos()));
              popover->hide();
            });
  }
  const QString pane = m_state.value(QStringLiteral("preferences")).toString();
  if (!pane.isEmpty()) {
    addStep([] { return true; },
            [delegate, pane] {
              delegate->commandAction(QStringLiteral("openPreferencesWindow:"))->trigger();
              if (ZPHPreferenceWindowController* preferences =
                      delegate->applicationCommands()->preferenceWindowController())
                preferences->selectItemAtIndex(pane == QLatin1String("Reading") ? 1 : 0);
            });
    addStep(
        [delegate, waited] {
          ZPHPreferenceWindowController* preferences = delegate->applicationCommands()->preferenceWindowController();
          return preferences != nullptr && !preferences->isTransitionRunning() && waited(500);
        },
        [delegate, window, centred] {
          QWidget* preferences = delegate->applicationCommands()->preferenceWindowController()->window();
          const QPixmap picture = pictureWithTitleBar(preferences);
          showPictureOver(window->window(), picture, centred(picture));
          preferences->hide();
        });
  }
  const QString login = m_state.value(QStringLiteral("credentialsSheet")).toString();
  if (!login.isEmpty()) {
    addStep([] { return true; },
            [delegate, login] {
              const QList<CBFeed*> feeds = feedsNamed(delegate->dataController()->localAccount(), {login});
              if (feeds.isEmpty())
                return;
              const QUrl url = feeds.first()->URL();
              ZPHNotificationCenter::defaultCenter().post(
                  ZPHFeedRefreshChallengeReceivedNotification, url,
                  {{CBURLKey, url}, {ZPHFeedRefreshChallengeTokenKey, QStringLiteral("screenshot")}});
            });
    addStep([delegate,
             waited] { return delegate->authenticationController()->credentialsSheet() != nullptr && waited(300); },
            [delegate, window] {
              QWidget* sheet = delegate->authenticationController()->credentialsSheet()->sheetWindow();
              const int top = window->toolbar() != nullptr ? window->toolbar()->geometry().bottom() : 0;
              showPictureOver(window->window(), sheet->grab(),
                              QPoint((window->window()->width() - sheet->width()) / 2, top));
            });
  }
  if (m_state.value(QStringLiteral("mergeOrPurge")).toBool()) {
    addStep([] { return true; }, [] { ZPHNotificationCenter::defaultCenter().post(ZPHSyncMergeOrPurgeDataRequest); });
    addStep([delegate,
             waited] { return delegate->syncQuestionsController()->mergeOrPurgeSheet() != nullptr && waited(300); },
            [delegate, window] {
              QWidget* sheet = delegate->syncQuestionsController()->mergeOrPurgeSheet()->sheetWindow();
              const int top = window->toolbar() != nullptr ? window->toolbar()->geometry().bottom() : 0;
              showPictureOver(window->window(), sheet->grab(),
                              QPoint((window->window()->width() - sheet->width()) / 2, top));
            });
  }
  if (m_state.value(QStringLiteral("welcome")).toBool()) {
    addStep([delegate,
             waited] { return delegate->applicationCommands()->welcomeWindowController() != nullptr && waited(700); },
            [delegate, window, centred] {
              QWidget* welcome = delegate->applicationCommands()->welcomeWindowController()->window();
              const QPixmap picture = pictureWithTitleBar(welcome);
              showPictureOver(window->window(), picture, centred(picture));
            });
  }
  if (m_state.value(QStringLiteral("mailNotOpened")).toBool()) {
    // "Mail Link" with no mail program to take the message.
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), m_state.value(QStringLiteral("readArticle")).toString());
    QUrl mail(QStringLiteral("mailto:"));
    mail.setQuery(query);
    addStep([] { return true; }, [delegate, mail] { delegate->linkDidNotOpen(mail); });
    // Shown once the status area has taken it in, and a moment after.
    addStep([window] {
      const std::shared_ptr<ZPHStatusItem> shown = window->statusViewController()->currentStatusItem();
      return shown != nullptr && shown->identifier() == ZPHBrowserLauncher::StatusItemIdentifier;
    });
    addStep([waited] { return waited(1500); });
  }
  if (m_state.value(QStringLiteral("about")).toBool()) {
    const bool agreement = m_state.value(QStringLiteral("agreement")).toBool();
    addStep([] { return true; },
            [agreement] {
              FRNHAboutWindowController* about = FRNHAboutWindowController::sharedAboutWindowController();
              about->showWindow();
              if (agreement)
                about->showLicenseAgreement();
            });
    addStep([waited] { return waited(400); },
            [window, agreement, centred] {
              FRNHAboutWindowController* about = FRNHAboutWindowController::sharedAboutWindowController();
              QPixmap picture = pictureWithTitleBar(about->window());
              if (agreement) {
                // The sheet slides out under the About window's title.
                QWidget* sheet = FRNHLicenseAgreementWindowController::sharedWindowController()->window();
                const QPixmap agreementPicture = sheet->grab();
                QPixmap both(qMax(picture.width(), agreementPicture.width()),
                             26 + qMax(picture.height() - 26, agreementPicture.height()));
                both.fill(Qt::transparent);
                QPainter painter(&both);
                painter.drawPixmap((both.width() - picture.width()) / 2, 0, picture);
                painter.drawPixmap((both.width() - agreementPicture.width()) / 2, 26, agreementPicture);
                painter.end();
                picture = both;
              }
              showPictureOver(window->window(), picture, centred(picture));
            });
  }
}
