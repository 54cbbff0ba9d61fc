#include "web/CBShadowTextField.h"

CBShadowTextField::CBShadowTextField(QWidget* parent) : ZPHElidingLabel(parent)
{
  setShadow(ZPHShadow(0, QColor::fromRgbF(1, 1, 1, 0.5), QPointF(0, 1)));
}

void CBShadowTextField::setShadow(const ZPHShadow& shadow)
{
  m_shadow = shadow;
  ZPHElidingLabel::setShadow(shadow.color(), shadow.offset());
}
