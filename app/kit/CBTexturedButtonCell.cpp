#include "kit/CBTexturedButtonCell.h"

#include "kit/CBDrawing.h"
#include "kit/CBPathExtras.h"
#include "kit/ZPHShadow.h"

#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QPushButton>

namespace {

QColor hsb(qreal hue, qreal saturation, qreal brightness) { return QColor::fromHsvF(hue, saturation, brightness); }

}  // namespace

QColor CBTexturedButtonCell::texturedButtonActiveReturnOutlineGradientTopColor() { return hsb(0.577, 0.503, 0.624); }

QColor CBTexturedButtonCell::texturedButtonActiveReturnOutlineGradientBottomColor() { return hsb(0.573, 0.504, 0.482); }

QColor CBTexturedButtonCell::texturedButtonActiveReturnGradientTopColor() { return hsb(0.587, 0.411, 0.965); }

QColor CBTexturedButtonCell::texturedButtonActiveReturnGradientBottomColor() { return hsb(0.577, 0.665, 0.808); }

bool CBTexturedButtonCell::hasReturnKeyEquivalent(const QPushButton& button)
{
  const QKeySequence shortcut = button.shortcut();
  if (!shortcut.isEmpty()) {
    const Qt::Key key = shortcut[0].key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
  }
  return button.isDefault();
}

void CBTexturedButtonCell::drawBezelWithFrame(QPainter& painter, const QRectF& frame, const QPushButton& button)
{
  const QRectF shape(frame.x() + 0.5, frame.y() + 0.5 + 1, frame.width() - 1, frame.height() - 1 - 3);
  const QPainterPath path = bezierPathWithRoundedRect(shape, 3.5);

  const bool key = button.window() != nullptr && button.window()->isActiveWindow();
  auto faded = [key](QColor color) {
    if (!key)
      color.setAlphaF(color.alphaF() * 0.35);
    return color;
  };
  const QColor outlineTop = faded(texturedButtonActiveReturnOutlineGradientTopColor());
  const QColor outlineBottom = faded(texturedButtonActiveReturnOutlineGradientBottomColor());
  const QColor fillTop = faded(texturedButtonActiveReturnGradientTopColor());
  const QColor fillBottom = faded(texturedButtonActiveReturnGradientBottomColor());

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  // A light line under the bezel.
  const ZPHShadow highlight(0, QColor::fromRgbF(1, 1, 1, 0.3), QPointF(0, 1));
  highlight.draw(painter, shape.adjusted(-1, -1, 1, 1), [&](QPainter& shadowPainter) {
    shadowPainter.setPen(QPen(outlineTop, 1));
    shadowPainter.drawPath(path);
  });
  painter.setPen(QPen(outlineTop, 1));
  painter.drawPath(path);

  // Top to bottom; bottom to top while pressed.
  const QGradientStops fill{{0, fillTop}, {1, fillBottom}};
  painter.fillPath(path, ZPHGradientAtAngle(shape, button.isDown() ? 90 : -90, fill));
  zph_strokeWithGradient(painter, path, 1, QGradientStops{{0, outlineTop}, {1, outlineBottom}}, -90);
  zph_drawInnerShadow(painter, path, ZPHShadow(0, QColor::fromRgbF(1, 1, 1, 0.19), QPointF(0, 1)));
  painter.restore();
}
