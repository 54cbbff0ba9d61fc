#pragma once

// A real application on a store of its own with loopback feeds in folders,
// for the source list's tests.

#include "app/shell/AppHarness.h"
#include "foundation/CBPrefs.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/status/ZPHStatusViewController.h"
#include "sourcelist/ZPHSourceListModel.h"
#include "sourcelist/ZPHSourceListSelectionModel.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/accounts/CBGlobalAccount.h"
#include "store/entities/CBFolder.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"

#include <QtCore/QTranslator>

// Renames every text the program translates: «text».
class RenamingTranslator : public QTranslator {
public:
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* sourceText, const char* disambiguation, int n) const override
  {
    Q_UNUSED(context);
    Q_UNUSED(disambiguation);
    Q_UNUSED(n);
    return QStringLiteral("«%1»").arg(QString::fromUtf8(sourceText));
  }
};

// An RSS feed titled `title` with `items` items whose links stay on `base`.
inline QByteArray ZPHTestTitledFeed(const QUrl& base, const QByteArray& title, int items, const QByteArray& tag)
{
  QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>" + title +
                   "</title><link>" + base.toString().toUtf8() + "site/" + tag + "</link>";
  for (int i = 0; i < items; ++i) {
    const QByteArray n = QByteArray::number(i);
    xml += "<item><title>" + tag + " " + n + "</title><link>" + base.toString().toUtf8() + tag + "/" + n +
           "</link><guid>" + tag + "-" + n + "</guid><pubDate>Sun, 08 Mar 2026 12:00:0" + QByteArray::number(i % 10) +
           " GMT</pubDate><description>Text</description></item>";
  }
  return xml + "</channel></rss>";
}

// The fixture's store: folder "News" (open) with Alpha (5 unread, a
// favourite) and Beta (3); folder "Archive" (closed) with Gamma (2); at the
// top Delta (4, a favourite), Epsilon (suspended), a feed whose server
// answers 404 (named by the user with markup), one that answers 410, a feed
// on a closed port, and a feed whose own title is markup.
class SourceListFixture : public ::testing::Test {
protected:
  static inline const QString MarkupTitle = QStringLiteral("<b>x</b><img src=x>");

  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    for (const QString& key : {ZPHExpandFavoritesKey, ZPHSubscriptionsSortOrderKey, ZPHSortInGroupsOnly})
      defaults.removeObject(key);
    ASSERT_TRUE(server.start());
    serve(QStringLiteral("/alpha.xml"), "Alpha", 5);
    serve(QStringLiteral("/beta.xml"), "Beta", 3);
    serve(QStringLiteral("/gamma.xml"), "Gamma", 2);
    serve(QStringLiteral("/delta.xml"), "Delta", 4);
    serve(QStringLiteral("/epsilon.xml"), "Epsilon", 6);
    serve(QStringLiteral("/markup.xml"), MarkupTitle.toHtmlEscaped().toUtf8(), 1);
    server.route(QStringLiteral("/gone.xml"), [](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.status = 410;
      return response;
    });
    seedStore();
  }

  void serve(const QString& path, const QByteArray& title, int items)
  {
    const QByteArray tag = path.mid(1, path.size() - 5).toUtf8();
    server.route(path, [this, title, items, tag](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "application/rss+xml"}};
      response.body = ZPHTestTitledFeed(server.url(), title, items, tag);
      return response;
    });
  }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }
  QUrl missingURL() const { return server.url(QStringLiteral("/missing.xml")); }
  QUrl goneURL() const { return server.url(QStringLiteral("/gone.xml")); }
  QUrl goneHomePage() const { return server.url(QStringLiteral("/gone-site.html")); }
  static QUrl downURL() { return QUrl(QStringLiteral("http://127.0.0.1:1/down.xml")); }

  void seedStore()
  {
    ZPHTestApplicationDelegate seeder;
    seeder.setDataFolder(dataFolder());
    CBDataController controller;
    seeder.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    controller.completeSetup();
    ZPHManagedObjectContext* main = controller.mainThreadManagedObjectContext();
    CBDataAccount* account = controller.localAccount();
    CBFolder* news = account->addFolderWithName(QStringLiteral("News"));
    CBFolder* archive = account->addFolderWithName(QStringLiteral("Archive"));
    const auto add = [&](const QUrl& url, CBFolder* folder) {
      CBFeed* feed = CBFeed::insertFeedWithURL(url, main);
      if (folder != nullptr)
        account->addFeedAtEndOfFolder(feed, folder);
      else
        account->addFeed(feed);
      return feed;
    };
    add(server.url(QStringLiteral("/alpha.xml")), news)->setFavorite(true);
    add(server.url(QStringLiteral("/beta.xml")), news);
    add(server.url(QStringLiteral("/gamma.xml")), archive);
    add(server.url(QStringLiteral("/delta.xml")), nullptr)->setFavorite(true);
    add(server.url(QStringLiteral("/epsilon.xml")), nullptr)->setSuspended(true);
    add(missingURL(), nullptr)->setName(MarkupTitle);
    add(downURL(), nullptr)->setName(QStringLiteral("Down"));
    add(server.url(QStringLiteral("/markup.xml")), nullptr);
    CBFeed* gone = add(goneURL(), nullptr);
    gone->setName(QStringLiteral("Gone"));
    gone->setHomePageURL(goneHomePage());
    archive->setExpanded(false);
    controller.saveMainThreadManagedObjectContext();
    ZPHTestSpinEventLoop(50);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
    seeder.useDataController(nullptr);
  }

  void start()
  {
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    controller = app.delegate->mainWindowController();
    ASSERT_NE(controller, nullptr);
    sourceList = controller->sourceListViewController();
    model = sourceList->model();
  }

  CBFeed* feed(const QString& path) const
  {
    return app.data()->localAccount()->feedWithURL(path.startsWith(QLatin1String("http")) ? QUrl(path)
                                                                                          : server.url(path));
  }
  // The feed's node in its folder, or under Favorites.
  CBTreeNode* node(const QString& path, bool underFavorites = false) const
  {
    for (const CBTreeNode::Pointer& candidate :
         app.delegate->sourceListTreeBuilder()->treeNodesForRepresentedObject(static_cast<CBNode*>(feed(path)))) {
      if (ZPHSourceListModel::isFavoritesChild(candidate.get()) == underFavorites)
        return candidate.get();
    }
    return nullptr;
  }
  QModelIndex index(const QString& path, bool underFavorites = false) const
  {
    return model->indexForNode(node(path, underFavorites));
  }
  int row(const QString& path, bool underFavorites = false) const
  {
    return sourceList->rowForNode(node(path, underFavorites));
  }
  qint64 count(const QModelIndex& index) const { return index.data(ZPHSourceListModel::UnreadCountRole).toLongLong(); }
  ZPHError errorShown(const QModelIndex& index) const
  {
    return index.data(ZPHSourceListModel::ErrorRole).value<ZPHError>();
  }
  QModelIndex folderIndex(const QString& name) const
  {
    for (CBTreeNode* child : model->shownChildren(app.delegate->sourceListTreeBuilder()->localAccountNode().get())) {
      if (child->representsFolder() && child->title() == name)
        return model->indexForNode(child);
    }
    return QModelIndex();
  }

  // Waits for the first refresh and what it handed to the store.
  void waitForRefresh(RefreshSessionCounter& sessions)
  {
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished >= 1; }, 60000));
    app.settle();
    // Feeds first, their folders after.
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return count(index(QStringLiteral("/alpha.xml"))) == 5; }, 30000));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return count(folderIndex(QStringLiteral("News"))) == 8; }, 30000));
    app.settle();
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  AppHarness app{dataFolder()};
  ZPHMainWindowController* controller = nullptr;
  ZPHSourceListViewController* sourceList = nullptr;
  ZPHSourceListModel* model = nullptr;
};
