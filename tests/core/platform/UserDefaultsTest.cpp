#include "platform/ZPHMainThread.h"
#include "platform/ZPHUserDefaults.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QObject>

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
