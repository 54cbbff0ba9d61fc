#include "web/ZPHMacWebViewStatusBarWindow.h"

#include <QtCore/QPropertyAnimation>
#include <QtWidgets/QGraphicsOpacityEffect>

ZPHMacWebViewStatusBarWindow::ZPHMacWebViewStatusBarWindow(QWidget* parent)
    : QWidget(parent), m_opacity(new QGraphicsOpacityEffect(this)), m_fade(new QPropertyAnimation(this))
{
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_TranslucentBackground);
  setFocusPolicy(Qt::NoFocus);
  setFixedHeight(BarHeight);
  m_opacity->setOpacity(1);
  setGraphicsEffect(m_opacity);
  m_fade->setTargetObject(m_opacity);
  m_fade->setPropertyName("opacity");
  m_fade->setDuration(FadeInDuration);
  m_fade->setStartValue(0.0);
  m_fade->setEndValue(1.0);
  hide();
}

void ZPHMacWebViewStatusBarWindow::setContentView(QWidget* view)
{
  if (m_contentView == view)
    return;
  if (m_contentView)
    m_contentView->deleteLater();
  m_contentView = view;
  if (view) {
    view->setParent(this);
    view->setGeometry(rect());
    view->show();
  }
}

qreal ZPHMacWebViewStatusBarWindow::opacity() const { return m_opacity->opacity(); }

void ZPHMacWebViewStatusBarWindow::showEvent(QShowEvent* event)
{
  QWidget::showEvent(event);
  m_fade->stop();
  m_opacity->setOpacity(0);
  m_fade->start();
}

void ZPHMacWebViewStatusBarWindow::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  if (m_contentView)
    m_contentView->setGeometry(rect());
}
