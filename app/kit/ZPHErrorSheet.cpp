#include "kit/ZPHErrorSheet.h"

#include "kit/CBViewExtras.h"
#include "platform/ZPHError.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

QMessageBox* ZPHErrorSheet::present(QWidget* window, const ZPHError& error)
{
  if (error.isNull() || window == nullptr)
    return nullptr;
  auto* box = new QMessageBox(window->window());
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->setIcon(QMessageBox::Warning);
  box->setTextFormat(Qt::PlainText);
  box->setText(error.localizedDescription());
  const QString suggestion = error.localizedRecoverySuggestion();
  if (!suggestion.isEmpty())
    box->setInformativeText(suggestion);
  // Every text here may come from a server or a feed: no label may read it
  // as markup (the informative text would otherwise be guessed).
  for (QLabel* label : box->findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
  cb_giveMessageBoxRoom(box);

  const QStringList options = error.localizedRecoveryOptions();
  const std::shared_ptr<ZPHErrorRecoveryAttempter> attempter = error.recoveryAttempter();
  if (options.isEmpty() || attempter == nullptr) {
    box->setStandardButtons(QMessageBox::Ok);
  } else {
    QList<QAbstractButton*> buttons;
    for (int index = 0; index < options.size(); ++index) {
      QPushButton* button =
          box->addButton(options.at(index), index == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
      buttons.append(button);
    }
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons.constFirst()));
    QObject::connect(box, &QMessageBox::buttonClicked, box, [attempter, error, buttons](QAbstractButton* button) {
      const int index = static_cast<int>(buttons.indexOf(button));
      if (index >= 0)
        attempter->attemptRecovery(error, index);
    });
  }
  box->open();
  return box;
}
