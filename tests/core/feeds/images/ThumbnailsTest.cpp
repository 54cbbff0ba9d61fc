#include "feeds/images/CBImageDecoding.h"
#include "feeds/images/CBImageFolderCache.h"
#include "feeds/images/CBThumbnailController.h"
#include "fixtures/images/ZPHTestImages.h"
#include "foundation/CBData.h"
#include "foundation/CBFiles.h"
#include "foundation/CBMimeTypes.h"
#include "platform/CBOperation.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>

#include <gtest/gtest.h>

using namespace ZPHTestImages;

namespace {

ZPHTestHTTPResponse imageResponse(const QByteArray& body, const QByteArray& type = "image/png", int status = 200)
{
  return ZPHTestHTTPResponse{status, {{"Content-Type", type}}, body, 0};
}

bool noThumbnailDownloadsRunning()
{
  return !CBOperationController::sharedDownloadOperationController()->hasOperationsScheduledOfType(
      CBThumbnailController::DownloadOperationType);
}

}  // namespace

TEST(ImageDecodingTest, BoundedDecodesKeepProportionsAndNeverEnlarge)
{
  struct Case {
    const char* what;
    QByteArray data;
    int maximum;
    QSize expected;  // invalid: nothing decodes
  };
  const Case cases[] = {
      {"wide PNG", png(1000, 500), 232, {232, 116}},
      {"tall JPEG", jpeg(300, 1200), 232, {58, 232}},
      {"small PNG", png(100, 80), 232, {100, 80}},
      {"exact fit", png(232, 10), 232, {232, 10}},
      {"GIF", gif1x1, 16, {1, 1}},
      {"icon with an exact size", multiSizeIcon({16, 32, 48}), 32, {32, 32}},
      {"icon without one", multiSizeIcon({16, 48, 32}), 24, {24, 24}},
      {"icon smaller than asked", multiSizeIcon({16, 24}), 32, {24, 24}},
      {"HTML page", "<html><body>Not found</body></html>", 232, {}},
      {"empty", QByteArray(), 232, {}},
      {"truncated PNG", png(40, 40).left(30), 232, {}},
  };
  for (const Case& c : cases) {
    const QImage image = CBCGImageFromDataWithMaxPixelSize(c.data, c.maximum);
    if (!c.expected.isValid()) {
      EXPECT_TRUE(image.isNull()) << c.what;
      continue;
    }
    ASSERT_FALSE(image.isNull()) << c.what;
    EXPECT_EQ(image.size(), c.expected) << c.what;
    EXPECT_TRUE(image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32) << c.what;
  }
  EXPECT_EQ(CBCGImageFromData(png(640, 480)).size(), QSize(640, 480));
  EXPECT_TRUE(CBCGImageFromData("GIF89a but not really").isNull());

  QByteArray bytes = png(500, 100);
  QBuffer source(&bytes);
  source.open(QIODevice::ReadOnly);
  EXPECT_EQ(CBCGImageThumbnailFromImageSourceWithMaxPixelSize(&source, 50).size(), QSize(50, 10));
}

TEST(ImageDecodingTest, ImagesDeclaringHugeSizesAreRefusedBeforeDecoding)
{
  // Each declares gigabytes of pixels in a few dozen bytes; a decode that
  // allocated them would abort under the address sanitizer.
  const QByteArray bombs[] = {pngDeclaring(100000, 100000), pngDeclaring(16000, 16000), pngDeclaring(1, 1000000)};
  for (const QByteArray& bomb : bombs) {
    EXPECT_LT(bomb.size(), 200);
    EXPECT_TRUE(CBImagePixelSizeOfData(bomb).isValid());
    EXPECT_TRUE(CBCGImageFromData(bomb).isNull());
    EXPECT_TRUE(CBCGImageFromDataWithMaxPixelSize(bomb, 232).isNull());
    QByteArray copy = bomb;
    QBuffer source(&copy);
    source.open(QIODevice::ReadOnly);
    EXPECT_TRUE(CBCGImageThumbnailFromImageSourceWithMaxPixelSize(&source, 232).isNull());
  }
  ZPHTestTempDir folder;
  EXPECT_TRUE(CBCGImageWithFilePath(folder.writeFile(QStringLiteral("bomb.png"), bombs[0])).isNull());
  EXPECT_EQ(CBCGImageWithFilePath(folder.writeFile(QStringLiteral("fine.png"), png(7, 5))).size(), QSize(7, 5));
  EXPECT_TRUE(CBCGImageWithFilePath(folder.filePath(QStringLiteral("missing.png"))).isNull());
  // Folder caches keep downloaded bytes as they came and decode them within
  // the same bounds.
  CBImageFolderCache cache(folder.path());
  ASSERT_TRUE(cache.saveImageData(bombs[0], QStringLiteral("bomb.png")));
  EXPECT_TRUE(cache.cgImageForFilename(QStringLiteral("bomb.png")).isNull());
  // A large but sane photograph is decoded straight to its thumbnail size.
  EXPECT_EQ(CBCGImageFromDataWithMaxPixelSize(jpeg(3000, 2000), 232).size(), QSize(232, 155));
}

class ThumbnailControllerTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(server.start());
    ZPHUserDefaults::standardUserDefaults().removeObject(CBThumbnailCacheLastNukedKey);
    observer = ZPHNotificationCenter::defaultCenter().addObserver(
        CBThumbnailDownloadedNotification, {}, [this](const ZPHNotification& notification) {
          announced.append(notification.userInfo.value(CBURLKey).toUrl());
        });
  }
  void TearDown() override
  {
    ASSERT_TRUE(ZPHTestWaitUntil(noThumbnailDownloadsRunning));
    ZPHUserDefaults::standardUserDefaults().removeObject(CBThumbnailCacheLastNukedKey);
  }

  ZPHTestApplicationDelegate delegate;
  ZPHTestHTTPServer server;
  ZPHObserverToken observer;
  QList<QUrl> announced;
  QDateTime now = QDateTime(QDate(2026, 5, 1), QTime(8, 0), Qt::UTC);
};

TEST_F(ThumbnailControllerTest, FetchesStoresAndAnnouncesThumbnails)
{
  server.route("/big.png", [](const ZPHTestHTTPRequest&) { return imageResponse(png(1000, 500)); });
  server.route("/small.jpg", [](const ZPHTestHTTPRequest&) { return imageResponse(jpeg(100, 80), "image/jpeg"); });
  // Their downloads go before those that only fill caches.
  QList<ZPHOperationQueuePriority> downloads;
  ZPHObserverToken completions = ZPHNotificationCenter::defaultCenter().addObserver(
      CBOperationDidCompleteNotification, QVariant(), [&](const ZPHNotification& notification) {
        const auto operation = notification.object.value<std::shared_ptr<CBOperation>>();
        if (operation != nullptr && operation->operationType() == 10)
          downloads.append(operation->queuePriority());
      });
  CBThumbnailController controller(delegate.pathToCacheFolder(), [this] { return now; });
  EXPECT_EQ(controller.folderPath(), QDir(delegate.pathToCacheFolder()).filePath("ThumbnailCache.noindex"));
  EXPECT_EQ(controller.imageFolderCache()->inMemoryCacheCountLimit(), 500u);

  const QUrl big = server.url("/big.png");
  const QUrl small = server.url("/small.jpg");
  EXPECT_TRUE(controller.thumbnailForURL(big).isNull());
  EXPECT_TRUE(controller.thumbnailForURL(small).isNull());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return announced.size() == 2; }));
  EXPECT_TRUE(announced.contains(big));
  EXPECT_TRUE(announced.contains(small));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return downloads.size() == 2; }));
  EXPECT_EQ(downloads,
            (QList<ZPHOperationQueuePriority>{ZPHOperationQueuePriority::High, ZPHOperationQueuePriority::High}));

  EXPECT_EQ(controller.thumbnailForURL(big).size(), QSize(232, 116));
  EXPECT_EQ(controller.thumbnailForURL(small).size(), QSize(100, 80));
  // Stored as PNG under the image URL's name, and read back from the file by
  // a controller that has nothing in memory.
  const QString file = controller.imageFolderCache()->pathWithFilename(
      CBImageFolderCache::filenameForURLString(QString::fromUtf8(big.toEncoded())));
  EXPECT_TRUE(CBFileIsPNG(file));
  CBThumbnailController later(delegate.pathToCacheFolder(), [this] { return now.addSecs(3600); });
  EXPECT_EQ(later.thumbnailForURL(big).size(), QSize(232, 116));
  EXPECT_EQ(server.requests().size(), 2);
}

TEST_F(ThumbnailControllerTest, FailuresAreNotRetriedAndOnlyWebImagesAreFetched)
{
  int pageRequests = 0;
  server.route("/page", [&](const ZPHTestHTTPRequest&) {
    ++pageRequests;
    return imageResponse("<html>sorry</html>", "text/html");
  });
  ZPHTestTempDir elsewhere;
  const QString localImage = elsewhere.writeFile(QStringLiteral("local.png"), png(20, 20));
  CBThumbnailController controller(delegate.pathToCacheFolder(), [this] { return now; });
  QList<QUrl> unavailable;
  ZPHObserverToken failures = ZPHNotificationCenter::defaultCenter().addObserver(
      CBThumbnailUnavailableNotification, {},
      [&](const ZPHNotification& notification) { unavailable.append(notification.userInfo.value(CBURLKey).toUrl()); });

  const QUrl urls[] = {server.url("/missing.png"), server.url("/page"), QUrl::fromLocalFile(localImage),
                       QUrl(QStringLiteral("ftp://127.0.0.1/x.png")),
                       QUrl(QStringLiteral("data:image/png;base64,AA=="))};
  // Before the answers, a web image may still come; the others never do.
  EXPECT_FALSE(controller.isThumbnailUnavailable(urls[0]));
  for (const QUrl& url : urls) EXPECT_TRUE(controller.thumbnailForURL(url).isNull()) << url.toString().toStdString();
  for (const QUrl& url : {urls[2], urls[3], urls[4]}) EXPECT_TRUE(controller.isThumbnailUnavailable(url));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return server.requests().size() == 2; }));
  // A missing image and a page that is no image: told, and known from then.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unavailable.size() == 2; }));
  EXPECT_TRUE(unavailable.contains(urls[0]));
  EXPECT_TRUE(unavailable.contains(urls[1]));
  EXPECT_TRUE(controller.isThumbnailUnavailable(urls[0]));
  EXPECT_TRUE(controller.isThumbnailUnavailable(urls[1]));
  ASSERT_TRUE(ZPHTestWaitUntil(noThumbnailDownloadsRunning));
  ZPHTestSpinEventLoop(100);

  for (const QUrl& url : urls) EXPECT_TRUE(controller.thumbnailForURL(url).isNull()) << url.toString().toStdString();
  ZPHTestSpinEventLoop(200);
  EXPECT_EQ(server.requests().size(), 2);
  EXPECT_EQ(pageRequests, 1);
  EXPECT_TRUE(announced.isEmpty());
  EXPECT_TRUE(QDir(controller.folderPath()).isEmpty());
}

TEST_F(ThumbnailControllerTest, TheFolderIsWipedThreeDaysAfterTheLastWipe)
{
  struct Case {
    const char* what;
    std::optional<qint64> lastWipedSecondsAgo;
    bool wiped;
  };
  const Case cases[] = {
      {"never wiped", std::nullopt, true},
      {"72 hours ago", 72 * 3600, true},
      {"a week ago", 7 * 86400, true},
      {"71 hours ago", 71 * 3600, false},
      {"just now", 0, false},
  };
  const QString folder = QDir(delegate.pathToCacheFolder()).filePath("ThumbnailCache.noindex");
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  for (const Case& c : cases) {
    QDir().mkpath(folder);
    QFile file(QDir(folder).filePath("old.png"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(png(2, 2));
    file.close();
    QDateTime stored;
    if (c.lastWipedSecondsAgo) {
      stored = now.addSecs(-*c.lastWipedSecondsAgo);
      defaults.setObject(CBThumbnailCacheLastNukedKey, stored);
    } else {
      defaults.removeObject(CBThumbnailCacheLastNukedKey);
    }
    CBThumbnailController controller(delegate.pathToCacheFolder(), [this] { return now; });
    EXPECT_EQ(QFileInfo::exists(QDir(folder).filePath("old.png")), !c.wiped) << c.what;
    EXPECT_TRUE(QFileInfo(folder).isDir()) << c.what;
    EXPECT_EQ(defaults.objectForKey(CBThumbnailCacheLastNukedKey).toDateTime(), c.wiped ? now : stored) << c.what;
  }
}
