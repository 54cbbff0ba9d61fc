#pragma once

// Qt kind: QWidget (QTableView).

#include "platform/ZPHNotificationCenter.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QList>
#include <QtCore/QPointer>
#include <QtWidgets/QTableView>

#include <vector>

class QTimer;
class ZPHArticleListModel;
class ZPHArticleListSelectionModel;
class ZPHTableViewContextualMenu;

// The article table of both layouts, over the list's row model.
//
// Keys: Return, Enter and Right Arrow ask to open the selected article
// (also with Alt or Ctrl, not with Shift or Meta alone); plain Left Arrow
// asks to move the focus to the source list. A vertical swipe selects the
// row above or below. Up and Down walk the articles, stepping over header
// rows; every move stays inside the table.
//
// A contextual click on a header shows no menu; elsewhere the table's menu
// learns the row (-1 below the rows) and the layout fills it. Rows paint
// their own backgrounds; the empty part below them shows the list's empty
// colour. Main thread only.
class ZPHArticleListTableView : public QTableView {
  Q_OBJECT

public:
  explicit ZPHArticleListTableView(QWidget* parent = nullptr);
  ~ZPHArticleListTableView() override;

  void setArticleListModel(ZPHArticleListModel* model);
  ZPHArticleListModel* articleListModel() const { return m_model; }
  ZPHArticleListSelectionModel* articleSelectionModel() const { return m_selectionModel; }
  ZPHTableViewContextualMenu* contextualMenu() const { return m_menu; }

  // Kept for the callers that block animated scrolling; scrolling here is
  // never animated.
  bool zph_blockScrollingAnimation() const { return m_blockScrollingAnimation; }
  void setZph_blockScrollingAnimation(bool block) { m_blockScrollingAnimation = block; }

  // ---- Rows
  bool isGroupRow(int row) const;
  // The lowest selected row; -1 when none.
  int selectedRow() const;
  QList<int> selectedRowIndexes() const;
  // The row of the contextual click while its menu is open, else -1.
  int clickedRow() const { return m_clickedRow; }
  // The article rows: the first after `row` (-1: before the first row),
  // clamped to the last row; -1 without a row to go to.
  int nextRowAfterRow(int row) const;
  // From the selection: the next article row (the first one without a
  // selection); the previous one, stepping over headers, the selected row
  // itself at the top, -1 without a selection.
  int nextRow() const;
  int previousRow() const;

  // ---- Selecting (the program's own: the header rule does not apply)
  // Exactly that row; -1 (or a row out of range) clears the selection.
  bool selectRow(int row);
  void selectRow(int row, bool scrollToVisibleIfNeeded);
  void selectRowIndexes(const QList<int>& rows, bool extend);
  // The selected row plus or minus one, kept inside the table; without a
  // selection the next is row 0 and the previous none.
  void selectNextRow();
  void selectPreviousRow();
  // The first article row when nothing is selected (none without one).
  void selectTopRowIfNoneSelected();
  // Centres the row in the view (no visibility test: callers decide).
  bool scrollRowToMiddleIfNotVisible(int row, bool animate);
  QRect rectOfRow(int row) const;
  // Where the view is scrolled to: the row at its top edge and how far into
  // it the view starts; no row when the view is at the very top.
  struct ScrollAnchor {
    int row = -1;
    int offset = 0;
  };
  ScrollAnchor scrollAnchor() const;
  // After rows moved in place (`newRowOfOldRow`: where each row went, -1
  // for gone): the anchor's row, or the first row below it that stayed,
  // is where it was. A view at the very top stays there, with what came
  // in above.
  void restoreScrollAnchor(const ScrollAnchor& anchor, const std::vector<int>& newRowOfOldRow);

  // ---- Drawing
  // The row that shows the contextual-click ring, -1 for none.
  int contextualHighlightRow() const { return m_contextualHighlightRow; }
  void setContextualHighlightRow(int row);
  bool showingMultipleFeeds() const { return m_showingMultipleFeeds; }
  void setShowingMultipleFeeds(bool multiple) { m_showingMultipleFeeds = multiple; }
  // Whether the window draws active (true without a window) and whether the
  // keyboard focus is in the list.
  bool isActive() const;
  bool isListFocused() const;
  // Recolours for the theme and the window's state.
  void updateViewColors();
  // The arrow cue over a row (duration in seconds, width in row heights).
  void runArrowAnimation(int row, double duration, int widthMultiplier);
  bool hasRunningArrowAnimation() const { return !m_arrows.isEmpty(); }

Q_SIGNALS:
  // Return, Enter, Right Arrow, a double click on an article.
  void openSelectedArticleRequested();
  void moveFocusToSourceListRequested();
  // A contextual click on `row` (-1 below the rows): the menu is about to
  // be filled and shown at `globalPosition`.
  void contextualMenuRequested(ZPHTableViewContextualMenu* menu, const QPoint& globalPosition);

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;

private:
  friend class ZPHArticleListTableViewTest;
  struct Arrow {
    ZPHManagedObjectID objectID;
    int row = -1;
    QElapsedTimer clock;
    double duration = 0.7;
    int widthMultiplier = 16;
  };
  void windowActiveStateChanged();

  ZPHArticleListModel* m_model = nullptr;
  ZPHArticleListSelectionModel* m_selectionModel = nullptr;
  ZPHTableViewContextualMenu* m_menu = nullptr;
  bool m_blockScrollingAnimation = false;
  int m_clickedRow = -1;
  int m_contextualHighlightRow = -1;
  bool m_showingMultipleFeeds = false;
  int m_programmaticDepth = 0;
  QList<Arrow> m_arrows;
  QTimer* m_arrowTimer = nullptr;
  std::vector<ZPHObserverToken> m_observers;
};
