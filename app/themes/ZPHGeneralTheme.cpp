#include "themes/ZPHGeneralTheme.h"

#include "themes/ZPHThemeValueTable.h"

namespace {

using namespace ZPHThemeValues;

const ZPHThemeValueTable& generalValues()
{
  static const ZPHThemeValueTable table(
      "ZPHGeneralTheme",
      {
          // Source list
          {N::sourcelistUnreadCountBackgroundColor, ClearColor()},
          {N::sourcelistSelectedUnreadCountBackgroundColor, ClearColor()},
          {N::sourcelistUnreadCountTextColor, RGB255(136, 150, 179)},
          {N::sourcelistSelectedUnreadCountTextColor, W(1)},
          {N::sourcelistInactiveWindowSelectedUnreadCountTextColor, W(1)},
          {N::sourcelistSelectedUnreadCountTextShadowColor, W(0, 0.3)},
          {N::sourcelistUnreadCountShadowColor, W(1, 0.5)},
          {N::sourcelistDropAreaTextColor, HSB(0.58, 0.137, 0.49)},
          {N::sourcelistDropAreaOutlineStrokeColor, HSB(0.58, 0.137, 0.6, 0.94)},
          {N::sourcelistDropAreaShadowColor, W(1, 0.5)},
          {N::sourcelistGroupFloatingBackgroundColor, W(1, 0.5)},
          {N::sourcelistGroupBotttomHighlightColor, W(1)},
          {N::sourcelistDividerColor, HSB(210 / 360.0, 0.1, 0.81)},
          {N::sourcelistDividerInactiveWindowColor, HSB(210 / 360.0, 0.1, 0.81, 0.5)},
          {N::sourcelistDividerShadowColor, W(1, 0.3)},
          {N::sourcelistGroupHeaderTextColor, HSB(212 / 360.0, 0.16, 0.57)},

          // Style popover
          {N::stylePopOverTextColor, HSB(0, 0, 0.37)},
          {N::stylePopOverControlOutlineStrokeGradientTopColor, HSB(0, 0, 0.6)},
          {N::stylePopOverControlOutlineStrokeGradientBottomColor, HSB(0, 0, 0.5)},
          {N::stylePopOverTextShadowColor, W(1)},

          // Sharing popover
          {N::sharePopOverSelectionColor, HSB(213 / 360.0, 0.06, 0.9)},

          // Contrast slider
          {N::contrastSliderBarGradientLeftColor, W(0.9)},
          {N::contrastSliderBarGradientRightColor, W(0.2)},
          {N::contrastSliderBarOutlineGradientLeftColor, W(0.8)},
          {N::contrastSliderBarOutlineGradientRightColor, W(0.1)},
          {N::contrastSliderBarInnerShadowColor, W(0, 0.3)},
          {N::contrastSliderBarShadowColor, W(1, 0.6)},

          // Article list, both layouts
          {N::articleListSelectedItemKeyGraphiteInactiveBackgroundColor,
           Same(N::articleListSelectedItemBackgroundColor)},
          {N::articleListSelectedItemBackgroundColor, HSB(210 / 360.0, 0.03, 0.92)},
          {N::articleListDividerInactiveColor, Same(N::articleListDividerColor)},
          {N::articleListEmptyBackgroundInactiveColor, Same(N::articleListEmptyBackgroundColor)},
          {N::articleListSelectedItemKeyTextColor, RGB255(0, 0, 10)},
          {N::articleListSelectedItemKeyContextualClickFocusColor,
           SameAtAlpha(N::articleListSelectedItemKeyTextColor, 0.5)},
          {N::articleListActionArrowGradientLeftColor, RGB(1, 1, 1, 0.01)},
          {N::articleListActionArrowGradientRightColor, RGB(1, 1, 1, 0.5)},
          {N::articleListSelectedItemInactiveBackgroundColor, Same(N::articleListSelectedItemBackgroundColor)},
          {N::articleListItemReadKeyInactiveBackgroundColor, Same(N::articleListItemReadKeyBackgroundColor)},
          {N::articleListItemUnreadKeyInactiveBackgroundColor, Same(N::articleListItemUnreadKeyBackgroundColor)},

          // Standard layout rows
          {N::splitArticleListDividerInactiveColor, Same(N::splitArticleListDividerColor)},
          {N::splitArticleListTextShadowColor, NoColor()},
          {N::splitArticleListSelectedItemTextShadowColor, NoColor()},
          {N::splitArticleListSelectedItemKeyTextShadowColor, NoColor()},
          {N::splitArticleListSelectedItemKeyBackgroundGradientTopColor, HSB(0.603, 0.74, 0.88)},
          {N::splitArticleListSelectedItemKeyBackgroundGradientBottomColor, HSB(0.603, 0.74, 0.81)},
          {N::splitArticleListSelectedItemBackgroundGradientTopColor, HSB(0.624, 0.138, 0.83)},
          {N::splitArticleListSelectedItemBackgroundGradientBottomColor, HSB(0.62, 0.194, 0.764)},
          {N::splitArticleListTextColor, W(0.3)},
          {N::splitArticleListSelectedItemTextColor, RGB255(87, 93, 99)},
          {N::splitArticleListDateTextColor, RGB255(157, 194, 235)},
          {N::splitArticleListSelectedItemDateTextColor, RGB255(87, 93, 99)},
          {N::splitArticleListSelectedItemKeyDateTextColor, W(1)},
          {N::splitArticleListSelectedItemFaviconBoxOutlineColor, HSB(0.606, 0.4, 0.45, 0.7)},
          {N::splitArticleListSelectedItemFaviconBoxGradientTopColor, W(0.9)},
          {N::splitArticleListSelectedItemFaviconBoxGradientBottomColor, W(0.92)},
          // Both themes answer it: the dark theme defines no value of its own.
          {N::splitArticleListSelectedItemKeyTextColor, W(1)},

          // Standard layout thumbnails
          {N::splitThumbnailBackgroundColor, W(1)},
          {N::splitThumbnailInnerShadowColor, W(0, 0.15)},
          {N::splitThumbnailShadowColor, W(1, 0.5)},
          {N::splitThumbnailSelectedShadowColor, W(1, 0.175)},
          {N::splitThumbnailGlowColor, W(0, 0.15)},

          // Date group headers
          {N::splitGroupHeaderTopLineInactiveColor, Same(N::splitGroupHeaderTopLineColor)},
          {N::splitGroupHeaderBottomLineInactiveColor, Same(N::splitGroupHeaderBottomLineColor)},
          {N::splitGroupHeaderBackgroundInactiveColor, Same(N::splitGroupHeaderBackgroundColor)},
          {N::splitGroupHeaderTopMostLineInactiveColor, Same(N::splitGroupHeaderTopMostLineColor)},
          {N::splitGroupHeaderBottomLineShadowColor, BlackColor()},

          // Article view
          {N::detailWebViewOverlayColor, NoColor()},

          // Browser address field
          {N::browserAddressFieldOutlineGradientTopColor, W(0.56, 0.5)},
          {N::browserAddressFieldOutlineGradientBottomColor, W(0.65, 0.5)},
          {N::browserAddressFieldFillColor, W(1)},
          {N::browserAddressFieldShadowColor, W(1, 0.394)},
          {N::browserAddressFieldInnerShadowColor, W(0.33, 0.6)},
          {N::browserAddressFieldTextColor, W(0.1)},
          {N::browserAddressFieldAddButtonOutlineColor, RGB(0.4, 0.48, 0.56)},
          {N::browserAddressFieldAddButtonGradientTopColor, RGB(0.64, 0.73, 0.8)},
          {N::browserAddressFieldAddButtonGradientHighlightedTopColor,
           SameShadowed(N::browserAddressFieldAddButtonGradientTopColor, 0.26)},
          {N::browserAddressFieldAddButtonGradientBottomColor, RGB(0.44, 0.53, 0.61)},
          {N::browserAddressFieldAddButtonGradientHighlightedBottomColor,
           SameShadowed(N::browserAddressFieldAddButtonGradientBottomColor, 0.26)},
          {N::browserAddressFieldAddButtonTextColor, W(1)},
          {N::browserAddressFieldAddButtonTextShadowColor, W(0, 0.45)},

          // Browser toolbar
          {N::browserToolbarTopStrokeColor, W(1, 0.5)},
          {N::browserToolbarBottomStrokeColor, Same(N::browserFindBarBottomStrokeColor)},
          {N::browserToolbarGradientTopColor, Same(N::browserFindBarGradientTopColor)},
          {N::browserToolbarGradientBottomColor, Same(N::browserFindBarGradientBottomColor)},

          // Find bar
          {N::browserFindBarTopStrokeColor, W(1, 0.1)},
          {N::browserFindBarBottomStrokeColor, W(0.55)},
          {N::browserFindBarGradientTopColor, Same(N::browserStatusBarFillGradientTopColor)},
          {N::browserFindBarGradientBottomColor, Same(N::browserStatusBarFillGradientBottomColor)},
          {N::browserFindBarDoneButtonFontColor, Same(N::browserStatusBarTextColor)},
          {N::browserFindBarSegmentedControlFillGradientBottomColor, Same(N::browserStatusBarFillGradientBottomColor)},
          {N::browserFindBarSegmentedControlFillGradientTopColor, Same(N::browserStatusBarFillGradientTopColor)},
          {N::browserFindBarSegmentedControlFillGradientPressedBottomColor,
           Same(N::browserStatusBarFillGradientBottomColor)},
          {N::browserFindBarSegmentedControlFillGradientPressedTopColor, Same(N::browserStatusBarFillGradientTopColor)},
          {N::browserFindBarSegmentedControlArrowColor, W(0, 0.5)},
          {N::browserFindBarSegmentedControlArrowPressedColor,
           SameAtAlpha(N::browserFindBarSegmentedControlArrowColor, 0.6)},
          {N::browserFindBarSegmentedControlArrowInactiveColor,
           SameAtAlpha(N::browserFindBarSegmentedControlArrowColor, 0.25)},
          {N::browserFindBarSegmentedControlDividerGradientBottomColor, W(0.67)},
          {N::browserFindBarSegmentedControlDividerGradientTopColor, W(0.79)},
          {N::browserFindBarSegmentedControlDividerGradientBottomPressedColor, W(0.52)},
          {N::browserFindBarSegmentedControlDividerGradientTopPressedColor, W(0.55)},
          {N::browserFindBarSegmentedControlDividerGradientInactiveBottomColor,
           SameAtAlpha(N::browserFindBarSegmentedControlDividerGradientBottomColor, 0.5)},
          {N::browserFindBarSegmentedControlDividerGradientInactiveTopColor,
           SameAtAlpha(N::browserFindBarSegmentedControlDividerGradientTopColor, 0.5)},
          {N::browserFindBarSegmentedControlStrokeColor, W(0.65)},
          {N::browserFindBarSegmentedControlHighlightColor, W(1, 0.1)},
          {N::browserFindBarSegmentedControlShadowColor, W(1, 0.5)},

          // Tabs container
          {N::tabsContainerViewShadowColor, RGB(0, 0, 0, 0.5)},
          {N::tabsContainerViewInactiveShadowColor, RGB(0, 0, 0, 0)},

          // Browser tabs
          {N::browserTabThumbnailBackgroundGradientBottomInactiveColor,
           Same(N::browserTabThumbnailBackgroundGradientBottomColor)},
          {N::browserTabThumbnailBackgroundGradientTopInactiveColor,
           Same(N::browserTabThumbnailBackgroundGradientTopColor)},
          {N::browserTabLabelBackgroundGradientBottomInactiveColor,
           Same(N::browserTabLabelBackgroundGradientBottomColor)},
          {N::browserTabLabelBackgroundGradientTopInactiveColor, Same(N::browserTabLabelBackgroundGradientTopColor)},
          {N::browserTabSelectionOutlineGradientGraphiteTopColor, HSB(206 / 360.0, 0.2, 0.7)},
          {N::browserTabSelectionOutlineGradientGraphiteTopColorInactive, HSB(207 / 360.0, 0.08, 0.85)},
          {N::browserTabSelectionOutlineGradientGraphiteBottomColor, HSB(206 / 360.0, 0.25, 0.6)},
          {N::browserTabSelectionOutlineGradientGraphiteBottomColorInactive, HSB(205 / 360.0, 0.09, 0.8)},
          {N::browserTabSelectionOutlineGradientAquaTopColor, HSB(204 / 360.0, 0.54, 0.89)},
          {N::browserTabSelectionOutlineGradientAquaTopColorInactive, HSB(204 / 360.0, 0.25, 0.95)},
          {N::browserTabSelectionOutlineGradientAquaBottomColor, HSB(207 / 360.0, 0.74, 0.82)},
          {N::browserTabSelectionOutlineGradientAquaBottomColorInactive, HSB(206 / 360.0, 0.33, 0.9)},
          {N::browserTabSelectionOutlineShadowColor, W(0, 0.5)},
          {N::browserTabSelectionOutlineInnerShadowColor, W(0, 0.5)},
          {N::browserTabSelectionOutlineHighlightColor, W(1, 0.3)},
          {N::browserTabProgressIndicatorOverlayColor, W(0.95, 0.48)},
          {N::browserTabProgressIndicatorWellOutlineColor, W(0.65)},
          {N::browserTabProgressIndicatorWellFillColor, W(0.9)},
          {N::browserTabProgressIndicatorWellShadowColor, W(0, 0.2)},
          {N::browserTabProgressIndicatorKnobGradientGraphiteTopColor,
           Same(N::browserTabSelectionOutlineGradientGraphiteTopColor)},
          {N::browserTabProgressIndicatorKnobGradientGraphiteTopInactiveColor,
           Same(N::browserTabSelectionOutlineGradientGraphiteTopColorInactive)},
          {N::browserTabProgressIndicatorKnobGradientGraphiteBottomColor,
           Same(N::browserTabSelectionOutlineGradientGraphiteBottomColor)},
          {N::browserTabProgressIndicatorKnobGradientGraphiteBottomInactiveColor,
           Same(N::browserTabSelectionOutlineGradientGraphiteBottomColorInactive)},
          {N::browserTabProgressIndicatorKnobGradientAquaTopColor,
           Same(N::browserTabSelectionOutlineGradientAquaTopColor)},
          {N::browserTabProgressIndicatorKnobGradientAquaTopInactiveColor,
           Same(N::browserTabSelectionOutlineGradientAquaTopColorInactive)},
          {N::browserTabProgressIndicatorKnobGradientAquaBottomColor,
           Same(N::browserTabSelectionOutlineGradientAquaBottomColor)},
          {N::browserTabProgressIndicatorKnobGradientAquaBottomInactiveColor,
           Same(N::browserTabSelectionOutlineGradientAquaBottomColorInactive)},
          {N::browserTabProgressIndicatorKnobInnerShadowColor, W(1, 0.3)},
          {N::browserTabLoadingMessageTextColor, W(0.59)},

          // Sharing views
          {N::sharingLoginErrorMessageTextColor, HSB(0, 0.97, 0.74)},
          {N::sharingTextViewBorderColor, W(0.75)},
          {N::instapaperLoginButtonTextColor, RGB255(29, 23, 16)},
          {N::instapaperLoginBackgroundColor, RGB255(255, 251, 245)},
          {N::instapaperLoginTextFieldPlaceholderColor, RGB255(192, 175, 153)},
          {N::appDotNetCharactersRemainingPositiveTextColor, HSB(0, 0, 0.5)},
          {N::appDotNetCharactersRemainingNegativeTextColor, HSB(0, 0.97, 0.74)},
          {N::articleCommentTextViewOutlineColor, W(0.7, 0.9)},
          {N::articleCommentTextViewBackgroundColor, W(1, 0.95)},
          {N::articleCommentTextViewInnerShadowColor, W(0.3, 0.3)},
          {N::commentPageControlButtonOutlineColor, W(1, 0.55)},
          {N::commentPageControlButtonHighlightedOutlineColor, W(1, 0.65)},
          {N::commentPageControlButtonActiveFillColor, W(0.2, 0.9)},
          {N::commentPageControlButtonInactiveFillColor, W(0.2, 0.4)},
          {N::commentPageControlButtonHighlightedFillColor, W(0.2, 0.6)},

          // Selectable toolbar
          {N::selectableToolbarBackgroundGradientTopColor, RGB(0.925, 0.925, 0.925)},
          {N::selectableToolbarBackgroundGradientBottomColor, RGB(0.855, 0.855, 0.855)},
          {N::selectableToolbarBottomBorderColor, RGB(0.7, 0.7, 0.7)},
          {N::selectableToolbarTextColor, RGB(0.251, 0.251, 0.251)},
          {N::selectableToolbarSelectionBackgroundGradientTopColor, RGB(0.73, 0.76, 0.781)},
          {N::selectableToolbarSelectionBackgroundGradientBottomColor, RGB(0.61, 0.66, 0.73)},
          {N::selectableToolbarSelectionInnerShadowColor, W(0.18, 0.7)},

          // Add Site and Add Folder windows
          {N::addSiteOrFolderTextViewBlueGlowColor, KeyboardFocusIndicatorColor()},
          {N::addSiteOrFolderContainerBackgroundColor, W(0.9)},
          {N::addSiteOrFolderBorderColor, RGB255(204, 204, 204)},
          {N::addSiteTableViewCategoryTextColor, RGB(0.5, 0.5, 0.5)},
          {N::addSiteTableViewGridColor, RGB(0.93, 0.93, 0.93)},
          {N::addSitePlaceholderTextColor, RGB(0.502, 0.502, 0.502)},
          {N::addSiteDisabledURLTextViewBackgroundColor, RGB(0.95, 0.95, 0.95)},
          {N::addSiteErrorTextColor, RGB255(186, 12, 20)},
          {N::addSiteCategoryRowViewGradientTopColor, RGB255(250, 250, 250)},
          {N::addSiteCategoryRowViewGradientBottomColor, RGB255(237, 237, 237)},
          {N::addSiteCategoryRowViewStrokeColor, RGB255(212, 212, 212)},

          // Search scope control
          {N::searchScopeFontColor, Same(N::browserStatusBarTextColor)},
          {N::searchScopeFillGradientTopColor, Same(N::browserFindBarSegmentedControlFillGradientTopColor)},
          {N::searchScopeFillGradientBottomColor, Same(N::browserFindBarSegmentedControlFillGradientBottomColor)},
          {N::searchScopeFillGradientPressedTopColor,
           Same(N::browserFindBarSegmentedControlFillGradientPressedTopColor)},
          {N::searchScopeFillGradientPressedBottomColor,
           Same(N::browserFindBarSegmentedControlFillGradientPressedBottomColor)},
          {N::searchScopeFillGradientInactiveTopColor, Same(N::splitGroupHeaderBackgroundInactiveColor)},
          {N::searchScopeFillGradientInactiveBottomColor, Same(N::splitGroupHeaderBackgroundInactiveColor)},
          {N::searchScopeStrokeColor, Same(N::browserFindBarSegmentedControlStrokeColor)},
          {N::searchScopePressedStrokeColor, Same(N::browserFindBarSegmentedControlStrokeColor)},
          {N::searchScopeInactiveStrokeColor, SameAtAlpha(N::searchScopeStrokeColor, 0.5)},
          {N::searchScopeOuterShadowColor, Same(N::browserFindBarSegmentedControlHighlightColor)},
          {N::searchScopePressedOuterShadowColor, Same(N::browserFindBarSegmentedControlHighlightColor)},
          {N::searchScopeInactiveOuterShadowColor, Same(N::searchScopeOuterShadowColor)},
          {N::searchScopeArrowColor, Same(N::browserStatusBarTextColor)},
          {N::searchScopePressedArrowColor, Same(N::browserFindBarSegmentedControlArrowPressedColor)},
          {N::searchScopeInactiveArrowColor, SameAtAlpha(N::searchScopeArrowColor, 0.5)},

          // Under-page background: the desktop offers no such colour, so the
          // pattern tiled from "background-texture".
          {N::underPageBackgroundColor, Pattern("background-texture")},
      });
  return table;
}

}  // namespace

const ZPHThemeValue* ZPHGeneralTheme::valueFor(ZPHThemeValueName name) const { return generalValues().find(name); }
