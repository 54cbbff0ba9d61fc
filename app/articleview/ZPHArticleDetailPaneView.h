#pragma once

// Qt kind: QWidget.

#include "kit/ZPHSimpleColorView.h"
#include "platform/ZPHNotificationCenter.h"
#include "web/ZPHMacWebViewFindBarViewDelegate.h"
#include "web/ZPHSearchUIProtocol.h"
#include "web/ZPHSlidingFindBar.h"
#include "web/ZPHWebViewFind.h"

#include <QtCore/QPointer>
#include <QtGui/QBrush>
#include <QtWidgets/QLabel>
#include <QtWidgets/QWidget>

#include <memory>

class QVariantAnimation;
class ZPHMacWebView;
class ZPHMacWebViewFindBarViewController;

// The article detail area of a layout: it shows one content view (the
// article's web view, or a placeholder), optionally a temporary view while
// the content changes, the find bar above the content, and a dimming
// overlay while the window is inactive (when the theme has a colour for
// it). Changes of content cross-fade through a picture of what was shown.
// It is the find bar's delegate and answers the main window's find commands
// for the content view when that is a web view.
//
// The views it is given stay their owners': the pane never deletes them.
//
// Main thread only.
class ZPHArticleDetailPaneView : public QWidget, public ZPHMacWebViewFindBarViewDelegate, public ZPHSearchUIProtocol {
  Q_OBJECT
  Q_PROPERTY(bool mouseInView READ mouseInView NOTIFY mouseInViewChanged)

public:
  static constexpr int FirstContentFadeDuration = 1200;  // ms
  static constexpr int ScreenshotFadeDuration = 250;     // ms
  static constexpr int FindBarSlideDuration = ZPHSlidingFindBar::SlideDuration;

  explicit ZPHArticleDetailPaneView(QWidget* parent = nullptr);
  ~ZPHArticleDetailPaneView() override;

  QWidget* detailContentView() const { return m_detailContentView; }
  // The find bar closes and forgets its search; the first content view
  // fades in when shouldAnimateIn() is set; a shown temporary view fades
  // out.
  void setDetailContentView(QWidget* view);
  QWidget* detailTemporaryView() const { return m_detailTemporaryView; }
  // Shown in place of the content (hidden meanwhile), cross-faded.
  void setDetailTemporaryView(QWidget* view);
  bool shouldAnimateIn() const { return m_shouldAnimateIn; }
  void setShouldAnimateIn(bool animate) { m_shouldAnimateIn = animate; }

  // ---- Find
  bool findBarShown() const { return m_findBarShown; }
  QWidget* findBarView();
  ZPHMacWebViewFindBarViewController* findBarViewController();
  // The content's frame: the bounds, less the find bar's height at the top
  // while the bar is shown.
  QRect contentFrame(bool withFindBar) const;
  QRect findBarFrame(bool shown) const;

  // ---- ZPHSearchUIProtocol
  // Nothing without a content view in a window; a shown bar only takes the
  // focus into its field.
  void showFindPanelAnimated(bool animated) override;
  void hideFindPanelAnimated(bool animated) override;
  void highlightPreviousSearchResult() override;
  void highlightNextSearchResult() override;

  // ---- ZPHMacWebViewFindBarViewDelegate (for a web content view)
  void webViewFindBarControllerSearchFieldTextChanged(ZPHMacWebViewFindBarViewController* controller,
                                                      const QString& text) override;
  void webViewFindBarControllerRequestsDismissal(ZPHMacWebViewFindBarViewController* controller) override;
  void webViewFindBarControllerRequestsHighlightPrevious(ZPHMacWebViewFindBarViewController* controller,
                                                         const QString& text) override;
  void webViewFindBarControllerRequestsHighlightNext(ZPHMacWebViewFindBarViewController* controller,
                                                     const QString& text) override;

  // ---- Window state
  // The overlay follows the window's active look.
  void updateWindowForActiveStateChange();
  // The application is active, the window is the active one and the mouse
  // is over the pane.
  bool mouseInView() const { return m_mouseInView; }
  ZPHSimpleColorView* inactiveWindowOverlayView() const { return m_inactiveWindowOverlayView; }
  // The picture laid over a change while it fades; null before the first.
  QLabel* screenshotView() const { return m_screenshotView; }

  // The current theme's under-page pattern.
  static QBrush patternImageBackgroundColor();

Q_SIGNALS:
  void mouseInViewChanged(bool mouseInView);

protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  ZPHMacWebView* webContentView() const;
  void search(const QString& text, bool forward);
  void updateOverlay();
  void updateMouseInView();
  void layoutViews();
  QLabel* ensureScreenshotView();
  // The picture of the widget (the pane itself for null) over everything,
  // fading out over `duration`.
  void fadeOutPictureOf(QWidget* widget, int duration);
  ZPHSlidingFindBar::Frames findBarFrames() const;

  QPointer<QWidget> m_detailContentView;
  QPointer<QWidget> m_detailTemporaryView;
  QPointer<QLabel> m_screenshotView;
  QPointer<QVariantAnimation> m_screenshotFade;
  std::unique_ptr<ZPHMacWebViewFindBarViewController> m_findBarViewController;
  QPointer<ZPHSimpleColorView> m_inactiveWindowOverlayView;
  ZPHSlidingFindBar* m_findBarSlide = new ZPHSlidingFindBar(this);
  ZPHWebViewFind* m_find = new ZPHWebViewFind(this);
  bool m_shouldAnimateIn = false;
  bool m_mouseInView = false;
  bool m_findBarShown = false;
  ZPHObserverToken m_themeObserver;
  ZPHObserverToken m_windowObserver;
};
