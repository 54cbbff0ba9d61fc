// The main window's commands and toolbar on the real application: toggling
// read with undo, the titles that follow the selection and the theme, Next
// Unread and Space, the toolbar's arrangement and customisation, its Add
// control, the Refresh control spinning through a slow refresh, and the
// Share control's popover.

#include "app/shell/AppHarness.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHReadingLayoutViewController.h"
#include "articlelist/ZPHSearchField.h"
#include "articlelist/ZPHSearchOperation.h"
#include "articlelist/ZPHSearchWindowController.h"
#include "articleview/ZPHArticleDetailPaneView.h"
#include "articleview/ZPHStyleSheetController.h"
#include "articleview/ZPHWebArticleDetailPane.h"
#include "common/ZPHDesktopEntry.h"
#include "foundation/CBPrefs.h"
#include "keys/ZPHKeyMappingController.h"
#include "kit/ZPHManualClock.h"
#include "mainwindow/ZPHMainWindow.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/toolbar/CBRefreshToolbarButton.h"
#include "mainwindow/toolbar/ZPHMainWindowToolbarController.h"
#include "mainwindow/toolbar/ZPHToolbarCustomizationSheet.h"
#include "sharing/CBPlugin.h"
#include "sharing/CBUserInterfaceContext.h"
#include "sharing/ZPHFakeMenuTableView.h"
#include "sharing/ZPHPluginCommandSendToInstapaper.h"
#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSharingBrowserCommands.h"
#include "sharing/ZPHSharingPluginCommand.h"
#include "sharing/ZPHSharingPopoverTableRowView.h"
#include "sharing/ZPHSharingPopoverViewController.h"
#include "shell/ZPHMainMenuController.h"
#include "sourcelist/ZPHSourceListCommands.h"
#include "sourcelist/ZPHSourceListModel.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/accounts/ZPHArticleListController.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "themes/ZPHTheme.h"
#include "web/ZPHFindBarSearchField.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHMacWebViewFindBarViewController.h"

#include <QtCore/QFile>
#include <QtCore/QMimeData>
#include <QtGui/QAction>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QUndoStack>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>
#include <QtWebEngineCore/QWebEngineFindTextResult>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QToolBar>

namespace {

int alphaAt(const QImage& image, QPointF point)
{
  const qreal scale = image.devicePixelRatio();
  return qAlpha(image.pixel(int(point.x() * scale), int(point.y() * scale)));
}

}  // namespace

TEST(RefreshToolbarButton, SpinsOneBarEvery40MillisecondsAndGivesItsPictureBack)
{
  CBRefreshToolbarButton button;
  button.setSegmentCount(1);
  QPixmap picture(16, 16);
  picture.fill(Qt::red);
  const QIcon original(picture);
  button.setImage(original, 0);
  EXPECT_TRUE(button.isEnabled());

  button.setCurrentlyRefreshing(true);
  EXPECT_FALSE(button.isEnabled());
  EXPECT_TRUE(button.isHeartbeatRunning());
  EXPECT_EQ(button.heartbeatStep(), 1);  // the first frame at once
  EXPECT_NE(button.imageForSegment(0).cacheKey(), original.cacheKey());
  const int first = button.heartbeatStep();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return button.heartbeatStep() != first; }, 2000));
  // Twelve pictures at most, drawn once each.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return button.cachedImageCount() == 12; }, 3000));
  EXPECT_EQ(CBRefreshToolbarButton::cacheKeyForNumberOfBars(12, 3, 1), QStringLiteral("refresh-cache-12-3-1"));

  // Bar s is the darkest; the one after it (clockwise) the faintest. Bar 0
  // points up, bar 3 to the right.
  const QImage step0 = button.zph_refreshImageForStep(0);
  const QImage step3 = button.zph_refreshImageForStep(3);
  const QPointF up(8, 8 - 5.5);
  const QPointF right(8 + 5.5, 8);
  EXPECT_GT(alphaAt(step0, up), alphaAt(step0, right));
  EXPECT_GT(alphaAt(step3, right), alphaAt(step3, up));

  button.setCurrentlyRefreshing(false);
  EXPECT_TRUE(button.isEnabled());
  EXPECT_FALSE(button.isHeartbeatRunning());
  EXPECT_EQ(button.imageForSegment(0).cacheKey(), original.cacheKey());
  button.setCurrentlyRefreshing(false);  // the same again: nothing
  EXPECT_EQ(button.imageForSegment(0).cacheKey(), original.cacheKey());
}

namespace {

class CommandsAndToolbarTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    defaults.removeObject(ZPHMainWindowToolbarController::ToolbarIdentifier);
    defaults.removeObject(ZPHSubthemeStyleIndexKey);
    defaults.removeObject(ZPHStyleMarginIndexKey);
    defaults.setString(ZPHKeyMapSetName, ZPHKeyMappingController::Zephlin4SetName);
    ASSERT_TRUE(server.start());
    server.route(QStringLiteral("/feed.xml"), [this](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "application/rss+xml"}};
      response.body = ZPHTestFeed(server.url(), 3);
      response.delayBeforeBodyMs = slowMs;
      return response;
    });
  }
  void TearDown() override
  {
    app.stop();
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    defaults.removeObject(ZPHMainWindowToolbarController::ToolbarIdentifier);
    defaults.removeObject(ZPHSubthemeStyleIndexKey);
    defaults.removeObject(ZPHStyleMarginIndexKey);
    defaults.removeObject(ZPHKeyMapSetName);
  }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }

  // The loopback feed in "News", refreshed, the folder selected and its
  // articles listed.
  void start()
  {
    RefreshSessionCounter sessions;
    // The manual clock also holds the status area's items (and with them
    // the end of a visual refresh) until it moves.
    if (useManualClock)
      app.interfaceClock = &clock;
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    controller = app.delegate->mainWindowController();
    window = qobject_cast<ZPHMainWindow*>(controller->window());
    ASSERT_NE(window, nullptr);
    main = app.delegate->mainThreadManagedObjectContext();
    CBDataAccount* account = app.data()->localAccount();
    folder = account->addFolderWithName(QStringLiteral("News"));
    account->addFeedAtEndOfFolder(CBFeed::insertFeedWithURL(server.url(QStringLiteral("/feed.xml")), main), folder);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished > 0 && unreadCount() == 3; }, 30000));
    app.settle();
    ZPHSourceListViewController* sourceList = controller->sourceListViewController();
    sourceList->refreshDataCacheReloadDataAndSelectObject(static_cast<CBNode*>(folder), true);
    ASSERT_TRUE(ZPHTestWaitUntil([&] {
      ZPHArticleListController* list = controller->articleListDelegate()->articleListController();
      return list != nullptr && list->count() == 3;
    }));
    window->show();
    window->activateWindow();
  }

  ZPHArticleListController* list() const { return controller->articleListDelegate()->articleListController(); }
  CBDataArticle* selected() const { return controller->articleListDelegate()->selectedArticle(); }
  void select(int row)
  {
    controller->articleListDelegate()->navigateToArticleInCurrentList(list()->articleAtIndex(row));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return selected() == list()->articleAtIndex(row); }));
  }
  int unreadCount()
  {
    int unread = 0;
    for (CBDataArticle* article : CBDataArticle::articlesForFeedWithURL(server.url(QStringLiteral("/feed.xml")), main))
      unread += article->read() ? 0 : 1;
    return unread;
  }
  bool validates(const char* selector)
  {
    return controller->validateUserInterfaceItem(controller->commandAction(QString::fromLatin1(selector)));
  }

  int slowMs = 0;
  bool useManualClock = false;
  ZPHManualClock clock;
  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  AppHarness app{dataFolder()};
  ZPHMainWindowController* controller = nullptr;
  ZPHMainWindow* window = nullptr;
  ZPHManagedObjectContext* main = nullptr;
  CBFolder* folder = nullptr;
};

}  // namespace

TEST_F(CommandsAndToolbarTest, ReadAndBookmarkTogglesWithUndoAndTitlesThatFollow)
{
  ASSERT_NO_FATAL_FAILURE(start());
  // Nothing selected: the article commands are off.
  EXPECT_FALSE(validates("toggleRead:"));
  EXPECT_FALSE(validates("openInBrowser:"));
  EXPECT_TRUE(validates("markAllAsRead:"));
  EXPECT_TRUE(validates("toggleDarkMode:"));
  EXPECT_FALSE(validates("frobnicate:"));

  ASSERT_NO_FATAL_FAILURE(select(0));
  CBDataArticle* article = selected();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return article->read(); }));  // reading marks it read
  app.settle();
  QAction* toggleRead = controller->commandAction(QStringLiteral("toggleRead:"));
  EXPECT_TRUE(controller->validateUserInterfaceItem(toggleRead));
  EXPECT_EQ(toggleRead->text(), QStringLiteral("Mark As Unread"));
  EXPECT_EQ(controller->toggleReadMenuItemTitle(), QStringLiteral("Mark As Unread"));
  // The Article menu's item carries the title as it changes, its menu closed.
  QAction* menuItem = app.delegate->mainMenuController()->itemForSelector(QStringLiteral("toggleRead:"));
  ASSERT_NE(menuItem, nullptr);
  EXPECT_EQ(menuItem->text(), QStringLiteral("Mark As Unread"));

  // Copy Link copies the link the article opens, not its guid (a
  // permalink that is no web address).
  ASSERT_TRUE(article->permalink().startsWith(QLatin1String("item-")));
  ASSERT_TRUE(article->link().startsWith(server.url().toString()));
  controller->commandAction(QStringLiteral("copyArticleURL:"))->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), article->link());
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->urls(), QList<QUrl>{QUrl(article->link())});

  const int undoBefore = controller->undoManager()->count();
  toggleRead->trigger();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !article->read(); }, 20000));
  EXPECT_EQ(controller->undoManager()->count(), undoBefore + 1);
  controller->validateUserInterfaceItem(toggleRead);
  EXPECT_EQ(toggleRead->text(), QStringLiteral("Mark As Read"));
  EXPECT_EQ(menuItem->text(), QStringLiteral("Mark As Read"));
  controller->undoManager()->undo();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return article->read(); }, 20000));

  QAction* toggleFlagged = controller->commandAction(QStringLiteral("toggleFlagged:"));
  controller->validateUserInterfaceItem(toggleFlagged);
  EXPECT_EQ(toggleFlagged->text(), QStringLiteral("Bookmark"));
  toggleFlagged->trigger();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return article->flagged(); }, 20000));
  controller->validateUserInterfaceItem(toggleFlagged);
  EXPECT_EQ(toggleFlagged->text(), QStringLiteral("Unbookmark"));
  controller->undoManager()->undo();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !article->flagged(); }, 20000));

  // The theme switch names the other theme; twice returns to the first.
  QAction* dark = controller->commandAction(QStringLiteral("toggleDarkMode:"));
  controller->validateUserInterfaceItem(dark);
  EXPECT_EQ(dark->text(), QStringLiteral("Switch to Dark Theme"));
  dark->trigger();
  EXPECT_EQ(ZPHTheme::currentTheme(), ZPHTheme::darkTheme());
  EXPECT_EQ(dark->text(), QStringLiteral("Switch to Light Theme"));
  dark->trigger();
  EXPECT_EQ(ZPHTheme::currentTheme(), ZPHTheme::lightTheme());
  EXPECT_EQ(dark->text(), QStringLiteral("Switch to Dark Theme"));
}

TEST_F(CommandsAndToolbarTest, TheDarkThemeLeavesNoLightBlockInTheWindowInEitherLayout)
{
  ASSERT_NO_FATAL_FAILURE(start());
  window->resize(1100, 700);
  ZPHArticleListDelegate* articles = controller->articleListDelegate();
  // The share in a part of the window that is light: its pixels brighter
  // than the lightest grey of the dark theme's text.
  const auto lightShare = [&](QWidget* part, QRect area = {}) {
    const QImage image = part->grab(area.isNull() ? part->rect() : area).toImage();
    qint64 light = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) light += qGray(image.pixel(x, y)) > 200 ? 1 : 0;
    return double(light) / double(std::max(1, image.width() * image.height()));
  };
  controller->commandAction(QStringLiteral("toggleDarkMode:"))->trigger();
  ASSERT_EQ(ZPHTheme::currentTheme(), ZPHTheme::darkTheme());
  for (const char* layout : {"useStandardLayout:", "useClassicLayout:"}) {
    SCOPED_TRACE(layout);
    app.delegate->commandAction(QString::fromLatin1(layout))->trigger();
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return list() != nullptr && list()->count() == 3; }));
    ZPHTestSpinEventLoop(50);
    // The list of three rows leaves room below them.
    auto* table = qobject_cast<QAbstractItemView*>(articles->currentLayoutViewController()->controlView());
    ASSERT_NE(table, nullptr);
    const QRect last = table->visualRect(table->model()->index(table->model()->rowCount() - 1, 0));
    const QRect below(0, last.bottom() + 1, table->viewport()->width(),
                      table->viewport()->height() - last.bottom() - 1);
    ASSERT_GT(below.height(), 50);
    EXPECT_LT(lightShare(table->viewport(), below), 0.01) << "below the rows";
    EXPECT_LT(lightShare(controller->sourceListViewController()->view()), 0.05) << "the source list";
    EXPECT_LT(lightShare(controller->toolbar()), 0.05) << "the toolbar";
    EXPECT_LT(lightShare(window->menuBar()), 0.05) << "the menu bar";
  }
  app.delegate->commandAction(QStringLiteral("useStandardLayout:"))->trigger();
  controller->commandAction(QStringLiteral("toggleDarkMode:"))->trigger();
  ASSERT_EQ(ZPHTheme::currentTheme(), ZPHTheme::lightTheme());
  EXPECT_GT(lightShare(controller->sourceListViewController()->view()), 0.5) << "the light theme is light again";
}

TEST_F(CommandsAndToolbarTest, FindAndMarginCommandsWorkOnTheArticlesPage)
{
  ASSERT_NO_FATAL_FAILURE(start());
  // Room beside the column for it to grow.
  window->resize(2400, 1200);
  const char* const commands[] = {"find:", "findNext:", "findPrevious:", "makeMarginsNarrower:", "makeMarginsWider:"};
  for (const char* selector : commands) EXPECT_FALSE(validates(selector)) << selector << " without an article";

  ASSERT_NO_FATAL_FAILURE(select(0));
  ZPHReadingLayoutViewController* layout = controller->articleListDelegate()->currentLayoutViewController();
  auto* pane = dynamic_cast<ZPHWebArticleDetailPane*>(layout->detailViewController());
  ASSERT_NE(pane, nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] { return pane->webView() != nullptr && !layout->awaitingMainFrameLoadingComplete(); }, 20000));
  EXPECT_TRUE(validates("find:"));

  // Ctrl+F from the article list opens the page's find bar; typing counts.
  layout->controlView()->setFocus();
  QTest::keyClick(window->windowHandle(), Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(pane->paneView()->findBarShown());
  ZPHMacWebViewFindBarViewController* bar = pane->paneView()->findBarViewController();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return bar->searchField()->hasFocus(); }, 5000));
  QTest::keyClicks(bar->searchField(), QStringLiteral("e"));
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        return bar->numberOfMatches() != ZPHMacWebViewFindBarViewController::NotFound && bar->numberOfMatches() >= 2;
      },
      10000))
      << bar->numberOfMatches();
  EXPECT_EQ(bar->matchesTextField()->text(), QStringLiteral("%1 matches").arg(bar->numberOfMatches()));

  // Ctrl+G and Ctrl+Shift+G step through the matches.
  QSignalSpy found(pane->webView()->page(), &QWebEnginePage::findTextFinished);
  const auto activeMatchAfter = [&](Qt::KeyboardModifiers modifiers) {
    found.clear();
    QTest::keyClick(window->windowHandle(), Qt::Key_G, modifiers);
    if (!ZPHTestWaitUntil([&] { return !found.isEmpty(); }, 10000))
      return -1;
    return found.last().first().value<QWebEngineFindTextResult>().activeMatch();
  };
  const int matches = int(bar->numberOfMatches());
  const int first = activeMatchAfter(Qt::ControlModifier);
  ASSERT_GT(first, 0);
  EXPECT_EQ(activeMatchAfter(Qt::ControlModifier), first % matches + 1);
  EXPECT_EQ(activeMatchAfter(Qt::ControlModifier | Qt::ShiftModifier), first);

  // From inside the page too: the pane has no shortcut of its own.
  bar->doneAction();
  ASSERT_FALSE(pane->paneView()->findBarShown());
  pane->webView()->focusProxy()->setFocus();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return pane->webView()->focusProxy()->hasFocus(); }, 5000));
  QTest::keyClick(window->windowHandle(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(pane->paneView()->findBarShown());

  // Edit ▸ Select All and Copy in the page: its text on the clipboard; no
  // Cut or Paste in a page that is not editable.
  pane->paneView()->findBarViewController()->doneAction();
  pane->webView()->focusProxy()->setFocus();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return pane->webView()->focusProxy()->hasFocus(); }, 5000));
  QGuiApplication::clipboard()->clear();
  EXPECT_TRUE(validates("selectAll:"));
  EXPECT_FALSE(validates("cut:"));
  EXPECT_FALSE(validates("paste:"));
  controller->commandAction(QStringLiteral("selectAll:"))->trigger();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return pane->webView()->hasSelection(); }, 10000));
  ASSERT_TRUE(validates("copy:"));
  controller->commandAction(QStringLiteral("copy:"))->trigger();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !QGuiApplication::clipboard()->text().isEmpty(); }, 10000));
  EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(selected()->title()))
      << QGuiApplication::clipboard()->text().toStdString();

  // Margins: the column starts at its narrowest, steps wider and back; the
  // stored step follows, and the widest step ends the way up.
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return validates("makeMarginsWider:"); }, 20000));
  EXPECT_FALSE(validates("makeMarginsNarrower:"));
  const double narrowest = pane->articleWidth();
  EXPECT_TRUE(controller->sendAction(QStringLiteral("makeMarginsWider:")));
  EXPECT_EQ(defaults.integerForKey(ZPHStyleMarginIndexKey), 1);
  EXPECT_GT(pane->articleWidth(), narrowest);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return validates("makeMarginsNarrower:"); }, 20000));
  controller->commandAction(QStringLiteral("makeMarginsNarrower:"))->trigger();
  EXPECT_EQ(defaults.integerForKey(ZPHStyleMarginIndexKey), 0);
  EXPECT_EQ(pane->articleWidth(), narrowest);
  EXPECT_FALSE(validates("makeMarginsNarrower:"));
  ZPHStyleSheetController::sharedController()->setCurrentMarginIndex(
      ZPHStyleSheetController::sharedController()->maximumMarginIndex());
  EXPECT_FALSE(validates("makeMarginsWider:"));
}

TEST_F(CommandsAndToolbarTest, NextUnreadAndTwoQuickSpacesMoveOnce)
{
  useManualClock = true;
  ASSERT_NO_FATAL_FAILURE(start());
  EXPECT_EQ(ZPHMainWindowController::unreadRowAfterRow(-1, {}), -1);
  ASSERT_NO_FATAL_FAILURE(select(0));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 2; }));
  app.settle();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller->unreadCount() == 2; }));
  EXPECT_TRUE(controller->validateNextUnread());

  // Space in the list: the article cannot scroll, so it goes on to the next
  // unread one; a second Space within 0.1 s does not move again.
  if (auto* layoutList = controller->articleListDelegate()->currentLayoutViewController()->controlView())
    layoutList->setFocus();
  CBDataArticle* first = selected();
  QTest::keyClick(window->windowHandle(), Qt::Key_Space);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return selected() != first; }));
  CBDataArticle* second = selected();
  clock.advance(50);
  QTest::keyClick(window->windowHandle(), Qt::Key_Space);
  ZPHTestSpinEventLoop(100);
  EXPECT_EQ(selected(), second);
  clock.advance(100);
  QTest::keyClick(window->windowHandle(), Qt::Key_Space);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return selected() != second; }));

  // One unread article left and it is the one shown: nothing to go to.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 0; }));
  app.settle();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller->unreadCount() == 0; }));
  EXPECT_FALSE(validates("nextUnread:"));
}

TEST_F(CommandsAndToolbarTest, NextUnreadFromASiteWithNothingUnreadShowsTheNextSitesFirstUnreadArticle)
{
  // A second site, after "News", with two unread articles of its own.
  const QUrl other = server.url(QStringLiteral("/zed.xml"));
  server.route(QStringLiteral("/zed.xml"), [this](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.headers = {{"Content-Type", "application/rss+xml"}};
    response.body = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Zed</title>";
    for (const char* n : {"1", "2"})
      response.body += QByteArray("<item><title>Zed ") + n + "</title><guid>zed-" + n + "</guid><link>" +
                       server.url(QStringLiteral("/zed/")).toString().toUtf8() + n + "</link></item>";
    response.body += "</channel></rss>";
    return response;
  });
  ASSERT_NO_FATAL_FAILURE(start());
  CBDataAccount* account = app.data()->localAccount();
  account->addFeed(CBFeed::insertFeedWithURL(other, main));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return CBDataArticle::articlesForFeedWithURL(other, main).size() == 2; }, 30000));
  // Everything in "News" read, and "News" shown.
  controller->markAllAsRead();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 0; }, 20000));
  app.settle();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller->unreadCount() == 2; }));
  ASSERT_EQ(selected(), nullptr);
  // A window so low that the new site's row is out of view.
  ZPHSourceListViewController* sourceList = controller->sourceListViewController();
  QTreeView* outline = sourceList->sourceListOutlineView();
  window->resize(window->width(), window->minimumSizeHint().height() + 40);
  outline->scrollToTop();
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    const QModelIndex last = outline->model()->index(outline->model()->rowCount() - 1, 0);
    return !outline->viewport()->rect().intersects(outline->visualRect(last));
  })) << outline->viewport()->height();

  // One press: the next site with unread articles is selected, in view,
  // and its first unread article shown.
  ASSERT_TRUE(controller->sendAction(QStringLiteral("nextUnread:")));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return selected() != nullptr; }))
      << "the next site's first unread article is not shown";
  EXPECT_EQ(selected()->feedURL(), other.toString());
  // The list's first unread article: showing it marks it read, so every
  // row before it is read, and it may be by now too.
  const qsizetype shownRow = list()->indexOfArticle(selected()->objectID());
  ASSERT_GE(shownRow, 0);
  for (qsizetype row = 0; row < shownRow; ++row) EXPECT_TRUE(list()->articles().at(row).read) << row;
  const CBTreeNode::Pointer node = sourceList->currentTreeNode();
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(ZPHSourceListModel::feedForNode(node.get())->URL(), other);
  EXPECT_TRUE(outline->viewport()->rect().contains(outline->visualRect(outline->currentIndex()).center()));
  EXPECT_TRUE(controller->articleListDelegate()->currentLayoutViewController()->controlView()->hasFocus());
}

TEST_F(CommandsAndToolbarTest, ToolbarArrangementCustomisationAndTheAddControl)
{
  ASSERT_NO_FATAL_FAILURE(start());
  ZPHMainWindowToolbarController* toolbar = controller->toolbarController();
  ASSERT_NE(toolbar, nullptr);
  EXPECT_EQ(toolbar->toolbar()->objectName(), QStringLiteral("MainWindowToolbar"));
  EXPECT_EQ(toolbar->itemIdentifiers(), ZPHMainWindowToolbarController::defaultItemIdentifiers());
  // Left to right as arranged.
  QStringList shown;
  for (QAction* action : toolbar->toolbar()->actions()) {
    QWidget* widget = toolbar->toolbar()->widgetForAction(action);
    for (const QString& identifier : ZPHMainWindowToolbarController::allowedItemIdentifiers())
      if (widget != nullptr && toolbar->controlForItemIdentifier(identifier) != nullptr &&
          widget->isAncestorOf(toolbar->controlForItemIdentifier(identifier)))
        shown.append(identifier);
  }
  EXPECT_EQ(shown, (QStringList{"ZPHToolbarItemAddRemove", "ZPHToolbarToolbarItemRefresh",
                                "ZPHToolbarItemMarkAllAsRead", "ZPHToolbarItemNextUnread", "ZPHToolbarItemArticleTheme",
                                "ZPHToolbarItemShare", "ZWHToolbarItemFlag", "ZPHToolbarItemSearch"}));
  // Items follow the commands' validation.
  controller->validateCommands();
  EXPECT_TRUE(
      toolbar->controlForItemIdentifier(ZPHMainWindowToolbarController::MarkAllAsReadItemIdentifier)->isEnabled());
  EXPECT_FALSE(toolbar->controlForItemIdentifier(ZPHMainWindowToolbarController::FlagItemIdentifier)->isEnabled());
  EXPECT_FALSE(toolbar->controlForItemIdentifier(ZPHMainWindowToolbarController::ShareItemIdentifier)->isEnabled());

  // A new arrangement is kept; unknown and repeated items are dropped.
  toolbar->setItemIdentifiers({"ZPHToolbarItemNextUnread", "com.example.gone", "ZPHToolbarItemOpenInBrowser",
                               "ZPHToolbarItemNextUnread", "NSToolbarSpaceItem", "NSToolbarSpaceItem",
                               "ZPHToolbarItemSearch"});
  const QStringList kept{"ZPHToolbarItemNextUnread", "ZPHToolbarItemOpenInBrowser", "NSToolbarSpaceItem",
                         "NSToolbarSpaceItem", "ZPHToolbarItemSearch"};
  EXPECT_EQ(toolbar->itemIdentifiers(), kept);
  QStringList stored;
  for (const QVariant& value : ZPHUserDefaults::standardUserDefaults()
                                   .dictionaryForKey(QStringLiteral("MainWindowToolbar"))
                                   .value(QStringLiteral("itemIdentifiers"))
                                   .toList())
    stored.append(value.toString());
  EXPECT_EQ(stored, kept);
  EXPECT_EQ(toolbar->controlForItemIdentifier(ZPHMainWindowToolbarController::RefreshItemIdentifier), nullptr);
  EXPECT_EQ(toolbar->controlForItemIdentifier(ZPHMainWindowToolbarController::SearchItemIdentifier),
            static_cast<QWidget*>(controller->searchField()));

  // "Customize Toolbar…" from the context menu; the default set comes back.
  std::unique_ptr<QMenu> menu(toolbar->contextMenu(nullptr));
  auto* customize = menu->findChild<QAction*>(QStringLiteral("runToolbarCustomizationPalette:"));
  ASSERT_NE(customize, nullptr);
  EXPECT_EQ(customize->text(), QStringLiteral("Customize Toolbar\u2026"));
  EXPECT_EQ(menu->actions().last(), customize);
  customize->trigger();
  ZPHToolbarCustomizationSheet* sheet = toolbar->customizationSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->shownItems(), kept);
  sheet->useDefaultSet();
  sheet->shownList()->setCurrentRow(0);
  sheet->removeSelectedItem();  // Add Site goes
  QMetaObject::invokeMethod(sheet, [sheet] { Q_EMIT sheet->itemsChosen(sheet->shownItems()); });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return toolbar->itemIdentifiers().size() == 10; }));
  EXPECT_EQ(toolbar->itemIdentifiers(), ZPHMainWindowToolbarController::defaultItemIdentifiers().mid(1));
  sheet->close();

  // The Add control's second segment removes the selection (here: asks).
  toolbar->setItemIdentifiers(ZPHMainWindowToolbarController::defaultItemIdentifiers());
  toolbar->addRemoveSegmentedControlClicked(1);
  QMessageBox* removal = controller->sourceListViewController()->commands()->deletionConfirmationSheet();
  ASSERT_NE(removal, nullptr);
  EXPECT_EQ(removal->text(), QStringLiteral("Remove items?"));
  removal->reject();
}

TEST_F(CommandsAndToolbarTest, SearchArticlesBringsTheSearchFieldBackAndTheToolbarGoesBackAfterwards)
{
  using Toolbar = ZPHMainWindowToolbarController;
  ASSERT_NO_FATAL_FAILURE(start());
  Toolbar* toolbar = controller->toolbarController();
  ZPHSearchField* field = controller->searchField();
  QAction* find = app.delegate->commandAction(QStringLiteral("selectFind:"));
  ASSERT_NE(find, nullptr);
  // The command runs on the next turn of the event loop.
  const auto runFind = [&] {
    find->trigger();
    QCoreApplication::sendPostedEvents();
    return ZPHTestWaitUntil([&] { return field->hasFocus(); });
  };
  const auto endEditing = [&] {
    controller->sourceListViewController()->makeSourceListOutlineViewFirstResponder();
    return ZPHTestWaitUntil(
        [&] { return !field->hasFocus() && !controller->searchWindowController()->hasRecordedToolbarState(); });
  };
  const auto storedMode = [] {
    return ZPHUserDefaults::standardUserDefaults()
        .dictionaryForKey(Toolbar::ToolbarIdentifier)
        .value(Toolbar::DisplayModeKey)
        .toInt();
  };

  // The user took the search item off, chose text only and hid the toolbar.
  QStringList withoutSearch = Toolbar::defaultItemIdentifiers();
  withoutSearch.removeAll(Toolbar::SearchItemIdentifier);
  toolbar->setItemIdentifiers(withoutSearch);
  toolbar->setDisplayMode(Toolbar::LabelOnly);
  toolbar->setToolbarVisible(false);
  ASSERT_FALSE(field->isVisible());

  // Search Articles: the item is back at the end, with icons, the toolbar
  // shows and the field has the focus.
  ASSERT_TRUE(runFind());
  EXPECT_TRUE(toolbar->toolbar()->isVisible());
  EXPECT_EQ(toolbar->displayMode(), Toolbar::IconAndLabel);
  EXPECT_EQ(toolbar->itemIdentifiers().constLast(), Toolbar::SearchItemIdentifier);
  EXPECT_TRUE(field->isVisible());
  // Nothing of it is kept in the settings.
  EXPECT_EQ(storedMode(), int(Toolbar::LabelOnly));
  // A second Find while the field has the focus changes nothing.
  ASSERT_TRUE(runFind());
  EXPECT_EQ(toolbar->displayMode(), Toolbar::IconAndLabel);

  // Editing ends with text: all stays as the Find made it. (The search's
  // results hand the focus back to the field: they come first.)
  QTest::keyClicks(field, QStringLiteral("atom"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    const auto search = controller->searchWindowController()->lastSearchOperation();
    return search != nullptr && search->isFinished() && !field->isSpinnerPending() && !field->isSpinnerShown();
  }));
  controller->sourceListViewController()->makeSourceListOutlineViewFirstResponder();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !field->hasFocus(); }));
  QCoreApplication::sendPostedEvents();  // the end of editing is looked at
  EXPECT_TRUE(controller->searchWindowController()->hasRecordedToolbarState());
  EXPECT_TRUE(toolbar->toolbar()->isVisible());

  // With the field empty, the toolbar gets back what it had.
  ASSERT_TRUE(runFind());
  controller->searchWindowController()->clearSearchField();
  ASSERT_TRUE(endEditing());
  EXPECT_FALSE(toolbar->isToolbarVisible());
  EXPECT_EQ(toolbar->displayMode(), Toolbar::LabelOnly);
  EXPECT_EQ(toolbar->itemIdentifiers(), withoutSearch);

  // The user's own choice of mode during a search is the one that stays.
  ASSERT_TRUE(runFind());
  toolbar->setDisplayMode(Toolbar::IconOnly);
  ASSERT_TRUE(endEditing());
  EXPECT_EQ(toolbar->displayMode(), Toolbar::IconOnly);
  EXPECT_EQ(storedMode(), int(Toolbar::IconOnly));
  EXPECT_EQ(toolbar->itemIdentifiers(), withoutSearch);
}

namespace {

// Takes the commands no window object answers ("addFeed:").
class RecordingResponder : public QObject {
public:
  explicit RecordingResponder(const char* selector)
  {
    auto* action = new QAction(this);
    action->setObjectName(QString::fromLatin1(selector));
    connect(action, &QAction::triggered, this, [this] { ++runs; });
  }
  int runs = 0;
};

}  // namespace

TEST_F(CommandsAndToolbarTest, TheDisplayModeIsKeptAndTextOnlyItemsSendTheirCommands)
{
  using Toolbar = ZPHMainWindowToolbarController;
  ASSERT_NO_FATAL_FAILURE(start());
  Toolbar* toolbar = controller->toolbarController();
  EXPECT_EQ(toolbar->displayMode(), Toolbar::IconAndLabel);
  EXPECT_NE(toolbar->toolbar()->findChild<QLabel*>(QStringLiteral("ZPHToolbarItemNextUnreadLabel")), nullptr);
  EXPECT_EQ(toolbar->textButtonForItemIdentifier(Toolbar::NextUnreadItemIdentifier), nullptr);

  // The context menu offers the three modes, the current one checked.
  std::unique_ptr<QMenu> menu(toolbar->contextMenu(nullptr));
  QStringList modes;
  QAction* textOnly = nullptr;
  for (QAction* action : menu->actions()) {
    if (!action->isCheckable())
      continue;
    modes.append(action->text() + (action->isChecked() ? QStringLiteral("*") : QString()));
    if (action->data().toInt() == Toolbar::LabelOnly)
      textOnly = action;
  }
  EXPECT_EQ(modes, (QStringList{"Icon and Text*", "Icon Only", "Text Only"}));
  ASSERT_NE(textOnly, nullptr);
  textOnly->trigger();
  EXPECT_EQ(toolbar->displayMode(), Toolbar::LabelOnly);
  EXPECT_EQ(ZPHUserDefaults::standardUserDefaults()
                .dictionaryForKey(QStringLiteral("MainWindowToolbar"))
                .value(QStringLiteral("displayMode"))
                .toInt(),
            3);

  // A new controller reads the mode back with the arrangement.
  {
    QMainWindow other;
    Toolbar again(controller);
    again.setupToolbar(&other, new ZPHSearchField());
    EXPECT_EQ(again.displayMode(), Toolbar::LabelOnly);
    EXPECT_EQ(again.itemIdentifiers(), toolbar->itemIdentifiers());
    ASSERT_NE(again.textButtonForItemIdentifier(Toolbar::AddRemoveItemIdentifier), nullptr);
    EXPECT_TRUE(again.controlForItemIdentifier(Toolbar::AddRemoveItemIdentifier)->isHidden());
    EXPECT_EQ(again.textButtonForItemIdentifier(Toolbar::AddRemoveItemIdentifier)->text(), QStringLiteral("Add Site"));
  }

  // Text only, each item's button sends its command.
  const auto click = [&](const QString& identifier) {
    QAbstractButton* button = toolbar->textButtonForItemIdentifier(identifier);
    if (button == nullptr || !ZPHTestWaitUntil([&] { return button->isEnabled(); }, 20000))
      return false;
    button->click();
    return true;
  };
  ASSERT_TRUE(click(Toolbar::NextUnreadItemIdentifier));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return selected() != nullptr; }));
  CBDataArticle* article = selected();
  ASSERT_TRUE(click(Toolbar::FlagItemIdentifier));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return article->flagged(); }, 20000));
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] { return toolbar->textButtonForItemIdentifier(Toolbar::FlagItemIdentifier)->text() == "Unbookmark"; }));
  ASSERT_TRUE(click(Toolbar::MarkAllAsReadItemIdentifier));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 0; }, 20000));
  RefreshSessionCounter sessions;
  ASSERT_TRUE(click(Toolbar::RefreshItemIdentifier));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.begun > 0; }, 20000));
  RecordingResponder addFeed("addFeed:");
  controller->setApplicationResponder(&addFeed);
  ASSERT_TRUE(click(Toolbar::AddRemoveItemIdentifier));
  EXPECT_EQ(addFeed.runs, 1);
  controller->setApplicationResponder(app.delegate.get());

  // Chosen in the sheet: icon only shows neither labels nor text buttons.
  ZPHToolbarCustomizationSheet* sheet = toolbar->runCustomizationSheet();
  EXPECT_EQ(sheet->displayMode(), int(Toolbar::LabelOnly));
  EXPECT_EQ(sheet->displayModeChooser()->count(), 3);
  sheet->setDisplayMode(Toolbar::IconOnly);
  QPushButton* done = nullptr;
  for (QPushButton* button : sheet->findChildren<QPushButton*>())
    if (button->text() == QStringLiteral("Done"))
      done = button;
  ASSERT_NE(done, nullptr);
  done->click();
  EXPECT_EQ(toolbar->displayMode(), Toolbar::IconOnly);
  EXPECT_EQ(toolbar->textButtonForItemIdentifier(Toolbar::NextUnreadItemIdentifier), nullptr);
  EXPECT_EQ(toolbar->toolbar()->findChild<QLabel*>(QStringLiteral("ZPHToolbarItemNextUnreadLabel")), nullptr);
  EXPECT_FALSE(toolbar->controlForItemIdentifier(Toolbar::NextUnreadItemIdentifier)->isHidden());
}

TEST_F(CommandsAndToolbarTest, RefreshSpinsThroughASlowRefresh)
{
  ASSERT_NO_FATAL_FAILURE(start());
  ZPHMainWindowToolbarController* toolbar = controller->toolbarController();
  CBRefreshToolbarButton* refresh = toolbar->refreshButton();
  ASSERT_NE(refresh, nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !refresh->isCurrentRefreshing(); }, 20000));  // the first refresh
  const qint64 picture = refresh->imageForSegment(0).cacheKey();

  slowMs = 1500;
  Q_EMIT refresh->segmentClicked(0);  // refreshAll: through the responder chain
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return refresh->isCurrentRefreshing(); }, 5000));
  EXPECT_FALSE(refresh->isEnabled());
  EXPECT_TRUE(refresh->isHeartbeatRunning());
  const int step = refresh->heartbeatStep();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return refresh->heartbeatStep() != step; }, 1000));

  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !refresh->isCurrentRefreshing(); }, 30000));
  EXPECT_TRUE(refresh->isEnabled());
  EXPECT_FALSE(refresh->isHeartbeatRunning());
  EXPECT_EQ(refresh->imageForSegment(0).cacheKey(), picture);
}

namespace {

class RecordingCommand : public ZPHSharingPluginCommand {
public:
  QString commandID() const override { return QStringLiteral("test.record"); }
  QString title() const override { return QStringLiteral("Record"); }
  QList<int> commandTypes() const override { return {Sharing}; }
  bool validateWithItems(const QList<CBSharableItem>& items) const override { return items.size() == 1; }
  bool performCommandWithArray(const QList<CBSharableItem>& items, const CBUserInterfaceContext& context,
                               CBPluginHelper*, ZPHError*) override
  {
    runs += int(items.size());
    lastView = context.view();
    return true;
  }
  int runs = 0;
  QWidget* lastView = nullptr;
};

}  // namespace

TEST_F(CommandsAndToolbarTest, ASharingCommandWaitsForTheArticlesViewTwoSecondsAtMost)
{
  useManualClock = true;
  ASSERT_NO_FATAL_FAILURE(start());
  ASSERT_NO_FATAL_FAILURE(select(0));
  QWidget* view = nullptr;
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return (view = controller->viewRepresentingSelectedArticleForPluginPopover()); }));
  RecordingCommand command;
  controller->performSharingPluginCommandWithPluginCommand(&command);
  EXPECT_EQ(command.runs, 1);
  EXPECT_EQ(command.lastView, view);

  // The view is being shown: the command waits for it.
  view->hide();
  controller->performSharingPluginCommandWithPluginCommand(&command);
  EXPECT_TRUE(controller->isSharingRetryPending());
  ZPHTestSpinEventLoop(300);
  EXPECT_EQ(command.runs, 1);
  view->show();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return command.runs == 2; }));
  EXPECT_FALSE(controller->isSharingRetryPending());

  // Two seconds on, it gives up.
  view->hide();
  controller->performSharingPluginCommandWithPluginCommand(&command);
  clock.advance(ZPHMainWindowController::SharingRetryLimit + 1);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller->isSharingRetryPending(); }));
  view->show();
  ZPHTestSpinEventLoop(400);
  EXPECT_EQ(command.runs, 2);

  // Another selection ends the wait too.
  view->hide();
  controller->performSharingPluginCommandWithPluginCommand(&command);
  ASSERT_TRUE(controller->isSharingRetryPending());
  ASSERT_NO_FATAL_FAILURE(select(1));
  EXPECT_FALSE(controller->isSharingRetryPending());
  view->show();
  ZPHTestSpinEventLoop(400);
  EXPECT_EQ(command.runs, 2);
}

TEST_F(CommandsAndToolbarTest, TheSharePopoverOffersTheArticlesCommandsBelowTheShareItem)
{
  ZPHPluginCommandSendToInstapaper::setSavedUsername(QString());
  ASSERT_NO_FATAL_FAILURE(start());
  ASSERT_NO_FATAL_FAILURE(select(0));
  ASSERT_TRUE(QUrl(selected()->bestLink()).scheme().startsWith(QLatin1String("http")));
  // The page is in: commands run from the toolbar point at it.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller->viewRepresentingSelectedArticleForPluginPopover(); }));
  ZPHMainWindowToolbarController* toolbar = controller->toolbarController();
  QWidget* share = toolbar->controlForItemIdentifier(ZPHMainWindowToolbarController::ShareItemIdentifier);
  ASSERT_NE(share, nullptr);
  auto* label = share->parentWidget()->findChild<QLabel*>();
  ASSERT_NE(label, nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    controller->validateCommands();
    return share->isEnabled();
  }));

  ZPHSharingPopoverViewController* popover = ZPHSharingPopoverViewController::sharingPopoverViewController();
  toolbar->shareButtonPressed();
  ASSERT_TRUE(popover->isShown());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return popover->tableView()->isVisible(); }));
  // The article's web address: every row is live, as in the page's popover
  // and the list's Share submenu.
  QStringList grey;
  for (int row = 0; row < popover->sharingPluginArray().size(); ++row) {
    ZPHSharingPluginCommand* command = popover->sharingPluginArray().at(row);
    if (command != nullptr &&
        !popover->tableView()->model()->index(row, 0).data(ZPHSharingPopoverTableRowView::ValidRole).toBool())
      grey.append(command->title());
  }
  EXPECT_TRUE(grey.isEmpty()) << grey.join(u',').toStdString();
  EXPECT_TRUE(popover->sharingPluginArray().contains(ZPHPluginManager::sharedManager()->pluginCommandWithCommandID(
      QStringLiteral("com.fernhollow.Zephlin.plugin.sharing.SendToFacebook"))));

  // Under the Share item, its label included, and centred on it; the
  // read-later login, of another size, stays there.
  const auto expectBelowShare = [&](const char* shown) {
    const QRect frame = popover->popover()->frameGeometry();
    const QRect labelFrame(label->mapToGlobal(QPoint()), label->size());
    const int centre = share->mapToGlobal(share->rect().center()).x();
    EXPECT_GT(frame.top(), labelFrame.bottom()) << shown;
    EXPECT_LE(frame.top(), labelFrame.bottom() + 12) << shown;
    EXPECT_LE(std::abs(frame.center().x() - centre), 1) << shown;
  };
  expectBelowShare("the list");
  auto* readLater = ZPHPluginManager::sharedManager()->pluginCommandOfClass<ZPHPluginCommandSendToInstapaper>();
  ASSERT_NE(readLater, nullptr);
  const QSize listSize = popover->popover()->size();
  popover->runPlugin(readLater->commandID());
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    return readLater->instapaperLoginViewController() != nullptr &&
           popover->contentChildView() == readLater->instapaperLoginViewController()->view() &&
           popover->contentChildView()->isVisible();
  }));
  ASSERT_NE(popover->popover()->size(), listSize);
  expectBelowShare("the login");
  popover->closePopOver();

  // Share again closes what it opened.
  toolbar->shareButtonPressed();
  ASSERT_TRUE(popover->isShown());
  toolbar->shareButtonPressed();
  EXPECT_FALSE(popover->isShown());
}

namespace {

// A browser as the desktop lists it: a desktop entry with a picture of its
// own whose program records the address it is given, one line per run.
// Registered once per process, beside the program's plug-ins.
class TestBrowserPlugin : public CBPlugin {
public:
  static const QString ClassName;
  static QString recordFile() { return folder().filePath(QStringLiteral("opened.txt")); }
  static void registerOnce()
  {
    static const bool registered = [] {
      const ZPHTestTempDir& dir = folder();
      QImage picture(32, 32, QImage::Format_ARGB32);
      picture.fill(Qt::darkCyan);
      picture.save(dir.filePath(QStringLiteral("browser.png")));
      const QString script =
          dir.writeFile(QStringLiteral("browser.sh"),
                        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n").arg(recordFile()).toUtf8());
      QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
      const QString entry = dir.writeFile(
          QStringLiteral("org.example.TestBrowser.desktop"),
          QStringLiteral("[Desktop Entry]\nType=Application\nName=Test Browser\nExec=%1 %u\nIcon=%2\n"
                         "MimeType=x-scheme-handler/http;x-scheme-handler/https;\nCategories=Network;WebBrowser;\n")
              .arg(script, dir.filePath(QStringLiteral("browser.png")))
              .toUtf8());
      ZPHPluginManager::registerPluginClass(ClassName, [entry] {
        return std::make_unique<TestBrowserPlugin>(
            *ZPHDesktopEntry::fromFile(entry, QStringLiteral("org.example.TestBrowser.desktop")));
      });
      ZPHPluginManager::sharedManager()->registerPluginOfClass(ClassName);
      return true;
    }();
    Q_UNUSED(registered);
  }

  explicit TestBrowserPlugin(ZPHDesktopEntry entry)
      : m_command(std::make_unique<ZPHPluginCommandOpenInAnyBrowser>(std::move(entry)))
  {
  }
  QList<ZPHSharingPluginCommand*> allCommands() const override { return {m_command.get()}; }
  ZPHSharingPluginCommand* command() const { return m_command.get(); }

private:
  static const ZPHTestTempDir& folder()
  {
    static ZPHTestTempDir* dir = new ZPHTestTempDir;  // kept for the run
    return *dir;
  }
  std::unique_ptr<ZPHPluginCommandOpenInAnyBrowser> m_command;
};

const QString TestBrowserPlugin::ClassName = QStringLiteral("TestBrowserPlugin");

}  // namespace

TEST_F(CommandsAndToolbarTest, SharingCommandsAndBrowsersCanBeToolbarItems)
{
  using Toolbar = ZPHMainWindowToolbarController;
  ASSERT_NO_FATAL_FAILURE(start());
  TestBrowserPlugin::registerOnce();
  const QString prefix = QStringLiteral("com.fernhollow.Zephlin.plugin.sharing.");
  const QString mail = prefix + QStringLiteral("SendViaEmail");
  const QString browser = prefix + QStringLiteral("OpenInAnyBrowser.Test Browser");
  ASSERT_NE(Toolbar::pluginCommandForItemIdentifier(browser), nullptr);

  // Offered after the fixed items, before the spaces: sharing commands and
  // browsers with a picture; read-later and other applications are not.
  const QStringList offered = Toolbar::offeredItemIdentifiers();
  EXPECT_EQ(offered.mid(0, Toolbar::allowedItemIdentifiers().indexOf(Toolbar::FlexibleSpaceItemIdentifier)),
            Toolbar::allowedItemIdentifiers().mid(
                0, Toolbar::allowedItemIdentifiers().indexOf(Toolbar::FlexibleSpaceItemIdentifier)));
  EXPECT_LT(offered.indexOf(mail), offered.indexOf(browser));
  EXPECT_LT(offered.indexOf(browser), offered.indexOf(Toolbar::FlexibleSpaceItemIdentifier));
  for (const QString& left : {prefix + QStringLiteral("SendToInstapaper"), prefix + QStringLiteral("OpenInBrowser")})
    EXPECT_FALSE(offered.contains(left)) << left.toStdString();
  for (ZPHSharingPluginCommand* command :
       ZPHPluginManager::sharedManager()->commandsOfType(ZPHSharingPluginCommand::SendToApplication))
    EXPECT_FALSE(offered.contains(command->commandID())) << command->commandID().toStdString();
  EXPECT_EQ(Toolbar::labelForItemIdentifier(browser), QStringLiteral("Open in Test Browser"));

  // The sheet offers them by title; the toolbar keeps them.
  ZPHMainWindowToolbarController* toolbar = controller->toolbarController();
  ZPHToolbarCustomizationSheet* sheet = toolbar->runCustomizationSheet();
  QStringList titles;
  for (int row = 0; row < sheet->findChild<QListWidget*>(QStringLiteral("allowedItems"))->count(); ++row)
    titles.append(sheet->findChild<QListWidget*>(QStringLiteral("allowedItems"))->item(row)->text());
  EXPECT_TRUE(titles.contains(QStringLiteral("Mail Link")));
  EXPECT_TRUE(titles.contains(QStringLiteral("Open in Test Browser")));
  sheet->close();
  toolbar->setItemIdentifiers({Toolbar::ShareItemIdentifier, mail, browser, prefix + QStringLiteral("Gone")});
  EXPECT_EQ(toolbar->itemIdentifiers(), (QStringList{Toolbar::ShareItemIdentifier, mail, browser}));

  // With an article of a web address they run on it: the mail program
  // gets the link, the browser's program the address as one argument.
  ASSERT_NO_FATAL_FAILURE(select(1));
  const QString address = selected()->bestLink();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller->viewRepresentingSelectedArticleForPluginPopover(); }));
  QWidget* mailControl = toolbar->controlForItemIdentifier(mail);
  QWidget* browserControl = toolbar->controlForItemIdentifier(browser);
  ASSERT_NE(mailControl, nullptr);
  ASSERT_NE(browserControl, nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    controller->validateCommands();
    return mailControl->isEnabled() && browserControl->isEnabled();
  }));
  auto* label = browserControl->parentWidget()->findChild<QLabel*>();
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), QStringLiteral("Open in Test Browser"));
  QTest::mouseClick(mailControl, Qt::LeftButton, {}, mailControl->rect().center());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !app.openedURLs.isEmpty(); }));
  EXPECT_EQ(app.openedURLs.last().scheme(), QStringLiteral("mailto"));
  EXPECT_TRUE(app.openedURLs.last().toString(QUrl::FullyEncoded).contains(QUrl::toPercentEncoding(address)));
  QTest::mouseClick(browserControl, Qt::LeftButton, {}, browserControl->rect().center());
  QByteArray opened;
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        QFile file(TestBrowserPlugin::recordFile());
        opened = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        return !opened.isEmpty();
      },
      10000));
  EXPECT_EQ(opened, address.toUtf8() + '\n');

  // Text only, an item is its title as a button.
  toolbar->setDisplayMode(Toolbar::LabelOnly);
  QAbstractButton* text = toolbar->textButtonForItemIdentifier(browser);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text(), QStringLiteral("Open in Test Browser"));
}
