#include "articlelist/ZPHClassicLayoutSearchHeader.h"

#include "articlelist/ZPHArticleGroupHeaderView.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QPainter>

ZPHClassicLayoutSearchHeader::ZPHClassicLayoutSearchHeader(QWidget* parent) : ZPHArticleSearchGroupHeaderView(parent) {}

QColor ZPHClassicLayoutSearchHeader::backgroundColorForTableRow() const
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  return zph_windowShouldDrawActive(this) ? theme->splitGroupHeaderBackgroundColor()
                                          : theme->splitGroupHeaderBackgroundInactiveColor();
}

QColor ZPHClassicLayoutSearchHeader::seperatorColorForGroupRow() const
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  return zph_windowShouldDrawActive(this) ? theme->splitGroupHeaderBottomLineColor()
                                          : theme->splitGroupHeaderBottomLineInactiveColor();
}

void ZPHClassicLayoutSearchHeader::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  QPainter painter(this);
  const bool active = zph_windowShouldDrawActive(this);
  ZPHArticleGroupHeaderView::paint(&painter, QRectF(rect()), title(), backgroundColorForTableRow(), active);
  painter.fillRect(separatorRect(), seperatorColorForGroupRow());
}
