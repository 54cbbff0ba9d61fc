#include "articlelist/ZPHArticleListArrowView.h"

#include "themes/ZPHTheme.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>

QPainterPath ZPHArticleListArrowView::arrowPath(const QRectF& bounds)
{
  const qreal x = bounds.x();
  const qreal y = bounds.y();
  const qreal w = bounds.width();
  const qreal h = bounds.height();
  const qreal k = (h / 2) * 0.5773502691896256;
  QPainterPath path;
  path.moveTo(x, y + h);
  path.lineTo(x, y);
  path.lineTo(x + w - k, y);
  path.lineTo(x + w, y + h / 2);
  path.lineTo(x + w - k, y + h);
  path.closeSubpath();
  return path;
}

void ZPHArticleListArrowView::paint(QPainter* painter, const QRectF& bounds)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  QLinearGradient gradient(bounds.topLeft(), bounds.topRight());
  gradient.setColorAt(0, theme->articleListActionArrowGradientLeftColor());
  gradient.setColorAt(1, theme->articleListActionArrowGradientRightColor());
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->fillPath(arrowPath(bounds), gradient);
  painter->restore();
}
