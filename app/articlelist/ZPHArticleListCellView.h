#pragma once

// Qt kind: item delegate (QStyledItemDelegate).

#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QHash>
#include <QtCore/QPointer>
#include <QtCore/QRectF>
#include <QtGui/QFont>
#include <QtWidgets/QStyledItemDelegate>

class ZPHBookmarkSlides;

class CBDataArticle;
class ZPHArticleListTableView;

// The rows of the standard layout: a bold one-line title, a preview of the
// text in the chosen number of lines, a date line with the favicon and the
// feed's name when several feeds are listed, a square thumbnail at the
// right and the bookmark marker; header rows are the date groups'
// (ZPHArticleGroupHeaderView). Colours come from the current theme and
// follow the read and selected states. Every text from a feed is drawn as
// plain text, one layout per text.
//
// The geometry and the thumbnail's fit are pure functions, in row
// coordinates (origin at the row's top left).
class ZPHArticleListCellView : public QStyledItemDelegate {
  Q_OBJECT

public:
  explicit ZPHArticleListCellView(ZPHArticleListTableView* table);
  ~ZPHArticleListCellView() override;

  // ---- Settings read when painting.
  static int numberOfPreviewLines();  // at least 1
  static bool showsPictures();

  // ---- Geometry
  // 67 with one preview line, else 83 (the layout adds its spacing).
  static qreal heightForArticleWithThumbnail(int previewLines);
  // A row's height in the standard layout: by the preview lines and
  // whether several feeds are listed, spacing included.
  static int rowHeight(int previewLines, bool showingMultipleFeeds);
  static int groupRowHeight(bool searchResults) { return searchResults ? 24 : 23; }
  // (11, 11, width - 22, height - 22), integral.
  static QRectF innerBox(const QRectF& bounds);
  // 0 without a thumbnail address, under 152.5 wide, or with pictures off;
  // else 45 with one preview line, 61 with more.
  static qreal thumbnailBoxWidth(bool hasThumbnailAddress, qreal boundsWidth, bool showPictures, int previewLines);
  // The square at the inner box's top right.
  static QRectF thumbnailBox(const QRectF& innerBox, qreal width);
  // The inner box, ending 13 points left of a thumbnail.
  static QRectF textBox(const QRectF& innerBox, const QRectF& thumbnailBox);
  // The height of "KyZPjgQ" in the date font, at least 16 with the feed
  // name shown.
  static qreal dateTextHeight(bool showFeedName);
  static QRectF dateBox(const QRectF& textBox, qreal dateHeight);
  // The bookmark marker of a row: at the top right, 8 points in.
  static QRectF bookmarkFrame(const QRectF& bounds);

  // How a thumbnail image (its size in points) fits its square box.
  struct ThumbnailFit {
    bool draw = false;
    bool tooSmall = false;  // under 12 x 12: never drawn, never asked for again
    QRectF clip;
    QRectF target;
  };
  // Both sides at least the box and no longer than 1.438 times the other:
  // scaled so the shorter side fills the box, centred. Otherwise drawn at
  // its own size, centred (half a point off), clipped to the box (or to
  // its own size when both sides are smaller).
  static ThumbnailFit thumbnailFit(const QSizeF& imageSize, const QRectF& box);
  // The address is worth asking for: not empty, not an advertising or
  // tracking image, not known to be too small.
  static bool isThumbnailAddressUsable(const QString& url);
  static void noteThumbnailTooSmall(const QString& url);

  // "Feed, Today 10:12" / "Mar 8, 2026".
  static QString dateLineText(const QString& date, const QString& feedName, bool showFeedName);
  // A text as one line of plain text: line and paragraph breaks become
  // spaces; very long texts are cut to what a row can show.
  static QString singleLineText(const QString& text, qsizetype limit);

  static QFont titleFont();
  static QFont previewFont();
  static QFont dateFont();

  // ---- QStyledItemDelegate
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // Forgets the markers painted so far (the rows changed).
  void resetBookmarkStates();
  // Rows whose marker is sliding (for tests).
  int slidingBookmarkCount() const;

private:
  void paintArticle(QPainter* painter, const QRectF& row, CBDataArticle* article, bool selected, bool read,
                    bool flagged, const QModelIndex& index) const;
  void paintBookmark(QPainter* painter, const QRectF& row, const ZPHManagedObjectID& objectID, bool flagged) const;

  QPointer<ZPHArticleListTableView> m_table;
  ZPHBookmarkSlides* m_bookmarkSlides = nullptr;
};
