#pragma once

// Qt kind: QWidget (QAbstractButton).

#include "kit/TMSliderControl.h"

// The small on/off switch: other images ("SmallSliderWellOn",
// "SmallSliderWellOff", "SmallSliderHandle", "SmallSliderHandleDown"; the
// mask of the regular switch), a handle of 27 x 18 points from edge to edge,
// and a well that shows the state.
class TMSliderControlSmall : public TMSliderControl {
  Q_OBJECT

public:
  explicit TMSliderControlSmall(QWidget* parent = nullptr);

  QImage sliderWellOn() const override;
  QImage sliderWellOff() const override;
  QImage sliderHandleImage() const override;
  QImage sliderHandleDownImage() const override;
  QImage currentWellImage() const override;

  // Off (0, 0, 27, 18), on (width - 27, 0, 27, 18), at the bottom.
  QRectF handleControlRectOn() const override;
  QRectF handleControlRectOff() const override;

  QSize sizeHint() const override { return QSize(50, 18); }
};
