#pragma once

// Qt kind: QObject that owns widgets.

#include "kit/ZPHSimpleColorView.h"
#include "platform/ZPHError.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSize>
#include <QtCore/QString>
#include <QtCore/QVariantMap>
#include <QtGui/QIcon>
#include <QtGui/QImage>

#include <optional>

class CBFeed;
class CBFolder;
class CBGlobalFeed;
class QLabel;
class ZPHElidingLabel;
class ZPHEmptyContentsViewButton;
class QVBoxLayout;

enum ZPHEmptyContentsViewControllerState : int {
  ZPHEmptyContentsViewControllerStateNotSet = 0,
  ZPHEmptyContentsViewControllerStateNoUnreadArticles = 1,    // All Unread
  ZPHEmptyContentsViewControllerStateNoArticlesToday = 2,     // Today
  ZPHEmptyContentsViewControllerStateNoBookmarks = 3,         // Bookmarks
  ZPHEmptyContentsViewControllerStateNoFavoriteFeeds = 4,     // Favorites without feeds
  ZPHEmptyContentsViewControllerStateNoFavoriteArticles = 5,  // Favorites without articles
  ZPHEmptyContentsViewControllerStateEmptyFolder = 6,         // a folder without feeds
  ZPHEmptyContentsViewControllerStateNoArticlesInFolder = 7,  // a folder without articles
  ZPHEmptyContentsViewControllerStateNoArticleSelected = 8,   // a feed, no article selected
  ZPHEmptyContentsViewControllerStateNoSelection = 9,         // nothing selected
  ZPHEmptyContentsViewControllerStateNoFeeds = 10,            // nothing subscribed
  ZPHEmptyContentsViewControllerStateSearchResults = 11,      // search results for a query
  ZPHEmptyContentsViewControllerStateNoSearchResults = 12,    // a search that found nothing
  ZPHEmptyContentsViewControllerStateNoArticlesInFeed = 13,   // a feed without articles
  ZPHEmptyContentsViewControllerStateFeedError = 14,          // a feed whose last refresh failed
};

// The placeholder shown where the reading area has nothing to show: a glyph,
// a short upper-case headline, sometimes a line of explanation and sometimes
// one button, centred on the grey linen. The article list delegate keeps one
// for the content area and the classic layout one for its detail pane; they
// choose one of fourteen states through the entry operations whenever the
// selection or the article list changes, and the controller derives texts,
// glyph, button and layout from the state. The state also gives a small
// thumbnail for the news-items tab.
//
// Texts from feeds and servers (an error's description and suggestion, a
// search query) are shown as plain text. The button's commands go to the
// application ("addPopularSites:", "toggleHideReadArticles:"; the button is
// off while the application has no such command) and are also signalled
// below; a feed error's recovery option goes to the error's recovery
// attempter. A placeholder without the application only signals.
class ZPHEmptyContentsViewController : public QObject {
  Q_OBJECT

public:
  using State = ZPHEmptyContentsViewControllerState;

  // The user default that shows "No Article Selected" in state 8 (registered
  // false when the first controller is made).
  static const QString ShowNoArticleSelectedTextKey;  // "showNoArticlerSelectedText"

  // The keys of textDictionaryForState(); an absent key means no text.
  static const QString FirstLineKey;   // "firstLine"
  static const QString SecondLineKey;  // "secondLine"
  static const QString ButtonTextKey;  // "buttonText"

  // The size of a tab thumbnail, in points.
  static constexpr QSize TabThumbnailSize{113, 72};

  explicit ZPHEmptyContentsViewController(QObject* parent = nullptr);
  ~ZPHEmptyContentsViewController() override;

  // The placeholder view, made on first use. The controller owns it.
  QWidget* view();
  bool viewHasLoaded() const { return m_viewHasLoaded; }

  // The entry operations.
  // All Unread, Today or Bookmarks (a smart feed of another type is ignored).
  void configureForNoArticlesWithGlobalFeed(const CBGlobalFeed* globalFeed);
  void configureForNoFeedsInFavoriteFeeds();
  void configureForNoArticlesInFavoriteFeeds();
  void configureForNoArticlesSelectedWithFolder(const CBFolder* folder);
  void configureForNoArticleSelectedWithFeed(CBFeed* feed);
  void configureForNoSelection();
  void configureForSearchResultsForQuery(const QString& query);
  void configureForEmptySearchResults();
  // State 14 when the feed's last refresh failed, else 13.
  void configureForNoArticlesWithFeed(CBFeed* feed);

  // The common path of the entry operations (state 1 to 14). Unless forced,
  // nothing changes when the state, the feed, the error and the texts they
  // give are those shown.
  void configureForState(State state, CBFeed* feed, bool force);

  State state() const { return m_state; }
  ZPHError error() const { return m_error; }
  CBFeed* mostRecentFeedFolderOrGlobalFeed() const { return m_feed; }
  QString primaryStringFormatValue() const { return m_primaryStringFormatValue; }

  // The feed's last refresh error; a null error for no feed.
  static ZPHError errorForFeedFolderOrGlobalFeed(const CBFeed* feed);

  // Cover the view with the theme's overlay colour while its window does
  // not draw active.
  bool usesInactiveOverlay() const { return m_usesInactiveOverlay; }
  void setUsesInactiveOverlay(bool usesInactiveOverlay);
  // Redoes the glyph for the window's active look and adds or removes the
  // overlay.
  void updateForWindowStateChange();

  // The news-items tab's thumbnail for the state now, kept until the state
  // or the theme changes.
  QIcon tabThumbnailImageForCurrentState();

  // The state's texts; with the keys above (absent keys: no text). Empty
  // for state 9, and for state 8 while its text is off.
  static QVariantMap textDictionaryForState(State state, const ZPHError& error);
  // The glyph of the state from the current theme, with "Inactive" appended
  // for a window that does not draw active; null (logged) when the theme
  // has none.
  static QImage imageForState(State state, bool windowIsActive);
  static QString imageNameForState(State state);
  static QString tabThumbnailImageNameForState(State state);
  // The glyph drawn centred on a 113 x 72 image at scale 1 and 2; a missing
  // glyph is logged and the image left empty.
  static QIcon tabThumbnailImageForState(State state);

  // The views, for the owner's layout and for tests.
  QLabel* imageView() const { return m_imageView; }
  ZPHElidingLabel* primaryTextField() const { return m_primaryTextField; }
  ZPHElidingLabel* secondaryTextField() const { return m_secondaryTextField; }
  ZPHEmptyContentsViewButton* button() const { return m_button; }
  ZPHEmptyContentsViewButton* importButton() const { return m_importButton; }
  QWidget* containerView() const { return m_containerView; }
  ZPHSimpleColorView* inactiveWindowOverlayView() const { return m_inactiveWindowOverlayView; }
  // 1: headline; 2: glyph; 3: glyph, headline and button; 4: glyph,
  // headline, explanation and button. 0 before the view has loaded.
  int layoutMode() const { return m_layoutMode; }
  // 0: one bold line cut at the tail; 1: several wrapping lines (errors).
  int secondaryTextFieldMode() const { return m_secondaryTextFieldMode; }

  // The button's action by state.
  void zph_buttonClicked();

  // What the button does now (none while it is hidden).
  enum class ButtonAction { None, ToggleHideReadArticles, AddSites, RecoverFromError };
  ButtonAction buttonAction() const { return m_buttonAction; }
  // The application's command a button action sends; empty for none.
  static QString commandForButtonAction(ButtonAction action);

Q_SIGNALS:
  // States 2, 5 and 13 with hide read on: "Show Read Articles".
  void toggleHideReadArticlesRequested();
  // State 10: "Add Some Sites".
  void addPopularSitesRequested();

protected:
  // Keeps the overlay over the whole view.
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void loadView();
  void zph_recoverFromError();
  void updateButtonEnabled();
  void updateImageForState(State state);
  void configureSecondaryTextFieldSettingsForMode(int mode);
  void configureThemedControlColorsForSecondaryTextFieldMode(int mode);
  void configureConstraintsForLayoutMode(int mode);
  void configureSecondaryTextFieldSizing();
  void setMostRecentFeed(CBFeed* feed);
  void feedDidChange(const QString& key);
  void updateInactiveOverlayViewPresence();
  void updateInactiveOverlayViewColors();
  void updateForChangedTheme();
  bool windowIsActive() const;

  State m_state = ZPHEmptyContentsViewControllerStateNotSet;
  ZPHError m_error;
  QVariantMap m_texts;
  CBFeed* m_feed = nullptr;
  int m_feedObserver = -1;
  QString m_primaryStringFormatValue;
  bool m_usesInactiveOverlay = false;
  bool m_viewHasLoaded = false;
  std::optional<QIcon> m_currentTabThumbnailImage;

  QPointer<QWidget> m_view;
  QLabel* m_imageView = nullptr;
  ZPHElidingLabel* m_primaryTextField = nullptr;
  ZPHElidingLabel* m_secondaryTextField = nullptr;
  ZPHEmptyContentsViewButton* m_button = nullptr;
  // "Import Sites…", shown with "Add Some Sites".
  ZPHEmptyContentsViewButton* m_importButton = nullptr;
  QWidget* m_containerView = nullptr;
  QVBoxLayout* m_containerLayout = nullptr;
  QPointer<ZPHSimpleColorView> m_inactiveWindowOverlayView;
  int m_layoutMode = 0;
  int m_secondaryTextFieldMode = 0;
  ButtonAction m_buttonAction = ButtonAction::None;

  ZPHObserverToken m_themeObserver;
  ZPHObserverToken m_windowObserver;
};
