#include "mainwindow/ZPHDockMenuController.h"

#include "foundation/CBPrefs.h"
#include "kit/ZPHInterfaceLog.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"

ZPHDockMenuController::ZPHDockMenuController(QWidget* parent) : QMenu(parent)
{
  m_useFavoritesCount = addAction(tr("Show Unread Favorites Count"));
  m_useTotalCount = addAction(tr("Show Total Unread Count"));
  m_useNoCount = addAction(tr("Show No Count"));
  for (QAction* action : {m_useFavoritesCount, m_useTotalCount, m_useNoCount}) action->setCheckable(true);
  connect(m_useFavoritesCount, &QAction::triggered, this, &ZPHDockMenuController::favoritesCountSelected);
  connect(m_useTotalCount, &QAction::triggered, this, &ZPHDockMenuController::totalCountSelected);
  connect(m_useNoCount, &QAction::triggered, this, &ZPHDockMenuController::noCountSelected);
  updateMenuItems();
}

void ZPHDockMenuController::updateMenuItems()
{
  ZPHUserDefaults::standardUserDefaults().synchronize();
  const qint64 choice = CBPrefsGetInt(ZPHUnreadCountSelection);
  m_useFavoritesCount->setChecked(choice == 0);
  m_useTotalCount->setChecked(choice == 1);
  m_useNoCount->setChecked(choice != 0 && choice != 1);
  if (m_dataController != nullptr)
    m_dataController->updateAllUnreadCountsOnMainThread();
}

void ZPHDockMenuController::select(qint64 choice, const char* logLine)
{
  qCInfo(zphInterface) << logLine;
  CBPrefsSetInt(choice, ZPHUnreadCountSelection);
  ZPHUserDefaults::standardUserDefaults().synchronize();
  updateMenuItems();
}

void ZPHDockMenuController::favoritesCountSelected() { select(0, "Favorites count selected"); }

void ZPHDockMenuController::totalCountSelected() { select(1, "Total count selected"); }

void ZPHDockMenuController::noCountSelected() { select(2, "No count selected"); }
