// tools/feeddump run as a program: its JSON lines and exit statuses.

#include "support/ZPHTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QSet>

#include <gtest/gtest.h>

namespace {

// The tool lands in the same bin folder as the test programs.
QString feedDumpPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/feeddump"); }

QString fixture(const char* name) { return QStringLiteral(ZPH_FIXTURES_DIR "/feeds/") + QLatin1String(name); }

struct FeedDumpRun {
  int exitCode = -1;
  QList<QJsonObject> objects;
  QByteArray standardError;
};

FeedDumpRun runFeedDump(const QStringList& arguments)
{
  FeedDumpRun run;
  QProcess process;
  process.start(feedDumpPath(), arguments);
  EXPECT_TRUE(process.waitForFinished(120000)) << process.errorString().toStdString();
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  run.exitCode = process.exitCode();
  run.standardError = process.readAllStandardError();
  const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (lines[i].isEmpty()) {
      EXPECT_EQ(i, lines.size() - 1) << "empty line inside the output";
      continue;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(lines[i], &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << lines[i].toStdString();
    EXPECT_TRUE(document.isObject()) << lines[i].toStdString();
    run.objects.append(document.object());
  }
  return run;
}

QSet<QString> keysOf(const QJsonObject& object)
{
  const QStringList keys = object.keys();
  return QSet<QString>(keys.begin(), keys.end());
}

const QSet<QString> FeedKeys{"type", "title", "homePageURL", "error", "items"};
const QSet<QString> ItemKeys{
    "guid",       "guidIsPermalink",   "title",        "plainTextTitle", "link",    "permalink",    "content",
    "summary",    "xmlBaseURL",        "author",       "authorEmail",    "pubDate", "dateModified", "categories",
    "enclosures", "mediaThumbnailURL", "thumbnailURL", "mediaCredit",    "preview"};
const QSet<QString> EnclosureKeys{"urlString", "mimeType", "medium", "fileSize", "width", "height"};

void expectShape(const QJsonObject& feed)
{
  EXPECT_EQ(keysOf(feed), FeedKeys);
  for (const QJsonValue& itemValue : feed.value("items").toArray()) {
    const QJsonObject item = itemValue.toObject();
    EXPECT_EQ(keysOf(item), ItemKeys);
    for (const QJsonValue& enclosure : item.value("enclosures").toArray())
      EXPECT_EQ(keysOf(enclosure.toObject()), EnclosureKeys);
  }
}

}  // namespace

TEST(FeedDump, RSSAndAtomFilesGiveOneObjectEach)
{
  ASSERT_TRUE(QFileInfo(feedDumpPath()).isExecutable()) << feedDumpPath().toStdString();
  const FeedDumpRun run = runFeedDump({fixture("rss2.xml"), fixture("atom.xml")});
  EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
  ASSERT_EQ(run.objects.size(), 2);

  const QJsonObject rss = run.objects[0];
  expectShape(rss);
  EXPECT_EQ(rss.value("type"), QJsonValue(0));
  EXPECT_EQ(rss.value("title"), QJsonValue("Example Channel"));
  EXPECT_EQ(rss.value("homePageURL"), QJsonValue("http://example.com/"));
  EXPECT_TRUE(rss.value("error").isNull());
  const QJsonArray rssItems = rss.value("items").toArray();
  ASSERT_EQ(rssItems.size(), 3);
  const QJsonObject first = rssItems[0].toObject();
  EXPECT_EQ(first.value("guid"), QJsonValue("abc"));
  EXPECT_EQ(first.value("guidIsPermalink"), QJsonValue(false));
  EXPECT_EQ(first.value("title"), QJsonValue("First & best"));
  EXPECT_EQ(first.value("content"), QJsonValue("<p>Full <b>body</b></p>"));
  EXPECT_EQ(first.value("preview"), QJsonValue("Full body"));
  EXPECT_TRUE(first.value("permalink").isNull());  // absent is null, not ""
  EXPECT_TRUE(first.value("summary").isNull());
  EXPECT_EQ(first.value("author"), QJsonValue("Jane Writer"));
  EXPECT_EQ(first.value("authorEmail"), QJsonValue("writer@example.com"));
  EXPECT_EQ(first.value("pubDate"), QJsonValue("2003-06-10T04:00:00Z"));  // from GMT
  EXPECT_TRUE(first.value("dateModified").isNull());
  EXPECT_EQ(first.value("categories"), QJsonValue(QJsonArray{"News", "World"}));
  EXPECT_EQ(first.value("mediaThumbnailURL"), QJsonValue("http://example.com/t1.jpg"));
  EXPECT_EQ(first.value("thumbnailURL"), QJsonValue("http://example.com/t1.jpg"));
  EXPECT_EQ(first.value("mediaCredit"), QJsonValue("B"));
  const QJsonArray enclosures = first.value("enclosures").toArray();
  ASSERT_EQ(enclosures.size(), 2);
  EXPECT_EQ(enclosures[0].toObject(), (QJsonObject{{"urlString", "http://example.com/a.mp3"},
                                                   {"mimeType", "audio/mpeg"},
                                                   {"medium", QJsonValue::Null},
                                                   {"fileSize", 1234},
                                                   {"width", 0},
                                                   {"height", 0}}));
  EXPECT_EQ(enclosures[1].toObject().value("medium"), QJsonValue("video"));
  EXPECT_EQ(enclosures[1].toObject().value("width"), QJsonValue(640));
  EXPECT_EQ(enclosures[1].toObject().value("height"), QJsonValue(360));
  const QJsonObject second = rssItems[1].toObject();
  EXPECT_EQ(second.value("guidIsPermalink"), QJsonValue(true));
  EXPECT_EQ(second.value("permalink"), QJsonValue("http://example.com/2"));
  EXPECT_EQ(second.value("plainTextTitle"), QJsonValue(QString::fromUtf8("Café\u00A0time")));  // "&nbsp;"
  EXPECT_EQ(second.value("pubDate"), QJsonValue("2003-12-13T18:30:02Z"));

  const QJsonObject atom = run.objects[1];
  expectShape(atom);
  EXPECT_EQ(atom.value("type"), QJsonValue(1));
  EXPECT_EQ(atom.value("homePageURL"), QJsonValue("http://example.com/home"));
  EXPECT_TRUE(atom.value("error").isNull());
  const QJsonArray atomItems = atom.value("items").toArray();
  ASSERT_EQ(atomItems.size(), 2);
  const QJsonObject entry = atomItems[0].toObject();
  EXPECT_EQ(entry.value("guid"), QJsonValue("urn:uuid:1"));
  EXPECT_EQ(entry.value("link"), QJsonValue("http://elsewhere.example.com/r"));
  EXPECT_EQ(entry.value("permalink"), QJsonValue("http://example.com/blog/a"));
  EXPECT_EQ(entry.value("summary"), QJsonValue("<p>Summary</p>"));
  EXPECT_EQ(entry.value("xmlBaseURL"), QJsonValue("http://example.com/content/"));
  EXPECT_EQ(entry.value("dateModified"), QJsonValue("2005-02-02T00:00:00Z"));
  EXPECT_EQ(entry.value("categories"), QJsonValue(QJsonArray{"tech"}));
  EXPECT_EQ(entry.value("enclosures").toArray().size(), 1);
  EXPECT_EQ(atomItems[1].toObject().value("author"), QJsonValue("Real Person"));
}

TEST(FeedDump, BrokenDocumentsAndPagesAreStillResults)
{
  const FeedDumpRun run = runFeedDump({fixture("truncated.xml"), fixture("html-page.html")});
  EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
  ASSERT_EQ(run.objects.size(), 2);

  const QJsonObject truncated = run.objects[0];
  expectShape(truncated);
  EXPECT_EQ(truncated.value("type"), QJsonValue(0));
  EXPECT_TRUE(truncated.value("error").isString());
  EXPECT_FALSE(truncated.value("error").toString().isEmpty());
  const QJsonArray items = truncated.value("items").toArray();
  ASSERT_GE(items.size(), 2);
  EXPECT_EQ(items[1].toObject().value("title"), QJsonValue("Complete two"));

  EXPECT_EQ(run.objects[1], (QJsonObject{{"type", 2},
                                         {"title", QJsonValue::Null},
                                         {"homePageURL", QJsonValue::Null},
                                         {"error", QJsonValue::Null},
                                         {"items", QJsonArray()}}));
}

TEST(FeedDump, UnreadableFilesExitWithTwo)
{
  ZPHTestTempDir dir;
  const QString missing = dir.filePath("missing.xml");

  const FeedDumpRun alone = runFeedDump({missing});
  EXPECT_EQ(alone.exitCode, 2);
  EXPECT_TRUE(alone.objects.isEmpty());
  EXPECT_TRUE(alone.standardError.contains("missing.xml")) << alone.standardError.toStdString();

  // The readable files around it are still dumped, in order.
  const FeedDumpRun mixed = runFeedDump({fixture("rss1.rdf"), missing, dir.path(), fixture("atom-no-rel.xml")});
  EXPECT_EQ(mixed.exitCode, 2);
  ASSERT_EQ(mixed.objects.size(), 2);
  EXPECT_EQ(mixed.objects[0].value("type"), QJsonValue(0));
  EXPECT_EQ(mixed.objects[1].value("type"), QJsonValue(1));

  EXPECT_EQ(runFeedDump({}).exitCode, 2);
}
