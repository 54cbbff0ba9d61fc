#include "articleview/ZPHArticleDetailPaneView.h"

#include "kit/ZPHSimpleColorView.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "themes/ZPHTheme.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHMacWebViewFindBarView.h"
#include "web/ZPHMacWebViewFindBarViewController.h"

#include <QtCore/QVariantAnimation>
#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <QtWidgets/QGraphicsOpacityEffect>
#include <QtWidgets/QLabel>

ZPHArticleDetailPaneView::ZPHArticleDetailPaneView(QWidget* parent) : QWidget(parent)
{
  setAttribute(Qt::WA_OpaquePaintEvent);
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  m_themeObserver = center.addObserver(ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) {
    updateOverlay();
    update();
  });
  m_windowObserver = center.addObserver(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification, QVariant(), this,
                                        [this](const ZPHNotification& notification) {
                                          if (notification.object.value<QObject*>() != window())
                                            return;
                                          updateMouseInView();
                                          updateOverlay();
                                        });
}

ZPHArticleDetailPaneView::~ZPHArticleDetailPaneView()
{
  // The views stay their owners'.
  for (QWidget* view : {m_detailContentView.data(), m_detailTemporaryView.data()}) {
    if (view && view->parentWidget() == this) {
      view->hide();
      view->setParent(nullptr);
    }
  }
  if (m_findBarViewController)
    m_findBarViewController->setDelegate(nullptr);
}

QBrush ZPHArticleDetailPaneView::patternImageBackgroundColor()
{
  ZPHTheme* theme = ZPHTheme::currentTheme();
  return theme ? theme->underPageBackgroundColor() : QBrush();
}

ZPHMacWebView* ZPHArticleDetailPaneView::webContentView() const
{
  return qobject_cast<ZPHMacWebView*>(m_detailContentView.data());
}

// ---- Content

void ZPHArticleDetailPaneView::setDetailContentView(QWidget* view)
{
  hideFindPanelAnimated(false);
  if (m_findBarViewController)
    m_findBarViewController->resetState();
  if (ZPHMacWebView* old = webContentView(); old && old->hasInjectedHighlightSearchJS())
    old->removeAllHighlights();

  if (!view) {
    if (m_detailContentView && m_detailContentView->parentWidget() == this) {
      m_detailContentView->hide();
      m_detailContentView->setParent(nullptr);
    }
    m_detailContentView = nullptr;
    updateOverlay();
    return;
  }

  if (!m_detailContentView && !m_detailTemporaryView && m_shouldAnimateIn) {
    // The first content fades in over the empty pane.
    if (isVisible())
      fadeOutPictureOf(nullptr, FirstContentFadeDuration);
    m_detailContentView = view;
    view->setParent(this);
    view->setGeometry(contentFrame(false));
    view->show();
    if (m_screenshotView)
      m_screenshotView->raise();
    updateOverlay();
    return;
  }

  if (view != m_detailContentView) {
    if (m_detailContentView && m_detailContentView->parentWidget() == this) {
      m_detailContentView->hide();
      m_detailContentView->setParent(nullptr);
    }
    m_detailContentView = view;
    updateOverlay();
  }
  if (view->parentWidget() != this)
    view->setParent(this);
  view->setGeometry(contentFrame(m_findBarShown));
  view->show();

  if (m_detailTemporaryView && m_shouldAnimateIn) {
    QWidget* temporary = m_detailTemporaryView;
    fadeOutPictureOf(temporary, ScreenshotFadeDuration);
    temporary->hide();
    if (temporary->parentWidget() == this)
      temporary->setParent(nullptr);
    m_detailTemporaryView = nullptr;
  }
  if (m_inactiveWindowOverlayView && m_inactiveWindowOverlayView->isVisible())
    m_inactiveWindowOverlayView->raise();
}

void ZPHArticleDetailPaneView::setDetailTemporaryView(QWidget* view)
{
  if (view == m_detailTemporaryView)
    return;
  if (m_detailTemporaryView && m_detailTemporaryView->parentWidget() == this) {
    m_detailTemporaryView->hide();
    m_detailTemporaryView->setParent(nullptr);
  }
  m_detailTemporaryView = view;
  if (!view)
    return;
  QLabel* screenshot = ensureScreenshotView();
  if (m_detailContentView)
    screenshot->setPixmap(m_detailContentView->grab());
  if (m_detailContentView)
    m_detailContentView->hide();
  view->setParent(this);
  view->setGeometry(rect());
  view->show();
  view->stackUnder(screenshot);
  fadeOutPictureOf(m_detailContentView, ScreenshotFadeDuration);
}

QLabel* ZPHArticleDetailPaneView::ensureScreenshotView()
{
  if (!m_screenshotView) {
    m_screenshotView = new QLabel(this);
    m_screenshotView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_screenshotView->setScaledContents(true);
    m_screenshotView->setGraphicsEffect(new QGraphicsOpacityEffect(m_screenshotView));
    m_screenshotView->hide();
  }
  return m_screenshotView;
}

void ZPHArticleDetailPaneView::fadeOutPictureOf(QWidget* widget, int duration)
{
  QLabel* screenshot = ensureScreenshotView();
  const QPixmap picture = widget ? widget->grab() : grab();
  screenshot->setPixmap(picture);
  screenshot->setGeometry(widget ? widget->geometry() : rect());
  auto* effect = static_cast<QGraphicsOpacityEffect*>(screenshot->graphicsEffect());
  effect->setOpacity(1);
  screenshot->show();
  screenshot->raise();
  if (m_screenshotFade)
    m_screenshotFade->stop();
  auto* fade = new QVariantAnimation(this);
  fade->setDuration(duration);
  fade->setStartValue(1.0);
  fade->setEndValue(0.0);
  connect(fade, &QVariantAnimation::valueChanged, screenshot,
          [effect](const QVariant& value) { effect->setOpacity(value.toDouble()); });
  QPointer<QLabel> guard(screenshot);
  connect(fade, &QVariantAnimation::finished, this, [guard] {
    if (!guard)
      return;
    guard->hide();
    guard->setPixmap(QPixmap());
  });
  m_screenshotFade = fade;
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

// ---- Layout and drawing

QRect ZPHArticleDetailPaneView::findBarFrame(bool shown) const
{
  const int barHeight = m_findBarViewController ? m_findBarViewController->view()->height() : 0;
  return QRect(0, shown ? 0 : -barHeight, width(), barHeight);
}

QRect ZPHArticleDetailPaneView::contentFrame(bool withFindBar) const
{
  if (!withFindBar || !m_findBarViewController)
    return rect();
  const int barHeight = m_findBarViewController->view()->height();
  return rect().adjusted(0, barHeight, 0, 0);
}

void ZPHArticleDetailPaneView::layoutViews()
{
  if (m_findBarSlide->isSliding())
    return;
  if (m_detailContentView && m_detailContentView->parentWidget() == this)
    m_detailContentView->setGeometry(contentFrame(m_findBarShown));
  if (m_detailTemporaryView && m_detailTemporaryView->parentWidget() == this)
    m_detailTemporaryView->setGeometry(rect());
  if (m_findBarViewController && m_findBarViewController->isViewLoaded())
    m_findBarViewController->view()->setGeometry(findBarFrame(m_findBarShown));
  if (m_inactiveWindowOverlayView)
    m_inactiveWindowOverlayView->setGeometry(rect());
}

void ZPHArticleDetailPaneView::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  layoutViews();
}

void ZPHArticleDetailPaneView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  QPainter painter(this);
  QBrush pattern = patternImageBackgroundColor();
  if (pattern.style() == Qt::NoBrush)
    pattern = palette().window();
  painter.setBrushOrigin(0, height());
  painter.fillRect(rect(), pattern);
}

// ---- Window state

void ZPHArticleDetailPaneView::updateOverlay()
{
  ZPHTheme* theme = ZPHTheme::currentTheme();
  const QColor color = theme ? theme->detailWebViewOverlayColor() : QColor();
  if (!color.isValid()) {
    delete m_inactiveWindowOverlayView;
    m_inactiveWindowOverlayView = nullptr;
    return;
  }
  if (!m_inactiveWindowOverlayView) {
    m_inactiveWindowOverlayView = new ZPHSimpleColorView(this);
    m_inactiveWindowOverlayView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_inactiveWindowOverlayView->hide();
  }
  m_inactiveWindowOverlayView->setBackgroundColor(color);
  if (window() != this && !zph_windowShouldDrawActive(this)) {
    m_inactiveWindowOverlayView->setGeometry(rect());
    m_inactiveWindowOverlayView->show();
    m_inactiveWindowOverlayView->raise();
  } else {
    m_inactiveWindowOverlayView->hide();
  }
}

void ZPHArticleDetailPaneView::updateWindowForActiveStateChange()
{
  updateOverlay();
  updateMouseInView();
}

void ZPHArticleDetailPaneView::updateMouseInView()
{
  const bool inView = QGuiApplication::applicationState() == Qt::ApplicationActive && window()->isActiveWindow() &&
                      rect().contains(mapFromGlobal(QCursor::pos()));
  if (inView == m_mouseInView)
    return;
  m_mouseInView = inView;
  Q_EMIT mouseInViewChanged(inView);
}

bool ZPHArticleDetailPaneView::event(QEvent* event)
{
  if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show) {
    updateOverlay();
    if (m_findBarViewController && m_findBarViewController->isViewLoaded() && !m_findBarShown)
      m_findBarViewController->view()->hide();
    updateMouseInView();
  }
  return QWidget::event(event);
}

void ZPHArticleDetailPaneView::enterEvent(QEnterEvent* event)
{
  QWidget::enterEvent(event);
  updateMouseInView();
}

void ZPHArticleDetailPaneView::leaveEvent(QEvent* event)
{
  QWidget::leaveEvent(event);
  updateMouseInView();
}

void ZPHArticleDetailPaneView::changeEvent(QEvent* event)
{
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange)
    updateMouseInView();
}

// ---- Find

ZPHMacWebViewFindBarViewController* ZPHArticleDetailPaneView::findBarViewController()
{
  if (!m_findBarViewController)
    m_findBarViewController = std::make_unique<ZPHMacWebViewFindBarViewController>();
  return m_findBarViewController.get();
}

QWidget* ZPHArticleDetailPaneView::findBarView() { return findBarViewController()->view(); }

ZPHSlidingFindBar::Frames ZPHArticleDetailPaneView::findBarFrames() const
{
  return {findBarFrame(true), findBarFrame(false), contentFrame(true), contentFrame(false)};
}

void ZPHArticleDetailPaneView::showFindPanelAnimated(bool animated)
{
  if (!m_detailContentView || !window() || window() == this)
    return;
  ZPHMacWebViewFindBarViewController* controller = findBarViewController();
  if (m_findBarShown) {
    controller->makeSearchFieldFirstResponder();
    return;
  }
  controller->setDelegate(this);
  m_findBarShown = true;
  m_findBarSlide->slideIn(controller, m_detailContentView, findBarFrames(), animated, [this] {
    if (m_findBarShown && m_findBarViewController)
      m_findBarViewController->makeSearchFieldFirstResponder();
  });
}

void ZPHArticleDetailPaneView::hideFindPanelAnimated(bool animated)
{
  const bool wasShown = m_findBarShown;
  m_findBarShown = false;
  if (!m_findBarViewController || !m_findBarViewController->isViewLoaded())
    return;
  QWidget* bar = m_findBarViewController->view();
  if (bar->parentWidget() != this) {
    m_findBarSlide->stop();
    return;
  }
  ZPHSlidingFindBar::moveFocusOutOf(bar, m_detailContentView);
  QWidget* content = m_detailContentView && m_detailContentView->parentWidget() == this ? m_detailContentView : nullptr;
  m_findBarSlide->slideOut(bar, content, findBarFrames(), animated && wasShown, true);
}

void ZPHArticleDetailPaneView::highlightNextSearchResult() { findBarViewController()->highlightNextSearchResult(); }

void ZPHArticleDetailPaneView::highlightPreviousSearchResult()
{
  findBarViewController()->highlightPreviousSearchResult();
}

void ZPHArticleDetailPaneView::webViewFindBarControllerSearchFieldTextChanged(
    ZPHMacWebViewFindBarViewController* controller, const QString& text)
{
  m_find->textChanged(webContentView(), controller, text);
}

void ZPHArticleDetailPaneView::webViewFindBarControllerRequestsDismissal(ZPHMacWebViewFindBarViewController* controller)
{
  Q_UNUSED(controller);
  ZPHMacWebView* webView = webContentView();
  if (!webView)
    return;
  m_find->dismiss(webView);
  hideFindPanelAnimated(true);
}

void ZPHArticleDetailPaneView::search(const QString& text, bool forward)
{
  ZPHMacWebView* webView = webContentView();
  if (!webView)
    return;
  ZPHMacWebViewFindBarViewController* controller = findBarViewController();
  if (!m_findBarShown) {
    showFindPanelAnimated(false);
    controller->triggerSearchFor(text);
    return;
  }
  m_find->search(webView, controller, text, forward);
}

void ZPHArticleDetailPaneView::webViewFindBarControllerRequestsHighlightPrevious(
    ZPHMacWebViewFindBarViewController* controller, const QString& text)
{
  Q_UNUSED(controller);
  search(text, false);
}

void ZPHArticleDetailPaneView::webViewFindBarControllerRequestsHighlightNext(
    ZPHMacWebViewFindBarViewController* controller, const QString& text)
{
  Q_UNUSED(controller);
  search(text, true);
}
