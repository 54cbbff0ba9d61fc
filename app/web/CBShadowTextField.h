#pragma once

// Qt kind: QWidget (QLabel).

#include "kit/ZPHElidingLabel.h"
#include "kit/ZPHShadow.h"

// A one-line plain-text field that draws its text over a soft shadow: white
// at half opacity, one point below, not blurred, unless told otherwise.
class CBShadowTextField : public ZPHElidingLabel {
  Q_OBJECT

public:
  explicit CBShadowTextField(QWidget* parent = nullptr);

  ZPHShadow shadow() const { return m_shadow; }
  void setShadow(const ZPHShadow& shadow);

private:
  ZPHShadow m_shadow;
};
