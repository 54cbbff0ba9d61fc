#include "feeds/images/CBFaviconController.h"
#include "feeds/images/CBImageFolderCache.h"
#include "feeds/images/ZPHFaviconURLFinderOperation.h"
#include "fixtures/images/ZPHTestImages.h"
#include "foundation/CBMimeTypes.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>

#include <gtest/gtest.h>

using namespace ZPHTestImages;

namespace {

ZPHTestHTTPResponse reply(const QByteArray& bytes, const QByteArray& type = "image/png", int status = 200)
{
  return ZPHTestHTTPResponse{status, {{"Content-Type", type}}, bytes, 0};
}

QByteArray coloredPNG(int side, QColor color) { return encoded(solid(side, side, color), "PNG"); }

bool noDownloadsRunning()
{
  return !CBOperationController::sharedDownloadOperationController()->hasDownloadOperationsScheduled();
}

class FaviconsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(server.start());
    ZPHUserDefaults::standardUserDefaults().removeObject(CBFaviconCacheLastNukedKey);
    downloadedObserver = ZPHNotificationCenter::defaultCenter().addObserver(
        CBFaviconDownloadedNotification, {}, [this](const ZPHNotification& notification) {
          downloaded.append(notification.userInfo.value(CBURLKey).toUrl());
          downloadedHomePages.append(notification.userInfo.value(CBFaviconControllerHomePageURLKey).toUrl());
        });
    foundObserver = ZPHNotificationCenter::defaultCenter().addObserver(
        CBFaviconURLFoundNotification, {},
        [this](const ZPHNotification& notification) { found.append(notification.userInfo.value(CBURLKey).toUrl()); });
  }
  void TearDown() override
  {
    ASSERT_TRUE(ZPHTestWaitUntil(noDownloadsRunning));
    ZPHTestSpinEventLoop(20);
    ZPHUserDefaults::standardUserDefaults().removeObject(CBFaviconCacheLastNukedKey);
  }

  std::unique_ptr<CBFaviconController> makeController()
  {
    auto controller = std::make_unique<CBFaviconController>(delegate.pathToCacheFolder(), [this] { return now; });
    controller->setCustomFaviconFolder(customIcons.path());
    return controller;
  }
  QStringList requestedPaths() const
  {
    QStringList paths;
    for (const ZPHTestHTTPRequest& request : server.requests()) paths.append(request.path);
    return paths;
  }

  ZPHTestApplicationDelegate delegate;
  ZPHTestHTTPServer server;
  ZPHTestTempDir customIcons;
  QDateTime now = QDateTime(QDate(2026, 6, 1), QTime(9, 30), Qt::UTC);
  ZPHObserverToken downloadedObserver;
  ZPHObserverToken foundObserver;
  QList<QUrl> downloaded;
  QList<QUrl> downloadedHomePages;
  QList<QUrl> found;
};

}  // namespace

TEST(FaviconURLFinderTest, PicksTheLargestIconLinkOfWebAddresses)
{
  const QUrl home(QStringLiteral("http://site.example/blog/index.html"));
  struct Case {
    const char* what;
    const char* html;
    const char* expected;  // empty: none
  };
  const Case cases[] = {
      {"shortcut icon", "<link rel=\"shortcut icon\" href=\"/favicon.png\">", "http://site.example/favicon.png"},
      {"apple-touch-icon alone", "<link rel=\"apple-touch-icon\" href=\"/touch.png\">", ""},
      {"larger wins", "<link rel=icon sizes=\"16x16\" href=\"a.png\"><link rel=icon sizes=\"32x32\" href=\"b.png\">",
       "http://site.example/blog/b.png"},
      {"first of equals", "<link rel=icon href=\"/one.png\"><link rel=\"ICON\" sizes=16x16 href=\"/two.png\">",
       "http://site.example/one.png"},
      {"any counts 256",
       "<link rel=icon sizes=\"any\" href=\"/v.svg\"><link rel=icon sizes=\"192x192\" href=\"/b.png\">",
       "http://site.example/v.svg"},
      {"last size word counts",
       "<link rel=icon sizes=\"512x512 16x16\" href=\"/x.png\"><link rel=icon sizes=\"32x32\" "
       "href=\"/y.png\">",
       "http://site.example/y.png"},
      {"absolute address", "<link rel=icon href=\"HTTPS://cdn.example/i.ico\">", "https://cdn.example/i.ico"},
      {"capital tags", "<LINK rel=\"icon\" href=\"/upper.ico\">", "http://site.example/upper.ico"},
      {"other schemes",
       "<link rel=icon sizes=512x512 href=\"javascript:alert(1)\"><link rel=icon sizes=512x512 "
       "href=\"file:///etc/passwd\"><link rel=icon sizes=512x512 href=\"data:image/png;base64,AA\">"
       "<link rel=icon href=\"/ok.ico\">",
       "http://site.example/ok.ico"},
      {"empty href", "<link rel=icon href=\"\">", ""},
      {"no closing bracket", "<link rel=icon href=\"/x.ico\"", ""},
      {"stylesheet only", "<link rel=stylesheet href=\"/s.css\">", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZPHFaviconURLFinderOperation::faviconURLInHTML(QString::fromUtf8(c.html), home),
              QUrl(QString::fromUtf8(c.expected)))
        << c.what;
  }
  // Hostile pages: overlapping unclosed tags and one huge tag are passed over.
  const QString overlapping = QStringLiteral("<link rel=icon ").repeated(50000) + QStringLiteral(">");
  EXPECT_TRUE(ZPHFaviconURLFinderOperation::faviconURLInHTML(overlapping, home).isEmpty());
  const QString huge = QStringLiteral("<link rel=icon href=\"/big.ico\" data-x=\"") + QString(10000, u'x') +
                       QStringLiteral("\"><link rel=icon href=\"/small.ico\">");
  EXPECT_EQ(ZPHFaviconURLFinderOperation::faviconURLInHTML(huge, home), QUrl("http://site.example/small.ico"));
}

TEST(FaviconCandidatesTest, FeedIconThenTheRootOfTheHomePageWebAddressesOnly)
{
  const QUrl home(QStringLiteral("http://site.example:8080/blog/"));
  EXPECT_EQ(CBFaviconController::possibleFaviconURLs(home, QUrl("https://cdn.example/f.png")),
            (QList<QUrl>{QUrl("https://cdn.example/f.png"), QUrl("http://site.example:8080/favicon.ico"),
                         QUrl("http://site.example:8080/apple-touch-icon")}));
  EXPECT_EQ(CBFaviconController::possibleFaviconURLs(home, QUrl("file:///etc/passwd")).size(), 2);
  EXPECT_EQ(CBFaviconController::possibleFaviconURLs(QUrl("ftp://site.example/"), QUrl("javascript:x")).size(), 0);
  EXPECT_TRUE(CBFaviconController::possibleFaviconURLs(QUrl(), QUrl()).isEmpty());
}

TEST_F(FaviconsTest, DownloadsTheFirstWorkingCandidateAndDecodesItAtTheScale)
{
  server.route("/favicon.ico", [](const ZPHTestHTTPRequest&) { return reply("<html>nope</html>", "text/html"); });
  server.route("/apple-touch-icon", [](const ZPHTestHTTPRequest&) { return reply(coloredPNG(48, Qt::blue)); });
  auto controller = makeController();
  const QUrl home = server.url("/blog/index.html");
  const QUrl feedIcon = server.url("/missing-icon.png");

  EXPECT_TRUE(controller->faviconForHomePageURL(home, feedIcon).isNull());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return downloaded.size() == 1; }));
  EXPECT_EQ(downloaded[0], server.url("/apple-touch-icon"));
  EXPECT_EQ(downloadedHomePages[0], home);
  EXPECT_EQ(requestedPaths(), (QStringList{"/missing-icon.png", "/favicon.ico", "/apple-touch-icon"}));

  const QImage icon = controller->faviconForHomePageURL(home, feedIcon);
  EXPECT_EQ(icon.size(), QSize(16, 16));
  EXPECT_EQ(icon.pixelColor(8, 8), QColor(Qt::blue));
  controller->setCurrentFaviconScaleFactor(2.0);
  EXPECT_EQ(controller->faviconForHomePageURL(home, feedIcon).size(), QSize(32, 32));
  EXPECT_EQ(controller->filenameForFavicon(home, feedIcon),
            CBImageFolderCache::filenameForURLString(server.url("/apple-touch-icon").toString()));
  EXPECT_EQ(controller->imageFolderCache()->dataForFilename(controller->filenameForFavicon(home, feedIcon)),
            coloredPNG(48, Qt::blue));
  EXPECT_EQ(controller->filenameForFavicon(QUrl("http://other.example/x"), QUrl()),
            CBImageFolderCache::filenameForURLString("http://other.example/favicon.ico"));
  EXPECT_TRUE(controller->filenameForFavicon(QUrl(), QUrl()).isNull());

  // Nothing is downloaded again, and nothing is decoded while quitting.
  ZPHTestSpinEventLoop(100);
  EXPECT_EQ(server.requests().size(), 3);
  delegate.shuttingDown = true;
  EXPECT_TRUE(controller->faviconForHomePageURL(home, feedIcon).isNull());
  delegate.shuttingDown = false;
}

TEST_F(FaviconsTest, FailedCandidatesWaitForTheHourlyClearing)
{
  auto controller = makeController();
  const QUrl home = server.url("/");
  EXPECT_TRUE(controller->faviconForHomePageURL(home, QUrl()).isNull());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return server.requests().size() == 2; }));
  ASSERT_TRUE(ZPHTestWaitUntil(noDownloadsRunning));
  ZPHTestSpinEventLoop(50);

  EXPECT_TRUE(controller->faviconForHomePageURL(home, QUrl()).isNull());
  ZPHTestSpinEventLoop(100);
  EXPECT_EQ(server.requests().size(), 2);

  server.route("/favicon.ico", [](const ZPHTestHTTPRequest&) { return reply(coloredPNG(16, Qt::green)); });
  controller->dumpCheckedURLsCache();
  EXPECT_TRUE(controller->faviconForHomePageURL(home, QUrl()).isNull());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return downloaded.size() == 1; }));
  EXPECT_EQ(controller->faviconForHomePageURL(home, QUrl()).pixelColor(0, 0), QColor(Qt::green));
  EXPECT_EQ(server.requests().size(), 3);
}

TEST_F(FaviconsTest, CustomIconsStandInUnlessTheDownloadedOneIsLarge)
{
  // The server's host 127.0.0.1 has the suffixes 127.0.0.1, 0.0.1 and 0.1.
  customIcons.writeFile("0.0.1.ico", encoded(solid(32, 32, Qt::red), "ICO"));
  customIcons.writeFile("0.1.ico", encoded(solid(32, 32, Qt::yellow), "ICO"));
  server.route("/small.png", [](const ZPHTestHTTPRequest&) { return reply(coloredPNG(32, Qt::blue)); });
  server.route("/large.png", [](const ZPHTestHTTPRequest&) { return reply(coloredPNG(64, Qt::green)); });
  auto controller = makeController();
  const QUrl home = server.url("/");

  EXPECT_EQ(controller->faviconForHomePageURL(home, server.url("/small.png")).pixelColor(0, 0), QColor(Qt::red));
  controller->faviconForHomePageURL(home, server.url("/large.png"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return downloaded.size() == 2; }));

  const QImage small = controller->faviconForHomePageURL(home, server.url("/small.png"));
  EXPECT_EQ(small.pixelColor(0, 0), QColor(Qt::red));
  EXPECT_EQ(small.size(), QSize(16, 16));
  EXPECT_EQ(controller->faviconForHomePageURL(home, server.url("/large.png")).pixelColor(0, 0), QColor(Qt::green));

  QFile::remove(customIcons.filePath("0.0.1.ico"));
  EXPECT_EQ(controller->faviconForHomePageURL(home, server.url("/small.png")).pixelColor(0, 0), QColor(Qt::yellow));
  QFile::remove(customIcons.filePath("0.1.ico"));
  EXPECT_EQ(controller->faviconForHomePageURL(home, server.url("/small.png")).pixelColor(0, 0), QColor(Qt::blue));
  // A host of one label has no custom icon.
  customIcons.writeFile("localhost.ico", encoded(solid(16, 16, Qt::red), "ICO"));
  EXPECT_TRUE(controller->faviconForHomePageURL(QUrl("ftp://localhost/"), QUrl()).isNull());
}

TEST_F(FaviconsTest, TheBestIconLinkOfAHomePageIsLookedForOnce)
{
  server.route("/", [](const ZPHTestHTTPRequest&) {
    return reply(
        "<html><head><link rel=\"icon\" sizes=\"16x16\" href=\"/i16.png\">"
        "<link rel=\"icon\" sizes=\"32x32\" href=\"/i32.png\"></head></html>",
        "text/html");
  });
  server.route("/plain", [](const ZPHTestHTTPRequest&) { return reply("<html>no icons</html>", "text/html"); });
  auto controller = makeController();

  EXPECT_TRUE(controller->updateAndReturnBestFaviconURLForHomePageURL(server.url("/")).isEmpty());
  // Reading the page waits for the downloads of icons and pictures.
  int finders = 0;
  for (const auto& operation : CBOperationController::sharedDownloadOperationController()->operations()) {
    if (std::dynamic_pointer_cast<ZPHFaviconURLFinderOperation>(operation) != nullptr) {
      ++finders;
      EXPECT_EQ(operation->queuePriority(), ZPHOperationQueuePriority::Low);
    }
  }
  EXPECT_EQ(finders, 1);
  EXPECT_TRUE(controller->updateAndReturnBestFaviconURLForHomePageURL(server.url("/")).isEmpty());
  EXPECT_TRUE(controller->updateAndReturnBestFaviconURLForHomePageURL(server.url("/plain")).isEmpty());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return found.size() == 1; }));
  EXPECT_EQ(found[0], server.url("/i32.png"));
  EXPECT_EQ(controller->updateAndReturnBestFaviconURLForHomePageURL(server.url("/")), server.url("/i32.png"));

  ASSERT_TRUE(ZPHTestWaitUntil(noDownloadsRunning));
  ZPHTestSpinEventLoop(50);
  EXPECT_TRUE(controller->updateAndReturnBestFaviconURLForHomePageURL(server.url("/plain")).isEmpty());
  ZPHTestSpinEventLoop(50);
  QStringList paths = requestedPaths();
  paths.sort();
  EXPECT_EQ(paths, (QStringList{"/", "/plain"}));
  EXPECT_EQ(found.size(), 1);
}

TEST_F(FaviconsTest, TheFolderIsWipedSevenDaysAfterTheLastWipe)
{
  struct Case {
    const char* what;
    std::optional<qint64> lastWipedSecondsAgo;
    bool wiped;
  };
  const Case cases[] = {
      {"never wiped", std::nullopt, true}, {"seven days ago", 7 * 86400, true},
      {"a month ago", 30 * 86400, true},   {"just under seven days ago", 7 * 86400 - 60, false},
      {"an hour ago", 3600, false},
  };
  const QString folder = QDir(delegate.pathToCacheFolder()).filePath("FaviconCache.noindex");
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  for (const Case& c : cases) {
    QDir().mkpath(folder);
    QFile file(QDir(folder).filePath("icon.png"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(png(16, 16));
    file.close();
    QDateTime stored;
    if (c.lastWipedSecondsAgo) {
      stored = now.addSecs(-*c.lastWipedSecondsAgo);
      defaults.setObject(CBFaviconCacheLastNukedKey, stored);
    } else {
      defaults.removeObject(CBFaviconCacheLastNukedKey);
    }
    auto controller = makeController();
    EXPECT_EQ(controller->folderPath(), folder);
    EXPECT_EQ(QFileInfo::exists(QDir(folder).filePath("icon.png")), !c.wiped) << c.what;
    EXPECT_TRUE(QFileInfo(folder).isDir()) << c.what;
    EXPECT_EQ(defaults.objectForKey(CBFaviconCacheLastNukedKey).toDateTime(), c.wiped ? now : stored) << c.what;
  }
}

TEST_F(FaviconsTest, CancelledDownloadsAndReadingsAreNotTriesAndStartAgain)
{
  // What the network layer does when the connection comes, as at every
  // start: every download of the shared controller is cancelled, queued or
  // running.
  CBOperationController* downloads = CBOperationController::sharedDownloadOperationController();
  server.route("/", [](const ZPHTestHTTPRequest&) {
    return reply("<html><head><link rel=\"icon\" href=\"/linked.png\"></head></html>", "text/html");
  });
  server.route("/favicon.ico", [](const ZPHTestHTTPRequest&) { return reply(coloredPNG(16, Qt::green)); });
  auto controller = makeController();
  const QUrl home = server.url("/");

  downloads->setSuspended(true);
  EXPECT_TRUE(controller->faviconForHomePageURL(home, QUrl()).isNull());
  EXPECT_TRUE(controller->updateAndReturnBestFaviconURLForHomePageURL(home).isEmpty());
  downloads->cancelAllOperations();
  downloads->setSuspended(false);

  ASSERT_TRUE(ZPHTestWaitUntil([&] { return downloaded.size() == 1 && found.size() == 1; }));
  EXPECT_EQ(downloaded[0], server.url("/favicon.ico"));
  EXPECT_EQ(found[0], server.url("/linked.png"));
  EXPECT_EQ(controller->faviconForHomePageURL(home, QUrl()).pixelColor(8, 8), QColor(Qt::green));
  EXPECT_EQ(controller->updateAndReturnBestFaviconURLForHomePageURL(home), server.url("/linked.png"));
  // The next candidate was not tried in place of the cancelled one.
  EXPECT_FALSE(requestedPaths().contains("/apple-touch-icon"));

  // While the application quits, a cancelled download is not started again.
  const QUrl quitIcon = server.url("/quit.png");
  server.route("/quit.png", [](const ZPHTestHTTPRequest&) { return reply(coloredPNG(16, Qt::blue)); });
  ASSERT_TRUE(ZPHTestWaitUntil(noDownloadsRunning));
  downloads->setSuspended(true);
  EXPECT_TRUE(controller->faviconForHomePageURL(QUrl(), quitIcon).isNull());
  delegate.shuttingDown = true;
  downloads->cancelAllOperations();
  downloads->setSuspended(false);
  ASSERT_TRUE(ZPHTestWaitUntil(noDownloadsRunning));
  ZPHTestSpinEventLoop(100);
  delegate.shuttingDown = false;
  EXPECT_FALSE(requestedPaths().contains("/quit.png"));
}
