#include "web/ZPHSlidingFindBar.h"

#include "web/ZPHMacWebViewFindBarViewController.h"

#include <QtCore/QParallelAnimationGroup>
#include <QtCore/QPropertyAnimation>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

ZPHSlidingFindBar::ZPHSlidingFindBar(QWidget* host) : QObject(host), m_host(host) {}

ZPHSlidingFindBar::~ZPHSlidingFindBar() { stop(); }

bool ZPHSlidingFindBar::isSliding() const { return m_animation && m_animation->state() == QAbstractAnimation::Running; }

void ZPHSlidingFindBar::stop()
{
  if (m_animation) {
    m_animation->stop();
    delete m_animation;
  }
}

void ZPHSlidingFindBar::slideIn(ZPHMacWebViewFindBarViewController* controller, QWidget* content, const Frames& frames,
                                bool animated, std::function<void()> afterSlide)
{
  stop();
  QWidget* bar = controller->view();
  if (bar->parentWidget() != m_host)
    bar->setParent(m_host);
  bar->setGeometry(frames.barHidden);
  bar->lower();
  content->setGeometry(frames.contentHidden);
  bar->show();
  if (animated) {
    auto* group = new QParallelAnimationGroup(this);
    auto* barSlide = new QPropertyAnimation(bar, "geometry", group);
    barSlide->setDuration(SlideDuration);
    barSlide->setEndValue(frames.barShown);
    auto* contentSlide = new QPropertyAnimation(content, "geometry", group);
    contentSlide->setDuration(SlideDuration);
    contentSlide->setEndValue(frames.contentShown);
    group->addAnimation(barSlide);
    group->addAnimation(contentSlide);
    m_animation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
  } else {
    bar->setGeometry(frames.barShown);
    content->setGeometry(frames.contentShown);
  }
  if (afterSlide)
    QTimer::singleShot(SlideDuration, this, std::move(afterSlide));
}

void ZPHSlidingFindBar::slideOut(QWidget* bar, QWidget* content, const Frames& frames, bool animated,
                                 bool hideBarWhenOut)
{
  stop();
  if (animated) {
    auto* group = new QParallelAnimationGroup(this);
    auto* barSlide = new QPropertyAnimation(bar, "geometry", group);
    barSlide->setDuration(SlideDuration);
    barSlide->setEndValue(frames.barHidden);
    group->addAnimation(barSlide);
    if (content != nullptr) {
      auto* contentSlide = new QPropertyAnimation(content, "geometry", group);
      contentSlide->setDuration(SlideDuration);
      contentSlide->setEndValue(frames.contentHidden);
      group->addAnimation(contentSlide);
    }
    if (hideBarWhenOut) {
      QPointer<QWidget> barGuard(bar);
      connect(group, &QAbstractAnimation::finished, this, [barGuard] {
        if (barGuard)
          barGuard->hide();
      });
    }
    m_animation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
    return;
  }
  if (hideBarWhenOut)
    bar->hide();
  bar->setGeometry(frames.barHidden);
  if (content != nullptr)
    content->setGeometry(frames.contentHidden);
}

void ZPHSlidingFindBar::moveFocusOutOf(QWidget* bar, QWidget* target)
{
  if (target != nullptr && (bar->hasFocus() || bar->isAncestorOf(QApplication::focusWidget())))
    target->setFocus(Qt::OtherFocusReason);
}
