// The main window controller in the running application: undo and redo
// through the application's undoable operations, the status items the
// application keeps and hands over, subscription and import bezels, the
// unread mirrors, live resize, plain texts in the status area and the
// bezel; and the right pane's view changes.

#include "app/shell/AppHarness.h"
#include "common/ZPHApplicationNotifications.h"
#include "common/ZPHLiveResizeNotifications.h"
#include "feeds/refresh/ZPHDeterminateProgressStatusItem.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/CBPrefs.h"
#include "mainwindow/ZPHDockMenuController.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/ZPHRightPaneContainerView.h"
#include "mainwindow/bezel/ZPHNotificationBezelTextField.h"
#include "mainwindow/bezel/ZPHNotificationBezelWindow.h"
#include "mainwindow/bezel/ZPHNotificationBezelWindowController.h"
#include "mainwindow/status/ZPHStatusViewController.h"
#include "mainwindow/status/ZPHStatusViewTextField.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHMarkAsReadOperation.h"
#include "subscribe/ZPHSubscribeRequest.h"
#include "subscribe/ZPHSubscriber.h"

#include <QtGui/QUndoStack>
#include <QtTest/QSignalSpy>
#include <QtWidgets/QMainWindow>

#include <thread>

namespace {

class MainWindowControllerTest : public ::testing::Test {
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
  void TearDown() override { app.stop(); }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }

  void start()
  {
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    controller = app.delegate->mainWindowController();
    ASSERT_NE(controller, nullptr);
    controller->statusViewController()->setSlideDuration(0);
  }

  static bool isRead(ZPHManagedObjectContext* context, const ZPHManagedObjectID& id)
  {
    auto* article = dynamic_cast<CBDataArticle*>(context->existingObjectWithID(id));
    return article != nullptr && article->read();
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  AppHarness app{dataFolder()};
  ZPHMainWindowController* controller = nullptr;
};

std::shared_ptr<ZPHStatusItem> item(const QString& text, const QString& identifier)
{
  return ZPHStatusItem::statusItemWithLocalizedDescription(text, identifier, ZPHStatusItemTypeIndeterminateProgress);
}

}  // namespace

TEST_F(MainWindowControllerTest, UndoAndRedoAReadMarkThroughTheApplication)
{
  ZPHSeedStoreWithFeed(dataFolder(), server.url(QStringLiteral("/feed.xml")));
  RefreshSessionCounter sessions;
  start();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished == 1; }, 30000));
  app.settle();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return app.delegate->unreadCount() == 3; }, 20000));
  // The mirrors follow the application's totals.
  EXPECT_EQ(controller->unreadCount(), 3u);

  ZPHManagedObjectContext* main = app.data()->mainThreadManagedObjectContext();
  const QList<ZPHManagedObjectID> articles =
      main->executeFetchRequestForObjectIDs(ZPHFetchRequest(CBDataEntityNameArticle));
  ASSERT_EQ(articles.size(), 3);
  const ZPHManagedObjectID first = articles.constFirst();
  QSignalSpy unread(controller, &ZPHMainWindowController::unreadCountChanged);

  QUndoStack* undo = controller->undoManager();
  app.delegate->performUndoableOperation(ZPHMarkAsReadOperation::operationWithArticleManagedObjectIds({first}, true));
  EXPECT_EQ(undo->count(), 1);
  EXPECT_EQ(undo->undoText(), QStringLiteral("Mark As Read"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return isRead(main, first); }, 20000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller->unreadCount() == 2; }, 20000));
  EXPECT_FALSE(unread.isEmpty());

  undo->undo();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !isRead(main, first); }, 20000));
  EXPECT_EQ(undo->redoText(), QStringLiteral("Mark As Read"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller->unreadCount() == 3; }, 20000));

  undo->redo();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return isRead(main, first); }, 20000));
  EXPECT_EQ(undo->undoText(), QStringLiteral("Mark As Read"));
  EXPECT_EQ(undo->count(), 1);
}

TEST_F(MainWindowControllerTest, StatusItemsGoToTheAreaOnceItExistsAndEndWithIt)
{
  // Kept before the window exists, handed over in order when it comes.
  const auto early = item(QStringLiteral("Early"), QStringLiteral("early"));
  const auto later = item(QStringLiteral("Later"), QStringLiteral("later"));
  int added = 0;
  app.beforeLaunch = [&](ZPHAppDelegate* delegate) {
    delegate->addStatusItem(early, [&] { ++added; });
    delegate->addStatusItem(later, {});
  };
  start();
  EXPECT_EQ(added, 1);
  EXPECT_TRUE(app.delegate->statusItems().isEmpty());
  ZPHStatusViewController* area = controller->statusViewController();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return area->currentStatusItem() == early; }));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return area->orderedStatusItems().contains(later); }, 20000));
  EXPECT_LT(area->orderedStatusItems().indexOf(early), area->orderedStatusItems().indexOf(later));

  // Calls from another thread reach the area too.
  const auto threaded = item(QStringLiteral("From a thread"), QStringLiteral("thread"));
  std::thread worker([&] { app.delegate->addStatusItem(threaded, {}); });
  worker.join();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return area->orderedStatusItems().contains(threaded); }));

  // A text with markup shows as it is.
  const QString markup = QStringLiteral("<b>x</b><img src=x>");
  app.delegate->removeAnyStatusItemWithIdentifier(QStringLiteral("early"));
  app.delegate->removeAnyStatusItemWithIdentifier(QStringLiteral("later"));
  app.delegate->removeAnyStatusItemWithIdentifier(QStringLiteral("thread"));
  app.delegate->addStatusItem(item(markup, QStringLiteral("markup")), {});
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        return area->currentStatusItem() != nullptr &&
               area->currentStatusItem()->identifier() == QLatin1String("markup");
      },
      20000));
  const QList<ZPHStatusViewTextField*> fields = area->currentStatusItemView()->findChildren<ZPHStatusViewTextField*>();
  ASSERT_FALSE(fields.isEmpty());
  EXPECT_EQ(fields.constFirst()->text(), markup);
  EXPECT_EQ(fields.constFirst()->textFormat(), Qt::PlainText);

  // When the area goes, removals still waiting run their handlers; after
  // it, handlers run at once.
  bool pendingRemoved = false;
  app.delegate->removeStatusItem(area->currentStatusItem(), [&] { pendingRemoved = true; });
  bool closed = false;
  app.delegate->closeStoreThen([&] { closed = true; });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return closed; }, 30000));
  EXPECT_TRUE(pendingRemoved);
  EXPECT_EQ(app.delegate->mainWindow(), nullptr);
  int handled = 0;
  const auto afterwards = item(QStringLiteral("After"), QStringLiteral("after"));
  app.delegate->addStatusItem(afterwards, [&] { ++handled; });
  app.delegate->removeStatusItem(afterwards, [&] { ++handled; });
  EXPECT_EQ(handled, 2);
  app.delegate->requestTermination();
  EXPECT_TRUE(app.waitForExit());
}

TEST_F(MainWindowControllerTest, AShortStatusTextFitsBesideItsProgressBarInTheFirstWindow)
{
  start();
  ZPHStatusViewController* area = controller->statusViewController();
  const auto import = ZPHDeterminateProgressStatusItem::determinateProgressStatusItemWithLocalizedDescription(
      QStringLiteral("Importing OPML…"), QStringLiteral("import"));
  app.delegate->addStatusItem(import, {});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return area->currentStatusItem() == import; }, 20000));
  const QList<ZPHStatusViewTextField*> fields = area->currentStatusItemView()->findChildren<ZPHStatusViewTextField*>();
  ASSERT_FALSE(fields.isEmpty());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return fields.constFirst()->width() > 0; }));
  EXPECT_FALSE(fields.constFirst()->isTruncated()) << fields.constFirst()->displayedText().toStdString();
  app.delegate->requestTermination();
  EXPECT_TRUE(app.waitForExit());
}

TEST_F(MainWindowControllerTest, SubscribingShowsItsStatusItemThenItsBezel)
{
  start();
  ZPHStatusViewController* area = controller->statusViewController();
  const auto showing = [&](const QString& identifier) {
    const QList<std::shared_ptr<ZPHStatusItem>> items = area->orderedStatusItems();
    return std::any_of(items.cbegin(), items.cend(),
                       [&](const auto& each) { return each->identifier() == identifier; });
  };
  auto request = std::make_shared<ZPHSubscribeRequest>();
  request->setFeedURL(server.url(QStringLiteral("/feed.xml")));
  std::shared_ptr<ZPHSubscriber> subscriber = ZPHSubscriber::subscriberWithSubscribeRequests({request});
  ASSERT_TRUE(subscriber->subscribe());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return showing(ZPHMainWindowController::AddingFeedsStatusItemIdentifier); }));
  bool sawText = false;
  for (const auto& each : area->orderedStatusItems())
    sawText |= each->localizedDescription() == QStringLiteral("Adding Site…");
  EXPECT_TRUE(sawText);
  ZPHNotificationBezelWindowController* bezel = nullptr;
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        bezel = controller->notificationBezelWindowController();
        return bezel != nullptr && bezel->isShowingBezel();
      },
      30000));
  EXPECT_EQ(bezel->text(), QStringLiteral("Site Added"));
  EXPECT_FALSE(bezel->image().isNull());
  EXPECT_TRUE(
      ZPHTestWaitUntil([&] { return !showing(ZPHMainWindowController::AddingFeedsStatusItemIdentifier); }, 20000));

  // Two requests read "Adding Sites…"; none shows nothing.
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  center.post(ZPHBatchSubscribeWillStartNotification, {},
              {{ZPHBatchSubscribeNotificationSubscribeRequestsKey,
                QVariant::fromValue(ZPHSubscribeRequests{request, std::make_shared<ZPHSubscribeRequest>()})}});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return showing(ZPHMainWindowController::AddingFeedsStatusItemIdentifier); }));
  bool plural = false;
  for (const auto& each : area->orderedStatusItems())
    plural |= each->localizedDescription() == QStringLiteral("Adding Sites…");
  EXPECT_TRUE(plural);
  center.post(ZPHBatchSubscribeWillStartNotification, {},
              {{ZPHBatchSubscribeNotificationSubscribeRequestsKey, QVariant::fromValue(ZPHSubscribeRequests{})}});
  // A finished batch without new feeds takes the item away, no bezel.
  center.post(ZPHBatchSubscribeDidFinishNotification);
  EXPECT_TRUE(
      ZPHTestWaitUntil([&] { return !showing(ZPHMainWindowController::AddingFeedsStatusItemIdentifier); }, 20000));
}

TEST(MainWindowBezels, ImportBezelsByTheirCounts)
{
  const QVariantList three{1, 2, 3};
  const QVariantList two{1, 2};
  const struct {
    const char* name;
    QVariantMap userInfo;
    QString text;
    QString image;
  } cases[] = {
      {"no user info", {}, QStringLiteral("Sites Imported"), QStringLiteral("BezelNotificationNoSitesAdded")},
      {"nothing",
       {{ZPHImportedFeedsKey, QVariantList()}, {ZPHDuplicateFeedsKey, QVariantList()}},
       QStringLiteral("No Sites Found"),
       QStringLiteral("BezelNotificationNoSitesAdded")},
      {"three imported",
       {{ZPHImportedFeedsKey, three}},
       QStringLiteral("Imported 3 Sites"),
       QStringLiteral("BezelNotificationSitesAdded")},
      {"two duplicates",
       {{ZPHImportedFeedsKey, QVariantList()}, {ZPHDuplicateFeedsKey, two}},
       QStringLiteral("Import Finished. 2 Duplicates"),
       QStringLiteral("BezelNotificationSitesAdded")},
      {"both",
       {{ZPHImportedFeedsKey, three}, {ZPHDuplicateFeedsKey, two}},
       QStringLiteral("Imported 3 Sites, 2 Duplicates"),
       QStringLiteral("BezelNotificationSitesAdded")},
      {"one imported",
       {{ZPHImportedFeedsKey, QVariantList{1}}},
       QStringLiteral("Imported 1 Site"),
       QStringLiteral("BezelNotificationSitesAdded")},
      {"one of each",
       {{ZPHImportedFeedsKey, QVariantList{1}}, {ZPHDuplicateFeedsKey, QVariantList{2}}},
       QStringLiteral("Imported 1 Site, 1 Duplicate"),
       QStringLiteral("BezelNotificationSitesAdded")},
      {"one duplicate",
       {{ZPHImportedFeedsKey, QVariantList()}, {ZPHDuplicateFeedsKey, QVariantList{2}}},
       QStringLiteral("Import Finished. 1 Duplicate"),
       QStringLiteral("BezelNotificationSitesAdded")},
      {"no bezel asked", {{ZPHImportedFeedsKey, three}, {ZPHShouldShowBezelKey, false}}, QString(), QString()},
  };
  for (const auto& c : cases) {
    const auto [text, image] = ZPHMainWindowController::importBezelTextAndImageName(c.userInfo);
    EXPECT_EQ(text, c.text) << c.name;
    EXPECT_EQ(image, c.image) << c.name;
  }
}

TEST_F(MainWindowControllerTest, BezelsShowTheirTextsAsTextAndResizingIsALiveResize)
{
  start();
  const QString markup = QStringLiteral("<b>x</b><img src=x>");
  controller->showNotificationBezelWithText(markup, QImage());
  ZPHNotificationBezelWindowController* bezel = controller->notificationBezelWindowController();
  ASSERT_NE(bezel, nullptr);
  const QList<ZPHNotificationBezelTextField*> fields = bezel->window()->findChildren<ZPHNotificationBezelTextField*>();
  ASSERT_FALSE(fields.isEmpty());
  EXPECT_EQ(fields.constFirst()->text(), markup);
  EXPECT_EQ(fields.constFirst()->textFormat(), Qt::PlainText);
  // A read-later failure shows the service's words, plain.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !bezel->isShowingBezel(); }, 10000));
  ZPHError failure(QStringLiteral("instapaper"), 1, {{ZPHLocalizedDescriptionKey, markup}});
  ZPHNotificationCenter::defaultCenter().post(ZPHSendToInstapaperClientDidFailNotification, {},
                                              {{ZPHUnderlyingErrorKey, QVariant::fromValue(failure)}});
  EXPECT_EQ(bezel->text(), markup);

  // From the first resize until 200 ms after the last.
  int started = 0;
  int ended = 0;
  ZPHObserverToken startToken = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHSourceListLiveResizeStartedNotification, QVariant(), [&](const ZPHNotification&) { ++started; });
  ZPHObserverToken endToken = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHSourceListLiveResizeEndedNotification, QVariant(), [&](const ZPHNotification&) { ++ended; });
  // What the window's showing resized has come to rest first.
  ZPHSourceListView* sourceList = controller->sourceListViewController()->sourceListOutlineView();
  ASSERT_TRUE(ZPHTestWaitUntilSettled([&] { return !sourceList->isInLiveResize(); }, 20000));
  started = ended = 0;
  QMainWindow* window = controller->window();
  // One resize after the other, however slow the machine: each is
  // delivered, and no timer runs in between.
  for (int step = 1; step <= 4; ++step) {
    window->resize(1000 + 10 * step, 600 + 10 * step);
    QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers);
  }
  EXPECT_EQ(started, 1);
  EXPECT_EQ(ended, 0);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return ended == 1; }, 20000));
  EXPECT_EQ(started, 1);
}

TEST_F(MainWindowControllerTest, TheDockMenuChecksTheStoredChoice)
{
  start();
  ZPHDockMenuController* menu = controller->dockMenuController();
  ASSERT_NE(menu, nullptr);
  const auto checked = [menu] {
    return QList<bool>{menu->useFavoritesCount()->isChecked(), menu->useTotalCount()->isChecked(),
                       menu->useNoCount()->isChecked()};
  };
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHUnreadCountSelection, 5);
  menu->updateMenuItems();
  EXPECT_EQ(checked(), (QList<bool>{false, false, true}));
  menu->useTotalCount()->trigger();
  EXPECT_EQ(checked(), (QList<bool>{false, true, false}));
  EXPECT_EQ(ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHUnreadCountSelection), 1);
  menu->useFavoritesCount()->trigger();
  EXPECT_EQ(checked(), (QList<bool>{true, false, false}));
  ZPHUserDefaults::standardUserDefaults().removeObject(ZPHUnreadCountSelection);
}

TEST(RightPaneContainer, ViewChangesFadeOnlyWhenNothingElseIsFading)
{
  ZPHRightPaneContainerView container;
  container.resize(400, 300);
  container.show();
  auto* first = new QWidget;
  auto* second = new QWidget;
  auto* third = new QWidget;
  QList<QObject*> popped;
  int completed = 0;
  ZPHObserverToken poppedToken = ZPHNotificationCenter::defaultCenter().addObserver(
      CBOverlayViewWasPoppedNotification, QVariant(), [&](const ZPHNotification& notification) {
        popped.append(notification.userInfo.value(QStringLiteral("view")).value<QObject*>());
      });

  // The first view never fades, and completes at once.
  bool firstDone = false;
  container.transitionToView(first, true, {}, [&](bool finished) { firstDone = finished; });
  EXPECT_TRUE(firstDone);
  EXPECT_FALSE(container.doingAnimatedViewTransition());
  EXPECT_EQ(container.currentView(), first);
  EXPECT_EQ(first->geometry(), container.rect());

  // A fade, then another change while it runs: that one happens at once,
  // and the first change's completion never comes.
  bool secondDone = false;
  container.transitionToView(second, true, {}, [&](bool) { secondDone = true; });
  EXPECT_TRUE(container.doingAnimatedViewTransition());
  container.transitionToView(third, true, {}, [&](bool) { ++completed; });
  EXPECT_EQ(completed, 1);
  EXPECT_FALSE(container.doingAnimatedViewTransition());
  EXPECT_EQ(container.currentView(), third);
  ZPHTestSpinEventLoop(ZPHRightPaneContainerView::FadeDuration + 150);
  EXPECT_FALSE(secondDone);
  EXPECT_TRUE(popped.isEmpty());

  // A fade left alone ends with the replaced view announced.
  container.transitionToView(first, true, {}, [&](bool) { ++completed; });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return completed == 2; }, 3000));
  ASSERT_EQ(popped.size(), 1);
  EXPECT_EQ(popped.constFirst(), third);
  EXPECT_FALSE(container.screenshotViewForAnimation()->isVisible());
}
