#include "foundation/CBPrefs.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHUserDefaults.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QFile>
#include <QtCore/QSettings>
#include <QtCore/QStringList>
#include <QtCore/QTimeZone>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

// Every test works on the process's standard defaults (in the test run's
// temporary settings folder) with keys of its own.

TEST(Prefs, AbsentKeysAnswerZeroFalseEmptyAndNil)
{
  const QString key = QStringLiteral("PrefsTest.absent");
  EXPECT_EQ(CBPrefsGetInt(key), 0);
  EXPECT_FALSE(CBPrefsGetBool(key));
  EXPECT_EQ(CBPrefsGetString(key), QString());
  EXPECT_FALSE(CBPrefsGetString(key).isNull());
  EXPECT_FALSE(CBPrefsGetObject(key).isValid());
  EXPECT_FALSE(CBPrefsGetCalendarDate(key).isValid());
}

TEST(Prefs, SettersStoreWhatGettersRead)
{
  const QString key = QStringLiteral("PrefsTest.values");
  CBPrefsSetInt(-42, key);
  EXPECT_EQ(CBPrefsGetInt(key), -42);
  CBPrefsSetInt(Q_INT64_C(1) << 40, key);
  EXPECT_EQ(CBPrefsGetInt(key), Q_INT64_C(1) << 40);

  CBPrefsSetBool(true, key);
  EXPECT_TRUE(CBPrefsGetBool(key));
  CBPrefsToggleBool(key);
  EXPECT_FALSE(CBPrefsGetBool(key));
  CBPrefsToggleBool(key);
  EXPECT_TRUE(CBPrefsGetBool(key));

  CBPrefsSetString(QStringLiteral("Zephlin"), key);
  EXPECT_EQ(CBPrefsGetString(key), QStringLiteral("Zephlin"));
  CBPrefsSetString(QStringLiteral(""), key);  // empty is a value, not a removal
  EXPECT_TRUE(CBPrefsGetObject(key).isValid());

  CBPrefsSetObject(QStringList{QStringLiteral("a"), QStringLiteral("b")}, key);
  EXPECT_EQ(CBPrefsGetObject(key).toStringList(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST(Prefs, NilObjectKeepsTheValueWhileNilStringRemovesIt)
{
  const QString key = QStringLiteral("PrefsTest.nil");
  CBPrefsSetString(QStringLiteral("kept"), key);
  CBPrefsSetObject(QVariant(), key);
  CBPrefsSetObject(QVariant::fromValue(nullptr), key);
  EXPECT_EQ(CBPrefsGetString(key), QStringLiteral("kept"));

  CBPrefsSetString(QString(), key);
  EXPECT_FALSE(CBPrefsGetObject(key).isValid());
  EXPECT_EQ(CBPrefsGetString(key), QString());
  EXPECT_FALSE(ZPHUserDefaults::standardUserDefaults().hasStoredValue(key));
}

TEST(Prefs, KeyPathsStartWithValues)
{
  EXPECT_EQ(CBUserDefaultsPathWithKey(ZPHHideReadArticles), QStringLiteral("values.ZPHHideReadArticles"));
  EXPECT_EQ(CBUserDefaultsPathWithKey(QString()), QStringLiteral("values."));
}

TEST(Prefs, CalendarDateReadsStoredDatesAndPhrases)
{
  const QTimeZone local(3600);
  const QDateTime now(QDate(2024, 3, 1), QTime(10, 0), local);
  const QString key = QStringLiteral("PrefsTest.date");

  CBPrefsSetString(QStringLiteral("tomorrow"), key);
  EXPECT_EQ(CBPrefsGetCalendarDate(key, now), QDateTime(QDate(2024, 3, 2), QTime(10, 0), local));

  const QDateTime stored(QDate(2002, 9, 7), QTime(0, 0, 1), QTimeZone::utc());
  CBPrefsSetObject(stored, key);
  const QDateTime read = CBPrefsGetCalendarDate(key, now);
  EXPECT_EQ(read, stored);
  EXPECT_EQ(read.timeZone(), local);

  CBPrefsSetInt(42, key);
  EXPECT_FALSE(CBPrefsGetCalendarDate(key, now).isValid());
  CBPrefsSetString(QStringLiteral("not a date"), key);
  EXPECT_FALSE(CBPrefsGetCalendarDate(key, now).isValid());
}

TEST(Prefs, SetOnMainThreadFromAWorkerWaitsAndNilRemoves)
{
  const QString key = QStringLiteral("PrefsTest.fromWorker");
  std::atomic<bool> done{false};
  QString seenByWorkerAfterSet = QStringLiteral("unset");
  bool storedAfterRemoval = true;
  int changesOnMain = 0;

  QObject context;
  ZPHUserDefaults::standardUserDefaults().observe(key, &context, [&](const QVariant&) {
    if (ZPHMainThread::isMainThread())
      ++changesOnMain;
  });

  std::thread worker([&] {
    CBPrefsSetObjectForKeyOnMainThread(QStringLiteral("from worker"), key, true);
    seenByWorkerAfterSet = CBPrefsGetString(key);
    CBPrefsSetObjectForKeyOnMainThread(QVariant(), key, true);
    storedAfterRemoval = ZPHUserDefaults::standardUserDefaults().hasStoredValue(key);
    CBPrefsSynchronizeOnMainThread(true);
    done = true;
  });
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return done.load(); }));
  worker.join();

  EXPECT_EQ(seenByWorkerAfterSet, QStringLiteral("from worker"));
  EXPECT_FALSE(storedAfterRemoval);
  EXPECT_EQ(changesOnMain, 2);
}

TEST(Prefs, SetOnMainThreadRunsAtOnceWhenWaitingElseLater)
{
  const QString key = QStringLiteral("PrefsTest.onMain");
  CBPrefsSetObjectForKeyOnMainThread(7, key, true);
  EXPECT_EQ(CBPrefsGetInt(key), 7);

  CBPrefsSetObjectForKeyOnMainThread(8, key, false);
  EXPECT_EQ(CBPrefsGetInt(key), 7);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return CBPrefsGetInt(key) == 8; }));

  CBPrefsSetObjectForKeyOnMainThread(QVariant(), key, false);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return !CBPrefsGetObject(key).isValid(); }));
}

TEST(Prefs, SynchronizeWritesTheSettingsFile)
{
  const QString key = QStringLiteral("PrefsTest.synchronized");
  CBPrefsSetString(QStringLiteral("on disk"), key);
  CBPrefsSynchronize();
  QFile file(QSettings().fileName());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("PrefsTest.synchronized=on disk"));
}

TEST(Prefs, ObserversGetTheKeyPathUntilRemovedOrDestroyed)
{
  const QString key = QStringLiteral("PrefsTest.observed");
  auto observer = std::make_unique<QObject>();
  QStringList calls;
  bool allOnMain = true;
  const auto callback = [&](const QString& keyPath) {
    allOnMain = allOnMain && ZPHMainThread::isMainThread();
    calls << keyPath;
  };

  CBPrefsAddObserver(observer.get(), key, callback);
  CBPrefsSetBool(true, key);
  EXPECT_EQ(calls, QStringList{QStringLiteral("values.PrefsTest.observed")});  // at once on the main thread
  CBPrefsSetBool(true, QStringLiteral("PrefsTest.other"));
  EXPECT_EQ(calls.size(), 1);

  std::thread([&] { CBPrefsSetBool(false, key); }).join();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return calls.size() == 2; }));
  EXPECT_TRUE(allOnMain);

  // Two additions need two removals.
  calls.clear();
  CBPrefsAddObserver(observer.get(), key, callback);
  CBPrefsToggleBool(key);
  EXPECT_EQ(calls.size(), 2);
  CBPrefsRemoveObserver(observer.get(), key);
  CBPrefsToggleBool(key);
  EXPECT_EQ(calls.size(), 3);
  CBPrefsRemoveObserver(observer.get(), key);
  CBPrefsToggleBool(key);
  EXPECT_EQ(calls.size(), 3);
  CBPrefsRemoveObserver(observer.get(), key);  // unbalanced: nothing to remove

  // A destroyed observer is forgotten; its removal afterwards is harmless.
  CBPrefsAddObserver(observer.get(), key, callback);
  QObject* const gone = observer.get();
  observer.reset();
  CBPrefsToggleBool(key);
  EXPECT_EQ(calls.size(), 3);
  CBPrefsRemoveObserver(gone, key);

  // A null observer or callback adds nothing.
  CBPrefsAddObserver(nullptr, key, callback);
  QObject other;
  CBPrefsAddObserver(&other, key, {});
  CBPrefsToggleBool(key);
  EXPECT_EQ(calls.size(), 3);
}
