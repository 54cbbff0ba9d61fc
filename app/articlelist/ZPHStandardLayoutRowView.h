#pragma once

#include "articlelist/ZPHClassicLayoutRowView.h"

// The standard layout's rows: they draw their separators, and the arrow
// cue is shorter and quicker.
class ZPHStandardLayoutRowView : public ZPHClassicLayoutRowView {
public:
  bool drawsGrid() const override { return true; }
  double arrowAnimationDuration() const override { return 0.4; }
  int arrowWidthMultiplier() const override { return 4; }
};
