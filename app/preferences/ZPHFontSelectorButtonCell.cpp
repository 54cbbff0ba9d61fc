#include "preferences/ZPHFontSelectorButtonCell.h"

#include "preferences/ZPHFontSelectorButton.h"
#include "themes/ZPHTheme.h"
#include "themes/ZPHThemePalette.h"

#include <QtGui/QFontMetricsF>
#include <QtGui/QPainter>

#include <cmath>

namespace {

QColor grey(int level) { return QColor(level, level, level); }

// A check mark of about 10 by 8 points.
void drawCheckmark(QPainter& painter, const QPointF& origin, const QColor& color)
{
  QPainterPath mark;
  mark.moveTo(origin + QPointF(0.5, 4.5));
  mark.lineTo(origin + QPointF(3.5, 7.5));
  mark.lineTo(origin + QPointF(9.5, 0.5));
  painter.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(mark);
}

constexpr QSizeF CheckmarkSize(10, 8);

}  // namespace

QPainterPath ZPHFontSelectorButtonCell::outlinePath(int styleType, const QSizeF& size)
{
  const qreal w = size.width();
  const qreal h = size.height();
  QPainterPath path;
  if (styleType == 0) {
    const qreal r = CornerRadius;
    path.moveTo(0.5, h - 0.5);
    path.lineTo(0.5, 0.5 + r);
    path.arcTo(QRectF(0.5, 0.5, 2 * r, 2 * r), 180, -90);
    path.lineTo(w - 0.5 - r, 0.5);
    path.arcTo(QRectF(w - 0.5 - 2 * r, 0.5, 2 * r, 2 * r), 90, -90);
    path.lineTo(w - 0.5, h - 0.5);
  } else {
    path.moveTo(0.5, 0);
    path.lineTo(0.5, h);
    path.moveTo(w - 0.5, 0);
    path.lineTo(w - 0.5, h);
  }
  return path;
}

QPointF ZPHFontSelectorButtonCell::titleOrigin(const QSizeF& frame, const QSizeF& title, qreal verticalTweak)
{
  return QPointF(std::round((frame.width() - title.width()) / 2),
                 std::round((frame.height() - title.height()) / 2) - verticalTweak);
}

void ZPHFontSelectorButtonCell::draw(QPainter& painter, const QRectF& frame, const ZPHFontSelectorButton& button) const
{
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QSizeF size = frame.size();
  const QPainterPath outline = outlinePath(button.styleType(), size);
  // The dark theme's greys from the popover's palette; the light ones of
  // their own.
  const bool dark = ZPHThemePalette::currentThemeIsDark();
  const QPalette& colours = button.palette();
  const QColor fill =
      dark ? (button.isDown() ? colours.color(QPalette::Button).darker(130) : colours.color(QPalette::Button))
           : grey(button.isDown() ? PressedFillGrey : FillGrey);

  // 1-3. The bezel, and the first button's highlight along its top.
  if (button.styleType() == 0) {
    QPainterPath shape = outline;
    shape.closeSubpath();
    painter.fillPath(shape, fill);
    painter.save();
    painter.setClipPath(shape);
    painter.setPen(QPen(QColor(255, 255, 255, dark ? 20 : 128), 1));
    painter.translate(0, 1);
    painter.drawPath(outline);
    painter.restore();
  } else {
    painter.fillRect(frame, fill);
    painter.setPen(QPen(dark ? colours.color(QPalette::Mid) : grey(DividerGrey), 1));
    painter.drawLine(QPointF(1, 0.5), QPointF(size.width() - 1, 0.5));
  }
  // 4. The outline.
  painter.setPen(QPen(dark ? colours.color(QPalette::Dark) : grey(OutlineGrey), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(outline);

  // 5. The title in its own font, under a shadow one point down.
  const qreal opacity = button.isEnabled() ? 1.0 : DisabledOpacity;
  painter.setOpacity(opacity);
  const QFontMetricsF metrics(button.titleFont());
  const QSizeF titleSize(metrics.horizontalAdvance(button.fontName()), metrics.height());
  const QPointF origin = titleOrigin(size, titleSize, button.manualVerticalAlignmentTweak());
  ZPHTheme* theme = ZPHTheme::currentTheme();
  painter.setFont(button.titleFont());
  if (!dark) {
    painter.setPen(theme->stylePopOverTextShadowColor());
    painter.drawText(QRectF(origin + QPointF(0, 1), titleSize), Qt::AlignLeft | Qt::AlignTop, button.fontName());
  }
  const QColor text = dark ? colours.color(QPalette::ButtonText) : theme->stylePopOverTextColor();
  painter.setPen(text);
  painter.drawText(QRectF(origin, titleSize), Qt::AlignLeft | Qt::AlignTop, button.fontName());

  // 6. The check mark of the chosen font.
  if (button.isChecked())
    drawCheckmark(painter, QPointF(5, std::round(size.height() - CheckmarkSize.height()) / 2 + 0.5),
                  dark ? text : QColor(60, 60, 60));
  painter.restore();
}
