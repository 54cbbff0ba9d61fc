// The source list of the running application on a real store: its rows,
// the selection rules through the real selection model, counts and errors
// that follow a refresh, the status area, the unread filter; the rows and
// the filter also under a translator that renames every text.

#include "app/sourcelist/SourceListFixture.h"
#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "kit/ZPHManualClock.h"
#include "kit/ZPHPlainTextToolTip.h"
#include "sourcelist/ZPHSourceListItemDelegate.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/operations/ZPHMarkAllAsReadOperation.h"

#include <QtTest/QTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMessageBox>

namespace {

class SourceListStoreTest : public SourceListFixture, public ::testing::WithParamInterface<bool> {
protected:
  void SetUp() override
  {
    if (GetParam())
      QCoreApplication::installTranslator(&translator);
    SourceListFixture::SetUp();
  }
  void TearDown() override
  {
    app.stop();
    QCoreApplication::removeTranslator(&translator);
  }

  // The text of the program, through the translator when one is installed.
  QString text(const char* source) const
  {
    return GetParam() ? QStringLiteral("«%1»").arg(QString::fromUtf8(source)) : QString::fromUtf8(source);
  }

  RenamingTranslator translator;
};

// Counts the selection notifications.
struct SelectionNotifications {
  SelectionNotifications()
  {
    token = ZPHNotificationCenter::defaultCenter().addObserver(CBSourceListSelectionDidChangeNotification, QVariant(),
                                                               [this](const ZPHNotification&) { ++count; });
  }
  int count = 0;
  ZPHObserverToken token;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Texts, SourceListStoreTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("Renamed") : std::string("Plain");
                         });

TEST_P(SourceListStoreTest, RowsSectionsAndTheSelectionRules)
{
  start();
  ZPHSourceListView* view = sourceList->sourceListOutlineView();

  // Rows 0 to 5, told apart by what they stand for, not by their names.
  EXPECT_TRUE(ZPHSourceListModel::isGlobalSpecialGroup(sourceList->nodeForRow(0)));
  for (int row = 1; row <= 3; ++row) {
    auto* smart = dynamic_cast<CBGlobalFeed*>(sourceList->nodeForRow(row)->representedObject());
    ASSERT_NE(smart, nullptr) << row;
    EXPECT_EQ(smart->globalFeedType(), row - 1);
  }
  EXPECT_TRUE(ZPHSourceListModel::isGlobalFavoritesGroup(sourceList->nodeForRow(4)));
  EXPECT_TRUE(ZPHSourceListModel::isDataAccountSpecialGroup(sourceList->nodeForRow(5)));
  EXPECT_FALSE(ZPHSourceListModel::isFavoritesSpecialGroup(sourceList->nodeForRow(4)));
  EXPECT_EQ(sourceList->indexForRow(0).data().toString(), text("News Feed").toUpper());
  EXPECT_EQ(sourceList->indexForRow(5).data().toString(), text("All Sites").toUpper());
  EXPECT_TRUE(view->isExpanded(sourceList->indexForRow(0)));
  EXPECT_TRUE(view->isExpanded(sourceList->indexForRow(5)));
  // Today is selected at start; the open folder shows its feeds, the
  // closed one not.
  EXPECT_EQ(sourceList->selectedRows(), QList<int>{2});
  ASSERT_EQ(sourceList->selectedOutlineItems().size(), 1);
  EXPECT_EQ(sourceList->selectedOutlineItems().constFirst().get(), sourceList->nodeForRow(2));
  EXPECT_TRUE(sourceList->nodeForRow(2)->selected());
  EXPECT_GE(row(QStringLiteral("/alpha.xml")), 6);
  EXPECT_EQ(row(QStringLiteral("/gamma.xml")), -1);
  EXPECT_TRUE(folderIndex(QStringLiteral("Archive")).isValid());
  EXPECT_EQ(sourceList->indexForRow(2).data(ZPHSourceListModel::ImageTextRole).toString(),
            QString::number(QDate::currentDate().day()));

  // Favorites opens; the favourites get rows of their own.
  view->expand(sourceList->indexForRow(4));
  EXPECT_TRUE(ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHExpandFavoritesKey));
  // A folder closed by the user stays closed in the store.
  CBFolder* news = nullptr;
  for (CBFolder* folder : app.data()->localAccount()->folders()) {
    if (folder->nameForDisplay() == QLatin1String("News"))
      news = folder;
  }
  ASSERT_NE(news, nullptr);
  view->collapse(folderIndex(QStringLiteral("News")));
  app.settle();
  EXPECT_FALSE(news->expanded());
  EXPECT_FALSE(model->nodeForIndex(folderIndex(QStringLiteral("News")))->expanded());
  view->expand(folderIndex(QStringLiteral("News")));
  app.settle();
  EXPECT_TRUE(news->expanded());
  const int alpha = row(QStringLiteral("/alpha.xml"));
  const int beta = row(QStringLiteral("/beta.xml"));
  const int favoriteAlpha = row(QStringLiteral("/alpha.xml"), true);
  const int favoriteDelta = row(QStringLiteral("/delta.xml"), true);
  ASSERT_GT(favoriteAlpha, 4);
  ASSERT_GT(favoriteDelta, 4);
  ASSERT_GT(alpha, favoriteDelta);

  SelectionNotifications notifications;
  const auto propose = [&](const QList<int>& rows) {
    QItemSelection selection;
    for (int proposed : rows) {
      const QModelIndex index = sourceList->indexForRow(proposed);
      selection.select(index, index);
    }
    sourceList->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return sourceList->selectedRows();
  };
  const struct {
    const char* name;
    QList<int> proposed;
    QList<int> selected;
    int notified;
  } cases[] = {
      {"All Unread", {1}, {1}, 1},
      {"All Unread again", {1}, {1}, 0},
      {"a header: no change", {0}, {1}, 0},
      {"All Unread and two feeds", {1, alpha, beta}, {alpha, beta}, 1},
      {"two favourites", {favoriteAlpha, favoriteDelta}, {favoriteAlpha, favoriteDelta}, 1},
      {"a favourite and a folder's feed", {favoriteDelta, beta}, {beta}, 1},
      {"nothing", {}, {}, 1},
  };
  for (const auto& c : cases) {
    const int before = notifications.count;
    EXPECT_EQ(propose(c.proposed), c.selected) << c.name;
    EXPECT_EQ(notifications.count - before, c.notified) << c.name;
  }

  // Reloads that keep the selection say nothing; one that loses it does.
  sourceList->selectRow(beta);
  int before = notifications.count;
  sourceList->reloadDataPreservingSelectionAndNotify();
  sourceList->refreshDataCacheReloadDataAndPreserveCurrentSelection();
  EXPECT_EQ(notifications.count, before);
  EXPECT_EQ(sourceList->selectedRows(), QList<int>{beta});
  sourceList->selectRow(favoriteDelta);
  before = notifications.count;
  feed(QStringLiteral("/delta.xml"))->markAsFavorite(false);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return node(QStringLiteral("/delta.xml"), true) == nullptr; }, 20000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return notifications.count > before; }));
  EXPECT_TRUE(sourceList->selectedRows().isEmpty());

  // Round the list: the header is skipped, each way.
  const int last = sourceList->numberOfRows() - 1;
  sourceList->selectRow(last);
  sourceList->selectNextRow();
  EXPECT_EQ(sourceList->selectedRows(), QList<int>{1});
  sourceList->selectPreviousRow();
  EXPECT_EQ(sourceList->selectedRows(), QList<int>{last});
  sourceList->selectRow(1000);
  EXPECT_EQ(sourceList->selectedRows(), QList<int>{last});
  sourceList->selectRow(-1);
  EXPECT_EQ(sourceList->selectedRows(), QList<int>{last});
}

TEST_P(SourceListStoreTest, TheReadFeedSelectedStaysUntilTheSelectionLeaves)
{
  RefreshSessionCounter sessions;
  start();
  waitForRefresh(sessions);

  // A source list of its own on the same tree, on a clock the test moves.
  ZPHManualClock clock;
  ZPHSourceListViewController list(&clock);
  list.setSourceListTreeBuilder(app.delegate->sourceListTreeBuilder());
  list.completeInitialization();
  ZPHSourceListModel* rows = list.model();
  const auto shown = [&](const QString& path) { return rows->indexForNode(node(path)).isValid(); };

  CBPrefsSetBool(true, ZPHHideFeedsWithNoUnread);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return list.hideFeedsWithNoUnread(); }));
  EXPECT_EQ(list.indexForRow(5).data().toString(), text("Unread Sites").toUpper());
  EXPECT_TRUE(list.indexForRow(5).data(ZPHSourceListModel::HeaderButtonTitleRole).toString().isEmpty());
  EXPECT_TRUE(shown(QStringLiteral("/alpha.xml")));
  // Never refreshed (suspended, 404, closed port): nothing unread, hidden.
  EXPECT_FALSE(shown(QStringLiteral("/epsilon.xml")));
  EXPECT_FALSE(shown(missingURL().toString()));

  // Alpha, selected, is read: it stays.
  list.selectTreeNode(node(QStringLiteral("/alpha.xml")));
  SelectionNotifications notifications;
  app.delegate->performUndoableOperation(ZPHMarkAllAsReadOperation::operationWithTreeNodeRepresentedObjects(
      {static_cast<CBNode*>(feed(QStringLiteral("/alpha.xml")))}, true));
  ASSERT_TRUE(
      ZPHTestWaitUntil([&] { return count(rows->indexForNode(node(QStringLiteral("/alpha.xml")))) == 0; }, 20000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return list.isFilterReloadScheduled(); }));
  clock.advance(ZPHSourceListViewController::FilterReloadDelay);
  EXPECT_TRUE(shown(QStringLiteral("/alpha.xml")));
  EXPECT_EQ(list.selectedOutlineItems().constFirst().get(), node(QStringLiteral("/alpha.xml")));

  // The selection moves on: Alpha goes 1.5 s later, not at once.
  list.selectTreeNode(node(QStringLiteral("/beta.xml")));
  EXPECT_EQ(notifications.count, 1);
  EXPECT_TRUE(shown(QStringLiteral("/alpha.xml")));
  clock.advance(ZPHSourceListViewController::FilterReloadDelay - 1);
  EXPECT_TRUE(shown(QStringLiteral("/alpha.xml")));
  clock.advance(1);
  EXPECT_FALSE(shown(QStringLiteral("/alpha.xml")));
  EXPECT_TRUE(shown(QStringLiteral("/beta.xml")));
  // The filter's reload kept the selection and said nothing.
  EXPECT_EQ(list.selectedOutlineItems().constFirst().get(), node(QStringLiteral("/beta.xml")));
  EXPECT_EQ(notifications.count, 1);

  // Everything read: "(NO UNREAD SITES)" and its "Show Read" button.
  list.selectRow(1);
  QList<ZPHRepresentedObject> everything;
  for (CBFeed* each : app.data()->localAccount()->feeds()) everything.append(static_cast<CBNode*>(each));
  app.delegate->performUndoableOperation(
      ZPHMarkAllAsReadOperation::operationWithTreeNodeRepresentedObjects(everything, true));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return app.data()->unreadCount() == 0; }, 20000));
  app.settle();
  clock.advance(ZPHSourceListViewController::FilterReloadDelay);
  EXPECT_EQ(rows->rowCount(list.indexForRow(5)), 0);
  EXPECT_EQ(list.indexForRow(5).data().toString(), text("(No Unread Sites)").toUpper());
  EXPECT_EQ(list.indexForRow(5).data(ZPHSourceListModel::HeaderButtonTitleRole).toString(), text("Show Read"));
  list.sourceListGroupCellViewDidClickButton(list.indexForRow(5));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !list.hideFeedsWithNoUnread(); }));
  EXPECT_FALSE(CBPrefsGetBool(ZPHHideFeedsWithNoUnread));
  EXPECT_EQ(list.indexForRow(5).data().toString(), text("All Sites").toUpper());
  EXPECT_TRUE(shown(QStringLiteral("/alpha.xml")));
  EXPECT_TRUE(shown(QStringLiteral("/epsilon.xml")));
}

class SourceListRefreshTest : public SourceListFixture {
protected:
  void TearDown() override { app.stop(); }
};

TEST_F(SourceListRefreshTest, CountsErrorsAndTheStatusAreaFollowARefresh)
{
  RefreshSessionCounter sessions;
  start();
  ZPHStatusViewController* status = controller->statusViewController();
  ASSERT_NE(status, nullptr);
  status->setSlideDuration(0);

  // "Refreshing Sites…" comes with the refresh and goes after it.
  const auto showing = [&](const QString& identifier) {
    return status->currentStatusItem() != nullptr && status->currentStatusItem()->identifier() == identifier;
  };
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return showing(ZPHRefreshController::StatusItemIdentifier); }, 30000));
  EXPECT_EQ(status->currentStatusItem()->localizedDescription(), QStringLiteral("Refreshing Sites…"));
  waitForRefresh(sessions);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return status->orderedStatusItems().isEmpty(); }, 30000));

  // Feed, folder and smart-feed badges.
  EXPECT_EQ(count(index(QStringLiteral("/beta.xml"))), 3);
  EXPECT_EQ(count(folderIndex(QStringLiteral("News"))), 8);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return count(folderIndex(QStringLiteral("Archive"))) == 2; }));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return count(sourceList->indexForRow(1)) == 5 + 3 + 2 + 4 + 1; }, 20000))
      << count(sourceList->indexForRow(1));
  EXPECT_EQ(count(sourceList->indexForRow(4)), 0);  // Favorites shows no count of its own
  EXPECT_TRUE(index(QStringLiteral("/epsilon.xml")).data(ZPHSourceListModel::SuspendedRole).toBool());
  EXPECT_EQ(count(index(QStringLiteral("/epsilon.xml"))), 0);

  // A feed whose title is markup shows its text: the markup is read once,
  // never drawn.
  const QModelIndex markup = index(QStringLiteral("/markup.xml"));
  EXPECT_EQ(markup.data().toString(), QStringLiteral("x"));
  EXPECT_EQ(markup.data(Qt::ToolTipRole).toString(), ZPHPlainTextToolTip(QStringLiteral("x")));
  EXPECT_FALSE(markup.data(Qt::ToolTipRole).toString().contains(QLatin1String("<b>")));

  // The 404 feed's error button opens its error, recovery options and all;
  // its name, markup, stays text.
  ZPHSourceListView* view = sourceList->sourceListOutlineView();
  const QModelIndex missing = model->indexForNode(node(missingURL().toString()));
  ASSERT_EQ(errorShown(missing).code(), ZPHRefreshFeedOperationErrorPageNotFound);
  view->scrollTo(missing);
  QStyleOptionViewItem option;
  option.rect = view->visualRect(missing);
  option.widget = view;
  const QRect button = view->itemDelegate()->layoutForIndex(option, missing).errorButtonRect;
  ASSERT_FALSE(button.isEmpty());
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, button.center());
  QMessageBox* box = nullptr;
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    const QList<QMessageBox*> boxes = controller->window()->findChildren<QMessageBox*>();
    box = boxes.isEmpty() ? nullptr : boxes.constLast();
    return box != nullptr && box->isVisible();
  }));
  EXPECT_EQ(box->windowModality(), Qt::WindowModal);
  QStringList buttons;
  for (QAbstractButton* each : box->buttons()) buttons.append(each->text());
  EXPECT_EQ(buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Attempt to Fix")}));
  EXPECT_TRUE(box->informativeText().contains(MarkupTitle));
  for (QLabel* label : box->findChildren<QLabel*>()) EXPECT_EQ(label->textFormat(), Qt::PlainText);
  box->close();
  // A recovery option goes to the feed's recovery with its index: the gone
  // site's home page opens.
  const QModelIndex gone = model->indexForNode(node(goneURL().toString()));
  ASSERT_EQ(errorShown(gone).code(), ZPHRefreshFeedOperationErrorGone);
  QMessageBox* goneBox = sourceList->sourceListCellViewDidClickErrorButton(gone);
  ASSERT_NE(goneBox, nullptr);
  QAbstractButton* openSite = nullptr;
  for (QAbstractButton* each : goneBox->buttons()) {
    if (each->text() == QLatin1String("Open Site in Browser"))
      openSite = each;
  }
  ASSERT_NE(openSite, nullptr);
  openSite->click();
  EXPECT_EQ(app.openedURLs, QList<QUrl>{goneHomePage()});
  // The click did not select the row.
  EXPECT_FALSE(sourceList->selectedRows().contains(sourceList->rowForNode(node(missingURL().toString()))));

  // "Cannot connect" shows only while the network is there; offline, the
  // status area says so once for all.
  const QModelIndex down = model->indexForNode(node(downURL().toString()));
  EXPECT_EQ(errorShown(down).code(), ZPHRefreshFeedOperationErrorCannotConnect);
  app.reachability->setConnected(false);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return errorShown(down).isNull(); }));
  EXPECT_FALSE(errorShown(missing).isNull());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return showing(ZPHNetworkController::StatusItemIdentifier); }, 20000));
  EXPECT_EQ(status->currentStatusItem()->localizedDescription(), QStringLiteral("No Internet Connection"));
  app.reachability->setConnected(true);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !errorShown(down).isNull(); }));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return status->orderedStatusItems().isEmpty(); }, 20000));
}
