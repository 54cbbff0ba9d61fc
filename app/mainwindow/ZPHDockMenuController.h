#pragma once

// Qt kind: QWidget (QMenu).

#include <QtWidgets/QMenu>

class CBDataController;
class QAction;

// The menu that chooses which unread count the program's badge shows:
// favourites' unread articles, all unread articles, or none. The choice is
// the integer user default "ZPHUnreadCountSelection" (0 favourites, 1
// total, 2 or any other value none; unset: the registered value); exactly
// one item carries the check mark, and every change makes the badge follow
// at once. The main window makes it the menu of its tray icon where the
// desktop has a tray.
class ZPHDockMenuController : public QMenu {
  Q_OBJECT

public:
  explicit ZPHDockMenuController(QWidget* parent = nullptr);

  // Recounts when the choice changes (not owned; may be null).
  void setDataController(CBDataController* dataController) { m_dataController = dataController; }

  QAction* useFavoritesCount() const { return m_useFavoritesCount; }
  QAction* useTotalCount() const { return m_useTotalCount; }
  QAction* useNoCount() const { return m_useNoCount; }

  // Checks the item of the stored choice and recounts.
  void updateMenuItems();
  void favoritesCountSelected();
  void totalCountSelected();
  void noCountSelected();

private:
  void select(qint64 choice, const char* logLine);

  CBDataController* m_dataController = nullptr;
  QAction* m_useFavoritesCount;
  QAction* m_useTotalCount;
  QAction* m_useNoCount;
};
