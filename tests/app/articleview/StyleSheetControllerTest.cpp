#include "ArticleTestSupport.h"

#include "articleview/ZPHArticleTheme.h"
#include "articleview/ZPHStyleSheetController.h"
#include "foundation/CBPrefs.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QSet>
#include <QtGui/QFontDatabase>
#include <QtGui/QFontInfo>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineSettings>

#include <gtest/gtest.h>

#include <memory>

namespace {

class StyleSheetControllerTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    observer = ZPHNotificationCenter::defaultCenter().addObserver(ZPHStylesDidChangeNotification, QVariant(),
                                                                  [this](const ZPHNotification& notification) {
                                                                    EXPECT_FALSE(notification.object.isValid());
                                                                    ++posts;
                                                                  });
  }

  // A controller on these defaults whose installed fonts are `installed`.
  std::unique_ptr<ZPHStyleSheetController> make(QSet<QString> installed = {}, qreal scale = 1.0)
  {
    return std::make_unique<ZPHStyleSheetController>(
        defaults, [installed](const QString& family) { return installed.contains(family); }, scale,
        temp.filePath(QStringLiteral("cache/ArticleThemes.noindex/StyleSheets")));
  }

  static QString systemFamily(bool fixed)
  {
    return QFontInfo(QFontDatabase::systemFont(fixed ? QFontDatabase::FixedFont : QFontDatabase::GeneralFont)).family();
  }

  ZPHTestTempDir temp;
  ZPHUserDefaults defaults{temp.filePath(QStringLiteral("defaults.conf"))};
  ZPHObserverToken observer;
  int posts = 0;
};

TEST_F(StyleSheetControllerTest, TheFirstRunSetsTheFontsOnceWithTheInstalledFamilies)
{
  {
    auto controller = make({QStringLiteral("Helvetica"), QStringLiteral("Menlo")});
    EXPECT_EQ(controller->minimumFontSize(), 10);
    EXPECT_EQ(controller->defaultFixedFontSize(), 15);
    EXPECT_EQ(controller->defaultFontSize(), 17);
    EXPECT_EQ(text(controller->standardFontFamily()), "Helvetica");
    EXPECT_EQ(text(controller->fixedFontFamily()), "Menlo");
    EXPECT_TRUE(defaults.boolForKey(ZPHStyleSheetController::HasSetStyleDefaultsKey));
    EXPECT_EQ(posts, 5) << "one post per setter of the reset";
  }
  // Not again: the user's choices stay.
  defaults.setInteger(ZPHStyleSheetController::DefaultFontSizeKey, 21);
  EXPECT_EQ(make({QStringLiteral("Helvetica")})->defaultFontSize(), 21);

  // On a screen of scale 2, "Helvetica Neue"; families that are not
  // installed give way to the system's.
  ZPHUserDefaults fresh(temp.filePath(QStringLiteral("fresh.conf")));
  ZPHStyleSheetController retina(
      fresh, [](const QString& family) { return family == QLatin1String("Helvetica Neue"); }, 2.0, temp.path());
  EXPECT_EQ(text(retina.standardFontFamily()), "Helvetica Neue");
  EXPECT_EQ(retina.fixedFontFamily(), systemFamily(true));
  ZPHUserDefaults bare(temp.filePath(QStringLiteral("bare.conf")));
  ZPHStyleSheetController plain(bare, {}, 1.0, temp.path());
  EXPECT_EQ(plain.standardFontFamily(), systemFamily(false));
  EXPECT_FALSE(plain.standardFontFamily().isEmpty());
  EXPECT_EQ(plain.defaultFont().family(), systemFamily(false));
  EXPECT_EQ(plain.defaultFont().pointSize(), 12);
  EXPECT_TRUE(plain.defaultFixedFont().fixedPitch());
}

TEST_F(StyleSheetControllerTest, SizesOutsideTheLimitsChangeNothing)
{
  auto controller = make();
  posts = 0;
  controller->setDefaultFontSize(31);
  controller->setDefaultFontSize(9);
  controller->setDefaultFixedFontSize(31);
  EXPECT_EQ(controller->defaultFontSize(), 17);
  EXPECT_EQ(controller->defaultFixedFontSize(), 15);
  EXPECT_EQ(posts, 0);
  controller->setDefaultFontSize(30);
  EXPECT_EQ(controller->defaultFontSize(), 30);
  controller->setMinimumFontSize(12);
  controller->setDefaultFixedFontSize(11);
  EXPECT_EQ(controller->defaultFixedFontSize(), 15);
  controller->setDefaultFixedFontSize(12);
  EXPECT_EQ(controller->defaultFixedFontSize(), 12);
  EXPECT_EQ(posts, 3);
  controller->setStandardFontFamily(QStringLiteral("DejaVu Serif"));
  controller->setFixedFontFamily(QStringLiteral("DejaVu Sans Mono"));
  EXPECT_EQ(posts, 5);
}

TEST_F(StyleSheetControllerTest, TheMarginIndexIsClampedOnReading)
{
  auto controller = make();
  EXPECT_EQ(controller->currentMarginIndex(), 0);
  EXPECT_EQ(controller->marginAtCurrentIndex(), 34.0);
  EXPECT_EQ(controller->maximumMarginIndex(), 15);
  EXPECT_EQ(controller->marginAtIndex(15), 94.0);
  EXPECT_EQ(controller->marginAtIndex(1), 38.0);
  EXPECT_FALSE(controller->marginAtIndex(16).has_value());
  EXPECT_FALSE(controller->marginAtIndex(-1).has_value());

  posts = 0;
  controller->setCurrentMarginIndex(40);
  EXPECT_EQ(defaults.integerForKey(ZPHStyleMarginIndexKey), 40) << "stored as given";
  EXPECT_EQ(controller->currentMarginIndex(), 15);
  controller->setCurrentMarginIndex(-3);
  EXPECT_EQ(controller->currentMarginIndex(), 0);
  controller->setCurrentMarginIndex(5);
  EXPECT_EQ(controller->marginAtCurrentIndex(), 54.0);
  EXPECT_EQ(controller->resetArticleMargins(), 34.0);
  EXPECT_EQ(controller->currentMarginIndex(), 0);
  EXPECT_EQ(posts, 4);
  defaults.removeObject(ZPHStyleMarginIndexKey);
  EXPECT_EQ(controller->currentMarginIndex(), 0);
}

TEST_F(StyleSheetControllerTest, TheWindowScaleMovesOnlyHelvetica)
{
  auto controller = make({QStringLiteral("Helvetica"), QStringLiteral("Helvetica Neue")});
  controller->windowScaleFactorChanged(2.0);
  EXPECT_EQ(text(controller->standardFontFamily()), "Helvetica Neue");
  controller->windowScaleFactorChanged(1.0);
  EXPECT_EQ(text(controller->standardFontFamily()), "Helvetica");
  controller->setStandardFontFamily(QStringLiteral("Georgia"));
  controller->windowScaleFactorChanged(2.0);
  EXPECT_EQ(text(controller->standardFontFamily()), "Georgia");

  controller->setStandardFontFamily(QStringLiteral("Helvetica"));
  defaults.setBool(ZPHStyleSheetController::DisableAutomaticFamilyChangeKey, true);
  controller->windowScaleFactorChanged(2.0);
  EXPECT_EQ(text(controller->standardFontFamily()), "Helvetica");

  // A family that is not installed is not switched to.
  defaults.setBool(ZPHStyleSheetController::DisableAutomaticFamilyChangeKey, false);
  auto onlyHelvetica = make({QStringLiteral("Helvetica")});
  onlyHelvetica->windowScaleFactorChanged(2.0);
  EXPECT_EQ(text(onlyHelvetica->standardFontFamily()), "Helvetica");
}

TEST_F(StyleSheetControllerTest, TheSettingsReachTheWebView)
{
  auto controller = make();
  controller->setStandardFontFamily(QStringLiteral("DejaVu Serif"));
  controller->setFixedFontFamily(QStringLiteral("DejaVu Sans Mono"));
  controller->setDefaultFontSize(19);
  QWebEngineProfile profile;
  QWebEngineSettings* settings = profile.settings();
  controller->applyToSettings(settings);
  for (auto family :
       {QWebEngineSettings::StandardFont, QWebEngineSettings::SerifFont, QWebEngineSettings::SansSerifFont})
    EXPECT_EQ(text(settings->fontFamily(family)), "DejaVu Serif");
  EXPECT_EQ(text(settings->fontFamily(QWebEngineSettings::FixedFont)), "DejaVu Sans Mono");
  EXPECT_EQ(settings->fontSize(QWebEngineSettings::DefaultFontSize), 19);
  EXPECT_EQ(settings->fontSize(QWebEngineSettings::DefaultFixedFontSize), 15);
  EXPECT_EQ(settings->fontSize(QWebEngineSettings::MinimumFontSize), 10);
}

TEST_F(StyleSheetControllerTest, TheThemeIsCopiedFromTheResourcesIntoItsFolder)
{
  auto controller = make();
  ZPHArticleTheme* theme = controller->defaultArticleTheme();
  ASSERT_NE(theme, nullptr);
  EXPECT_EQ(controller->defaultArticleTheme(), theme);
  EXPECT_EQ(controller->styleSheetFolders(), QStringList{controller->themeFolder()});
  EXPECT_EQ(theme->folderPath(), controller->themeFolder());
  EXPECT_EQ(text(theme->nameForDisplay()), "StyleSheets");
  EXPECT_EQ(theme->subthemeStylesheetFilenames(), (QStringList{"light.css", "dark.css"}));
  for (const QString name : {"template.html", "stylesheet.css", "light.css", "dark.css", "theme.js", "Info.json"}) {
    QFile shipped(QStringLiteral(":/StyleSheets/") + name);
    QFile copy(QDir(controller->themeFolder()).filePath(name));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly)) << text(name);
    EXPECT_EQ(shipped.readAll(), copy.readAll()) << text(name);
  }
  EXPECT_FALSE(theme->htmlTemplate().isEmpty());
  EXPECT_FALSE(theme->themeScript().isEmpty());
  EXPECT_EQ(text(theme->activeSubthemeName()), "light");

  // A later start puts back what changed and removes what was not shipped.
  const QString folder = controller->themeFolder();
  {
    QFile changed(QDir(folder).filePath(QStringLiteral("dark.css")));
    ASSERT_TRUE(changed.open(QIODevice::WriteOnly));
    changed.write("body { color: red }");
    QFile extra(QDir(folder).filePath(QStringLiteral("old.css")));
    ASSERT_TRUE(extra.open(QIODevice::WriteOnly));
  }
  EXPECT_TRUE(ZPHStyleSheetController::installTheme(QStringLiteral(":/StyleSheets"), folder));
  QFile shipped(QStringLiteral(":/StyleSheets/dark.css"));
  QFile copy(QDir(folder).filePath(QStringLiteral("dark.css")));
  ASSERT_TRUE(shipped.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
  EXPECT_EQ(shipped.readAll(), copy.readAll());
  EXPECT_FALSE(QFile::exists(QDir(folder).filePath(QStringLiteral("old.css"))));
  EXPECT_FALSE(ZPHStyleSheetController::installTheme(QStringLiteral(":/NoSuchFolder"), folder));
}

}  // namespace
