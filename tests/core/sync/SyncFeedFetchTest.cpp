#include "SyncTestFixture.h"

#include "foundation/CBMimeTypes.h"
#include "sync/ZPHSyncFeedFetchOperation.h"

namespace {

// A suspended feed found again at its address, or not.
class SyncFeedFetchTest : public SyncTestFixture {
protected:
  void SetUp() override
  {
    SyncTestFixture::SetUp();
    ASSERT_TRUE(site.start());
    site.route(QStringLiteral("/feed.xml"), [](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers.append({QByteArray("Content-Type"), QByteArray("application/rss+xml")});
      response.body = ZPHTestFixture(QStringLiteral("feeds/rss2.xml"));
      return response;
    });
    record(ZPHRemoteFeedAddedNotification);
  }

  void run(const std::shared_ptr<ZPHSyncFeedFetchOperation>& operation)
  {
    manager->feedFetchQueue()->setSuspended(false);
    manager->feedFetchQueue()->addOperation(operation);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return operation->isFinished(); }, 30000));
    ZPHTestSpinEventLoop(30);
  }

  bool announced(const QString& url)
  {
    return ZPHTestWaitUntil([&] {
      for (const ZPHNotification& notification : recordedNamed(ZPHRemoteFeedAddedNotification)) {
        if (notification.userInfo.value(CBURLKey).toUrl() == QUrl(url))
          return true;
      }
      return false;
    });
  }

  ZPHTestHTTPServer site;
};

TEST_F(SyncFeedFetchTest, ReactivatesASuspendedFeedThatIsThere)
{
  const QString url = site.url(QStringLiteral("/feed.xml")).toString();
  CBFeed* feed = addFeed(url);
  feed->setSuspended(true);
  saveMain();

  auto operation = std::make_shared<ZPHSyncFeedFetchOperation>();
  operation->setReactivatingFeed(true);
  operation->setUrlString(url);
  run(operation);
  EXPECT_FALSE(feed->suspended());
  EXPECT_EQ(feed->url(), url);
  EXPECT_TRUE(announced(url));
  EXPECT_EQ(operation->feedFinder(), nullptr);
}

TEST_F(SyncFeedFetchTest, AFeedThatIsGoneStaysSuspended)
{
  const QString url = site.url(QStringLiteral("/gone.xml")).toString();
  CBFeed* feed = addFeed(url);
  saveMain();

  auto operation = std::make_shared<ZPHSyncFeedFetchOperation>();
  operation->setReactivatingFeed(true);
  operation->setUrlString(url);
  run(operation);
  EXPECT_TRUE(feed->suspended());
  EXPECT_TRUE(announced(url));
}

// From a server node: a new feed with the node's guid, name and folder.
TEST_F(SyncFeedFetchTest, MakesTheFeedOfAServerNode)
{
  CBFolder* folder = account->addFolderWithName(QStringLiteral("Folder"));
  saveMain();
  const QString url = site.url(QStringLiteral("/feed.xml")).toString();
  QJsonObject node = feedNode(url, QStringLiteral("G-node"), folder->guid());
  node.insert(QStringLiteral("userAssignedName"), QStringLiteral("Named on the server"));
  node.insert(QStringLiteral("homepageurl"), QStringLiteral("https://home.example.com/"));
  node.insert(QStringLiteral("favIconUrl"), QStringLiteral("javascript:alert(1)"));

  auto operation = std::make_shared<ZPHSyncFeedFetchOperation>();
  operation->setFeedDictionary(node);
  run(operation);
  CBFeed* feed = feedWithURL(url);
  ASSERT_NE(feed, nullptr);
  EXPECT_EQ(feed->guid(), QStringLiteral("G-node"));
  EXPECT_EQ(feed->nameForDisplay(), QStringLiteral("Named on the server"));
  EXPECT_EQ(feed->parent(), folder);
  EXPECT_EQ(feed->homePageURL(), QUrl(QStringLiteral("https://home.example.com/")));
  EXPECT_TRUE(feed->faviconURL().isEmpty());
  EXPECT_FALSE(feed->suspended());
  EXPECT_TRUE(announced(url));
}

}  // namespace
