#include "themes/ZPHRegisterThemes.h"

#include "themes/ZPHDarkTheme.h"
#include "themes/ZPHLightTheme.h"

void ZPHRegisterThemes()
{
  ZPHTheme::registerThemeClass<ZPHLightTheme>();
  ZPHTheme::registerThemeClass<ZPHDarkTheme>();
}
