#include "app/shell/AppHarness.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "platform/ZPHOperation.h"
#include "sharing/CBPlugin.h"
#include "sharing/ZPHPluginManager.h"
#include "shell/ZPHCommandLine.h"
#include "shell/ZPHFeedbackMailer.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/entities/CBDataArticle.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/tree/CBTreeNode.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHWebEnginePage.h"

#include <QtCore/QUrlQuery>
#include <QtTest/QSignalSpy>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWidgets/QDialog>
#include <QtWidgets/QMainWindow>

TEST(DelegateServices, BeforeTheStoreExistsForwardsDoNothing)
{
  ZPHResetApplicationSettings();
  ZPHTestTempDir dir;
  ZPHAppDelegate::Environment environment;
  environment.dataFolder = dir.filePath(QStringLiteral("data"));
  environment.cacheFolder = ZPHSharedTestCacheFolder();
  ZPHAppDelegate delegate(std::move(environment));

  EXPECT_EQ(ZPHCoreApplicationDelegate::sharedDelegate(), &delegate);
  EXPECT_EQ(ZPHAppDelegate::appDelegate(), &delegate);
  EXPECT_EQ(delegate.dataController(), nullptr);
  EXPECT_EQ(delegate.refreshController(), nullptr);
  EXPECT_EQ(delegate.mainThreadManagedObjectContext(), nullptr);
  EXPECT_EQ(delegate.temporaryManagedObjectContext(), nullptr);
  EXPECT_EQ(delegate.temporaryManagedObjectContextOnPrivateQueue(), nullptr);
  bool ran = false;
  delegate.addCoreDataQueueBlock([&] { ran = true; }, [&] { ran = true; });
  delegate.addMainThreadCoreDataQueueBlock([&] { ran = true; });
  delegate.addMainThreadCoreDataQueueBlockIgnoringTermination([&] { ran = true; });
  delegate.addCoreDataQueueOperation(std::make_shared<ZPHBlockOperation>([&] { ran = true; }));
  delegate.saveManagedObjectContext(nullptr);
  ZPHTestSpinEventLoop(20);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(delegate.addFeedsWithSubscribeRequestReturningNewlyAddedFeeds(nullptr).isEmpty());
  // The folders are fixed from the start.
  EXPECT_EQ(delegate.pathToDataFolder(), dir.filePath(QStringLiteral("data")));
  EXPECT_EQ(delegate.pathToCacheFolder(), ZPHSharedTestCacheFolder());
  // The registered defaults.
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  EXPECT_TRUE(defaults.boolForKey(ZPHFavoritesFeedsEnabled));
  EXPECT_EQ(defaults.stringForKey(QStringLiteral("ZPHKeyMapSetName")), QStringLiteral("Zephlin 4"));
  EXPECT_TRUE(defaults.boolForKey(QStringLiteral("ZPHPictureLayout")));
  EXPECT_TRUE(defaults.boolForKey(QStringLiteral("ZPHPluginsEnabled")));
  EXPECT_TRUE(defaults.boolForKey(QStringLiteral("ZPHBrowserSelectNewTabsAsTheyAreCreated")));
}

TEST(DelegateServices, OnlyWebAddressesGoToTheBrowser)
{
  ZPHTestTempDir dir;
  QList<QUrl> opened;
  ZPHAppDelegate::Environment environment;
  environment.dataFolder = dir.filePath(QStringLiteral("data"));
  environment.cacheFolder = ZPHSharedTestCacheFolder();
  environment.openURL = [&](const QUrl& url) {
    opened.append(url);
    return true;
  };
  ZPHAppDelegate delegate(std::move(environment));
  EXPECT_TRUE(delegate.openURLInDefaultWebBrowser(QUrl("https://example.com/")));
  EXPECT_TRUE(delegate.openURLInDefaultWebBrowser(QUrl("HTTP://example.com/a")));
  for (const char* refused : {"file:///etc/passwd", "javascript:alert(1)", "mailto:a@example.com", "", "feed:x"})
    EXPECT_FALSE(delegate.openURLInDefaultWebBrowser(QUrl(QString::fromLatin1(refused)))) << refused;
  EXPECT_EQ(opened.size(), 2);
}

TEST(DelegateServices, StatusItemsAreKeptAndTheirHandlersRunAtOnce)
{
  ZPHTestTempDir dir;
  ZPHAppDelegate::Environment environment;
  environment.dataFolder = dir.filePath(QStringLiteral("data"));
  environment.cacheFolder = ZPHSharedTestCacheFolder();
  ZPHAppDelegate delegate(environment);
  auto refreshing = ZPHStatusItem::statusItemWithLocalizedDescription(
      QStringLiteral("Refreshing Sites…"), QStringLiteral("refreshing"), ZPHStatusItemTypeIndeterminateProgress);
  auto progress = ZPHStatusItem::statusItemWithLocalizedDescription(
      QStringLiteral("Importing"), QStringLiteral("import"), ZPHStatusItemTypeIndeterminateProgress);
  int handled = 0;
  delegate.addStatusItem(refreshing, [&] { ++handled; });
  EXPECT_EQ(handled, 1);
  delegate.addStatusItem(progress, {});
  EXPECT_EQ(delegate.statusItems(), (QList<std::shared_ptr<ZPHStatusItem>>{refreshing, progress}));
  delegate.removeStatusItem(refreshing, [&] { ++handled; });
  EXPECT_EQ(handled, 2);
  EXPECT_EQ(delegate.statusItems(), QList<std::shared_ptr<ZPHStatusItem>>{progress});
  delegate.removeAnyStatusItemWithIdentifier(QStringLiteral("import"));
  EXPECT_TRUE(delegate.statusItems().isEmpty());
}

namespace {

// The running application on a fresh data folder.
class RunningDelegateServices : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    app.start();
    delegate = app.delegate.get();
    ASSERT_TRUE(delegate->startupSequenceEnded());
  }

  ZPHTestTempDir dir;
  AppHarness app{dir.filePath(QStringLiteral("data"))};
  ZPHAppDelegate* delegate = nullptr;
};

}  // namespace

TEST_F(RunningDelegateServices, SheetsNeedAVisibleMainWindow)
{
  delegate->mainWindow()->hide();
  QDialog sheet;
  bool worked = false;
  EXPECT_FALSE(delegate->runModalSheet(&sheet, [&] { worked = true; }));
  EXPECT_FALSE(delegate->runningModalSheet());

  delegate->mainWindow()->show();
  auto* shown = new QDialog;
  EXPECT_TRUE(delegate->runModalSheet(shown, [&] { worked = true; }));
  EXPECT_TRUE(delegate->runningModalSheet());
  EXPECT_EQ(shown->parentWidget(), delegate->mainWindow());
  // One sheet at a time.
  QDialog another;
  EXPECT_FALSE(delegate->runModalSheet(&another, {}));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return worked; }));
  shown->accept();
  EXPECT_FALSE(delegate->runningModalSheet());
  // While a sheet runs, the Add Site request answers nothing.
  EXPECT_TRUE(delegate->addFeedsWithSubscribeRequestReturningNewlyAddedFeeds(nullptr).isEmpty());
  delete shown;
}

namespace {

// A plug-in that hears of what the user views.
class ViewObserverPlugin : public CBPlugin, public CBAppObserver {
public:
  static inline QStringList viewed;
  void userDidViewItem(const CBSharableItem& item) override { viewed.append(item.URL().toString()); }
};

}  // namespace

TEST_F(RunningDelegateServices, SourceListSelectionObserverPluginsAndAWebPagesSharingDictionary)
{
  // Selecting in the main window's source list, with and without a reload
  // of its data first.
  ZPHSourceListViewController* sourceList = delegate->mainWindowController()->sourceListViewController();
  ASSERT_NE(sourceList->nodeForRow(2), nullptr);
  const ZPHRepresentedObject today = sourceList->nodeForRow(2)->representedObject();
  const ZPHRepresentedObject allUnread = sourceList->nodeForRow(1)->representedObject();
  for (bool refresh : {false, true}) {
    delegate->selectRepresentedObjectInMainWindowSourceList(today, refresh, true);
    EXPECT_EQ(sourceList->selectedRows(), QList<int>{2}) << refresh;
    delegate->selectRepresentedObjectInMainWindowSourceList(allUnread, refresh, true);
    EXPECT_EQ(sourceList->selectedRows(), QList<int>{1}) << refresh;
  }

  // The plug-ins that observe hear what the application fans out; the
  // others do not.
  ZPHPluginManager::registerPluginClass(QStringLiteral("ViewObserverPlugin"),
                                        [] { return std::make_unique<ViewObserverPlugin>(); });
  ZPHPluginManager::sharedManager()->registerPluginOfClass(QStringLiteral("ViewObserverPlugin"));
  ViewObserverPlugin::viewed.clear();
  const CBSharableItem item = CBSharableItem::sharableItemWithURL(QUrl(QStringLiteral("https://example.com/a")));
  delegate->makeAppObserversPerform([&](CBAppObserver* observer) { observer->userDidViewItem(item); });
  EXPECT_EQ(ViewObserverPlugin::viewed, QStringList{QStringLiteral("https://example.com/a")});

  // A web page: its address, title and source; no view: nothing.
  bool answered = false;
  ZPHAppDelegate::sharingDictionaryForWebPage(nullptr, [&](const QVariantMap& dictionary) {
    answered = true;
    EXPECT_TRUE(dictionary.isEmpty());
  });
  EXPECT_TRUE(answered);
  QWebEngineProfile profile;
  ZPHWebEnginePage page(&profile);
  page.setNavigationPolicy([](const QUrl&, QWebEnginePage::NavigationType, bool) { return true; });
  ZPHMacWebView view;
  view.setWebPage(&page);
  QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
  page.setHtml(QStringLiteral("<html><head><title>A &amp; B</title></head><body><p>Hello</p></body></html>"),
               QUrl(QStringLiteral("https://example.com/page")));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !loaded.isEmpty(); }, 30000));
  ASSERT_TRUE(loaded.first().first().toBool());
  std::optional<QVariantMap> shared;
  ZPHAppDelegate::sharingDictionaryForWebPage(&view, [&](const QVariantMap& dictionary) { shared = dictionary; });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return shared.has_value(); }, 30000));
  EXPECT_EQ(shared->value(QStringLiteral("url")).toString(), QStringLiteral("https://example.com/page"));
  EXPECT_EQ(shared->value(QStringLiteral("title")).toString(), QStringLiteral("A & B"));
  EXPECT_TRUE(shared->value(QStringLiteral("html")).toString().contains(QStringLiteral("<p>Hello</p>")));
}

TEST(DelegateServices, SmallAnswers)
{
  // Sharing dictionaries leave out what is missing.
  EXPECT_EQ(ZPHAppDelegate::sharingDictionaryWithLink(QStringLiteral("https://example.com/")),
            (QVariantMap{{QStringLiteral("url"), QStringLiteral("https://example.com/")}}));
  EXPECT_TRUE(ZPHAppDelegate::sharingDictionaryWithLink(QString()).isEmpty());

  // Only the two key sets exist.
  struct Case {
    QVariant stored;
    const char* used;
  };
  const Case keySets[] = {{QStringLiteral("Zephlin 3"), "Zephlin 3"},
                          {QStringLiteral("Zephlin 4"), "Zephlin 4"},
                          {QStringLiteral("Zephlin 5"), "Zephlin 4"},
                          {QStringLiteral("zephlin 3"), "Zephlin 4"},
                          {QVariant(), "Zephlin 4"},
                          {3, "Zephlin 4"}};
  for (const Case& c : keySets) EXPECT_EQ(ZPHAppDelegate::keyMapSetNameForStoredValue(c.stored), c.used);

  // Decided once for the process.
  const bool sandboxed = ZPHAppDelegate::isRunningSandboxed();
  const QByteArray home = qgetenv("HOME");
  qputenv("HOME", "/nonexistent-home");
  EXPECT_EQ(ZPHAppDelegate::isRunningSandboxed(), sandboxed);
  qputenv("HOME", home);

  const QString agent = ZPHAppDelegate::userAgentString();
  EXPECT_TRUE(agent.startsWith(QStringLiteral("Zephlin/") + QStringLiteral(ZEPHLIN_VERSION) + " (Linux; https://"));
  EXPECT_TRUE(agent.endsWith(QLatin1String("; gzip-happy)")));
  EXPECT_TRUE(ZPHAppDelegate::webViewApplicationName().startsWith(QLatin1String("Version/")));
  EXPECT_TRUE(ZPHAppDelegate::webViewApplicationName().endsWith(QStringLiteral(" Zephlin/") + ZEPHLIN_VERSION));
}

TEST(DelegateServices, TheOldHideSettingGoesOnlyWhenNeitherNewOneIsSet)
{
  struct Case {
    bool hideReadArticles;
    bool hideFeedsWithNoUnread;
    bool oldKeyStays;
  };
  const Case cases[] = {{false, false, false}, {true, false, true}, {false, true, true}};
  for (const Case& c : cases) {
    ZPHResetApplicationSettings();
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    defaults.setBool(QStringLiteral("ZPHHideReadItems"), true);
    if (c.hideReadArticles)
      defaults.setBool(QStringLiteral("ZPHHideReadArticles"), true);
    if (c.hideFeedsWithNoUnread)
      defaults.setBool(QStringLiteral("ZPHHideFeedsWithNoUnread"), true);
    ZPHTestTempDir dir;
    AppHarness app(dir.filePath(QStringLiteral("data")));
    app.start();
    EXPECT_EQ(defaults.hasStoredValue(QStringLiteral("ZPHHideReadItems")), c.oldKeyStays);
  }
}

TEST(CommandLine, DataDirectoryScreenshotAndErrors)
{
  QProcessEnvironment none;
  QProcessEnvironment withVariable;
  withVariable.insert(QStringLiteral("ZEPHLIN_DATA_DIR"), QStringLiteral("/from/variable"));
  QString error;

  std::optional<ZPHCommandLine> line = ZPHCommandLine::parse({"zephlin"}, none, &error);
  ASSERT_TRUE(line);
  EXPECT_TRUE(line->dataDirectory.isEmpty());
  EXPECT_TRUE(line->dataFolder().isEmpty());
  EXPECT_TRUE(line->settingsFolder().isEmpty());

  line = ZPHCommandLine::parse({"zephlin", "--data-dir", "/tmp/z/../zz", "--screenshot", "shot.png"}, withVariable,
                               &error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->dataDirectory, QStringLiteral("/tmp/zz"));
  EXPECT_EQ(line->dataFolder(), QStringLiteral("/tmp/zz/data"));
  EXPECT_EQ(line->cacheFolder(), QStringLiteral("/tmp/zz/cache"));
  EXPECT_EQ(line->settingsFolder(), QStringLiteral("/tmp/zz"));
  EXPECT_EQ(line->screenshotPath, QDir::current().absoluteFilePath(QStringLiteral("shot.png")));

  line =
      ZPHCommandLine::parse({"zephlin", "--screenshot", "shot.png", "--screenshot-state", "state.json"}, none, &error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->screenshotStatePath, QDir::current().absoluteFilePath(QStringLiteral("state.json")));

  line = ZPHCommandLine::parse({"zephlin", "feed://example.com/rss"}, withVariable, &error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->dataDirectory, QStringLiteral("/from/variable"));
  EXPECT_EQ(line->positionalArguments, QStringList{QStringLiteral("feed://example.com/rss")});

  for (const QStringList& bad : {QStringList{"zephlin", "--data-dir"}, QStringList{"zephlin", "--data-dir="},
                                 QStringList{"zephlin", "--screenshot="}, QStringList{"zephlin", "--no-such-option"},
                                 QStringList{"zephlin", "--screenshot-state", "state.json"}}) {
    error.clear();
    EXPECT_FALSE(ZPHCommandLine::parse(bad, none, &error)) << bad.join(' ').toStdString();
    EXPECT_FALSE(error.isEmpty());
  }
  EXPECT_TRUE(ZPHCommandLine::parse({"zephlin", "--help"}, none, &error)->helpRequested);
}

TEST(FeedbackMailer, SubjectAndBodyAreEncodedInFull)
{
  const QString subject = QStringLiteral("Q&A = 100% #1?");
  const QString body = QStringLiteral("a&body=evil\nline two +plus\r\n€ and ü; cc=x@example.org");
  const QUrl url = ZPHFeedbackMailer(subject, body).mailtoURL();
  EXPECT_EQ(url.scheme(), QStringLiteral("mailto"));
  EXPECT_EQ(url.path(), ZPHFeedbackMailer::FeedbackRecipient);
  const QUrlQuery query(url);
  EXPECT_EQ(query.queryItems(QUrl::FullyDecoded).size(), 2);
  EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), subject);
  EXPECT_EQ(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded), body);
  const QByteArray encoded = url.toEncoded();
  EXPECT_FALSE(encoded.contains('\n'));
  EXPECT_FALSE(encoded.contains('#'));
  EXPECT_EQ(encoded.count('&'), 1);

  const ZPHFeedbackMailer feedback = ZPHFeedbackMailer::defaultFeedbackMailer();
  EXPECT_EQ(feedback.subject(), QStringLiteral("Zephlin Feedback"));
  QUrl opened;
  EXPECT_TRUE(feedback.send([&](const QUrl& url) {
    opened = url;
    return true;
  }));
  // The feedback mail carries the system information after the text.
  const QString sent = QUrlQuery(opened).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
  EXPECT_TRUE(sent.startsWith(QStringLiteral("Thanks for helping us make Zephlin better.\n\n+++++++++ Your Feedback")))
      << sent.toStdString();
  EXPECT_TRUE(sent.contains(QStringLiteral("+++++++++ Your System Information +++++++++")));
}
