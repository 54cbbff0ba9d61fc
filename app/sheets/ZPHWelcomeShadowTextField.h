#pragma once

// Qt kind: QWidget (QLabel).

#include <QtWidgets/QLabel>

// A text of the welcome window: white plain text over a soft dark shadow
// (black at 0.7, blur 3, one point down), wrapped.
class ZPHWelcomeShadowTextField : public QLabel {
  Q_OBJECT

public:
  explicit ZPHWelcomeShadowTextField(const QString& text = QString(), QWidget* parent = nullptr);
};
