#include "feeds/network/ZPHNetworkController.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/CBFiles.h"
#include "platform/CBOperation.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHNotificationCenter.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QSemaphore>
#include <QtNetwork/QNetworkInformation>

#include <gtest/gtest.h>

#include <thread>

namespace {

constexpr quint32 Reachable = ZPHNetworkController::ReachabilityFlagReachable;
constexpr quint32 ConnectionRequired = ZPHNetworkController::ReachabilityFlagConnectionRequired;

// A reachability source the test drives: it answers scripted flags and
// hands changes to the controller from whatever thread calls deliver().
class ScriptedSource : public ZPHNetworkController::ReachabilitySource {
public:
  explicit ScriptedSource(std::optional<quint32> flags, bool acceptsCallback = true)
      : m_flags(flags), m_acceptsCallback(acceptsCallback)
  {
  }
  bool setCallback(FlagsHandler handler) override
  {
    m_handler = std::move(handler);
    return m_acceptsCallback;
  }
  std::optional<quint32> currentFlags() override { return m_flags; }
  void deliver(quint32 flags) { m_handler(flags); }
  void deliverFromAnotherThread(quint32 flags)
  {
    std::thread worker([&] { deliver(flags); });
    worker.join();
  }

private:
  std::optional<quint32> m_flags;
  bool m_acceptsCallback;
  FlagsHandler m_handler;
};

// Waits inside main() until cancelled (or a generous bound passes).
class WaitsForCancelOperation : public CBOperation {
public:
  QSemaphore entered;

protected:
  void main() override
  {
    entered.release();
    QDeadlineTimer bound(10000);
    while (!isCancelled() && !bound.hasExpired()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    CBOperation::main();
  }
};

class NetworkControllerTest : public ::testing::Test {
protected:
  NetworkControllerTest()
  {
    m_delegate.statusItemIdentifier = [](const ZPHStatusItem& item) { return item.identifier(); };
    m_observer = ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHNetworkControllerInternetConnectivityChangedNotification, QVariant(), [this](const ZPHNotification& n) {
          posted.append(n.userInfo.value(ZPHNetworkControllerHasInternetConnectivityKey).toBool());
          postedObjects.append(n.object);
        });
  }

  // Makes a controller over a scripted source and lets its deferred
  // start-up update run.
  std::unique_ptr<ZPHNetworkController> makeController(std::optional<quint32> flags, bool acceptsCallback = true)
  {
    auto source = std::make_unique<ScriptedSource>(flags, acceptsCallback);
    m_source = source.get();
    auto controller = std::make_unique<ZPHNetworkController>(std::move(source));
    ZPHTestSpinEventLoop(20);
    return controller;
  }

  QList<std::shared_ptr<ZPHStatusItem>> visibleItems() const { return m_delegate.visibleStatusItems(); }

  ZPHTestApplicationDelegate m_delegate;
  ScriptedSource* m_source = nullptr;
  QList<bool> posted;
  QVariantList postedObjects;

private:
  ZPHObserverToken m_observer;
};

TEST(NetworkControllerRule, ConnectedOnlyWhenReachableWithoutARequiredConnection)
{
  const struct {
    quint32 flags;
    bool connected;
  } cases[] = {
      {0, false},
      {Reachable, true},
      {Reachable | ConnectionRequired, false},
      {ConnectionRequired, false},
      {Reachable | (1u << 18), true},
  };
  for (const auto& c : cases) EXPECT_EQ(ZPHNetworkController::isConnectedWithFlags(c.flags), c.connected) << c.flags;
}

TEST_F(NetworkControllerTest, StartingOfflineShowsTheErrorItemThenGoingOnlineRemovesIt)
{
  auto controller = makeController(0);
  EXPECT_FALSE(controller->hasInternetConnectivity());
  EXPECT_TRUE(posted.isEmpty());  // nothing changed at start

  QList<std::shared_ptr<ZPHStatusItem>> items = visibleItems();
  ASSERT_EQ(items.size(), 1);
  const std::shared_ptr<ZPHStatusItem> item = items.first();
  EXPECT_EQ(item->localizedDescription(), QStringLiteral("No Internet Connection"));
  EXPECT_EQ(item->identifier(), QStringLiteral("com.fernhollow.zephlin.status.networkConnectivityStatus"));
  EXPECT_EQ(item->statusItemType(), ZPHStatusItemTypeError);
  EXPECT_EQ(item->error().domain(), CBAppIdentifier());
  EXPECT_EQ(item->error().code(), 1000);
  EXPECT_EQ(item->error().localizedDescription(), QStringLiteral("Connection Error"));
  EXPECT_EQ(item->error().localizedRecoverySuggestion(),
            QStringLiteral("Zephlin isn't connected to the internet. Check your connection and try again."));

  // A download stuck while offline is cancelled when connectivity returns.
  auto download = std::make_shared<WaitsForCancelOperation>();
  CBOperationController::sharedDownloadOperationController()->addOperation(download);
  ASSERT_TRUE(download->entered.tryAcquire(1, 5000));

  m_source->deliverFromAnotherThread(Reachable);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !posted.isEmpty(); }));
  EXPECT_EQ(posted, QList<bool>{true});
  EXPECT_EQ(postedObjects.first(), QVariant::fromValue(controller.get()));
  EXPECT_TRUE(controller->hasInternetConnectivity());
  EXPECT_TRUE(visibleItems().isEmpty());
  EXPECT_TRUE(download->isCancelled());
  ASSERT_TRUE(ZPHTestWaitUntil(
      [] { return CBOperationController::sharedDownloadOperationController()->numberOfOperations() == 0; }));
}

TEST_F(NetworkControllerTest, StartingOnlinePostsOnceAndShowsNoItem)
{
  auto controller = makeController(Reachable);
  EXPECT_TRUE(controller->hasInternetConnectivity());
  EXPECT_EQ(posted, QList<bool>{true});
  EXPECT_TRUE(visibleItems().isEmpty());
  const QList<ZPHTestApplicationDelegate::StatusEvent> events = m_delegate.statusEvents();
  ASSERT_EQ(events.size(), 1);
  EXPECT_EQ(events.first().kind, ZPHTestApplicationDelegate::StatusEvent::RemovedByIdentifier);
  EXPECT_EQ(events.first().identifier, ZPHNetworkController::StatusItemIdentifier);
}

TEST_F(NetworkControllerTest, OnlyChangesOfConnectivityArePostedAndShown)
{
  auto controller = makeController(0);
  const quint32 sequence[] = {Reachable,          Reachable, Reachable | (1u << 18), Reachable | ConnectionRequired, 0,
                              ConnectionRequired, Reachable};
  for (quint32 flags : sequence) m_source->deliver(flags);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return posted.size() == 3; }));
  ZPHTestSpinEventLoop(20);
  EXPECT_EQ(posted, (QList<bool>{true, false, true}));
  EXPECT_TRUE(visibleItems().isEmpty());

  int added = 0;
  for (const auto& event : m_delegate.statusEvents())
    added += event.kind == ZPHTestApplicationDelegate::StatusEvent::Added ? 1 : 0;
  EXPECT_EQ(added, 2);  // at start and at the loss of connectivity
}

TEST_F(NetworkControllerTest, ASourceThatCannotWatchOrAnswerLeavesTheControllerOffline)
{
  const struct {
    const char* name;
    std::optional<quint32> flags;
    bool acceptsCallback;
  } cases[] = {
      {"callback refused", Reachable, false},
      {"flags unreadable", std::nullopt, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const qsizetype shownBefore = visibleItems().size();
    auto controller = makeController(c.flags, c.acceptsCallback);
    EXPECT_FALSE(controller->hasInternetConnectivity());
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_EQ(visibleItems().size(), shownBefore + 1);
  }
}

TEST_F(NetworkControllerTest, ChangesAfterTheControllerIsGoneAreDropped)
{
  auto controller = makeController(0);
  m_source->deliverFromAnotherThread(Reachable);  // queued for the main thread
  controller.reset();
  ZPHTestSpinEventLoop(50);
  EXPECT_TRUE(posted.isEmpty());
}

TEST(NetworkControllerSystemSource, WithoutABackendTheNetworkCountsAsReachable)
{
  std::unique_ptr<ZPHNetworkController::ReachabilitySource> source =
      ZPHNetworkController::makeSystemReachabilitySource();
  ASSERT_TRUE(source->setCallback([](quint32) {}));
  const std::optional<quint32> flags = source->currentFlags();
  ASSERT_TRUE(flags.has_value());
  QNetworkInformation* information = QNetworkInformation::instance();
  if (information == nullptr || !information->supports(QNetworkInformation::Feature::Reachability)) {
    EXPECT_TRUE(ZPHNetworkController::isConnectedWithFlags(*flags));
  } else {
    const auto reachability = information->reachability();
    const bool reachable = reachability != QNetworkInformation::Reachability::Disconnected &&
                           reachability != QNetworkInformation::Reachability::Local;
    EXPECT_EQ(ZPHNetworkController::isConnectedWithFlags(*flags), reachable);
  }
}

}  // namespace
