#include "foundation/CBFiles.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHErrors.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QDateTime>

#include <gtest/gtest.h>

TEST(Errors, CarryTheApplicationDomainTheMessageAndTheirTime)
{
  const QDateTime before = QDateTime::currentDateTimeUtc();
  const ZPHError error = ZPHErrors::errorWithCode(1000, "No feed found", {{"url", "http://example.com/"}});
  const QDateTime after = QDateTime::currentDateTimeUtc();

  EXPECT_EQ(error.domain(), CBAppIdentifier());
  EXPECT_EQ(error.code(), 1000);
  EXPECT_EQ(error.localizedDescription(), "No feed found");
  EXPECT_EQ(error.value("url"), QVariant("http://example.com/"));
  const QDateTime made = error.value(ZPHErrorDateKey).toDateTime();
  EXPECT_LE(before, made);
  EXPECT_GE(after, made);

  const ZPHError bare = ZPHErrors::errorWithCode(7, QString());
  EXPECT_FALSE(bare.userInfo().contains(ZPHLocalizedDescriptionKey));
  EXPECT_TRUE(bare.value(ZPHErrorDateKey).toDateTime().isValid());
}

TEST(Errors, GenericHTTPError)
{
  const ZPHError error = ZPHErrors::genericHTTPError(503);
  EXPECT_EQ(error.code(), 3);
  EXPECT_EQ(error.domain(), "com.fernhollow.zephlin");
  EXPECT_EQ(error.localizedDescription(), "the server returned an unexpected response code: 503 Service Unavailable");
  EXPECT_TRUE(error.value(ZPHErrorDateKey).toDateTime().isValid());

  EXPECT_EQ(ZPHErrors::genericHTTPErrorString(404), "the server returned an unexpected response code: 404 Not Found");
  EXPECT_EQ(ZPHErrors::genericHTTPErrorString(599),
            "the server returned an unexpected response code: 599 Unknown Error");
}

TEST(Errors, LogErrorMessagePostsAtOnce)
{
  QList<ZPHError> posted;
  auto token = ZPHNotificationCenter::defaultCenter().addObserver(CBLoggableErrorDidHappenNotification, {},
                                                                  [&](const ZPHNotification& n) {
                                                                    posted.append(n.object.value<ZPHError>());
                                                                    EXPECT_TRUE(n.userInfo.isEmpty());
                                                                  });
  ZPHErrors::logErrorMessage("disk full");
  ASSERT_EQ(posted.size(), 1);
  EXPECT_EQ(posted.first().code(), -1);
  EXPECT_EQ(posted.first().localizedDescription(), "disk full");
}

TEST(MimeTypes, TypeForURLString)
{
  const struct {
    const char* url;
    const char* mimeType;  // null: none
  } cases[] = {
      {"http://example.com/a.jpg", "image/jpeg"},
      {"http://example.com/a.png?size=2", "image/png"},
      {"http://example.com/a.gif", "image/gif"},
      {"http://example.com/a.mov", "video/quicktime"},
      {"http://example.com/a.qt", "video/quicktime"},
      {"http://example.com/a.mpg", "video/mpeg"},
      {"http://example.com/a.mp4", "video/mp4"},
      {"http://example.com/a.aiff", "audio/aiff"},
      {"http://example.com/show.mp3?id=1&x=y", "audio/mp3"},
      {"http://example.com/a.m4a", "audio/x-m4a"},
      {"http://example.com/a.m4v", "video/x-m4v"},
      {"http://example.com/a.MP3", nullptr},
      {"http://example.com/a.pls", nullptr},
      {"http://example.com/a.html", nullptr},
      {"http://example.com/a.mp3/", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    const QString type = CBMimeTypeForURLString(c.url);
    if (c.mimeType == nullptr)
      EXPECT_TRUE(type.isNull()) << c.url;
    else
      EXPECT_EQ(type, c.mimeType) << c.url;
  }
}

TEST(MimeTypes, MediaKindsDownloadsAndPNG)
{
  const struct {
    const char* mimeType;
    CBMediaType kind;
  } kinds[] = {
      {"video/mp4", CBMediaTypeVideo}, {"x-video/x", CBMediaTypeVideo}, {"audio/mpeg", CBMediaTypeAudio},
      {"x-audio/x", CBMediaTypeAudio}, {"image/png", CBMediaTypeImage}, {"x-image/x", CBMediaTypeImage},
      {"text/html", CBMediaTypeText},  {"x-text/x", CBMediaTypeText},   {"application/pdf", CBMediaTypeNone},
      {"", CBMediaTypeNone},           {"Video/mp4", CBMediaTypeNone},
  };
  for (const auto& c : kinds) EXPECT_EQ(CBMediaTypeForMimeType(c.mimeType), c.kind) << c.mimeType;
  EXPECT_EQ(CBMediaTypeForMimeType(QString()), CBMediaTypeNone);

  const struct {
    const char* url;
    bool downloadable;
  } urls[] = {
      {"http://example.com/", true}, {"HTTPS://example.com/", true}, {"FEED://example.com/rss", true},
      {"file:///etc/passwd", false}, {"ftp://example.com/", false},  {"", false},
  };
  for (const auto& c : urls) EXPECT_EQ(CBURLIsDownloadable(QUrl(c.url)), c.downloadable) << c.url;

  EXPECT_FALSE(CBDataIsPNG(QByteArray("\x89PNG\r\n\x1a", 7)));
  EXPECT_TRUE(CBDataIsPNG(QByteArray("\x89PNG\r\n\x1a\n", 8)));
}
