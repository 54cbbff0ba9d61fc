#include "sheets/ZPHSheetDialog.h"

#include "platform/ZPHPasswordStore.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

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

QVBoxLayout* ZPHSheetDialog::setQuestionLayout(QStyle::StandardPixmap icon)
{
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 16);
  layout->setSpacing(16);
  auto* image = new QLabel(this);
  image->setPixmap(style()->standardIcon(icon).pixmap(48, 48));
  image->setAlignment(Qt::AlignTop);
  layout->addWidget(image);
  auto* column = new QVBoxLayout();
  layout->addLayout(column);
  return column;
}

QPushButton* ZPHSheetDialog::makeButton(const QString& title, const QString& name, bool isDefault)
{
  auto* button = new QPushButton(title, this);
  button->setObjectName(name);
  if (isDefault)
    button->setDefault(true);
  else
    button->setAutoDefault(false);
  return button;
}

QString ZPHSheetDialog::passwordPlaceText()
{
  switch (ZPHPasswordStore::defaultStorePlace()) {
    case ZPHPasswordStore::Place::SecretService:
      return tr("Your password is kept in your keyring.");
    case ZPHPasswordStore::Place::File:
      return tr("Your password is kept in a file only you can read.");
    case ZPHPasswordStore::Place::NotYetKnown:
      break;
  }
  return tr("Your password is kept on this computer.");
}

QLabel* ZPHSheetDialog::makeFinePrint(const QString& text)
{
  auto* label = new QLabel(text, this);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  QFont small = label->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  label->setFont(small);
  return label;
}
