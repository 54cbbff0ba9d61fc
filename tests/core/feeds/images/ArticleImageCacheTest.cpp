#include "feeds/images/CBWebCacheController.h"
#include "feeds/images/ZPHArticleImageCacheController.h"
#include "feeds/images/ZPHArticleImageCacheOperation.h"
#include "feeds/images/ZPHArticleImageCacheTarget.h"
#include "feeds/images/ZPHImageCacheProtocol.h"
#include "feeds/network/CBDownloadOperation.h"
#include "fixtures/images/ZPHTestImages.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <gtest/gtest.h>

#include <atomic>

using namespace ZPHTestImages;

namespace {

ZPHTestHTTPResponse body(const QByteArray& bytes, const QByteArray& type, int status = 200, int delayMs = 0)
{
  return ZPHTestHTTPResponse{status, {{"Content-Type", type}}, bytes, delayMs};
}

class ArticleImageCacheTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(server.start()); }
  void TearDown() override { waitUntilIdle(allHTML); }

  // Waits until no operation is registered for the HTML any more.
  bool waitUntilIdle(const QStringList& htmls)
  {
    return ZPHTestWaitUntil([&] {
      for (const QString& html : htmls) {
        if (controller->registeredOperationForArticleContentHTML(html))
          return false;
      }
      return true;
    });
  }
  bool cacheAndWait(const QString& html, const QUrl& baseURL)
  {
    allHTML.append(html);
    controller->cacheImagesFoundInArticleContentHTML(html, baseURL);
    return waitUntilIdle({html});
  }
  int requestsFor(const QString& path) const
  {
    int count = 0;
    for (const ZPHTestHTTPRequest& request : server.requests()) count += request.path == path ? 1 : 0;
    return count;
  }

  ZPHTestApplicationDelegate delegate;
  ZPHTestHTTPServer server;
  CBWebCacheController* webCache = CBWebCacheController::sharedController();
  ZPHArticleImageCacheController* controller = ZPHArticleImageCacheController::sharedController();
  QStringList allHTML;
};

}  // namespace

TEST_F(ArticleImageCacheTest, TargetsResolveRootRelativeSourcesOnly)
{
  const QUrl base(QStringLiteral("http://example.com/blog/post.html"));
  struct Case {
    const char* src;
    const char* expected;  // empty: no address
  };
  const Case cases[] = {
      {"/img/a.png", "http://example.com/img/a.png"},
      {"//cdn.example.net/b.png", "http://cdn.example.net/b.png"},
      {"https://other.example/c.gif", "https://other.example/c.gif"},
      {"pic.png", "pic.png"},  // used unchanged
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZPHArticleImageCacheTarget::absoluteURLFromArticleKey(QString::fromUtf8(c.src), base),
              QUrl(QString::fromUtf8(c.expected)))
        << c.src;
  }
  EXPECT_TRUE(ZPHArticleImageCacheTarget::absoluteURLFromArticleKey("/img/a.png", QUrl()).isEmpty());

  const auto targets = zph_allImageCacheTargetsFoundInHTML(
      "<p><img src=\"/a.png\"> text <img alt='x' src='http://e.com/b.jpg?x=1&amp;y=2'><img alt=\"none\"></p>", base);
  ASSERT_EQ(targets.size(), 2);
  EXPECT_EQ(targets[0].articleKey(), "/a.png");
  EXPECT_EQ(targets[0].absoluteURL(), QUrl("http://example.com/a.png"));
  EXPECT_EQ(targets[1].absoluteURL(), QUrl("http://e.com/b.jpg?x=1&y=2"));
}

TEST_F(ArticleImageCacheTest, CachesGoodImagesOnlyAndPicksTheBiggest)
{
  std::atomic<bool> lateImageReady{false};
  server.route("/small.png", [](const ZPHTestHTTPRequest&) { return body(png(40, 30), "image/png"); });
  server.route("/img/big.jpg", [](const ZPHTestHTTPRequest&) { return body(jpeg(80, 60), "image/jpeg"); });
  server.route("/error-page.png", [](const ZPHTestHTTPRequest&) { return body("<html>oops</html>", "text/html"); });
  server.route("/late.png", [&](const ZPHTestHTTPRequest&) {
    return lateImageReady ? body(png(200, 200), "image/png") : body("busy", "text/plain", 503);
  });
  server.route("/doubleclick/ad.png", [](const ZPHTestHTTPRequest&) { return body(png(500, 500), "image/png"); });

  ZPHTestTempDir elsewhere;
  const QString localFile = elsewhere.writeFile("local.png", png(300, 300));
  const QUrl base = server.url("/posts/1.html");
  const QString html = QStringLiteral(
                           "<img src=\"%1\"><img src=\"/img/big.jpg\"><img src=\"/error-page.png\">"
                           "<img src=\"/missing.png\"><img src=\"/late.png\"><img src=\"relative.png\">"
                           "<img src=\"/doubleclick/ad.png\"><img src=\"%2\"><img src=\"ftp://127.0.0.1/x.png\">")
                           .arg(server.url("/small.png").toString(), QUrl::fromLocalFile(localFile).toString());
  ASSERT_TRUE(cacheAndWait(html, base));

  EXPECT_TRUE(webCache->isObjectAtURLCached(server.url("/small.png")));
  EXPECT_TRUE(webCache->isObjectAtURLCached(server.url("/img/big.jpg")));
  // Only images are kept: neither an error page answered with 200 nor an
  // error status.
  EXPECT_FALSE(webCache->isObjectAtURLCached(server.url("/error-page.png")));
  EXPECT_FALSE(webCache->isObjectAtURLCached(server.url("/missing.png")));
  EXPECT_FALSE(webCache->isObjectAtURLCached(server.url("/late.png")));
  EXPECT_FALSE(webCache->isObjectAtURLCached(QUrl::fromLocalFile(localFile)));
  EXPECT_EQ(requestsFor("/doubleclick/ad.png"), 0);
  EXPECT_EQ(server.requests().size(), 5);

  const QUrl biggest = controller->URLOfBiggestImageInArticleContentHTML(html, base);
  EXPECT_EQ(biggest, ZPHArticleImageCacheController::imageCacheURLForURL(server.url("/img/big.jpg")));
  EXPECT_EQ(biggest.scheme(), "zph-image-cache");
  EXPECT_EQ(controller->URLOfImageInArticleContentHTML(html, biggest, base), server.url("/img/big.jpg"));
  EXPECT_TRUE(controller->URLOfImageInArticleContentHTML(html, QUrl("zph-image-cache://0123.png"), base).isEmpty());

  // A later request fetches nothing: what is cached stays, and what failed
  // is not asked for again in this run.
  lateImageReady = true;
  ASSERT_TRUE(cacheAndWait(html, base));
  EXPECT_TRUE(controller->didImageFailBefore(server.url("/late.png")));
  EXPECT_TRUE(controller->didImageFailBefore(server.url("/error-page.png")));
  EXPECT_FALSE(controller->didImageFailBefore(server.url("/small.png")));
  EXPECT_EQ(server.requests().size(), 5);
  EXPECT_EQ(controller->URLOfBiggestImageInArticleContentHTML(html, base),
            ZPHArticleImageCacheController::imageCacheURLForURL(server.url("/img/big.jpg")));

  // Equal areas: the first image wins.
  server.route("/one.png", [](const ZPHTestHTTPRequest&) { return body(png(10, 40), "image/png"); });
  server.route("/two.png", [](const ZPHTestHTTPRequest&) { return body(png(40, 10), "image/png"); });
  const QString equal = QStringLiteral("<img src=\"/two.png\"><img src=\"/one.png\">");
  ASSERT_TRUE(cacheAndWait(equal, base));
  EXPECT_EQ(controller->URLOfBiggestImageInArticleContentHTML(equal, base),
            ZPHArticleImageCacheController::imageCacheURLForURL(server.url("/two.png")));
  EXPECT_TRUE(controller->URLOfBiggestImageInArticleContentHTML("<p>no images</p>", base).isEmpty());

  controller->purgeCachedImagesFoundInArticleContentHTML(html, base);
  controller->registeredOperationForArticleContentHTML(html);  // runs after the purge
  EXPECT_FALSE(webCache->isObjectAtURLCached(server.url("/small.png")));
  EXPECT_FALSE(webCache->isObjectAtURLCached(server.url("/img/big.jpg")));
  EXPECT_TRUE(webCache->isObjectAtURLCached(server.url("/one.png")));
  EXPECT_TRUE(QFileInfo(webCache->cacheFolderPath()).isDir());
  EXPECT_TRUE(controller->URLOfBiggestImageInArticleContentHTML(html, base).isEmpty());
}

TEST_F(ArticleImageCacheTest, ImagesAreBoundedInSizeAndNumber)
{
  const QByteArray image = png(8, 8);
  const QByteArray huge = image + QByteArray(ZPHArticleImageCacheOperation::MaximumImageBytes, '\0');
  QString html = QStringLiteral("<img src=\"/huge.png\"><img src=\"/broken.png\"><img src=\"/huge.png\">");
  server.route("/huge.png", [&](const ZPHTestHTTPRequest&) { return body(huge, "image/png"); });
  server.route("/broken.png",
               [&](const ZPHTestHTTPRequest&) { return body(image.left(image.size() / 2), "image/png"); });
  for (int i = 0; i < 30; ++i) {
    const QString path = QStringLiteral("/many/%1.png").arg(i);
    server.route(path, [&](const ZPHTestHTTPRequest&) { return body(image, "image/png"); });
    html += QStringLiteral("<img src=\"%1\">").arg(path);
  }
  const QUrl base = server.url("/post.html");
  ASSERT_TRUE(cacheAndWait(html, base));

  // The first images of the article only, each address once.
  EXPECT_EQ(server.requests().size(), ZPHArticleImageCacheOperation::MaximumImagesPerArticle);
  EXPECT_EQ(requestsFor("/huge.png"), 1);
  EXPECT_TRUE(webCache->isObjectAtURLCached(server.url("/many/17.png")));
  EXPECT_FALSE(webCache->isObjectAtURLCached(server.url("/many/18.png")));
  // Too large, or not decodable: not kept, and remembered.
  EXPECT_FALSE(webCache->isObjectAtURLCached(server.url("/huge.png")));
  EXPECT_FALSE(webCache->isObjectAtURLCached(server.url("/broken.png")));
  EXPECT_TRUE(controller->didImageFailBefore(server.url("/huge.png")));
  EXPECT_TRUE(controller->didImageFailBefore(server.url("/broken.png")));
  EXPECT_FALSE(ZPHArticleImageCacheController::isImage(image.left(image.size() / 2)));
  EXPECT_TRUE(ZPHArticleImageCacheController::isImage(gif1x1));
}

TEST_F(ArticleImageCacheTest, AServerThatRefusesIsNotAskedAgain)
{
  const ZPHTestClosedPort closedPort;
  ASSERT_NE(closedPort.port(), 0);
  const QString image = closedPort.url(QStringLiteral("/img/%1.png")).toString();
  ASSERT_TRUE(cacheAndWait(QStringLiteral("<img src=\"%1\">").arg(image.arg(1)), QUrl()));
  EXPECT_TRUE(controller->didImageFailBefore(QUrl(image.arg(1))));
  // Any other image of that server counts as failed: no operation is made.
  EXPECT_TRUE(controller->didImageFailBefore(QUrl(image.arg(2))));
  const QString other = QStringLiteral("<p>x</p><img src=\"%1\">").arg(image.arg(2));
  controller->cacheImagesFoundInArticleContentHTML(other, QUrl());
  EXPECT_FALSE(controller->registeredOperationForArticleContentHTML(other));
  // A server that answers, even with an error, is asked for its other images.
  server.route("/gone.png", [](const ZPHTestHTTPRequest&) { return body("no", "text/plain", 404); });
  ASSERT_TRUE(cacheAndWait(QStringLiteral("<img src=\"/gone.png\">"), server.url("/")));
  EXPECT_TRUE(controller->didImageFailBefore(server.url("/gone.png")));
  EXPECT_FALSE(controller->didImageFailBefore(server.url("/other.png")));
  // Without an image to fetch no operation is made at all.
  controller->cacheImagesFoundInArticleContentHTML("<p>No images here</p>", server.url("/"));
  EXPECT_FALSE(controller->registeredOperationForArticleContentHTML("<p>No images here</p>"));
}

TEST_F(ArticleImageCacheTest, RequestsTwiceAndPurgesWhileRunning)
{
  server.route("/slow.png", [](const ZPHTestHTTPRequest&) { return body(png(5, 5), "image/png", 200, 1500); });
  const QUrl base = server.url("/");
  const QString html = QStringLiteral("<img src=\"/slow.png\">");
  allHTML.append(html);

  controller->requestCachingOfImagesFoundInArticleContentHTML(html, base);
  const auto first = controller->registeredOperationForArticleContentHTML(html);
  ASSERT_TRUE(first);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return requestsFor("/slow.png") == 1; }));
  controller->requestCachingOfImagesFoundInArticleContentHTML(html, base);
  const auto second = controller->registeredOperationForArticleContentHTML(html);
  ASSERT_TRUE(second);
  EXPECT_NE(first, second);

  // Purging cancels the registered (second) operation and its download; the
  // first one still stores its image, which the purge's own removal
  // preceded.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return second->downloadOperations().size() == 1 || second->isFinished(); }));
  controller->purgeCachedImagesFoundInArticleContentHTML(html, base);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return second->isFinished(); }));
  EXPECT_TRUE(second->isCancelled());
  for (const auto& download : second->downloadOperations()) EXPECT_FALSE(download->okResponse());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return first->isFinished(); }));
  EXPECT_FALSE(first->isCancelled());
  ASSERT_TRUE(waitUntilIdle({html}));
  EXPECT_TRUE(webCache->isObjectAtURLCached(server.url("/slow.png")));

  // Purging HTML whose images were never cached harms nothing.
  controller->purgeCachedImagesFoundInArticleContentHTML("<img src=\"/never.png\"><img src=\"x\">", base);
  controller->purgeCachedImagesFoundInArticleContentHTML(QString(), base);
  EXPECT_FALSE(controller->registeredOperationForArticleContentHTML(html));
  EXPECT_TRUE(webCache->isObjectAtURLCached(server.url("/slow.png")));
}

TEST_F(ArticleImageCacheTest, TheProtocolServesOnlyCacheKeysInsideTheFolder)
{
  const QUrl jpegURL(QStringLiteral("http://example.com/photos/Pic.JPG"));
  const QUrl pngURL(QStringLiteral("http://example.com/icon"));
  webCache->storeObject(jpeg(4, 4), jpegURL);
  webCache->storeObject(png(3, 3), pngURL);
  const QString folder = webCache->cacheFolderPath();
  ASSERT_FALSE(folder.isEmpty());

  const ZPHImageCacheResponse png =
      ZPHImageCacheProtocol::responseForURL(ZPHArticleImageCacheController::imageCacheURLForURL(pngURL));
  EXPECT_TRUE(png.error.isNull());
  EXPECT_EQ(png.data, webCache->cachedObjectAtURL(pngURL));
  EXPECT_EQ(png.mimeType, "image/png");
  EXPECT_EQ(png.expectedContentLength, png.data.size());
  EXPECT_FALSE(png.allowedInURLCache);
  // The key keeps "JPG"; the URL's host arrives lower-cased.
  const QUrl jpegCacheURL = ZPHArticleImageCacheController::imageCacheURLForURL(jpegURL);
  EXPECT_EQ(ZPHImageCacheProtocol::responseForURL(jpegCacheURL).data, webCache->cachedObjectAtURL(jpegURL));
  const QString jpegKey = CBWebCacheController::cacheKeyForURL(jpegURL);
  EXPECT_TRUE(jpegKey.endsWith(".JPG"));
  EXPECT_EQ(ZPHImageCacheProtocol::dataForURL(QUrl("zph-image-cache:" + jpegKey)),
            webCache->cachedObjectAtURL(jpegURL));
  EXPECT_TRUE(ZPHImageCacheProtocol::canInitWithURL(jpegCacheURL));
  EXPECT_FALSE(ZPHImageCacheProtocol::canInitWithURL(QUrl("http://example.com/x.png")));

  // Secrets beside and above the folder, and a link inside it.
  QFile secret(QDir(folder).filePath("../secret.txt"));
  ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
  secret.write("password");
  secret.close();
  const QString linkKey = QString(32, u'a') + ".png";
  ASSERT_TRUE(QFile::link(QFileInfo(secret).absoluteFilePath(), QDir(folder).filePath(linkKey)));
  const QString pngKey = CBWebCacheController::cacheKeyForURL(pngURL);
  const QString refused[] = {
      "zph-image-cache://../secret.txt",
      "zph-image-cache:../secret.txt",
      "zph-image-cache:///../secret.txt",
      "zph-image-cache:%2e%2e/secret.txt",
      "zph-image-cache:" + pngKey + "/../../secret.txt",
      "zph-image-cache:" + pngKey.toUpper(),
      "zph-image-cache:" + pngKey.left(31) + ".png",
      "zph-image-cache:" + pngKey.section('.', 0, 0) + ".averyveryverylongext",
      "zph-image-cache:" + pngKey.section('.', 0, 0),
      "zph-image-cache://" + linkKey,
      "zph-image-cache://" + QString(32, u'b') + ".png",  // well formed, not cached
      "zph-image-cache:",
  };
  for (const QString& text : refused) {
    const ZPHImageCacheResponse response = ZPHImageCacheProtocol::responseForURL(QUrl(text));
    EXPECT_TRUE(response.data.isNull()) << text.toStdString();
    EXPECT_EQ(response.error.domain(), ZPHURLErrorDomain) << text.toStdString();
    EXPECT_EQ(response.error.code(), -1008) << text.toStdString();
  }
}
