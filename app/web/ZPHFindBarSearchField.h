#pragma once

// Qt kind: QWidget (QLineEdit).

#include <QtWidgets/QLineEdit>

// The find bar's search field. It takes the keyboard focus only while
// neither it nor any of its ancestors is hidden, so a hidden find bar is
// skipped when tabbing and refuses focus.
class ZPHFindBarSearchField : public QLineEdit {
  Q_OBJECT

public:
  explicit ZPHFindBarSearchField(QWidget* parent = nullptr);

  bool acceptsFirstResponder() const;

protected:
  void focusInEvent(QFocusEvent* event) override;
};
