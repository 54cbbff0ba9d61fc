#pragma once

// Qt kind: QWidget.

#include "themes/ZPHCustomSegmentedControl.h"

// A segmented control for the toolbar, drawn like the desktop's tool
// buttons, that draws each segment's image with its sharpest representation
// that fits: the tallest one whose height in points at the screen's pixel
// ratio is below the control's height minus 4. It never takes the keyboard
// focus.
class CBToolbarSegmentedControl : public ZPHCustomSegmentedControl {
  Q_OBJECT

public:
  explicit CBToolbarSegmentedControl(QWidget* parent = nullptr);

  // The image to draw for the segment: from the image set for it (none when
  // none was set), a new image holding only the representation chosen as
  // above, with the image's mask flag; the image as set when none fits.
  QIcon zph_imageWithBestRepresentationForSegment(int segment) const;

protected:
  void paintEvent(QPaintEvent* event) override;
};
