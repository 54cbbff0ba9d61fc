// The font selector's four-segment control: which dividers are full (the
// hard ones and those around the selected segment) and which are faint.

#include "themes/ZPHFontSizeSegmentedControl.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* name;
  QList<int> hard;
  int selected;  // -1: none
  QList<bool> full;
};

TEST(FontSizeSegmentedControl, DividersAreFullAroundTheSelectionAndAtHardPlaces)
{
  const QList<Case> cases = {
      {"nothing selected, no hard dividers", {}, -1, {false, false, false, false}},
      {"the selector's hard divider", {1}, -1, {false, true, false, false}},
      {"a selected segment: both its sides", {}, 2, {false, true, true, false}},
      {"the first selected", {}, 0, {true, false, false, false}},
      {"hard and selected together", {1}, 3, {false, true, true, true}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ZPHFontSizeSegmentedControl control;
    control.resize(220, 26);
    control.setSegmentCount(4);
    control.setHardDividers(test.hard);
    if (test.selected >= 0)
      control.setSelected(true, test.selected);
    const QList<ZPHFontSizeSegmentedControl::Divider> dividers = control.dividers();
    ASSERT_EQ(dividers.size(), 4);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(dividers[i].full, test.full[i]) << "segment " << i;
      const QRectF rect = control.rectForSegment(i);
      // Half a point right of the rounded right edge.
      EXPECT_DOUBLE_EQ(dividers[i].line.x1(), std::round(rect.right()) + 0.5);
      // A faint one stops 5 points short of the top and the bottom.
      EXPECT_DOUBLE_EQ(std::abs(dividers[i].line.dy()), dividers[i].full ? 26.0 : 16.0);
    }
  }
}

TEST(FontSizeSegmentedControl, WithoutSegmentsOnlyTheBaseDraws)
{
  ZPHFontSizeSegmentedControl control;
  control.resize(100, 26);
  EXPECT_TRUE(control.dividers().isEmpty());
  QImage image(100, 26, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  control.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  // No divider was stroked.
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << x << "," << y;
}

}  // namespace
