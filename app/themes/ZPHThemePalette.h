#pragma once

// Qt kind: none (static functions).

#include <QtGui/QPalette>

class QWidget;
class ZPHTheme;

// The colours of a window's plain controls (menu bar, toolbar, source list,
// status area, popovers) in a theme. The light theme leaves them to the
// desktop; the dark theme gives them dark ones from its own greys, so no
// light block is left in a dark window. Main thread.
class ZPHThemePalette {
public:
  ZPHThemePalette() = delete;

  // Whether the current theme is the dark one: the controls drawn in greys
  // of their own (the style popover's) draw dark greys then.
  static bool currentThemeIsDark();
  // The palette of the theme over the desktop's.
  static QPalette paletteForTheme(const ZPHTheme* theme, const QPalette& desktop);
  // Gives the window the current theme's palette: the dark one, or back to
  // what it inherits in the light theme.
  static void applyCurrentTheme(QWidget* window);
};
