// The source list's rules that need no store: where a row's parts go, which
// errors show, which proposed selections stay, where the divider may go,
// what keys do, the fade strip and the next midnight.

#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBDateManager.h"
#include "platform/ZPHNotificationCenter.h"
#include "sourcelist/ZPHSourceListCellLayout.h"
#include "sourcelist/ZPHSourceListModel.h"
#include "sourcelist/ZPHSourceListSelectionModel.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/tree/CBTree.h"
#include "store/tree/ZPHGlobalNodeRepresentedObject.h"

#include <QtCore/QTimeZone>

#include <gtest/gtest.h>

namespace {

struct FeedCellCase {
  const char* name;
  int badge;
  QSize error;
  QRect text;
  QRect errorButton;
  QRect badgeRect;
};

}  // namespace

TEST(SourceListCellLayout, FeedCellsEndAtTheRightEdgeWithSixPointGaps)
{
  // A cell of 200 x 24 at x 20, the title from x 42.
  const QRect cell(20, 0, 200, 24);
  const QSize error(16, 16);
  const FeedCellCase cases[] = {
      // No badge: the title runs to 6 points from the right edge.
      {"nothing", 0, QSize(), QRect(42, 0, 172, 24), QRect(), QRect()},
      // A one-digit badge (digit 7 wide: 9 points) ends at the edge.
      {"badge", 9, QSize(), QRect(42, 0, 163, 24), QRect(), QRect(211, 0, 9, 24)},
      // An error without a badge: the button ends at the edge.
      {"error", 0, error, QRect(42, 0, 156, 24), QRect(204, 4, 16, 16), QRect()},
      // Both: title, 6, button, 6, badge.
      {"error and badge", 9, error, QRect(42, 0, 141, 24), QRect(189, 4, 16, 16), QRect(211, 0, 9, 24)},
  };
  for (const FeedCellCase& c : cases) {
    const ZPHSourceListCellLayout layout = ZPHSourceListCellLayout::feedCell(cell, 42, c.badge, c.error);
    EXPECT_EQ(layout.textRect, c.text) << c.name;
    EXPECT_EQ(layout.errorButtonRect, c.errorButton) << c.name;
    EXPECT_EQ(layout.badgeRect, c.badgeRect) << c.name;
    EXPECT_TRUE(layout.headerButtonRect.isEmpty()) << c.name;
  }

  // A smart feed's title stops 6 points before even a badge of no width.
  EXPECT_EQ(ZPHSourceListCellLayout::smartFeedCell(cell, 42, 0).textRect, QRect(42, 0, 172, 24));
  const ZPHSourceListCellLayout smart = ZPHSourceListCellLayout::smartFeedCell(cell, 42, 23);
  EXPECT_EQ(smart.textRect, QRect(42, 0, 149, 24));
  EXPECT_EQ(smart.badgeRect, QRect(197, 0, 23, 24));

  // A header: the title 6 points in; the button at the edge, the title
  // stopping 5 points before it.
  const QRect header(0, 0, 220, 22);
  EXPECT_EQ(ZPHSourceListCellLayout::groupCell(header, QSize()).textRect, QRect(6, 0, 208, 22));
  const ZPHSourceListCellLayout withButton = ZPHSourceListCellLayout::groupCell(header, QSize(60, 20));
  EXPECT_EQ(withButton.headerButtonRect, QRect(160, 1, 60, 20));
  EXPECT_EQ(withButton.textRect, QRect(6, 0, 149, 22));
  // Too narrow: the button keeps its size, the title gives way.
  const ZPHSourceListCellLayout narrow = ZPHSourceListCellLayout::groupCell(QRect(0, 0, 50, 22), QSize(60, 20));
  EXPECT_EQ(narrow.headerButtonRect.size(), QSize(60, 20));
  EXPECT_EQ(narrow.textRect.width(), 0);
}

TEST(SourceListCellLayout, BadgeWidthIsDigitsTimesTheDigitWidthPlusTwo)
{
  const struct {
    qint64 count;
    int width;
  } cases[] = {{-3, 0}, {0, 0}, {7, 9}, {10, 16}, {1234, 30}, {100000, 44}};
  for (const auto& c : cases) EXPECT_EQ(ZPHSourceListCellLayout::chickletWidth(c.count, 7), c.width) << c.count;
}

TEST(SourceListErrors, WhichRefreshErrorsARowShows)
{
  const auto refreshError = [](qint64 code) { return ZPHError(ZPHRefreshFeedOperationErrorDomain, code); };
  const struct {
    ZPHError error;
    bool online;
    bool offline;
  } cases[] = {
      {ZPHError(), false, false},
      {refreshError(ZPHRefreshFeedOperationErrorNotConnected), false, false},
      {refreshError(ZPHRefreshFeedOperationErrorCannotConnect), true, false},
      {refreshError(ZPHRefreshFeedOperationErrorNotResponding), true, false},
      {refreshError(ZPHRefreshFeedOperationErrorPageNotFound), true, true},
      {refreshError(ZPHRefreshFeedOperationErrorParse), true, true},
      {ZPHError(QStringLiteral("another.domain"), ZPHRefreshFeedOperationErrorNotConnected), true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZPHSourceListModel::shouldShowError(c.error, true), c.online) << c.error.toString().toStdString();
    EXPECT_EQ(ZPHSourceListModel::shouldShowError(c.error, false), c.offline) << c.error.toString().toStdString();
  }
}

TEST(SourceListSelection, ProposedSelectionsKeepOnlyWhatTheRulesAllow)
{
  using K = ZPHSourceListSelectionModel::RowKind;
  const struct {
    const char* name;
    QList<K> proposed;
    std::optional<QList<int>> kept;
  } cases[] = {
      {"nothing", {}, QList<int>{}},
      {"one smart feed", {K::SmartFeed}, QList<int>{0}},
      {"one feed under Favorites", {K::FavoritesChild}, QList<int>{0}},
      {"one header: the selection stays", {K::Header}, std::nullopt},
      {"All Unread and two feeds", {K::SmartFeed, K::FeedOrFolder, K::FeedOrFolder}, QList<int>{1, 2}},
      {"two favourites", {K::FavoritesChild, K::FavoritesChild}, QList<int>{0, 1}},
      {"a favourite and a folder's feed", {K::FavoritesChild, K::FeedOrFolder}, QList<int>{1}},
      {"headers, Favorites and a folder", {K::Header, K::FavoritesGroup, K::FeedOrFolder, K::Header}, QList<int>{2}},
      {"two smart feeds", {K::SmartFeed, K::SmartFeed}, QList<int>{}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ZPHSourceListSelectionModel::selectionIndexesForProposedSelection(c.proposed), c.kept) << c.name;
}

TEST(SourceListSplitView, TheDividerSnapsTo240AndStaysBetween130And400)
{
  const struct {
    int proposed;
    int taken;
  } cases[] = {{250, 240}, {209, 240}, {271, 240}, {208, 208}, {272, 272},
               {200, 200}, {100, 130}, {-5, 130},  {500, 400}};
  for (const auto& c : cases)
    EXPECT_EQ(ZPHSourceListViewController::constrainedSplitPosition(c.proposed), c.taken) << c.proposed;
}

TEST(SourceListKeys, TheOutlinesOwnKeys)
{
  using C = ZPHSourceListView::KeyCommand;
  const auto command = [](int key, Qt::KeyboardModifiers modifiers, bool focused = true, bool canMove = true,
                          bool favorites = false) {
    return ZPHSourceListView::keyCommandForKey(key, modifiers, focused, canMove, favorites);
  };
  EXPECT_EQ(command(Qt::Key_Return, Qt::NoModifier), C::OpenWebPage);
  EXPECT_EQ(command(Qt::Key_Enter, Qt::KeypadModifier), C::OpenWebPage);
  EXPECT_EQ(command(Qt::Key_Return, Qt::ControlModifier), C::None);
  EXPECT_EQ(command(Qt::Key_Right, Qt::NoModifier), C::MoveFocusToArticleList);
  // Consumed even when the focus cannot move.
  EXPECT_EQ(command(Qt::Key_Right, Qt::NoModifier, true, false), C::Swallow);
  EXPECT_EQ(command(Qt::Key_Right, Qt::ShiftModifier), C::None);
  EXPECT_EQ(command(Qt::Key_Right, Qt::NoModifier, false), C::None);
  EXPECT_EQ(command(Qt::Key_Backspace, Qt::ControlModifier, true, true, true), C::RemoveFromFavorites);
  EXPECT_EQ(command(Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier, true, true, true), C::RemoveFromFavorites);
  EXPECT_EQ(command(Qt::Key_Delete, Qt::ControlModifier, true, true, false), C::None);
  EXPECT_EQ(command(Qt::Key_Delete, Qt::NoModifier, true, true, true), C::None);
  EXPECT_EQ(command(Qt::Key_A, Qt::NoModifier), C::None);
}

TEST(SourceListFade, TheStripShowsWhileMoreThanFourPointsLieBelow)
{
  const struct {
    qreal document, y, visible, alpha;
  } cases[] = {
      {300, 0, 400, 0},      // fits
      {800, 0, 400, 1},      // much more below
      {800, 398, 400, 0.5},  // 2 points left
      {800, 400, 400, 0},    // at the end
      {800, -2, 400, 0.5},   // pulled down past the top
      {800, -10, 400, 1},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(ZPHSourceListView::fadeAlpha(c.document, c.y, c.visible), c.alpha) << c.document << " " << c.y;
}

TEST(SourceListMidnight, TheNextMidnightIsTheStartOfTheNextLocalDay)
{
  const QTimeZone berlin("Europe/Berlin");
  const QTimeZone santiago("America/Santiago");
  ASSERT_TRUE(berlin.isValid());
  ASSERT_TRUE(santiago.isValid());
  const struct {
    const char* name;
    QTimeZone zone;
    QDateTime now;
    QDateTime midnight;
  } cases[] = {
      // The day the clocks go forward: 23 hours long.
      {"Berlin, the day before spring", berlin, QDateTime(QDate(2025, 3, 29), QTime(12, 0), berlin),
       QDateTime(QDate(2025, 3, 29), QTime(23, 0), Qt::UTC)},
      {"Berlin, spring", berlin, QDateTime(QDate(2025, 3, 30), QTime(0, 0), berlin),
       QDateTime(QDate(2025, 3, 30), QTime(22, 0), Qt::UTC)},
      // The day the clocks go back: 25 hours long.
      {"Berlin, autumn", berlin, QDateTime(QDate(2025, 10, 26), QTime(1, 30), berlin),
       QDateTime(QDate(2025, 10, 26), QTime(23, 0), Qt::UTC)},
      {"Berlin, one second before midnight", berlin, QDateTime(QDate(2025, 10, 26), QTime(23, 59, 59), berlin),
       QDateTime(QDate(2025, 10, 26), QTime(23, 0), Qt::UTC)},
      // Santiago goes from 00:00 to 01:00 on 2024-09-08: that day starts at
      // one in the morning.
      {"Santiago, no midnight", santiago, QDateTime(QDate(2024, 9, 7), QTime(12, 0), santiago),
       QDateTime(QDate(2024, 9, 8), QTime(4, 0), Qt::UTC)},
      {"Santiago, the day after", santiago, QDateTime(QDate(2024, 9, 8), QTime(12, 0), santiago),
       QDateTime(QDate(2024, 9, 9), QTime(3, 0), Qt::UTC)},
  };
  for (const auto& c : cases) {
    const QDateTime next = ZPHSourceListViewController::nextLocalMidnightAfter(c.now, c.zone);
    EXPECT_EQ(next.toUTC(), c.midnight) << c.name << ": " << next.toString(Qt::ISODate).toStdString();
    EXPECT_GT(next, c.now) << c.name;
  }
  // Santiago's day begins at 01:00 local time.
  const QDateTime dawn = ZPHSourceListViewController::nextLocalMidnightAfter(cases[4].now, santiago);
  EXPECT_EQ(dawn.toTimeZone(santiago).time(), QTime(1, 0));
}

TEST(SourceListNavigation, NextAndPreviousEndWhenNoRowCanBeSelected)
{
  // A tree of two section headers, which cannot be selected.
  ZPHGlobalNodeRepresentedObject first(QStringLiteral("First"));
  ZPHGlobalNodeRepresentedObject second(QStringLiteral("Second"));
  std::shared_ptr<CBTree> tree = CBTree::tree();
  for (ZPHGlobalNodeRepresentedObject* object : {&first, &second}) {
    CBTreeNode::Pointer header = CBTreeNode::treeNodeWithParent(tree.get(), object);
    header->setIsGroup(true);
    header->setIsSpecialGroup(true);
    tree->addChild(header);
  }
  ZPHSourceListViewController controller;
  controller.model()->setTree(tree);
  controller.model()->reload();
  ASSERT_EQ(controller.numberOfRows(), 2);
  controller.selectNextRow();
  controller.selectPreviousRow();
  EXPECT_TRUE(controller.selectedRows().isEmpty());
  controller.model()->setTree(nullptr);
  controller.model()->reload();
}

TEST(SourceListMidnight, TheTimerIsArmedForTheNextMidnightAndAgainWhenTheClockMoves)
{
  const QTimeZone berlin("Europe/Berlin");
  QDateTime now(QDate(2025, 3, 29), QTime(21, 30), berlin);
  ZPHSourceListViewController controller;
  controller.completeInitialization();
  controller.setNowFunction([&] { return now; }, [&] { return berlin; });
  EXPECT_EQ(controller.midnightTimerFireDate(), QDateTime(QDate(2025, 3, 29), QTime(23, 0), Qt::UTC));
  // The date manager saw the day or the clock change: armed anew.
  now = QDateTime(QDate(2025, 3, 30), QTime(8, 0), berlin);
  ZPHNotificationCenter::defaultCenter().post(CBDatesDidChangeNotification);
  EXPECT_EQ(controller.midnightTimerFireDate(), QDateTime(QDate(2025, 3, 30), QTime(22, 0), Qt::UTC));
  // Each firing arms the next.
  now = QDateTime(QDate(2025, 3, 31), QTime(0, 0, 1), berlin);
  controller.significantTimeChangeOccurred();
  EXPECT_EQ(controller.midnightTimerFireDate(), QDateTime(QDate(2025, 3, 31), QTime(22, 0), Qt::UTC));
}
