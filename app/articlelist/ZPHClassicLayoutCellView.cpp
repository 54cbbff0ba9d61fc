#include "articlelist/ZPHClassicLayoutCellView.h"

#include "articlelist/ZPHBookmarkSlides.h"

#include "articlelist/ZPHArticleListCellView.h"
#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHArticleListTableView.h"
#include "articlelist/ZPHClassicLayoutBookmarkView.h"
#include "articlelist/ZPHClassicLayoutRowView.h"
#include "common/FRNHCGUtils.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHNamedImage.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QFontMetricsF>
#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>

namespace {

QFont cellFont()
{
  QFont font = QGuiApplication::font();
  font.setPixelSize(12);
  return font;
}

}  // namespace

ZPHClassicLayoutCellView::ZPHClassicLayoutCellView(ZPHArticleListTableView* table)
    : QStyledItemDelegate(table), m_table(table)
{
  m_bookmarkSlides = new ZPHBookmarkSlides(this);
  if (table != nullptr)
    m_bookmarkSlides->setViewport(table->viewport());
}

ZPHClassicLayoutCellView::~ZPHClassicLayoutCellView() = default;

QRectF ZPHClassicLayoutCellView::rectForFavIcon(const QSizeF& cell)
{
  return QRectF(11, cell.height() * 0.5 - 8, 16, 16);
}

QRectF ZPHClassicLayoutCellView::rectForBookmark(const QSizeF& cell)
{
  const QSizeF size = ZPHClassicLayoutBookmarkView::sizeToFit();
  return QRectF(cell.width() - size.width() - 2, 1, size.width(), size.height());
}

QRectF ZPHClassicLayoutCellView::rectForTitle(const QSizeF& cell, qreal textHeight, bool showFavIcon, bool flagged)
{
  const QRectF icon = rectForFavIcon(cell);
  const qreal x = showFavIcon ? icon.right() + 6 : icon.left();
  qreal width = cell.width() - x;
  if (flagged)
    width -= rectForBookmark(cell).width() + 6;
  return QRectF(x, cell.height() * 0.5 - textHeight * 0.5, width, textHeight);
}

QColor ZPHClassicLayoutCellView::textColor(bool selected, bool focused, bool read)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  if (selected)
    return focused ? theme->articleListSelectedItemKeyTextColor() : theme->articleListSelectedItemTextColor();
  return read ? theme->articleListItemReadKeyTextColor() : theme->articleListItemUnreadKeyTextColor();
}

QColor ZPHClassicLayoutCellView::dateTextColor(bool selected, bool focused, bool read)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  if (selected && read)
    return focused ? theme->articleListSelectedItemReadKeyTextColor() : theme->articleListSelectedItemReadTextColor();
  return textColor(selected, focused, read);
}

QSize ZPHClassicLayoutCellView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
  Q_UNUSED(index);
  return QSize(option.rect.width(), RowHeight);
}

void ZPHClassicLayoutCellView::resetBookmarkStates() { m_bookmarkSlides->reset(); }

void ZPHClassicLayoutCellView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
  const QRectF cell = option.rect;
  const QRectF row(0, cell.top(), m_table ? m_table->viewport()->width() : cell.width(), cell.height());
  ZPHClassicLayoutRowView::State state;
  state.selected = option.state & QStyle::State_Selected;
  state.groupRowStyle = index.data(ZPHArticleListModel::IsGroupRowRole).toBool();
  state.active = m_table ? m_table->isActive() : true;
  state.listFocused = m_table ? m_table->isListFocused() : false;
  state.contextualHighlight = m_table != nullptr && m_table->contextualHighlightRow() == index.row();
  auto* article = static_cast<CBDataArticle*>(index.data(ZPHArticleListModel::ArticleRole).value<ZPHManagedObject*>());
  state.hasArticle = article != nullptr;
  state.read = index.data(ZPHArticleListModel::ReadRole).toBool();
  ZPHClassicLayoutRowView().paintRow(painter, cell, row, state);
  // The table's grid line.
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  painter->fillRect(QRectF(cell.left(), cell.bottom() - 1, cell.width(), 1),
                    state.active ? theme->articleListDividerColor() : theme->articleListDividerInactiveColor());
  if (article == nullptr)
    return;

  painter->save();
  painter->setClipRect(cell, Qt::IntersectClip);
  painter->translate(cell.topLeft());
  const QSizeF size = cell.size();
  const QFontMetricsF metrics(cellFont());
  painter->setFont(cellFont());
  const bool flagged = index.data(ZPHArticleListModel::FlaggedRole).toBool();
  if (index.column() == ZPHArticleListModel::DateColumn) {
    const QRectF textRect(11, size.height() * 0.5 - metrics.height() * 0.5, size.width() - 17, metrics.height());
    painter->setPen(dateTextColor(state.selected, state.listFocused, state.read));
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      metrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textRect.width()));
    painter->restore();
    return;
  }
  const bool showFavIcon = m_table != nullptr && m_table->showingMultipleFeeds();
  if (showFavIcon) {
    QImage favicon;
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    const CBDataController* data = delegate ? delegate->dataController() : nullptr;
    if (const CBFeed* feed =
            data && data->localAccount() ? data->localAccount()->feedWithURL(QUrl(article->feedURL())) : nullptr) {
      favicon = FRNHCGUtils::imageForFeedWithHomePageURL(feed->homePageURL(), feed->faviconURL(), false);
      if (favicon.isNull())
        favicon = ZPHNamedImage(QStringLiteral("GenericFeedFavicon"));
    }
    if (!favicon.isNull()) {
      painter->save();
      painter->setOpacity(state.read ? 0.5 : 1.0);
      painter->setRenderHint(QPainter::SmoothPixmapTransform);
      painter->drawImage(rectForFavIcon(size), favicon);
      painter->restore();
    }
  }
  // A flag changed since the row was last painted slides the ribbon.
  const ZPHManagedObjectID objectID = article->objectID();
  const qreal progress = m_bookmarkSlides->progressForRow(objectID, flagged);  // 1: shown
  const QRectF title = rectForTitle(size, metrics.height(), showFavIcon, flagged);
  painter->setPen(textColor(state.selected, state.listFocused, state.read));
  painter->drawText(
      title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
      metrics.elidedText(ZPHArticleListCellView::singleLineText(article->plainTextTitleForDisplay(), 1000),
                         Qt::ElideRight, title.width()));
  if (progress > 0) {
    const QRectF frame = rectForBookmark(size);
    const QRectF hidden =
        ZPHArticleListBookmarkView::imageViewFrameForBookmarkShown(false, QRectF(QPointF(), frame.size()), 0)
            .translated(frame.topLeft());
    const QRectF at(frame.left(), hidden.top() + (frame.top() - hidden.top()) * progress, frame.width(),
                    frame.height());
    painter->save();
    painter->setOpacity(progress);
    painter->drawImage(frame, ZPHNamedImage(ZPHClassicLayoutBookmarkView::classicShadowImageName()));
    painter->restore();
    painter->save();
    painter->setClipRect(frame.adjusted(0, 0, 0, 0), Qt::IntersectClip);
    painter->drawImage(at, ZPHNamedImage(ZPHClassicLayoutBookmarkView::classicBookmarkImageName()));
    painter->restore();
  }
  painter->restore();
}
