#pragma once

// The real application on a store of its own, fed from the loopback
// server, with the article list's day boundaries on a fixed clock (Sunday
// 8 March 2026, 15:05:09 UTC):
//   folder "News": Alpha (today, yesterday, February, January) and Beta
//   (future, today, February); at the top Hostile (titles and links a feed
//   should not be trusted with) and Search (texts for the search tables).

#include "app/articlelist/OpenerRecorder.h"
#include "app/shell/AppHarness.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHArticleListSettings.h"
#include "articlelist/ZPHArticleListTableView.h"
#include "articlelist/ZPHClassicLayoutViewController.h"
#include "articlelist/ZPHSearchField.h"
#include "articlelist/ZPHSearchWindowController.h"
#include "foundation/CBDateManager.h"
#include "foundation/CBPrefs.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/accounts/CBGlobalAccount.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"

#include <QtCore/QDateTime>
#include <QtCore/QTimeZone>
#include <QtGui/QDesktopServices>
#include <QtTest/QTest>

#include <gtest/gtest.h>

// Texts in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.left(200).toStdString() << '"'; }

struct ZPHTestFeedItem {
  QString title;
  QString link;
  QDateTime date;
  QString author;
  QString description;  // as HTML
};

// An RSS feed of the items; titles, links and authors escaped as XML text.
inline QByteArray ZPHTestItemsFeed(const QString& title, const QList<ZPHTestFeedItem>& items)
{
  const auto text = [](const QString& value) { return value.toHtmlEscaped().toUtf8(); };
  QByteArray xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\" "
      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel><title>" +
      text(title) + "</title><link>http://127.0.0.1/site</link>";
  int n = 0;
  for (const ZPHTestFeedItem& item : items) {
    xml += "<item><title>" + text(item.title) + "</title><link>" + text(item.link) + "</link><guid>" + text(title) +
           "-" + QByteArray::number(n++) + "</guid><pubDate>" +
           QLocale::c().toString(item.date.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss")).toUtf8() +
           " GMT</pubDate>";
    if (!item.author.isEmpty())
      xml += "<dc:creator>" + text(item.author) + "</dc:creator>";
    xml += "<description>" + text(item.description) + "</description></item>";
  }
  return xml + "</channel></rss>";
}

class ArticleListFixture : public ::testing::Test {
protected:
  static QDateTime now() { return QDateTime(QDate(2026, 3, 8), QTime(15, 5, 9), Qt::UTC); }
  static QDateTime at(int month, int day, int hour = 12)
  {
    return QDateTime(QDate(2026, month, day), QTime(hour, 0), Qt::UTC);
  }
  static inline const QString LongTitle = QString(100 * 1024, QLatin1Char('W'));

  void SetUp() override
  {
    ZPHResetApplicationSettings();
    // Links the list opens reach the desktop's handlers (OpenerRecorder).
    app.useDesktopServices = true;
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    for (const QString& key : {ZPHContentLayoutMode, ZPHSortArticlesOldestAtTopKey,
                               ZPHNumberOfLinesInArticleListPreviewsKey, ZPHShowPicturesInArticleListDefaultsKey,
                               ZPHAllUnreadFeedsSelection, ZPHTodayFeedSelection, ZPHSubscriptionsSortOrderKey})
      defaults.removeObject(key);
    ASSERT_TRUE(server.start());
    const QString site = server.url(QStringLiteral("/")).toString();
    serve(QStringLiteral("/alpha.xml"), QStringLiteral("Alpha"),
          {{QStringLiteral("Alpha today"), site + QStringLiteral("a/1"), at(3, 8, 9), {}, QStringLiteral("First")},
           {QStringLiteral("Alpha yesterday"), site + QStringLiteral("a/2"), at(3, 7), {}, QStringLiteral("Second")},
           {QStringLiteral("Alpha february"), site + QStringLiteral("a/3"), at(2, 10), {}, QStringLiteral("Third")},
           {QStringLiteral("Alpha january"), site + QStringLiteral("a/4"), at(1, 5), {}, QStringLiteral("Fourth")}});
    serve(QStringLiteral("/beta.xml"), QStringLiteral("Beta"),
          {{QStringLiteral("Beta future"), site + QStringLiteral("b/1"), at(3, 10), {}, QStringLiteral("Later")},
           {QStringLiteral("Beta today"), site + QStringLiteral("b/2"), at(3, 8, 14), {}, QStringLiteral("Now")},
           {QStringLiteral("Beta february"), site + QStringLiteral("b/3"), at(2, 20), {}, QStringLiteral("Then")}});
    serve(QStringLiteral("/hostile.xml"), QStringLiteral("Hostile"),
          {{QStringLiteral("<b>bold</b> &amp; <script>x()</script>"),
            QStringLiteral("javascript:alert(1)"),
            at(1, 1, 1),
            {},
            QStringLiteral("x")},
           {QStringLiteral("\u202Eevil\u202C right"),
            QStringLiteral("file:///etc/passwd"),
            at(1, 1, 2),
            {},
            QStringLiteral("x")},
           {LongTitle, QStringLiteral("data:text/html,<b>x</b>"), at(1, 1, 3), {}, QStringLiteral("x")},
           {QStringLiteral("line\none\r\ntwo"),
            QStringLiteral("tag:example.com,2026:1"),
            at(1, 1, 4),
            {},
            QStringLiteral("x")},
           {QStringLiteral("A feed link"),
            QStringLiteral("feed://127.0.0.1:1/more.xml"),
            at(1, 1, 5),
            {},
            QStringLiteral("x")},
           {QStringLiteral("A web link"), site + QStringLiteral("ok"), at(1, 1, 6), {}, QStringLiteral("x")}});
    serve(QStringLiteral("/search.xml"), QStringLiteral("Search"),
          {{QStringLiteral("Café au lait"), site + QStringLiteral("s/1"), at(3, 8, 10), QStringLiteral("José Müller"),
            QStringLiteral("<p>A warm CAFÉ drink</p>")},
           {QStringLiteral("Discount day"), site + QStringLiteral("s/2"), at(3, 7), QStringLiteral("Ann Lee"),
            QStringLiteral("<p>100% off, snake_case and \"quotes\" and ') OR 1=1 --</p>")},
           {QStringLiteral("Plain news"), site + QStringLiteral("s/3"), at(2, 1), QStringLiteral("Bob"),
            QStringLiteral("<p>nothing special</p>")}});
    seedStore();
  }

  void TearDown() override
  {
    app.stop();
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    for (const QString& key : {ZPHContentLayoutMode, ZPHHideReadArticles, ZPHSortArticlesOldestAtTopKey})
      defaults.removeObject(key);
  }

  void serve(const QString& path, const QString& title, const QList<ZPHTestFeedItem>& items)
  {
    const QByteArray body = ZPHTestItemsFeed(title, items);
    server.route(path, [body](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "application/rss+xml"}};
      response.body = body;
      return response;
    });
  }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }

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
    for (const QString& path : {QStringLiteral("/alpha.xml"), QStringLiteral("/beta.xml")})
      account->addFeedAtEndOfFolder(CBFeed::insertFeedWithURL(server.url(path), main), news);
    for (const QString& path : {QStringLiteral("/hostile.xml"), QStringLiteral("/search.xml")})
      account->addFeed(CBFeed::insertFeedWithURL(server.url(path), main));
    controller.saveMainThreadManagedObjectContext();
    ZPHTestSpinEventLoop(50);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
    seeder.useDataController(nullptr);
  }

  // Starts the application and waits for its first refresh to be listed.
  void start()
  {
    RefreshSessionCounter sessions;
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    controller = app.delegate->mainWindowController();
    ASSERT_NE(controller, nullptr);
    list = controller->articleListDelegate();
    ASSERT_NE(list, nullptr);
    list->setDateManager(&dates);
    sourceList = controller->sourceListViewController();
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished >= 1; }, 60000));
    app.settle();
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return feed(QStringLiteral("/search.xml"))->unreadCount() == 3; }, 30000));
    // The refresh's own reload of the list, which comes a quiet time after
    // its last saved feed, has landed too: a folder lists only its unread
    // articles, so a reload landing later (on a busy machine, anywhere in a
    // test) takes away the articles the test has read since.
    waitForSettledList();
  }

  CBFeed* feed(const QString& path) const { return app.data()->localAccount()->feedWithURL(server.url(path)); }
  CBFolder* folder(const QString& name) const
  {
    for (CBFolder* candidate : CBFolder::foldersWithName(name, nullptr, app.data()->mainThreadManagedObjectContext()))
      return candidate;
    return nullptr;
  }

  // Selects the objects in the source list and waits for the list.
  void select(const QList<CBTreeNodeRepresentedObject*>& objects, const QList<CBNode*>& nodes = {})
  {
    QList<ZPHRepresentedObject> items;
    for (CBNode* node : nodes) items.append(node);
    for (CBTreeNodeRepresentedObject* object : objects) items.append(object);
    list->sourcelistSelectionDidChange(items);
    waitForList();
  }
  // One object, selected in the source list as the user does.
  void select(CBNode* node)
  {
    sourceList->selectRepresentedObject(ZPHRepresentedObject(node), true);
    waitForList();
  }
  void waitForList()
  {
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !list->articleListController()->isUpdating(); }, 30000));
    ZPHTestSpinEventLoop(10);
  }
  // Until no reload of the list is under way or waiting for its quiet time
  // (a refresh's reload comes whenever the refresh ended).
  void waitForSettledList()
  {
    ASSERT_TRUE(ZPHTestWaitUntilSettled(
        [&] { return !list->articleListController()->isUpdating() && !list->isFullReloadScheduled(); }, 30000));
  }

  // The rows as the list shows them: "[Header]" or the article's title.
  QStringList rows() const
  {
    QStringList shown;
    ZPHArticleListModel* model = list->articleListModel();
    for (int row = 0; row < model->rowCount(); ++row) {
      if (model->isGroupRow(row))
        shown.append(QStringLiteral("[%1]").arg(model->groupItemAtRow(row)->title()));
      else
        shown.append(model->index(row, 0).data().toString());
    }
    return shown;
  }
  int rowOf(const QString& title) const { return int(rows().indexOf(title)); }
  ZPHArticleListTableView* table() const
  {
    return qobject_cast<ZPHArticleListTableView*>(list->currentLayoutViewController()->controlView());
  }
  // A click on the row, as the user makes it.
  void click(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
  {
    ZPHArticleListTableView* view = table();
    view->scrollTo(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      view->visualRect(view->model()->index(row, 0)).center());
    ZPHTestSpinEventLoop(10);
  }
  CBDataArticle* article(const QString& title) const
  {
    const QList<CBDataArticle*> found =
        CBDataArticle::articlesWithPredicate(ZPHPredicate::equal(QStringLiteral("title"), title), std::nullopt,
                                             app.data()->mainThreadManagedObjectContext());
    return found.isEmpty() ? nullptr : found.first();
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  AppHarness app{dataFolder()};
  CBDateManager dates{[] { return now(); }, [] { return QTimeZone::utc(); }};
  ZPHMainWindowController* controller = nullptr;
  ZPHArticleListDelegate* list = nullptr;
  ZPHSourceListViewController* sourceList = nullptr;
};
