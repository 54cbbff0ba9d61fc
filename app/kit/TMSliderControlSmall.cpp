#include "kit/TMSliderControlSmall.h"

#include "kit/ZPHNamedImage.h"

TMSliderControlSmall::TMSliderControlSmall(QWidget* parent) : TMSliderControl(parent)
{
  resize(sizeHint());
  layoutHandle();
}

QImage TMSliderControlSmall::sliderWellOn() const { return ZPHNamedImage(QStringLiteral("SmallSliderWellOn")); }

QImage TMSliderControlSmall::sliderWellOff() const { return ZPHNamedImage(QStringLiteral("SmallSliderWellOff")); }

QImage TMSliderControlSmall::sliderHandleImage() const { return ZPHNamedImage(QStringLiteral("SmallSliderHandle")); }

QImage TMSliderControlSmall::sliderHandleDownImage() const
{
  return ZPHNamedImage(QStringLiteral("SmallSliderHandleDown"));
}

QImage TMSliderControlSmall::currentWellImage() const { return state() ? sliderWellOn() : sliderWellOff(); }

QRectF TMSliderControlSmall::handleControlRectOn() const { return QRectF(width() - 27, height() - 18, 27, 18); }

QRectF TMSliderControlSmall::handleControlRectOff() const { return QRectF(0, height() - 18, 27, 18); }
