#include "SubscriptionsStoreFixture.h"

#include "feeds/parsers/ZPHOPMLParser.h"
#include "subscriptions/ZPHOPMLExporter.h"
#include "subscriptions/ZPHOPMLImporter.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QXmlStreamReader>

#include <sys/resource.h>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

class OPMLExport : public SubscriptionsStoreFixture {
protected:
  QByteArray exportData()
  {
    std::optional<QByteArray> data;
    ZPHOPMLExporter::runExportWithCompletionHandler({account()}, [&](const QByteArray& bytes) { data = bytes; });
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return data.has_value(); }, 30000));
    return data.value_or(QByteArray());
  }

  // The store of the round trip: nested folders, a feed without home page,
  // names with markup characters, accents, an emoji, control characters or
  // only spaces, and an empty folder.
  void seedRoundTripStore()
  {
    CBFolder* news = account()->addFolderWithName(QStringLiteral("  News & <Views>  "));
    CBFeed* alpha = addFeed(QStringLiteral("http://alpha.test/feed?a=1&b=2"), news, QStringLiteral("Alpha \"A\" 'a'"));
    alpha->setHomePageURL(QUrl(QStringLiteral("http://alpha.test/")));
    addFeed(QStringLiteral("http://beta.test/rss"), news, QStringLiteral("Caf\u00e9 \U0001F600"));
    CBFolder* outer = account()->addFolderWithName(QStringLiteral("Outer"));
    CBFolder* inner = account()->addFolderWithName(QStringLiteral("Inner"), outer);
    CBFolder* deepest = account()->addFolderWithName(QStringLiteral("Deepest"), inner);
    addFeed(QStringLiteral("https://deep.test/atom.xml"), deepest, QStringLiteral("Bell\u0007 and\ttab\nline"));
    account()->addFolderWithName(QStringLiteral("Empty"));
    addFeed(QStringLiteral("http://spaces.test/"), nullptr, QStringLiteral("   "));
    addFeed(QStringLiteral("http://lone.test/"), nullptr, QStringLiteral("Lone \uFFFE surrogate ") + QChar(0xD800));
    controller->saveMainThreadManagedObjectContext();
    settle();
    account()->loadFeedsAndFoldersFromDisk();
  }
};

}  // namespace

TEST_F(OPMLExport, TheDocumentIsTheGoldenFileParsesStrictlyAndRoundTrips)
{
  seedRoundTripStore();
  const QByteArray first = exportData();
  EXPECT_EQ(first, ZPHTestFixture(QStringLiteral("opml/export-golden.opml"))) << "\n" << first.toStdString();

  // Strictly well-formed XML.
  QXmlStreamReader reader(first);
  int outlines = 0;
  while (!reader.atEnd()) {
    if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("outline"))
      ++outlines;
  }
  EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
  EXPECT_EQ(outlines, 10);
  ZPHError parseError;
  ZPHOPMLParser::xmlParser()->parseData(first, &parseError);
  EXPECT_TRUE(parseError.isNull()) << parseError.toString().toStdString();

  // Into an empty store: the same tree (but the empty folder), under the
  // exported names; exported again, the same bytes.
  const QString exportedTree = storedTree().replace(QStringLiteral(", Empty[]"), QString());
  closeStore();
  delegate.setDataFolder(dir.filePath(QStringLiteral("second")));
  QDir().mkpath(delegate.pathToDataFolder());
  openStore();
  const ImportOutcome outcome =
      runImport(std::make_shared<ZPHOPMLImporter>(dir.writeFile(QStringLiteral("roundtrip.opml"), first)));
  ASSERT_TRUE(outcome.error.isNull()) << outcome.error.toString().toStdString();
  EXPECT_EQ(outcome.imported.size(), 5);
  const QString importedTree = storedTree();
  EXPECT_EQ(
      importedTree,
      QStringLiteral("News & <Views>[Alpha \"A\" 'a' http://alpha.test/feed?a=1&b=2, Caf\u00e9 \U0001F600 "
                     "http://beta.test/rss], Outer[Inner[Deepest[Bell and\ttab\nline https://deep.test/atom.xml]]]"
                     ", Untitled http://spaces.test/, Lone  surrogate http://lone.test/"));
  EXPECT_NE(exportedTree, QString());
  const QByteArray second = exportData();
  EXPECT_EQ(second, QByteArray(first).replace("<outline text=\"Empty\" title=\"Empty\">\n</outline>\n", ""))
      << second.toStdString();
}

TEST_F(OPMLExport, FoldersAndFeedsAsTheListIsWritten)
{
  CBFolder* folder = account()->addFolderWithName(QStringLiteral("F"));
  addFeed(QStringLiteral("http://x.test/"), folder, QStringLiteral("X"));
  account()->addFolderWithName(QStringLiteral("E"));
  controller->saveMainThreadManagedObjectContext();
  settle();
  const QByteArray data = exportData();
  EXPECT_TRUE(
      data.contains("\n<outline text=\"F\" title=\"F\">\n"
                    "\t<outline text=\"X\" title=\"X\" type=\"rss\" version=\"RSS\" xmlUrl=\"http://x.test/\"/>\n"
                    "</outline>\n"
                    "<outline text=\"E\" title=\"E\">\n"
                    "</outline>\n\t</body>\n</opml>\n"))
      << data.toStdString();
  EXPECT_FALSE(data.contains("htmlUrl=\"\""));
}

TEST(OPMLExportValues, CleanedOnceTrimmedAndWithoutWhatXMLForbids)
{
  struct Case {
    QString value;
    QString written;
  };
  const Case cases[] = {
      {QStringLiteral("  a < b & c  "), QStringLiteral("a &lt; b &amp; c")},
      {QStringLiteral("&amp; stays text"), QStringLiteral("&amp;amp; stays text")},
      {QStringLiteral("\"q\" 'a' >"), QStringLiteral("&quot;q&quot; 'a' &gt;")},
      {QStringLiteral("a\tb\nc\rd"), QStringLiteral("a&#9;b&#10;c&#13;d")},
      {QStringLiteral("x\u0001\u001f\uFFFE\uFFFFy"), QStringLiteral("xy")},
      {QStringLiteral("lone ") + QChar(0xDC00) + QStringLiteral(" low"), QStringLiteral("lone  low")},
      {QStringLiteral("pair \U0001F600"), QStringLiteral("pair \U0001F600")},
      {QStringLiteral(" \n "), QString()},
  };
  for (const Case& c : cases) EXPECT_EQ(ZPHOPMLExporter::cleanedValue(c.value), c.written) << c.value.toStdString();
}

TEST(OPMLExportValues, FileNamesCarryTheCalendarYear)
{
  // 30 December 2024 is in the first week of 2025.
  const QString name = ZPHOPMLExporter::fileNameForDate(QStringLiteral("Zephlin Sites"),
                                                        QDateTime(QDate(2024, 12, 30), QTime(15, 5, 9)));
  EXPECT_TRUE(name.startsWith(QStringLiteral("Zephlin Sites 2024-12-30 at 3.05.09 "))) << name.toStdString();
  EXPECT_TRUE(name.endsWith(QStringLiteral(".opml")));
}

TEST(OPMLExportWrites, AWriteCutShortSaysWhyAndLeavesNoFile)
{
  // A file size limit stops the write part way, as a full disk does.
  ZPHTestTempDir dir;
  const QString path = dir.filePath(QStringLiteral("list.opml"));
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 2 * 1024 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  QString reason;
  const bool written = ZPHOPMLExporter::writeData(QByteArray(4 * 1024 * 1024, 'x'), path, &reason);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(reason.toStdString(), std::string(std::strerror(EFBIG)));
  EXPECT_FALSE(QFileInfo::exists(path));
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(OPMLExport, AFailedWriteSaysWhy)
{
  addFeed(QStringLiteral("http://x.test/"), nullptr, QStringLiteral("X"));
  // A file where a folder must go.
  const QString blocker = dir.writeFile(QStringLiteral("blocker"), "file");
  std::optional<std::pair<bool, QString>> answer;
  ZPHOPMLExporter::exportAccountsToFile({account()}, blocker + QStringLiteral("/list.opml"), false,
                                        [&](bool written, const QString& reason) {
                                          answer = {written, reason};
                                        });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return answer.has_value(); }, 30000));
  EXPECT_FALSE(answer->first);
  EXPECT_FALSE(answer->second.isEmpty());

  answer.reset();
  const QString good = dir.filePath(QStringLiteral("list.opml"));
  ZPHOPMLExporter::exportAccountsToFile({account()}, good, false, [&](bool written, const QString& reason) {
    answer = {written, reason};
  });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return answer.has_value(); }, 30000));
  EXPECT_TRUE(answer->first) << answer->second.toStdString();
  EXPECT_EQ(QFile(good).size(), exportData().size());
}
