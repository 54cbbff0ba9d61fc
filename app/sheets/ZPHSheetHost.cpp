#include "sheets/ZPHSheetHost.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QWidget>

QWidget* ZPHSheetHost::windowForSheets() const
{
  QWidget* main = mainWindow ? mainWindow() : nullptr;
  if (main == nullptr || !main->isVisible() || main->isMinimized())
    return nullptr;
  // The topmost window-modal dialog shown over the window, following sheets
  // on sheets.
  QWidget* host = main;
  for (bool deeper = true; deeper;) {
    deeper = false;
    for (QDialog* dialog : host->findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (dialog->isVisible() && dialog->isWindow() && dialog->windowModality() != Qt::NonModal) {
        host = dialog;
        deeper = true;
        break;
      }
    }
  }
  return host;
}
