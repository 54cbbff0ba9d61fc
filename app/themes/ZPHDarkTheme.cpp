#include "themes/ZPHDarkTheme.h"

#include "themes/ZPHTheme.h"
#include "themes/ZPHThemeValueTable.h"

namespace {

using namespace ZPHThemeValues;

// The dark look: the article list, date-group headers, classic layout,
// browser tabs and status bar, find bar, tab indicator and empty-contents
// view. Everything else is the general theme's.
const ZPHThemeValueTable& darkValues()
{
  static const ZPHThemeValueTable table(
      "ZPHDarkTheme",
      {
          {N::articleListSelectedItemKeyGraphiteBackgroundColor, HSB(213 / 360.0, 0.3, 0.5, 1)},
          {N::articleListSelectedItemKeyAquaBackgroundColor,
           Same(N::articleListSelectedItemKeyGraphiteBackgroundColor)},
          {N::articleListSelectedItemKeyGraphiteInactiveBackgroundColor, HSB(213 / 360.0, 0.12, 0.52, 1)},
          {N::articleListSelectedItemKeyAquaInactiveBackgroundColor,
           Same(N::articleListSelectedItemKeyGraphiteInactiveBackgroundColor)},
          {N::articleListSelectedItemBackgroundColor, HSB(213 / 360.0, 0.25, 0.35, 1)},
          {N::articleListItemReadKeyBackgroundColor, HSB(0, 0, 0.2, 1)},
          {N::articleListItemUnreadKeyBackgroundColor, HSB(0, 0, 0.23, 1)},
          {N::articleListSelectedItemInactiveBackgroundColor, HSB(213 / 360.0, 0.12, 0.52, 1)},
          {N::articleListItemReadKeyInactiveBackgroundColor, HSB(0, 0, 0.4, 1)},
          {N::articleListItemUnreadKeyInactiveBackgroundColor, HSB(0, 0, 0.43, 1)},
          {N::articleListSelectedItemKeyTextColor, HSB(213 / 360.0, 0.05, 0.97, 1)},
          {N::articleListSelectedItemKeyContextualClickFocusColor,
           SameAtAlpha(N::articleListSelectedItemKeyTextColor, 0.5)},
          {N::articleListSelectedItemTextColor, Same(N::articleListSelectedItemKeyTextColor)},
          {N::articleListSelectedItemReadTextColor, SameAtAlpha(N::articleListSelectedItemTextColor, 0.5)},
          {N::articleListSelectedItemReadKeyTextColor, SameAtAlpha(N::articleListSelectedItemKeyTextColor, 0.5)},
          {N::articleListItemReadKeyTextColor, HSB(0, 0, 0.54, 1)},
          {N::articleListItemUnreadKeyTextColor, HSB(0, 0, 0.87, 1)},
          {N::articleListActionArrowGradientLeftColor, HSB(213 / 360.0, 0.05, 0.97, 0)},
          {N::articleListActionArrowGradientRightColor, HSB(213 / 360.0, 0.05, 0.97, 0.2)},
          {N::splitArticleListDividerColor, HSB(0, 0, 0, 0.25)},
          {N::splitArticleListDividerInactiveColor, HSB(0, 0, 0, 0.15)},
          {N::articleListDividerColor, HSB(0, 0, 0.17, 1)},
          {N::articleListDividerInactiveColor, HSB(0, 0, 0.35, 1)},
          {N::articleListEmptyBackgroundColor, HSB(0, 0, 0.23, 1)},
          {N::articleListEmptyBackgroundInactiveColor, HSB(0, 0, 0.43, 1)},
          {N::articleListScrollerKnobStyle, Number(2)},
          {N::classicArticleListDividerColor, Same(N::articleListDividerColor)},
          {N::classicArticleListDividerInactiveColor, Same(N::articleListDividerInactiveColor)},
          {N::classicHeaderDividerGradientTopColor, HSB(0, 0, 0.2, 0)},
          {N::classicHeaderDividerGradientInactiveTopColor, HSB(0, 0, 0.39, 0)},
          {N::classicHeaderDividerGradientBottomColor, HSB(0, 0, 0.2, 0.8)},
          {N::classicHeaderDividerGradientInactiveBottomColor, HSB(0, 0, 0.39, 0.5)},
          {N::classicArticleListBottomGradientTopColor, W(0, 0)},
          {N::classicArticleListBottomGradientBottomColor, W(0, 0.05)},
          {N::classicArticleListBottomGradientInactiveTopColor, Same(N::classicArticleListBottomGradientTopColor)},
          {N::classicArticleListBottomGradientInactiveBottomColor, W(0, 0)},
          {N::splitThumbnailOutlineColor, HSB(0, 0, 1, 0.35)},
          {N::splitThumbnailSelectedOutlineColor, HSB(213 / 360.0, 0.05, 0.97, 0.75)},
          {N::splitThumbnailOpacitySelectedRead, Number(1)},
          {N::splitThumbnailOpacitySelectedUnread, Number(1)},
          {N::splitThumbnailOpacityUnselectedRead, Number(0.5)},
          {N::splitThumbnailOpacityUnselectedUnread, Number(0.75)},
          {N::detailWebViewOverlayColor, HSB(0, 0, 0.9, 0.3)},
          {N::splitGroupHeaderTextColor, HSB(0, 0, 0.7, 1)},
          {N::splitGroupHeaderTextShadowColor, NoColor()},
          {N::splitGroupHeaderTopLineColor, W(0, 0.2)},
          {N::splitGroupHeaderTopLineInactiveColor, W(0, 0.1)},
          {N::splitGroupHeaderTopMostLineColor, W(1, 0.1)},
          {N::splitGroupHeaderTopMostLineInactiveColor, W(1, 0.1)},
          {N::splitGroupHeaderBottomLineColor, HSB(0, 0, 0, 0.35)},
          {N::splitGroupHeaderBottomLineInactiveColor, HSB(0, 0, 0, 0.25)},
          {N::splitGroupHeaderBackgroundColor, HSB(0, 0, 0.3, 1)},
          {N::splitGroupHeaderBackgroundInactiveColor, HSB(0, 0, 0.52, 1)},
          {N::tabsContainerViewBackgroundColor, HSB(0, 0, 0.25, 1)},
          {N::tabsContainerViewInactiveBackgroundColor, HSB(0, 0, 0.35, 1)},
          {N::tabsContainerViewStrokeColor, HSB(0, 0, 0.17, 1)},
          {N::tabsContainerViewInactiveStrokeColor, HSB(0, 0, 0.3, 1)},
          {N::browserTabThumbnailBackgroundGradientTopColor, HSB(0, 0, 0.2, 1)},
          {N::browserTabThumbnailBackgroundGradientBottomColor, HSB(0, 0, 0.17, 1)},
          {N::browserTabThumbnailBackgroundGradientTopInactiveColor, HSB(0, 0, 0.41, 1)},
          {N::browserTabThumbnailBackgroundGradientBottomInactiveColor, HSB(0, 0, 0.39, 1)},
          {N::browserTabLabelBackgroundGradientTopColor, HSB(0, 0, 0.35, 1)},
          {N::browserTabLabelBackgroundGradientBottomColor, HSB(0, 0, 0.3, 1)},
          {N::browserTabLabelBackgroundGradientTopInactiveColor, HSB(0, 0, 0.52, 1)},
          {N::browserTabLabelBackgroundGradientBottomInactiveColor, HSB(0, 0, 0.49, 1)},
          {N::browserTabShadowColor, HSB(0, 0, 0, 0.2)},
          {N::browserTabTitleTextColor, HSB(0, 0, 0.8, 1)},
          {N::browserTabTitleShadowColor, NoColor()},
          {N::browserTabOutlineColor, HSB(0, 0, 0.6, 1)},
          {N::browserTabCloseButtonStrokeColor, HSB(0, 0, 0.8, 1)},
          {N::browserTabCloseButtonShadowColor, NoColor()},
          {N::tabsScrollerKnobStyle, Number(2)},
          {N::browserStatusBarOutlineColor, HSB(0, 0, 0.25, 1)},
          {N::browserStatusBarFillGradientTopColor, HSB(0, 0, 0.3, 1)},
          {N::browserStatusBarFillGradientBottomColor, HSB(0, 0, 0.25, 1)},
          {N::browserStatusBarTextColor, HSB(0, 0, 0.8, 1)},
          {N::browserStatusBarTextShadowColor, NoColor()},
          {N::browserStatusBarInnerShadowColor, W(1, 0.25)},
          {N::browserStatusBarInnerGlowColor, NoColor()},
          {N::emptyViewTextForegroundColor, HSB(0, 0, 0.4, 1)},
          {N::emptyViewTextErrorForegroundColor, HSB(0, 0, 0.5, 1)},
          {N::emptyViewAddSitesButtonTitleColor, HSB(220 / 360.0, 0.05, 0.65, 1)},
          {N::emptyViewAddSitesButtonAlternateTitleColor, Same(N::emptyViewAddSitesButtonTitleColor)},
          {N::emptyViewAddSitesButtonTitleShadowColor, NoColor()},
          {N::emptyLinenTintColor, W(0.18, 0.9)},
          {N::browserFindBarBottomStrokeColor, W(0.17, 1)},
          {N::browserFindBarSegmentedControlStrokeColor, W(0.17, 1)},
          {N::browserFindBarSegmentedControlShadowColor, W(1, 0.1)},
          {N::browserFindBarSegmentedControlDividerGradientBottomColor, RGB(0.36, 0.36, 0.36, 1)},
          {N::browserFindBarSegmentedControlDividerGradientTopColor, RGB(0.4, 0.4, 0.4, 1)},
          {N::browserFindBarSegmentedControlDividerGradientBottomPressedColor, RGB(0.16, 0.16, 0.16, 1)},
          {N::browserFindBarSegmentedControlDividerGradientTopPressedColor, RGB(0.18, 0.18, 0.18, 1)},
          {N::browserFindBarSegmentedControlFillGradientPressedBottomColor, W(0.25, 1)},
          {N::browserFindBarSegmentedControlFillGradientPressedTopColor, W(0.2, 1)},
          {N::browserFindBarSegmentedControlArrowColor, SameAtAlpha(N::browserStatusBarTextColor, 0.8)},
          {N::browserFindBarSegmentedControlArrowPressedColor,
           SameAtAlpha(N::browserFindBarSegmentedControlArrowColor, 0.35)},
          {N::browserFindBarSegmentedControlArrowInactiveColor,
           SameAtAlpha(N::browserFindBarSegmentedControlArrowColor, 0.5)},
          {N::searchScopeFontColor, Same(N::splitGroupHeaderTextColor)},
          {N::tabIndicatorBackgroundAnimatedOutColor, W(0.14, 1)},
          {N::tabIndicatorBackgroundRegularColor, W(0.17, 1)},
          {N::tabIndicatorBackgroundPresssedColor, W(0.1, 1)},
          {N::tabIndicatorTextColor, W(0.75, 1)},
          {N::tabIndicatorGlyphColor, W(0.75, 1)},
          {N::tabIndicatorBackgroundRegularInactiveColor, W(0.35, 1)},
          {N::tabIndicatorBackgroundPresssedInactiveColor, Same(N::tabIndicatorBackgroundPresssedColor)},
          {N::tabIndicatorBackgroundAnimatedOutInactiveColor, W(0.33, 1)},
          {N::tabIndicatorTextInactiveColor, W(0.52, 1)},
          {N::tabIndicatorGlyphInactiveColor, W(0.52, 1)},
      });
  return table;
}

}  // namespace

QString ZPHDarkTheme::themeIdentifier() const { return ZPHDarkThemeIdentifier; }

QString ZPHDarkTheme::themeImageFilenameIdentifier() const { return QStringLiteral("darkTheme"); }

const ZPHThemeValue* ZPHDarkTheme::valueFor(ZPHThemeValueName name) const
{
  if (const ZPHThemeValue* value = darkValues().find(name))
    return value;
  return ZPHGeneralTheme::valueFor(name);
}
