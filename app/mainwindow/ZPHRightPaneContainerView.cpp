#include "mainwindow/ZPHRightPaneContainerView.h"

#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QVariantAnimation>
#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QGraphicsOpacityEffect>
#include <QtWidgets/QLabel>

const QString CBOverlayViewWasPoppedNotification = QStringLiteral("CBOverlayViewWasPoppedNotification");
const QString CBOverlayViewPopAnimationCompleteNotification =
    QStringLiteral("CBOverlayViewPopAnimationCompleteNotification");

ZPHRightPaneContainerView::ZPHRightPaneContainerView(QWidget* parent) : QWidget(parent)
{
  setAttribute(Qt::WA_OpaquePaintEvent);
}

ZPHRightPaneContainerView::~ZPHRightPaneContainerView()
{
  if (m_fade != nullptr)
    m_fade->stop();
}

QLabel* ZPHRightPaneContainerView::screenshotViewForAnimation()
{
  if (m_screenshotView == nullptr) {
    m_screenshotView = new QLabel(this);
    m_screenshotView->setScaledContents(true);
    m_screenshotView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_screenshotView->setGraphicsEffect(new QGraphicsOpacityEffect(m_screenshotView));
    m_screenshotView->setGeometry(rect());
    m_screenshotView->hide();
  }
  return m_screenshotView;
}

QPixmap ZPHRightPaneContainerView::screenshotOfView(QWidget* view) { return (view != nullptr ? view : this)->grab(); }

void ZPHRightPaneContainerView::placeView(QWidget* view)
{
  if (view->parentWidget() != this)
    view->setParent(this);
  view->setGeometry(rect());
  view->show();
}

void ZPHRightPaneContainerView::showScreenshotOverEverything()
{
  QLabel* screenshot = screenshotViewForAnimation();
  screenshot->setPixmap(screenshotOfView(nullptr));
  screenshot->setGeometry(rect());
  static_cast<QGraphicsOpacityEffect*>(screenshot->graphicsEffect())->setOpacity(1.0);
  screenshot->show();
  screenshot->raise();
}

void ZPHRightPaneContainerView::hideScreenshotView()
{
  if (m_screenshotView != nullptr) {
    m_screenshotView->hide();
    m_screenshotView->setPixmap(QPixmap());
  }
  ZPHNotificationCenter::defaultCenter().postOnMainThread(CBOverlayViewPopAnimationCompleteNotification,
                                                          QVariant::fromValue(static_cast<QObject*>(this)));
}

void ZPHRightPaneContainerView::fadeScreenshotOut(std::function<void()> finished)
{
  auto* fade = new QVariantAnimation(this);
  fade->setDuration(FadeDuration);
  fade->setStartValue(1.0);
  fade->setEndValue(0.0);
  fade->setEasingCurve(QEasingCurve::InOutQuad);
  QPointer<QLabel> screenshot = m_screenshotView;
  connect(fade, &QVariantAnimation::valueChanged, this, [screenshot](const QVariant& value) {
    if (screenshot != nullptr)
      static_cast<QGraphicsOpacityEffect*>(screenshot->graphicsEffect())->setOpacity(value.toReal());
  });
  connect(fade, &QVariantAnimation::finished, this, std::move(finished));
  m_fade = fade;
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void ZPHRightPaneContainerView::transitionToView(QWidget* view, bool animateIfPossible,
                                                 std::function<void()> preAnimation,
                                                 std::function<void(bool finished)> completion)
{
  Q_ASSERT_X(view != nullptr, Q_FUNC_INFO, "viewToTransitionTo != nil");
  Q_ASSERT_X(view != m_currentView, Q_FUNC_INFO, "viewToTransitionTo != self.currentView");
  if (view == nullptr || view == m_currentView)
    return;
  m_rightPaneView = view;
  bool animate = animateIfPossible;
  if (m_doingAnimatedViewTransition) {
    // The fade under way ends now; this change happens without one.
    if (m_fade != nullptr)
      m_fade->stop();
    hideScreenshotView();
    m_doingAnimatedViewTransition = false;
    animate = false;
  }
  const auto finishAtOnce = [&] {
    if (preAnimation)
      preAnimation();
    if (completion)
      completion(true);
  };
  if (m_currentView == nullptr) {
    placeView(view);
    view->raise();
    m_currentView = view;
    finishAtOnce();
    return;
  }
  QPointer<QWidget> old = m_currentView;
  if (!animate) {
    old->hide();
    placeView(view);
    view->raise();
    m_currentView = view;
    finishAtOnce();
    return;
  }

  m_doingAnimatedViewTransition = true;
  m_currentView = view;
  showScreenshotOverEverything();
  old->hide();
  placeView(view);
  view->stackUnder(m_screenshotView);
  if (preAnimation)
    preAnimation();
  QPointer<QWidget> target = view;
  fadeScreenshotOut([this, target, old, completion = std::move(completion)] {
    // A later change took over: it has cleaned up already.
    if (target == nullptr || m_currentView != target)
      return;
    hideScreenshotView();
    ZPHNotificationCenter::defaultCenter().post(
        CBOverlayViewWasPoppedNotification, QVariant::fromValue(static_cast<QObject*>(this)),
        {{QStringLiteral("view"), QVariant::fromValue(static_cast<QObject*>(old.data()))}});
    if (completion)
      completion(true);
    m_doingAnimatedViewTransition = false;
  });
}

void ZPHRightPaneContainerView::animatedFadeTransitionInViewWithWorkBlock(std::function<void()> work,
                                                                          std::function<void()> completion)
{
  if (m_doingAnimatedViewTransition) {
    if (m_fade != nullptr)
      m_fade->stop();
    m_doingAnimatedViewTransition = false;
    hideScreenshotView();
    if (work)
      work();
    if (completion)
      completion();
    return;
  }
  m_doingAnimatedViewTransition = true;
  showScreenshotOverEverything();
  if (work)
    work();
  fadeScreenshotOut([this, completion = std::move(completion)] {
    hideScreenshotView();
    if (completion)
      completion();
    m_doingAnimatedViewTransition = false;
  });
}

void ZPHRightPaneContainerView::paintEvent(QPaintEvent* event)
{
  QPainter painter(this);
  painter.fillRect(event->rect(), Qt::white);
}

void ZPHRightPaneContainerView::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  if (m_currentView != nullptr)
    m_currentView->setGeometry(rect());
  if (m_screenshotView != nullptr)
    m_screenshotView->setGeometry(rect());
}
