#include "kit/FRNHStretchableImage.h"
#include "kit/ZPHNamedImage.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "support/ZPHTestSupport.h"
#include "themes/ZPHDarkTheme.h"
#include "themes/ZPHLightTheme.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTheme.h"
#include "themes/ZPHThemeRegistry.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

// A registry of its own over its own settings file and notification center,
// with both themes registered, and the theme-changed notifications it posts.
struct RegistryFixture {
  ZPHTestTempDir dir;
  ZPHUserDefaults defaults{dir.filePath("Zephlin.conf")};
  ZPHNotificationCenter center;
  ZPHThemeRegistry registry{defaults, center};
  std::vector<ZPHTheme*> posted;
  ZPHObserverToken observer = center.addObserver(ZPHThemeChangedNotification, QVariant(), [this](const auto& n) {
    posted.push_back(n.object.template value<ZPHTheme*>());
  });

  RegistryFixture()
  {
    registry.registerThemeClass(ZPHLightThemeIdentifier, typeid(ZPHLightTheme),
                                [] { return std::make_unique<ZPHLightTheme>(); });
    registry.registerThemeClass(ZPHDarkThemeIdentifier, typeid(ZPHDarkTheme),
                                [] { return std::make_unique<ZPHDarkTheme>(); });
  }
};

}  // namespace

TEST(ThemeRegistry, TheStoredStyleIndexChoosesTheFirstCurrentTheme)
{
  struct Case {
    const char* label;
    std::optional<QVariant> stored;
    QString fromDefaults;  // null: the key is absent
    QString current;
  };
  const Case cases[] = {
      {"absent", std::nullopt, QString(), ZPHLightThemeIdentifier},
      {"0", QVariant(0), ZPHLightThemeIdentifier, ZPHLightThemeIdentifier},
      {"1", QVariant(1), ZPHDarkThemeIdentifier, ZPHDarkThemeIdentifier},
      {"2", QVariant(2), ZPHLightThemeIdentifier, ZPHLightThemeIdentifier},
      {"\"x\"", QVariant(QStringLiteral("x")), ZPHLightThemeIdentifier, ZPHLightThemeIdentifier},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RegistryFixture f;
    if (c.stored)
      f.defaults.setObject(ZPHSubthemeStyleIndexKey, *c.stored);
    EXPECT_EQ(f.registry.themeIdentifierFromUserDefaults(), c.fromDefaults);
    ZPHTheme* const current = f.registry.currentTheme();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->themeIdentifier(), c.current);
    EXPECT_EQ(f.registry.currenThemeIdentifier(), c.current);
    EXPECT_TRUE(f.posted.empty());  // choosing is not a switch
  }
}

TEST(ThemeRegistry, TheChoiceIsMadeOnceAndChangesOnlyBySwitching)
{
  RegistryFixture f;
  f.defaults.setInteger(ZPHSubthemeStyleIndexKey, 1);
  ZPHTheme* const dark = f.registry.currentTheme();
  f.defaults.setInteger(ZPHSubthemeStyleIndexKey, 0);
  EXPECT_EQ(f.registry.currentTheme(), dark);

  // The current identifier posts nothing; the other one posts once, with the
  // new theme as object.
  EXPECT_FALSE(f.registry.switchToThemeWithIdentifier(ZPHDarkThemeIdentifier));
  EXPECT_TRUE(f.posted.empty());
  EXPECT_TRUE(f.registry.switchToThemeWithIdentifier(ZPHLightThemeIdentifier));
  ASSERT_EQ(f.posted.size(), 1u);
  EXPECT_EQ(f.posted[0], f.registry.lightTheme());
  EXPECT_EQ(f.registry.currentTheme(), f.registry.lightTheme());

  // Instances are made once and reused on the way back.
  ZPHTheme* const firstLight = f.registry.lightTheme();
  EXPECT_EQ(f.registry.lightTheme(), firstLight);
  f.registry.switchToTheme(dark);
  f.registry.switchToThemeWithIdentifier(ZPHLightThemeIdentifier);
  EXPECT_EQ(f.registry.currentTheme(), firstLight);
  EXPECT_EQ(f.posted.size(), 3u);
}

TEST(ThemeRegistry, ASwitchBeforeTheFirstUseIsKept)
{
  RegistryFixture f;
  f.defaults.setInteger(ZPHSubthemeStyleIndexKey, 0);
  EXPECT_TRUE(f.registry.switchToThemeWithIdentifier(ZPHDarkThemeIdentifier));
  EXPECT_EQ(f.registry.currentTheme(), f.registry.darkTheme());
}

TEST(ThemeRegistry, ASwitchAskedForOnAnotherThreadRunsOnTheMainThread)
{
  RegistryFixture f;
  ASSERT_EQ(f.registry.currentTheme(), f.registry.lightTheme());
  bool switchedAtOnce = true;
  std::thread([&] { switchedAtOnce = f.registry.switchToThemeWithIdentifier(ZPHDarkThemeIdentifier); }).join();
  EXPECT_FALSE(switchedAtOnce);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return f.posted.size() == 1; }));
  EXPECT_EQ(f.registry.currentTheme(), f.registry.darkTheme());
}

TEST(ThemeRegistry, MissingThemesAreNullAndChangeNothing)
{
  RegistryFixture f;
  ZPHTheme* const current = f.registry.currentTheme();
  EXPECT_EQ(f.registry.themeWithIdentifier(QStringLiteral("com.example.noTheme")), nullptr);
  EXPECT_EQ(f.registry.themeWithIdentifier(QString()), nullptr);
  EXPECT_FALSE(f.registry.switchToThemeWithIdentifier(QStringLiteral("com.example.noTheme")));
  EXPECT_FALSE(f.registry.switchToThemeWithIdentifier(QString()));
  EXPECT_FALSE(f.registry.registerThemeClass(QString(), typeid(ZPHLightTheme),
                                             [] { return std::make_unique<ZPHLightTheme>(); }));

  // A theme of a class this registry does not know is refused.
  ZPHDarkTheme stranger;
  ZPHNotificationCenter otherCenter;
  ZPHThemeRegistry lightOnly(f.defaults, otherCenter);
  lightOnly.registerThemeClass(ZPHLightThemeIdentifier, typeid(ZPHLightTheme),
                               [] { return std::make_unique<ZPHLightTheme>(); });
  EXPECT_FALSE(lightOnly.switchToTheme(&stranger));
  EXPECT_FALSE(lightOnly.switchToTheme(nullptr));

  EXPECT_EQ(f.registry.currentTheme(), current);
  EXPECT_TRUE(f.posted.empty());
}

TEST(ThemeRegistry, ThemedImagesCarryTheThemeSuffix)
{
  const ZPHLightTheme light;
  const ZPHDarkTheme dark;
  EXPECT_EQ(dark.themedImageNameForImageName("emptyButton"), "emptyButton_darkTheme");
  EXPECT_EQ(light.themedImageNameForImageName("emptyButton"), "emptyButton_lightTheme");

  const QImage darkImage = dark.imageNamed("emptyButton");
  ASSERT_FALSE(darkImage.isNull());
  EXPECT_EQ(darkImage.cacheKey(), ZPHNamedImage("emptyButton_darkTheme").cacheKey());
  EXPECT_NE(darkImage.cacheKey(), light.imageNamed("emptyButton").cacheKey());
  const auto stretchable = dark.stretchableImageNamed("emptyButton");
  ASSERT_NE(stretchable, nullptr);
  EXPECT_EQ(stretchable->name(), "emptyButton_darkTheme");

  // Missing or empty names answer null instead of stopping the program.
  EXPECT_TRUE(dark.imageNamed("noSuchImage").isNull());
  EXPECT_TRUE(dark.imageNamed(QString()).isNull());
  EXPECT_EQ(dark.stretchableImageNamed("noSuchImage"), nullptr);
}

TEST(ThemeRegistry, TheProcessRegistryServesTheClassMethods)
{
  ZPHRegisterThemes();
  ZPHRegisterThemes();  // a second call changes nothing
  ZPHTheme* const light = ZPHTheme::lightTheme();
  ZPHTheme* const dark = ZPHTheme::darkTheme();
  ASSERT_NE(light, nullptr);
  ASSERT_NE(dark, nullptr);
  EXPECT_NE(dynamic_cast<ZPHLightTheme*>(light), nullptr);
  EXPECT_NE(dynamic_cast<ZPHDarkTheme*>(dark), nullptr);
  ASSERT_NE(ZPHTheme::currentTheme(), nullptr);

  int posts = 0;
  const ZPHObserverToken observer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHThemeChangedNotification, QVariant(), [&](const ZPHNotification&) { ++posts; });
  const QString other =
      ZPHTheme::currenThemeIdentifier() == ZPHLightThemeIdentifier ? ZPHDarkThemeIdentifier : ZPHLightThemeIdentifier;
  ZPHTheme::switchToThemeWithIdentifier(other);
  EXPECT_EQ(ZPHTheme::currenThemeIdentifier(), other);
  EXPECT_EQ(posts, 1);
}
