#include "sheets/ZPHWelcomeButton.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

ZPHWelcomeButton::ZPHWelcomeButton(const QString& title, Kind kind, QWidget* parent)
    : QPushButton(title, parent), m_kind(kind)
{
  setCursor(Qt::PointingHandCursor);
  setFlat(true);
}

QSize ZPHWelcomeButton::sizeHint() const
{
  const QSize title = fontMetrics().size(Qt::TextSingleLine, text().isEmpty() ? QStringLiteral("M") : text());
  // The title's rectangle is widened by 10 points on each side.
  return QSize(std::max(110, title.width() + 2 * 10 + 24), 32);
}

void ZPHWelcomeButton::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setOpacity(isEnabled() ? 1.0 : 0.5);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 1.5, -0.5, -0.5), 5, 5);
  QLinearGradient fill(0, 0, 0, height());
  if (m_kind == Kind::Selected) {
    fill.setColorAt(0, isDown() ? QColor(34, 104, 178) : QColor(74, 150, 226));
    fill.setColorAt(1, isDown() ? QColor(22, 82, 150) : QColor(40, 112, 196));
  } else {
    fill.setColorAt(0, QColor(255, 255, 255, isDown() ? 70 : 50));
    fill.setColorAt(1, QColor(255, 255, 255, isDown() ? 45 : 25));
  }
  painter.fillPath(shape, fill);
  painter.setPen(QPen(QColor(0, 0, 0, 60), 1));
  painter.drawPath(shape);
  // The title, white over a faint shadow one point down.
  const QRect title = rect().adjusted(10, 1, -10, 0);
  painter.setPen(QColor(0, 0, 0, 128));
  painter.drawText(title.translated(0, 1), Qt::AlignCenter, text());
  painter.setPen(isDown() ? QColor::fromRgbF(0.7, 0.7, 0.7) : QColor(Qt::white));
  painter.drawText(title, Qt::AlignCenter, text());
  if (hasFocus()) {
    painter.setPen(QPen(QColor(255, 255, 255, 150), 1, Qt::DotLine));
    painter.drawPath(shape);
  }
}
