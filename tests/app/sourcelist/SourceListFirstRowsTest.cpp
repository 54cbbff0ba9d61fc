// The first rows of a long source list in view: the application opens on a
// store of a thousand feeds with the list at its top, and a selected row
// comes into view without hiding the rows above it when they fit.

#include "app/shell/AppHarness.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "sourcelist/ZPHSourceListModel.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"

#include <QtWidgets/QMainWindow>
#include <QtWidgets/QScrollBar>

namespace {

constexpr int FeedCount = 1000;

class SourceListFirstRowsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    QList<QUrl> feeds;
    for (int n = 0; n < FeedCount; ++n) feeds.append(QUrl(QStringLiteral("http://127.0.0.1:9/feed/%1.xml").arg(n)));
    ASSERT_NO_FATAL_FAILURE(ZPHSeedStoreWithFeeds(dir.filePath(QStringLiteral("data")), feeds));
    // Nothing is refreshed: the list is the subject.
    app.connected = false;
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    sourceList = app.delegate->mainWindowController()->sourceListViewController();
    view = sourceList->sourceListOutlineView();
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return sourceList->numberOfRows() > FeedCount; }, 60000));
    ASSERT_TRUE(view->isVisible());
  }
  void TearDown() override { app.stop(); }

  // Whether the row shows in the list (the tree view brings a row in from
  // below with its last pixel line on the view's edge).
  bool rowInView(int row) const
  {
    const QRect rect = view->visualRect(sourceList->indexForRow(row));
    return !rect.isEmpty() && rect.top() >= 0 && rect.bottom() <= view->viewport()->height();
  }

  ZPHTestTempDir dir;
  AppHarness app{dir.filePath(QStringLiteral("data"))};
  ZPHSourceListViewController* sourceList = nullptr;
  ZPHSourceListView* view = nullptr;
};

}  // namespace

TEST_F(SourceListFirstRowsTest, TheListOpensAtItsTopWithTodaySelected)
{
  EXPECT_EQ(sourceList->selectedRows(), QList<int>{2});
  EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->minimum());
  // "NEWS FEED", All Unread and Today.
  for (int row = 0; row <= 2; ++row) EXPECT_TRUE(rowInView(row)) << row;
  ASSERT_GT(view->verticalScrollBar()->maximum(), 0);  // the list is longer than the view
}

TEST_F(SourceListFirstRowsTest, ASelectedRowComesIntoViewWithTheRowsAboveItWhenTheyFit)
{
  // Far down the list: it comes into view.
  sourceList->selectRow(600);
  EXPECT_TRUE(rowInView(600));
  EXPECT_FALSE(rowInView(0));

  // Back to Today: the rows above it fit, and show with it.
  sourceList->selectRow(2);
  EXPECT_TRUE(rowInView(2));
  EXPECT_TRUE(rowInView(0));
  EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->minimum());

  // The last row that fits with the top of the list: the top stays.
  int lastWithTop = 0;
  while (rowInView(lastWithTop + 1)) ++lastWithTop;
  sourceList->selectRow(300);
  sourceList->selectRow(lastWithTop);
  EXPECT_TRUE(rowInView(lastWithTop));
  EXPECT_TRUE(rowInView(0));

  // One further down cannot have them all: it shows at the bottom.
  sourceList->selectRow(lastWithTop + 1);
  EXPECT_TRUE(rowInView(lastWithTop + 1));
  EXPECT_FALSE(rowInView(0));
  EXPECT_TRUE(rowInView(2));
}
