#include "articlelist/ZPHSearchScopePopUpButtonCell.h"

#include "kit/ZPHWindowShouldDrawActive.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

ZPHSearchScopePopUpButtonCell::ZPHSearchScopePopUpButtonCell(QWidget* parent) : ZPHCustomPopUpButton(parent)
{
  QFont small = QGuiApplication::font();
  small.setPixelSize(11);
  setFont(small);
  setFocusPolicy(Qt::NoFocus);
  setSizeAdjustPolicy(QComboBox::AdjustToContents);
}

ZPHSearchScopePopUpButtonCell::Look ZPHSearchScopePopUpButtonCell::look() const
{
  if (m_popupShown)
    return Look::Pressed;
  if (!zph_windowShouldDrawActive(this))
    return Look::Inactive;
  return Look::Normal;
}

void ZPHSearchScopePopUpButtonCell::showPopup()
{
  m_popupShown = true;
  update();
  ZPHCustomPopUpButton::showPopup();
}

void ZPHSearchScopePopUpButtonCell::hidePopup()
{
  m_popupShown = false;
  ZPHCustomPopUpButton::hidePopup();
  update();
}

void ZPHSearchScopePopUpButtonCell::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  QColor top;
  QColor bottom;
  QColor shadow;
  QColor arrow;
  QColor stroke;
  switch (look()) {
    case Look::Pressed:
      top = theme->searchScopeFillGradientPressedTopColor();
      bottom = theme->searchScopeFillGradientPressedBottomColor();
      shadow = theme->searchScopePressedOuterShadowColor();
      arrow = theme->searchScopePressedArrowColor();
      stroke = theme->searchScopePressedStrokeColor();
      break;
    case Look::Inactive:
      top = theme->searchScopeFillGradientInactiveTopColor();
      bottom = theme->searchScopeFillGradientInactiveBottomColor();
      shadow = theme->searchScopeInactiveOuterShadowColor();
      arrow = theme->searchScopeInactiveArrowColor();
      stroke = theme->searchScopeInactiveStrokeColor();
      break;
    case Look::Normal:
      top = theme->searchScopeFillGradientTopColor();
      bottom = theme->searchScopeFillGradientBottomColor();
      shadow = theme->searchScopeOuterShadowColor();
      arrow = theme->searchScopeArrowColor();
      stroke = theme->searchScopeStrokeColor();
      break;
  }
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF bezel = QRectF(rect()).adjusted(1, 1, -1, -2);
  QPainterPath path;
  path.addRoundedRect(bezel, 8, 8);
  if (shadow.isValid() && shadow.alpha() > 0) {
    QPainterPath below;
    below.addRoundedRect(bezel.translated(0, 1), 8, 8);
    painter.fillPath(below, shadow);
  }
  QLinearGradient gradient(bezel.topLeft(), bezel.bottomLeft());
  gradient.setColorAt(0, top);
  gradient.setColorAt(1, bottom);
  painter.fillPath(path, gradient);
  painter.setPen(QPen(stroke, 1.0));
  painter.drawPath(path);
  // The down arrow at the right.
  const qreal cx = bezel.right() - 10;
  const qreal cy = bezel.center().y() + 1;
  QPainterPath triangle;
  triangle.moveTo(cx - 3.5, cy - 2);
  triangle.lineTo(cx + 3.5, cy - 2);
  triangle.lineTo(cx, cy + 2);
  triangle.closeSubpath();
  painter.fillPath(triangle, arrow);
  painter.setPen(theme->searchScopeFontColor());
  painter.setFont(font());
  painter.drawText(bezel.adjusted(10, 0, -20, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, currentText());
}
