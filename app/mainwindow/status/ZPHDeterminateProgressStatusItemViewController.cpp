#include "mainwindow/status/ZPHDeterminateProgressStatusItemViewController.h"

#include "feeds/refresh/ZPHDeterminateProgressStatusItem.h"
#include "mainwindow/status/ZPHStatusViewTextField.h"

#include <QtCore/QEvent>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QProgressBar>

#include <algorithm>
#include <cmath>

ZPHDeterminateProgressStatusItemViewController::~ZPHDeterminateProgressStatusItemViewController()
{
  disconnect(m_observation);
}

QWidget* ZPHDeterminateProgressStatusItemViewController::loadView()
{
  auto* view = new QWidget;
  auto* layout = new QHBoxLayout(view);
  // The status area is as narrow as the source list: the text comes first,
  // the bar takes what a short phrase ("Importing OPML…") leaves, down to a
  // stub.
  layout->setContentsMargins(8, 0, 4, 0);
  layout->setSpacing(4);
  m_textField = new ZPHStatusViewTextField(view);
  m_progressIndicator = new QProgressBar(view);
  m_progressIndicator->setRange(0, ProgressBarMaximum);
  m_progressIndicator->setValue(0);
  m_progressIndicator->setTextVisible(false);
  m_progressIndicator->setFixedSize(BarWidth, 8);
  view->installEventFilter(this);
  layout->addWidget(m_textField, 1);
  layout->addWidget(m_progressIndicator, 0, Qt::AlignVCenter);
  return view;
}

ZPHStatusViewTextField* ZPHDeterminateProgressStatusItemViewController::textField()
{
  view();
  return m_textField;
}

QProgressBar* ZPHDeterminateProgressStatusItemViewController::progressIndicator()
{
  view();
  return m_progressIndicator;
}

void ZPHDeterminateProgressStatusItemViewController::configureForStatusItem(const std::shared_ptr<ZPHStatusItem>& item)
{
  auto progressItem = std::dynamic_pointer_cast<ZPHDeterminateProgressStatusItem>(item);
  if (progressItem == nullptr || progressItem == m_observedStatusItem)
    return;
  disconnect(m_observation);
  view();
  m_observedStatusItem = progressItem;
  Q_ASSERT_X(!progressItem->localizedDescription().isEmpty(), Q_FUNC_INFO, "a status item has a text");
  m_textField->setText(progressItem->localizedDescription());
  fitProgressIndicator();
  // Posters set the value on the main thread; a value set elsewhere arrives
  // queued.
  m_observation = connect(progressItem.get(), &ZPHDeterminateProgressStatusItem::progressValueChanged, this,
                          &ZPHDeterminateProgressStatusItemViewController::showProgressValue);
  // The bar starts where the item is, not at 0 until the next change.
  showProgressValue(progressItem->progressValue());
}

bool ZPHDeterminateProgressStatusItemViewController::eventFilter(QObject* watched, QEvent* event)
{
  if (event->type() == QEvent::Resize && isViewLoaded() && watched == view())
    fitProgressIndicator();
  return ZPHStatusItemViewController::eventFilter(watched, event);
}

void ZPHDeterminateProgressStatusItemViewController::fitProgressIndicator()
{
  if (m_textField == nullptr || m_progressIndicator == nullptr)
    return;
  // The phrase whole where the area has room for it and a stub of the bar.
  const auto* layout = static_cast<QBoxLayout*>(view()->layout());
  const QMargins margins = layout->contentsMargins();
  const int room = view()->width() - margins.left() - margins.right() - layout->spacing();
  const int width = std::clamp(room - m_textField->sizeHint().width(), MinimumBarWidth, BarWidth);
  if (width != m_progressIndicator->width())
    m_progressIndicator->setFixedWidth(width);
}

void ZPHDeterminateProgressStatusItemViewController::showProgressValue(double value)
{
  if (m_progressIndicator == nullptr || std::isnan(value))
    return;
  m_progressIndicator->setValue(static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * ProgressBarMaximum)));
}
