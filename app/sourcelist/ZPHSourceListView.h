#pragma once

// Qt kind: QWidget (QTreeView).

#include <QtCore/QPointer>
#include <QtWidgets/QTreeView>

#include <functional>

class QTimer;
class ZPHSourceListItemDelegate;

// The source list's outline: one column of rows without a header, the
// section headers flush left without a disclosure triangle, rows 22 and 24
// points high. It draws the selection across the whole row (a gradient
// while the list has the focus in the active window, the desktop's colour
// otherwise), shows a fade strip along its bottom while more of the list
// lies below, and tells the status area when a live resize starts and ends
// (ZPHSourceListLiveResizeStartedNotification and ...EndedNotification,
// object: this view): from the first resize until 200 ms after the last.
//
// Its own keys follow keyCommandForKey(): Return and Enter open the selected
// site, the bare Right arrow moves the focus to the article list, and
// Ctrl-Delete takes feeds out of Favorites when only Favorites feeds are
// selected. The commands themselves are the signals below. Main thread only.
class ZPHSourceListView : public QTreeView {
  Q_OBJECT

public:
  // Ends an open rename as Return would, so that a reload of the list
  // does not drop what the user typed.
  void commitOpenEditor();
  // The end of a live resize, after the last resize.
  static constexpr int LiveResizeQuietInterval = 200;  // ms

  enum class KeyCommand {
    None,                    // the event goes on to the tree view
    OpenWebPage,             // consumed
    MoveFocusToArticleList,  // consumed, whether or not the focus can move
    RemoveFromFavorites,     // consumed
    Swallow,                 // consumed, nothing happens
  };

  // What a key does in the list. `modifiers` are those of the event
  // (Shift, Ctrl, Alt, Meta); `isFocused`: the list has the keyboard focus;
  // `canMoveFocusToArticleList`: the article list can take it;
  // `onlyFavoritesSelected`: every selected row is a feed under Favorites
  // (and one is selected).
  static KeyCommand keyCommandForKey(int key, Qt::KeyboardModifiers modifiers, bool isFocused,
                                     bool canMoveFocusToArticleList, bool onlyFavoritesSelected);

  explicit ZPHSourceListView(QWidget* parent = nullptr);
  ~ZPHSourceListView() override;

  ZPHSourceListItemDelegate* itemDelegate() const { return m_delegate; }

  // Whether the article list could take the focus now (false until it
  // exists).
  std::function<bool()> canMoveFocusToArticleList;
  // Whether every selected row is a feed under Favorites.
  std::function<bool()> onlyFavoritesSelected;

  bool isInLiveResize() const { return m_inLiveResize; }
  // A resize of the list or of its window: starts a live resize, or
  // prolongs the one running.
  void noteLiveResize();

  // The fade strip's opacity for a list of `documentHeight` points of which
  // `visibleHeight` points show from `visibleY` on: full while more than 4
  // points lie below, fading out over the last 4, none for a list that
  // fits.
  static qreal fadeAlpha(qreal documentHeight, qreal visibleY, qreal visibleHeight);
  qreal currentFadeAlpha() const;

  // While hidden, no row draws as selected.
  bool selectionHidden() const { return m_selectionHidden; }
  void setSelectionHidden(bool hidden);

  // The colour the selection is drawn in (the desktop's highlight).
  QColor selectionColor(bool focused) const;

  // Every expanded item collapses, or every item expands.
  void collapseAllItems();
  void expandAllItems();

  // Brings a row into view. When every row from the top of the list down
  // to it fits in the view, the list shows its top, so the rows above stay
  // in view too. Before the list first shows (it has no height of its own
  // yet) the row is brought into view as it shows.
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

  // A change of more than WideRangeRows rows of one parent draws the
  // list again whole; a narrower one goes to the tree view, which finds the
  // rectangle of each row. An open rename field takes the change either way.
  static constexpr int WideRangeRows = 64;
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles = QList<int>()) override;

  // Type-select: the typed letters select the next row whose title,
  // without a leading article, starts with them.
  void keyboardSearch(const QString& search) override;
  // A type-select keystroke lies less than 1.2 s back.
  bool isCurrentlyTypeSelecting() const;

  // Where a drop dragged over the list lands once the list's rules have
  // moved it: onto `index` (childIndex -1; an invalid index is the whole
  // list) or into the gap before its child `childIndex`. The list draws
  // this mark in place of the tree view's own, which only knows where the
  // pointer is.
  struct DropMark {
    bool shown = false;
    QPersistentModelIndex index;
    int childIndex = -1;
  };
  // Asked after each move of a drag over the list.
  std::function<DropMark()> dropMarkProvider;
  const DropMark& dropMark() const { return m_dropMark; }
  // The mark's rectangle in the viewport: a row's outline, or a line in a
  // gap; empty while none shows.
  QRect dropMarkRect() const;

Q_SIGNALS:
  void openWebPageRequested();
  void moveFocusToArticleListRequested();
  void removeFromFavoritesRequested();

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void updateGeometries() override;
  void changeEvent(QEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  // The selection and background colours from the window's palette.
  void updateColors();
  void endLiveResize();
  void updateFadeStrip();

  ZPHSourceListItemDelegate* m_delegate;
  QTimer* m_liveResizeTimer;
  bool m_inLiveResize = false;
  QPointer<QWidget> m_fadeStrip;
  QColor m_highlight;
  QColor m_inactiveHighlight;
  bool m_selectionHidden = false;
  // The row to bring into view once the list shows.
  QPersistentModelIndex m_pendingScrollIndex;
  ScrollHint m_pendingScrollHint = EnsureVisible;
  QString m_typeSelectString;
  qint64 m_lastTypeSelectTime = -1;  // ms on a steady clock
  DropMark m_dropMark;
};
