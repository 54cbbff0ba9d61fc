#include "foundation/CBKeychain.h"
#include "platform/ZPHFilePasswordStore.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDateTime>
#include <QtCore/QFile>

#include <gtest/gtest.h>

namespace {

const QString kServer = QStringLiteral("www.example.com");
const QString kSyncService = QStringLiteral("Zephlin: ZPHSyncService");

// The keychain functions over a file store in a temp folder.
class Keychain : public ::testing::Test {
protected:
  void SetUp() override { ZPHPasswordStore::setDefaultStore(store); }
  void TearDown() override { ZPHPasswordStore::setDefaultStore(nullptr); }

  QByteArray fileBytes() const
  {
    QFile file(store->filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  QList<ZPHPasswordItem> internetItems(const QString& path, const QString& user) const
  {
    QList<ZPHPasswordItem> items;
    store->listItems(ZPHPasswordItem::internetKey(kServer, path, user, 0), &items);
    return items;
  }
  QString fetch(const QString& user, const QString& path, quint32 protocol = CBKeychainProtocolTypeHTTP) const
  {
    return CBKeychain::fetchInternetPasswordFromKeychain(nullptr, user, kServer, path, protocol, nullptr);
  }
  bool storePassword(const QString& password, const QString& user, const QString& path, ZPHError* error = nullptr) const
  {
    return CBKeychain::storeInternetPasswordInKeychain(password, user, kServer, path, CBKeychainProtocolTypeHTTP,
                                                       error);
  }

  ZPHTestTempDir dir;
  std::shared_ptr<ZPHFilePasswordStore> store = std::make_shared<ZPHFilePasswordStore>(dir.path());
};

}  // namespace

TEST_F(Keychain, InternetPasswordsRoundTripAndReplaceInPlace)
{
  EXPECT_TRUE(fetch("alice", "/api/add").isNull());
  ASSERT_TRUE(storePassword("first", "alice", "/api/add"));
  EXPECT_EQ(fetch("alice", "/api/add"), "first");
  EXPECT_EQ(fetch("alice", "/api/add", CBKeychainProtocolTypeAny), "first");
  EXPECT_TRUE(fetch("bob", "/api/add").isNull());
  EXPECT_TRUE(fetch("alice", "/api").isNull());

  // The out item names the stored key.
  ZPHPasswordItem item;
  CBKeychain::fetchInternetPasswordFromKeychain(&item, "alice", kServer, "/api/add", 0, nullptr);
  EXPECT_EQ(item.server, kServer);
  EXPECT_EQ(item.path, "/api/add");
  EXPECT_EQ(item.account, "alice");
  EXPECT_EQ(item.protocol, CBKeychainProtocolTypeHTTP);

  // Storing the same password again changes nothing at all.
  const QByteArray before = fileBytes();
  ASSERT_TRUE(storePassword("first", "alice", "/api/add"));
  EXPECT_EQ(fileBytes(), before);

  // An empty (or null) password keeps the stored one.
  ASSERT_TRUE(storePassword("", "alice", "/api/add"));
  ASSERT_TRUE(storePassword(QString(), "alice", "/api/add"));
  EXPECT_EQ(fetch("alice", "/api/add"), "first");
  EXPECT_EQ(fileBytes(), before);

  // A new password replaces the old one in the same item.
  const QDateTime created = internetItems("/api/add", "alice").value(0).created;
  ASSERT_TRUE(storePassword("second", "alice", "/api/add"));
  EXPECT_EQ(fetch("alice", "/api/add"), "second");
  const QList<ZPHPasswordItem> items = internetItems("/api/add", "alice");
  ASSERT_EQ(items.size(), 1);
  EXPECT_EQ(items[0].created, created);
}

TEST_F(Keychain, DeletingAnInternetPasswordLeavesTheOthers)
{
  ASSERT_TRUE(storePassword("first", "alice", "/api/add"));
  ASSERT_TRUE(storePassword("other", "bob", "/api/add"));
  ASSERT_TRUE(storePassword("elsewhere", "alice", "/api"));
  // Since an empty password keeps the stored one, deleting is the only way
  // to make the store forget it.
  ASSERT_TRUE(
      CBKeychain::deleteInternetPasswordFromKeychain("alice", kServer, "/api/add", CBKeychainProtocolTypeAny, nullptr));
  EXPECT_TRUE(fetch("alice", "/api/add").isNull());
  EXPECT_TRUE(internetItems("/api/add", "alice").isEmpty());
  EXPECT_EQ(fetch("bob", "/api/add"), "other");
  EXPECT_EQ(fetch("alice", "/api"), "elsewhere");
  // Nothing left to delete is no failure; a missing key is.
  EXPECT_TRUE(CBKeychain::deleteInternetPasswordFromKeychain("alice", kServer, "/api/add", 0, nullptr));
  ZPHError error;
  EXPECT_FALSE(CBKeychain::deleteInternetPasswordFromKeychain("", kServer, "/api/add", 0, &error));
  EXPECT_FALSE(error.isNull());
}

TEST_F(Keychain, InternetPasswordsNeedServerAndUserName)
{
  EXPECT_TRUE(CBKeychain::storeInternetPasswordInKeychain("pw", "", kServer, "/", 0, nullptr));
  EXPECT_TRUE(CBKeychain::storeInternetPasswordInKeychain("pw", "alice", "", "/", 0, nullptr));
  EXPECT_FALSE(QFile::exists(store->filePath()));
  EXPECT_TRUE(CBKeychain::fetchInternetPasswordFromKeychain(nullptr, "", kServer, "/", 0, nullptr).isNull());

  // A null path is the empty path.
  ASSERT_TRUE(CBKeychain::storeInternetPasswordInKeychain("pw", "alice", kServer, QString(), 0, nullptr));
  EXPECT_EQ(CBKeychain::fetchInternetPasswordFromKeychain(nullptr, "alice", kServer, "", 0, nullptr), "pw");
}

TEST_F(Keychain, FailedStoreAnswersFalseWithTheError)
{
  QFile file(store->filePath());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("{ damaged");
  file.close();

  ZPHError error;
  EXPECT_FALSE(storePassword("secret", "alice", "/feed", &error));
  EXPECT_EQ(error.domain(), ZPHPasswordStoreErrorDomain);
  EXPECT_EQ(error.code(), ZPHPasswordStore::Corrupt);
  EXPECT_FALSE(error.localizedDescription().isEmpty());
  EXPECT_FALSE(storePassword("secret", "alice", "/feed"));  // no error out-argument

  EXPECT_FALSE(CBKeychainStoreInternetPassword(QUrl("http://www.example.com/feed"), "alice", "secret"));
  EXPECT_TRUE(CBKeychainFetchInternetPassword(QUrl("http://www.example.com/feed"), "alice").isNull());
}

TEST_F(Keychain, URLFunctionsKeyByHostAndPathForAnyProtocol)
{
  const QUrl feed(QStringLiteral("https://www.example.com/private/feed.xml?x=1"));
  ASSERT_TRUE(CBKeychainStoreInternetPassword(feed, "alice", "s3cret"));
  EXPECT_EQ(CBKeychainFetchInternetPassword(QUrl("http://www.example.com/private/feed.xml"), "alice"), "s3cret");
  EXPECT_TRUE(CBKeychainFetchInternetPassword(QUrl("http://www.example.com/private/other.xml"), "alice").isNull());
  EXPECT_TRUE(CBKeychainFetchInternetPassword(feed, "bob").isNull());
  EXPECT_EQ(fetch("alice", "/private/feed.xml", CBKeychainProtocolTypeAny), "s3cret");
}

TEST_F(Keychain, GenericPasswordsRoundTrip)
{
  ZPHError error;
  EXPECT_TRUE(VHKeychain::passwordForService(kSyncService, "alice", &error).isNull());
  EXPECT_EQ(error.domain(), kVHKeychainErrorDomain);
  EXPECT_EQ(error.code(), ZPHPasswordStore::ItemNotFound);
  QString password = "stale";
  EXPECT_FALSE(CBKeychainGetPassword(kSyncService, "alice", password, error));
  EXPECT_TRUE(password.isNull());

  ASSERT_TRUE(CBKeychainSetPassword(kSyncService, "alice", "one", nullptr));
  ASSERT_TRUE(VHKeychain::setPassword("two", kSyncService, "alice"));
  ASSERT_TRUE(VHKeychain::setPassword("other", kSyncService, "bob"));
  ASSERT_TRUE(VHKeychain::setPassword("elsewhere", "Another service", "alice"));
  EXPECT_TRUE(CBKeychainGetPassword(kSyncService, "alice", password, error));
  EXPECT_TRUE(error.isNull());
  EXPECT_EQ(password, "two");
  EXPECT_EQ(VHKeychain::passwordForService("Another service", "alice"), "elsewhere");

  const auto accounts = VHKeychain::accountsForService(kSyncService);
  ASSERT_TRUE(accounts.has_value());
  ASSERT_EQ(accounts->size(), 2);  // setting twice keeps one item
  for (const QVariantMap& attributes : *accounts) {
    EXPECT_EQ(attributes.value(kVHKeychainWhereKey).toString(), kSyncService);
    EXPECT_TRUE(attributes.value(kVHKeychainCreatedAtKey).toDateTime().isValid());
    EXPECT_TRUE(attributes.value(kVHKeychainLastModifiedKey).toDateTime().isValid());
  }
  EXPECT_EQ(VHKeychain::allAccounts().value_or(QList<QVariantMap>()).size(), 3);

  ASSERT_TRUE(CBKeychainDeletePassword(kSyncService, "alice", &error));
  EXPECT_TRUE(VHKeychain::passwordForService(kSyncService, "alice").isNull());
  EXPECT_EQ(VHKeychain::passwordForService(kSyncService, "bob"), "other");
  EXPECT_FALSE(VHKeychain::deletePasswordForService(kSyncService, "alice", &error));
  EXPECT_EQ(error.code(), ZPHPasswordStore::ItemNotFound);
  EXPECT_FALSE(VHKeychain::accountsForService("No such service").has_value());
}

TEST_F(Keychain, QueriesNeedTheirArguments)
{
  struct Case {
    const char* name;
    QString service;
    QString account;
    bool withPassword;
  } cases[] = {
      {"no service", QString(), "alice", true},
      {"no account", kSyncService, QString(), true},
      {"no password", kSyncService, "alice", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VHKeychainQuery query;
    query.setService(c.service);
    query.setAccount(c.account);
    if (c.withPassword)
      query.setPassword("pw");
    ZPHError error;
    EXPECT_FALSE(query.save(&error));
    EXPECT_EQ(error.domain(), kVHKeychainErrorDomain);
    EXPECT_EQ(error.code(), VHKeychainErrorBadArguments);
    EXPECT_FALSE(error.localizedDescription().isEmpty());
    EXPECT_FALSE(query.save());  // no error out-argument
    if (c.withPassword) {
      EXPECT_FALSE(query.fetch(&error));
      EXPECT_EQ(error.code(), VHKeychainErrorBadArguments);
      EXPECT_FALSE(query.deleteItem(&error));
      EXPECT_EQ(error.code(), VHKeychainErrorBadArguments);
    }
  }
  EXPECT_TRUE(VHKeychainQuery::errorWithCode(0).isNull());
  EXPECT_FALSE(QFile::exists(store->filePath()));
}

TEST_F(Keychain, QueryKeepsLabelDataAndArchivedObjects)
{
  VHKeychainQuery query;
  query.setService(kSyncService);
  query.setAccount("alice");
  query.setLabel("Sync account");
  const QVariantMap object{{"token", "abc"}, {"expires", 42}};
  query.setPasswordObject(object);
  ASSERT_TRUE(query.save());

  VHKeychainQuery fetched;
  fetched.setService(kSyncService);
  fetched.setAccount("alice");
  ASSERT_TRUE(fetched.fetch());
  EXPECT_EQ(fetched.passwordObject().toMap(), object);
  const auto all = fetched.fetchAll();
  ASSERT_TRUE(all.has_value());
  ASSERT_EQ(all->size(), 1);
  EXPECT_EQ(all->at(0).value(kVHKeychainLabelKey).toString(), "Sync account");
  EXPECT_EQ(all->at(0).value(kVHKeychainAccountKey).toString(), "alice");

  // Text passwords: UTF-8; empty data reads as no password.
  fetched.setPassword(QStringLiteral("gr\u00fc\u00dfe"));
  EXPECT_EQ(fetched.passwordData(), QByteArray("gr\xc3\xbc\xc3\x9f"
                                               "e"));
  EXPECT_EQ(fetched.password(), QStringLiteral("gr\u00fc\u00dfe"));
  fetched.setPassword("");
  ASSERT_TRUE(fetched.save());  // an empty password is still a password
  ASSERT_TRUE(fetched.fetch());
  EXPECT_TRUE(fetched.password().isNull());
  EXPECT_FALSE(fetched.passwordObject().isValid());
}
