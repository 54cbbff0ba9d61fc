#include "platform/ZPHMainThread.h"
#include "platform/ZPHUserDefaults.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QObject>
#include <QtCore/QProcess>

#include <gtest/gtest.h>

#include <thread>

TEST(UserDefaults, RegisteredDefaultsAnswerUntilAValueIsStored)
{
  ZPHTestTempDir dir;
  ZPHUserDefaults defaults(dir.filePath("Zephlin.conf"));
  defaults.registerDefaults({{"refreshFeedsInterval", 30}, {"showUnread", true}, {"name", "x"}});

  EXPECT_EQ(defaults.integerForKey("refreshFeedsInterval"), 30);
  EXPECT_TRUE(defaults.boolForKey("showUnread"));
  EXPECT_FALSE(defaults.hasStoredValue("refreshFeedsInterval"));

  defaults.setInteger("refreshFeedsInterval", 15);
  defaults.setBool("showUnread", false);
  EXPECT_EQ(defaults.integerForKey("refreshFeedsInterval"), 15);
  EXPECT_FALSE(defaults.boolForKey("showUnread"));

  defaults.removeObject("refreshFeedsInterval");
  EXPECT_EQ(defaults.integerForKey("refreshFeedsInterval"), 30);
  EXPECT_FALSE(defaults.boolForKey("missing"));
  EXPECT_EQ(defaults.integerForKey("missing"), 0);
  EXPECT_TRUE(defaults.stringForKey("missing").isNull());
}

TEST(UserDefaults, ValuesSurviveAReopenWithTheirTypesReadBack)
{
  ZPHTestTempDir dir;
  const QString file = dir.filePath("Zephlin.conf");
  {
    ZPHUserDefaults defaults(file);
    defaults.setBool("flag", true);
    defaults.setInteger("count", 42);
    defaults.setDouble("ratio", 0.25);
    defaults.setObject("list", QStringList{"a", "b"});
    defaults.setObject("map", QVariantMap{{"k", 1}});
    defaults.synchronize();
  }
  ZPHUserDefaults reopened(file);
  EXPECT_TRUE(reopened.boolForKey("flag"));
  EXPECT_EQ(reopened.integerForKey("count"), 42);
  EXPECT_DOUBLE_EQ(reopened.doubleForKey("ratio"), 0.25);
  EXPECT_EQ(reopened.stringArrayForKey("list"), (QStringList{"a", "b"}));
  EXPECT_EQ(reopened.dictionaryForKey("map").value("k").toInt(), 1);
}

TEST(UserDefaults, ObserversRunOnTheMainThreadForWritesFromAnyThread)
{
  ZPHTestTempDir dir;
  ZPHUserDefaults defaults(dir.filePath("Zephlin.conf"));
  defaults.registerDefaults({{"k", "default"}});
  QObject context;
  QStringList seen;
  bool allOnMain = true;
  defaults.observe("k", &context, [&](const QVariant& value) {
    allOnMain = allOnMain && ZPHMainThread::isMainThread();
    seen << value.toString();
  });

  defaults.setString("k", "main");
  EXPECT_EQ(seen, QStringList{"main"});  // at once on the main thread

  std::thread([&] { defaults.setString("k", "worker"); }).join();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return seen.size() == 2; }));
  defaults.removeObject("k");
  defaults.setString("other", "ignored");
  EXPECT_EQ(seen, (QStringList{"main", "worker", "default"}));
  EXPECT_TRUE(allOnMain);
}

namespace {
constexpr char LateWriterVariable[] = "ZPH_USER_DEFAULTS_CHILD";
}  // namespace

// Runs in a child process started by the test below: writes through the
// process-wide defaults, from a worker thread and from the main thread,
// with no event loop turning any more, and exits.
TEST(UserDefaultsChild, WritesAfterTheLastTurnOfTheEventLoop)
{
  const QByteArray folder = qgetenv(LateWriterVariable);
  if (folder.isEmpty())
    GTEST_SKIP() << "runs only as the child of ValuesWrittenLateReachTheDisk";
  qputenv("XDG_CONFIG_HOME", folder);
  std::thread([] { ZPHUserDefaults::standardUserDefaults().setString("fromWorker", "w"); }).join();
  ZPHUserDefaults::standardUserDefaults().setInteger("fromMain", 7);
}

TEST(UserDefaults, ValuesWrittenLateReachTheDisk)
{
  ZPHTestTempDir dir;
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QString::fromLatin1(LateWriterVariable), dir.path());
  child.setProcessEnvironment(environment);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=UserDefaultsChild.WritesAfterTheLastTurnOfTheEventLoop")});
  ASSERT_TRUE(child.waitForFinished(60000));
  ASSERT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
  ZPHUserDefaults written(dir.filePath(QStringLiteral("Fernhollow/Zephlin.conf")));
  EXPECT_EQ(written.stringForKey("fromWorker"), QStringLiteral("w"));
  EXPECT_EQ(written.integerForKey("fromMain"), 7);
}
