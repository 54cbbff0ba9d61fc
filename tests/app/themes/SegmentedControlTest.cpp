#include "themes/CBToolbarSegmentedControl.h"
#include "themes/ZPHCustomSegmentedControl.h"
#include "themes/ZPHFontSizeSegmentedCell.h"

#include <QtGui/QPainter>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

TEST(SegmentedControl, SegmentsAreLaidOutByTheirWidthsAndCentred)
{
  ZPHCustomSegmentedControl control;
  control.setSegmentCount(4);
  for (int segment = 0; segment < 4; ++segment) control.setWidth(50, segment);
  control.resize(220, 24);
  EXPECT_EQ(control.totalWidth(), 200);
  EXPECT_EQ(control.rectForSegment(0), QRectF(10, 0, 50, 24));
  EXPECT_EQ(control.rectForSegment(3), QRectF(160, 0, 50, 24));

  control.setWidth(40.5, 3);
  for (int segment = 0; segment < 3; ++segment) control.setWidth(40, segment);
  control.resize(160, 24);  // narrower than the total: no centring
  EXPECT_EQ(control.rectForSegment(3), QRectF(120, 0, 40.5, 24));

  // A width of 0 takes an equal share of the bounds.
  control.setWidth(0, 1);
  EXPECT_EQ(control.rectForSegment(1).width(), 40);
}

TEST(SegmentedControl, PointsFindTheirSegmentToolTipAndClick)
{
  ZPHCustomSegmentedControl control;
  control.setSegmentCount(2);
  control.setWidth(30, 0);
  control.setWidth(30, 1);
  control.resize(100, 20);  // segments from 20 to 80
  control.setToolTip("Smaller", 0);
  control.setToolTip("Bigger", 1);
  EXPECT_EQ(control.segmentForPoint(QPointF(25, 10)), 0);
  EXPECT_EQ(control.toolTipForPoint(QPointF(65, 10)), "Bigger");
  EXPECT_EQ(control.segmentForPoint(QPointF(5, 10)), -1);
  EXPECT_TRUE(control.toolTipForPoint(QPointF(5, 10)).isNull());
  control.setSegmentCount(3);  // tool tips of the segments that remain stay
  EXPECT_EQ(control.toolTipForSegment(1), "Bigger");

  QSignalSpy clicked(&control, &ZPHCustomSegmentedControl::segmentClicked);
  QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(65, 10));
  control.setEnabled(false, 0);
  QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(25, 10));
  QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(5, 10));
  ASSERT_EQ(clicked.count(), 1);
  EXPECT_EQ(clicked.first().at(0).toInt(), 1);

  // A segment is highlighted while pressed, and only over itself.
  QTest::mousePress(&control, Qt::LeftButton, {}, QPoint(65, 10));
  EXPECT_TRUE(control.isHighlightedForSegment(1));
  QTest::mouseRelease(&control, Qt::LeftButton, {}, QPoint(65, 10));
  EXPECT_FALSE(control.isHighlightedForSegment(1));
}

TEST(SegmentedControl, TheTextSizeCellRoundsOnlyTheOuterBottomCorners)
{
  const QRectF first(0, 0, 40, 22);
  const QRectF last(80, 0, 40, 22);
  const QPainterPath start = ZPHFontSizeSegmentedCell::outlinePath(0, 3, first);
  EXPECT_EQ(start.elementAt(0), QPointF(41.5, 21.5));
  EXPECT_TRUE(start.contains(QPointF(2, 2)) || start.boundingRect().contains(QPointF(0.5, 0.5)));
  // The top-left corner is square, the bottom-left one rounded.
  EXPECT_EQ(start.boundingRect().topLeft(), QPointF(0.5, 0.5));
  const QPainterPath fill = ZPHFontSizeSegmentedCell::fillPath(0, 3, first);
  EXPECT_TRUE(fill.contains(QPointF(1, 1)));
  EXPECT_FALSE(fill.contains(QPointF(1, 21)));
  const QPainterPath end = ZPHFontSizeSegmentedCell::fillPath(2, 3, last);
  EXPECT_TRUE(end.contains(QPointF(119, 1)));
  EXPECT_FALSE(end.contains(QPointF(119, 21)));
  EXPECT_EQ(ZPHFontSizeSegmentedCell::fillPath(1, 3, QRectF(40, 0, 40, 22)).boundingRect(), QRectF(40, 0, 41, 22));

  // The cell draws every segment without leaving anything on the painter.
  ZPHCustomSegmentedControl control;
  control.setCell(std::make_unique<ZPHFontSizeSegmentedCell>());
  control.setSegmentCount(3);
  control.resize(120, 22);
  control.setSelected(true, 1);
  QImage image(control.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  control.cell().drawWithFrame(control.rect(), painter, control);
  EXPECT_EQ(painter.opacity(), 1.0);
  painter.end();
  // The selected segment is darker than its neighbours.
  EXPECT_LT(image.pixelColor(60, 11).lightness(), image.pixelColor(20, 11).lightness());
}

QPixmap solid(int side)
{
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::blue);
  return pixmap;
}

TEST(ToolbarSegmentedControl, ASegmentDrawsItsSharpestRepresentationThatFits)
{
  CBToolbarSegmentedControl control;
  control.resize(40, 28);
  control.setSegmentCount(2);
  QIcon three;
  for (const int side : {16, 32, 64}) three.addPixmap(solid(side));
  control.setImage(three, 0);
  QIcon large(solid(64));
  large.setIsMask(true);
  control.setImage(large, 1);

  // 24 points is the limit: of 16, 32 and 64, the 16.
  EXPECT_EQ(control.zph_imageWithBestRepresentationForSegment(0).availableSizes(), QList<QSize>({QSize(16, 16)}));
  // Nothing fits: the image as set.
  EXPECT_EQ(control.zph_imageWithBestRepresentationForSegment(1).cacheKey(), large.cacheKey());
  EXPECT_TRUE(control.zph_imageWithBestRepresentationForSegment(3).isNull());
  EXPECT_EQ(control.focusPolicy(), Qt::NoFocus);
}

}  // namespace
