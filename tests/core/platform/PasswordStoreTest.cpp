#include "foundation/CBKeychain.h"
#include "platform/ZPHFilePasswordStore.h"
#include "platform/ZPHSecretServicePasswordStore.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMutex>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <thread>
#include <vector>

namespace {

const QString kHost = QStringLiteral("feeds.example.com");

// Lines logged while it lives.
class LogCapture {
public:
  LogCapture()
  {
    s_current = this;
    m_previous = qInstallMessageHandler(&LogCapture::handle);
  }
  ~LogCapture()
  {
    qInstallMessageHandler(m_previous);
    s_current = nullptr;
  }
  QStringList lines() const
  {
    QMutexLocker locker(&m_mutex);
    return m_lines;
  }
  int count(const QString& text) const
  {
    int n = 0;
    for (const QString& line : lines()) n += line.contains(text) ? 1 : 0;
    return n;
  }

private:
  static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
  {
    if (LogCapture* capture = s_current) {
      QMutexLocker locker(&capture->m_mutex);
      capture->m_lines.append(message);
      if (capture->m_previous)
        capture->m_previous(type, context, message);
    }
  }

  static inline LogCapture* s_current = nullptr;
  QtMessageHandler m_previous = nullptr;
  mutable QMutex m_mutex;
  QStringList m_lines;
};

ZPHPasswordItem withPassword(ZPHPasswordItem item, const QByteArray& password, const QString& label = {})
{
  item.password = password;
  item.label = label;
  return item;
}

// What every store must do, checked on the file store and on a real secret
// service alike. The store starts empty of the keys used here.
void checkStoreContract(ZPHPasswordStore& store)
{
  const ZPHPasswordItem base = ZPHPasswordItem::internetKey(kHost, "/feed", "alice", CBKeychainProtocolTypeHTTP);
  ASSERT_EQ(store.findPassword(base, nullptr), ZPHPasswordStore::ItemNotFound);
  ASSERT_EQ(store.addItem(withPassword(base, "one")), ZPHPasswordStore::Success);
  EXPECT_EQ(store.addItem(withPassword(base, "two")), ZPHPasswordStore::DuplicateItem);

  // Keys that differ from the stored one by one field find nothing, and
  // each can hold a password of its own.
  struct Variant {
    const char* field;
    ZPHPasswordItem key;
  } variants[] = {
      {"server", ZPHPasswordItem::internetKey("other.example.com", "/feed", "alice", CBKeychainProtocolTypeHTTP)},
      {"path", ZPHPasswordItem::internetKey(kHost, "/feed2", "alice", CBKeychainProtocolTypeHTTP)},
      {"empty path", ZPHPasswordItem::internetKey(kHost, "", "alice", CBKeychainProtocolTypeHTTP)},
      {"account", ZPHPasswordItem::internetKey(kHost, "/feed", "Alice", CBKeychainProtocolTypeHTTP)},
      {"protocol", ZPHPasswordItem::internetKey(kHost, "/feed", "alice", 0x68747073 /* 'https' */)},
  };
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.field);
    EXPECT_EQ(store.findPassword(variant.key, nullptr), ZPHPasswordStore::ItemNotFound);
  }
  for (const Variant& variant : variants)
    ASSERT_EQ(store.addItem(withPassword(variant.key, variant.field)), ZPHPasswordStore::Success);
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.field);
    ZPHPasswordItem found;
    ASSERT_EQ(store.findPassword(variant.key, &found), ZPHPasswordStore::Success);
    EXPECT_EQ(found.password, QByteArray(variant.field));
    EXPECT_TRUE(found.hasSameKey(variant.key));
  }
  ZPHPasswordItem found;
  ASSERT_EQ(store.findPassword(base, &found), ZPHPasswordStore::Success);
  EXPECT_EQ(found.password, "one");

  // Protocol 0 in a query matches any protocol and answers the item's own.
  const ZPHPasswordItem anyProtocol = ZPHPasswordItem::internetKey(kHost, "/feed2", "alice", 0);
  ASSERT_EQ(store.findPassword(anyProtocol, &found), ZPHPasswordStore::Success);
  EXPECT_EQ(found.protocol, CBKeychainProtocolTypeHTTP);
  EXPECT_EQ(found.password, "path");

  // Update in place: still one item, with its creation date.
  QList<ZPHPasswordItem> listed;
  ASSERT_EQ(store.listItems(base, &listed), ZPHPasswordStore::Success);
  ASSERT_EQ(listed.size(), 1);
  const QDateTime created = listed[0].created;
  EXPECT_TRUE(listed[0].password.isEmpty());
  ASSERT_EQ(store.updatePassword(base, "three"), ZPHPasswordStore::Success);
  ASSERT_EQ(store.findPassword(base, &found), ZPHPasswordStore::Success);
  EXPECT_EQ(found.password, "three");
  ASSERT_EQ(store.listItems(base, &listed), ZPHPasswordStore::Success);
  ASSERT_EQ(listed.size(), 1);
  EXPECT_EQ(listed[0].created, created);
  EXPECT_GE(listed[0].modified, created);

  // Generic items: binary secrets, labels, listing by service.
  const QString service = QStringLiteral("Zephlin: contract test");
  const QByteArray binary("a\0b\xff", 4);
  ASSERT_EQ(store.addItem(withPassword(ZPHPasswordItem::genericKey(service, "bob"), binary, "Bob's")),
            ZPHPasswordStore::Success);
  ASSERT_EQ(store.addItem(withPassword(ZPHPasswordItem::genericKey(service, "carol"), "")), ZPHPasswordStore::Success);
  ASSERT_EQ(store.findPassword(ZPHPasswordItem::genericKey(service, "bob"), &found), ZPHPasswordStore::Success);
  EXPECT_EQ(found.password, binary);
  ASSERT_EQ(store.findPassword(ZPHPasswordItem::genericKey(service, "carol"), &found), ZPHPasswordStore::Success);
  EXPECT_TRUE(found.password.isEmpty());
  EXPECT_EQ(store.findPassword(ZPHPasswordItem::genericKey(service + "x", "bob"), nullptr),
            ZPHPasswordStore::ItemNotFound);
  ASSERT_EQ(store.listItems(ZPHPasswordItem::genericKey(service, QString()), &listed), ZPHPasswordStore::Success);
  ASSERT_EQ(listed.size(), 2);
  for (const ZPHPasswordItem& item : listed) {
    EXPECT_EQ(item.service, service);
    EXPECT_TRUE(item.created.isValid());
    EXPECT_EQ(item.label, item.account == "bob" ? QStringLiteral("Bob's") : QString());
  }

  // Delete removes one item only.
  ASSERT_EQ(store.deleteItem(ZPHPasswordItem::genericKey(service, "bob")), ZPHPasswordStore::Success);
  EXPECT_EQ(store.deleteItem(ZPHPasswordItem::genericKey(service, "bob")), ZPHPasswordStore::ItemNotFound);
  EXPECT_EQ(store.findPassword(ZPHPasswordItem::genericKey(service, "bob"), nullptr), ZPHPasswordStore::ItemNotFound);
  ASSERT_EQ(store.listItems(ZPHPasswordItem::genericKey(service, QString()), &listed), ZPHPasswordStore::Success);
  ASSERT_EQ(listed.size(), 1);
  EXPECT_EQ(listed[0].account, "carol");
  EXPECT_EQ(store.updatePassword(ZPHPasswordItem::genericKey(service, "bob"), "x"), ZPHPasswordStore::ItemNotFound);

  // A key without an account cannot be stored.
  EXPECT_EQ(store.addItem(withPassword(ZPHPasswordItem::genericKey(service, QString()), "x")),
            ZPHPasswordStore::BadParameter);
}

int fileMode(const QString& path)
{
  struct stat status {};
  if (::stat(QFile::encodeName(path).constData(), &status) != 0)
    return -1;
  return status.st_mode & 07777;
}

}  // namespace

TEST(FilePasswordStore, KeepsItemsByTheirFullKey)
{
  ZPHTestTempDir dir;
  ZPHFilePasswordStore store(dir.filePath("data"));
  checkStoreContract(store);

  // A second store on the same folder reads what the first wrote.
  ZPHFilePasswordStore reopened(dir.filePath("data"));
  ZPHPasswordItem found;
  ASSERT_EQ(reopened.findPassword(ZPHPasswordItem::internetKey(kHost, "/feed", "alice", 0), &found),
            ZPHPasswordStore::Success);
  EXPECT_EQ(found.password, "three");
}

TEST(FilePasswordStore, FileIsPrivateToItsOwner)
{
  ZPHTestTempDir dir;
  ZPHFilePasswordStore store(dir.path());
  EXPECT_FALSE(QFile::exists(store.filePath()));
  ASSERT_EQ(store.addItem(withPassword(ZPHPasswordItem::genericKey("s", "a"), "secret")), ZPHPasswordStore::Success);
  EXPECT_EQ(fileMode(store.filePath()), 0600);

  // A file someone opened up (or restored with wider permissions) is made
  // private again, with a word in the log, by the next use of any kind.
  const QFileDevice::Permissions opened =
      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
  const std::function<int()> uses[] = {
      [&] { return store.findPassword(ZPHPasswordItem::genericKey("s", "a"), nullptr); },
      [&] { return store.listItems(ZPHPasswordItem::genericKey("s", QString()), nullptr); },
      [&] { return store.updatePassword(ZPHPasswordItem::genericKey("s", "a"), "other"); },
  };
  for (const auto& use : uses) {
    ASSERT_TRUE(QFile::setPermissions(store.filePath(), opened));
    LogCapture log;
    EXPECT_EQ(use(), ZPHPasswordStore::Success);
    EXPECT_EQ(fileMode(store.filePath()), 0600);
    EXPECT_EQ(log.count("readable by others"), 1);
  }
}

TEST(FilePasswordStore, DamagedFileIsReportedAndLeftAlone)
{
  const QByteArray damaged[] = {
      "not json at all",
      "[]",
      R"({"version":2,"genericPasswords":[]})",
      R"({"version":1,"genericPasswords":{}})",
      R"({"version":1,"genericPasswords":[17]})",
      R"({"version":1,"genericPasswords":[{"service":"s"}]})",
      R"({"version":1,"genericPasswords":[{"service":"s","account":"a","password":"%%%"}]})",
      R"({"version":1,"internetPasswords":[{"server":"h","path":"/","account":"a","protocol":-1}]})",
      R"({"version":1,"internetPasswords":[{"server":"h","path":"/","account":"a","protocol":1,"created":"x"}]})",
  };
  for (const QByteArray& bytes : damaged) {
    SCOPED_TRACE(bytes.toStdString());
    ZPHTestTempDir dir;
    ZPHFilePasswordStore store(dir.path());
    dir.writeFile("Passwords.json", bytes);
    const ZPHPasswordItem key = ZPHPasswordItem::genericKey("s", "a");
    QList<ZPHPasswordItem> items;
    LogCapture log;
    EXPECT_EQ(store.findPassword(key, nullptr), ZPHPasswordStore::Corrupt);
    EXPECT_EQ(store.listItems(ZPHPasswordItem::genericKey({}, {}), &items), ZPHPasswordStore::Corrupt);
    EXPECT_EQ(store.addItem(withPassword(key, "x")), ZPHPasswordStore::Corrupt);
    EXPECT_EQ(store.updatePassword(key, "x"), ZPHPasswordStore::Corrupt);
    EXPECT_EQ(store.deleteItem(key), ZPHPasswordStore::Corrupt);
    EXPECT_GE(log.count("damaged"), 1);
    QFile file(dir.filePath("Passwords.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
  }
}

TEST(FilePasswordStore, UnwritableFolderFailsTheChange)
{
  ZPHTestTempDir dir;
  const QString notAFolder = dir.writeFile("plain-file", "x");
  ZPHFilePasswordStore store(notAFolder + "/data");
  EXPECT_EQ(store.addItem(withPassword(ZPHPasswordItem::genericKey("s", "a"), "x")), ZPHPasswordStore::IOFailed);
  EXPECT_EQ(store.findPassword(ZPHPasswordItem::genericKey("s", "a"), nullptr), ZPHPasswordStore::ItemNotFound);
}

TEST(FilePasswordStore, ConcurrentWritersLoseNothing)
{
  ZPHTestTempDir dir;
  ZPHFilePasswordStore store(dir.path());
  constexpr int kThreads = 6;
  constexpr int kItemsEach = 15;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&store, t] {
      for (int i = 0; i < kItemsEach; ++i) {
        const QString account = QStringLiteral("user-%1-%2").arg(t).arg(i);
        store.addItem(withPassword(ZPHPasswordItem::genericKey("svc", account), account.toUtf8()));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  QList<ZPHPasswordItem> items;
  ASSERT_EQ(store.listItems(ZPHPasswordItem::genericKey("svc", QString()), &items), ZPHPasswordStore::Success);
  EXPECT_EQ(items.size(), kThreads * kItemsEach);
  ZPHPasswordItem found;
  ASSERT_EQ(store.findPassword(ZPHPasswordItem::genericKey("svc", "user-3-7"), &found), ZPHPasswordStore::Success);
  EXPECT_EQ(found.password, "user-3-7");
}

TEST(PasswordStore, DefaultIsAFileInTheDataFolderWhenNoSecretServiceAnswers)
{
  // (Registering the delegate starts a probe of the secret service in the
  // background, if none was made yet; the reset below drops it.)
  ZPHTestApplicationDelegate delegate;
  const QByteArray previousBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(delegate.rootFolder()) + "/no-bus");
  ZPHPasswordStore::setDefaultStore(nullptr);
  LogCapture log;
  const std::shared_ptr<ZPHPasswordStore> chosen = ZPHPasswordStore::defaultStore();
  EXPECT_EQ(ZPHPasswordStore::defaultStore(), chosen);  // chosen once
  ZPHPasswordStore::setDefaultStore(nullptr);
  const std::shared_ptr<ZPHPasswordStore> again = ZPHPasswordStore::defaultStore();
  ZPHPasswordStore::setDefaultStore(nullptr);
  if (previousBus.isNull())
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  else
    qputenv("DBUS_SESSION_BUS_ADDRESS", previousBus);

  auto* file = dynamic_cast<ZPHFilePasswordStore*>(chosen.get());
  ASSERT_NE(file, nullptr);
  EXPECT_NE(dynamic_cast<ZPHFilePasswordStore*>(again.get()), nullptr);
  EXPECT_EQ(QFileInfo(file->filePath()).absolutePath(), QFileInfo(delegate.pathToDataFolder()).absoluteFilePath());
  EXPECT_EQ(log.count("No secret service answered"), 2);  // once per choice
}

// Choosing the store probes the secret service (up to 5 s): that happens on
// a thread of its own as soon as the application registers, before and
// apart from the first caller that asks for the store.
TEST(PasswordStore, TheStoreIsChosenAtStartUpWithoutBeingAskedFor)
{
  const QByteArray previousBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/no-bus");
  ZPHPasswordStore::setDefaultStore(nullptr);
  LogCapture log;
  {
    ZPHTestApplicationDelegate delegate;  // the application registers
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return log.count("did not answer its probe") == 1; }, 10000));
  }
  ZPHPasswordStore::setDefaultStore(nullptr);
  if (previousBus.isNull())
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  else
    qputenv("DBUS_SESSION_BUS_ADDRESS", previousBus);
}

// Runs inside a private D-Bus session with its own unlocked keyring daemon:
// the test starts itself again under dbus-run-session.
TEST(SecretServicePasswordStore, WorksWithARealSecretService)
{
  if (qEnvironmentVariableIsSet("ZPH_TEST_IN_KEYRING_SESSION")) {
    auto store = std::make_shared<ZPHSecretServicePasswordStore>();
    QString whyNot;
    ASSERT_TRUE(store->probe(10000, &whyNot)) << whyNot.toStdString();
    ZPHPasswordStore::setDefaultStore(nullptr);
    EXPECT_NE(dynamic_cast<ZPHSecretServicePasswordStore*>(ZPHPasswordStore::defaultStore().get()), nullptr);

    checkStoreContract(*store);

    // A store with a short time limit may fail a request (a read that takes
    // too long), but never reports a write failed that then took effect:
    // with each limit, what it answered is what the service holds.
    for (const int limit : {0, 1, 2, 5, 10, 20, 50, 100, 200}) {
      SCOPED_TRACE(limit);
      ZPHSecretServicePasswordStore hasty(limit);
      const ZPHPasswordItem key = ZPHPasswordItem::genericKey("Zephlin: hasty", QStringLiteral("eve-%1").arg(limit));
      const int added = hasty.addItem(withPassword(key, QByteArray(4096, 'p')));
      std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a late write would land by now
      const int found = store->findPassword(key, nullptr);
      EXPECT_EQ(found, added == ZPHPasswordStore::Success ? ZPHPasswordStore::Success : ZPHPasswordStore::ItemNotFound)
          << "addItem answered " << added;
    }

    // The keychain functions over it, called from another thread as well.
    ZPHPasswordStore::setDefaultStore(store);
    const QUrl feed(QStringLiteral("https://private.example.org/rss"));
    EXPECT_TRUE(CBKeychainStoreInternetPassword(feed, "dora", "pässword"));
    std::thread([&] { EXPECT_EQ(CBKeychainFetchInternetPassword(feed, "dora"), QStringLiteral("pässword")); }).join();
    ZPHError error;
    EXPECT_TRUE(VHKeychain::setPassword("sync-secret", "Zephlin: ZPHSyncService", "dora", &error));
    QString password;
    EXPECT_TRUE(CBKeychainGetPassword("Zephlin: ZPHSyncService", "dora", password, error));
    EXPECT_EQ(password, "sync-secret");
    const auto accounts = VHKeychain::accountsForService("Zephlin: ZPHSyncService");
    ASSERT_TRUE(accounts.has_value());
    EXPECT_EQ(accounts->size(), 1);
    ZPHPasswordStore::setDefaultStore(nullptr);
    return;
  }

  const QString dbusRunSession = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
  const QString keyringDaemon = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
  if (dbusRunSession.isEmpty() || keyringDaemon.isEmpty()) {
    // scripts/deps.sh installs both: in CI the test must run.
    if (qEnvironmentVariableIsSet("CI"))
      FAIL() << "dbus-run-session and gnome-keyring-daemon are missing (scripts/deps.sh installs them)";
    GTEST_SKIP() << "dbus-run-session and gnome-keyring-daemon are needed to try a real secret service";
  }

  ZPHTestTempDir home;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("ZPH_TEST_IN_KEYRING_SESSION"), QStringLiteral("1"));
  environment.insert(QStringLiteral("HOME"), home.path());
  environment.remove(QStringLiteral("DISPLAY"));
  environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
  QProcess child;
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.setProgram(dbusRunSession);
  child.setArguments(
      {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
       QStringLiteral("printf %s zephlin-test | \"$1\" --unlock --components=secrets >/dev/null 2>&1; "
                      "exec \"$2\" --gtest_filter=SecretServicePasswordStore.WorksWithARealSecretService"),
       QStringLiteral("sh"), keyringDaemon, QCoreApplication::applicationFilePath()});
  child.start();
  ASSERT_TRUE(child.waitForStarted(10000));
  const bool finished = child.waitForFinished(120000);
  if (!finished) {
    child.kill();
    child.waitForFinished(5000);
  }
  const QString output = QString::fromLocal8Bit(child.readAll());
  ASSERT_TRUE(finished) << output.toStdString();
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}
