#pragma once

// Qt kind: item delegate (QStyledItemDelegate).

#include "sourcelist/ZPHSourceListCellLayout.h"

#include <QtCore/QPersistentModelIndex>
#include <QtWidgets/QStyledItemDelegate>

class QPainter;

// Draws the rows of the source list and takes the clicks on their buttons:
// - a section header: its title in small bold capitals in the theme's
//   header colour, and, while read sites are hidden and none is left, the
//   small "Show Read" button at the right;
// - a smart feed or the Favorites group: its picture (Today's with the day
//   of the month on it), its name and its unread badge;
// - a feed or folder: its favicon or folder picture, its name (grey for a
//   suspended feed), the error button while there is an error to show, and
//   the unread badge.
// Pictures are template masks in the row's colour, except a selected feed's
// favicon, which shows in colour. Every text is drawn as plain text. The
// badge takes the theme's colours. Main thread only.
class ZPHSourceListItemDelegate : public QStyledItemDelegate {
  Q_OBJECT

public:
  static constexpr int HeaderRowHeight = 22;
  static constexpr int RowHeight = 24;
  static constexpr int ImageSize = 16;

  explicit ZPHSourceListItemDelegate(QObject* parent = nullptr);

  // Where the row's parts go in `option.rect`.
  ZPHSourceListCellLayout layoutForIndex(const QStyleOptionViewItem& option, const QModelIndex& index) const;
  // The picture's place in `option.rect`.
  static QRect imageRect(const QRect& cell);

  // The error button's size (that of "SiteError").
  static QSize errorButtonSize();
  // The header button's size for its title.
  static QSize headerButtonSize(const QString& title);
  // The colour of the pictures and of the text over them in an unselected
  // row.
  static QColor pictureTextColor();

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;
  // Renaming in place: a ZPHSourceListTextField over the row's title.
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;

  // Draws a template mask (QImage::Format_Alpha8) in `color`, any other
  // image as it is.
  static void drawImage(QPainter& painter, const QRectF& target, const QImage& image, const QColor& color);
  // The unread badge in `rect` (its full height; the badge itself leaves
  // the top point free).
  static void drawChicklet(QPainter& painter, const QRect& rect, qint64 count, bool selected, bool windowIsKey);

  // Ends a press on a button that was released elsewhere.
  void endPress();

  static QFont titleFont();
  static QFont headerFont();
  static QFont headerButtonFont();

Q_SIGNALS:
  // A click on a feed row's error button.
  void errorButtonClicked(const QModelIndex& index);
  // A click on a section header's button.
  void headerButtonClicked(const QModelIndex& index);

private:
  enum class Part { None, ErrorButton, HeaderButton };
  Part partAt(const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& position) const;

  QPersistentModelIndex m_pressedIndex;
  Part m_pressedPart = Part::None;
};
