#include "sheets/ZPHSheetDialog.h"

ZPHSheetDialog::ZPHSheetDialog(QWidget* parent) : QDialog(parent) {}

void ZPHSheetDialog::reject()
{
  if (m_rejectHandler) {
    m_rejectHandler();
    return;
  }
  QDialog::reject();
}

void ZPHSheetDialog::finishSheet()
{
  QDialog::done(QDialog::Accepted);
  hide();
  setParent(nullptr);
}
