#pragma once

// Qt kind: none (a plain class).

#include "themes/ZPHGeneralTheme.h"

// The light interface theme, "com.fernhollow.zephlin.themeIdentifiers.lightTheme";
// its images end in "_lightTheme".
class ZPHLightTheme : public ZPHGeneralTheme {
public:
  ZPHLightTheme() = default;

  QString themeIdentifier() const override;
  QString themeImageFilenameIdentifier() const override;

protected:
  const ZPHThemeValue* valueFor(ZPHThemeValueName name) const override;
};
