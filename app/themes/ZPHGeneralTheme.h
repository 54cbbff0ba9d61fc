#pragma once

// Qt kind: none (a plain class).

#include "themes/ZPHTheme.h"

// The values the light and dark themes share, and the light look wherever
// the dark theme replaces a value. Never registered or made by itself: it
// has no identifier and no image suffix.
class ZPHGeneralTheme : public ZPHTheme {
protected:
  ZPHGeneralTheme() = default;
  const ZPHThemeValue* valueFor(ZPHThemeValueName name) const override;
};
