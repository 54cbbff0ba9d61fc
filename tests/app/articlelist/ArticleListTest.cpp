#include "app/articlelist/ArticleListFixture.h"
#include "sourcelist/ZPHSourceListCommands.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/entities/CBFeed.h"

#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QMessageBox>
#include "articlelist/ZPHArticleLinkOpener.h"
#include "articlelist/ZPHArticleListCellView.h"
#include "articlelist/ZPHSearchOperation.h"
#include "articlelist/ZPHSearchWindow.h"
#include "articlelist/ZPHStandardLayoutViewController.h"
#include "articlelist/ZPHTableViewContextualMenu.h"
#include "articleview/ZPHArticleDetailViewController.h"
#include "articleview/ZPHWebArticleDetailPane.h"
#include "common/ZPHApplicationNotifications.h"
#include "feeds/images/CBThumbnailController.h"
#include "foundation/CBMimeTypes.h"
#include "kit/ZPHPlainTextToolTip.h"
#include "mainwindow/ZPHContentPaneController.h"
#include "platform/ZPHMainThread.h"
#include "sharing/CBSharableItem.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/operations/ZPHBatchDeletionOperation.h"
#include "web/ZPHExternalPagesProfile.h"
#include "web/ZPHWebEnginePage.h"

#include <QtCore/QBuffer>
#include <QtCore/QElapsedTimer>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QUndoStack>
#include <QtTest/QSignalSpy>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QScrollBar>

namespace {

class ArticleListTest : public ArticleListFixture {
protected:
  void markRead(const QStringList& titles, bool read = true)
  {
    QList<CBDataArticle*> articles;
    for (const QString& title : titles) articles.append(article(title));
    CBDataArticle::markArticles(articles, read);
    ASSERT_TRUE(ZPHTestWaitUntil(
        [&] {
          for (const CBDataArticle* a : articles) {
            if (a->read() != read)
              return false;
          }
          return true;
        },
        20000));
    app.settle();
  }
  // A deletion on the store queue as the clean-ups make them: the notice
  // first, then the save; `then` is queued behind it.
  void deleteOnStoreQueue(const QString& title, std::function<void()> then = {})
  {
    const ZPHManagedObjectID doomed = article(title)->objectID();
    app.data()->addCoreDataQueueBlock(
        [doomed] {
          ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
          std::shared_ptr<ZPHManagedObjectContext> context = delegate->temporaryManagedObjectContext();
          context->deleteObject(context->existingObjectWithID(doomed));
          ZPHNotificationCenter::defaultCenter().post(
              ZPHWillDeleteCoreDataObjectsInBackgroundNotification, QVariant(),
              {{ZPHManagedObjectObjectIDsKey, QVariant::fromValue(QList<ZPHManagedObjectID>{doomed})}});
          delegate->saveManagedObjectContext(context.get());
        },
        {});
    if (then)
      app.data()->addCoreDataQueueBlock(std::move(then), {});
  }
  void search(const QString& text, int type)
  {
    ZPHSearchWindowController* search = controller->searchWindowController();
    controller->searchField()->setText(text);
    search->executeSearchWithType(type);
    ASSERT_TRUE(ZPHTestWaitUntil(
        [&] {
          return list->showingSearchResultSet() && list->currentSearchOperation() == search->lastSearchOperation();
        },
        20000));
    ZPHTestSpinEventLoop(10);
  }
  QStringList results() const
  {
    QStringList found;
    for (const QString& row : rows()) {
      if (!row.startsWith(QLatin1Char('[')))
        found.append(row);
    }
    found.sort();
    return found;
  }
};

}  // namespace

TEST_F(ArticleListTest, FoldersListUnreadArticlesOnceUnderDateHeadersAndFeedsFollowHideRead)
{
  start();
  markRead({QStringLiteral("Alpha yesterday"), QStringLiteral("Beta february")});
  CBFolder* news = folder(QStringLiteral("News"));
  select(news);
  EXPECT_EQ(rows(), (QStringList{"[Future]", "Beta future", "[Today]", "Beta today", "Alpha today", "[February 2026]",
                                 "Alpha february", "[January 2026]", "Alpha january"}));
  EXPECT_TRUE(list->showingMultipleFeeds());
  // The feed selected with its folder: all of its articles, each once; the
  // parts follow one another, each sorted.
  select({}, {news, feed(QStringLiteral("/alpha.xml"))});
  EXPECT_EQ(rows(), (QStringList{"[Today]", "Alpha today", "[Yesterday]", "Alpha yesterday", "[February 2026]",
                                 "Alpha february", "[January 2026]", "Alpha january", "[Future]", "Beta future",
                                 "[Today]", "Beta today"}));
  select(feed(QStringLiteral("/alpha.xml")));
  EXPECT_FALSE(list->showingMultipleFeeds());
  EXPECT_EQ(rows().size(), 8);
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHHideReadArticles, true);
  waitForList();
  EXPECT_EQ(rows(), (QStringList{"[Today]", "Alpha today", "[February 2026]", "Alpha february", "[January 2026]",
                                 "Alpha january"}));
  // Oldest first.
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHSortArticlesOldestAtTopKey, true);
  waitForList();
  EXPECT_EQ(rows(), (QStringList{"[January 2026]", "Alpha january", "[February 2026]", "Alpha february", "[Today]",
                                 "Alpha today"}));
}

TEST_F(ArticleListTest, AnArticleIsReadWhenItsLoadStartsOnlyOnceAndNotByTheProgramWithUndoAndBadges)
{
  start();
  select(feed(QStringLiteral("/alpha.xml")));
  CBFeed* alpha = feed(QStringLiteral("/alpha.xml"));
  ASSERT_EQ(alpha->unreadCount(), 4u);
  QUndoStack* undo = controller->undoManager();
  const int steps = undo->count();
  click(rowOf(QStringLiteral("Alpha today")));
  CBDataArticle* today = article(QStringLiteral("Alpha today"));
  EXPECT_EQ(list->selectedArticle(), today);
  EXPECT_EQ(app.data()->currentArticles(), QList<CBDataArticle*>{today});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return today->read(); }, 20000));
  EXPECT_EQ(undo->count(), steps + 1);
  // The detail pane shows its page once loaded.
  auto* pane = qobject_cast<ZPHWebArticleDetailPane*>(list->currentLayoutViewController()->detailViewController());
  ASSERT_NE(pane, nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !list->currentLayoutViewController()->awaitingMainFrameLoadingComplete(); },
                               60000));
  EXPECT_EQ(pane->shownArticle(), today);
  ASSERT_NE(pane->detailViewController(), nullptr);
  EXPECT_EQ(list->currentLayoutViewController()->detailView(), pane->view());
  EXPECT_TRUE(pane->view()->isVisible());
  QString pageTitle;
  pane->detailViewController()->page()->runJavaScript(QStringLiteral("document.getElementById('title').innerText"),
                                                      QWebEngineScript::ApplicationWorld,
                                                      [&](const QVariant& value) { pageTitle = value.toString(); });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !pageTitle.isEmpty(); }, 30000));
  EXPECT_TRUE(pageTitle.contains(QStringLiteral("Alpha today"))) << pageTitle.toStdString();
  // The window knows the selected address and the sharable article; the
  // detail web view is the current one.
  EXPECT_EQ(controller->selectedURL(), today->bestLink());
  EXPECT_EQ(controller->presentedSharableItem().value<CBSharableItem>().title(), QStringLiteral("Alpha today"));
  ZPHContentPaneController* contentPane = controller->contentPaneController();
  EXPECT_EQ(contentPane->currentWebView(), pane->webView());
  EXPECT_NE(contentPane->currentWebView(), nullptr);
  // The browser pages' profile is the content pane's, kept in the data folder.
  ZPHExternalPagesProfile* browserPages = contentPane->webPreferences();
  ASSERT_NE(browserPages, nullptr);
  EXPECT_EQ(contentPane->webPreferences(), browserPages);
  EXPECT_EQ(browserPages->profile()->storageName(), ZPHExternalPagesProfile::storageName());
  EXPECT_TRUE(browserPages->profile()->persistentStoragePath().startsWith(app.delegate->pathToDataFolder()))
      << browserPages->profile()->persistentStoragePath().toStdString();
  // The badge follows.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return alpha->unreadCount() == 3; }, 20000));
  // The row shows it read.
  EXPECT_TRUE(list->articleListModel()
                  ->index(rowOf(QStringLiteral("Alpha today")), 0)
                  .data(ZPHArticleListModel::ReadRole)
                  .toBool());

  // Marked unread again, then selected again: the article shown is not
  // loaded or marked again.
  CBDataArticle::markArticles({today}, false);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !today->read(); }, 20000));
  const int loads = pane->loads();
  click(rowOf(QStringLiteral("Alpha today")));
  app.settle();
  EXPECT_FALSE(today->read());
  EXPECT_EQ(pane->loads(), loads);
  // The program's own selections mark nothing: a full reload and a sort
  // change keep it selected and unread.
  list->reloadArticlesFully();
  waitForList();
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHSortArticlesOldestAtTopKey, true);
  waitForList();
  app.settle();
  EXPECT_EQ(list->selectedArticle(), today);
  EXPECT_FALSE(today->read());

  // Another article: read, then undone.
  click(rowOf(QStringLiteral("Alpha january")));
  CBDataArticle* january = article(QStringLiteral("Alpha january"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return january->read(); }, 20000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return alpha->unreadCount() == 3; }, 20000));
  undo->undo();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !january->read(); }, 20000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return alpha->unreadCount() == 4; }, 20000));
  EXPECT_FALSE(list->articleListModel()
                   ->index(rowOf(QStringLiteral("Alpha january")), 0)
                   .data(ZPHArticleListModel::ReadRole)
                   .toBool());
}

TEST_F(ArticleListTest, WithHideReadTheSelectedReadArticleStaysAndRefreshesReloadByTheirRule)
{
  start();
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHHideReadArticles, true);
  select(folder(QStringLiteral("News")));
  click(rowOf(QStringLiteral("Alpha today")));
  CBDataArticle* today = article(QStringLiteral("Alpha today"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return today->read(); }, 20000));
  app.settle();

  // A burst of refreshes of feeds in the folder: one reload, 2 s after the
  // last.
  ZPHArticleListController* lists = list->articleListController();
  waitForSettledList();
  const quint64 before = lists->requestCount();
  const auto refreshed = [&](const QString& path) {
    ZPHNotificationCenter::defaultCenter().post(ZPHFeedRefreshArticlesUpdatedNotification, QVariant(),
                                                {{CBURLKey, server.url(path)}});
  };
  refreshed(QStringLiteral("/alpha.xml"));
  ZPHTestSpinEventLoop(300);
  refreshed(QStringLiteral("/beta.xml"));
  ZPHTestSpinEventLoop(300);
  QElapsedTimer sinceLast;
  sinceLast.start();
  refreshed(QStringLiteral("/alpha.xml"));
  EXPECT_TRUE(list->isFullReloadScheduled());
  EXPECT_EQ(lists->requestCount(), before);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return lists->requestCount() != before; }, 30000));
  EXPECT_GE(sinceLast.elapsed(), qint64(ZPHArticleListDelegate::FullReloadDelay * 1000));
  // Nothing else waits to reload.
  waitForSettledList();
  EXPECT_EQ(lists->requestCount(), before + 1);
  // The read article stays listed and selected.
  EXPECT_GE(rowOf(QStringLiteral("Alpha today")), 0);
  EXPECT_EQ(list->selectedArticle(), today);

  // The selected feed itself: at once.
  select(feed(QStringLiteral("/alpha.xml")));
  click(rowOf(QStringLiteral("Alpha january")));
  CBDataArticle* january = article(QStringLiteral("Alpha january"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return january->read(); }, 20000));
  app.settle();
  const quint64 direct = lists->requestCount();
  refreshed(QStringLiteral("/alpha.xml"));
  EXPECT_EQ(lists->requestCount(), direct + 1);
  waitForList();
  EXPECT_EQ(list->selectedArticle(), january);
  EXPECT_EQ(table()->selectedRow(), rowOf(QStringLiteral("Alpha january")));

  // Search results are left alone.
  search(QStringLiteral("Alpha"), 0);
  const quint64 searching = lists->requestCount();
  refreshed(QStringLiteral("/alpha.xml"));
  EXPECT_FALSE(list->isFullReloadScheduled());
  waitForSettledList();
  EXPECT_EQ(lists->requestCount(), searching);
}

TEST_F(ArticleListTest, StoreQueueDeletionsGoOnWhileTheMainThreadIsBusyAndEndSearchMode)
{
  start();
  select(feed(QStringLiteral("/alpha.xml")));
  click(rowOf(QStringLiteral("Alpha february")));
  // Its menu is open when it goes.
  ZPHReadingLayoutViewController* layout = list->currentLayoutViewController();
  table()->contextualMenu()->setClickedRow(rowOf(QStringLiteral("Alpha february")));
  layout->menuNeedsUpdate(table()->contextualMenu());
  ASSERT_NE(layout->contextualMenuArticle(), nullptr);
  app.settle();
  const int steps = controller->undoManager()->count();
  std::atomic<bool> next{false};
  deleteOnStoreQueue(QStringLiteral("Alpha february"), [&next] {
    next = true;
    ZPHMainThread::wakeWaiter();
  });
  // The main thread serves only the merges: the next operation ends before
  // the notice is handled.
  ZPHMainThread::waitServingSync([&] { return next.load(); });
  // Its row is still there (its article is gone from the main context).
  EXPECT_EQ(list->articleListModel()->rowCount(), 8);
  EXPECT_EQ(list->articleListModel()->articleAtRow(6), nullptr);
  // Commands skip it: no menu for its row, and the open menu's and the
  // selection's commands change, copy and open nothing.
  {
    OpenerRecorder opener({"http", "https"});
    table()->contextualMenu()->setClickedRow(6);
    layout->menuNeedsUpdate(table()->contextualMenu());
    EXPECT_TRUE(table()->contextualMenu()->actions().isEmpty());
    EXPECT_EQ(layout->contextualMenuArticle(), nullptr);
    QGuiApplication::clipboard()->clear();
    layout->markAsFlaggedWithContextualMenuArticle();
    layout->markAsUnreadWithContextualMenuArticle();
    layout->copyURLWithContextualMenuArticle();
    layout->openLinkInDefaultExternalBrowserWithContextualMenuArticle();
    list->markCurrentArticleAsRead();
    EXPECT_EQ(controller->undoManager()->count(), steps);
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
  }
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(rowOf(QStringLiteral("Alpha february")), -1);
  EXPECT_EQ(list->selectedArticle(), nullptr);
  EXPECT_EQ(rows().size(), 6);  // three headers, three articles

  // A selected article gone without a notice: the reload clears the
  // selection.
  click(rowOf(QStringLiteral("Alpha january")));
  const ZPHManagedObjectID january = article(QStringLiteral("Alpha january"))->objectID();
  app.data()->addCoreDataQueueBlock(
      [january] {
        std::shared_ptr<ZPHManagedObjectContext> context =
            ZPHCoreApplicationDelegate::sharedDelegate()->temporaryManagedObjectContext();
        context->deleteObject(context->existingObjectWithID(january));
        ZPHCoreApplicationDelegate::sharedDelegate()->saveManagedObjectContext(context.get());
      },
      {});
  app.settle();
  list->reloadArticlesFully();
  waitForList();
  EXPECT_EQ(table()->selectedRow(), -1);
  EXPECT_EQ(list->selectedArticle(), nullptr);

  // A search result deleted: search mode ends.
  search(QStringLiteral("Alpha today"), 2);
  EXPECT_EQ(results(), QStringList{"Alpha today"});
  deleteOnStoreQueue(QStringLiteral("Alpha today"));
  app.settle();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !list->showingSearchResultSet(); }, 20000));
  EXPECT_TRUE(controller->searchField()->text().isEmpty());
  waitForList();
  EXPECT_EQ(rows(), (QStringList{"[Yesterday]", "Alpha yesterday"}));
}

TEST_F(ArticleListTest, HostileFeedsShowLiterallyAndOnlyWebLinksReachAnOpener)
{
  OpenerRecorder opener({"http", "https", "javascript", "file", "data", "tag", "feed"});
  QList<QUrl> subscribed;
  ZPHArticleLinkOpener::setSubscribeHandler([&](const QUrl& url) { subscribed.append(url); });
  start();
  select(feed(QStringLiteral("/hostile.xml")));
  ZPHArticleListModel* model = list->articleListModel();
  ASSERT_EQ(model->rowCount(), 7);  // one header, six articles
  for (int row = 1; row < model->rowCount(); ++row) {
    CBDataArticle* shown = model->articleAtRow(row);
    ASSERT_NE(shown, nullptr);
    // The text shown is the plain title, as it is.
    EXPECT_EQ(model->index(row, 0).data().toString(), shown->plainTextTitleForDisplay());
    const QString label = model->index(row, 0).data(Qt::AccessibleTextRole).toString();
    EXPECT_TRUE(label.startsWith(QStringLiteral("Article: ")));
  }
  const int longRow = rowOf(QString(100 * 1024, QLatin1Char('W')));
  ASSERT_GE(longRow, 0);
  // Every row paints, the 100 KB title too.
  QPixmap picture(table()->viewport()->size());
  table()->viewport()->render(&picture);
  EXPECT_EQ(rowOf(QStringLiteral("\u202Eevil\u202C right")), 5);
  // No title's line breaks break its row.
  for (int row = 1; row < model->rowCount(); ++row)
    EXPECT_FALSE(ZPHArticleListCellView::singleLineText(model->index(row, 0).data().toString(), 1000)
                     .contains(QLatin1Char('\n')));

  // Every way to open: the command of the menu, Return, double click.
  ZPHReadingLayoutViewController* layout = list->currentLayoutViewController();
  for (int row = 1; row < model->rowCount(); ++row) {
    CBDataArticle* shown = model->articleAtRow(row);
    ZPHReadingLayoutViewController::openExternalURLForArticle(shown, false);
    ZPHReadingLayoutViewController::openExternalURLForArticle(shown, true);
    table()->selectRow(row);
    QTest::keyClick(table(), Qt::Key_Return);
    QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, table()->visualRect(model->index(row, 0)).center());
    table()->contextualMenu()->setClickedRow(row);
    layout->menuNeedsUpdate(table()->contextualMenu());
    for (QAction* action : table()->contextualMenu()->actions()) {
      if (action->text() == QStringLiteral("Open in Browser"))
        action->trigger();
    }
  }
  ZPHTestSpinEventLoop(20);
  ASSERT_FALSE(opener.opened.isEmpty());
  for (const QUrl& url : opener.opened) EXPECT_EQ(url, server.url(QStringLiteral("/ok")));
  EXPECT_FALSE(subscribed.isEmpty());
  for (const QUrl& url : subscribed) EXPECT_EQ(url.scheme(), QStringLiteral("feed"));
  ZPHArticleLinkOpener::setSubscribeHandler({});
}

TEST_F(ArticleListTest, ATitleIsOnePlainTextInItsRowToolTipPageAndSearch)
{
  // The feed wrote "<b>bold</b> &amp; <script>x()</script>": its markup read
  // once, the tags gone, the script's text too, nothing rendered or run.
  const QString plain = QStringLiteral("bold &");
  start();
  select(feed(QStringLiteral("/hostile.xml")));
  CBDataArticle* stored = article(QStringLiteral("<b>bold</b> &amp; <script>x()</script>"));
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->plainTextTitle(), plain);
  EXPECT_EQ(stored->plainTextTitleForDisplay(), plain);
  const int row = rowOf(plain);
  ASSERT_GE(row, 0) << rows().join(u'|').toStdString();
  ZPHArticleListModel* model = list->articleListModel();
  EXPECT_EQ(model->articleAtRow(row), stored);
  // The tool tip shows the same text as text (never as markup).
  EXPECT_EQ(model->index(row, 0).data(Qt::ToolTipRole).toString(), ZPHPlainTextToolTip(plain));
  EXPECT_FALSE(model->index(row, 1).data(Qt::ToolTipRole).isValid());
  EXPECT_TRUE(
      model->index(row, 0).data(Qt::AccessibleTextRole).toString().startsWith(QStringLiteral("Article: ") + plain));

  // The page: the same text, and no element the title brought.
  click(row);
  auto* pane = qobject_cast<ZPHWebArticleDetailPane*>(list->currentLayoutViewController()->detailViewController());
  ASSERT_NE(pane, nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return pane->shownArticle() == stored; }, 60000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !list->currentLayoutViewController()->awaitingMainFrameLoadingComplete(); },
                               60000));
  QVariant page;
  pane->detailViewController()->page()->runJavaScript(
      QStringLiteral("(function () { var t = document.getElementById('title');"
                     " return [t.textContent.trim(), t.querySelectorAll('*:not(a)').length, document.title]; })()"),
      QWebEngineScript::ApplicationWorld, [&](const QVariant& value) { page = value; });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return page.isValid(); }, 30000));
  const QVariantList shown = page.toList();
  ASSERT_EQ(shown.size(), 3);
  EXPECT_EQ(shown.at(0).toString(), plain);
  EXPECT_EQ(shown.at(1).toInt(), 0);
  EXPECT_NE(shown.at(2).toString(), QStringLiteral("x()"));

  // Search looks at the same text: the markup and the script are not in it.
  search(plain, 2);
  EXPECT_EQ(results(), QStringList{plain});
  for (const QString& markup : {QStringLiteral("x()"), QStringLiteral("<b>"), QStringLiteral("&amp;")}) {
    search(markup, 2);
    EXPECT_EQ(results(), QStringList()) << markup.toStdString();
  }
}

TEST_F(ArticleListTest, SearchFindsTextAsTheStoreKeepsItWithBoundQueriesAndDropsStaleResults)
{
  start();
  struct Case {
    QString text;
    int type;
    QStringList expected;
  };
  const QList<Case> cases = {
      // Content folded like the stored text; titles ignore case only;
      // authors ignore case and diacritics.
      {QStringLiteral("CAFÉ"), 0, {"Café au lait"}},
      {QStringLiteral("cafe"), 0, {"Café au lait"}},
      {QStringLiteral("CAFÉ"), 2, {"Café au lait"}},
      {QStringLiteral("cafe"), 2, {}},
      {QStringLiteral("jose muller"), 1, {"Café au lait"}},
      {QStringLiteral("JOSÉ"), 1, {"Café au lait"}},
      {QStringLiteral("josé"), 2, {}},
      // Pattern characters, quotes and SQL are plain text.
      {QStringLiteral("%"), 0, {"Discount day"}},
      {QStringLiteral("_"), 0, {"Discount day"}},
      {QStringLiteral("\"quotes\""), 0, {"Discount day"}},
      {QStringLiteral("') OR 1=1 --"), 0, {"Discount day"}},
      {QStringLiteral("'"), 2, {}},
  };
  for (const Case& c : cases) {
    search(c.text, c.type);
    EXPECT_EQ(results(), c.expected) << c.text.toStdString() << " type " << c.type;
  }
  EXPECT_EQ(rows().value(0), QStringLiteral("[Search:]"));

  // Articles marked for deletion are never found.
  const ZPHManagedObjectID plain = article(QStringLiteral("Plain news"))->objectID();
  app.data()->addCoreDataQueueBlock(
      [plain] {
        std::shared_ptr<ZPHManagedObjectContext> context =
            ZPHCoreApplicationDelegate::sharedDelegate()->temporaryManagedObjectContext();
        static_cast<CBDataArticle*>(context->existingObjectWithID(plain))->setMarkedForDeletion(true);
        ZPHCoreApplicationDelegate::sharedDelegate()->saveManagedObjectContext(context.get());
      },
      {});
  app.settle();
  search(QStringLiteral("special"), 0);
  EXPECT_EQ(results(), QStringList());

  // Within the selection: an empty folder finds nothing; Today is today on
  // the list's clock.
  CBFolder* empty = app.data()->localAccount()->addFolderWithName(QStringLiteral("Empty"));
  controller->searchWindowController()->setSelectedFeeds({static_cast<CBNode*>(empty)});
  search(QStringLiteral("a"), 3);
  EXPECT_EQ(results(), QStringList());
  controller->searchWindowController()->setDateManager(&dates);
  CBGlobalFeed* today = app.data()->globalAccount()->todayFeed();
  ASSERT_NE(today, nullptr);
  controller->searchWindowController()->setSelectedFeeds({static_cast<CBTreeNodeRepresentedObject*>(today)});
  search(QStringLiteral("today"), 4);
  EXPECT_EQ(results(), (QStringList{"Alpha today", "Beta today"}));

  // The store queue held: the older search is cancelled and its answer
  // never shown; the spinner waits for the newer one.
  std::atomic<bool> release{false};
  app.data()->addCoreDataQueueBlock(
      [&release] {
        while (!release.load()) QThread::msleep(5);
      },
      {});
  ZPHSearchWindowController* window = controller->searchWindowController();
  controller->searchField()->setText(QStringLiteral("Alpha"));
  window->executeSearchWithType(2);
  const std::shared_ptr<ZPHSearchOperation> stale = window->lastSearchOperation();
  controller->searchField()->setText(QStringLiteral("Beta"));
  window->executeSearchWithType(2);
  EXPECT_TRUE(stale->isCancelled());
  ZPHTestSpinEventLoop(300);
  EXPECT_TRUE(controller->searchField()->isSpinnerShown());
  release = true;
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return list->currentSearchOperation() == window->lastSearchOperation(); }, 20000));
  EXPECT_EQ(results(), (QStringList{"Beta february", "Beta future", "Beta today"}));
  EXPECT_FALSE(controller->searchField()->isSpinnerShown());
}

TEST_F(ArticleListTest, TablesMoveHeightsMenusKeysAndALayoutSwitchKeepsTheSelection)
{
  start();
  CBFolder* news = folder(QStringLiteral("News"));
  select(news);
  auto* standard = qobject_cast<ZPHStandardLayoutViewController*>(list->currentLayoutViewController());
  ASSERT_NE(standard, nullptr);
  ZPHArticleListTableView* view = table();
  // Heights: headers 23, articles by the preview lines with feed names.
  EXPECT_EQ(view->rowHeight(0), 23);
  EXPECT_EQ(view->rowHeight(1), ZPHArticleListCellView::rowHeight(2, true));
  EXPECT_EQ(view->rowHeight(1), 92);

  // Moves: nothing selected, the next row is the first article; the top is
  // the first article; Down from a group's last article lands on the next
  // group's first; Up from the first article stays.
  EXPECT_EQ(view->nextRow(), 1);
  EXPECT_EQ(view->previousRow(), -1);
  view->setFocus();
  standard->selectTopRowIfNoneSelected();
  EXPECT_EQ(view->selectedRow(), 1);
  QTest::keyClick(view, Qt::Key_Up);
  EXPECT_EQ(view->selectedRow(), 1);
  QTest::keyClick(view, Qt::Key_Down);
  EXPECT_EQ(view->selectedRow(), rowOf(QStringLiteral("Beta today")));
  click(rowOf(QStringLiteral("Alpha yesterday")));
  QTest::keyClick(view, Qt::Key_Down);
  EXPECT_EQ(view->selectedRow(), rowOf(QStringLiteral("Beta february")));
  // A click on a header selects the first article under it.
  click(rowOf(QStringLiteral("[January 2026]")));
  EXPECT_EQ(view->selectedRow(), rowOf(QStringLiteral("Alpha january")));
  EXPECT_EQ(view->nextRowAfterRow(view->model()->rowCount() - 1), view->model()->rowCount() - 1);
  view->selectNextRow();
  EXPECT_EQ(view->selectedRow(), view->model()->rowCount() - 1);

  // The menu of a read, unbookmarked article; none on a header; below the
  // rows, the selection's.
  CBDataArticle* january = article(QStringLiteral("Alpha january"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return january->read(); }, 20000));
  const auto titles = [&](int clicked) {
    view->contextualMenu()->setClickedRow(clicked);
    standard->menuNeedsUpdate(view->contextualMenu());
    QStringList shown;
    for (QAction* action : view->contextualMenu()->actions())
      shown.append(action->isSeparator() ? "-" : action->text());
    return shown;
  };
  CBFeed* januarysFeed = CBFeed::feedWithURL(january->feedURL());
  ASSERT_NE(januarysFeed, nullptr);
  const QString removeSite = QStringLiteral("Remove Site \u201C%1\u201D").arg(januarysFeed->nameForDisplay());
  EXPECT_EQ(titles(rowOf(QStringLiteral("Alpha january"))),
            (QStringList{"Copy Article Link", "Open in New Tab", "Open in Browser", "-", "Mark as Unread", "Bookmark",
                         "-", removeSite, "Share"}));
  // "Copy Article Link" copies the link the article opens, not its guid
  // (a permalink that is no web address).
  ASSERT_FALSE(january->permalink().startsWith(QLatin1String("http")));
  QGuiApplication::clipboard()->clear();
  for (QAction* action : view->contextualMenu()->actions())
    if (action->text() == QLatin1String("Copy Article Link"))
      action->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), january->bestLink());
  EXPECT_EQ(january->bestLink(), january->link());
  // "Remove Site" asks as the source list does; Cancel keeps the site.
  for (QAction* action : view->contextualMenu()->actions())
    if (action->text() == removeSite)
      action->trigger();
  QMessageBox* question = controller->sourceListViewController()->commands()->deletionConfirmationSheet();
  ASSERT_NE(question, nullptr);
  EXPECT_TRUE(question->text().contains(januarysFeed->nameForDisplay())) << question->text().toStdString();
  for (QAbstractButton* button : question->buttons())
    if (question->buttonRole(button) == QMessageBox::RejectRole)
      button->click();
  app.settle();
  EXPECT_EQ(CBFeed::feedWithURL(january->feedURL()), januarysFeed);
  EXPECT_EQ(titles(0), QStringList());
  EXPECT_EQ(titles(-1).value(4), QStringLiteral("Mark as Unread"));
  EXPECT_EQ(titles(rowOf(QStringLiteral("Alpha february"))).value(4), QStringLiteral("Mark as Read"));
  QSignalSpy menus(view, &ZPHArticleListTableView::contextualMenuRequested);
  const QPoint onHeaderAt = view->visualRect(view->model()->index(0, 0)).center();
  QContextMenuEvent onHeader(QContextMenuEvent::Mouse, onHeaderAt, view->viewport()->mapToGlobal(onHeaderAt));
  QCoreApplication::sendEvent(view->viewport(), &onHeader);
  EXPECT_EQ(menus.count(), 0);
  // "Bookmark", and its undo.
  titles(rowOf(QStringLiteral("Alpha january")));
  for (QAction* action : view->contextualMenu()->actions()) {
    if (action->text() == QStringLiteral("Bookmark"))
      action->trigger();
  }
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return january->flagged(); }, 20000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    return view->model()
        ->index(rowOf(QStringLiteral("Alpha january")), 0)
        .data(ZPHArticleListModel::FlaggedRole)
        .toBool();
  }));
  controller->undoManager()->undo();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !january->flagged(); }, 20000));

  // Keys: Return with Shift is not the table's; plain Left goes to the
  // source list.
  OpenerRecorder opener({"http", "https"});
  // Links open in the web browser (not in a tab) for this part.
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHBrowserOpenLinksInZephlin, true);
  view->setFocus();
  QTest::keyClick(view, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_TRUE(opener.opened.isEmpty());
  QTest::keyClick(view, Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(opener.opened.size(), 1);
  ZPHUserDefaults::standardUserDefaults().removeObject(ZPHBrowserOpenLinksInZephlin);
  QSignalSpy left(view, &ZPHArticleListTableView::moveFocusToSourceListRequested);
  QTest::keyClick(view, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(left.count(), 0);
  QTest::keyClick(view, Qt::Key_Left);
  EXPECT_EQ(left.count(), 1);

  // The classic layout: no headers, two columns, the same article selected,
  // nothing marked.
  click(rowOf(QStringLiteral("Beta today")));
  CBDataArticle* beta = article(QStringLiteral("Beta today"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return beta->read(); }, 20000));
  CBDataArticle::markArticles({beta}, false);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !beta->read(); }, 20000));
  waitForSettledList();
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHContentLayoutMode, 1);
  waitForSettledList();
  auto* classic = qobject_cast<ZPHClassicLayoutViewController*>(list->currentLayoutViewController());
  ASSERT_NE(classic, nullptr);
  EXPECT_FALSE(classic->supportsGroupHeaders());
  EXPECT_EQ(list->articleListModel()->columnCount(), 2);
  EXPECT_FALSE(rows().contains(QStringLiteral("[Today]")));
  EXPECT_EQ(list->selectedArticle(), beta);
  EXPECT_EQ(table()->selectedRow(), rowOf(QStringLiteral("Beta today")));
  EXPECT_EQ(table()->rowHeight(0), 28);
  app.settle();
  EXPECT_FALSE(beta->read());
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHContentLayoutMode, 0);
  waitForSettledList();
  EXPECT_TRUE(list->currentLayoutViewController()->supportsGroupHeaders());
  EXPECT_EQ(list->selectedArticle(), beta);
  EXPECT_EQ(table()->selectedRow(), rowOf(QStringLiteral("Beta today")));

  // An empty list in both layouts: no next, previous or top row, and moves
  // stay off the table.
  CBFolder* empty = app.data()->localAccount()->addFolderWithName(QStringLiteral("Empty"));
  select({}, {empty});
  for (const int layout : {1, 0}) {
    ZPHUserDefaults::standardUserDefaults().setInteger(ZPHContentLayoutMode, layout);
    ZPHTestSpinEventLoop(20);
    ZPHArticleListTableView* shown = table();
    ASSERT_EQ(shown->model()->rowCount(), 0) << layout;
    EXPECT_EQ(shown->nextRow(), -1) << layout;
    EXPECT_EQ(shown->previousRow(), -1) << layout;
    EXPECT_EQ(shown->nextRowAfterRow(-1), -1) << layout;
    list->currentLayoutViewController()->selectTopRowIfNoneSelected();
    shown->selectNextRow();
    shown->selectPreviousRow();
    EXPECT_EQ(shown->selectedRow(), -1) << layout;
    EXPECT_EQ(list->selectedArticle(), nullptr) << layout;
  }
}

TEST_F(ArticleListTest, TypingStaysInTheFieldWhileTheOptionsFollowTheKeys)
{
  start();
  select(folder(QStringLiteral("News")));
  ZPHSearchWindowController* search = controller->searchWindowController();
  ZPHSearchField* field = controller->searchField();
  QWidget* main = field->window();
  main->activateWindow();
  field->setFocus();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return main->isActiveWindow() && field->hasFocus(); }));

  // Each key searches again; the options open over the window, inside it,
  // and the keys stay in the field.
  QTest::keyClicks(field, QStringLiteral("Alp"));
  EXPECT_EQ(field->text(), QStringLiteral("Alp"));
  EXPECT_EQ(QApplication::focusWidget(), field);
  ASSERT_TRUE(search->isOptionsWindowShown());
  EXPECT_FALSE(search->window()->isWindow());
  EXPECT_EQ(search->window()->window(), main);
  EXPECT_EQ(search->optionRowCount(), 10);  // with the selected sites
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    return list->showingSearchResultSet() && list->currentSearchOperation() == search->lastSearchOperation();
  }));
  EXPECT_EQ(search->lastSearchOperation()->type(), 0);
  EXPECT_EQ(results(), (QStringList{"Alpha february", "Alpha january", "Alpha today", "Alpha yesterday"}));

  // Up and Down skip headers and separators and stop at the ends; the
  // text is untouched.
  EXPECT_EQ(search->selectedOptionRow(), 0);
  QTest::keyClick(field, Qt::Key_Up);
  EXPECT_EQ(search->selectedOptionRow(), 0);
  QList<int> visited;
  for (int i = 0; i < 7; ++i) {
    QTest::keyClick(field, Qt::Key_Down);
    visited.append(search->selectedOptionRow());
  }
  EXPECT_EQ(visited, (QList<int>{3, 4, 7, 8, 9, 9, 9}));
  for (const int row : visited)
    EXPECT_EQ(ZPHSearchWindowController::rowKind(row), ZPHSearchWindowController::RowKind::Option);
  QTest::keyClick(field, Qt::Key_Up);
  QTest::keyClick(field, Qt::Key_Up);
  QTest::keyClick(field, Qt::Key_Up);
  EXPECT_EQ(search->selectedOptionRow(), 4);
  QTest::keyClick(field, Qt::Key_Up);
  EXPECT_EQ(search->selectedOptionRow(), 3);
  EXPECT_EQ(field->text(), QStringLiteral("Alp"));
  EXPECT_EQ(QApplication::focusWidget(), field);

  // Return runs the chosen option (titles everywhere) and closes the
  // options; the text stays.
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_FALSE(search->isOptionsWindowShown());
  EXPECT_EQ(search->lastSearchOperation()->type(), ZPHSearchWindowController::typeForRow(3));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return list->currentSearchOperation() == search->lastSearchOperation(); }));
  EXPECT_EQ(field->text(), QStringLiteral("Alp"));
  EXPECT_TRUE(list->showingSearchResultSet());

  // Typing again opens them again; Escape closes them, and with them
  // closed empties the field and leaves search mode. The search the typing
  // started (the store queue held, so it ends later) does not bring search
  // mode back.
  std::atomic<bool> release{false};
  app.data()->addCoreDataQueueBlock(
      [&release] {
        while (!release.load()) QThread::msleep(5);
      },
      {});
  field->setFocus();
  QTest::keyClicks(field, QStringLiteral("h"));
  EXPECT_TRUE(search->isOptionsWindowShown());
  EXPECT_EQ(field->text(), QStringLiteral("Alph"));
  QTest::keyClick(field, Qt::Key_Escape);
  EXPECT_FALSE(search->isOptionsWindowShown());
  EXPECT_EQ(field->text(), QStringLiteral("Alph"));
  QTest::keyClick(field, Qt::Key_Escape);
  EXPECT_TRUE(field->text().isEmpty());
  EXPECT_FALSE(list->showingSearchResultSet());
  release = true;
  app.settle();
  waitForList();
  EXPECT_FALSE(list->showingSearchResultSet());
  EXPECT_EQ(rows(), (QStringList{"[Future]", "Beta future", "[Today]", "Beta today", "Alpha today", "[Yesterday]",
                                 "Alpha yesterday", "[February 2026]", "Beta february", "Alpha february",
                                 "[January 2026]", "Alpha january"}));
}

TEST_F(ArticleListTest, ARowWhoseThumbnailWillNotComeGivesItsTextTheWholeWidth)
{
  // Two articles with long titles and a picture each: one that is there,
  // one the server does not have.
  const QString site = server.url(QStringLiteral("/")).toString();
  const QString longTitle = QStringLiteral("Harbour lights over the quay ").repeated(6).trimmed();
  const auto rowRectOf = [&](const QString& title) {
    const int row = rowOf(title);
    EXPECT_GE(row, 0) << title.toStdString();
    return table()->visualRect(table()->model()->index(row, 0));
  };
  server.route(QStringLiteral("/there.png"), [](const ZPHTestHTTPRequest&) {
    QImage image(120, 120, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    ZPHTestHTTPResponse response;
    response.headers = {{"Content-Type", "image/png"}};
    response.body = bytes;
    return response;
  });
  const auto withPicture = [&](const QString& picture) {
    return QStringLiteral("<p>Text</p><p><img src=\"%1\"></p>").arg(server.url(picture).toString());
  };
  serve(QStringLiteral("/alpha.xml"), QStringLiteral("Alpha"),
        {{QStringLiteral("There ") + longTitle,
          site + QStringLiteral("a/1"),
          at(3, 8, 9),
          {},
          withPicture(QStringLiteral("/there.png"))},
         {QStringLiteral("Missing ") + longTitle,
          site + QStringLiteral("a/2"),
          at(3, 8, 8),
          {},
          withPicture(QStringLiteral("/missing.png"))}});
  int unavailable = 0;
  ZPHObserverToken failures = ZPHNotificationCenter::defaultCenter().addObserver(
      CBThumbnailUnavailableNotification, QVariant(), [&](const ZPHNotification&) { ++unavailable; });
  start();
  controller->window()->resize(1100, 700);
  select(feed(QStringLiteral("/alpha.xml")));
  ZPHArticleListTableView* view = table();
  view->viewport()->repaint();  // asks for the pictures
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unavailable == 1; }, 20000));
  ZPHTestSpinEventLoop(50);

  // Dark grey (text) pixels in the title's line where the picture's square
  // is.
  const auto textInPictureColumn = [&](const QString& title) {
    const QRect rowRect = rowRectOf(title);
    const QRectF inner = ZPHArticleListCellView::innerBox(QRectF(rowRect));
    const QRect strip = QRectF(inner.right() - 61, inner.top(), 61 - 20, 14).toRect();
    const QImage image = view->viewport()->grab(strip).toImage();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        // Grey text, not the green picture.
        const QRgb pixel = image.pixel(x, y);
        dark += qGray(pixel) < 128 && std::abs(qRed(pixel) - qGreen(pixel)) < 30 ? 1 : 0;
      }
    return dark;
  };
  EXPECT_GT(textInPictureColumn(QStringLiteral("Missing ") + longTitle), 20) << "the title stops short of the row";
  EXPECT_EQ(textInPictureColumn(QStringLiteral("There ") + longTitle), 0) << "the picture keeps its square";
}

TEST_F(ArticleListTest, ArticlesComeAndGoInPlaceKeepingTheSelectionAndWhatIsInView)
{
  const QString site = server.url(QStringLiteral("/")).toString();
  QList<ZPHTestFeedItem> items;
  for (int n = 0; n < 40; ++n)
    items.append({QStringLiteral("Alpha item %1").arg(n),
                  site + QStringLiteral("i/%1").arg(n),
                  at(2, 25 - n / 2, 9 + n % 2),
                  {},
                  QStringLiteral("Item")});
  serve(QStringLiteral("/alpha.xml"), QStringLiteral("Alpha"), items);
  start();
  select(feed(QStringLiteral("/alpha.xml")));
  ZPHArticleListModel* model = list->articleListModel();
  ASSERT_EQ(rows().size(), 41);  // one header, forty articles
  ZPHArticleListTableView* view = table();
  QScrollBar* scroll = view->verticalScrollBar();
  ASSERT_GT(scroll->maximum(), 0);

  // Scrolled into the middle, part of a row above the top edge, one
  // article selected.
  scroll->setValue(scroll->maximum() / 2 + 7);
  ZPHTestSpinEventLoop(10);
  const int topRow = view->rowAt(0);
  ASSERT_GT(topRow, 2);
  CBDataArticle* top = model->articleAtRow(topRow);
  ASSERT_NE(top, nullptr);
  const int intoTop = scroll->value() - view->verticalHeader()->sectionPosition(topRow);
  click(topRow + 1);
  CBDataArticle* chosen = list->selectedArticle();
  ASSERT_NE(chosen, nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return chosen->read(); }, 20000));
  app.settle();
  const auto inView = [&] {
    const int row = view->rowAt(0);
    return std::make_pair(model->articleAtRow(row), scroll->value() - view->verticalHeader()->sectionPosition(row));
  };
  const auto unchanged = [&] {
    EXPECT_EQ(list->selectedArticle(), chosen);
    EXPECT_EQ(view->selectedRow(), model->rowForObjectID(chosen->objectID()));
    EXPECT_EQ(inView(), std::make_pair(top, intoTop));
  };
  QSignalSpy resets(model, &QAbstractItemModel::modelReset);
  QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
  QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);

  // A refresh brings three articles of today (at the end of the feed: the
  // test feed's guids count from its start): they come in above, under a
  // header of their own, and nothing in view moves.
  QList<ZPHTestFeedItem> more = items;
  for (int n = 0; n < 3; ++n)
    more.append({QStringLiteral("Alpha new %1").arg(n),
                 site + QStringLiteral("n/%1").arg(n),
                 at(3, 8, 10 + n),
                 {},
                 QStringLiteral("New")});
  serve(QStringLiteral("/alpha.xml"), QStringLiteral("Alpha"), more);
  RefreshSessionCounter sessions;
  app.delegate->refreshController()->refreshOneFeed(feed(QStringLiteral("/alpha.xml")));
  ASSERT_TRUE(
      ZPHTestWaitUntil([&] { return sessions.finished >= 1 && rowOf(QStringLiteral("Alpha new 0")) >= 0; }, 60000));
  waitForList();
  EXPECT_EQ(rows().mid(0, 5), (QStringList{"[Today]", "Alpha new 2", "Alpha new 1", "Alpha new 0", "[February 2026]"}));
  EXPECT_EQ(resets.count(), 0);
  EXPECT_GE(inserted.count(), 1);
  unchanged();

  // Articles that go, above what is in view and in it: their rows go, the
  // rest stays where it is.
  const QString aboveTitle = model->index(topRow - 1, 0).data().toString();
  ASSERT_NE(model->articleAtRow(rowOf(aboveTitle)), nullptr);
  deleteOnStoreQueue(aboveTitle);
  app.settle();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return rowOf(aboveTitle) < 0; }, 20000));
  ZPHTestSpinEventLoop(10);
  EXPECT_EQ(resets.count(), 0);
  EXPECT_GE(removed.count(), 1);
  unchanged();
  EXPECT_EQ(rows().size(), 44);

  // The selected article goes: the selection with it, nothing else.
  deleteOnStoreQueue(chosen->title());
  app.settle();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return list->selectedArticle() == nullptr; }, 20000));
  ZPHTestSpinEventLoop(10);
  EXPECT_EQ(resets.count(), 0);
  EXPECT_EQ(view->selectedRow(), -1);
  EXPECT_EQ(inView().first, top);

  // Another source: the list starts over.
  select(feed(QStringLiteral("/beta.xml")));
  EXPECT_GE(resets.count(), 1);
  EXPECT_EQ(rows(),
            (QStringList{"[Future]", "Beta future", "[Today]", "Beta today", "[February 2026]", "Beta february"}));
}
