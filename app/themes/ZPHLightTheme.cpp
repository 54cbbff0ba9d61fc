#include "themes/ZPHLightTheme.h"

#include "themes/ZPHTheme.h"
#include "themes/ZPHThemeValueTable.h"

namespace {

using namespace ZPHThemeValues;

// The light values that the general theme leaves to each theme, and nine
// general values the light look overrides.
const ZPHThemeValueTable& lightValues()
{
  static const ZPHThemeValueTable table(
      "ZPHLightTheme",
      {
          // Article list, both layouts
          {N::articleListSelectedItemKeyGraphiteBackgroundColor, HSB(213 / 360.0, 0.06, 0.9)},
          {N::articleListSelectedItemKeyAquaBackgroundColor,
           Same(N::articleListSelectedItemKeyGraphiteBackgroundColor)},
          {N::articleListSelectedItemKeyAquaInactiveBackgroundColor, Same(N::articleListSelectedItemBackgroundColor)},
          {N::articleListSelectedItemKeyGraphiteInactiveBackgroundColor,
           Same(N::articleListSelectedItemBackgroundColor)},
          {N::articleListSelectedItemBackgroundColor, W(0.9)},
          {N::articleListItemReadKeyBackgroundColor, HSB(0, 0, 0.95)},
          {N::articleListItemUnreadKeyBackgroundColor, HSB(0, 0, 0.98)},
          {N::articleListSelectedItemKeyContextualClickFocusColor, W(1, 0.75)},
          {N::articleListSelectedItemTextColor, Same(N::articleListSelectedItemKeyTextColor)},
          {N::articleListSelectedItemReadTextColor, SameAtAlpha(N::articleListSelectedItemTextColor, 0.5)},
          {N::articleListSelectedItemReadKeyTextColor, SameAtAlpha(N::articleListSelectedItemKeyTextColor, 0.5)},
          {N::articleListItemReadKeyTextColor, HSB(0, 0, 0.55)},
          {N::articleListItemUnreadKeyTextColor, HSB(0, 0, 0.1)},
          {N::articleListActionArrowGradientLeftColor, W(1, 0)},
          {N::articleListActionArrowGradientRightColor, W(1, 0.5)},
          {N::articleListDividerColor, W(0.71)},
          {N::articleListDividerInactiveColor, W(0.81)},
          {N::articleListEmptyBackgroundColor, W(0.98)},
          {N::articleListEmptyBackgroundInactiveColor, Same(N::articleListEmptyBackgroundColor)},
          {N::articleListScrollerKnobStyle, Number(1)},

          // Standard layout rows
          {N::splitArticleListDividerColor, W(0.88)},

          // Standard layout thumbnails
          {N::splitThumbnailOutlineColor, W(0, 0.08)},
          {N::splitThumbnailSelectedOutlineColor, W(0, 0.3)},
          {N::splitThumbnailOpacitySelectedRead, Number(1)},
          {N::splitThumbnailOpacitySelectedUnread, Number(1)},
          {N::splitThumbnailOpacityUnselectedRead, Number(0.5)},
          {N::splitThumbnailOpacityUnselectedUnread, Number(1)},

          // Classic layout
          {N::classicArticleListDividerColor, Same(N::articleListDividerColor)},
          {N::classicArticleListDividerInactiveColor, Same(N::articleListDividerInactiveColor)},
          {N::classicHeaderDividerGradientTopColor, HSB(0, 0, 0.68, 0)},
          {N::classicHeaderDividerGradientInactiveTopColor, HSB(0, 0, 0.68, 0)},
          {N::classicHeaderDividerGradientBottomColor, HSB(0, 0, 0.68, 0.5)},
          {N::classicHeaderDividerGradientInactiveBottomColor, HSB(0, 0, 0.68, 0.5)},
          {N::classicArticleListBottomGradientTopColor, W(0, 0)},
          {N::classicArticleListBottomGradientBottomColor, W(0, 0.05)},
          {N::classicArticleListBottomGradientInactiveTopColor, Same(N::classicArticleListBottomGradientTopColor)},
          {N::classicArticleListBottomGradientInactiveBottomColor, W(0, 0)},

          // Date group headers
          {N::splitGroupHeaderTextColor, HSB(0, 0, 0.5)},
          {N::splitGroupHeaderTextShadowColor, HSB(0, 0, 0.99)},
          {N::splitGroupHeaderTopLineColor, HSB(0, 0, 0.85)},
          {N::splitGroupHeaderTopMostLineColor, RGB255(239, 239, 239)},
          {N::splitGroupHeaderBottomLineColor, HSB(0, 0, 0, 0.25)},
          {N::splitGroupHeaderBackgroundColor, RGB255(232, 233, 232)},

          // Tabs container
          {N::tabsContainerViewBackgroundColor, RGB255(209, 209, 209)},
          {N::tabsContainerViewInactiveBackgroundColor, HSB(0, 0, 0.9)},
          {N::tabsContainerViewStrokeColor, RGB255(106, 106, 106, 0.5)},
          {N::tabsContainerViewInactiveStrokeColor, RGB255(180, 180, 180)},
          {N::tabsScrollerKnobStyle, Number(1)},

          // Browser tabs
          {N::browserTabThumbnailBackgroundGradientTopColor, W(1)},
          {N::browserTabThumbnailBackgroundGradientBottomColor, W(0.98)},
          {N::browserTabLabelBackgroundGradientTopColor, W(1)},
          {N::browserTabLabelBackgroundGradientBottomColor, W(0.89)},
          {N::browserTabShadowColor, W(0.15, 0.25)},
          {N::browserTabTitleTextColor, W(0.2)},
          {N::browserTabTitleShadowColor, W(1, 0.75)},
          {N::browserTabOutlineColor, W(0.6)},
          {N::browserTabCloseButtonStrokeColor, RGB(0.25, 0.25, 0.25)},
          {N::browserTabCloseButtonShadowColor, RGB(1, 1, 1)},

          // Browser status bar
          {N::browserStatusBarOutlineColor, W(0.62)},
          {N::browserStatusBarFillGradientTopColor, W(0.92)},
          {N::browserStatusBarFillGradientBottomColor, W(0.85)},
          {N::browserStatusBarTextColor, BlackColor()},
          {N::browserStatusBarTextShadowColor, W(1, 0.9)},
          {N::browserStatusBarInnerShadowColor, W(1)},
          {N::browserStatusBarInnerGlowColor, W(1)},

          // Empty-contents view
          {N::emptyViewTextForegroundColor, RGB255(194, 199, 204)},
          {N::emptyViewTextErrorForegroundColor, HSB(210 / 360.0, 0.12, 0.67)},
          {N::emptyViewAddSitesButtonTitleColor, W(1)},
          {N::emptyViewAddSitesButtonAlternateTitleColor, W(0.7)},
          {N::emptyViewAddSitesButtonTitleShadowColor, W(0, 0.6)},
          {N::emptyLinenTintColor, W(1, 0.97)},

          // Find bar
          {N::browserFindBarSegmentedControlFillGradientPressedBottomColor, W(0.85)},
          {N::browserFindBarSegmentedControlFillGradientPressedTopColor, W(0.8)},

          // Tab indicator
          {N::tabIndicatorBackgroundAnimatedOutColor, W(0.66)},
          {N::tabIndicatorBackgroundRegularColor, W(0.81)},
          {N::tabIndicatorBackgroundPresssedColor, W(0.65)},
          {N::tabIndicatorTextColor, W(0.95)},
          {N::tabIndicatorGlyphColor, W(0.95)},
          {N::tabIndicatorBackgroundRegularInactiveColor, W(0.88)},
          {N::tabIndicatorBackgroundPresssedInactiveColor, Same(N::tabIndicatorBackgroundPresssedColor)},
          {N::tabIndicatorBackgroundAnimatedOutInactiveColor, W(0.8)},
          {N::tabIndicatorTextInactiveColor, Same(N::tabIndicatorTextColor)},
          {N::tabIndicatorGlyphInactiveColor, Same(N::tabIndicatorGlyphColor)},
      });
  return table;
}

}  // namespace

QString ZPHLightTheme::themeIdentifier() const { return ZPHLightThemeIdentifier; }

QString ZPHLightTheme::themeImageFilenameIdentifier() const { return QStringLiteral("lightTheme"); }

const ZPHThemeValue* ZPHLightTheme::valueFor(ZPHThemeValueName name) const
{
  if (const ZPHThemeValue* value = lightValues().find(name))
    return value;
  return ZPHGeneralTheme::valueFor(name);
}
