#include "web/ZPHMacWebView.h"

#include "common/ZPHWebLog.h"
#include "keys/ZPHEditableFocusReporter.h"
#include "kit/ZPHClock.h"
#include "platform/ZPHUserDefaults.h"
#include "web/ZPHMacWebViewUIDelegate.h"

#include <QtCore/QJsonDocument>
#include <QtGui/QContextMenuEvent>
#include <QtGui/QDragEnterEvent>
#include <QtGui/QKeyEvent>
#include <QtGui/QWheelEvent>
#include <QtQuick/QQuickWindow>
#include <QtQuickWidgets/QQuickWidget>
#include <QtWebEngineCore/QWebEngineContextMenuRequest>
#include <QtWebEngineCore/QWebEngineFindTextResult>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWidgets/QMenu>

#include <cmath>
#include <utility>

namespace {

constexpr int kTopTextLength = 1000;

QString jsonString(const QString& string)
{
  const QByteArray json = QJsonDocument(QJsonArray{string}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(json.mid(1, json.size() - 2));
}

bool isEditingShortcut(QKeyEvent* event)
{
  for (const QKeySequence::StandardKey key : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                                              QKeySequence::SelectAll, QKeySequence::Undo, QKeySequence::Redo})
    if (event->matches(key))
      return true;
  return false;
}

}  // namespace

ZPHMacWebView::ZPHMacWebView(QWidget* parent) : QWebEngineView(parent), m_clock(&ZPHClock::systemClock()) {}

ZPHMacWebView::~ZPHMacWebView() = default;

void ZPHMacWebView::setClock(ZPHClock* clock) { m_clock = clock ? clock : &ZPHClock::systemClock(); }

// ---- Remembered addresses

QString ZPHMacWebView::displayURL() const
{
  const QString current = zph_currentURLString();
  if (!current.isEmpty())
    return current;
  if (m_loading && !m_lastRequestedURL.isEmpty())
    return m_lastRequestedURL;
  if (!m_lastLoadedURL.isEmpty())
    return m_lastLoadedURL;
  return m_initialRequestedURL;
}

QString ZPHMacWebView::displayTitle() const
{
  const QString current = title();
  // The engine names an untitled page after its address.
  if (!current.isEmpty() && current != zph_currentURLString() && current != url().toDisplayString())
    return current;
  return m_initialTitle;
}

void ZPHMacWebView::doLoadOnSelect() { zph_loadURLString(m_initialRequestedURL); }

void ZPHMacWebView::doLoadOnSelectIfNeeded()
{
  if (m_loadOnSelect && !m_initialLoadAttempted)
    doLoadOnSelect();
}

// ---- Loading

void ZPHMacWebView::zph_loadRequest(const QUrl& url)
{
  load(url);
  m_loadOnSelect = false;
  m_initialLoadAttempted = true;
  const QString string = url.toString(QUrl::FullyEncoded);
  if (m_initialRequestedURL.isNull())
    m_initialRequestedURL = string;
  m_lastRequestedURL = string;
}

void ZPHMacWebView::zph_loadURLString(const QString& urlString)
{
  if (urlString.isEmpty())
    return;
  QUrl url(urlString, QUrl::StrictMode);
  if (!url.isValid()) {
    QString escaped = urlString;
    escaped.replace(QLatin1Char('^'), QLatin1String("%5E")).replace(QLatin1Char('~'), QLatin1String("%7E"));
    url = QUrl(escaped, QUrl::StrictMode);
  }
  if (!url.isValid())
    return;
  zph_loadRequest(url);
}

void ZPHMacWebView::zph_loadBlankPage() { zph_loadURLString(QStringLiteral("about:blank")); }

bool ZPHMacWebView::zph_loadIsInProgress()
{
  if (zph_loadingURLString().startsWith(QLatin1String("about")))
    return false;
  if (m_loading)
    m_initialLoadAttempted = true;
  return m_loading;
}

// ---- Reading the page

QString ZPHMacWebView::zph_currentURLString() const
{
  const QUrl current = url();
  return current.isEmpty() ? QString() : current.toString(QUrl::FullyEncoded);
}

QUrl ZPHMacWebView::zph_loadingURL() const
{
  const QUrl requested = page() ? page()->requestedUrl() : QUrl();
  return m_loading && !requested.isEmpty() ? requested : url();
}

QString ZPHMacWebView::zph_loadingURLString() const
{
  const QUrl loading = zph_loadingURL();
  return loading.isEmpty() ? QString() : loading.toString(QUrl::FullyEncoded);
}

void ZPHMacWebView::zph_htmlSource(std::function<void(const QString&)> done)
{
  QPointer<ZPHMacWebView> guard(this);
  page()->toHtml([guard, done = std::move(done)](const QString& html) {
    if (guard && done)
      done(html);
  });
}

void ZPHMacWebView::zph_text(std::function<void(const QString&)> done)
{
  QPointer<ZPHMacWebView> guard(this);
  page()->toPlainText([guard, done = std::move(done)](const QString& text) {
    if (guard && done)
      done(text);
  });
}

void ZPHMacWebView::zph_topText(std::function<void(const QString&)> done)
{
  zph_text([done = std::move(done)](const QString& text) {
    if (!done)
      return;
    done(text.isEmpty() ? QString() : text.left(kTopTextLength));
  });
}

QRect ZPHMacWebView::zph_clickedRectForElement(const ZPHWebElement& element) const
{
  const QRect rect(element.position - QPoint(1, 1), QSize(3, 3));
  if (!this->rect().contains(rect.center()))
    return {};
  return rect;
}

// ---- Scrolling

qreal ZPHMacWebView::visibleContentHeight() const
{
  const qreal zoom = zoomFactor() > 0 ? zoomFactor() : 1.0;
  return height() / zoom;
}

qreal ZPHMacWebView::visibleContentWidth() const
{
  const qreal zoom = zoomFactor() > 0 ? zoomFactor() : 1.0;
  return width() / zoom;
}

bool ZPHMacWebView::zph_canScrollDown() const
{
  if (!page())
    return false;
  return page()->scrollPosition().y() + visibleContentHeight() < page()->contentsSize().height() - 5;
}

bool ZPHMacWebView::zph_canScrollUp() const { return page() && page()->scrollPosition().y() > 0; }

void ZPHMacWebView::zph_scrollDown()
{
  runInApplicationWorld(QStringLiteral("window.scrollBy(0, Math.round(window.innerHeight * 0.875))"), {});
}

void ZPHMacWebView::zph_scrollUp()
{
  runInApplicationWorld(QStringLiteral("window.scrollBy(0, -Math.round(window.innerHeight * 0.875))"), {});
}

void ZPHMacWebView::zph_scrollDownLessThanAFullPage()
{
  // The visible height less three lines' scroll (40 each) and 20 more.
  runInApplicationWorld(QStringLiteral("window.scrollBy(0, Math.max(1, window.innerHeight - 140))"), {});
}

void ZPHMacWebView::zph_scrollUpLessThanAFullPage()
{
  runInApplicationWorld(
      QStringLiteral("window.scrollTo(window.scrollX, Math.max(0, window.scrollY - Math.max(1, window.innerHeight - "
                     "140)))"),
      {});
}

void ZPHMacWebView::zph_scrollToTop()
{
  runInApplicationWorld(QStringLiteral("window.scrollTo(window.scrollX, 0)"), {});
}

void ZPHMacWebView::zph_scrollToBottom()
{
  runInApplicationWorld(QStringLiteral("window.scrollTo(window.scrollX, document.scrollingElement ? "
                                       "document.scrollingElement.scrollHeight : 0)"),
                        {});
}

bool ZPHMacWebView::zph_documentViewingLeftEdge() const { return page() && page()->scrollPosition().x() < 0.5; }

bool ZPHMacWebView::zph_documentViewingRightEdge() const
{
  return page() && page()->scrollPosition().x() + visibleContentWidth() >= page()->contentsSize().width() - 0.5;
}

// ---- Page functions

QString ZPHMacWebView::safeToCallWebScriptCondition()
{
  return QStringLiteral("(document.body !== null && document.body.innerHTML.length > 0)");
}

void ZPHMacWebView::runInApplicationWorld(const QString& script, std::function<void(const QVariant&)> done)
{
  QPointer<ZPHMacWebView> guard(this);
  page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                        [guard, done = std::move(done)](const QVariant& result) {
                          if (guard && done)
                            done(result);
                        });
}

void ZPHMacWebView::frnh_safeWindowScriptEvaluateWebScript(const QString& script,
                                                           std::function<void(const QVariant&)> done)
{
  const QString guarded = QStringLiteral("(function () { if (!%1) return null; return (%2); })()")
                              .arg(safeToCallWebScriptCondition(), script);
  runInApplicationWorld(guarded, [done = std::move(done)](const QVariant& result) {
    if (done)
      done(result.isNull() ? QVariant() : result);
  });
}

QString ZPHMacWebView::scriptCallingFunction(const QString& name, const QJsonArray& arguments)
{
  const QByteArray json = QJsonDocument(arguments).toJson(QJsonDocument::Compact);
  const QString list = QString::fromUtf8(json.mid(1, json.size() - 2));
  return QStringLiteral(
             "(function () { if (!%1) return null; var f = window[%2]; "
             "return typeof f === 'function' ? f(%3) : null; })()")
      .arg(safeToCallWebScriptCondition(), jsonString(name), list);
}

void ZPHMacWebView::frnh_safeWindowScriptCallWebScriptMethod(const QString& name, const QJsonArray& arguments,
                                                             std::function<void(const QVariant&)> done)
{
  runInApplicationWorld(scriptCallingFunction(name, arguments), [done = std::move(done)](const QVariant& result) {
    if (done)
      done(result.isNull() ? QVariant() : result);
  });
}

// ---- Find

void ZPHMacWebView::highlightAllOccurencesOfString(const QString& string, std::function<void(int)> done)
{
  m_searchDismissed = false;
  if (string.isEmpty()) {
    removeAllHighlights();
    if (done)
      done(0);
    return;
  }
  m_findString = string;
  QPointer<ZPHMacWebView> guard(this);
  page()->findText(string, {}, [guard, done = std::move(done)](const QWebEngineFindTextResult& result) {
    if (guard && done)
      done(result.numberOfMatches());
  });
}

void ZPHMacWebView::removeAllHighlights()
{
  m_findString.clear();
  page()->findText(QString());
}

void ZPHMacWebView::removeAllHighlightsAfterFindBarDismissal()
{
  removeAllHighlights();
  m_searchDismissed = true;
}

void ZPHMacWebView::searchFor(const QString& string, bool forward, bool caseSensitive, bool wrap,
                              std::function<void(int)> done)
{
  Q_UNUSED(wrap);
  if (string.isEmpty()) {
    if (done)
      done(0);
    return;
  }
  QWebEnginePage::FindFlags flags;
  if (caseSensitive)
    flags |= QWebEnginePage::FindCaseSensitively;
  // A new search (another text, or after the find bar closed) starts at
  // the first match; one that goes on moves from the current match.
  const bool goesOn = !m_searchDismissed && m_findString == string;
  if (goesOn && !forward)
    flags |= QWebEnginePage::FindBackward;
  m_searchDismissed = false;
  m_findString = string;
  QPointer<ZPHMacWebView> guard(this);
  page()->findText(string, flags, [guard, done = std::move(done)](const QWebEngineFindTextResult& result) {
    if (guard && done)
      done(result.numberOfMatches());
  });
}

// ---- The user's input

void ZPHMacWebView::noteUserInput(Qt::KeyboardModifiers modifiers, Qt::MouseButton button)
{
  UserInput input;
  input.time = m_clock->now();
  input.modifiers = modifiers;
  input.button = button;
  // A key press's link comes with the page's report.
  input.hoveredLink = button == Qt::NoButton ? QString() : m_hoveredLink;
  m_pendingInput = input;
  m_pointerMovedSinceInput = false;
  Q_EMIT userInputReceived();
}

void ZPHMacWebView::noteKeyTarget(bool onChosenElement, const QString& link)
{
  // The report follows the key press it is about; one report each.
  if (!m_pendingInput || m_pendingInput->button != Qt::NoButton || m_pendingInput->keyReported)
    return;
  m_pendingInput->keyReported = true;
  m_pendingInput->keyOnChosenElement = onChosenElement;
  m_pendingInput->hoveredLink = onChosenElement ? link : QString();
}

std::optional<ZPHMacWebView::UserInput> ZPHMacWebView::recentUserInput()
{
  if (!m_pendingInput)
    return std::nullopt;
  if (m_clock->now() - m_pendingInput->time > UserInputLifetime) {
    m_pendingInput.reset();
    return std::nullopt;
  }
  return m_pendingInput;
}

std::optional<ZPHMacWebView::UserInput> ZPHMacWebView::takeUserInputForURL(const QUrl& url)
{
  const std::optional<UserInput> input = recentUserInput();
  if (!input)
    return std::nullopt;
  // A click counts for the link it was made on; a key press for the link
  // the user chose and pressed it on.
  if (input->button == Qt::NoButton && !input->keyOnChosenElement)
    return std::nullopt;
  const QUrl link(input->hoveredLink);
  if (input->hoveredLink.isEmpty() ||
      link.adjusted(QUrl::NormalizePathSegments) != url.adjusted(QUrl::NormalizePathSegments))
    return std::nullopt;
  m_pendingInput.reset();
  return input;
}

std::optional<ZPHMacWebView::UserInput> ZPHMacWebView::takeUserInputForScriptWindow()
{
  const std::optional<UserInput> input = recentUserInput();
  if (!input || (input->button == Qt::NoButton && !input->keyOnChosenElement))
    return std::nullopt;
  m_pendingInput.reset();
  return input;
}

// ---- Gestures

bool ZPHMacWebView::recognizeTwoFingerGestures()
{
  const QString key = QStringLiteral("AppleEnableSwipeNavigateWithScrolls");
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  return !defaults.hasStoredValue(key) || defaults.boolForKey(key);
}

int ZPHMacWebView::twoFingerSwipeDirection(qreal dx, qreal dy, bool canGoBack, bool canGoForward)
{
  if (std::abs(dy) > std::abs(dx))
    return 0;
  // Fingers moving right go back, as the page follows them.
  const qreal d = -dx;
  if (std::abs(d) < 0.3)
    return 0;
  if (d > 0 && canGoForward)
    return 1;
  if (d < 0 && canGoBack)
    return -1;
  return 0;
}

void ZPHMacWebView::checkWithUIDelegateAndGoBack()
{
  if (m_uiDelegate && !m_uiDelegate->webViewShouldPerformAction(this, QWebEnginePage::Back))
    return;
  back();
}

void ZPHMacWebView::checkWithUIDelegateAndGoForward()
{
  if (m_uiDelegate && !m_uiDelegate->webViewShouldPerformAction(this, QWebEnginePage::Forward))
    return;
  forward();
}

void ZPHMacWebView::handleWheel(QWheelEvent* event)
{
  switch (event->phase()) {
    case Qt::ScrollBegin:
      m_swipeTracking = recognizeTwoFingerGestures();
      m_canGoBackViaGesture = zph_documentViewingLeftEdge();
      m_canGoForwardViaGesture = zph_documentViewingRightEdge();
      m_swipeDistance = QPointF();
      break;
    case Qt::ScrollUpdate:
    case Qt::ScrollMomentum:
      if (m_swipeTracking && width() > 0 && height() > 0) {
        // The distance the fingers moved, whatever the scrolling direction.
        const QPointF delta = event->inverted() ? QPointF(event->pixelDelta()) : -QPointF(event->pixelDelta());
        m_swipeDistance += QPointF(delta.x() / width(), delta.y() / height());
      }
      break;
    case Qt::ScrollEnd: {
      if (!m_swipeTracking)
        break;
      m_swipeTracking = false;
      const int direction = twoFingerSwipeDirection(m_swipeDistance.x(), m_swipeDistance.y(), m_canGoBackViaGesture,
                                                    m_canGoForwardViaGesture);
      if (direction > 0)
        checkWithUIDelegateAndGoForward();
      else if (direction < 0)
        checkWithUIDelegateAndGoBack();
      break;
    }
    case Qt::NoScrollPhase:
      break;
  }
}

// ---- Events

void ZPHMacWebView::setWebPage(QWebEnginePage* page)
{
  setPage(page);
  attachToPage();
}

void ZPHMacWebView::attachToPage()
{
  QWebEnginePage* current = page();
  if (current == m_attachedPage)
    return;
  if (m_attachedPage)
    disconnect(m_attachedPage, nullptr, this, nullptr);
  if (m_attachedReporter)
    disconnect(m_attachedReporter, nullptr, this, nullptr);
  m_attachedPage = current;
  m_findString.clear();
  m_searchDismissed = false;
  m_hoveredLink.clear();
  m_loading = false;
  if (!current)
    return;
  // Where the user's keys land, reported by the page.
  ZPHEditableFocusReporter* reporter = ZPHEditableFocusReporter::reporterForPage(current);
  if (!reporter)
    reporter = new ZPHEditableFocusReporter(current);
  m_attachedReporter = reporter;
  connect(reporter, &ZPHEditableFocusReporter::keyPressReported, this, &ZPHMacWebView::noteKeyTarget);
  connect(current, &QWebEnginePage::linkHovered, this, [this](const QString& link) {
    m_hoveredLink = link;
    // The page names the link under the pointer a moment after the pointer
    // got there: a click made at once, the pointer still, is on that link.
    if (m_pendingInput && m_pendingInput->button != Qt::NoButton && m_pendingInput->hoveredLink.isEmpty() &&
        !m_pointerMovedSinceInput)
      m_pendingInput->hoveredLink = link;
  });
  connect(current, &QWebEnginePage::loadStarted, this, [this] {
    m_loading = true;
    m_initialLoadAttempted = true;
  });
  connect(current, &QWebEnginePage::loadFinished, this, [this](bool ok) {
    m_loading = false;
    // A new page has no find of its own yet. (A navigation that was refused
    // ends without success and leaves the page, and its find, as they were.)
    if (ok)
      m_findString.clear();
  });
}

void ZPHMacWebView::watchChild(QObject* child)
{
  if (child && child->isWidgetType())
    child->installEventFilter(this);
}

void ZPHMacWebView::followRenderWidget(QObject* child)
{
  // Polished, the child is whole; the engine makes a new one now and then.
  auto* renderWidget = qobject_cast<QQuickWidget*>(child);
  if (!renderWidget || renderWidget == m_renderWidget)
    return;
  m_renderWidget = renderWidget;
  // Drawn in software, the widget paints itself into the window.
  if (QQuickWindow::graphicsApi() == QSGRendererInterface::Software)
    return;
  connect(renderWidget->quickWindow(), &QQuickWindow::afterRendering, this, [this, renderWidget] {
    if (renderWidget == m_renderWidget && renderWidget->isVisible())
      update();
  });
}

bool ZPHMacWebView::event(QEvent* event)
{
  switch (event->type()) {
    case QEvent::ChildAdded:
      watchChild(static_cast<QChildEvent*>(event)->child());
      break;
    case QEvent::ChildPolished:
      watchChild(static_cast<QChildEvent*>(event)->child());
      followRenderWidget(static_cast<QChildEvent*>(event)->child());
      break;
    default:
      break;
  }
  return QWebEngineView::event(event);
}

bool ZPHMacWebView::handleShortcutOverride(QKeyEvent* event)
{
  if (!event->modifiers().testFlag(Qt::ControlModifier))
    return false;
  if (isEditingShortcut(event)) {
    // The page copies, pastes and selects itself.
    event->accept();
    return true;
  }
  // Not for the page: the window's shortcuts (menus, commands) take it.
  event->ignore();
  return true;
}

bool ZPHMacWebView::eventFilter(QObject* watched, QEvent* event)
{
  if (watched != focusProxy() && watched->parent() != this)
    return QWebEngineView::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      return handleShortcutOverride(static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress: {
      // The mouse's back and forward buttons stand in for swipes.
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::BackButton || mouse->button() == Qt::ForwardButton) {
        if (mouse->button() == Qt::BackButton)
          checkWithUIDelegateAndGoBack();
        else
          checkWithUIDelegateAndGoForward();
        return true;
      }
      break;
    }
    case QEvent::MouseButtonRelease: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::BackButton || mouse->button() == Qt::ForwardButton)
        return true;
      if (mouse->button() == Qt::LeftButton || mouse->button() == Qt::MiddleButton)
        noteUserInput(mouse->modifiers(), mouse->button());
      break;
    }
    case QEvent::MouseMove:
      m_pointerMovedSinceInput = true;
      break;
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      // Alt+Left and Alt+Right too.
      if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier &&
          (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right)) {
        if (key->key() == Qt::Key_Left)
          checkWithUIDelegateAndGoBack();
        else
          checkWithUIDelegateAndGoForward();
        return true;
      }
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space)
        noteUserInput(key->modifiers(), Qt::NoButton);
      break;
    }
    case QEvent::Wheel:
      handleWheel(static_cast<QWheelEvent*>(event));
      break;
    default:
      break;
  }
  return QWebEngineView::eventFilter(watched, event);
}

void ZPHMacWebView::dragEnterEvent(QDragEnterEvent* event)
{
  if (!m_canBeDragDestination) {
    event->ignore();
    return;
  }
  QWebEngineView::dragEnterEvent(event);
}

void ZPHMacWebView::dragMoveEvent(QDragMoveEvent* event)
{
  if (!m_canBeDragDestination) {
    event->ignore();
    return;
  }
  QWebEngineView::dragMoveEvent(event);
}

void ZPHMacWebView::dropEvent(QDropEvent* event)
{
  if (!m_canBeDragDestination) {
    event->ignore();
    return;
  }
  QWebEngineView::dropEvent(event);
}

void ZPHMacWebView::contextMenuEvent(QContextMenuEvent* event)
{
  QWebEngineContextMenuRequest* request = lastContextMenuRequest();
  if (!request || !m_uiDelegate)
    return;
  const ZPHWebElement element = ZPHWebElement::fromContextMenuRequest(*request);
  QMenu* menu = m_uiDelegate->webViewContextMenuForElement(this, element);
  if (!menu)
    return;
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}
