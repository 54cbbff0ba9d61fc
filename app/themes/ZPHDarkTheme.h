#pragma once

// Qt kind: none (a plain class).

#include "themes/ZPHGeneralTheme.h"

// The dark interface theme, "com.fernhollow.zephlin.themeIdentifiers.darkTheme";
// its images end in "_darkTheme".
class ZPHDarkTheme : public ZPHGeneralTheme {
public:
  ZPHDarkTheme() = default;

  QString themeIdentifier() const override;
  QString themeImageFilenameIdentifier() const override;

protected:
  const ZPHThemeValue* valueFor(ZPHThemeValueName name) const override;
};
