#include "mainwindow/status/ZPHErrorStatusItemViewController.h"

#include "common/ZPHErrorButton.h"
#include "kit/ZPHErrorSheet.h"
#include "kit/ZPHPlainTextToolTip.h"
#include "mainwindow/status/ZPHStatusViewTextField.h"

#include <QtWidgets/QHBoxLayout>

QWidget* ZPHErrorStatusItemViewController::loadView()
{
  auto* view = new QWidget;
  auto* layout = new QHBoxLayout(view);
  layout->setContentsMargins(6, 0, 8, 0);
  layout->setSpacing(4);
  m_errorButton = new ZPHErrorButton(view);
  m_errorButton->setBackgroundStyle(ZPHErrorButton::BackgroundStyle::Light);
  m_errorButton->setEnabled(false);
  m_errorButton->setFixedSize(m_errorButton->sizeHint());
  connect(m_errorButton, &ZPHErrorButton::clicked, this, &ZPHErrorStatusItemViewController::errorButtonClicked);
  m_textField = new ZPHStatusViewTextField(view);
  layout->addWidget(m_errorButton, 0, Qt::AlignVCenter);
  layout->addWidget(m_textField, 1);
  return view;
}

ZPHStatusViewTextField* ZPHErrorStatusItemViewController::textField()
{
  view();
  return m_textField;
}

ZPHErrorButton* ZPHErrorStatusItemViewController::errorButton()
{
  view();
  return m_errorButton;
}

void ZPHErrorStatusItemViewController::configureForStatusItem(const std::shared_ptr<ZPHStatusItem>& item)
{
  if (item == nullptr)
    return;
  Q_ASSERT_X(!item->localizedDescription().isEmpty(), Q_FUNC_INFO, "a status item has a text");
  textField()->setText(item->localizedDescription());
  // The whole text where the line is too short for it.
  textField()->setToolTip(ZPHPlainTextToolTip(item->localizedDescription()));
  setClickableError(item->error());
}

void ZPHErrorStatusItemViewController::setClickableError(const ZPHError& error)
{
  m_clickableError = error;
  errorButton()->setEnabled(!error.isNull());
}

void ZPHErrorStatusItemViewController::errorButtonClicked()
{
  if (m_clickableError.isNull() || !isViewLoaded() || view()->window() == view())
    return;
  ZPHErrorSheet::present(view()->window(), m_clickableError);
}
