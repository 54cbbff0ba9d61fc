#pragma once

// Shared by the browser tests: a real store in a folder of the test's own
// (the run's application delegate forwarding to it), the browser pages'
// real profile, and the application's services recorded instead of
// reaching the desktop (links handed out, subscriptions asked for,
// commands).

#include "app/ZPHAppTestSchemes.h"
#include "browser/ZPHTabsController.h"
#include "common/ZPHAppServices.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"
#include "themes/ZPHRegisterThemes.h"
#include "web/ZPHExternalPagesProfile.h"

#include <QtCore/QDir>
#include <QtCore/QUrl>
#include <QtGui/QAction>

#include <gtest/gtest.h>

#include <memory>
#include <string>

inline std::string text(const QString& string) { return string.toStdString(); }

// What the views ask of the application, recorded.
class RecordingServices final : public ZPHAppServices {
public:
  struct Link {
    QUrl url;
    LinkPlace place;
    bool operator==(const Link& other) const { return url == other.url && place == other.place; }
  };
  QList<Link> links;
  QStringList subscriptions;
  QHash<QString, QAction*> commands;

  LinkOutcome openLink(const QUrl& url, const LinkRequest& request) override
  {
    links.append({url, request.place});
    return LinkOutcome::External;
  }
  void handleSubscribeToFeedRequest(const QString& urlString, bool, bool) override { subscriptions.append(urlString); }
  void applicationOpenFiles(const QStringList&) override {}
  QAction* commandAction(const QString& selector) const override { return commands.value(selector); }
  bool runModalSheet(QDialog*, std::function<void()>) override { return false; }
  QString applicationNameForWebviewUserAgent() const override { return webViewApplicationName(); }
};

// The run's one application delegate: the caches of the core library keep
// the folders of the delegate they first met.
inline ZPHTestApplicationDelegate& browserTestDelegate()
{
  static ZPHTestApplicationDelegate* delegate = new ZPHTestApplicationDelegate;  // kept for the run
  return *delegate;
}

class BrowserStoreTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHRegisterThemes();
    ZPHAppServices::registerServices(&services);
    openStore();
    profile = std::make_unique<ZPHExternalPagesProfile>(folder.filePath(QStringLiteral("web-data")),
                                                        folder.filePath(QStringLiteral("web-cache")), &defaults);
  }

  void TearDown() override
  {
    tabs.reset();
    closeStore();
    profile.reset();
    ZPHTestSpinEventLoop(50);
    ZPHAppServices::unregisterServices(&services);
  }

  void openStore()
  {
    controller = std::make_unique<CBDataController>();
    browserTestDelegate().setDataFolder(folder.filePath(QStringLiteral("data")));
    browserTestDelegate().useDataController(controller.get());
    ZPHError error;
    ASSERT_TRUE(controller->setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    controller->completeSetup();
  }

  void closeStore()
  {
    if (!controller)
      return;
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller->coreDataQueueHasOperations(); }, 30000));
    ZPHTestSpinEventLoop(20);
    browserTestDelegate().useDataController(nullptr);
    controller.reset();
  }

  // A tabs controller over the store, the browser profile and the clock
  // (the system clock when null).
  ZPHTabsController* makeTabs(ZPHClock* clock = nullptr)
  {
    ZPHTabsController::Environment environment;
    environment.clock = clock;
    environment.defaults = &defaults;
    environment.profile = [this] { return profile->profile(); };
    environment.thumbnailFolder = thumbnailFolder();
    tabs = std::make_unique<ZPHTabsController>(environment);
    return tabs.get();
  }

  QString thumbnailFolder() const { return folder.filePath(QStringLiteral("TabThumbnails.noindex")); }

  ZPHTestTempDir folder;
  ZPHUserDefaults defaults{folder.filePath(QStringLiteral("defaults.conf"))};
  RecordingServices services;
  std::unique_ptr<CBDataController> controller;
  std::unique_ptr<ZPHExternalPagesProfile> profile;
  std::unique_ptr<ZPHTabsController> tabs;
};
