#include "feeds/images/CBImageFolderCache.h"
#include "feeds/images/CBPermanentWebCacheController.h"
#include "feeds/images/CBWebCacheController.h"
#include "foundation/CBData.h"
#include "foundation/CBString.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtGui/QImage>

#include <gtest/gtest.h>

namespace {

// A 1x1 GIF.
const QByteArray kGIF =
    QByteArray::fromHex("47494638396101000100800000ffffff00000021f90401000000002c00000000010001000002024401003b");

QByteArray pngOf(const QImage& image)
{
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QImage solidImage(QColor color)
{
  QImage image(3, 2, QImage::Format_ARGB32);
  image.fill(color);
  return image;
}

class WebCacheTest : public ::testing::Test {
protected:
  ZPHTestApplicationDelegate delegate;
  CBWebCacheController* cache = CBWebCacheController::sharedController();
};

}  // namespace

TEST_F(WebCacheTest, CacheKeysHashTheAddressUnchangedAndKeepPlainExtensions)
{
  const QUrl withoutSlash("http://example.com/images");
  const QUrl withSlash("http://example.com/images/");
  EXPECT_NE(CBWebCacheController::cacheKeyForURL(withoutSlash), CBWebCacheController::cacheKeyForURL(withSlash));
  EXPECT_NE(CBImageFolderCache::filenameForURLString(withoutSlash.toString()),
            CBImageFolderCache::filenameForURLString(withSlash.toString()));

  struct Case {
    const char* url;
    const char* extension;
  };
  const Case cases[] = {
      {"http://example.com/a/picture", "png"},
      {"http://example.com/a/picture.JPG", "JPG"},
      {"http://example.com/a/picture.gif?size=2", "gif"},
      {"http://example.com/a.dir/picture", "png"},
      {"http://example.com/.hidden", "png"},
      {"http://example.com/a/picture.", "png"},
      {"http://example.com/a/picture.j%20pg", "png"},
      {"http://example.com/a/picture.averyveryverylongextension", "png"},
      {"http://example.com/a/picture.x%2F..%2F..%2Fetc", "png"},
  };
  for (const Case& c : cases) {
    const QUrl url(QString::fromUtf8(c.url));
    EXPECT_EQ(CBWebCacheController::cacheKeyForURL(url),
              cb_md5HashString(QString::fromUtf8(url.toEncoded())) + u'.' + QString::fromUtf8(c.extension))
        << c.url;
  }
  EXPECT_EQ(CBImageFolderCache::filenameForURLString(QStringLiteral("http://example.com/i.gif")),
            cb_md5HashString(QStringLiteral("http://example.com/i.gif")) + QStringLiteral(".png"));
}

TEST_F(WebCacheTest, StoresReadsAndPurgesOneFilePerAddress)
{
  const QUrl url("http://example.com/photo.jpg");
  const QUrl other("http://example.com/other");
  EXPECT_FALSE(cache->isObjectAtURLCached(url));
  EXPECT_TRUE(cache->cachedObjectAtURL(url).isNull());
  EXPECT_TRUE(cache->fileURLForCachedObjectAtURL(url).isEmpty());

  cache->storeObject(QByteArray(), url);  // empty data is ignored
  EXPECT_FALSE(cache->isObjectAtURLCached(url));

  cache->storeObject("first", url);
  cache->storeObject("second", url);
  cache->storeObject("other", other);
  const QString folder = QDir(delegate.pathToCacheFolder()).filePath("CBWebCache.noindex");
  EXPECT_EQ(cache->pathForObjectAtURL(url), QDir(folder).filePath(CBWebCacheController::cacheKeyForURL(url)));
  EXPECT_EQ(cache->cachedObjectAtURL(url), "second");
  EXPECT_EQ(cache->cachedObjectWithKey(CBWebCacheController::cacheKeyForURL(url)), "second");
  EXPECT_EQ(cache->cachedObjectWithKey("//" + CBWebCacheController::cacheKeyForURL(url)), "second");
  EXPECT_EQ(cache->fileURLForCachedObjectAtURL(url), QUrl::fromLocalFile(cache->pathForObjectAtURL(url)));
  EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);

  cache->purgeCachedObjectAtURL(url);
  cache->purgeCachedObjectAtURL(QUrl());
  EXPECT_FALSE(cache->isObjectAtURLCached(url));
  EXPECT_EQ(cache->cachedObjectAtURL(other), "other");
  EXPECT_TRUE(QFileInfo(folder).isDir());

  // The permanent cache is a folder of its own in the data folder.
  CBPermanentWebCacheController* permanent = CBPermanentWebCacheController::sharedController();
  EXPECT_FALSE(permanent->isObjectAtURLCached(other));
  permanent->storeObject("kept", other);
  EXPECT_TRUE(QFile::exists(QDir(delegate.pathToDataFolder())
                                .filePath("CBPermanentWebCache/" + CBWebCacheController::cacheKeyForURL(other))));
  EXPECT_EQ(permanent->cachedObjectAtURL(other), "kept");
  EXPECT_EQ(cache->cachedObjectAtURL(other), "other");
}

TEST_F(WebCacheTest, KeysThatAreNotPlainFileNamesFindNothing)
{
  const QString secret = delegate.pathToCacheFolder() + "/secret";
  QFile file(secret);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("do not serve");
  file.close();
  cache->storeObject("x", QUrl("http://example.com/x"));  // makes the folder

  for (const QString& key :
       {QStringLiteral("../secret"), QStringLiteral("/../secret"), QStringLiteral("a/../../secret"),
        QStringLiteral(".."), QStringLiteral("."), QString(), QStringLiteral("/")}) {
    EXPECT_TRUE(cache->cachedObjectWithKey(key).isNull()) << qPrintable(key);
  }
}

TEST_F(WebCacheTest, ImagesDecodeFromTheCache)
{
  const QUrl url("http://example.com/pixel.gif");
  cache->storeObject(kGIF, url);
  const QImage image = cache->cachedImageAtURL(url);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(1, 1));
  cache->storeObject("not an image", QUrl("http://example.com/text"));
  EXPECT_TRUE(cache->cachedImageAtURL(QUrl("http://example.com/text")).isNull());
}

TEST(WebCacheWithoutFolder, StoresAndFindsNothing)
{
  ASSERT_EQ(ZPHCoreApplicationDelegate::sharedDelegate(), nullptr);
  const QUrl url("http://example.com/nowhere.png");
  CBWebCacheController::sharedController()->storeObject("data", url);
  EXPECT_TRUE(CBWebCacheController::sharedController()->cachedObjectAtURL(url).isNull());
  EXPECT_TRUE(CBWebCacheController::sharedController()->pathForObjectAtURL(url).isNull());
  EXPECT_FALSE(QFile::exists(QDir::current().filePath("CBWebCache.noindex")));
}

class ImageFolderCacheTest : public ::testing::Test {
protected:
  ZPHTestTempDir folder;
  CBImageFolderCache cache{folder.path()};
};

TEST_F(ImageFolderCacheTest, SavedImagesComeBackFromMemoryAndDisk)
{
  const QString name = CBImageFolderCache::filenameForURLString("http://example.com/favicon.ico");
  EXPECT_TRUE(cache.cgImageForFilename(name).isNull());
  EXPECT_TRUE(cache.dataForFilename(name).isNull());
  EXPECT_TRUE(cache.pngDataForFilename(name).isNull());

  EXPECT_FALSE(cache.saveCGImage(QImage(), name));
  EXPECT_FALSE(cache.saveCGImage(solidImage(Qt::red), QString()));
  EXPECT_FALSE(QFile::exists(cache.pathWithFilename(name)));

  ZPHError error;
  ASSERT_TRUE(cache.saveCGImage(solidImage(Qt::red), name, &error));
  EXPECT_TRUE(error.isNull());
  EXPECT_EQ(cache.URLWithFilename(name), QUrl::fromLocalFile(folder.filePath(name)));
  EXPECT_TRUE(dataIsPNG(cache.dataForFilename(name)));
  EXPECT_EQ(cache.cachedCGImageForFilename(name).size(), QSize(3, 2));
  EXPECT_TRUE(cache.cachedNSImageForFilename(name).isNull());

  // A second cache over the same folder decodes from disk.
  CBImageFolderCache reader(folder.path());
  EXPECT_TRUE(reader.cachedCGImageForFilename(name).isNull());
  const QImage decoded = reader.cgImageForFilename(name);
  ASSERT_EQ(decoded.size(), QSize(3, 2));
  EXPECT_EQ(decoded.pixelColor(1, 1), QColor(Qt::red));
  EXPECT_EQ(reader.cachedCGImageForFilename(name).size(), QSize(3, 2));
  EXPECT_EQ(reader.pngDataForFilename(name), cache.dataForFilename(name));
}

TEST_F(ImageFolderCacheTest, NonPNGDataIsKeptAsIsAndReencodedForPNGReaders)
{
  const QString name = CBImageFolderCache::filenameForURLString("http://example.com/pixel.gif");
  ASSERT_TRUE(cache.saveImageData(kGIF, name));
  EXPECT_EQ(cache.dataForFilename(name), kGIF);
  const QByteArray png = cache.pngDataForFilename(name);
  ASSERT_TRUE(dataIsPNG(png));
  EXPECT_EQ(QImage::fromData(png).size(), QSize(1, 1));

  // PNG bytes are remembered as they are.
  const QString pngName = CBImageFolderCache::filenameForURLString("http://example.com/blue.png");
  const QByteArray bluePNG = pngOf(solidImage(Qt::blue));
  ASSERT_TRUE(cache.saveImageData(bluePNG, pngName));
  QFile::remove(cache.pathWithFilename(pngName));
  EXPECT_EQ(cache.pngDataForFilename(pngName), bluePNG);

  // Nothing decodes from bytes that are no image.
  const QString textName = CBImageFolderCache::filenameForURLString("http://example.com/text");
  ASSERT_TRUE(cache.saveImageData("plain text", textName));
  EXPECT_TRUE(cache.pngDataForFilename(textName).isNull());
  EXPECT_TRUE(cache.cgImageForFilename(textName).isNull());
}

TEST(ImageFolderCache, AFailedWriteIsReported)
{
  ZPHTestTempDir root;
  CBImageFolderCache cache(root.filePath("missing-folder"));
  ZPHError error;
  EXPECT_FALSE(cache.saveImageData(kGIF, "a.png", &error));
  EXPECT_FALSE(error.isNull());
  EXPECT_FALSE(cache.saveCGImage(solidImage(Qt::green), "b.png"));
  EXPECT_EQ(cache.cachedCGImageForFilename("b.png").size(), QSize(3, 2));
}
