#pragma once

// Qt kind: item delegate (QStyledItemDelegate).

#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QHash>
#include <QtCore/QPointer>
#include <QtCore/QRectF>
#include <QtWidgets/QStyledItemDelegate>

class ZPHBookmarkSlides;

class ZPHArticleListTableView;

// The cells of the classic layout: "Title" (the favicon when several feeds
// are listed, the title, the bookmark ribbon of a bookmarked article) and
// "Date". Rows are 28 points high; their colours follow the theme and the
// read and selected states (the selection styling of the platform never
// applies). The table's grid line runs under every article row.
class ZPHClassicLayoutCellView : public QStyledItemDelegate {
  Q_OBJECT

public:
  static constexpr int RowHeight = 28;

  explicit ZPHClassicLayoutCellView(ZPHArticleListTableView* table);
  ~ZPHClassicLayoutCellView() override;

  // In a cell of that size (cell coordinates).
  static QRectF rectForFavIcon(const QSizeF& cell);
  static QRectF rectForBookmark(const QSizeF& cell);
  // The title's frame: after the favicon (x 33) or at 11, as wide as the
  // cell allows, less the ribbon and 6 for a bookmarked article.
  static QRectF rectForTitle(const QSizeF& cell, qreal textHeight, bool showFavIcon, bool flagged);

  // Title and date colours (7.225's table): selected and focused, selected,
  // read, unread; the date of a selected read article is dimmer.
  static QColor textColor(bool selected, bool focused, bool read);
  static QColor dateTextColor(bool selected, bool focused, bool read);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  void resetBookmarkStates();

private:
  QPointer<ZPHArticleListTableView> m_table;
  ZPHBookmarkSlides* m_bookmarkSlides = nullptr;
};
