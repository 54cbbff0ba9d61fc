#include "browser/ZPHBrowserContentView.h"

#include "browser/ZPHBrowserViewController.h"
#include "browser/ZPHToolbar.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHMacWebViewFindBarViewController.h"

#include <QtGui/QPainter>

ZPHBrowserContentView::ZPHBrowserContentView(ZPHBrowserViewController* controller, QWidget* parent)
    : ZPHThemeUpdatingView<QWidget>(parent), m_controller(controller)
{
  setObjectName(QStringLiteral("ZPHBrowserContentView"));
}

ZPHBrowserContentView::~ZPHBrowserContentView() { m_findBarSlide->stop(); }

ZPHMacWebView* ZPHBrowserContentView::webview() const { return m_controller ? m_controller->webView() : nullptr; }

ZPHToolbar* ZPHBrowserContentView::toolbar() const { return m_toolbar; }

void ZPHBrowserContentView::setToolbar(ZPHToolbar* toolbar)
{
  m_toolbar = toolbar;
  if (toolbar == nullptr)
    return;
  toolbar->setParent(this);
  toolbar->setGeometry(0, 0, width(), toolbar->height());
  toolbar->raise();
  toolbar->show();
}

int ZPHBrowserContentView::findBarHeight() const
{
  return m_controller && m_controller->findBarViewController()->isViewLoaded()
             ? m_controller->findBarViewController()->view()->height()
             : 0;
}

QRect ZPHBrowserContentView::browserFrameWithoutFindPanel() const
{
  const int top = m_toolbar ? m_toolbar->height() : 0;
  return QRect(0, top, width(), std::max(0, height() - top));
}

QRect ZPHBrowserContentView::browserFrameWithFindPanel() const
{
  const QRect frame = browserFrameWithoutFindPanel();
  return frame.adjusted(0, findBarHeight(), 0, 0);
}

QRect ZPHBrowserContentView::findPanelFrameWhenShown() const
{
  return QRect(0, browserFrameWithoutFindPanel().top(), width(), findBarHeight());
}

QRect ZPHBrowserContentView::findPanelFrameWhenHidden() const
{
  return QRect(0, browserFrameWithoutFindPanel().top() - findBarHeight(), width(), findBarHeight());
}

void ZPHBrowserContentView::mountWebView(ZPHMacWebView* webView)
{
  if (webView == nullptr)
    return;
  if (webView->parentWidget() != this)
    webView->setParent(this);
  const bool shown = m_controller && m_controller->findBarShown();
  webView->setGeometry(shown ? browserFrameWithFindPanel() : browserFrameWithoutFindPanel());
  webView->show();
  if (m_toolbar)
    m_toolbar->raise();
}

void ZPHBrowserContentView::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  m_findBarSlide->stop();
  if (m_toolbar)
    m_toolbar->setGeometry(0, 0, width(), m_toolbar->height());
  const bool shown = m_controller && m_controller->findBarShown();
  if (ZPHMacWebView* view = webview(); view && view->parentWidget() == this)
    view->setGeometry(shown ? browserFrameWithFindPanel() : browserFrameWithoutFindPanel());
  if (m_controller && m_controller->findBarViewController()->isViewLoaded()) {
    QWidget* bar = m_controller->findBarViewController()->view();
    if (bar->parentWidget() == this)
      bar->setGeometry(shown ? findPanelFrameWhenShown() : findPanelFrameWhenHidden());
  }
}

void ZPHBrowserContentView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  QPainter painter(this);
  ZPHTheme* theme = ZPHTheme::currentTheme();
  const QRect page = browserFrameWithoutFindPanel();
  if (theme != nullptr) {
    QBrush under = theme->underPageBackgroundColor();
    under.setTransform(QTransform::fromTranslate(0, height()));
    painter.fillRect(rect(), under);
  }
  // Where the page's document lies (the web view's area); white under it.
  painter.fillRect(page, Qt::white);
}

ZPHSlidingFindBar::Frames ZPHBrowserContentView::findPanelFrames() const
{
  return {findPanelFrameWhenShown(), findPanelFrameWhenHidden(), browserFrameWithFindPanel(),
          browserFrameWithoutFindPanel()};
}

void ZPHBrowserContentView::showFindPanelAnimated(bool animated)
{
  ZPHMacWebView* view = webview();
  if (view == nullptr || view->window() == nullptr || !view->isVisible())
    return;
  ZPHMacWebViewFindBarViewController* controller = m_controller->findBarViewController();
  if (m_controller->findBarShown()) {
    controller->makeSearchFieldFirstResponder();
    return;
  }
  controller->setDelegate(this);
  controller->view();  // its height makes the frames
  m_controller->setFindBarShown(true);
  m_findBarSlide->slideIn(controller, view, findPanelFrames(), animated, [this] {
    if (m_controller->findBarShown())
      m_controller->findBarViewController()->makeSearchFieldFirstResponder();
  });
  if (m_toolbar)
    m_toolbar->raise();
}

void ZPHBrowserContentView::hideFindPanelAnimated(bool animated)
{
  if (!m_controller->findBarViewController()->isViewLoaded()) {
    m_controller->setFindBarShown(false);
    return;
  }
  QWidget* bar = m_controller->findBarViewController()->view();
  ZPHMacWebView* view = webview();
  ZPHSlidingFindBar::moveFocusOutOf(bar, view);
  const bool slides = animated && view != nullptr;
  if (bar->parentWidget() == this) {
    QWidget* content = view != nullptr && (slides || view->parentWidget() == this) ? view : nullptr;
    m_findBarSlide->slideOut(bar, content, findPanelFrames(), slides, false);
  } else {
    m_findBarSlide->stop();
    if (view != nullptr && view->parentWidget() == this)
      view->setGeometry(browserFrameWithoutFindPanel());
  }
  m_controller->setFindBarShown(false);
}

void ZPHBrowserContentView::highlightPreviousSearchResult()
{
  m_controller->findBarViewController()->highlightPreviousSearchResult();
}

void ZPHBrowserContentView::highlightNextSearchResult()
{
  m_controller->findBarViewController()->highlightNextSearchResult();
}

void ZPHBrowserContentView::webViewFindBarControllerSearchFieldTextChanged(
    ZPHMacWebViewFindBarViewController* controller, const QString& text)
{
  m_find->textChanged(webview(), controller, text);
}

void ZPHBrowserContentView::webViewFindBarControllerRequestsDismissal(ZPHMacWebViewFindBarViewController* controller)
{
  Q_UNUSED(controller);
  hideFindPanelAnimated(true);
  m_find->dismiss(webview());
}

void ZPHBrowserContentView::webViewFindBarControllerRequestsHighlightPrevious(
    ZPHMacWebViewFindBarViewController* controller, const QString& text)
{
  Q_UNUSED(controller);
  search(text, false);
}

void ZPHBrowserContentView::webViewFindBarControllerRequestsHighlightNext(
    ZPHMacWebViewFindBarViewController* controller, const QString& text)
{
  Q_UNUSED(controller);
  search(text, true);
}

void ZPHBrowserContentView::search(const QString& text, bool forward)
{
  if (!text.isEmpty())
    m_find->search(webview(), m_controller->findBarViewController(), text, forward);
}
