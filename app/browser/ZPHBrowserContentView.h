#pragma once

// Qt kind: QWidget.

#include "themes/ZPHThemeUpdatingView.h"
#include "web/ZPHMacWebViewFindBarViewDelegate.h"
#include "web/ZPHSearchUIProtocol.h"
#include "web/ZPHSlidingFindBar.h"
#include "web/ZPHWebViewFind.h"

#include <QtCore/QPointer>

class ZPHBrowserViewController;
class ZPHMacWebView;
class ZPHToolbar;

// The view of a browser tab: its toolbar strip at the top and the web view
// below, with the find bar sliding in between them. It drives the web
// view's find-in-page for the find bar and answers the main window's Find,
// Find Next and Find Previous (ZPHSearchUIProtocol). Behind a page that
// does not fill the view it paints the theme's under-page background.
class ZPHBrowserContentView : public ZPHThemeUpdatingView<QWidget>,
                              public ZPHMacWebViewFindBarViewDelegate,
                              public ZPHSearchUIProtocol {
  Q_OBJECT

public:
  static constexpr int FindBarSlideDuration = ZPHSlidingFindBar::SlideDuration;

  explicit ZPHBrowserContentView(ZPHBrowserViewController* controller, QWidget* parent = nullptr);
  ~ZPHBrowserContentView() override;

  ZPHBrowserViewController* controller() const { return m_controller; }
  ZPHMacWebView* webview() const;
  ZPHToolbar* toolbar() const;
  // Sets the strip (the view takes it).
  void setToolbar(ZPHToolbar* toolbar);

  // ---- Frames
  QRect browserFrameWithoutFindPanel() const;
  QRect browserFrameWithFindPanel() const;
  QRect findPanelFrameWhenShown() const;
  QRect findPanelFrameWhenHidden() const;

  // ---- ZPHSearchUIProtocol
  void showFindPanelAnimated(bool animated) override;
  void hideFindPanelAnimated(bool animated) override;
  void highlightPreviousSearchResult() override;
  void highlightNextSearchResult() override;

  // ---- ZPHMacWebViewFindBarViewDelegate
  void webViewFindBarControllerSearchFieldTextChanged(ZPHMacWebViewFindBarViewController* controller,
                                                      const QString& text) override;
  void webViewFindBarControllerRequestsDismissal(ZPHMacWebViewFindBarViewController* controller) override;
  void webViewFindBarControllerRequestsHighlightPrevious(ZPHMacWebViewFindBarViewController* controller,
                                                         const QString& text) override;
  void webViewFindBarControllerRequestsHighlightNext(ZPHMacWebViewFindBarViewController* controller,
                                                     const QString& text) override;

  // The web view goes into place (under the find bar when it shows).
  void mountWebView(ZPHMacWebView* webView);

protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void search(const QString& text, bool forward);
  ZPHSlidingFindBar::Frames findPanelFrames() const;
  int findBarHeight() const;

  ZPHBrowserViewController* m_controller;
  QPointer<ZPHToolbar> m_toolbar;
  ZPHSlidingFindBar* m_findBarSlide = new ZPHSlidingFindBar(this);
  ZPHWebViewFind* m_find = new ZPHWebViewFind(this);
};
