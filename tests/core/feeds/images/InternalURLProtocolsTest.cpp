#include "feeds/images/CBFaviconURLProtocol.h"
#include "feeds/images/CBImageFolderCache.h"
#include "feeds/images/CBLocalImageURLProtocol.h"
#include "feeds/images/CBLocalStyleSheetProtocol.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtGui/QImage>

#include <gtest/gtest.h>

namespace {

QByteArray pngBytes(QRgb colour)
{
  QImage image(4, 4, QImage::Format_ARGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// A folder of style sheets that is served, one beside it that is not (with
// secrets in it), and links between them.
class InternalURLProtocolsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    QDir root(dir.path());
    for (const char* folder : {"themes", "themes/sub", "themes-evil", "secret", "favicons", "pictures"})
      ASSERT_TRUE(root.mkpath(QString::fromLatin1(folder)));
    themes = root.filePath(QStringLiteral("themes"));
    write("themes/style.css", "body { color: red; }");
    write("themes/sub/inner.css", "p { margin: 0; }");
    write("themes/picture.png", pngBytes(qRgb(1, 2, 3)));
    write("themes/page.html", "<script>alert(1)</script>");
    write("themes/notes.txt", "notes");
    write("themes/Ripples.css",
          "a { background: url(file:///Library/Desktop%20Pictures/Ripples%20Moss.jpg); }\n"
          "b { background: url(file:///Library/Desktop%20Pictures/Ripples%20Purple.jpg); }");
    write("themes-evil/evil.css", Secret);
    write("secret/secret.css", Secret);
    write("secret/passwd", Secret);
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("secret/secret.css")), themes + "/link-out.css"));
    ASSERT_TRUE(QFile::link(themes + "/style.css", themes + "/link-in.css"));
    ASSERT_TRUE(QFile::link(themes + "/page.html", themes + "/link-html.css"));
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("secret")), themes + "/secret-folder"));
    write("pictures/Ripples Blue.jpg", "blue");
    write("pictures/Ripples Moss.jpg", "moss");
    write("pictures/Ripples Purple.jpg", "purple");
    CBLocalStyleSheetProtocol::registerStyleSheetFolder(themes);
    CBLocalStyleSheetProtocol::setRipplesPicturesFolder(root.filePath(QStringLiteral("pictures")));

    favicons = std::make_unique<CBImageFolderCache>(root.filePath(QStringLiteral("favicons")));
    CBLocalImageURLProtocol::mapSchemeToImageFolderCache(CBFaviconURLProtocol::scheme(), favicons.get());
  }

  void TearDown() override
  {
    CBLocalStyleSheetProtocol::unregisterStyleSheetFolder(themes);
    CBLocalStyleSheetProtocol::setRipplesPicturesFolder({});
    CBLocalImageURLProtocol::mapSchemeToImageFolderCache(CBFaviconURLProtocol::scheme(), nullptr);
  }

  void write(const char* name, const QByteArray& bytes)
  {
    QFile file(QDir(dir.path()).filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  // "cbstylesheet://" followed by the path, as the file URL would have it.
  QUrl styleSheetURL(const QString& path) const
  {
    return QUrl(QStringLiteral("cbstylesheet://") + QUrl::fromLocalFile(path).path(QUrl::FullyEncoded));
  }

  static inline const QByteArray Secret = "secret bytes";
  ZPHTestTempDir dir;
  QString themes;
  std::unique_ptr<CBImageFolderCache> favicons;
};

}  // namespace

TEST_F(InternalURLProtocolsTest, StyleSheetsAreServedFromRegisteredFoldersOnly)
{
  const QString root = dir.path();
  struct Case {
    QString url;
    const char* mimeType;  // null: refused
  };
  const QString t = QStringLiteral("cbstylesheet://") + themes;
  const Case cases[] = {
      {t + "/style.css", "text/css"},
      {t + "/sub/inner.css", "text/css"},
      {t + "/picture.png", "image/png"},
      {t + "/link-in.css", "text/css"},
      {t + "/style.css?x=1#y", "text/css"},
      // Out of the folder.
      {t + "/../secret/secret.css", nullptr},
      {t + "/%2e%2e/secret/secret.css", nullptr},
      {t + "/%2E%2E/secret/secret.css", nullptr},
      {t + "/%2e%2e%2fsecret%2fsecret.css", nullptr},
      {t + "/sub/../../secret/secret.css", nullptr},
      {t + "/link-out.css", nullptr},
      {t + "/secret-folder/secret.css", nullptr},
      {t + "-evil/evil.css", nullptr},
      {"cbstylesheet://" + root + "/secret/secret.css", nullptr},
      {QStringLiteral("cbstylesheet:///etc/passwd"), nullptr},
      {QStringLiteral("cbstylesheet://localhost") + themes + "/style.css", nullptr},
      {QStringLiteral("cbstylesheet:") + themes + "/style.css", nullptr},
      // Types that are never served.
      {t + "/page.html", nullptr},
      {t + "/notes.txt", nullptr},
      {t + "/link-html.css", nullptr},
      {t + "/sub", nullptr},
      {t + "/missing.css", nullptr},
      {QStringLiteral("file://") + themes + "/style.css", nullptr},
  };
  // Serving logs no warning of Qt's per request (an address read in a form
  // Qt refuses, say).
  ZPHTestLogCapture log;
  for (const Case& c : cases) {
    const ZPHImageCacheResponse response = CBLocalStyleSheetProtocol::responseForURL(QUrl(c.url));
    if (c.mimeType == nullptr) {
      EXPECT_FALSE(response.error.isNull()) << c.url.toStdString();
      EXPECT_TRUE(response.data.isEmpty()) << c.url.toStdString();
      EXPECT_EQ(response.error.code(), -1008) << c.url.toStdString();
    } else {
      EXPECT_TRUE(response.error.isNull()) << c.url.toStdString();
      EXPECT_EQ(response.mimeType, QString::fromLatin1(c.mimeType)) << c.url.toStdString();
      EXPECT_EQ(response.expectedContentLength, response.data.size());
      EXPECT_FALSE(response.allowedInURLCache);
    }
    EXPECT_FALSE(response.data.contains(Secret)) << c.url.toStdString();
  }
  // The URL form the article page makes from a file URL.
  EXPECT_EQ(CBLocalStyleSheetProtocol::styleSheetDataForURL(styleSheetURL(themes + "/style.css")),
            QByteArray("body { color: red; }"));
  EXPECT_EQ(log.linesContaining(QStringLiteral("QUrl")), QStringList());
}

TEST_F(InternalURLProtocolsTest, RippleStyleSheetsPointAtTheRipplesSchemeAndStyleSheetsAreCached)
{
  const QByteArray ripples =
      CBLocalStyleSheetProtocol::styleSheetDataForURL(QUrl("cbstylesheet://" + themes + "/Ripples.css"));
  EXPECT_EQ(ripples, QByteArray("a { background: url(ripples:moss.jpg); }\n"
                                "b { background: url(ripples:purple.jpg); }"));

  const QUrl style("cbstylesheet://" + themes + "/style.css");
  EXPECT_EQ(CBLocalStyleSheetProtocol::styleSheetDataForURL(style), QByteArray("body { color: red; }"));
  write("themes/style.css", "body { color: blue; }");
  EXPECT_EQ(CBLocalStyleSheetProtocol::styleSheetDataForURL(style), QByteArray("body { color: red; }"));

  struct Case {
    const char* url;
    const char* bytes;
  };
  const Case pictures[] = {
      {"ripples:moss.jpg", "moss"},
      {"ripples:purple.jpg", "purple"},
      {"ripples:blue.jpg", "blue"},
      {"ripples:anything", "blue"},
      {"ripples:", "blue"},
      {"ripples:Moss-large.jpg", "moss"},
      {"ripples:../../etc/passwd", "blue"},
  };
  for (const Case& c : pictures) {
    const ZPHImageCacheResponse response = CBLocalStyleSheetProtocol::responseForURL(QUrl(QString::fromLatin1(c.url)));
    EXPECT_EQ(response.data, QByteArray(c.bytes)) << c.url;
    EXPECT_EQ(response.mimeType, QStringLiteral("image/jpeg")) << c.url;
  }
}

TEST_F(InternalURLProtocolsTest, FaviconsAreServedByCacheFileNameOnly)
{
  const QString name = CBImageFolderCache::filenameForURLString(QStringLiteral("https://example.com/favicon.ico"));
  ASSERT_TRUE(favicons->saveImageData(pngBytes(qRgb(9, 9, 9)), name));
  const QString outside = CBImageFolderCache::filenameForURLString(QStringLiteral("https://evil.example/"));
  ASSERT_TRUE(
      QFile::link(QDir(dir.path()).filePath(QStringLiteral("secret/passwd")), favicons->pathWithFilename(outside)));

  ZPHTestLogCapture log;
  const ZPHImageCacheResponse icon = CBFaviconURLProtocol::responseForURL(QUrl("cbfavicon:" + name));
  EXPECT_TRUE(icon.error.isNull());
  EXPECT_EQ(icon.mimeType, QStringLiteral("image/png"));
  EXPECT_EQ(QImage::fromData(icon.data).pixel(0, 0), qRgb(9, 9, 9));
  EXPECT_TRUE(CBFaviconURLProtocol::canInitWithURL(QUrl("cbfavicon:" + name)));
  EXPECT_FALSE(CBFaviconURLProtocol::canInitWithURL(QUrl("other:" + name)));

  const QString refused[] = {
      "cbfavicon:../secret/passwd",
      "cbfavicon:%2e%2e%2fsecret%2fpasswd",
      "cbfavicon:" + dir.path() + "/secret/passwd",
      "cbfavicon:" + name.toUpper(),
      "cbfavicon:" + name.chopped(4) + ".html",
      "cbfavicon:" + name.mid(1),
      "cbfavicon:" + name + "/../" + name,
      "cbfavicon:" + outside,
  };
  for (const QString& url : refused) {
    const ZPHImageCacheResponse response = CBFaviconURLProtocol::responseForURL(QUrl(url));
    EXPECT_FALSE(response.data.contains(Secret)) << url.toStdString();
    // Only the generic icon may stand in, and only for a well-formed name.
    EXPECT_TRUE(response.data.isEmpty() || response.data == CBFaviconURLProtocol::genericFeedFaviconData())
        << url.toStdString();
  }
  EXPECT_TRUE(CBFaviconURLProtocol::responseForURL(QUrl("cbfavicon:../secret/passwd")).data.isEmpty());
  // No warning of Qt's per request.
  EXPECT_EQ(log.linesContaining(QStringLiteral("QUrl")), QStringList());
}
