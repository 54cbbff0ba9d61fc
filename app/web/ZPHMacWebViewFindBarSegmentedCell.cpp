#include "web/ZPHMacWebViewFindBarSegmentedCell.h"

#include "kit/CBPathExtras.h"
#include "kit/ZPHShadow.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "themes/ZPHTheme.h"
#include "web/ZPHMacWebViewFindBarSegmentedControl.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>

namespace {

void fillVertically(QPainter& painter, const QPainterPath& path, const QColor& top, const QColor& bottom)
{
  const QRectF bounds = path.boundingRect();
  QLinearGradient gradient(bounds.topLeft(), bounds.bottomLeft());
  gradient.setColorAt(0, top);
  gradient.setColorAt(1, bottom);
  painter.fillPath(path, gradient);
}

}  // namespace

QPainterPath ZPHMacWebViewFindBarSegmentedCell::outlinePath()
{
  return bezierPathWithRoundedRect(QRectF(0.5, 0.5, 44, 17), 8.5);
}

QPainterPath ZPHMacWebViewFindBarSegmentedCell::segmentBodyPath(bool first)
{
  if (first)
    return zph_bezierPathWithRoundedRect(QRectF(1, 1, 21, 16), ZPHRectCornerTopLeft | ZPHRectCornerBottomLeft, 8);
  return zph_bezierPathWithRoundedRect(QRectF(23, 1, 21, 16), ZPHRectCornerTopRight | ZPHRectCornerBottomRight, 8);
}

QPainterPath ZPHMacWebViewFindBarSegmentedCell::arrowPath(bool first)
{
  QPainterPath path;
  if (first) {
    path.moveTo(16, 4);
    path.lineTo(16, 13);
    path.lineTo(8, 8.5);
  } else {
    path.moveTo(29, 4);
    path.lineTo(29, 13);
    path.lineTo(37, 8.5);
  }
  path.closeSubpath();
  return path;
}

QColor ZPHMacWebViewFindBarSegmentedCell::arrowColor(int segment, const ZPHCustomSegmentedControl& control)
{
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (!theme)
    return {};
  if (!control.isEnabled() || !control.isEnabledForSegment(segment))
    return theme->browserFindBarSegmentedControlArrowInactiveColor();
  if (control.isHighlightedForSegment(segment))
    return theme->browserFindBarSegmentedControlArrowPressedColor();
  const bool active = !control.window() || zph_windowShouldDrawActive(&control);
  return active ? theme->browserFindBarSegmentedControlArrowColor()
                : theme->browserFindBarSegmentedControlArrowInactiveColor();
}

void ZPHMacWebViewFindBarSegmentedCell::drawControl(QPainter& painter, ZPHMacWebViewFindBarSegmentedControl& control)
{
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (!theme)
    return;
  painter.setRenderHint(QPainter::Antialiasing);
  // The hard shadow of the whole pill, one point down.
  ZPHShadow(0, theme->browserFindBarSegmentedControlShadowColor(), QPointF(0, 1)).drawForPath(painter, outlinePath());

  drawWithFrame(control.rect(), painter, control);

  // The divider.
  const bool anySelected = control.isHighlightedForSegment(0) || control.isHighlightedForSegment(1);
  const bool inactive = !control.isEnabled() || !control.isEnabledForSegment(0);
  QColor top = theme->browserFindBarSegmentedControlDividerGradientTopColor();
  QColor bottom = theme->browserFindBarSegmentedControlDividerGradientBottomColor();
  if (anySelected) {
    top = theme->browserFindBarSegmentedControlDividerGradientTopPressedColor();
    bottom = theme->browserFindBarSegmentedControlDividerGradientBottomPressedColor();
  } else if (inactive) {
    top = theme->browserFindBarSegmentedControlDividerGradientInactiveTopColor();
    bottom = theme->browserFindBarSegmentedControlDividerGradientInactiveBottomColor();
  }
  QPainterPath divider;
  divider.addRect(QRectF(22, 1, 1, 16));
  fillVertically(painter, divider, top, bottom);
  zph_drawInnerShadow(painter, divider,
                      ZPHShadow(0, theme->browserFindBarSegmentedControlHighlightColor(), QPointF(0, 1)));

  const QColor stroke = theme->browserFindBarSegmentedControlStrokeColor();
  if (stroke.isValid()) {
    painter.setPen(QPen(stroke, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outlinePath());
  }
}

void ZPHMacWebViewFindBarSegmentedCell::drawSegment(int segment, const QRectF& frame, QPainter& painter,
                                                    ZPHCustomSegmentedControl& controlView)
{
  Q_UNUSED(frame);
  const bool first = segment == 0;
  const bool last = segment == controlView.segmentCount() - 1;
  if (!first && !last)
    return;
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (!theme)
    return;
  painter.setRenderHint(QPainter::Antialiasing);
  const bool pressed = controlView.isHighlightedForSegment(segment);
  const QPainterPath body = segmentBodyPath(first);
  if (pressed) {
    fillVertically(painter, body, theme->browserFindBarSegmentedControlFillGradientPressedTopColor(),
                   theme->browserFindBarSegmentedControlFillGradientPressedBottomColor());
    zph_drawInnerShadow(painter, body, ZPHShadow(4, QColor::fromRgbF(0, 0, 0, 0.25), QPointF(first ? -1 : 1, 1)));
  } else {
    fillVertically(painter, body, theme->browserFindBarSegmentedControlFillGradientTopColor(),
                   theme->browserFindBarSegmentedControlFillGradientBottomColor());
    zph_drawInnerShadow(painter, body,
                        ZPHShadow(0, theme->browserFindBarSegmentedControlHighlightColor(), QPointF(0, 1)));
  }
  const QPainterPath arrow = arrowPath(first);
  painter.fillPath(arrow, arrowColor(segment, controlView));
  zph_drawInnerShadow(painter, arrow, ZPHShadow(0, QColor::fromRgbF(0, 0, 0, 0.5), QPointF(0, 1)));
}
