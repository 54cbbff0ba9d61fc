#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include "articlelist/ZPHClassicLayoutRowView.h"

// The standard layout's rows: they draw their separators, and the arrow
// cue is shorter and quicker.
class ZPHStandardLayoutRowView : public ZPHClassicLayoutRowView {
public:
  bool drawsGrid() const override { return true; }
  double arrowAnimationDuration() const override { return 0.4; }
  int arrowWidthMultiplier() const override { return 4; }
};
