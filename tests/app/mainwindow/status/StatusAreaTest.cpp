#include "common/ZPHErrorButton.h"
#include "common/ZPHLiveResizeNotifications.h"
#include "feeds/refresh/ZPHDeterminateProgressStatusItem.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "kit/ZPHManualClock.h"
#include "mainwindow/status/ZPHCloudProgressIndicator.h"
#include "mainwindow/status/ZPHDeterminateProgressStatusItemViewController.h"
#include "mainwindow/status/ZPHErrorStatusItemViewController.h"
#include "mainwindow/status/ZPHIndeterminateProgressStatusItemViewController.h"
#include "mainwindow/status/ZPHStatusViewController.h"
#include "mainwindow/status/ZPHStatusViewTextField.h"
#include "platform/ZPHNotificationCenter.h"
#include "themes/ZPHRegisterThemes.h"

#include <QtTest/QTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Item = std::shared_ptr<ZPHStatusItem>;

Item progressItem(const QString& text, const QString& identifier)
{
  return ZPHStatusItem::statusItemWithLocalizedDescription(text, identifier, ZPHStatusItemTypeIndeterminateProgress);
}

// A status area on a hand-moved clock, changing without slides.
class StatusAreaTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHRegisterThemes();
    area = std::make_unique<ZPHStatusViewController>(&clock);
    area->setSlideDuration(0);
  }

  // A handler that counts its runs.
  std::function<void()> counting(int& runs)
  {
    return [&runs] { ++runs; };
  }

  QList<QString> texts() const
  {
    QList<QString> result;
    for (const Item& item : area->orderedStatusItems()) result.append(item->localizedDescription());
    return result;
  }

  QString onScreen() const
  {
    const Item current = area->currentStatusItem();
    return current != nullptr ? current->localizedDescription() : QString();
  }

  ZPHManualClock clock;
  std::unique_ptr<ZPHStatusViewController> area;
};

TEST_F(StatusAreaTest, ItemsTakeTurnsInTheOrderTheyWereAdded)
{
  int shownA = 0;
  area->addStatusItem(progressItem("A", "a"), counting(shownA));
  area->addStatusItem(progressItem("B", "b"));
  area->addStatusItem(progressItem("C", "c"));

  // A slides in at once, B 2.0 s after A appeared, C 2.0 s after B.
  EXPECT_EQ(onScreen(), "A");
  EXPECT_EQ(shownA, 1);
  clock.advance(1999);
  EXPECT_EQ(onScreen(), "A");
  clock.advance(1);
  EXPECT_EQ(onScreen(), "B");
  clock.advance(2000);
  EXPECT_EQ(onScreen(), "C");
  EXPECT_EQ(area->pendingStepCount(), 0);

  // Then every 2.0 s: A, B, C, A.
  QStringList turns;
  for (int turn = 0; turn < 4; ++turn) {
    clock.advance(2000);
    turns << onScreen();
  }
  EXPECT_EQ(turns, QStringList({"A", "B", "C", "A"}));
  EXPECT_EQ(shownA, 1);  // the add handler runs on the first slide only
}

TEST_F(StatusAreaTest, TheItemOnScreenLeavesAtTheNextTickAndTheNextIndexComesBack)
{
  area->addStatusItem(progressItem("A", "a"));
  area->addStatusItem(progressItem("B", "b"));
  area->addStatusItem(progressItem("C", "c"));
  clock.advance(4000);
  ASSERT_EQ(texts(), QList<QString>({"C", "B", "A"}));

  int removed = 0;
  clock.advance(500);
  area->removeStatusItem(area->currentStatusItem(), counting(removed));
  EXPECT_EQ(onScreen(), "C");
  EXPECT_EQ(removed, 0);
  clock.advance(1500);  // the tick
  EXPECT_EQ(onScreen(), "B");
  EXPECT_EQ(texts(), QList<QString>({"B", "A"}));
  EXPECT_EQ(removed, 1);
}

TEST_F(StatusAreaTest, ANewItemWaitsUntilTheItemOnScreenHasBeenShownForTwoSeconds)
{
  area->addStatusItem(progressItem("A", "a"));
  clock.advance(500);
  int shownB = 0;
  area->addStatusItem(progressItem("B", "b"), counting(shownB));
  EXPECT_FALSE(area->isSwitchTimerRunning());  // no tick in between
  clock.advance(1499);
  EXPECT_EQ(onScreen(), "A");
  EXPECT_EQ(shownB, 0);
  clock.advance(1);
  EXPECT_EQ(onScreen(), "B");
  EXPECT_EQ(shownB, 1);
  EXPECT_TRUE(area->isSwitchTimerRunning());
}

TEST_F(StatusAreaTest, TheLastItemLeavesTwoSecondsAfterItAppeared)
{
  const Item item = progressItem("A", "a");
  area->addStatusItem(item);
  clock.advance(300);
  int removed = 0;
  area->removeStatusItem(item, counting(removed));
  clock.advance(1699);
  EXPECT_EQ(onScreen(), "A");
  EXPECT_EQ(removed, 0);
  clock.advance(1);
  EXPECT_EQ(area->currentStatusItem(), nullptr);
  EXPECT_TRUE(area->orderedStatusItems().isEmpty());
  EXPECT_EQ(area->currentStatusItemView(), nullptr);
  EXPECT_EQ(removed, 1);
  EXPECT_EQ(area->viewControllerForStatusItem(item.get()), nullptr);
}

TEST_F(StatusAreaTest, AnItemShownBeforeLeavesAtOnceAndTheTimerStopsWithOneItemLeft)
{
  const Item a = progressItem("A", "a");
  area->addStatusItem(a);
  area->addStatusItem(progressItem("B", "b"));
  clock.advance(2000);
  ASSERT_EQ(onScreen(), "B");
  QWidget* viewOfB = area->currentStatusItemView();

  int removed = 0;
  area->removeStatusItem(a, counting(removed));
  EXPECT_EQ(removed, 1);
  EXPECT_EQ(texts(), QList<QString>({"B"}));
  EXPECT_EQ(area->currentStatusItemView(), viewOfB);  // no slide

  clock.advance(2000);
  EXPECT_FALSE(area->isSwitchTimerRunning());
  area->addStatusItem(progressItem("C", "c"));
  EXPECT_EQ(onScreen(), "C");
  EXPECT_TRUE(area->isSwitchTimerRunning());
}

TEST_F(StatusAreaTest, AnItemWhoseIdentifierIsPresentIsDropped)
{
  const Item first = progressItem("Refreshing Sites…", "refresh");
  area->addStatusItem(first);
  int shown = 0;
  area->addStatusItem(progressItem("Refreshing Sites…", "refresh"), counting(shown));
  area->addStatusItem(first, counting(shown));  // the same item again
  clock.advance(10000);
  EXPECT_EQ(area->orderedStatusItems(), QList<Item>({first}));
  EXPECT_EQ(shown, 0);
}

TEST_F(StatusAreaTest, AnItemOnItsWayOutLeavesItsIdentifierFree)
{
  // A refresh ends while another item shares the area, and a new refresh
  // begins before the tick takes the old item away.
  area->addStatusItem(progressItem("No Internet Connection", "offline"));
  clock.advance(2000);
  const Item oldRefresh = progressItem("Refreshing Sites…", "refresh");
  area->addStatusItem(oldRefresh);
  ASSERT_EQ(area->currentStatusItem(), oldRefresh);

  int removed = 0;
  area->removeStatusItem(oldRefresh, counting(removed));
  const Item newRefresh = progressItem("Refreshing Sites…", "refresh");
  int shown = 0;
  area->addStatusItem(newRefresh, counting(shown));
  EXPECT_EQ(area->orderedStatusItems().size(), 3);

  clock.advance(2000);
  EXPECT_EQ(area->currentStatusItem(), newRefresh);
  EXPECT_EQ(shown, 1);
  // The old one went when the new one pushed it off the screen.
  EXPECT_EQ(removed, 1);
  EXPECT_FALSE(area->orderedStatusItems().contains(oldRefresh));
  for (int turn = 0; turn < 4; ++turn) {
    clock.advance(2000);
    EXPECT_NE(area->currentStatusItem(), oldRefresh);
  }
  EXPECT_EQ(texts().size(), 2);
}

TEST_F(StatusAreaTest, ARefreshRestartingWhileTheLastItemLeavesIsAnnouncedAgain)
{
  const Item oldRefresh = progressItem("Refreshing Sites…", "refresh");
  area->addStatusItem(oldRefresh);
  clock.advance(300);
  int removed = 0;
  area->removeStatusItem(oldRefresh, counting(removed));
  const Item newRefresh = progressItem("Refreshing Sites…", "refresh");
  area->addStatusItem(newRefresh);
  clock.advance(1700);
  EXPECT_EQ(removed, 1);
  EXPECT_EQ(area->currentStatusItem(), newRefresh);
  EXPECT_EQ(area->orderedStatusItems(), QList<Item>({newRefresh}));
}

TEST_F(StatusAreaTest, RemovingAnAbsentItemStillRunsItsHandlerAndEveryRequestGetsItsOwn)
{
  int absent = 0;
  area->removeStatusItem(progressItem("A", "a"), counting(absent));
  EXPECT_EQ(absent, 1);

  // Two requests for one item: both handlers run, once each.
  const Item item = progressItem("B", "b");
  area->addStatusItem(item);
  int first = 0;
  int second = 0;
  area->removeStatusItem(item, counting(first));
  area->removeStatusItem(item, counting(second));
  clock.advance(5000);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
  EXPECT_TRUE(area->orderedStatusItems().isEmpty());
}

TEST_F(StatusAreaTest, RemovingByIdentifierTakesThePresentItem)
{
  area->addStatusItem(ZPHStatusItem::statusItemWithLocalizedDescription(
      "No Internet Connection", "offline", ZPHError("test", 1, {{ZPHLocalizedDescriptionKey, "Connection Error"}})));
  area->removeAnyStatusItemWithIdentifier("elsewhere");
  EXPECT_EQ(texts().size(), 1);
  area->removeAnyStatusItemWithIdentifier("offline");
  clock.advance(2000);
  EXPECT_TRUE(area->orderedStatusItems().isEmpty());
  EXPECT_EQ(area->pendingStepCount(), 0);
}

TEST_F(StatusAreaTest, AViewDestroyedMidSlideEndsTheSlideAndTheAreaGoesOn)
{
  area->setSlideDuration(60'000);
  int shownA = 0;
  area->addStatusItem(progressItem("A", "a"), counting(shownA));
  area->addStatusItem(progressItem("B", "b"));
  ASSERT_TRUE(area->isAnimating());
  EXPECT_EQ(shownA, 0);
  EXPECT_EQ(area->pendingStepCount(), 2);

  delete area->view();
  EXPECT_EQ(area->view(), nullptr);
  EXPECT_FALSE(area->isAnimating());
  EXPECT_EQ(shownA, 1);
  EXPECT_EQ(onScreen(), "A");

  clock.advance(2000);
  EXPECT_EQ(onScreen(), "B");
  int removed = 0;
  area->removeStatusItem(area->currentStatusItem(), counting(removed));
  clock.advance(4000);
  EXPECT_EQ(removed, 1);
  EXPECT_EQ(area->pendingStepCount(), 0);
}

TEST_F(StatusAreaTest, QuittingWithStepsQueuedRunsEveryPendingRemovalHandlerOnce)
{
  const Item a = progressItem("A", "a");
  const Item b = progressItem("B", "b");
  int shownB = 0;
  int removedA = 0;
  int removedB = 0;
  int removedLater = 0;
  area->addStatusItem(a);
  area->addStatusItem(b, counting(shownB));  // waits 2.0 s
  area->removeStatusItem(a, counting(removedA));
  area->removeStatusItem(b, counting(removedB));
  area->removeStatusItem(b, counting(removedLater));
  EXPECT_EQ(area->pendingStepCount(), 4);

  area.reset();
  EXPECT_EQ(removedA, 1);
  EXPECT_EQ(removedB, 1);
  EXPECT_EQ(removedLater, 1);
  EXPECT_EQ(shownB, 0);
  clock.advance(10000);  // nothing left to run
  EXPECT_EQ(removedA + removedB + removedLater, 3);
  EXPECT_EQ(clock.pendingTimerCount(), 0);
}

TEST_F(StatusAreaTest, ASlideDuringALiveResizeIsNotDrawn)
{
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(area->view());
  window.show();
  area->setSlideDuration(60'000);

  ZPHNotificationCenter::defaultCenter().post(ZPHSourceListLiveResizeStartedNotification);
  EXPECT_FALSE(area->view()->isHidden());  // nothing slides yet
  area->addStatusItem(progressItem("A", "a"));
  EXPECT_TRUE(area->isAnimating());
  EXPECT_TRUE(area->view()->isHidden());
  ZPHNotificationCenter::defaultCenter().post(ZPHSourceListLiveResizeEndedNotification);
  EXPECT_FALSE(area->view()->isHidden());
}

TEST_F(StatusAreaTest, TheErrorButtonShowsTheErrorAsASheetAndTextsStayPlain)
{
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(area->view());
  window.resize(220, 40);
  window.show();

  const QString markup = QStringLiteral("<b>x</b><img src=x>");
  ZPHError error("test", 7,
                 {{ZPHLocalizedDescriptionKey, markup}, {ZPHLocalizedRecoverySuggestionKey, "<i>try</i> again"}});
  const Item withError = ZPHStatusItem::statusItemWithLocalizedDescription(markup, "error", error);
  const Item withoutError = ZPHStatusItem::statusItemWithLocalizedDescription("Quiet", "quiet", ZPHStatusItemTypeError);
  area->addStatusItem(withoutError);
  area->addStatusItem(withError);
  clock.advance(2000);

  auto* quiet = qobject_cast<ZPHErrorStatusItemViewController*>(area->viewControllerForStatusItem(withoutError.get()));
  auto* failing = qobject_cast<ZPHErrorStatusItemViewController*>(area->viewControllerForStatusItem(withError.get()));
  ASSERT_NE(quiet, nullptr);
  ASSERT_NE(failing, nullptr);
  EXPECT_FALSE(quiet->errorButton()->isEnabled());
  EXPECT_TRUE(failing->errorButton()->isEnabled());

  // The item's text is shown as it is.
  EXPECT_EQ(failing->textField()->text(), markup);
  EXPECT_EQ(failing->textField()->textFormat(), Qt::PlainText);

  QTest::mouseClick(failing->errorButton(), Qt::LeftButton);
  auto* sheet = window.findChild<QMessageBox*>();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
  EXPECT_EQ(sheet->text(), markup);
  EXPECT_EQ(sheet->informativeText(), "<i>try</i> again");
  for (QLabel* label : sheet->findChildren<QLabel*>()) EXPECT_EQ(label->textFormat(), Qt::PlainText);
  EXPECT_EQ(sheet->buttons().size(), 1);  // no recovery options: OK alone
  sheet->close();
}

TEST_F(StatusAreaTest, ProgressItemsShowTheirProgressAndRunTheirIndicatorOnScreen)
{
  auto progress = ZPHDeterminateProgressStatusItem::determinateProgressStatusItemWithLocalizedDescription(
      "Importing OPML…", "import");
  progress->setProgressValue(0.5);
  area->addStatusItem(progress);
  auto* bar =
      qobject_cast<ZPHDeterminateProgressStatusItemViewController*>(area->viewControllerForStatusItem(progress.get()));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->progressIndicator()->value(), 500);  // where the item is, not 0
  progress->setProgressValue(0.75);
  EXPECT_EQ(bar->progressIndicator()->value(), 750);

  const Item refresh = progressItem("Refreshing Sites…", "refresh");
  area->addStatusItem(refresh);
  clock.advance(2000);
  auto* dots =
      qobject_cast<ZPHIndeterminateProgressStatusItemViewController*>(area->viewControllerForStatusItem(refresh.get()));
  ASSERT_NE(dots, nullptr);
  EXPECT_TRUE(dots->progressIndicator()->isAnimating());
}

}  // namespace
