#include "preferences/CBFontLabelView.h"

#include <QtGui/QFontMetricsF>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

#include <cmath>

CBFontLabelView::CBFontLabelView(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TranslucentBackground); }

void CBFontLabelView::setChosenFont(const std::optional<QFont>& font)
{
  m_chosenFont = font;
  update();
}

QString CBFontLabelView::sampleTextForFont(const QFont& font)
{
  const qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : font.pointSize();
  return QStringLiteral("%1 %2").arg(font.family()).arg(qint64(std::trunc(size)));
}

QFont CBFontLabelView::sampleFontForFont(const QFont& font)
{
  QFont sample = font;
  if (font.pointSizeF() > LargestSampleSize)
    sample.setPointSizeF(LargestSampleSize);
  return sample;
}

QSize CBFontLabelView::sizeHint() const { return QSize(260, 28); }

void CBFontLabelView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF box = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
  QPainterPath path;
  path.addRoundedRect(box, 3, 3);
  painter.save();
  painter.setClipPath(path);
  painter.fillRect(rect(), QColor::fromRgbF(0.97, 0.97, 0.97));
  if (m_chosenFont) {
    const QFont font = sampleFontForFont(*m_chosenFont);
    painter.setFont(font);
    painter.setPen(QColor::fromRgbF(0.1, 0.1, 0.1));
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, sampleTextForFont(*m_chosenFont));
  }
  painter.restore();
  painter.setPen(QPen(QColor::fromRgbF(0.65, 0.65, 0.65), 1));
  painter.drawPath(path);
}
