// The browser pages' profile: kept in the application's folders, no
// internal scheme handlers, its settings and the plug-ins setting followed.

#include "app/ZPHAppTestSchemes.h"
#include "foundation/CBPrefs.h"
#include "platform/ZPHUserDefaults.h"
#include "web/ZPHExternalPagesProfile.h"
#include "web/ZPHInternalSchemes.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineSettings>

#include <gtest/gtest.h>

namespace {

TEST(ExternalPagesProfileTest, BrowserPagesGetNoneOfTheApplicationsOwnContent)
{
  ZPHTestTempDir folder;
  ZPHUserDefaults defaults(folder.filePath(QStringLiteral("defaults.conf")));
  defaults.setBool(ZPHPluginsEnabled, false);
  ZPHExternalPagesProfile pages(folder.filePath(QStringLiteral("data")), folder.filePath(QStringLiteral("cache")),
                                &defaults);
  EXPECT_FALSE(pages.hasProfile());
  QWebEngineProfile* profile = pages.profile();
  ASSERT_NE(profile, nullptr);
  EXPECT_EQ(profile->storageName(), QStringLiteral("ZPHExternalPages"));
  EXPECT_FALSE(profile->isOffTheRecord());
  EXPECT_TRUE(profile->persistentStoragePath().startsWith(folder.filePath(QStringLiteral("data"))));
  EXPECT_TRUE(profile->cachePath().startsWith(folder.filePath(QStringLiteral("cache"))));
  for (const QByteArray& scheme : ZPHInternalSchemes::internalSchemes())
    EXPECT_EQ(profile->urlSchemeHandler(scheme), nullptr) << scheme.constData();

  QWebEngineSettings* settings = profile->settings();
  EXPECT_TRUE(settings->testAttribute(QWebEngineSettings::JavascriptEnabled));
  EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::JavascriptCanOpenWindows));
  EXPECT_TRUE(settings->testAttribute(QWebEngineSettings::LinksIncludedInFocusChain));
  EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::PdfViewerEnabled));
  EXPECT_EQ(settings->unknownUrlSchemePolicy(), QWebEngineSettings::DisallowUnknownUrlSchemes);
  // Local files reach neither other files nor the web; a drop never
  // navigates a page.
  EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls));
  EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls));
  EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::NavigateOnDropEnabled));
  // The engine's user agent, then the application's name.
  EXPECT_TRUE(profile->httpUserAgent().endsWith(QStringLiteral(" Version/6.0 Zephlin/") + ZEPHLIN_VERSION))
      << profile->httpUserAgent().toStdString();
  EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::PluginsEnabled));
  defaults.setBool(ZPHPluginsEnabled, true);
  EXPECT_TRUE(settings->testAttribute(QWebEngineSettings::PluginsEnabled));
}

TEST(ExternalPagesProfileTest, NothingOfTheProfileLandsOutsideItsFolders)
{
  // The standard folders of the run (the user's, in a real run) stay clean.
  const QStringList standard{QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
                             QStandardPaths::writableLocation(QStandardPaths::CacheLocation)};
  for (const QString& place : standard) QDir(place).removeRecursively();
  ZPHTestTempDir folder;
  {
    ZPHUserDefaults defaults(folder.filePath(QStringLiteral("defaults.conf")));
    ZPHExternalPagesProfile pages(folder.filePath(QStringLiteral("data")), folder.filePath(QStringLiteral("cache")),
                                  &defaults);
    QWebEnginePage page(pages.profile());
    bool loaded = false;
    QObject::connect(&page, &QWebEnginePage::loadFinished, [&] { loaded = true; });
    page.setHtml(QStringLiteral("<p>a page</p>"));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return loaded; }, 30000));
  }
  ZPHTestSpinEventLoop(200);
  for (const QString& place : standard)
    EXPECT_FALSE(QFileInfo::exists(place + QStringLiteral("/QtWebEngine"))) << place.toStdString();
  EXPECT_TRUE(QFileInfo::exists(folder.filePath(QStringLiteral("data/WebEngine/ZPHExternalPages/user_prefs.json"))));
}

TEST(ExternalPagesProfileTest, NoDebuggingPortWhateverTheEnvironmentAsks)
{
  qputenv("QTWEBENGINE_REMOTE_DEBUGGING", "9222");
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--foo --remote-debugging-port=9223 --auto-open-devtools-for-tabs --bar");
  ZPHExternalPagesProfile::closeDebuggingEntrances();
  EXPECT_FALSE(qEnvironmentVariableIsSet("QTWEBENGINE_REMOTE_DEBUGGING"));
  EXPECT_EQ(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), QByteArray("--foo --bar"));
  qunsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
}

}  // namespace
