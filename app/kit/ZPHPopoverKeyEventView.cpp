#include "kit/ZPHPopoverKeyEventView.h"

#include <QtGui/QKeyEvent>

ZPHPopoverKeyEventView::ZPHPopoverKeyEventView(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }

void ZPHPopoverKeyEventView::keyPressEvent(QKeyEvent* event)
{
  const bool closes = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  // The view's own handling first; what it does not take closes the popover.
  event->ignore();
  QWidget::keyPressEvent(event);
  if (!closes || event->isAccepted() || m_delegate == nullptr)
    return;
  m_delegate->closePopOver(this);
  event->accept();
}
