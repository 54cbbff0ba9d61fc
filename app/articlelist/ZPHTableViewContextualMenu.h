#pragma once

// Qt kind: QWidget (QMenu).

#include <QtWidgets/QMenu>

// The article table's contextual menu: it remembers the row the
// contextual click hit (-1: none, e.g. below the last row).
class ZPHTableViewContextualMenu : public QMenu {
  Q_OBJECT

public:
  explicit ZPHTableViewContextualMenu(QWidget* parent = nullptr);
  ZPHTableViewContextualMenu(const QString& title, QWidget* parent = nullptr);

  int clickedRow() const { return m_clickedRow; }
  void setClickedRow(int row) { m_clickedRow = row; }

private:
  int m_clickedRow = -1;
};
