#include "sheets/ZPHWelcomeEmailTextField.h"

void ZPHWelcomeEmailTextField::focusInEvent(QFocusEvent* event)
{
  QLineEdit::focusInEvent(event);
  Q_EMIT willBecomeFirstResponder();
}
