#include "mainwindow/status/ZPHStatusViewTextField.h"

ZPHStatusViewTextField::ZPHStatusViewTextField(QWidget* parent) : ZPHElidingLabel(parent)
{
  QFont small = font();
  small.setPixelSize(11);
  setFont(small);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setShadow(QColor::fromRgbF(1, 1, 1, 0.5), QPointF(0, 1));
}
