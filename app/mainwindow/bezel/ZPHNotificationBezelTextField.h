#pragma once

// Qt kind: QWidget (QLabel).

#include "kit/ZPHElidingLabel.h"

// The text of a notification bezel: one line of plain text in white, cut
// at the tail when the panel is at its widest, over the bezel's small dark
// drop shadow (ZPHNotificationBezelWindow::contentShadow()).
class ZPHNotificationBezelTextField : public ZPHElidingLabel {
  Q_OBJECT

public:
  explicit ZPHNotificationBezelTextField(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
};
