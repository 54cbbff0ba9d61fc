#include "kit/CBColorExtras.h"
#include "kit/CBDrawing.h"
#include "kit/CBPathExtras.h"
#include "kit/ZPHShadow.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <gtest/gtest.h>

namespace {

QImage whiteCanvas(int width, int height)
{
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  return image;
}

}  // namespace

TEST(DrawingHelpers, InterfaceColours)
{
  EXPECT_EQ(CBRGBColor(255, 0, 0), QColor(255, 0, 0));
  EXPECT_EQ(CBGray(0.5).alpha(), 255);
  // No control tint here: always the default tint's blue.
  cb_updateCoolBlueColor();
  EXPECT_EQ(cb_coolBlueColor(), QColor(82, 120, 197));
  const QColor shadowed = cb_interfaceColor(-0.3);
  EXPECT_NEAR(shadowed.redF(), 82 / 255.0 * 0.7, 0.002);
  EXPECT_NEAR(shadowed.blueF(), 197 / 255.0 * 0.7, 0.002);
  const QColor light = cb_lightInterfaceColor();
  EXPECT_NEAR(light.redF(), 82 / 255.0 + (1 - 82 / 255.0) * 0.85, 0.002);
  EXPECT_EQ(CBInterfaceColor(0), cb_coolBlueColor());
}

TEST(DrawingHelpers, RoundedRectanglesByCorner)
{
  const QRectF rect(0, 0, 100, 20);
  // Zero height: nothing at all.
  EXPECT_TRUE(bezierPathWithRoundedRect(QRectF(0, 0, 100, 0), 4).isEmpty());

  struct Case {
    const char* label;
    unsigned corners;
    bool topLeftRounded, topRightRounded, bottomLeftRounded, bottomRightRounded;
  };
  const Case cases[] = {
      {"none", 0, false, false, false, false},
      {"all", ZPHRectCornerAll, true, true, true, true},
      {"top left", ZPHRectCornerTopLeft, true, false, false, false},
      {"bottom right", ZPHRectCornerBottomRight, false, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    // A radius beyond half the height is held to it: a capsule for all four.
    const QPainterPath path = zph_bezierPathWithRoundedRect(rect, c.corners, 50);
    EXPECT_EQ(path.boundingRect(), rect);
    EXPECT_EQ(path.contains(QPointF(1, 1)), !c.topLeftRounded);
    EXPECT_EQ(path.contains(QPointF(99, 1)), !c.topRightRounded);
    EXPECT_EQ(path.contains(QPointF(1, 19)), !c.bottomLeftRounded);
    EXPECT_EQ(path.contains(QPointF(99, 19)), !c.bottomRightRounded);
    // The radius is 10, not 50: a point 10 in from the end is inside.
    EXPECT_TRUE(path.contains(QPointF(10, 1)));
  }
}

TEST(DrawingHelpers, TrianglesPointByOrientation)
{
  const QRectF rect(0, 0, 10, 10);
  // 0: base along the minimum-y edge, apex at the middle of the maximum-y edge.
  const QPainterPath down = bezierPathWithTriangleInRect(rect, 0);
  EXPECT_TRUE(down.contains(QPointF(1, 0.5)));
  EXPECT_FALSE(down.contains(QPointF(1, 9.5)));
  const QPainterPath up = bezierPathWithTriangleInRect(rect, 1);
  EXPECT_TRUE(up.contains(QPointF(1, 9.5)));
  EXPECT_FALSE(up.contains(QPointF(1, 0.5)));
  const QPainterPath left = bezierPathWithTriangleInRect(rect, 2);
  EXPECT_TRUE(left.contains(QPointF(9.5, 1)));
  const QPainterPath right = bezierPathWithTriangleInRect(rect, 7);
  EXPECT_TRUE(right.contains(QPointF(0.5, 1)));
  EXPECT_FALSE(right.contains(QPointF(9.5, 1)));
}

TEST(DrawingHelpers, GradientAnglesAreMeasuredUpward)
{
  const QRectF rect(0, 0, 100, 40);
  const QLinearGradient down = ZPHGradientAtAngle(rect, -90, {{0, Qt::black}, {1, Qt::white}});
  EXPECT_EQ(down.start(), QPointF(50, 0));
  EXPECT_EQ(down.finalStop(), QPointF(50, 40));
  const QLinearGradient across = ZPHGradientAtAngle(rect, 0, {{0, Qt::black}, {1, Qt::white}});
  EXPECT_EQ(across.start(), QPointF(0, 20));
  EXPECT_EQ(across.finalStop(), QPointF(100, 20));

  QImage image = whiteCanvas(10, 10);
  {
    QPainter painter(&image);
    cb_drawRect(painter, QRectF(0, 0, 10, 10), Qt::black, Qt::red);
  }
  EXPECT_EQ(image.pixelColor(5, 0), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(5, 9), QColor(Qt::red));
}

TEST(DrawingHelpers, ShadowsFallWhereTheyAreSent)
{
  QImage image = whiteCanvas(40, 40);
  {
    QPainter painter(&image);
    // A sharp shadow 10 points below a square that is not painted itself.
    ZPHShadow(0, Qt::black, QPointF(0, 10)).drawForPath(painter, [] {
      QPainterPath square;
      square.addRect(5, 5, 10, 10);
      return square;
    }());
  }
  EXPECT_EQ(image.pixelColor(10, 20), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(10, 8), QColor(Qt::white));

  // An inner shadow darkens just inside the edges and nothing outside.
  QImage inner = whiteCanvas(40, 40);
  {
    QPainter painter(&inner);
    QPainterPath box;
    box.addRect(10, 10, 20, 20);
    zph_drawInnerShadow(painter, box, ZPHShadow(4, Qt::black));
  }
  EXPECT_LT(inner.pixelColor(10, 20).lightness(), inner.pixelColor(20, 20).lightness());
  EXPECT_EQ(inner.pixelColor(5, 20), QColor(Qt::white));
  EXPECT_EQ(inner.pixelColor(20, 20), QColor(Qt::white));

  // A shadow without colour draws nothing.
  QImage none = whiteCanvas(10, 10);
  {
    QPainter painter(&none);
    QPainterPath all;
    all.addRect(0, 0, 10, 10);
    ZPHShadow(2, QColor()).drawForPath(painter, all);
  }
  EXPECT_EQ(none.pixelColor(5, 5), QColor(Qt::white));
}
