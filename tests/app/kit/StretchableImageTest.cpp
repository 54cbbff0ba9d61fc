#include "kit/FRNHStretchableImage.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <gtest/gtest.h>

namespace {

using Piece = FRNHStretchableImage::Piece;

QImage solid(int width, int height, const QColor& color = Qt::red)
{
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(color);
  return image;
}

bool hasMiddles(const FRNHStretchableImage& image)
{
  return !image.topEdgeImage().isNull() || !image.bottomEdgeImage().isNull() || !image.leftEdgeImage().isNull() ||
         !image.rightEdgeImage().isNull() || !image.centerImage().isNull();
}

}  // namespace

TEST(StretchableImage, DefaultInsetsLeaveAMiddleOfOnePointOrNone)
{
  const FRNHStretchableImage odd(solid(21, 31));
  EXPECT_EQ(odd.stretchableCapInsets(), (FRNHStretchableImage::CapInsets{15, 10, 15, 10}));
  EXPECT_EQ(odd.centerImage().size(), QSize(1, 1));
  EXPECT_EQ(odd.topEdgeImage().size(), QSize(1, 15));
  EXPECT_EQ(odd.piece(Piece::Center, 2).size(), QSize(2, 2));
  EXPECT_EQ(odd.piece(Piece::Center, 2).devicePixelRatio(), 2.0);

  const FRNHStretchableImage three(solid(3, 3));
  EXPECT_EQ(three.stretchableCapInsets(), (FRNHStretchableImage::CapInsets{1, 1, 1, 1}));
  EXPECT_FALSE(three.centerImage().isNull());

  // Even sides: only the four corners remain.
  const FRNHStretchableImage even(solid(20, 30));
  EXPECT_FALSE(hasMiddles(even));
  EXPECT_EQ(even.topLeftCornerImage().size(), QSize(10, 15));
  EXPECT_EQ(even.bottomRightCornerImage().size(), QSize(10, 15));

  // Sizes are points: an image at twice the density has half its pixel size.
  QImage dense = solid(42, 62);
  dense.setDevicePixelRatio(2);
  const FRNHStretchableImage retina(dense);
  EXPECT_EQ(retina.size(), QSizeF(21, 31));
  EXPECT_EQ(retina.stretchableCapInsets(), (FRNHStretchableImage::CapInsets{15, 10, 15, 10}));
}

TEST(StretchableImage, InsetsWithoutAMiddleWidthDropTheMiddleColumn)
{
  FRNHStretchableImage image(solid(21, 31));
  image.setStretchableCapInsets({5, 10, 5, 11});
  EXPECT_TRUE(image.topEdgeImage().isNull());
  EXPECT_TRUE(image.centerImage().isNull());
  EXPECT_TRUE(image.bottomEdgeImage().isNull());
  EXPECT_EQ(image.leftEdgeImage().size(), QSize(10, 21));
  EXPECT_EQ(image.rightEdgeImage().size(), QSize(11, 21));
}

TEST(StretchableImage, PiecesComeFromTheirPartsOfTheImage)
{
  // Top half red, bottom half blue; the corners keep their colours when the
  // image is stretched.
  QImage source = solid(11, 11, Qt::red);
  {
    QPainter painter(&source);
    painter.fillRect(0, 6, 11, 5, Qt::blue);
  }
  const FRNHStretchableImage image(source);
  EXPECT_EQ(image.topLeftCornerImage().pixelColor(0, 0), QColor(Qt::red));
  EXPECT_EQ(image.bottomLeftCornerImage().pixelColor(0, 0), QColor(Qt::blue));

  QImage canvas = solid(100, 60, Qt::transparent);
  {
    QPainter painter(&canvas);
    image.drawInRect(painter, QRectF(0, 0, 100, 60));
  }
  EXPECT_EQ(canvas.pixelColor(1, 1), QColor(Qt::red));
  EXPECT_EQ(canvas.pixelColor(98, 58), QColor(Qt::blue));
  EXPECT_EQ(canvas.pixelColor(50, 2), QColor(Qt::red));
}

TEST(StretchableImage, DrawsAtTheOpacityItIsGiven)
{
  const FRNHStretchableImage image(solid(3, 3, Qt::black));
  QImage canvas = solid(30, 30, Qt::transparent);
  {
    QPainter painter(&canvas);
    image.drawInRect(painter, QRectF(0, 0, 30, 30), QPainter::CompositionMode_SourceOver, 0.5);
    EXPECT_EQ(painter.opacity(), 1.0);  // the painter is left as it was
  }
  for (const QPoint& point : {QPoint(0, 0), QPoint(15, 0), QPoint(15, 15), QPoint(29, 29)})
    EXPECT_NEAR(canvas.pixelColor(point).alphaF(), 0.5, 0.01) << point.x() << "," << point.y();
}

TEST(StretchableImage, NamedImagesComeFromTheResources)
{
  const auto image = FRNHStretchableImage::imageNamed("emptyButton_lightTheme");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->name(), "emptyButton_lightTheme");
  EXPECT_EQ(image->size(), QSizeF(12, 24));
  EXPECT_EQ(FRNHStretchableImage::imageNamed("noSuchImage"), nullptr);
  EXPECT_EQ(FRNHStretchableImage::imageNamed("../images/emptyButton_lightTheme"), nullptr);
}
