#pragma once

// Qt kind: QWidget (QLabel).

#include "kit/ZPHElidingLabel.h"

// The text of a status item: one line of plain text, cut at the tail, over
// a light line one point below it (white at half opacity, no blur).
class ZPHStatusViewTextField : public ZPHElidingLabel {
  Q_OBJECT

public:
  explicit ZPHStatusViewTextField(QWidget* parent = nullptr);
};
