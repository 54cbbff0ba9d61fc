#include "browser/ZPHTabIndicatorBackgroundView.h"

#include "kit/ZPHWindowShouldDrawActive.h"

#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>

ZPHTabIndicatorBackgroundView::ZPHTabIndicatorBackgroundView(QWidget* parent)
    : ZPHThemeUpdatingView<QPushButton>(parent)
{
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::PointingHandCursor);
}

void ZPHTabIndicatorBackgroundView::setState(int state)
{
  if (state == m_state)
    return;
  m_state = state;
  update();
}

QColor ZPHTabIndicatorBackgroundView::backgroundColor() const
{
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (theme == nullptr)
    return {};
  const bool active = window() == nullptr || zph_windowShouldDrawActive(this);
  switch (m_state) {
    case 1:
      return active ? theme->tabIndicatorBackgroundAnimatedOutColor()
                    : theme->tabIndicatorBackgroundAnimatedOutInactiveColor();
    case 2:
      return active ? theme->tabIndicatorBackgroundPresssedColor()
                    : theme->tabIndicatorBackgroundPresssedInactiveColor();
    default:
      return active ? theme->tabIndicatorBackgroundRegularColor() : theme->tabIndicatorBackgroundRegularInactiveColor();
  }
}

void ZPHTabIndicatorBackgroundView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(backgroundColor());
  painter.drawRoundedRect(QRectF(rect()), 3, 3);
}

void ZPHTabIndicatorBackgroundView::mousePressEvent(QMouseEvent* event)
{
  setState(2);
  QPushButton::mousePressEvent(event);
}

void ZPHTabIndicatorBackgroundView::mouseReleaseEvent(QMouseEvent* event)
{
  setState(0);
  QPushButton::mouseReleaseEvent(event);
}
