#include "kit/ZPHSplitViewAutosave.h"
#include "kit/ZPHWindowAutosave.h"
#include "platform/ZPHUserDefaults.h"
#include "support/ZPHTestSupport.h"

#include <QtTest/QTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QSplitter>

#include <gtest/gtest.h>

TEST(WindowAutosave, AFrameComesBackOnAScreenThatExists)
{
  // A laptop's screen with a panel at its top, and a larger one to its right.
  const QRect laptop(0, 30, 1440, 870);
  const QRect monitor(1440, 0, 2560, 1440);
  const QList<QRect> both{laptop, monitor};
  const QList<QRect> laptopOnly{laptop};
  const struct {
    const char* what;
    QRect frame;
    QList<QRect> screens;
    QSize minimum;
    QRect expected;
  } cases[] = {
      {"inside a screen: as it was", QRect(100, 100, 1100, 700), both, {}, QRect(100, 100, 1100, 700)},
      {"on the second screen: as it was", QRect(2000, 200, 1400, 900), both, {}, QRect(2000, 200, 1400, 900)},
      {"the second screen gone: onto the first, inside it",
       QRect(2000, 200, 1400, 900),
       laptopOnly,
       {},
       QRect(40, 30, 1400, 870)},
      {"far away: onto the primary screen", QRect(-9000, 9000, 800, 600), both, {}, QRect(0, 300, 800, 600)},
      {"across both: on the one it overlaps most", QRect(1300, 100, 800, 600), both, {}, QRect(1440, 100, 800, 600)},
      {"under the panel: moved down", QRect(100, 0, 800, 600), laptopOnly, {}, QRect(100, 30, 800, 600)},
      {"larger than the screen: shrunk to it", QRect(-50, -50, 3000, 2000), laptopOnly, {}, laptop},
      {"but not below its minimum", QRect(0, 30, 3000, 2000), laptopOnly, QSize(1600, 400), QRect(0, 30, 1600, 870)},
      {"off the right edge: pulled in", QRect(1000, 100, 1100, 700), laptopOnly, {}, QRect(340, 100, 1100, 700)},
      {"no screens: as it was", QRect(5000, 5000, 10, 10), {}, {}, QRect(5000, 5000, 10, 10)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ZPHWindowAutosave::frameOnScreens(c.frame, c.screens, c.minimum), c.expected);
  }
}

TEST(WindowAutosave, WithNothingStoredAWindowKeepsItsSizeWhereTheScreenHasRoomForItAndItsTitleBar)
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  defaults.removeObject("test.frame");
  defaults.removeObject("test.maximized");
  const QRect screen = ZPHWindowAutosave::availableScreenAreas().value(0);
  ASSERT_TRUE(screen.isValid());
  const QSize room = screen.size() - QSize(0, ZPHWindowAutosave::TitleBarAllowance);
  for (const QSize& own : {QSize(500, 400), room, room + QSize(300, 1), room + QSize(1, 200)}) {
    QWidget window;
    window.resize(own);
    ZPHWindowAutosave autosave(&window, "test.frame", "test.maximized");
    EXPECT_FALSE(autosave.restore());
    EXPECT_EQ(window.size(), own.boundedTo(room)) << own.width() << "x" << own.height();
    // In the middle of the screen, title bar included, never above or left of it.
    const QSize whole = window.size() + QSize(0, ZPHWindowAutosave::TitleBarAllowance);
    EXPECT_EQ(window.pos(), QPoint(screen.left() + (screen.width() - whole.width()) / 2,
                                   screen.top() + (screen.height() - whole.height()) / 2));
    EXPECT_FALSE(window.isMaximized());
  }
}

TEST(WindowAutosave, AWindowNeverShownLeavesNothingAndAMovedDividerIsKept)
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  for (const char* key : {"test.frame", "test.maximized", "test.split"}) defaults.removeObject(key);
  {
    QWidget window;
    window.resize(500, 400);
    ZPHWindowAutosave autosave(&window, "test.frame", "test.maximized");
    EXPECT_FALSE(autosave.restore());
  }
  EXPECT_FALSE(defaults.hasStoredValue("test.frame"));
  EXPECT_FALSE(defaults.hasStoredValue("test.maximized"));

  // Only the user's moves of the divider count, not the sizes a resize
  // hands out.
  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->addWidget(new QLabel("left"));
  splitter->addWidget(new QLabel("right"));
  splitter->resize(600, 300);
  splitter->show();
  auto* autosave = new ZPHSplitViewAutosave(splitter, "test.split");
  EXPECT_FALSE(autosave->restore());
  splitter->resize(700, 300);
  splitter->setSizes({250, 450});
  ZPHTestSpinEventLoop(2 * ZPHSplitViewAutosave::SaveDelay);
  EXPECT_FALSE(defaults.hasStoredValue("test.split"));
  // The user drags the divider 60 to the right.
  QSplitterHandle* handle = splitter->handle(1);
  ASSERT_NE(handle, nullptr);
  const QPoint grip(handle->width() / 2, handle->height() / 2);
  QTest::mousePress(handle, Qt::LeftButton, {}, grip);
  QTest::mouseMove(handle, grip + QPoint(30, 0));
  QTest::mouseMove(handle, grip + QPoint(60, 0));
  QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(60, 0));
  const int dragged = splitter->sizes().value(0);
  ASSERT_GT(dragged, 280);
  delete splitter;  // what the drag left is stored as the split view goes
  EXPECT_EQ(defaults.integerForKey("test.split"), dragged);

  // And comes back in a new one, through the owner's limits.
  QSplitter again(Qt::Horizontal);
  again.addWidget(new QLabel("left"));
  again.addWidget(new QLabel("right"));
  again.setStretchFactor(0, 0);
  again.setStretchFactor(1, 1);
  again.resize(700, 300);
  EXPECT_TRUE(
      (new ZPHSplitViewAutosave(&again, "test.split"))->restore([](int proposed) { return std::min(proposed, 280); }));
  again.show();
  EXPECT_EQ(again.sizes().value(0), 280);
  for (const char* key : {"test.frame", "test.maximized", "test.split"}) defaults.removeObject(key);
}
