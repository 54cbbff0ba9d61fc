#pragma once

// Qt kind: QWidget (QPushButton).

#include <QtWidgets/QPushButton>

// The welcome window's link to the product's page: a borderless white
// title (light grey while pressed) over a soft shadow.
class ZPHWelcomeTwitterButton : public QPushButton {
  Q_OBJECT

public:
  explicit ZPHWelcomeTwitterButton(const QString& title, QWidget* parent = nullptr);
};
