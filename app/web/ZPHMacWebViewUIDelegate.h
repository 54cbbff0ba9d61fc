#pragma once

// Qt kind: none (an interface: an abstract class).

#include "web/ZPHWebElement.h"

#include <QtWebEngineCore/QWebEnginePage>

class QMenu;
class ZPHMacWebView;

// What a web view asks the controller that owns it. Every operation has a
// default.
class ZPHMacWebViewUIDelegate {
public:
  virtual ~ZPHMacWebViewUIDelegate() = default;

  // Whether the view may go back (QWebEnginePage::Back) or forward
  // (QWebEnginePage::Forward) for a gesture of the user's. Yes by default.
  virtual bool webViewShouldPerformAction(ZPHMacWebView* webView, QWebEnginePage::WebAction action)
  {
    Q_UNUSED(webView);
    Q_UNUSED(action);
    return true;
  }

  // The context menu for what the user right-clicked; the view shows it and
  // deletes it when it closes. Null (the default): no menu at all.
  virtual QMenu* webViewContextMenuForElement(ZPHMacWebView* webView, const ZPHWebElement& element)
  {
    Q_UNUSED(webView);
    Q_UNUSED(element);
    return nullptr;
  }
};
