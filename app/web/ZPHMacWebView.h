#pragma once

// Qt kind: QWidget (QWebEngineView).

#include "web/ZPHWebElement.h"

#include <QtCore/QJsonArray>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariant>
#include <QtGui/QIcon>
#include <QtWebEngineWidgets/QWebEngineView>

#include <functional>
#include <optional>

class ZPHClock;
class ZPHMacWebViewUIDelegate;

// The web view of the article view and of every browser tab. On top of the
// engine's view it remembers which address was asked for, loaded and shown
// first (a tab that has not loaded yet still has an address and a title),
// loads lazily on a tab's first selection, refuses drops unless told
// otherwise, turns horizontal two-finger swipes at a page's edge into back
// and forward (its UI delegate may veto), and finds text in the page.
//
// What the page knows comes back later: reads of the page (its source, its
// text, the result of a page function) take a callback, which runs on the
// main thread unless the view is gone by then. Page functions run in the
// application's script world (ApplicationWorld), never in the page's own,
// with their arguments JSON-encoded, and only when a page with content is
// there. Find is the engine's own find (highlights and match counts), no
// script in the page.
//
// The view notes each click and Return or space key press the user makes on
// it, with the link under the mouse at that moment: a navigation that
// follows such input on that link is the user's (takeUserInputForURL()). A
// key press counts only on an element the user chose (moved the focus to
// with Tab, or pressed the mouse on), never on one the page focused by
// script: the page's focus reporter (ZPHEditableFocusReporter, installed on
// every page the view shows) tells which element, and its link, the key
// landed on. A window a page's script opens is the user's when a click
// anywhere on the view, or such a key press, came just before
// (takeUserInputForScriptWindow()).
// Keys held with Ctrl reach the window's shortcuts, but for the editing
// ones (copy, cut, paste, select all, undo, redo), which stay with the page.
//
// With OpenGL the engine's render widget draws its frames into a texture
// that the window composes under its other contents, where a repaint of
// the widget's area keeps a hole open for it. A new frame alone repaints
// nothing: a widget that shows over what was drawn in its place while it
// was hidden (a page loaded in a hidden view, a tab shown again) stays
// covered by that, on X11 often on a slow machine. So after each frame the
// view repaints its area.
//
// Main thread only.
class ZPHMacWebView : public QWebEngineView {
  Q_OBJECT

public:
  // A click or key press of the user's on the view.
  struct UserInput {
    qint64 time = 0;  // on the view's clock
    Qt::KeyboardModifiers modifiers;
    Qt::MouseButton button = Qt::NoButton;  // none for a key press
    // The link under the mouse then; for a key press, the link of the
    // element it landed on when the user chose that element.
    QString hoveredLink;
    // A key press: the page reported where it landed, and that was an
    // element the user chose.
    bool keyReported = false;
    bool keyOnChosenElement = false;
  };

  // Input older than this has nothing to do with a navigation.
  static constexpr qint64 UserInputLifetime = 1500;  // ms

  explicit ZPHMacWebView(QWidget* parent = nullptr);
  ~ZPHMacWebView() override;

  // Shows the page (which the caller keeps) and follows it. Set one before
  // anything else: the engine's view would make a default page.
  void setWebPage(QWebEnginePage* page);

  // The clock of the input times (the system clock by default); it must
  // outlive the view.
  void setClock(ZPHClock* clock);

  ZPHMacWebViewUIDelegate* uiDelegate() const { return m_uiDelegate; }
  void setUIDelegate(ZPHMacWebViewUIDelegate* delegate) { m_uiDelegate = delegate; }
  // The UI delegate is forgotten.
  void detachDelegates() { m_uiDelegate = nullptr; }

  // ---- Remembered addresses and state
  QString initialRequestedURL() const { return m_initialRequestedURL; }
  void setInitialRequestedURL(const QString& url) { m_initialRequestedURL = url; }
  QString lastRequestedURL() const { return m_lastRequestedURL; }
  QString lastLoadedURL() const { return m_lastLoadedURL; }
  void setLastLoadedURL(const QString& url) { m_lastLoadedURL = url; }
  QString initialTitle() const { return m_initialTitle; }
  void setInitialTitle(const QString& title) { m_initialTitle = title; }
  bool loadOnSelect() const { return m_loadOnSelect; }
  void setLoadOnSelect(bool loadOnSelect) { m_loadOnSelect = loadOnSelect; }
  QIcon favicon() const { return m_favicon; }
  void setFavicon(const QIcon& favicon) { m_favicon = favicon; }
  // Set by the owner; the view itself does not act on these two.
  bool requestFavicons() const { return m_requestFavicons; }
  void setRequestFavicons(bool request) { m_requestFavicons = request; }
  bool skipKeystrokes() const { return m_skipKeystrokes; }
  void setSkipKeystrokes(bool skip) { m_skipKeystrokes = skip; }
  // Drops are taken only when true (false by default).
  bool canBeDragDestination() const { return m_canBeDragDestination; }
  void setCanBeDragDestination(bool can) { m_canBeDragDestination = can; }
  bool initialLoadAttempted() const { return m_initialLoadAttempted; }

  // The current address when there is one; while a load is under way, the
  // address asked for; else the last loaded, else the first requested one.
  QString displayURL() const;
  // The page's title when it has one, else initialTitle().
  QString displayTitle() const;

  // Loads initialRequestedURL() (on a tab's first selection).
  void doLoadOnSelect();
  void doLoadOnSelectIfNeeded();

  // ---- Loading
  // Loads the address and remembers it (first and last requested).
  void zph_loadRequest(const QUrl& url);
  // A string that makes no address as typed is tried with "^" and "~"
  // escaped; one that still makes none is not loaded. Empty: nothing.
  void zph_loadURLString(const QString& urlString);
  void zph_loadBlankPage();
  // A load is under way (never for an "about:" address).
  bool zph_loadIsInProgress();

  // ---- Reading the page
  QUrl zph_currentURL() const { return url(); }
  QString zph_currentURLString() const;
  QString zph_currentTitle() const { return title(); }
  // The address being loaded, else the current one.
  QUrl zph_loadingURL() const;
  QString zph_loadingURLString() const;
  // The page's HTML; "" without a page.
  void zph_htmlSource(std::function<void(const QString& source)> done);
  // The page's text, and its first 1000 characters (null when empty).
  void zph_text(std::function<void(const QString& text)> done);
  void zph_topText(std::function<void(const QString& text)> done);
  QString zph_selectedText() const { return selectedText(); }
  // A small rectangle at the place the user right-clicked, in the view's
  // coordinates; empty when that lies outside the view.
  QRect zph_clickedRectForElement(const ZPHWebElement& element) const;

  // ---- Scrolling (in the page's own units)
  bool zph_canScrollDown() const;
  bool zph_canScrollUp() const;
  void zph_scrollDown();
  void zph_scrollUp();
  void zph_scrollDownLessThanAFullPage();
  void zph_scrollUpLessThanAFullPage();
  void zph_scrollToTop();
  void zph_scrollToBottom();
  // The page shows its left (right) edge.
  bool zph_documentViewingLeftEdge() const;
  bool zph_documentViewingRightEdge() const;

  // ---- Page functions, in the application's script world
  // Whether a page with content is there: a body with something in it.
  static QString safeToCallWebScriptCondition();
  // Runs the script when it is safe; `done` gets its result, or an invalid
  // QVariant when it was not run or answered nothing.
  void frnh_safeWindowScriptEvaluateWebScript(const QString& script,
                                              std::function<void(const QVariant& result)> done = {});
  // Calls the global function `name` (one of the application's, a plain
  // identifier) with the JSON-encoded arguments.
  void frnh_safeWindowScriptCallWebScriptMethod(const QString& name, const QJsonArray& arguments,
                                                std::function<void(const QVariant& result)> done = {});
  // The script that calls the function: for tests and the log.
  static QString scriptCallingFunction(const QString& name, const QJsonArray& arguments);

  // ---- Find
  // The page shows the highlights of a find.
  bool hasInjectedHighlightSearchJS() const { return !m_findString.isEmpty(); }
  // Highlights every occurrence of the text (ignoring case), selects the
  // first, and answers the number of matches (0 for empty text).
  void highlightAllOccurencesOfString(const QString& string, std::function<void(int matches)> done = {});
  void removeAllHighlights();
  // As removeAllHighlights(); the next search highlights anew.
  void removeAllHighlightsAfterFindBarDismissal();
  bool isSearchDismissed() const { return m_searchDismissed; }
  // Selects the next (previous) occurrence, wrapping around the page (the
  // engine always wraps); after the find bar closed, the search starts anew
  // at the first match. `done` gets the number of matches (none found: 0).
  void searchFor(const QString& string, bool forward, bool caseSensitive, bool wrap,
                 std::function<void(int matches)> done = {});

  // ---- The user's input
  QString hoveredLink() const { return m_hoveredLink; }
  // The last click or key press of the user's when it is recent, was made
  // on `url`'s link (a click, or a key press on a link the user chose), and
  // has not served another navigation; it then serves this one.
  std::optional<UserInput> takeUserInputForURL(const QUrl& url);
  // The last click (anywhere on the view) or key press on an element the
  // user chose, when it is recent and has not served a navigation: the
  // user's for a window the page's script asks for; it then serves it.
  std::optional<UserInput> takeUserInputForScriptWindow();
  const std::optional<UserInput>& pendingUserInput() const { return m_pendingInput; }

  // ---- Gestures
  // The user default "AppleEnableSwipeNavigateWithScrolls" (true when unset).
  static bool recognizeTwoFingerGestures();
  // A finished two-finger swipe of (dx, dy), in widths of the view: -1 back,
  // 1 forward, 0 nothing. Horizontal only, at least 0.3 wide, towards an edge
  // the page showed when the swipe began.
  static int twoFingerSwipeDirection(qreal dx, qreal dy, bool canGoBack, bool canGoForward);
  // Back (forward) unless the UI delegate refuses.
  void checkWithUIDelegateAndGoBack();
  void checkWithUIDelegateAndGoForward();

Q_SIGNALS:
  // The user clicked or pressed a key on the view.
  void userInputReceived();

protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // Drops reach the page only when it may take them.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void attachToPage();
  void watchChild(QObject* child);
  // Repaints the view's area after each frame of the engine's render widget
  // (a QQuickWidget).
  void followRenderWidget(QObject* child);
  void noteUserInput(Qt::KeyboardModifiers modifiers, Qt::MouseButton button);
  // The page's report of where the user's last Return or space landed.
  void noteKeyTarget(bool onChosenElement, const QString& link);
  // The pending input when it is recent; none (and forgotten) when too old.
  std::optional<UserInput> recentUserInput();
  bool handleShortcutOverride(QKeyEvent* event);
  void handleWheel(QWheelEvent* event);
  void runInApplicationWorld(const QString& script, std::function<void(const QVariant&)> done);
  qreal visibleContentHeight() const;
  qreal visibleContentWidth() const;

  ZPHClock* m_clock;
  ZPHMacWebViewUIDelegate* m_uiDelegate = nullptr;
  QPointer<QWidget> m_renderWidget;
  QPointer<QWebEnginePage> m_attachedPage;
  QPointer<QObject> m_attachedReporter;
  QString m_initialRequestedURL;
  QString m_lastRequestedURL;
  QString m_lastLoadedURL;
  QString m_initialTitle;
  QIcon m_favicon;
  bool m_loadOnSelect = false;
  bool m_requestFavicons = false;
  bool m_skipKeystrokes = false;
  bool m_canBeDragDestination = false;
  bool m_initialLoadAttempted = false;
  bool m_loading = false;

  QString m_findString;
  bool m_searchDismissed = false;

  QString m_hoveredLink;
  std::optional<UserInput> m_pendingInput;
  bool m_pointerMovedSinceInput = false;  // since the pending input

  // A two-finger swipe under way.
  bool m_swipeTracking = false;
  bool m_canGoBackViaGesture = false;
  bool m_canGoForwardViaGesture = false;
  QPointF m_swipeDistance;
};
