// Catalogue entries and the default-feed manager, with a real store and the
// loopback server standing in for the catalogue's sites.

#include "feeds/refresh/ZPHRefreshController.h"
#include "platform/CBOperationController.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "subscribe/CBDefaultFeedEntry.h"
#include "subscribe/CBDefaultFeedManager.h"
#include "subscribe/ZPHSubscribeRequest.h"
#include "subscribe/ZPHSubscriber.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <gtest/gtest.h>

namespace {

QVariantMap site(const QString& rss, const QString& name = QStringLiteral("Site"))
{
  return {{"rss", rss}, {"home", "https://example.org/"}, {"name", name}, {"description", "About it."}};
}

QJsonObject entry(const QString& rss, const QString& name, const QString& category)
{
  QJsonObject object = QJsonObject::fromVariantMap(site(rss, name));
  object.insert("category", category);
  return object;
}

QByteArray catalogue(const QJsonObject& categories, const QJsonArray& feeds)
{
  return QJsonDocument(QJsonObject{{"categories", categories}, {"feeds", feeds}}).toJson();
}

}  // namespace

TEST(DefaultFeedEntry, ADictionaryWithEveryKeyMakesAnEntryAndItsRequest)
{
  ZPHTestApplicationDelegate delegate;
  const std::optional<CBDefaultFeedEntry> entry = CBDefaultFeedEntry::defaultFeedEntryWithPlistDictionary(
      site("https://example.org/feed.xml", " Example "), "News");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->name(), "Example");
  EXPECT_EQ(entry->description(), "About it.");
  EXPECT_EQ(entry->rssURL(), QUrl("https://example.org/feed.xml"));
  EXPECT_EQ(entry->homeURL(), QUrl("https://example.org/"));
  EXPECT_TRUE(entry->cateogryLocalizedName().isEmpty());  // the caller sets it

  CBDefaultFeedEntry named = *entry;
  named.setCateogryLocalizedName("News");
  EXPECT_TRUE(named.copy().cateogryLocalizedName().isEmpty());
  EXPECT_EQ(named.copy().rssURL(), entry->rssURL());

  const std::shared_ptr<ZPHSubscribeRequest> request = entry->subscribeRequestForAccount(nullptr, nullptr);
  EXPECT_EQ(request->feedURL(), QUrl("https://example.org/feed.xml"));
  EXPECT_EQ(request->title(), "Example");
  EXPECT_EQ(request->parentFolder(), nullptr);
  EXPECT_EQ(request->targetIndexInParentFolder(), ZPHSubscribeRequest::AppendIndex);
  EXPECT_FALSE(request->markAsFavorite());
}

TEST(DefaultFeedEntry, ABrokenDictionaryMakesNoEntry)
{
  const QVariantMap good = site("https://example.org/feed.xml");
  const struct {
    const char* what;
    QString key;
    QVariant value;  // invalid: the key is removed
    QString category;
  } cases[] = {
      {"no rss", "rss", {}, "News"},
      {"rss not an address", "rss", "::not a url::", "News"},
      {"rss not a web address", "rss", "javascript:alert(1)", "News"},
      {"no home", "home", {}, "News"},
      {"home not a web address", "home", "file:///etc/passwd", "News"},
      {"no name", "name", {}, "News"},
      {"blank name", "name", "   ", "News"},
      {"empty description", "description", "", "News"},
      {"no category", "name", "Site", ""},
  };
  for (const auto& c : cases) {
    QVariantMap dictionary = good;
    if (c.value.isValid())
      dictionary.insert(c.key, c.value);
    else
      dictionary.remove(c.key);
    EXPECT_FALSE(CBDefaultFeedEntry::defaultFeedEntryWithPlistDictionary(dictionary, c.category).has_value()) << c.what;
  }
}

TEST(DefaultFeedManager, GroupsEntriesByCategoryInCatalogueOrderAndReadsOnce)
{
  ZPHTestTempDir folder;
  const QString path = folder.writeFile(
      "catalogue.json",
      catalogue({{"t", "Technology"}, {"s", "Science"}},
                {entry("https://a.example/feed", "Tech One", "t"), entry("https://b.example/feed", "Science One", "s"),
                 entry("not a web address", "Broken", "t"), entry("https://c.example/feed", "Tech Two", "t")}));
  CBDefaultFeedManager manager(path);
  const QMap<QString, QList<CBDefaultFeedEntry>> entries = manager.defaultFeedEntriesByCategoryName();
  EXPECT_EQ(entries.keys(), QStringList({"Science", "Technology"}));
  ASSERT_EQ(entries.value("Technology").size(), 2);
  EXPECT_EQ(entries.value("Technology")[0].name(), "Tech One");
  EXPECT_EQ(entries.value("Technology")[1].name(), "Tech Two");
  EXPECT_EQ(entries.value("Technology")[1].cateogryLocalizedName(), "Technology");

  // A missing catalogue is an empty one, and is not read again.
  const QString later = folder.filePath("later.json");
  CBDefaultFeedManager missing(later);
  EXPECT_TRUE(missing.defaultFeedEntriesByCategoryName().isEmpty());
  QFile::copy(path, later);
  EXPECT_TRUE(missing.defaultFeedEntriesByCategoryName().isEmpty());

  // The shipped catalogue reads in full.
  int shipped = 0;
  for (const QList<CBDefaultFeedEntry>& list :
       CBDefaultFeedManager::sharedDefaultFeedManager()->defaultFeedEntriesByCategoryName())
    shipped += int(list.size());
  EXPECT_GE(shipped, 30);
}

TEST(DefaultFeedManager, AddingAllPutsEachCategoryIntoItsFolder)
{
  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  delegate.useDataController(&controller);
  ZPHError error;
  ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
  controller.completeSetup();
  CBDataAccount* account = controller.localAccount();
  ZPHManagedObjectContext* main = controller.mainThreadManagedObjectContext();

  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  for (const char* path : {"/one.xml", "/two.xml", "/three.xml"})
    server.route(QString::fromLatin1(path), [](const ZPHTestHTTPRequest& request) {
      return ZPHTestHTTPResponse{
          200,
          {{"Content-Type", "application/rss+xml"}},
          "<rss version=\"2.0\"><channel><title>" + request.path.toUtf8() + "</title></channel></rss>",
          0};
    });
  auto feed = [&](const char* path, const char* name, const char* category) {
    return entry(server.url(QString::fromLatin1(path)).toString(), QString::fromLatin1(name),
                 QString::fromLatin1(category));
  };
  ZPHTestTempDir folder;
  CBDefaultFeedManager manager(folder.writeFile(
      "catalogue.json",
      catalogue({{"n", "News"}, {"f", "Fun"}},
                {feed("/one.xml", "One", "n"), feed("/two.xml", "Two", "f"), feed("/three.xml", "Three", "n")})));

  // A top-level folder named like a category already exists: it is used, not doubled.
  CBFolder* news = account->addFolderWithName(QStringLiteral("News"));
  ZPHRefreshController refresh;
  delegate.scriptedRefreshController = &refresh;
  refresh.refreshOperationController()->setSuspended(true);

  bool finished = false;
  ZPHObserverToken listener = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHBatchSubscribeDidFinishNotification, {}, [&](const ZPHNotification&) { finished = true; });
  ASSERT_NE(manager.addAllDefaultFeeds(), nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return finished; }, 30000));

  QStringList topLevel;
  for (CBFolder* root : CBFolder::rootFoldersWithMOC(main)) topLevel.append(root->nameForDisplay());
  topLevel.sort();
  EXPECT_EQ(topLevel, QStringList({"Fun", "News"}));
  auto names = [](CBFolder* parent) {
    QStringList list;
    for (CBNode* child : parent->fetchChildren()) list.append(static_cast<CBFeed*>(child)->nameForDisplay());
    return list;
  };
  EXPECT_EQ(names(news), QStringList({"One", "Three"}));
  CBFolder* fun = nullptr;
  for (CBFolder* root : CBFolder::rootFoldersWithMOC(main))
    if (root->nameForDisplay() == "Fun")
      fun = root;
  ASSERT_NE(fun, nullptr);
  EXPECT_EQ(names(fun), QStringList({"Two"}));
  EXPECT_EQ(account->feeds().size(), 3);

  refresh.cancelAllOperations();
  refresh.refreshOperationController()->setSuspended(false);
  refresh.refreshOperationController()->waitUntilAllOperationsAreFinished();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 20000));
  ZPHTestSpinEventLoop(50);
  delegate.scriptedRefreshController = nullptr;
}
