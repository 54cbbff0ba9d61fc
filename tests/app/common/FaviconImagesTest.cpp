#include "common/FRNHCGUtils.h"
#include "feeds/images/CBFaviconController.h"
#include "kit/ZPHColorFilter.h"
#include "kit/ZPHCountedColor.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHNotificationCenter.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QBuffer>
#include <QtCore/QFile>
#include <QtGui/QPainter>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A 32-pixel icon: a black square on white.
QByteArray iconPNG()
{
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.fillRect(8, 8, 16, 16, Qt::black);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

class FaviconImagesTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(server.start());
    server.route("/icon.png", [](const ZPHTestHTTPRequest&) {
      return ZPHTestHTTPResponse{200, {{"Content-Type", "image/png"}}, iconPNG(), 0};
    });
    controller = std::make_unique<CBFaviconController>(delegate.pathToCacheFolder());
    FRNHCGUtils::setFaviconController(controller.get());
    FRNHCGUtils::clearCache();
    downloadedObserver = ZPHNotificationCenter::defaultCenter().addObserver(
        CBFaviconDownloadedNotification, QVariant(), [this](const ZPHNotification&) { ++downloads; });
  }
  void TearDown() override
  {
    ASSERT_TRUE(ZPHTestWaitUntil(
        [] { return !CBOperationController::sharedDownloadOperationController()->hasDownloadOperationsScheduled(); }));
    ZPHTestSpinEventLoop(20);
    FRNHCGUtils::clearCache();
    FRNHCGUtils::setFaviconController(nullptr);
  }

  ZPHTestApplicationDelegate delegate;
  ZPHTestHTTPServer server;
  std::unique_ptr<CBFaviconController> controller;
  ZPHObserverToken downloadedObserver;
  int downloads = 0;
};

}  // namespace

TEST_F(FaviconImagesTest, AFeedIsCachedUnderItsFaviconURLOnceTheControllerHasTheIcon)
{
  const QUrl home = server.url("/blog/");
  const QUrl icon = server.url("/icon.png");

  // Nothing downloaded yet: the default icon stands in and is not kept.
  const QImage standIn = FRNHCGUtils::imageForFeedWithHomePageURL(home, icon, true);
  EXPECT_EQ(standIn.cacheKey(), FRNHCGUtils::defaultFaviconImageWithTemplating(false).cacheKey());
  EXPECT_FALSE(FRNHCGUtils::hasCachedImageForFeed(home, icon));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return downloads > 0; }));

  const QImage image = FRNHCGUtils::imageForFeedWithHomePageURL(home, icon, true);
  ASSERT_FALSE(image.isNull());
  EXPECT_NE(image.cacheKey(), standIn.cacheKey());
  EXPECT_EQ(image.deviceIndependentSize(), QSizeF(16, 16));
  EXPECT_TRUE(FRNHCGUtils::hasCachedImageForFeed(home, icon));
  // Another home page with the same favicon URL gets the cached image.
  EXPECT_EQ(FRNHCGUtils::imageForFeedWithHomePageURL(server.url("/other/"), icon, false).cacheKey(), image.cacheKey());
  EXPECT_FALSE(FRNHCGUtils::imageRefForFeedHomePageURL(home, icon, false).isNull());

  // After clearing, the controller is asked again.
  FRNHCGUtils::clearCache();
  EXPECT_FALSE(FRNHCGUtils::hasCachedImageForFeed(home, icon));
  const QImage again = FRNHCGUtils::imageForFeedWithHomePageURL(home, icon, false);
  ASSERT_FALSE(again.isNull());
  EXPECT_NE(again.cacheKey(), image.cacheKey());
}

TEST_F(FaviconImagesTest, TemplatesAreAlphaMasksOfTheDarkParts)
{
  const QUrl home = server.url("/");
  const QUrl icon = server.url("/icon.png");
  EXPECT_EQ(FRNHCGUtils::templatedImageForFeed(home, icon, true).format(), QImage::Format_Alpha8);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return downloads > 0; }));

  const QImage mask = FRNHCGUtils::templatedImageForFeed(home, icon, false);
  ASSERT_FALSE(mask.isNull());
  EXPECT_EQ(mask.format(), QImage::Format_Alpha8);
  EXPECT_EQ(mask.deviceIndependentSize(), QSizeF(16, 16));
  // The black square is opaque, the white ground clear.
  const qreal scale = mask.devicePixelRatio();
  EXPECT_GT(mask.pixelColor(QPoint(8 * scale, 8 * scale)).alpha(), 240);
  EXPECT_LT(mask.pixelColor(QPoint(1, 1)).alpha(), 15);
}

TEST_F(FaviconImagesTest, AFeedWithoutAddressesGetsNothingAndKeepsNothing)
{
  EXPECT_TRUE(FRNHCGUtils::imageForFeedWithHomePageURL(QUrl(), QUrl(), false).isNull());
  EXPECT_TRUE(FRNHCGUtils::templatedImageForFeed(QUrl(), QUrl(), false).isNull());
  EXPECT_TRUE(FRNHCGUtils::imageRefForFeedHomePageURL(QUrl(), QUrl(), false).isNull());
  EXPECT_FALSE(FRNHCGUtils::imageRefForFeedHomePageURL(QUrl(), QUrl(), true).isNull());
  EXPECT_FALSE(FRNHCGUtils::hasCachedImageForFeed(QUrl(), QUrl()));
}

TEST(FaviconImageHelpers, FiltersMasksAndSmallValues)
{
  // The filter keeps the input colour and takes alpha from how dark a pixel is.
  QImage grey(2, 1, QImage::Format_ARGB32);
  grey.setPixel(0, 0, qRgba(0, 0, 0, 255));
  grey.setPixel(1, 0, qRgba(255, 255, 255, 255));
  ZPHColorFilter filter;
  filter.setInputImage(grey);
  filter.setInputColor(Qt::red);
  const QImage filtered = filter.outputImage();
  EXPECT_EQ(filtered.pixelColor(0, 0), QColor(Qt::red));
  EXPECT_EQ(filtered.pixelColor(1, 0).alpha(), 0);
  EXPECT_TRUE(ZPHColorFilter().outputImage().isNull());

  EXPECT_EQ(FRNHCGUtils::defaultFaviconImageWithTemplating(true).format(), QImage::Format_Alpha8);
  EXPECT_FALSE(FRNHCGUtils::defaultFaviconImageWithTemplating(false).isNull());
  const QImage folder = FRNHCGUtils::templatedFolderImageForScaleFactor(2.0);
  EXPECT_EQ(folder.format(), QImage::Format_Alpha8);
  EXPECT_EQ(FRNHCGUtils::templatedFolderImageForScaleFactor(2.0).cacheKey(), folder.cacheKey());

  EXPECT_TRUE(FRNHCGUtils::colorIsBlackOrWhite(QColor::fromRgbF(0.95, 0.93, 0.92)));
  EXPECT_TRUE(FRNHCGUtils::colorIsBlackOrWhite(QColor::fromRgbF(0.05, 0.08, 0.0)));
  EXPECT_FALSE(FRNHCGUtils::colorIsBlackOrWhite(QColor::fromRgbF(0.95, 0.5, 0.95)));

  EXPECT_LT(ZPHCountedColor(Qt::red, 5).compare(ZPHCountedColor(Qt::blue, 2)), 0);
  EXPECT_GT(ZPHCountedColor(Qt::red, 2).compare(ZPHCountedColor(Qt::blue, 5)), 0);
  EXPECT_EQ(ZPHCountedColor(Qt::red, 2).compare(ZPHCountedColor(Qt::blue, 2)), 0);

  ZPHTestTempDir dir;
  const QString pdf = dir.filePath("icon.pdf");
  ASSERT_TRUE(FRNHCGUtils::renderInPDFFile(FRNHCGUtils::defaultFaviconImageWithTemplating(false), pdf));
  QFile file(pdf);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  EXPECT_TRUE(bytes.startsWith("%PDF"));
  EXPECT_TRUE(bytes.contains("/MediaBox [0 0 16.000000 16.000000]"));
}
