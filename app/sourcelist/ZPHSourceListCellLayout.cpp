#include "sourcelist/ZPHSourceListCellLayout.h"

#include <QtGui/QFont>
#include <QtGui/QFontMetricsF>
#include <QtWidgets/QApplication>

#include <algorithm>
#include <cmath>

namespace {

// A rectangle of `size` centred vertically in `cell`, from `x` on.
QRect centredVertically(const QRect& cell, int x, const QSize& size)
{
  return QRect(x, cell.top() + (cell.height() - size.height()) / 2, size.width(), size.height());
}

}  // namespace

ZPHSourceListCellLayout ZPHSourceListCellLayout::feedCell(const QRect& cell, int textX, int badgeWidth,
                                                          const QSize& errorButtonSize)
{
  ZPHSourceListCellLayout layout;
  const bool hasError = !errorButtonSize.isEmpty();
  const int c = std::max(0, badgeWidth);
  int textWidth = cell.right() + 1 - textX - Margin - c;
  if (hasError)
    textWidth -= errorButtonSize.width() + (c > 0 ? Margin : 0);
  layout.textRect = QRect(textX, cell.top(), std::max(0, textWidth), cell.height());
  int right = textX + textWidth;
  if (hasError) {
    layout.errorButtonRect = centredVertically(cell, right + Margin, errorButtonSize);
    right = layout.errorButtonRect.right() + 1;
  }
  if (c > 0)
    layout.badgeRect = QRect(right + Margin, cell.top(), c, cell.height());
  return layout;
}

ZPHSourceListCellLayout ZPHSourceListCellLayout::smartFeedCell(const QRect& cell, int textX, int badgeWidth)
{
  ZPHSourceListCellLayout layout;
  const int c = std::max(0, badgeWidth);
  const int textWidth = cell.right() + 1 - textX - Margin - c;
  layout.textRect = QRect(textX, cell.top(), std::max(0, textWidth), cell.height());
  if (c > 0)
    layout.badgeRect = QRect(textX + textWidth + Margin, cell.top(), c, cell.height());
  return layout;
}

ZPHSourceListCellLayout ZPHSourceListCellLayout::groupCell(const QRect& cell, const QSize& buttonSize)
{
  ZPHSourceListCellLayout layout;
  const int textX = cell.left() + Margin;
  int textRight = cell.right() + 1 - Margin;
  if (!buttonSize.isEmpty()) {
    const int buttonX = std::max(textX, cell.right() + 1 - buttonSize.width());
    layout.headerButtonRect = centredVertically(cell, buttonX, buttonSize);
    textRight = buttonX - HeaderButtonGap;
  }
  layout.textRect = QRect(textX, cell.top(), std::max(0, textRight - textX), cell.height());
  return layout;
}

int ZPHSourceListCellLayout::chickletWidth(qint64 count, int digitWidth)
{
  if (count < 1)
    return 0;
  return int(QString::number(count).size()) * digitWidth + 2;
}

int ZPHSourceListCellLayout::chickletWidth(qint64 count, const QFont& font)
{
  return chickletWidth(count, int(std::floor(QFontMetricsF(font).horizontalAdvance(QLatin1Char('9')))));
}

QFont ZPHSourceListCellLayout::chickletFont()
{
  QFont font = QApplication::font();
  font.setPixelSize(11);
  font.setBold(true);
  return font;
}
