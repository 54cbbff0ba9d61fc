#include "mainwindow/status/ZPHIndeterminateProgressStatusItemViewController.h"

#include "mainwindow/status/ZPHCloudProgressIndicator.h"
#include "mainwindow/status/ZPHStatusViewTextField.h"

#include <QtWidgets/QHBoxLayout>

QWidget* ZPHIndeterminateProgressStatusItemViewController::loadView()
{
  auto* view = new QWidget;
  auto* layout = new QHBoxLayout(view);
  layout->setContentsMargins(8, 0, 8, 0);
  layout->setSpacing(2);
  m_textField = new ZPHStatusViewTextField(view);
  m_progressIndicator = new ZPHCloudProgressIndicator(view);
  layout->addWidget(m_textField, 0);
  layout->addWidget(m_progressIndicator, 0, Qt::AlignVCenter);
  layout->addStretch(1);
  return view;
}

ZPHStatusViewTextField* ZPHIndeterminateProgressStatusItemViewController::textField()
{
  view();
  return m_textField;
}

ZPHCloudProgressIndicator* ZPHIndeterminateProgressStatusItemViewController::progressIndicator()
{
  view();
  return m_progressIndicator;
}

void ZPHIndeterminateProgressStatusItemViewController::configureForStatusItem(
    const std::shared_ptr<ZPHStatusItem>& item)
{
  if (item == nullptr)
    return;
  Q_ASSERT_X(!item->localizedDescription().isEmpty(), Q_FUNC_INFO, "a status item has a text");
  textField()->setText(item->localizedDescription());
}

void ZPHIndeterminateProgressStatusItemViewController::viewDidAppear() { progressIndicator()->startAnimation(); }

void ZPHIndeterminateProgressStatusItemViewController::viewWillDissapear() { progressIndicator()->stopAnimation(); }
