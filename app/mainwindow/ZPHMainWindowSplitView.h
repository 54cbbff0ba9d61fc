#pragma once

// Qt kind: QWidget (QSplitter).

#include "platform/ZPHNotificationCenter.h"

#include <QtGui/QColor>
#include <QtWidgets/QSplitter>

#include <functional>

// The main window's split view: the source list on the left, the reading
// area on the right. Its divider is a thin line in the desktop's colour, or,
// with the textured splitter on, a flat grey that is lighter while the
// window is not active. Where the divider may go comes from its owner
// (dividerPositionConstraint); dragging asks it at every move. It repaints
// when the article styles change.
class ZPHMainWindowSplitView : public QSplitter {
  Q_OBJECT

public:
  explicit ZPHMainWindowSplitView(QWidget* parent = nullptr);
  ~ZPHMainWindowSplitView() override;

  bool isTexturedSplitter() const { return m_texturedSplitter; }
  // Repaints the divider.
  void setTexturedSplitter(bool textured);

  // Grey 0.44 while the window is active, 0.6 otherwise.
  static QColor mainWindowSplitViewTexturedDividerColor();
  static QColor mainWindowNotKeySplitViewTexturedDividerColor();
  // The divider's colour now.
  QColor dividerColor() const;

  // Maps a proposed position of the first divider to the one taken; none:
  // the proposed position.
  void setDividerPositionConstraint(std::function<int(int proposed)> constraint);
  // Moves the first divider to the position, through the constraint, as a
  // drag to it would.
  void moveDividerToPosition(int proposed);
  // The first divider's position (the left side's width).
  int dividerPosition() const;

protected:
  QSplitterHandle* createHandle() override;
  void changeEvent(QEvent* event) override;

private:
  friend class ZPHMainWindowSplitViewHandle;
  int constrain(int proposed) const;

  bool m_texturedSplitter = false;
  std::function<int(int)> m_constraint;
  ZPHObserverToken m_stylesObserver;
};
