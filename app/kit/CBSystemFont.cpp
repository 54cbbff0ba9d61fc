#include "kit/CBSystemFont.h"

#include <QtGui/QFontDatabase>

QFont CBSystemFontOfSize(qreal points)
{
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSizeF(points > 0 ? points : 11.0);
  return font;
}
