#include "articlelist/ZPHTableHeaderCell.h"

#include "kit/ZPHWindowShouldDrawActive.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QFontMetricsF>
#include <QtGui/QGuiApplication>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>

namespace {

QFont titleFont()
{
  QFont font = QGuiApplication::font();
  font.setPixelSize(12);
  font.setBold(true);
  return font;
}

}  // namespace

void ZPHTableHeaderCell::drawBackgroundWithFrame(QPainter* painter, const QRectF& frame, const QWidget* view)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  const bool active = view == nullptr || zph_windowShouldDrawActive(view);
  const QRectF rect = frame.toAlignedRect();
  painter->save();
  painter->fillRect(
      rect, active ? theme->splitGroupHeaderBackgroundColor() : theme->splitGroupHeaderBackgroundInactiveColor());
  painter->fillRect(
      QRectF(rect.left(), rect.top() + rect.height() - 1, rect.width(), 1),
      active ? theme->splitGroupHeaderBottomLineColor() : theme->splitGroupHeaderBottomLineInactiveColor());
  painter->fillRect(QRectF(rect.left(), rect.top(), rect.width(), 1),
                    active ? theme->splitGroupHeaderTopLineColor() : theme->splitGroupHeaderTopLineInactiveColor());
  painter->fillRect(
      QRectF(rect.left(), rect.top() + 1, rect.width(), 1),
      active ? theme->splitGroupHeaderTopMostLineColor() : theme->splitGroupHeaderTopMostLineInactiveColor());
  painter->restore();
}

void ZPHTableHeaderCell::drawWithFrame(QPainter* painter, const QRectF& frame, const QWidget* view,
                                       const QString& title, bool lastColumn)
{
  drawBackgroundWithFrame(painter, frame, view);
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  const QFontMetricsF metrics(titleFont());
  const QRectF titleRect = titleRectForBounds(QRectF(0, 0, frame.width(), frame.height()), metrics.height())
                               .translated(frame.left(), frame.top());
  painter->save();
  painter->setFont(titleFont());
  const QString text = metrics.elidedText(title, Qt::ElideRight, titleRect.width());
  const QColor shadow = theme->splitGroupHeaderTextShadowColor();
  if (shadow.isValid() && shadow.alpha() > 0) {
    painter->setPen(shadow);
    painter->drawText(titleRect.translated(0, 1), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  }
  painter->setPen(theme->splitGroupHeaderTextColor());
  painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  painter->restore();
  if (!lastColumn)
    drawDividerWithFrame(painter, frame, view);
}

void ZPHTableHeaderCell::drawDividerWithFrame(QPainter* painter, const QRectF& frame, const QWidget* view)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  const bool active = view == nullptr || zph_windowShouldDrawActive(view);
  const QRectF divider = dividerRectForBounds(QRectF(0, 0, frame.width(), frame.height())).translated(frame.topLeft());
  QLinearGradient gradient(divider.topLeft(), divider.bottomLeft());
  gradient.setColorAt(0, active ? theme->classicHeaderDividerGradientTopColor()
                                : theme->classicHeaderDividerGradientInactiveTopColor());
  gradient.setColorAt(1, active ? theme->classicHeaderDividerGradientBottomColor()
                                : theme->classicHeaderDividerGradientInactiveBottomColor());
  painter->fillRect(divider, gradient);
}

QRectF ZPHTableHeaderCell::titleRectForBounds(const QRectF& bounds, qreal titleHeight)
{
  const qreal top = bounds.height() * 0.5 - titleHeight / 1.75;
  return QRectF(bounds.x() + 10, top, bounds.width() - 10, bounds.height() - top);
}

QRectF ZPHTableHeaderCell::sortIndicatorRectForBounds(const QRectF& bounds)
{
  return QRectF(bounds.x() + bounds.width() - 6, bounds.y() + bounds.height() / 2 - 3, 6, 6);
}

QRectF ZPHTableHeaderCell::dividerRectForBounds(const QRectF& bounds)
{
  return QRectF(bounds.width() - 1, 0, 1, bounds.height());
}
