#include "kit/ZPHElidingLabel.h"

#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>
#include <QtWidgets/QStyle>

#include <algorithm>
#include <cmath>

ZPHElidingLabel::ZPHElidingLabel(QWidget* parent) : ZPHElidingLabel(QString(), parent) {}

ZPHElidingLabel::ZPHElidingLabel(const QString& text, QWidget* parent) : QLabel(parent)
{
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  setText(text);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ZPHElidingLabel::setShadow(const QColor& color, const QPointF& offset)
{
  m_shadowColor = color;
  m_shadowOffset = offset;
  update();
}

QString ZPHElidingLabel::displayedText() const
{
  if (wordWrap())
    return text();
  const QRect area = contentsRect();
  // A line break would start a second line that a one-line label cannot show.
  QString line = text();
  line.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return fontMetrics().elidedText(line, Qt::ElideRight, std::max(0, area.width() - 2 * margin()));
}

QSize ZPHElidingLabel::sizeHint() const
{
  if (wordWrap())
    return QLabel::sizeHint();
  const QFontMetrics metrics = fontMetrics();
  QString line = text();
  line.replace(QLatin1Char('\n'), QLatin1Char(' '));
  const QMargins margins = contentsMargins();
  const int shadow = static_cast<int>(std::ceil(std::abs(m_shadowOffset.y())));
  return QSize(metrics.horizontalAdvance(line) + 2 * margin() + margins.left() + margins.right() + 1,
               metrics.height() + 2 * margin() + margins.top() + margins.bottom() + shadow);
}

QSize ZPHElidingLabel::minimumSizeHint() const
{
  if (wordWrap())
    return QLabel::minimumSizeHint();
  const QSize hint = sizeHint();
  return QSize(std::min(hint.width(), fontMetrics().horizontalAdvance(QStringLiteral("…")) * 3), hint.height());
}

void ZPHElidingLabel::paintEvent(QPaintEvent* event)
{
  if (wordWrap()) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  const QString shown = displayedText();
  const int align = static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())) | Qt::TextSingleLine;
  painter.setFont(font());
  if (m_shadowColor.isValid()) {
    painter.setPen(m_shadowColor);
    painter.drawText(QRectF(area).translated(m_shadowOffset), align, shown);
  }
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
  painter.drawText(area, align, shown);
}
