#include "shell/ZPHAlert.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

int ZPHAlert::run(const ZPHAlert& alert)
{
  QMessageBox box;
  box.setWindowModality(Qt::ApplicationModal);
  box.setTextFormat(Qt::PlainText);
  box.setText(alert.messageText);
  box.setInformativeText(alert.informativeText);
  if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
    informative->setTextFormat(Qt::PlainText);
  switch (alert.style) {
    case Style::Informational:
      box.setIcon(QMessageBox::Information);
      break;
    case Style::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case Style::Critical:
      box.setIcon(QMessageBox::Critical);
      break;
  }
  const QStringList titles = alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
  QList<QAbstractButton*> buttons;
  for (qsizetype i = 0; i < titles.size(); ++i) {
    QPushButton* button = box.addButton(titles[i], i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
    if (i == 0)
      box.setDefaultButton(button);
    buttons.append(button);
  }
  box.exec();
  const qsizetype index = buttons.indexOf(box.clickedButton());
  return index < 0 ? 0 : int(index);
}
