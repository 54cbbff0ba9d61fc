// The main window's keys in the running application: single keys of the
// "Zephlin 3" set, text fields and web pages that type, the commands'
// shortcuts from the set; and what the window announces.

#include "app/shell/AppHarness.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "foundation/CBPrefs.h"
#include "keys/ZPHEditableFocusReporter.h"
#include "keys/ZPHKeyMappingController.h"
#include "mainwindow/ZPHMainWindow.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/accounts/ZPHArticleListController.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtGui/QAction>
#include <QtGui/QUndoStack>
#include <QtTest/QTest>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineWidgets/QWebEngineView>
#include <QtWidgets/QLineEdit>

namespace {

// A page that hands its console messages to its editable-focus reporter, as
// the application's page class does.
class ReportingPage : public QWebEnginePage {
public:
  explicit ReportingPage(QObject* parent) : QWebEnginePage(parent), reporter(new ZPHEditableFocusReporter(this)) {}
  ZPHEditableFocusReporter* reporter;

protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int, const QString&) override
  {
    reporter->takeConsoleMessage(message);
  }
};

class KeyRoutingTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ASSERT_TRUE(server.start());
    server.route(QStringLiteral("/feed.xml"), [this](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "application/rss+xml"}};
      response.body = ZPHTestFeed(server.url(), 3);
      return response;
    });
  }
  void TearDown() override
  {
    app.stop();
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHKeyMapSetName);
  }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }

  // Starts on a store with the loopback feed in the folder "News", refreshed,
  // the folder selected in the source list and the list focused.
  void startWithFolder(const QString& keySet)
  {
    ZPHUserDefaults::standardUserDefaults().setString(ZPHKeyMapSetName, keySet);
    RefreshSessionCounter sessions;
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
    sourceList = controller->sourceListViewController();
    sourceList->refreshDataCacheReloadDataAndSelectObject(static_cast<CBNode*>(folder), true);
    ASSERT_TRUE(ZPHTestWaitUntil([&] {
      return !sourceList->selectedOutlineItems().isEmpty() &&
             sourceList->selectedOutlineItems().first()->representedNode() == folder &&
             sourceList->selectedOutlineItems().first()->countForDisplay() == 3;
    }));
    // The article list shows the folder's articles.
    ASSERT_TRUE(ZPHTestWaitUntil([&] {
      ZPHArticleListController* list = controller->articleListDelegate()->articleListController();
      return list != nullptr && list->count() == 3 && list->hasAnyUnreadItems();
    }));
    window->activateWindow();
    sourceList->makeSourceListOutlineViewFirstResponder();
    ASSERT_EQ(window->focusWidget(), sourceList->sourceListOutlineView());
  }

  // A web view in the window showing a paragraph and a text field
  // ("field"), loaded and focused; its page reports its editable focus.
  ReportingPage* showPageWithField(QWebEngineView*& view)
  {
    view = new QWebEngineView(window);
    auto* page = new ReportingPage(view);
    view->setPage(page);
    view->resize(400, 300);
    view->show();
    bool loaded = false;
    QObject::connect(page, &QWebEnginePage::loadFinished, [&](bool ok) { loaded = ok; });
    page->setHtml(QStringLiteral("<html><body><p>Text</p><input id=\"field\"></body></html>"));
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return loaded; }, 60000));
    view->setFocus();
    return loaded ? page : nullptr;
  }

  int unreadCount()
  {
    int unread = 0;
    for (CBDataArticle* article : CBDataArticle::articlesForFeedWithURL(server.url(QStringLiteral("/feed.xml")), main))
      unread += article->read() ? 0 : 1;
    return unread;
  }

  // A key pressed in the window, as the desktop delivers it.
  void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
  {
    QTest::keyClick(window->windowHandle(), key, modifiers);
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  AppHarness app{dataFolder()};
  ZPHMainWindowController* controller = nullptr;
  ZPHMainWindow* window = nullptr;
  ZPHSourceListViewController* sourceList = nullptr;
  ZPHManagedObjectContext* main = nullptr;
  CBFolder* folder = nullptr;
};

}  // namespace

TEST_F(KeyRoutingTest, InZephlin3KMarksTheFolderReadAndUndoBringsItBack)
{
  ASSERT_NO_FATAL_FAILURE(startWithFolder(ZPHKeyMappingController::Zephlin3SetName));
  // The set's shortcuts are on the commands.
  EXPECT_EQ(app.delegate->commandAction(QStringLiteral("refreshAll:"))->shortcut(),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
  EXPECT_EQ(controller->commandAction(QStringLiteral("markAllAsRead:"))->shortcut(),
            QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_K));

  QUndoStack* undo = controller->undoManager();
  press(Qt::Key_K);
  EXPECT_EQ(undo->count(), 1);
  EXPECT_EQ(undo->undoText(), QStringLiteral("Mark All As Read"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 0; }, 20000));

  undo->undo();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 3; }, 20000));

  // In a text field the letter is typed, nothing is marked.
  auto* field = new QLineEdit(window);
  field->show();
  field->setFocus();
  ASSERT_EQ(window->focusWidget(), field);
  press(Qt::Key_K);
  press(Qt::Key_R);
  EXPECT_EQ(field->text(), QStringLiteral("kr"));
  EXPECT_EQ(undo->count(), 1);  // the undone step, nothing new
  EXPECT_EQ(unreadCount(), 3);
  delete field;

  // The set's own shortcut for the command works as well.
  sourceList->makeSourceListOutlineViewFirstResponder();
  press(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 0; }, 20000));
  EXPECT_EQ(undo->count(), 1);
  EXPECT_EQ(undo->index(), 1);
}

TEST_F(KeyRoutingTest, InZephlin4SingleKeysAreTheListsOwn)
{
  ASSERT_NO_FATAL_FAILURE(startWithFolder(ZPHKeyMappingController::Zephlin4SetName));
  EXPECT_EQ(app.delegate->commandAction(QStringLiteral("refreshAll:"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
  press(Qt::Key_K);
  ZPHTestSpinEventLoop(50);
  app.settle();
  EXPECT_EQ(controller->undoManager()->count(), 0);
  EXPECT_EQ(unreadCount(), 3);

  // Switching the set switches the single keys at once.
  ZPHUserDefaults::standardUserDefaults().setString(ZPHKeyMapSetName, ZPHKeyMappingController::Zephlin3SetName);
  ASSERT_TRUE(ZPHTestWaitUntil(
      [] { return ZPHKeyMappingController::sharedMappingController()->shouldSupportUnmodifiedSingleKeyShortcuts(); }));
  EXPECT_EQ(app.delegate->commandAction(QStringLiteral("refreshAll:"))->shortcut(),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
  sourceList->makeSourceListOutlineViewFirstResponder();
  press(Qt::Key_K);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 0; }, 20000));
}

TEST_F(KeyRoutingTest, AWebPageTypesInItsFieldsAndTakesTheWindowsKeysElsewhere)
{
  ASSERT_NO_FATAL_FAILURE(startWithFolder(ZPHKeyMappingController::Zephlin3SetName));
  QWebEngineView* view = nullptr;
  ReportingPage* page = showPageWithField(view);
  ASSERT_NE(page, nullptr);
  ASSERT_EQ(ZPHMainWindow::focusKindForWidget(window->focusWidget()), ZPHMainWindow::FocusKind::WebContent);

  // The field has the focus: the page takes the letters.
  page->runJavaScript(QStringLiteral("document.getElementById('field').focus();"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return page->reporter->editableFocus(); }, 20000));
  EXPECT_TRUE(window->isFocusOutOfBoundsForCustomKeyHandling(window->focusWidget()));
  press(Qt::Key_K);
  press(Qt::Key_R);
  QString typed;
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        page->runJavaScript(QStringLiteral("document.getElementById('field').value"),
                            [&](const QVariant& value) { typed = value.toString(); });
        ZPHTestSpinEventLoop(20);
        return typed == QLatin1String("kr");
      },
      20000))
      << typed.toStdString();
  EXPECT_EQ(controller->undoManager()->count(), 0);
  EXPECT_EQ(unreadCount(), 3);

  // Out of the field, "k" is the window's again; a page's own report
  // without the token changes nothing.
  page->runJavaScript(
      QStringLiteral("console.debug('zph-editable-focus:forged:1');"
                     "document.getElementById('field').blur();"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !page->reporter->editableFocus(); }, 20000));
  ZPHTestSpinEventLoop(50);
  EXPECT_FALSE(page->reporter->editableFocus());
  press(Qt::Key_K);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 0; }, 20000));
  delete view;
}

TEST_F(KeyRoutingTest, TheWindowAnnouncesFocusChildWindowsAndClicks)
{
  ASSERT_NO_FATAL_FAILURE(startWithFolder(ZPHKeyMappingController::Zephlin4SetName));
  QStringList posted;
  QList<QVariant> objects;
  std::vector<ZPHObserverToken> tokens;
  for (const QString& name : {CBMainResponderDidChangeNotification, ZPHMainWindowChildWindowWillAddNotification,
                              ZPHMainWindowChildWindowDidAddNotification, ZPHSharingHitTestWindowClickEvent}) {
    tokens.push_back(
        ZPHNotificationCenter::defaultCenter().addObserver(name, QVariant(), [&](const ZPHNotification& n) {
          posted.append(n.name);
          objects.append(n.userInfo.value(ZPHMainWindowChildWindowKey));
        }));
  }
  auto* field = new QLineEdit(window);
  field->show();
  field->setFocus();
  ZPHTestSpinEventLoop(10);
  EXPECT_TRUE(posted.contains(CBMainResponderDidChangeNotification));

  posted.clear();
  objects.clear();
  auto* child = new QWidget;
  window->addChildWindow(child);
  EXPECT_EQ(posted,
            (QStringList{ZPHMainWindowChildWindowWillAddNotification, ZPHMainWindowChildWindowDidAddNotification}));
  EXPECT_EQ(objects.value(0).value<QWidget*>(), child);
  EXPECT_EQ(child->parentWidget(), window);

  posted.clear();
  QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(posted.isEmpty());
  window->setFireClickEvents(true);
  QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(posted.count(ZPHSharingHitTestWindowClickEvent), 1);
  delete field;
}

TEST_F(KeyRoutingTest, UndoAndRedoKeysWorkFromTheWindowButNotWhileTextIsEdited)
{
  ASSERT_NO_FATAL_FAILURE(startWithFolder(ZPHKeyMappingController::Zephlin4SetName));
  QUndoStack* undo = controller->undoManager();
  QAction* undoCommand = controller->commandAction(QStringLiteral("undo:"));
  QAction* redoCommand = controller->commandAction(QStringLiteral("redo:"));
  ASSERT_NE(undoCommand, nullptr);
  ASSERT_NE(redoCommand, nullptr);
  EXPECT_FALSE(controller->validateUserInterfaceItem(undoCommand));
  EXPECT_EQ(undoCommand->text(), QStringLiteral("Undo"));

  // The source list has the focus: Mark All As Read, undone and redone by key.
  press(Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 0; }, 20000));
  EXPECT_TRUE(controller->validateUserInterfaceItem(undoCommand));
  EXPECT_EQ(undoCommand->text(), QStringLiteral("Undo Mark All As Read"));
  press(Qt::Key_Z, Qt::ControlModifier);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 3; }, 20000));
  EXPECT_TRUE(controller->validateUserInterfaceItem(redoCommand));
  EXPECT_EQ(redoCommand->text(), QStringLiteral("Redo Mark All As Read"));
  press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 0; }, 20000));
  EXPECT_EQ(undo->index(), 1);

  // A text field undoes its own typing.
  auto* field = new QLineEdit(window);
  field->show();
  field->setFocus();
  ASSERT_EQ(window->focusWidget(), field);
  press(Qt::Key_A);
  press(Qt::Key_B);
  ASSERT_EQ(field->text(), QStringLiteral("ab"));
  press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(field->text().isEmpty());
  press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(field->text(), QStringLiteral("ab"));
  app.settle();
  EXPECT_EQ(undo->index(), 1);
  EXPECT_EQ(unreadCount(), 0);
  delete field;

  // A page's field keeps the keys; the rest of the page gives them to the
  // window.
  QWebEngineView* view = nullptr;
  ReportingPage* page = showPageWithField(view);
  ASSERT_NE(page, nullptr);
  page->runJavaScript(QStringLiteral("document.getElementById('field').focus();"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return page->reporter->editableFocus(); }, 20000));
  const auto fieldValue = [&] {
    QString value;
    bool answered = false;
    page->runJavaScript(QStringLiteral("document.getElementById('field').value"), [&](const QVariant& result) {
      value = result.toString();
      answered = true;
    });
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return answered; }, 20000));
    return value;
  };
  press(Qt::Key_X);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return fieldValue() == QLatin1String("x"); }, 20000));
  press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return fieldValue().isEmpty(); }, 20000)) << fieldValue().toStdString();
  app.settle();
  EXPECT_EQ(undo->index(), 1);
  EXPECT_EQ(unreadCount(), 0);

  page->runJavaScript(QStringLiteral("document.getElementById('field').blur();"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !page->reporter->editableFocus(); }, 20000));
  ASSERT_EQ(ZPHMainWindow::focusKindForWidget(window->focusWidget()), ZPHMainWindow::FocusKind::WebContent);
  press(Qt::Key_Z, Qt::ControlModifier);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unreadCount() == 3; }, 20000));
  EXPECT_EQ(undo->index(), 0);
  delete view;
}
