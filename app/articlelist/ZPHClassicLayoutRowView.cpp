#include "articlelist/ZPHClassicLayoutRowView.h"

#include "themes/ZPHTheme.h"

#include <QtGui/QPainter>
#include <QtGui/QPen>

ZPHClassicLayoutRowView::~ZPHClassicLayoutRowView() = default;

QColor ZPHClassicLayoutRowView::backgroundColorForTableRow(const State& state)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  if (state.groupRowStyle)
    return state.active ? theme->splitGroupHeaderBackgroundColor() : theme->splitGroupHeaderBackgroundInactiveColor();
  if (state.hasArticle && state.read)
    return state.active ? theme->articleListItemReadKeyBackgroundColor()
                        : theme->articleListItemReadKeyInactiveBackgroundColor();
  return state.active ? theme->articleListItemUnreadKeyBackgroundColor()
                      : theme->articleListItemUnreadKeyInactiveBackgroundColor();
}

QColor ZPHClassicLayoutRowView::selectionColorForTableRow(const State& state)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  if (!state.selected)
    return state.active ? theme->articleListSelectedItemBackgroundColor()
                        : theme->articleListSelectedItemInactiveBackgroundColor();
  if (!state.active)
    return theme->articleListSelectedItemKeyAquaInactiveBackgroundColor();
  return state.listFocused ? theme->articleListSelectedItemKeyAquaBackgroundColor()
                           : theme->articleListSelectedItemBackgroundColor();
}

QColor ZPHClassicLayoutRowView::seperatorColorForTopOfGroupRow(bool active)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  return active ? theme->splitGroupHeaderTopLineColor() : theme->splitGroupHeaderTopLineInactiveColor();
}

QColor ZPHClassicLayoutRowView::seperatorColorForBottomOfGroupRow(bool active)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  return active ? theme->splitGroupHeaderBottomLineColor() : theme->splitGroupHeaderBottomLineInactiveColor();
}

QColor ZPHClassicLayoutRowView::seperatorColorForTableRow(bool active)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  return active ? theme->splitArticleListDividerColor() : theme->splitArticleListDividerInactiveColor();
}

QRectF ZPHClassicLayoutRowView::separatorRect(const QRectF& rowRect)
{
  return QRectF(rowRect.left(), rowRect.bottom() - 1, rowRect.width(), 1);
}

QRectF ZPHClassicLayoutRowView::rightClickHighlightRect(const QRectF& rowRect, bool selected)
{
  QRectF rect = rowRect.adjusted(0, 0, 0, -1).adjusted(2, 2, -2, -2);
  if (selected)
    rect = rect.adjusted(0.5, 0.5, -0.5, -0.5);
  return rect;
}

void ZPHClassicLayoutRowView::paintRow(QPainter* painter, const QRectF& cellRect, const QRectF& rowRect,
                                       const State& state) const
{
  painter->save();
  painter->setClipRect(cellRect, Qt::IntersectClip);
  painter->fillRect(cellRect, backgroundColorForTableRow(state));
  if (state.selected && !state.groupRowStyle)
    painter->fillRect(cellRect, selectionColorForTableRow(state));
  if (drawsGrid()) {
    QColor separator;
    if (state.groupRowStyle)
      separator = seperatorColorForBottomOfGroupRow(state.active);
    else if (state.isLastArticleInGroup)
      separator = seperatorColorForTopOfGroupRow(state.active);
    else
      separator = seperatorColorForTableRow(state.active);
    painter->fillRect(separatorRect(rowRect).intersected(cellRect), separator);
  }
  drawRightClickHighlight(painter, rowRect, state);
  painter->restore();
}

void ZPHClassicLayoutRowView::drawRightClickHighlight(QPainter* painter, const QRectF& rowRect,
                                                      const State& state) const
{
  if (!state.contextualHighlight)
    return;
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  const QColor color = state.selected ? theme->articleListSelectedItemKeyContextualClickFocusColor()
                                      : theme->articleListSelectedItemKeyAquaBackgroundColor();
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setBrush(Qt::NoBrush);
  painter->setPen(QPen(color, state.selected ? 3 : 4));
  painter->drawRect(rightClickHighlightRect(rowRect, state.selected));
  painter->restore();
}
