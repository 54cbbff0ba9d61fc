#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>

class CBShadowTextField;
class ZPHMacWebViewStatusBarContentView;
class ZPHMacWebViewStatusBarWindow;
class ZPHTheme;

// The bar along the bottom of a web view that shows the address of the
// link under the mouse. Its controller owns the bar (a widget laid over the
// web view inside the web view's window; never a window of its own) and
// draws it in a theme: the application's, except that a bar over a web
// page (allowDarkTheme false) never takes the dark one. When to show it and
// what it says is decided by the web content view controller.
//
// Main thread only.
class ZPHMacWebViewStatusBarWindowController : public QObject {
  Q_OBJECT

public:
  explicit ZPHMacWebViewStatusBarWindowController(QObject* parent = nullptr);
  ~ZPHMacWebViewStatusBarWindowController() override;

  // The pause before the bar shows for a link under the mouse.
  static constexpr int standardPauseDuration() { return 1000; }  // ms

  ZPHMacWebViewStatusBarWindow* window() const { return m_window; }
  CBShadowTextField* textField() const { return m_textField; }
  ZPHMacWebViewStatusBarContentView* contentView() const { return m_contentView; }

  // The link the bar describes (the engine's hovered-link address).
  QString associatedLink() const { return m_associatedLink; }
  void setAssociatedLink(const QString& link) { m_associatedLink = link; }

  bool allowDarkTheme() const { return m_allowDarkTheme; }
  // False puts a bar drawn in the dark theme into the light one.
  void setAllowDarkTheme(bool allow);

  ZPHTheme* currentTheme() const { return m_currentTheme; }
  void setCurrentTheme(ZPHTheme* theme);

  // Puts the bar over the bottom edge of the web view, the view's width and
  // the bar's own height, in the web view's window (still hidden). False,
  // and nothing moves, when the text is empty or the web view is in no
  // visible window.
  bool positionAtBottomOfWebView(QWidget* webView);
  // Shows the bar above the window's other children.
  void show();
  // Hides the bar and takes it out of the window.
  void hide();
  bool isShown() const;

  // The text field's colours from the theme.
  void configureTextField();

private:
  void themeChanged();

  // Owns the bar while it is in no window; the window owns it otherwise,
  // and the controller deletes it at its end.
  QPointer<ZPHMacWebViewStatusBarWindow> m_window;
  ZPHMacWebViewStatusBarContentView* m_contentView = nullptr;
  CBShadowTextField* m_textField = nullptr;
  ZPHTheme* m_currentTheme = nullptr;
  QString m_associatedLink;
  bool m_allowDarkTheme = true;
  ZPHObserverToken m_themeObserver;
};
