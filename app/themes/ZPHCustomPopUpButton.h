#pragma once

// Qt kind: QWidget (QComboBox).

#include <QtWidgets/QComboBox>

// The common base of the themed pop-up buttons (the main window's search
// scope): subclasses paint their title and bezel in theme colours. It adds
// nothing of its own.
class ZPHCustomPopUpButton : public QComboBox {
  Q_OBJECT

public:
  explicit ZPHCustomPopUpButton(QWidget* parent = nullptr);
};
