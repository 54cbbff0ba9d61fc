#include "themes/ZPHDarkTheme.h"
#include "themes/ZPHLightTheme.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QSet>
#include <QtCore/QStringList>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using N = ZPHThemeValueName;

// Collects what the interface category logs while it lives.
class LogCapture {
public:
  LogCapture()
  {
    s_lines.clear();
    m_previous = qInstallMessageHandler(&LogCapture::handle);
  }
  ~LogCapture() { qInstallMessageHandler(m_previous); }
  QStringList lines() const { return s_lines; }

private:
  static void handle(QtMsgType, const QMessageLogContext&, const QString& message) { s_lines << message; }
  static inline QStringList s_lines;
  QtMessageHandler m_previous = nullptr;
};

bool sameColor(const QColor& a, const QColor& b)
{
  if (!a.isValid() || !b.isValid())
    return a.isValid() == b.isValid();
  const QColor x = a.toRgb();
  const QColor y = b.toRgb();
  const auto close = [](double p, double q) { return std::abs(p - q) < 0.002; };
  return close(x.redF(), y.redF()) && close(x.greenF(), y.greenF()) && close(x.blueF(), y.blueF()) &&
         close(x.alphaF(), y.alphaF());
}

QColor withAlpha(QColor color, double alpha)
{
  color.setAlphaF(alpha);
  return color;
}

enum class Kind { Color, Pattern, KnobStyle, Opacity };

struct Accessor {
  N name;
  Kind kind;
};

const std::vector<Accessor>& allAccessors()
{
  static const std::vector<Accessor> accessors = {
#define ZPH_THEME_COLOR(name) {N::name, Kind::Color},
#define ZPH_THEME_PATTERN(name) {N::name, Kind::Pattern},
#define ZPH_THEME_KNOB_STYLE(name) {N::name, Kind::KnobStyle},
#define ZPH_THEME_OPACITY(name) {N::name, Kind::Opacity},
#include "themes/ZPHThemeAccessors.inc"
  };
  return accessors;
}

// A theme class that defines nothing: what the abstract base answers.
class BareTheme : public ZPHTheme {};

}  // namespace

TEST(ThemeValues, EveryAccessorOfBothThemesAnswers)
{
  ASSERT_EQ(allAccessors().size(), 259u);
  const ZPHLightTheme light;
  const ZPHDarkTheme dark;
  // The only colours the themes define as "no colour".
  const QSet<QString> lightNone = {"splitArticleListTextShadowColor", "splitArticleListSelectedItemTextShadowColor",
                                   "splitArticleListSelectedItemKeyTextShadowColor", "detailWebViewOverlayColor"};
  const QSet<QString> darkNone = {"splitArticleListTextShadowColor",
                                  "splitArticleListSelectedItemTextShadowColor",
                                  "splitArticleListSelectedItemKeyTextShadowColor",
                                  "splitGroupHeaderTextShadowColor",
                                  "browserTabTitleShadowColor",
                                  "browserTabCloseButtonShadowColor",
                                  "browserStatusBarTextShadowColor",
                                  "emptyViewAddSitesButtonTitleShadowColor",
                                  "browserStatusBarInnerGlowColor"};

  const LogCapture log;
  for (const ZPHTheme* theme : {static_cast<const ZPHTheme*>(&light), static_cast<const ZPHTheme*>(&dark)}) {
    const QSet<QString>& none = theme == &light ? lightNone : darkNone;
    for (const Accessor& accessor : allAccessors()) {
      const QString name = QString::fromLatin1(ZPHTheme::valueNameString(accessor.name));
      SCOPED_TRACE((theme->themeImageFilenameIdentifier() + QLatin1Char(' ') + name).toStdString());
      switch (accessor.kind) {
        case Kind::Color:
          EXPECT_EQ(theme->color(accessor.name).isValid(), !none.contains(name));
          break;
        case Kind::Pattern:
          EXPECT_NE(theme->pattern(accessor.name).style(), Qt::NoBrush);
          break;
        case Kind::KnobStyle:
          EXPECT_NE(theme->knobStyle(accessor.name), ZPHScrollerKnobStyle::Default);
          break;
        case Kind::Opacity:
          EXPECT_GT(theme->opacity(accessor.name), 0.0);
          EXPECT_LE(theme->opacity(accessor.name), 1.0);
          break;
      }
    }
  }
  // Nothing fell through to the base: an explicit "no colour" is not an error.
  EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();
}

TEST(ThemeValues, DerivedValuesResolveOnTheThemeThatIsAsked)
{
  const ZPHLightTheme light;
  const ZPHDarkTheme dark;

  // The dark override of the referenced colour reaches the general definition.
  EXPECT_TRUE(sameColor(dark.articleListSelectedItemKeyContextualClickFocusColor(),
                        withAlpha(dark.articleListSelectedItemKeyTextColor(), 0.5)));
  EXPECT_TRUE(sameColor(dark.articleListSelectedItemReadTextColor(), QColor::fromHsvF(213 / 360.0, 0.05, 0.97, 0.5)));
  EXPECT_TRUE(sameColor(dark.browserFindBarSegmentedControlArrowPressedColor(), QColor::fromRgbF(0.8, 0.8, 0.8, 0.35)));
  EXPECT_TRUE(sameColor(dark.searchScopeFontColor(), dark.splitGroupHeaderTextColor()));
  EXPECT_TRUE(sameColor(dark.articleListSelectedItemKeyAquaBackgroundColor(),
                        dark.articleListSelectedItemKeyGraphiteBackgroundColor()));

  // General definitions follow the light values.
  EXPECT_TRUE(sameColor(light.articleListSelectedItemReadTextColor(), QColor::fromRgbF(0, 0, 10 / 255.0, 0.5)));
  EXPECT_TRUE(sameColor(light.browserFindBarGradientTopColor(), QColor::fromRgbF(0.92, 0.92, 0.92)));
  EXPECT_TRUE(sameColor(light.searchScopeFillGradientPressedTopColor(), QColor::fromRgbF(0.8, 0.8, 0.8)));
  EXPECT_TRUE(sameColor(light.browserAddressFieldAddButtonGradientHighlightedTopColor(),
                        QColor::fromRgbF(0.64 * 0.74, 0.73 * 0.74, 0.8 * 0.74)));

  // Only the active bottom of the classic list is not fully transparent.
  EXPECT_EQ(dark.classicArticleListBottomGradientTopColor().alpha(), 0);
  EXPECT_EQ(dark.classicArticleListBottomGradientInactiveTopColor().alpha(), 0);
  EXPECT_EQ(dark.classicArticleListBottomGradientInactiveBottomColor().alpha(), 0);
  EXPECT_NEAR(dark.classicArticleListBottomGradientBottomColor().alphaF(), 0.05, 0.002);
}

TEST(ThemeValues, KnobStylesAndThumbnailOpacities)
{
  const ZPHLightTheme light;
  const ZPHDarkTheme dark;
  EXPECT_EQ(light.articleListScrollerKnobStyle(), ZPHScrollerKnobStyle::Dark);
  EXPECT_EQ(light.tabsScrollerKnobStyle(), ZPHScrollerKnobStyle::Dark);
  EXPECT_EQ(dark.articleListScrollerKnobStyle(), ZPHScrollerKnobStyle::Light);
  EXPECT_EQ(dark.tabsScrollerKnobStyle(), ZPHScrollerKnobStyle::Light);

  // selected read, selected unread, unselected read, unselected unread
  EXPECT_EQ(light.splitThumbnailOpacitySelectedRead(), 1.0);
  EXPECT_EQ(light.splitThumbnailOpacitySelectedUnread(), 1.0);
  EXPECT_EQ(light.splitThumbnailOpacityUnselectedRead(), 0.5);
  EXPECT_EQ(light.splitThumbnailOpacityUnselectedUnread(), 1.0);
  EXPECT_EQ(dark.splitThumbnailOpacitySelectedRead(), 1.0);
  EXPECT_EQ(dark.splitThumbnailOpacitySelectedUnread(), 1.0);
  EXPECT_EQ(dark.splitThumbnailOpacityUnselectedRead(), 0.5);
  EXPECT_EQ(dark.splitThumbnailOpacityUnselectedUnread(), 0.75);
}

TEST(ThemeValues, TheSelectedKeyTextColorOfTheStandardListIsWhiteInBothThemes)
{
  // Only the light theme named a value; the general theme now answers it.
  const LogCapture log;
  EXPECT_TRUE(sameColor(ZPHDarkTheme().splitArticleListSelectedItemKeyTextColor(), QColor(255, 255, 255)));
  EXPECT_TRUE(sameColor(ZPHLightTheme().splitArticleListSelectedItemKeyTextColor(), QColor(255, 255, 255)));
  EXPECT_TRUE(log.lines().isEmpty());
}

TEST(ThemeValues, TheUnderPageBackgroundIsOnePatternForTheProcess)
{
  const QBrush first = ZPHLightTheme().underPageBackgroundColor();
  const QBrush second = ZPHDarkTheme().underPageBackgroundColor();
  ASSERT_EQ(first.style(), Qt::TexturePattern);
  EXPECT_FALSE(first.textureImage().isNull());
  EXPECT_EQ(first.textureImage().cacheKey(), second.textureImage().cacheKey());
}

TEST(ThemeValues, TheAbstractBaseAnswersNoColourAndLogsOnce)
{
  const BareTheme bare;
  const LogCapture log;
  EXPECT_FALSE(bare.sourcelistDividerColor().isValid());
  EXPECT_FALSE(bare.sourcelistDividerColor().isValid());
  EXPECT_EQ(bare.tabsScrollerKnobStyle(), ZPHScrollerKnobStyle::Default);
  EXPECT_EQ(bare.splitThumbnailOpacitySelectedRead(), 0.0);
  EXPECT_EQ(bare.underPageBackgroundColor().style(), Qt::NoBrush);
  EXPECT_TRUE(bare.themeIdentifier().isEmpty());

  const QStringList lines = log.lines();
  EXPECT_EQ(lines.filter("sourcelistDividerColor").size(), 1);
  EXPECT_EQ(lines.filter("tabsScrollerKnobStyle").size(), 1);
  EXPECT_EQ(lines.filter("splitThumbnailOpacitySelectedRead").size(), 1);
}
