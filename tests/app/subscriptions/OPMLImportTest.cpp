#include "SubscriptionsStoreFixture.h"

#include "app/shell/AppHarness.h"
#include "core/store/graph/KillMidSave.h"
#include "store/CBDataController.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHPersistentStore.h"
#include "subscriptions/ZPHImportOPMLController.h"
#include "subscriptions/ZPHOPMLImporter.h"

#include <QtCore/QProcess>
#include <QtCore/QStorageInfo>
#include <QtCore/QStringEncoder>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QWidget>

#include <sys/resource.h>

#include <csignal>
#include <cstdio>

namespace {

QByteArray opml(const QByteArray& body, const QByteArray& declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>")
{
  return declaration + "\n<opml version=\"2.0\"><head><title>Subscriptions</title></head><body>\n" + body +
         "\n</body></opml>\n";
}

QByteArray utf16WithBOM(const QString& text)
{
  QByteArray bytes("\xFF\xFE", 2);
  for (const QChar c : text) {
    bytes.append(char(c.unicode() & 0xFF));
    bytes.append(char(c.unicode() >> 8));
  }
  return bytes;
}

// `folders` folders of `perFolder` feeds each.
QByteArray largeSubscriptionList(int folders, int perFolder)
{
  QByteArray body;
  for (int f = 0; f < folders; ++f) {
    body += "<outline text=\"Folder " + QByteArray::number(f) + "\">";
    for (int n = 0; n < perFolder; ++n) {
      const QByteArray number = QByteArray::number(f * perFolder + n);
      body += "<outline text=\"Feed " + number + "\" xmlUrl=\"http://feed" + number + ".test/rss\"/>";
    }
    body += "</outline>\n";
  }
  return opml(body);
}

class OPMLImport : public SubscriptionsStoreFixture {
protected:
  ImportOutcome importBytes(const QByteArray& bytes, const QString& name = QStringLiteral("list.opml"))
  {
    return runImport(std::make_shared<ZPHOPMLImporter>(dir.writeFile(name, bytes)));
  }

  // Imports 4,000 feeds in 80 folders through the import controller, as the
  // user would, into a store with one feed, while what `fillTheDisk`
  // answers lives (the disk is full then), and expects the import to fail
  // as a whole and the alert to say so (its text goes to the output too).
  void importOntoAFullDisk(const std::function<std::shared_ptr<void>()>& fillTheDisk)
  {
    addFeed(QStringLiteral("http://known.test/feed"), nullptr, QStringLiteral("Known"));
    const QString before = storedTree();
    const QString file = dir.writeFile(QStringLiteral("big.opml"), largeSubscriptionList(80, 50));
    QWidget window;
    ZPHImportOPMLController controller;
    QList<CBFeed*> completed = {nullptr};
    {
      const std::shared_ptr<void> full = fillTheDisk();
      controller.runOPMLImportWithFileURL(file, &window, [&](const QList<CBFeed*>& feeds) { completed = feeds; });
      ASSERT_TRUE(
          ZPHTestWaitUntil([&] { return controller.errorAlert() != nullptr || !controller.isImporting(); }, 120000));
    }
    QMessageBox* alert = controller.errorAlert();
    ASSERT_NE(alert, nullptr) << "the import was reported as a success";
    std::printf("%s\n", qPrintable(alert->informativeText()));
    EXPECT_EQ(alert->text(), QStringLiteral("OPML Import Error"));
    EXPECT_TRUE(alert->informativeText().startsWith(QLatin1String("There was a problem importing your OPML file.")));
    EXPECT_TRUE(alert->informativeText().endsWith(QLatin1String("None of it was imported.")));
    alert->accept();
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.isImporting(); }));
    EXPECT_TRUE(completed.isEmpty());
    EXPECT_TRUE(delegate.coreDataFailures().isEmpty());
    EXPECT_EQ(liveTree(), before);
    EXPECT_EQ(storedTree(), before);
    ZPHError error;
    EXPECT_TRUE(ZPHPersistentStore::checkIntegrityOfConnection(mainContext()->persistentStore()->connection(), &error))
        << error.toString().toStdString();
  }
};

// An importer whose work ends in the ways the base must survive.
class MisbehavingImporter : public ZPHImporter {
public:
  enum class Kind { ReturnsWithoutFinishing, Throws, FinishesTwice };
  explicit MisbehavingImporter(Kind kind) : m_kind(kind) {}
  bool importIsCurrentlyPossible() const override { return true; }

protected:
  void runImportOnImportQueueWithTemporaryImportMOC(ZPHManagedObjectContext*) override
  {
    reportProgressOnImportQueueWithProgressValue(40);
    switch (m_kind) {
      case Kind::ReturnsWithoutFinishing:
        return;
      case Kind::Throws:
        throw std::runtime_error("broken importer");
      case Kind::FinishesTwice:
        finishImportSuccessfullyOnImportQueueWithImportedFeeds({}, {});
        finishImportOnImportQueueWithError(ZPHError(QStringLiteral("Test"), 7), {}, {});
        return;
    }
  }

private:
  Kind m_kind;
};

}  // namespace

TEST_F(OPMLImport, EachStyleGivesItsTree)
{
  addFeed(QStringLiteral("http://known.test/feed"), nullptr, QStringLiteral("Known"));
  const QString known = QStringLiteral("Known http://known.test/feed");
  struct Case {
    const char* style;
    QByteArray file;
    QString tree;  // after the known feed
    int imported;
    int duplicates;
  };
  const QString e = QStringLiteral("\u00e9");
  const QList<Case> cases = {
      {"flat, text only",
       opml("<outline text=\"Alpha\" type=\"rss\" xmlUrl=\"http://a.test/feed\"/>"
            "<outline text=\"Beta\" type=\"rss\" xmlUrl=\"http://b.test/feed\"/>"),
       QStringLiteral("Alpha http://a.test/feed, Beta http://b.test/feed"), 2, 0},
      {"folders three deep",
       opml("<outline text=\"One\"><outline text=\"Two\"><outline text=\"Three\">"
            "<outline text=\"Deep\" xmlUrl=\"http://deep.test/rss\"/></outline></outline></outline>"),
       QStringLiteral("One[Two[Three[Deep http://deep.test/rss]]]"), 1, 0},
      {"title without text, and neither",
       opml("<outline title=\"Titled\" xmlUrl=\"http://t.test/\"/><outline xmlUrl=\"http://n.test/\"/>"
            "<outline><outline text=\"In\" xmlUrl=\"http://in.test/\"/></outline>"),
       QStringLiteral("Titled http://t.test/, Untitled http://n.test/, Untitled[In http://in.test/]"), 3, 0},
      {"xmlUrl in any case and under a feed",
       opml("<outline text=\"Up\" XMLURL=\"http://up.test/\"><outline text=\"Low\" xmlurl=\"http://low.test/\"/>"
            "</outline>"),
       QStringLiteral("Up http://up.test/, Low http://low.test/"), 2, 0},
      {"type rss, atom or none; a category",
       opml("<outline text=\"R\" type=\"rss\" xmlUrl=\"http://r.test/\" category=\"/News\"/>"
            "<outline text=\"A\" type=\"atom\" xmlUrl=\"http://a.test/\"/>"
            "<outline text=\"N\" xmlUrl=\"http://n.test/\" category=\"Tech,Misc\"/>"),
       QStringLiteral("R http://r.test/, A http://a.test/, N http://n.test/"), 3, 0},
      {"feed:// and extra attributes of its own",
       opml("<outline text=\"F\" xmlns:x=\"urn:x\" x:id=\"7\" description=\"d\" version=\"RSS2\" "
            "htmlUrl=\"http://f.test/\" xmlUrl=\"feed://f.test/rss\"/>"),
       QStringLiteral("F http://f.test/rss"), 1, 0},
      {"a URL twice and one already subscribed",
       opml("<outline text=\"Folder\"><outline text=\"Twice\" xmlUrl=\"http://twice.test/feed\"/></outline>"
            "<outline text=\"Again\" xmlUrl=\" HTTP://TWICE.test/feed \"/>"
            "<outline text=\"Known again\" xmlUrl=\"feed://known.test/feed\"/>"),
       QStringLiteral("Folder[Twice http://twice.test/feed]"), 1, 1},
      {"ISO-8859-1",
       opml("<outline text=\"Caf\xe9\" xmlUrl=\"http://latin.test/\"/>",
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"),
       QStringLiteral("Caf%1 http://latin.test/").arg(e), 1, 0},
      {"windows-1252",
       opml("<outline text=\"\x93Quoted\x94 \x80\" xmlUrl=\"http://win.test/\"/>",
            "<?xml version=\"1.0\" encoding=\"windows-1252\"?>"),
       QStringLiteral("\u201cQuoted\u201d \u20ac http://win.test/"), 1, 0},
      {"UTF-16 with its mark",
       utf16WithBOM(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><opml version=\"1.0\"><body>"
                                   "<outline text=\"Sixteen %1\" xmlUrl=\"http://sixteen.test/\"/></body></opml>")
                        .arg(e)),
       QStringLiteral("Sixteen %1 http://sixteen.test/").arg(e), 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    // Each file into a store with only the known feed.
    closeStore();
    QDir(delegate.pathToDataFolder()).removeRecursively();
    QDir().mkpath(delegate.pathToDataFolder());
    openStore();
    addFeed(QStringLiteral("http://known.test/feed"), nullptr, QStringLiteral("Known"));

    const ImportOutcome outcome = importBytes(c.file);
    EXPECT_TRUE(outcome.error.isNull()) << outcome.error.toString().toStdString();
    EXPECT_EQ(outcome.imported.size(), c.imported);
    EXPECT_EQ(outcome.duplicates.size(), c.duplicates);
    // The rows the import added in place are those the store gives again.
    const QString live = liveTree();
    EXPECT_EQ(storedTree(), known + QStringLiteral(", ") + c.tree);
    EXPECT_EQ(live, storedTree());
  }
}

TEST_F(OPMLImport, FoldersOfTheSameNameAreMergedAndEmptyOnesNotMade)
{
  CBFolder* news = account()->addFolderWithName(QStringLiteral("News"));
  addFeed(QStringLiteral("http://old.test/"), news, QStringLiteral("Old"));
  const ImportOutcome outcome =
      importBytes(opml("<outline text=\"News\"><outline text=\"New\" xmlUrl=\"http://new.test/\"/></outline>"
                       "<outline text=\"Empty\"></outline>"
                       "<outline text=\"Only known\"><outline text=\"O\" xmlUrl=\"http://old.test/\"/></outline>"));
  EXPECT_TRUE(outcome.error.isNull());
  EXPECT_EQ(outcome.imported.size(), 1);
  ASSERT_EQ(outcome.duplicates.size(), 1);
  EXPECT_EQ(outcome.duplicates.first()->nameForDisplay(), "Old");
  const QString live = liveTree();
  EXPECT_EQ(storedTree(), "News[Old http://old.test/, New http://new.test/]");
  EXPECT_EQ(live, storedTree());
}

TEST_F(OPMLImport, HostileFilesEndAsTheyShouldAndChangeNothingWhenTheyFail)
{
  addFeed(QStringLiteral("http://known.test/feed"), nullptr, QStringLiteral("Known"));
  const QString before = storedTree();

  QByteArray deep;
  for (int i = 0; i < 2000; ++i) deep += "<outline text=\"d\">";
  deep += "<outline text=\"x\" xmlUrl=\"http://deep.test/\"/>";
  for (int i = 0; i < 2000; ++i) deep += "</outline>";
  QByteArray huge = "<outline text=\"";
  huge += QByteArray(10 * 1024 * 1024, 'h');
  huge += "\" xmlUrl=\"http://huge.test/\"/>";
  const QByteArray good = "<outline text=\"Good\" xmlUrl=\"http://good.test/\"/>";
  const QByteArray billionLaughs =
      "<?xml version=\"1.0\"?><!DOCTYPE opml [<!ENTITY lol \"lol\">"
      "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
      "<!ENTITY lol2 \"&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;\">"
      "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">"
      "<!ENTITY lol4 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">"
      "<!ENTITY lol5 \"&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;\">"
      "<!ENTITY lol6 \"&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;\">"
      "<!ENTITY lol7 \"&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;\">"
      "<!ENTITY lol8 \"&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;\">"
      "<!ENTITY lol9 \"&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;\">]>"
      "<opml><body><outline text=\"&lol9;\" xmlUrl=\"http://laughs.test/\"/></body></opml>";
  const QByteArray externalEntity = "<?xml version=\"1.0\"?><!DOCTYPE opml [<!ENTITY xxe SYSTEM \"file://" +
                                    dir.writeFile(QStringLiteral("secret.txt"), "SECRET").toUtf8() +
                                    "\">]><opml><body><outline text=\"&xxe;\" xmlUrl=\"http://xxe.test/\"/>"
                                    "</body></opml>";
  QDir().mkpath(dir.filePath(QStringLiteral("folder.opml")));

  struct Case {
    const char* what;
    QString path;
    qint64 code;    // 0: imports
    QString added;  // the tree after the known feed, when it imports
  };
  const auto file = [&](const char* name, const QByteArray& bytes) {
    return dir.writeFile(QString::fromLatin1(name), bytes);
  };
  const QList<Case> cases = {
      {"empty", file("empty.opml", ""), ZPHOPMLImporterErrorEmptyFile, {}},
      {"missing", dir.filePath(QStringLiteral("missing.opml")), ZPHOPMLImporterErrorCannotRead, {}},
      {"a folder", dir.filePath(QStringLiteral("folder.opml")), ZPHOPMLImporterErrorCannotRead, {}},
      {"not XML", file("junk.opml", "this is not XML at all { }"), ZPHOPMLImporterErrorNotOPML, {}},
      {"cut off", file("cut.opml", opml(good).left(opml(good).size() - 20)), ZPHOPMLImporterErrorNotOPML, {}},
      {"2,000 deep", file("deep.opml", opml(deep)), ZPHOPMLImporterErrorNotOPML, {}},
      {"a 10 MB name", file("huge.opml", opml(huge)), ZPHOPMLImporterErrorNotOPML, {}},
      {"billion laughs", file("laughs.opml", billionLaughs), ZPHOPMLImporterErrorNotOPML, {}},
      {"external entity", file("xxe.opml", externalEntity), ZPHOPMLImporterErrorNotOPML, {}},
      {"an entity never declared",
       file("undeclared.opml", opml("<outline text=\"&lol9;\" xmlUrl=\"http://laughs.test/\"/>")),
       ZPHOPMLImporterErrorNotOPML,
       {}},
      {"HTML's names and escaped text",
       file("names.opml", opml("<outline text=\"Caf&eacute; &amp;lol9; &#38;x;\" xmlUrl=\"http://names.test/\"/>")), 0,
       QStringLiteral("Caf\u00E9 &lol9; &x; http://names.test/")},
      {"javascript:, file: and data: addresses",
       file("schemes.opml", opml("<outline text=\"J\" xmlUrl=\"javascript:alert(1)\"/>"
                                 "<outline text=\"F\" xmlUrl=\"file:///etc/passwd\"/>"
                                 "<outline text=\"D\" xmlUrl=\"data:text/xml,&lt;rss/&gt;\"/>" +
                                 good)),
       0, QStringLiteral("Good http://good.test/")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    closeStore();
    QDir(delegate.pathToDataFolder()).removeRecursively();
    QDir().mkpath(delegate.pathToDataFolder());
    openStore();
    addFeed(QStringLiteral("http://known.test/feed"), nullptr, QStringLiteral("Known"));

    const ImportOutcome outcome = runImport(std::make_shared<ZPHOPMLImporter>(c.path));
    if (c.code == 0) {
      EXPECT_TRUE(outcome.error.isNull()) << outcome.error.toString().toStdString();
      EXPECT_EQ(storedTree(), before + QStringLiteral(", ") + c.added);
    } else {
      EXPECT_EQ(outcome.error.domain(), ZPHOPMLImporterErrorDomain);
      EXPECT_EQ(outcome.error.code(), c.code) << outcome.error.toString().toStdString();
      EXPECT_TRUE(outcome.imported.isEmpty());
      EXPECT_EQ(storedTree(), before);
    }
  }
}

TEST_F(OPMLImport, ProgressRisesToOneFinal100)
{
  QByteArray body;
  for (int i = 0; i < 7; ++i)
    body += "<outline text=\"F" + QByteArray::number(i) + "\" xmlUrl=\"http://p" + QByteArray::number(i) + ".test/\"/>";
  body += "<outline text=\"Dup\" xmlUrl=\"http://p1.test/\"/>";
  const ImportOutcome outcome = importBytes(opml(body));
  ASSERT_TRUE(outcome.error.isNull());
  EXPECT_EQ(outcome.imported.size(), 7);
  ASSERT_FALSE(outcome.progress.isEmpty());
  EXPECT_EQ(outcome.progress.count(100.0), 1);
  EXPECT_EQ(outcome.progress.constLast(), 100.0);
  for (qsizetype i = 0; i < outcome.progress.size(); ++i) {
    EXPECT_GE(outcome.progress.at(i), 0.0);
    EXPECT_LE(outcome.progress.at(i), 100.0);
    if (i > 0) {
      EXPECT_GT(outcome.progress.at(i), outcome.progress.at(i - 1));
    }
  }

  // A file without feeds reports 10 and the final 100.
  const ImportOutcome empty = importBytes(opml("<outline text=\"Nothing\"/>"), QStringLiteral("none.opml"));
  EXPECT_TRUE(empty.error.isNull());
  EXPECT_TRUE(empty.imported.isEmpty());
  EXPECT_EQ(empty.progress.constLast(), 100.0);
}

TEST_F(OPMLImport, WorkQueuedDuringAnImportRunsAfterItsCompletion)
{
  QByteArray body;
  for (int i = 0; i < 50; ++i)
    body += "<outline text=\"F" + QByteArray::number(i) + "\" xmlUrl=\"http://q" + QByteArray::number(i) + ".test/\"/>";
  auto importer = std::make_shared<ZPHOPMLImporter>(dir.writeFile(QStringLiteral("q.opml"), opml(body)));
  bool completed = false;
  std::atomic<bool> blockRan{false};
  bool blockSawCompletion = false;
  importer->importWithCompletionHandler(
      [&](const QList<CBFeed*>&, const QList<CBFeed*>&, const ZPHError&) { completed = true; });
  // As a refresh's save would be queued meanwhile.
  controller->addMainThreadCoreDataQueueBlock([&] {
    blockSawCompletion = completed;
    blockRan = true;
  });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return blockRan.load(); }, 60000));
  EXPECT_TRUE(blockSawCompletion);
}

TEST_F(OPMLImport, AnImporterThatDoesNotFinishFreesTheQueueOnce)
{
  struct Case {
    const char* what;
    MisbehavingImporter::Kind kind;
    bool generic;
  };
  const Case cases[] = {
      {"returns without finishing", MisbehavingImporter::Kind::ReturnsWithoutFinishing, true},
      {"throws", MisbehavingImporter::Kind::Throws, true},
      {"finishes twice", MisbehavingImporter::Kind::FinishesTwice, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ImportOutcome outcome = runImport(std::make_shared<MisbehavingImporter>(c.kind));
    EXPECT_EQ(outcome.completions, 1);
    if (c.generic) {
      EXPECT_EQ(outcome.error, ZPHImporter::genericImportError());
    } else {
      EXPECT_TRUE(outcome.error.isNull());
    }
    EXPECT_EQ(outcome.progress.constLast(), 100.0);
    std::atomic<bool> ran{false};
    controller->addCoreDataQueueBlock([&] { ran = true; }, {});
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return ran.load(); }, 30000));
  }
}

TEST_F(OPMLImport, ImportedFeedsAreAnnouncedOnceForRefreshing)
{
  QList<int> announced;
  ZPHObserverToken observer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedsAddedNotification, QVariant(), [&](const ZPHNotification& notification) {
        if (notification.userInfo.contains(ZPHFeedsKey))
          announced.append(int(notification.userInfo.value(ZPHFeedsKey).toList().size()));
      });
  importBytes(opml("<outline text=\"A\" xmlUrl=\"http://a.test/\"/><outline text=\"B\" xmlUrl=\"http://b.test/\"/>"));
  EXPECT_EQ(announced, QList<int>{2});
  // Nothing new: nothing announced.
  importBytes(opml("<outline text=\"A\" xmlUrl=\"http://a.test/\"/>"), QStringLiteral("again.opml"));
  EXPECT_EQ(announced, QList<int>{2});
}

// The disk fills while a large import is saved, as the files may grow no
// further: the import fails as a whole, the store is as it was (and no reason
// to set it aside), and the user is told.
TEST_F(OPMLImport, OnADiskThatFillsTheImportFailsWholeAndSaysSo)
{
  ASSERT_NO_FATAL_FAILURE(importOntoAFullDisk([this] {
    const QString store = QDir(delegate.pathToDataFolder()).filePath(QStringLiteral("Articles"));
    auto full = std::make_shared<ZPHTestFileSizeLimit>(
        std::max(QFileInfo(store).size(), QFileInfo(store + QStringLiteral("-wal")).size()) + 256 * 1024);
    EXPECT_TRUE(full->applied());
    return full;
  }));
}

namespace {

constexpr char SmallDiskVariable[] = "ZPH_OPML_IMPORT_SMALL_DISK";

// The store on a small tmpfs of the child's own, filled up but for a little.
class OPMLImportOnASmallDisk : public OPMLImport {
protected:
  void SetUp() override
  {
    const QString disk = qEnvironmentVariable(SmallDiskVariable);
    if (disk.isEmpty())
      GTEST_SKIP() << "runs only as the child of OnASmallTmpfsTheImportFailsWhole";
    OPMLImport::SetUp();
    closeStore();
    delegate.setDataFolder(QDir(disk).filePath(QStringLiteral("data")));
    QDir().mkpath(delegate.pathToDataFolder());
    openStore();
  }
};

}  // namespace

// Runs in a mount namespace of its own, started by the test below.
TEST_F(OPMLImportOnASmallDisk, ChildImportsOntoAFullDisk)
{
  ASSERT_NO_FATAL_FAILURE(importOntoAFullDisk([]() -> std::shared_ptr<void> {
    // All the disk's room but a little goes to a file of its own.
    ZPHTestFillDisk(qEnvironmentVariable(SmallDiskVariable), 128 * 1024);
    return nullptr;
  }));
  std::fputs("imported onto a full disk\n", stdout);
}

// A store on a small tmpfs (in a mount namespace of this test's own, so
// nothing outside sees it): the import fails as a whole, the store is as it
// was, and the user is told that the disk is full.
TEST(OPMLImportDiskFullTest, OnASmallTmpfsTheImportFailsWhole)
{
  const ZPHTestSmallDiskRun child =
      ZPHTestRunOnASmallDisk(SmallDiskVariable, QStringLiteral("OPMLImportOnASmallDisk.ChildImportsOntoAFullDisk"), 4);
  if (!child.ran)
    GTEST_SKIP() << "no mount namespace with a tmpfs here: " << child.output.toStdString();
  const QByteArray& output = child.output;
  EXPECT_EQ(child.exitCode, 0) << output.toStdString();
  EXPECT_TRUE(output.contains("imported onto a full disk")) << output.toStdString();
  EXPECT_TRUE(output.contains("The disk is full. None of it was imported.")) << output.toStdString();
}

namespace {

constexpr char ImportKillVariable[] = "ZPH_OPML_IMPORT_KILL_CHILD";

}  // namespace

// Runs in a child process started by the test below: imports 10,000 feeds
// in 200 folders into the store of the folder given, and is killed while the
// import is saved.
TEST(OPMLImportKillSafety, ChildImportsUntilKilled)
{
  const QString dataFolder = qEnvironmentVariable(ImportKillVariable);
  if (dataFolder.isEmpty())
    GTEST_SKIP() << "runs only as the child of AKilledImportLeavesAllOrNothing";
  ZPHTestApplicationDelegate delegate;
  delegate.setDataFolder(dataFolder);
  CBDataController controller;
  delegate.useDataController(&controller);
  ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, nullptr));
  controller.completeSetup();
  auto importer = std::make_shared<ZPHOPMLImporter>(QDir(dataFolder).filePath(QStringLiteral("big.opml")));
  bool done = false;
  std::fputs("saving\n", stdout);
  std::fflush(stdout);
  importer->importWithCompletionHandler([&](const QList<CBFeed*>&, const QList<CBFeed*>&, const ZPHError&) {
    std::fputs("saved\n", stdout);
    std::fflush(stdout);
    done = true;
  });
  ZPHTestWaitUntil([&] { return done; }, 300000);
}

// kill -9 while a large import is saved: the next start finds all of it or
// none of it.
TEST(OPMLImportKillSafetyTest, AKilledImportLeavesAllOrNothing)
{
  ZPHTestTempDir dir;
  const QString data = dir.filePath(QStringLiteral("data"));
  ASSERT_TRUE(QDir().mkpath(data));
  ASSERT_NO_FATAL_FAILURE(ZPHSeedStoreWithFeeds(data, {QUrl(QStringLiteral("http://known.test/feed"))}));
  dir.writeFile(QStringLiteral("data/big.opml"), largeSubscriptionList(200, 50));

  const QString wal = QDir(data).filePath(QStringLiteral("Articles-wal"));
  bool finishedFirst = false;
  ASSERT_NO_FATAL_FAILURE(killChildMidSave(ImportKillVariable, data,
                                           QStringLiteral("OPMLImportKillSafety.ChildImportsUntilKilled"), wal,
                                           &finishedFirst, QFileInfo(wal).size() + 1024 * 1024));

  ZPHTestApplicationDelegate delegate;
  delegate.setDataFolder(data);
  CBDataController controller;
  delegate.useDataController(&controller);
  ZPHError error;
  ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, true, &error)) << error.toString().toStdString();
  ZPHManagedObjectContext* main = controller.mainThreadManagedObjectContext();
  const qint64 feeds = main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameFeed));
  const qint64 folders = main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameFolder));
  if (finishedFirst || feeds > 1) {
    EXPECT_EQ(feeds, 10001);
    EXPECT_EQ(folders, 200);
  } else {
    EXPECT_EQ(feeds, 1);
    EXPECT_EQ(folders, 0);
  }
  delegate.useDataController(nullptr);
}

TEST(OPMLImporterFiles, ExtensionsThatLookLikeSubscriptionLists)
{
  EXPECT_TRUE(ZPHOPMLImporter::fileURLIsProbablyOPMLData(QStringLiteral("/x/list.opml")));
  EXPECT_TRUE(ZPHOPMLImporter::fileURLIsProbablyOPMLData(QStringLiteral("/x/list.xml")));
  EXPECT_FALSE(ZPHOPMLImporter::fileURLIsProbablyOPMLData(QStringLiteral("/x/list.txt")));
  EXPECT_FALSE(ZPHOPMLImporter::fileURLIsProbablyOPMLData(QStringLiteral("/x/opml")));
}
