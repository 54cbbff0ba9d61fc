// The main window as the user left it, across restarts of the application
// on the real settings file: its place and size, its maximised state, the
// source list's width and the article list's size in both layouts; and a
// place on a screen that is gone.

#include "app/shell/AppHarness.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHArticleListSettings.h"
#include "articlelist/ZPHClassicLayoutViewController.h"
#include "kit/ZPHWindowAutosave.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/ZPHMainWindowSplitView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/accounts/ZPHArticleListController.h"

#include <QtCore/QSettings>
#include <QtGui/QScreen>
#include <QtTest/QTest>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QSplitter>

namespace {

class WindowRememberedTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHContentLayoutMode);
    ASSERT_TRUE(server.start());
    ZPHServeTestFeed(server, 3);
    ASSERT_NO_FATAL_FAILURE(ZPHSeedStoreWithFeed(dataFolder(), server.url(QStringLiteral("/feed.xml"))));
  }
  void TearDown() override
  {
    app.stop();
    ZPHResetApplicationSettings();
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHContentLayoutMode);
  }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }

  // Starts with the feed's articles listed (All Unread), the window shown.
  void start()
  {
    RefreshSessionCounter sessions;
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    controller = app.delegate->mainWindowController();
    window = controller->window();
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished > 0; }, 30000));
    app.settle();
    controller->sourceListViewController()->selectRow(1);
    ASSERT_TRUE(ZPHTestWaitUntil([&] {
      ZPHArticleListController* list = controller->articleListDelegate()->articleListController();
      return list != nullptr && list->count() == 3 && listSplit() != nullptr && listSplit()->isVisible();
    }));
    ASSERT_TRUE(window->isVisible());
  }

  // Quits as the user does, and sees the settings reach the disk.
  void quit()
  {
    app.stop();
    ZPHUserDefaults::standardUserDefaults().synchronize();
  }

  QSplitter* listSplit() const
  {
    auto* layout =
        qobject_cast<ZPHClassicLayoutViewController*>(controller->articleListDelegate()->currentLayoutViewController());
    return layout != nullptr ? layout->splitView() : nullptr;
  }

  // Drags a split view's divider by `by` points, as the user does.
  static void dragDivider(QSplitter* split, int by)
  {
    QSplitterHandle* handle = split->handle(1);
    ASSERT_NE(handle, nullptr);
    const QPoint grip(handle->width() / 2, handle->height() / 2);
    const QPoint step = split->orientation() == Qt::Horizontal ? QPoint(by / 2, 0) : QPoint(0, by / 2);
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QTest::mouseMove(handle, grip + step);
    QTest::mouseMove(handle, grip + 2 * step);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + 2 * step);
  }

  // The settings file as another program would read it.
  static QVariant storedValue(const QString& key)
  {
    QSettings file(QSettings().fileName(), QSettings::IniFormat);
    return file.value(key);
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  AppHarness app{dataFolder()};
  ZPHMainWindowController* controller = nullptr;
  QMainWindow* window = nullptr;
};

}  // namespace

TEST_F(WindowRememberedTest, PlaceSizeAndDividersComeBackAfterARestart)
{
  ASSERT_NO_FATAL_FAILURE(start());
  // The first run: the window's own size, where the screen has room for it
  // and a title bar.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QSize titleBar(0, ZPHWindowAutosave::TitleBarAllowance);
  EXPECT_EQ(window->size(), ZPHMainWindowController::DefaultWindowSize.boundedTo(screen.size() - titleBar));

  window->move(10, 20);
  window->resize(760, 500);
  controller->applicationSplitView()->moveDividerToPosition(200);
  ASSERT_EQ(controller->applicationSplitView()->dividerPosition(), 200);
  const int listWidth = listSplit()->sizes().value(0);
  ASSERT_NO_FATAL_FAILURE(dragDivider(listSplit(), -80));
  const int draggedWidth = listSplit()->sizes().value(0);
  ASSERT_LT(draggedWidth, listWidth - 40);
  ASSERT_NO_FATAL_FAILURE(quit());

  EXPECT_EQ(storedValue(QStringLiteral("ZPHMainWindowFrame")).toRect(), QRect(10, 20, 760, 500));
  EXPECT_EQ(storedValue(QStringLiteral("ZPHMainWindowMaximized")).toBool(), false);
  EXPECT_EQ(storedValue(QStringLiteral("ZPHSourceListWidth")).toInt(), 200);
  EXPECT_EQ(storedValue(QStringLiteral("ZPHStandardLayoutListWidth")).toInt(), draggedWidth);

  ASSERT_NO_FATAL_FAILURE(start());
  EXPECT_EQ(window->pos(), QPoint(10, 20));
  EXPECT_EQ(window->size(), QSize(760, 500));
  EXPECT_EQ(controller->applicationSplitView()->dividerPosition(), 200);
  EXPECT_EQ(listSplit()->sizes().value(0), draggedWidth);

  // The classic layout keeps its list's height apart.
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHContentLayoutMode, 1);
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    return listSplit() != nullptr && listSplit()->orientation() == Qt::Vertical && listSplit()->isVisible();
  }));
  const int listHeight = listSplit()->sizes().value(0);
  ASSERT_NO_FATAL_FAILURE(dragDivider(listSplit(), -60));
  const int draggedHeight = listSplit()->sizes().value(0);
  ASSERT_LT(draggedHeight, listHeight - 30);

  // Left maximised, it comes back maximised, and in its place when restored.
  window->showMaximized();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return window->isMaximized(); }));
  ASSERT_NO_FATAL_FAILURE(quit());
  EXPECT_EQ(storedValue(QStringLiteral("ZPHMainWindowMaximized")).toBool(), true);
  EXPECT_EQ(storedValue(QStringLiteral("ZPHMainWindowFrame")).toRect(), QRect(10, 20, 760, 500));
  EXPECT_EQ(storedValue(QStringLiteral("ZPHClassicLayoutListHeight")).toInt(), draggedHeight);

  ASSERT_NO_FATAL_FAILURE(start());
  EXPECT_TRUE(window->isMaximized());
  EXPECT_EQ(listSplit()->orientation(), Qt::Vertical);
  EXPECT_EQ(listSplit()->sizes().value(0), draggedHeight);
  window->showNormal();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !window->isMaximized() && window->size() == QSize(760, 500); }));
  EXPECT_EQ(window->pos(), QPoint(10, 20));
}

TEST_F(WindowRememberedTest, APlaceOnAScreenThatIsGoneComesBackOnThisOne)
{
  // Left on a second screen, far to the right, larger than this one.
  ZPHUserDefaults::standardUserDefaults().setObject(QStringLiteral("ZPHMainWindowFrame"),
                                                    QRect(4000, 2500, 3000, 2000));
  ZPHUserDefaults::standardUserDefaults().synchronize();
  ASSERT_NO_FATAL_FAILURE(start());
  // Its content and a title bar above it on this screen.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect frame(window->pos(), window->size() + QSize(0, ZPHWindowAutosave::TitleBarAllowance));
  EXPECT_TRUE(screen.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
  EXPECT_EQ(frame.size(), screen.size());
}
