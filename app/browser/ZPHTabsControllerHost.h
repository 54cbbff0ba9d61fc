#pragma once

// Qt kind: none (an interface: an abstract class).

#include <QtCore/QRect>
#include <QtCore/QtGlobal>

class QWidget;

// What the tabs controller asks of the view side of the main window (the
// content pane controller): the view work of a tab switch and the layout of
// the tabs column. Every operation has a default that does nothing, so a
// controller may run without views.
class ZPHTabsControllerHost {
public:
  virtual ~ZPHTabsControllerHost() = default;

  // The news-items tab is shown: the article layout goes into the content
  // pane (the browser view that was shown gets a new thumbnail first).
  virtual void showDetailWebView() {}
  virtual void makeArticleListFirstResponder() {}
  virtual void showOrHideOverallEmptyContentsViewAsNeeded() {}
  // The browser tab at the index is shown (its view controller made when
  // needed), its deferred first load started.
  virtual void swapInViewForBrowserTabAtIndex(qsizetype index) { Q_UNUSED(index); }
  // Announces the item the current tab presents for sharing.
  virtual void configureAndNotifySharableItem() {}
  // The current web view takes the keyboard focus (not on the news-items tab).
  virtual void makeWebViewFirstResponder() {}
  // The main window; null without one.
  virtual QWidget* window() const { return nullptr; }
  // The web view the user sees now (a tab's or the article view's); null
  // for none.
  virtual QWidget* currentWebViewWidget() const { return nullptr; }
  // Lays the tabs column out, shown or hidden as the tabs controller's
  // tabsVisible() says.
  virtual void updateTabsViewLayoutWithAnimation(bool animate) { Q_UNUSED(animate); }
  // Where browser web views go in the content pane; empty when unknown.
  virtual QRect webViewRect() const { return {}; }
};
