// A site added by address keeps its icon in the source list when the
// application starts again on the same folders.

#include "SubscriptionsAppFixture.h"

#include "common/FRNHCGUtils.h"
#include "feeds/images/CBFaviconController.h"
#include "fixtures/images/ZPHTestImages.h"
#include "sourcelist/ZPHSourceListModel.h"
#include "subscriptions/ZPHAddSiteAddressContentViewController.h"
#include "subscriptions/ZPHAddSiteOrFolderTextView.h"
#include "subscriptions/ZPHAddSiteWindowController.h"

#include <QtWidgets/QPushButton>

#include <memory>

namespace {

struct SiteShape {
  const char* name;
  // Where the site keeps its icon: the usual "/favicon.ico", or an address
  // its page links to.
  const char* iconPath;
  // What the user types in Add Site: the site's page or its feed.
  const char* typedPath;
};

class AddedSiteIcon : public SubscriptionsAppFixture, public ::testing::WithParamInterface<SiteShape> {
protected:
  void SetUp() override
  {
    SubscriptionsAppFixture::SetUp();
    const auto answer = [this](int status, const QByteArray& type, const QByteArray& body) {
      return siteGone ? ZPHTestHTTPResponse{404, {}, {}, 0}
                      : ZPHTestHTTPResponse{status, {{"Content-Type", type}}, body, 0};
    };
    server.route(QStringLiteral("/site.xml"), [this, answer](const ZPHTestHTTPRequest&) {
      return answer(200, "application/rss+xml", ZPHTestSubscriptionFeed(server.url(), "Site"));
    });
    const QString iconPath = QString::fromLatin1(GetParam().iconPath);
    const QByteArray png = ZPHTestImages::encoded(ZPHTestImages::solid(32, 32, siteColour), "PNG");
    server.route(iconPath, [this, answer, png](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response = answer(200, "image/png", png);
      response.delayBeforeBodyMs = slowIcon ? 1500 : 0;
      return response;
    });
    QByteArray page =
        "<!DOCTYPE html><html><head><title>Site</title>"
        "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/site.xml\">";
    if (iconPath != QLatin1String("/favicon.ico"))
      page += "<link rel=\"shortcut icon\" href=\"" + iconPath.toUtf8() + "\">";
    page += "</head><body></body></html>";
    server.route(QStringLiteral("/"),
                 [answer, page](const ZPHTestHTTPRequest&) { return answer(200, "text/html; charset=utf-8", page); });
    seedStore();
  }

  void TearDown() override
  {
    app.stop();
    FRNHCGUtils::setFaviconController(nullptr);
    FRNHCGUtils::clearCache();
    SubscriptionsAppFixture::TearDown();
  }

  QUrl siteFeedURL() const { return server.url(QStringLiteral("/site.xml")); }
  int iconRequests() const
  {
    int count = 0;
    for (const ZPHTestHTTPRequest& request : server.requests())
      count += request.path == QLatin1String(GetParam().iconPath) ? 1 : 0;
    return count;
  }

  // The icon the source list draws for the site's feed in a selected row
  // (the icon itself, not its template mask); null while it has none.
  QImage sourceListIcon() const
  {
    CBFeed* feed = account()->feedWithURL(siteFeedURL());
    if (feed == nullptr)
      return {};
    const QList<CBTreeNode::Pointer> nodes =
        app.delegate->sourceListTreeBuilder()->treeNodesForRepresentedObject(static_cast<CBNode*>(feed));
    if (nodes.isEmpty())
      return {};
    return sourceList()
        ->model()
        ->indexForNode(nodes.first().get())
        .data(ZPHSourceListModel::SelectedImageRole)
        .value<QImage>();
  }
  bool showsSiteIcon() const
  {
    const QImage icon = sourceListIcon();
    return !icon.isNull() && icon.pixelColor(icon.width() / 2, icon.height() / 2) == siteColour;
  }

  // Starts, adds the site through the Add Site window as the user does and
  // waits for its icon in the source list; then quits.
  void addSiteAndQuit()
  {
    start();
    commands->addSite(QString(), false, true);
    ZPHAddSiteWindowController* window = commands->addSiteWindowController();
    ASSERT_NE(window, nullptr);
    ZPHAddSiteAddressContentViewController* pane = window->addressContentViewController();
    pane->urlStringTextView()->setPlainText(server.url(QString::fromLatin1(GetParam().typedPath)).toString());
    pane->addSitesAction();
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return pane->state() == 5; }, 30000));
    window->addSiteButton()->click();
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return commands->addSiteWindowController() == nullptr; }, 60000));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return showsSiteIcon(); }, 60000));
    app.settle();
    app.stop();
  }

  // Starts again as a new process would: nothing of the icons is left in
  // memory and a new favicon controller opens the cache folder (wiping it
  // when its week is over).
  void startAsANewProcess()
  {
    FRNHCGUtils::clearCache();
    favicons = std::make_unique<CBFaviconController>(ZPHSharedTestCacheFolder());
    iconFolderEmptyAtStart = QDir(favicons->folderPath()).isEmpty();
    FRNHCGUtils::setFaviconController(favicons.get());
    start();
  }

  const QColor siteColour = QColor(200, 30, 40);
  // The site answers nothing any more: only what was kept can show.
  bool siteGone = false;
  // The icon's body comes after a while.
  bool slowIcon = false;
  std::unique_ptr<CBFaviconController> favicons;
  bool iconFolderEmptyAtStart = false;
};

}  // namespace

TEST_P(AddedSiteIcon, IsKeptAcrossARestart)
{
  addSiteAndQuit();
  siteGone = true;
  startAsANewProcess();
  EXPECT_FALSE(iconFolderEmptyAtStart);
  EXPECT_TRUE(showsSiteIcon());
}

// The icon folder is emptied once a week when the application starts. The
// network layer cancels every download when the connection comes, here
// while the first rows' icon is on its way; the icon comes all the same.
TEST_P(AddedSiteIcon, ComesBackAfterTheWeeklyClearingWhenTheConnectionComesLate)
{
  addSiteAndQuit();
  ZPHUserDefaults::standardUserDefaults().setObject(
      CBFaviconCacheLastNukedKey, QDateTime::currentDateTimeUtc().addSecs(-CBFaviconController::WipeIntervalSeconds));
  slowIcon = true;
  app.connected = false;
  const int before = iconRequests();
  startAsANewProcess();
  EXPECT_TRUE(iconFolderEmptyAtStart);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return iconRequests() > before; }, 30000));
  ASSERT_FALSE(showsSiteIcon());
  app.reachability->setConnected(true);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return showsSiteIcon(); }, 30000));
}

INSTANTIATE_TEST_SUITE_P(Sites, AddedSiteIcon,
                         ::testing::Values(SiteShape{"FeedTypedIconAtTheRoot", "/favicon.ico", "/site.xml"},
                                           SiteShape{"PageTypedIconLinked", "/images/site-icon.png", "/"}),
                         [](const ::testing::TestParamInfo<SiteShape>& info) { return info.param.name; });
