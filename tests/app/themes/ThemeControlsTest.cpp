#include "kit/FRNHStretchableImage.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "platform/ZPHNotificationCenter.h"
#include "support/ZPHTestSupport.h"
#include "themes/ZPHCustomSegmentedCell.h"
#include "themes/ZPHCustomSegmentedControl.h"
#include "themes/ZPHEmptyContentsViewButton.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTexturedBox.h"
#include "themes/ZPHTexturedBoxOverlayView.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>
#include <QtWidgets/QHBoxLayout>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records each segment it is asked to draw, and spoils the painter's state
// to show that the loop restores it.
class RecordingCell : public ZPHCustomSegmentedCell {
public:
  std::vector<std::pair<int, QRectF>> drawn;
  std::vector<QColor> penOnEntry;
  int removeSegmentsAfter = -1;

  void drawSegment(int segment, const QRectF& frame, QPainter& painter, ZPHCustomSegmentedControl& controlView) override
  {
    drawn.emplace_back(segment, frame);
    penOnEntry.push_back(painter.pen().color());
    painter.setPen(Qt::magenta);
    if (segment == removeSegmentsAfter)
      controlView.setSegmentCount(segment + 1);
  }
};

void draw(ZPHCustomSegmentedControl& control)
{
  QImage image(control.size(), QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  painter.setPen(Qt::black);
  control.cell().drawWithFrame(control.rect(), painter, control);
}

void switchTo(const QString& identifier)
{
  ZPHTheme::switchToThemeWithIdentifier(identifier);
  ASSERT_EQ(ZPHTheme::currenThemeIdentifier(), identifier);
}

}  // namespace

TEST(ThemeControls, TheSegmentLoopDrawsEachSegmentInItsRectangle)
{
  ZPHCustomSegmentedControl control;
  control.resize(90, 20);
  auto owned = std::make_unique<RecordingCell>();
  RecordingCell* cell = owned.get();
  control.setCell(std::move(owned));

  draw(control);
  EXPECT_TRUE(cell->drawn.empty());  // no segments: nothing drawn

  control.setSegmentCount(3);
  draw(control);
  ASSERT_EQ(cell->drawn.size(), 3u);
  for (int segment = 0; segment < 3; ++segment) {
    EXPECT_EQ(cell->drawn[segment].first, segment);
    EXPECT_EQ(cell->drawn[segment].second, QRectF(segment * 30, 0, 30, 20));
    EXPECT_EQ(cell->penOnEntry[segment], QColor(Qt::black));
  }

  // The count is read again after each segment.
  cell->drawn.clear();
  control.setSegmentCount(4);
  cell->removeSegmentsAfter = 1;
  draw(control);
  EXPECT_EQ(cell->drawn.size(), 2u);
  EXPECT_TRUE(control.rectForSegment(5).isEmpty());
}

TEST(ThemeControls, TheEmptyContentsButtonDrawsTheCurrentThemesBezel)
{
  ZPHRegisterThemes();
  switchTo(ZPHLightThemeIdentifier);
  QWidget window;
  auto* layout = new QHBoxLayout(&window);
  auto* first = new ZPHEmptyContentsViewButton(&window);
  auto* second = new ZPHEmptyContentsViewButton(&window);
  first->setText(QStringLiteral("Add Sites…"));
  second->setText(QStringLiteral("Import…"));
  layout->addWidget(first);
  layout->addWidget(second);
  window.show();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return first->isVisible(); }));

  const QFontMetrics metrics(first->font());
  EXPECT_EQ(first->sizeHint(), QSize(metrics.horizontalAdvance(first->text()) + 36, metrics.height() + 10));

  // A window that does not track its active look always draws active.
  ASSERT_NE(first->bezelImage(), nullptr);
  EXPECT_EQ(first->bezelImage()->name(), "emptyButton_lightTheme");
  EXPECT_EQ(first->bezelImage()->stretchableCapInsets(), (FRNHStretchableImage::CapInsets{4, 5, 4, 5}));
  first->setDown(true);
  EXPECT_EQ(first->bezelImage()->name(), "emptyButtonActive_lightTheme");
  first->setDown(false);

  // Both buttons draw with the new theme's images after a switch.
  switchTo(ZPHDarkThemeIdentifier);
  EXPECT_EQ(first->bezelImage()->name(), "emptyButton_darkTheme");
  EXPECT_EQ(second->bezelImage()->name(), "emptyButton_darkTheme");

  // A window that draws inactive gets the inactive bezel, and the buttons
  // repaint when it says so.
  window.setProperty("zph_windowShouldDrawActive", false);
  EXPECT_EQ(first->bezelImage()->name(), "emptyButtonInactive_darkTheme");
  ZPHNotificationCenter::defaultCenter().post(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification,
                                              QVariant::fromValue<QObject*>(&window));
  ZPHTestSpinEventLoop(30);
  switchTo(ZPHLightThemeIdentifier);
}

TEST(ThemeControls, ASwitchWhileNoButtonLivesStillChangesTheBezels)
{
  ZPHRegisterThemes();
  switchTo(ZPHLightThemeIdentifier);
  {
    const ZPHEmptyContentsViewButton early;
    ASSERT_NE(early.bezelImage(), nullptr);
    EXPECT_EQ(early.bezelImage()->name(), "emptyButton_lightTheme");
  }
  switchTo(ZPHDarkThemeIdentifier);
  const ZPHEmptyContentsViewButton later;
  ASSERT_NE(later.bezelImage(), nullptr);
  EXPECT_EQ(later.bezelImage()->name(), "emptyButton_darkTheme");
  switchTo(ZPHLightThemeIdentifier);
}

TEST(ThemeControls, TheTexturedBoxKeepsItsOverlayInFront)
{
  ZPHTexturedBox box;
  box.resize(200, 100);
  auto* content = new QWidget(&box);
  Q_UNUSED(content);
  box.show();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return box.isVisible(); }));
  EXPECT_FALSE(box.isShowingLinen());
  EXPECT_EQ(box.overlayView()->geometry(), box.rect());
  EXPECT_EQ(box.overlayView()->color(), QColor(0, 0, 0));

  box.showLinenWithStyles();
  EXPECT_TRUE(box.isShowingLinen());
  EXPECT_FALSE(box.overlayView()->isHidden());
  EXPECT_EQ(box.children().constLast(), box.overlayView());  // in front

  box.resize(300, 150);
  ZPHTestSpinEventLoop(20);
  EXPECT_EQ(box.overlayView()->geometry(), QRect(0, 0, 300, 150));
  box.showLinen();
  EXPECT_TRUE(box.overlayView()->isHidden());
  box.showWhite();
  EXPECT_FALSE(box.isShowingLinen());
}
