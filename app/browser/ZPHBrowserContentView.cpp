#include "browser/ZPHBrowserContentView.h"

#include "browser/ZPHBrowserViewController.h"
#include "browser/ZPHToolbar.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHMacWebViewFindBarViewController.h"

#include <QtCore/QParallelAnimationGroup>
#include <QtCore/QPropertyAnimation>
#include <QtCore/QTimer>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>

ZPHBrowserContentView::ZPHBrowserContentView(ZPHBrowserViewController* controller, QWidget* parent)
    : ZPHThemeUpdatingView<QWidget>(parent), m_controller(controller)
{
  setObjectName(QStringLiteral("ZPHBrowserContentView"));
}

ZPHBrowserContentView::~ZPHBrowserContentView() { stopAnimation(); }

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
  stopAnimation();
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

void ZPHBrowserContentView::stopAnimation()
{
  if (m_animation)
    m_animation->stop();
  m_animation = nullptr;
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
  stopAnimation();
  controller->setDelegate(this);
  QWidget* bar = controller->view();
  if (bar->parentWidget() != this)
    bar->setParent(this);
  bar->setGeometry(findPanelFrameWhenHidden());
  bar->lower();
  bar->show();
  if (m_toolbar)
    m_toolbar->raise();
  view->setGeometry(browserFrameWithoutFindPanel());
  m_controller->setFindBarShown(true);
  if (animated) {
    auto* group = new QParallelAnimationGroup(this);
    auto* barSlide = new QPropertyAnimation(bar, "geometry", group);
    barSlide->setDuration(FindBarSlideDuration);
    barSlide->setEndValue(findPanelFrameWhenShown());
    auto* viewSlide = new QPropertyAnimation(view, "geometry", group);
    viewSlide->setDuration(FindBarSlideDuration);
    viewSlide->setEndValue(browserFrameWithFindPanel());
    group->addAnimation(barSlide);
    group->addAnimation(viewSlide);
    m_animation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
  } else {
    bar->setGeometry(findPanelFrameWhenShown());
    view->setGeometry(browserFrameWithFindPanel());
  }
  QPointer<ZPHBrowserContentView> guard(this);
  QTimer::singleShot(FindBarSlideDuration, this, [guard] {
    if (guard && guard->m_controller->findBarShown())
      guard->m_controller->findBarViewController()->makeSearchFieldFirstResponder();
  });
}

void ZPHBrowserContentView::hideFindPanelAnimated(bool animated)
{
  if (!m_controller->findBarViewController()->isViewLoaded()) {
    m_controller->setFindBarShown(false);
    return;
  }
  stopAnimation();
  QWidget* bar = m_controller->findBarViewController()->view();
  ZPHMacWebView* view = webview();
  if (bar->isAncestorOf(QApplication::focusWidget()) && view != nullptr)
    view->setFocus(Qt::OtherFocusReason);
  if (animated && view != nullptr && bar->parentWidget() == this) {
    auto* group = new QParallelAnimationGroup(this);
    auto* barSlide = new QPropertyAnimation(bar, "geometry", group);
    barSlide->setDuration(FindBarSlideDuration);
    barSlide->setEndValue(findPanelFrameWhenHidden());
    auto* viewSlide = new QPropertyAnimation(view, "geometry", group);
    viewSlide->setDuration(FindBarSlideDuration);
    viewSlide->setEndValue(browserFrameWithoutFindPanel());
    group->addAnimation(barSlide);
    group->addAnimation(viewSlide);
    m_animation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
  } else {
    if (bar->parentWidget() == this)
      bar->setGeometry(findPanelFrameWhenHidden());
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
