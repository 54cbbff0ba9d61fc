#include "SubscriptionsAppFixture.h"

#include "articlelist/ZPHArticleLinkOpener.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHEmptyContentsViewController.h"
#include "common/ZPHApplicationNotifications.h"
#include "feeds/refresh/ZPHDeterminateProgressStatusItem.h"
#include "mainwindow/status/ZPHStatusViewController.h"
#include "shell/ZPHMacCoreDataStack.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "subscriptions/ZPHAddSiteAddressContentViewController.h"
#include "subscriptions/ZPHAddSitePopularSitesContentViewController.h"
#include "subscriptions/ZPHAddSiteWindowController.h"
#include "subscriptions/ZPHExportOPMLController.h"
#include "subscriptions/ZPHImportOPMLController.h"
#include "subscriptions/ZPHOPMLBackupController.h"
#include "subscriptions/ZPHOPMLImporter.h"
#include "themes/ZPHEmptyContentsViewButton.h"

#include <QtCore/QDir>
#include <QtGui/QAction>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QLabel>

namespace {

class CommandsAndFirstRun : public SubscriptionsAppFixture {
protected:
  QByteArray opmlOf(const QStringList& paths)
  {
    QByteArray body;
    for (const QString& path : paths)
      body += "<outline text=\"" + path.toUtf8() + "\" xmlUrl=\"" + server.url(path).toString().toUtf8() + "\"/>";
    return "<?xml version=\"1.0\"?><opml version=\"1.0\"><body><outline text=\"Imported\">" + body +
           "</outline></body></opml>";
  }
};

}  // namespace

TEST_F(CommandsAndFirstRun, AnOPMLFileOpenedImportsWithProgressAndAnnouncesItsBezel)
{
  seedStore();
  serveFeed(QStringLiteral("/i1.xml"), "One");
  serveFeed(QStringLiteral("/i2.xml"), "Two");
  const QString file =
      dir.writeFile(QStringLiteral("list.opml"),
                    opmlOf({QStringLiteral("/i1.xml"), QStringLiteral("/i2.xml"), QStringLiteral("/a.xml")}));
  start();
  // What is selected stays selected through the import.
  CBFeed* alpha = account()->feedWithURL(server.url(QStringLiteral("/a.xml")));
  sourceList()->refreshDataCacheReloadDataAndSelectObject(alpha, true);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return sourceList()->selectedFeedIfOnlyOne() == alpha; }));
  QList<QVariantMap> finished;
  ZPHObserverToken observer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHImportDidFinishNotification, QVariant(),
      [&](const ZPHNotification& notification) { finished.append(notification.userInfo); });
  app.delegate->applicationOpenFiles({file});
  ZPHImportOPMLController* import = commands->importOPMLController();
  ASSERT_NE(import, nullptr);
  ASSERT_NE(import->statusItem(), nullptr);
  const std::shared_ptr<ZPHStatusItem> status = import->statusItem();
  EXPECT_EQ(import->statusItem()->localizedDescription(), QStringLiteral("Importing OPML\u2026"));
  EXPECT_EQ(import->statusItem()->identifier(), ZPHImportOPMLController::statusItemIdentifierForPath(file));

  ASSERT_TRUE(ZPHTestWaitUntil([&] { return finished.size() == 1; }, 60000));
  EXPECT_FALSE(import->isImporting());
  EXPECT_EQ(import->statusItem(), nullptr);
  EXPECT_EQ(finished.first().value(ZPHImportedFeedsKey).toList().size(), 2);
  EXPECT_EQ(finished.first().value(ZPHDuplicateFeedsKey).toList().size(), 1);
  EXPECT_TRUE(finished.first().value(ZPHShouldShowBezelKey).toBool());
  app.settle();
  CBFolder* imported = folderNamed(QStringLiteral("Imported"));
  ASSERT_NE(imported, nullptr);
  EXPECT_EQ(feedPathsIn(imported), (QStringList{QStringLiteral("/i1.xml"), QStringLiteral("/i2.xml")}));
  EXPECT_EQ(sourceList()->selectedFeedIfOnlyOne(), alpha);
  EXPECT_EQ(sourceList()->selectedOutlineItems().size(), 1);
  // The bezel says so, and the status area lets the import's line go.
  ASSERT_NE(app.delegate->mainWindowController()->notificationBezelWindowController(), nullptr);
  ZPHStatusViewController* area = app.delegate->mainWindowController()->statusViewController();
  ASSERT_NE(area, nullptr);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return !area->orderedStatusItems().contains(status); }, 20000));
}

TEST_F(CommandsAndFirstRun, ListsOpenedTogetherImportOneAfterTheOther)
{
  seedStore();
  serveFeed(QStringLiteral("/i1.xml"), "One");
  serveFeed(QStringLiteral("/i2.xml"), "Two");
  const QString first = dir.writeFile(QStringLiteral("first.opml"), opmlOf({QStringLiteral("/i1.xml")}));
  const QString second =
      dir.writeFile(QStringLiteral("second.opml"),
                    opmlOf({QStringLiteral("/i2.xml")}).replace("text=\"Imported\"", "text=\"Imported Too\""));
  start();
  QList<QVariantMap> finished;
  ZPHObserverToken observer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHImportDidFinishNotification, QVariant(),
      [&](const ZPHNotification& notification) { finished.append(notification.userInfo); });
  const int beeps = app.beeps;
  app.delegate->applicationOpenFiles({first, second});
  EXPECT_EQ(commands->waitingOPMLFiles(), QStringList{second});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return finished.size() == 2; }, 60000));
  EXPECT_EQ(app.beeps, beeps);
  EXPECT_TRUE(commands->waitingOPMLFiles().isEmpty());
  app.settle();
  ASSERT_NE(folderNamed(QStringLiteral("Imported")), nullptr);
  ASSERT_NE(folderNamed(QStringLiteral("Imported Too")), nullptr);
  EXPECT_EQ(feedPathsIn(folderNamed(QStringLiteral("Imported"))), QStringList{QStringLiteral("/i1.xml")});
  EXPECT_EQ(feedPathsIn(folderNamed(QStringLiteral("Imported Too"))), QStringList{QStringLiteral("/i2.xml")});
}

TEST_F(CommandsAndFirstRun, AFileThatIsNotOPMLShowsItsAlertAfterTheQueueIsFree)
{
  seedStore();
  const QString file = dir.writeFile(QStringLiteral("broken.opml"), "<opml><body><outline text=\"cut");
  start();
  int finished = 0;
  ZPHObserverToken observer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHImportDidFinishNotification, QVariant(), [&](const ZPHNotification&) { ++finished; });
  commands->importFeedsFromOPMLFileAtPath(file);
  ZPHImportOPMLController* import = commands->importOPMLController();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return import->errorAlert() != nullptr; }, 60000));
  QMessageBox* alert = import->errorAlert();
  EXPECT_EQ(alert->text(), "OPML Import Error");
  EXPECT_EQ(alert->informativeText(),
            "There was a problem importing your OPML file. The specified file is not a valid OPML file.");
  // Wide enough for its title, its text in a few lines (it took six).
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return alert->isVisible(); }));
  auto* informative = alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
  ASSERT_NE(informative, nullptr);
  EXPECT_GE(alert->width(), 400);
  EXPECT_LE(informative->height(), 3 * informative->fontMetrics().lineSpacing());
  EXPECT_GE(alert->width(), alert->fontMetrics().horizontalAdvance(alert->windowTitle()) + 120);
  // While the alert waits for the user, the store queue goes on.
  std::atomic<bool> ran{false};
  app.data()->addCoreDataQueueBlock([&] { ran = true; }, {});
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return ran.load(); }, 30000));
  EXPECT_TRUE(import->isImporting());
  alert->accept();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !import->isImporting(); }, 10000));
  EXPECT_EQ(finished, 0);

  // The alert's texts by error.
  struct Case {
    qint64 code;
    const char* text;
  };
  const Case cases[] = {
      {ZPHOPMLImporterErrorEmptyFile, "There was a problem importing your OPML file. The specified file is empty."},
      {ZPHOPMLImporterErrorCannotRead,
       "There was a problem importing your OPML file. The specified file could not be read."},
      {7, "There was a problem importing your OPML file."},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ZPHImportOPMLController::informativeTextForError(ZPHError(ZPHOPMLImporterErrorDomain, c.code)),
              QString::fromUtf8(c.text));
  // The store could not save it.
  EXPECT_EQ(ZPHImportOPMLController::informativeTextForError(
                ZPHObjectGraphError(ZPHObjectGraphSQLiteError, QStringLiteral("The disk is full."))),
            QStringLiteral("There was a problem importing your OPML file. The disk is full. None of it was imported."));
}

TEST_F(CommandsAndFirstRun, AnOPMLFileOnTheCommandLineImportsIntoTheRunningWindow)
{
  seedStore();
  serveFeed(QStringLiteral("/cl.xml"), "Command Line");
  dir.writeFile(QStringLiteral("cl.opml"), opmlOf({QStringLiteral("/cl.xml")}));
  app.launchArguments = {QStringLiteral("cl.opml")};
  app.workingDirectory = dir.path();
  start();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return account()->feedWithURL(server.url(QStringLiteral("/cl.xml"))) != nullptr; },
                               60000));
}

TEST_F(CommandsAndFirstRun, TheImportSheetOpensWhereExportsGoNotInTheWorkingFolder)
{
  start();
  const QString working = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  commands->importFeedsFromOPML();
  auto* sheet = app.delegate->mainWindow()->findChild<QFileDialog*>(QStringLiteral("importSheet"));
  QDir::setCurrent(working);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->directory().absolutePath(), QDir(ZPHExportOPMLController::sheetFolder()).absolutePath());
  EXPECT_NE(sheet->directory().absolutePath(), QDir(dir.path()).absolutePath());
  sheet->reject();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return !commands->importOPMLController()->isImporting(); }, 10000));
}

TEST_F(CommandsAndFirstRun, AFailedExportSaysWhichFileAndWhy)
{
  seedStore();
  start();
  ZPHExportOPMLController controller;
  controller.setBackgroundWindow(app.delegate->mainWindow());
  controller.setAccounts({account()});
  const QString blocker = dir.writeFile(QStringLiteral("blocker"), "a file");
  std::optional<bool> written;
  controller.exportToPath(blocker + QStringLiteral("/sites.opml"), [&](bool ok) { written = ok; });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return written.has_value(); }, 30000));
  EXPECT_FALSE(*written);
  ASSERT_NE(controller.failureAlert(), nullptr);
  EXPECT_TRUE(controller.failureAlert()->informativeText().contains(blocker + QStringLiteral("/sites.opml")));
  controller.failureAlert()->accept();

  written.reset();
  const QString good = dir.filePath(QStringLiteral("sites.opml"));
  controller.exportToPath(good, [&](bool ok) { written = ok; });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return written.has_value(); }, 30000));
  EXPECT_TRUE(*written);
  QFile file(good);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains(server.url(QStringLiteral("/a.xml")).toString().toUtf8()));
  EXPECT_TRUE(ZPHExportOPMLController::proposedFileName(QDateTime(QDate(2024, 12, 30), QTime(8, 1, 2)))
                  .startsWith(QStringLiteral("Zephlin Sites 2024-12-30 at 8.01.02 ")));
}

TEST_F(CommandsAndFirstRun, AFirstRunOffersAddingAndImportingSites)
{
  // No store: the first run.
  start();
  ZPHEmptyContentsViewController* empty =
      app.delegate->mainWindowController()->articleListDelegate()->overallEmptyContentsViewController();
  ASSERT_NE(empty, nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return empty->state() == ZPHEmptyContentsViewControllerStateNoFeeds; }, 10000));
  ASSERT_NE(empty->importButton(), nullptr);
  EXPECT_TRUE(empty->button()->isVisible());
  EXPECT_TRUE(empty->importButton()->isVisible());
  // Every command exists, named by its selector.
  for (const char* selector : {"addFeed:", "addPopularSites:", "addFolder:", "importFeedsFromOPML:",
                               "importFeedsFromOPMLFileAtPath:", "exportFeeds:"})
    EXPECT_NE(app.delegate->commandAction(QString::fromLatin1(selector)), nullptr) << selector;
  // "Add Some Sites": the popular sites.
  empty->button()->click();
  ASSERT_NE(commands->addSiteWindowController(), nullptr);
  EXPECT_EQ(commands->addSiteWindowController()->currentContentViewController(),
            static_cast<ZPHAddSiteContentViewController*>(
                commands->addSiteWindowController()->popularSitesContentViewController()));
  commands->addSiteWindowController()->cancel();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return commands->addSiteWindowController() == nullptr; }, 10000));
  // The toolbar's and the menus' "addFeed:": the address pane.
  app.delegate->commandAction(QStringLiteral("addFeed:"))->trigger();
  ASSERT_NE(commands->addSiteWindowController(), nullptr);
  EXPECT_EQ(commands->addSiteWindowController()->currentContentViewController(),
            static_cast<ZPHAddSiteContentViewController*>(
                commands->addSiteWindowController()->addressContentViewController()));
  commands->addSiteWindowController()->cancel();
}

TEST_F(CommandsAndFirstRun, AFeedLinkOfAnArticleOpensAddSiteSearching)
{
  seedStore();
  serveFeed(QStringLiteral("/linked.xml"), "Linked");
  start();
  QUrl link = server.url(QStringLiteral("/linked.xml"));
  link.setScheme(QStringLiteral("feed"));
  EXPECT_TRUE(ZPHArticleLinkOpener::openLink(link.toString()));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return commands->addSiteWindowController() != nullptr; }, 10000));
  ZPHAddSiteAddressContentViewController* pane = commands->addSiteWindowController()->addressContentViewController();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return pane->state() == 5; }, 30000));
  EXPECT_EQ(pane->siteURLString(), server.url(QStringLiteral("/linked.xml")).toString());
  commands->addSiteWindowController()->cancel();
  // A site the store has is selected instead.
  link = server.url(QStringLiteral("/a.xml"));
  link.setScheme(QStringLiteral("feed"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return commands->addSiteWindowController() == nullptr; }, 10000));
  EXPECT_TRUE(ZPHArticleLinkOpener::openLink(link.toString()));
  ZPHTestSpinEventLoop(200);
  EXPECT_EQ(commands->addSiteWindowController(), nullptr);
}

TEST_F(CommandsAndFirstRun, TheQuitWritesTheFirstBackupAndAStoreFailureShowsItsFolder)
{
  ZPHUserDefaults::standardUserDefaults().removeObject(ZPHDidPerformInitialOPMLBackupKey);
  seedStore();
  start();
  const QDir backups(QDir(dataFolder()).filePath(QStringLiteral("OPML Backups")));
  EXPECT_TRUE(ZPHOPMLBackupController::sharedOPMLBackupController()->backupQueued());
  app.stop();
  const QStringList files = backups.entryList({QStringLiteral("*.opml")}, QDir::Files);
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHDidPerformInitialOPMLBackupKey));

  // The failure path opens the folder of the newest backup, then the mail.
  app.start();
  app.openedURLs.clear();
  ZPHMacCoreDataStack::openCoreDataFailureEmailWithError(ZPHError(QStringLiteral("Test"), 1), {});
  ASSERT_EQ(app.openedURLs.size(), 2);
  EXPECT_EQ(app.openedURLs.at(0), QUrl::fromLocalFile(backups.absolutePath()));
  EXPECT_EQ(app.openedURLs.at(1).scheme(), QStringLiteral("mailto"));
}
