#pragma once

// Qt kind: QWidget.

#include <QtWidgets/QWidget>

class QListView;
class ZPHSearchWindowContentView;

// The options window under the search field: a frameless child of the main
// window (keyboard focus stays in the field), its list on a rounded
// backdrop. It never takes the focus.
class ZPHSearchWindow : public QWidget {
  Q_OBJECT

public:
  explicit ZPHSearchWindow(QWidget* parent = nullptr);

  QListView* tableView() const { return m_tableView; }
  // The window's room around the list.
  static constexpr int Chrome = 8;

private:
  QListView* m_tableView = nullptr;
};
