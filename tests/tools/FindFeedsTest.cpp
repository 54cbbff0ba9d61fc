// tools/findfeeds run as a program against the loopback server: its JSON
// lines and exit statuses.

#include "subscribe/ZPHFeedFinder.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>

#include <gtest/gtest.h>

namespace {

QString findFeedsPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/findfeeds"); }

struct FindFeedsRun {
  int exitCode = -1;
  QList<QJsonObject> objects;
  QByteArray standardError;
};

FindFeedsRun runFindFeeds(const QStringList& arguments)
{
  FindFeedsRun run;
  QProcess process;
  process.start(findFeedsPath(), arguments);
  EXPECT_TRUE(process.waitForFinished(120000)) << process.errorString().toStdString();
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  run.exitCode = process.exitCode();
  run.standardError = process.readAllStandardError();
  for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
    if (line.isEmpty())
      continue;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    run.objects.append(document.object());
  }
  return run;
}

ZPHTestHTTPResponse respond(const QByteArray& body)
{
  return ZPHTestHTTPResponse{200, {{"Content-Type", "text/html"}}, body, 0};
}

}  // namespace

TEST(FindFeeds, OneLinePerAddressInTheFindersOrder)
{
  ASSERT_TRUE(QFileInfo(findFeedsPath()).isExecutable()) << findFeedsPath().toStdString();
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  server.route("/", [](const ZPHTestHTTPRequest&) {
    return respond(
        "<html><head><link rel=alternate type=application/rss+xml title=News href=/news.xml>"
        "<link rel=alternate type=application/atom+xml href=/updates.atom></head></html>");
  });
  server.route("/news.xml", [](const ZPHTestHTTPRequest&) {
    return respond("<rss version=\"2.0\"><channel><title>Loopback News</title></channel></rss>");
  });
  server.route("/updates.atom", [](const ZPHTestHTTPRequest&) {
    return respond("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Updates</title></feed>");
  });
  server.route("/plain", [](const ZPHTestHTTPRequest&) { return respond("<html><p>no feeds</p></html>"); });

  const QString site = QStringLiteral("127.0.0.1:%1").arg(server.port());  // typed without a scheme
  const QStringList addresses = {site, server.url("/plain").toString(), QStringLiteral("javascript:alert(1)"),
                                 server.url("/missing").toString()};
  const FindFeedsRun run = runFindFeeds(addresses);
  EXPECT_EQ(run.exitCode, 1) << run.standardError.toStdString();
  ASSERT_EQ(run.objects.size(), 4);
  for (qsizetype i = 0; i < run.objects.size(); ++i) {
    EXPECT_EQ(run.objects[i].keys(), QStringList({"address", "error", "feeds"}));
    EXPECT_EQ(run.objects[i].value("address").toString(), addresses[i]);
  }

  const QJsonObject found = run.objects[0];
  EXPECT_TRUE(found.value("error").isNull());
  EXPECT_EQ(found.value("feeds").toArray(),
            (QJsonArray{QJsonObject{{"url", server.url("/news.xml").toString()}, {"title", "Loopback News"}},
                        QJsonObject{{"url", server.url("/updates.atom").toString()}, {"title", "Updates"}}}));

  const struct {
    qsizetype index;
    int code;
    QString text;
  } failures[] = {
      {1, ZPHFeedFinderErrorNoFeedFound, ZPHFeedFinder::noFeedFoundErrorString()},
      {2, ZPHFeedFinderErrorDownloadFailed, ZPHFeedFinder::notAWebAddressErrorString()},
      {3, ZPHFeedFinderErrorDownloadFailed, ZPHFeedFinder::siteNotAccessibleErrorString()},
  };
  for (const auto& failure : failures) {
    const QJsonObject object = run.objects[failure.index];
    EXPECT_TRUE(object.value("feeds").toArray().isEmpty());
    const QJsonObject error = object.value("error").toObject();
    EXPECT_EQ(error.keys(), QStringList({"code", "text"}));
    EXPECT_EQ(error.value("code").toInt(), failure.code);
    QString text = failure.text;
    text.replace(ZPHFeedFinderFeedNameCaptializedPlaceholder, addresses[failure.index]);
    EXPECT_EQ(error.value("text").toString(), text);
  }
}

TEST(FindFeeds, WithoutAnAddressItSaysHowToUseIt)
{
  const FindFeedsRun run = runFindFeeds({});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(run.objects.isEmpty());
  EXPECT_TRUE(run.standardError.contains("usage"));
}
