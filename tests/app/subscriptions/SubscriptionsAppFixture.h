#pragma once

// The real application on a store of its own, with a loopback server, for
// the Add Site and New Folder windows, the commands and the imports.

#include "app/shell/AppHarness.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/entities/CBFolder.h"
#include "store/tree/CBTreeNode.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "subscriptions/ZPHSubscriptionCommands.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QMainWindow>

// A feed titled `title` with one item.
inline QByteArray ZPHTestSubscriptionFeed(const QUrl& base, const QByteArray& title)
{
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>" + title + "</title><link>" +
         base.toString().toUtf8() + "</link><item><title>One</title><link>" + base.toString().toUtf8() +
         "one</link><guid>" + title + "-1</guid></item></channel></rss>";
}

class SubscriptionsAppFixture : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ZPHUserDefaults::standardUserDefaults().setInteger(ZPHSubscriptionsSortOrderKey, 1);
    ASSERT_TRUE(server.start());
    serveFeed(QStringLiteral("/a.xml"), "Alpha");
  }

  void TearDown() override { app.stop(); }

  void serveFeed(const QString& path, const QByteArray& title)
  {
    server.route(path, [this, title](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "application/rss+xml"}};
      response.body = ZPHTestSubscriptionFeed(server.url(), QString::fromUtf8(title).toHtmlEscaped().toUtf8());
      return response;
    });
  }
  // A page announcing feeds at `paths`.
  void servePage(const QString& path, const QByteArray& title, const QStringList& paths)
  {
    QByteArray page = "<!DOCTYPE html><html><head><title>" + title + "</title>";
    for (const QString& feed : paths)
      page += "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"" + feed.toUtf8() + "\">";
    page += "</head><body></body></html>";
    server.route(path, [page](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "text/html; charset=utf-8"}};
      response.body = page;
      return response;
    });
  }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }

  // The store the application opens: folder "News" with the subscribed
  // feed /a.xml.
  void seedStore()
  {
    ZPHSeedStore(dataFolder(), [&](CBDataController& controller) {
      CBDataAccount* account = controller.localAccount();
      CBFolder* news = account->addFolderWithName(QStringLiteral("News"));
      CBFeed* feed =
          CBFeed::insertFeedWithURL(server.url(QStringLiteral("/a.xml")), controller.mainThreadManagedObjectContext());
      account->addFeedAtEndOfFolder(feed, news);
    });
  }

  void start()
  {
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    commands = app.delegate->subscriptionCommands();
    ASSERT_NE(commands, nullptr);
    ASSERT_TRUE(ZPHTestWaitUntil(
        [&] { return app.delegate->mainWindow() != nullptr && app.delegate->mainWindow()->isVisible(); }, 30000));
    app.settle();
  }

  ZPHSourceListViewController* sourceList() const
  {
    return app.delegate->mainWindowController()->sourceListViewController();
  }
  CBDataAccount* account() const { return app.data()->localAccount(); }
  CBFolder* folderNamed(const QString& name) const
  {
    for (CBFolder* folder : account()->folders())
      if (folder->nameForDisplay() == name && !folder->isDeleted())
        return folder;
    return nullptr;
  }
  // The feeds in a folder (by address path), as the store has them.
  QStringList feedPathsIn(CBFolder* folder) const
  {
    QStringList paths;
    for (CBFeed* feed : account()->feeds())
      if (!feed->isDeleted() && feed->parent() == folder)
        paths.append(feed->URL().path());
    paths.sort();
    return paths;
  }
  // Makes the dialog the active window, as the user's click would.
  static void activate(QWidget* window)
  {
    window->activateWindow();
    QApplication::setActiveWindow(window);
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  AppHarness app{dataFolder()};
  ZPHSubscriptionCommands* commands = nullptr;
};
