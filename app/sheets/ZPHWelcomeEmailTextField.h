#pragma once

// Qt kind: QWidget (QLineEdit).

#include <QtWidgets/QLineEdit>

// The welcome window's e-mail field: it tells whenever it takes the focus.
class ZPHWelcomeEmailTextField : public QLineEdit {
  Q_OBJECT

public:
  using QLineEdit::QLineEdit;

Q_SIGNALS:
  void willBecomeFirstResponder();

protected:
  void focusInEvent(QFocusEvent* event) override;
};
