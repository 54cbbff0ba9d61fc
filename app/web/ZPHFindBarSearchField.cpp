#include "web/ZPHFindBarSearchField.h"

#include <QtGui/QFocusEvent>

ZPHFindBarSearchField::ZPHFindBarSearchField(QWidget* parent) : QLineEdit(parent) { setClearButtonEnabled(true); }

bool ZPHFindBarSearchField::acceptsFirstResponder() const
{
  for (const QWidget* widget = this; widget != nullptr; widget = widget->parentWidget()) {
    if (widget->isHidden())
      return false;
  }
  return true;
}

void ZPHFindBarSearchField::focusInEvent(QFocusEvent* event)
{
  if (!acceptsFirstResponder()) {
    clearFocus();
    return;
  }
  QLineEdit::focusInEvent(event);
}
