#include "kit/CBRectExtras.h"

#include <cmath>

QRectF CBRectWithIntegralOrigin(const QRectF& rect)
{
  return QRectF(std::floor(rect.x()), std::floor(rect.y()), rect.width(), rect.height());
}

QRectF CBRectOffsetByHalfPoint(const QRectF& rect) { return rect.translated(0.5, 0.5); }
