#include "themes/ZPHThemePalette.h"

#include "themes/ZPHTheme.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

bool ZPHThemePalette::currentThemeIsDark()
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  return theme != nullptr && theme->themeIdentifier() == ZPHDarkThemeIdentifier;
}

QPalette ZPHThemePalette::paletteForTheme(const ZPHTheme* theme, const QPalette& desktop)
{
  if (theme == nullptr || theme->themeIdentifier() != ZPHDarkThemeIdentifier)
    return desktop;
  // The dark article list's greys: its background for the window, its read
  // rows for fields, its text, its selection.
  const QColor window = theme->articleListEmptyBackgroundColor();
  const QColor base = theme->articleListItemReadKeyBackgroundColor();
  const QColor text = theme->articleListItemUnreadKeyTextColor();
  const QColor dimText = theme->articleListItemReadKeyTextColor();
  const QColor button = theme->splitGroupHeaderBackgroundColor();
  QPalette palette(desktop);
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const bool disabled = group == QPalette::Disabled;
    palette.setColor(group, QPalette::Window, window);
    palette.setColor(group, QPalette::Base, base);
    palette.setColor(group, QPalette::AlternateBase, window);
    palette.setColor(group, QPalette::Button, button);
    palette.setColor(group, QPalette::WindowText, disabled ? dimText : text);
    palette.setColor(group, QPalette::Text, disabled ? dimText : text);
    palette.setColor(group, QPalette::ButtonText, disabled ? dimText : text);
    palette.setColor(group, QPalette::BrightText, Qt::white);
    palette.setColor(group, QPalette::PlaceholderText, dimText);
    palette.setColor(group, QPalette::Light, button.lighter(150));
    palette.setColor(group, QPalette::Midlight, button.lighter(120));
    palette.setColor(group, QPalette::Mid, window.darker(130));
    palette.setColor(group, QPalette::Dark, window.darker(160));
    palette.setColor(group, QPalette::Shadow, Qt::black);
  }
  palette.setColor(QPalette::Active, QPalette::Highlight, theme->articleListSelectedItemKeyGraphiteBackgroundColor());
  palette.setColor(QPalette::Inactive, QPalette::Highlight, theme->articleListSelectedItemInactiveBackgroundColor());
  palette.setColor(QPalette::Disabled, QPalette::Highlight, theme->articleListSelectedItemInactiveBackgroundColor());
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    palette.setColor(group, QPalette::HighlightedText, theme->articleListSelectedItemKeyTextColor());
  return palette;
}

void ZPHThemePalette::applyCurrentTheme(QWidget* window)
{
  if (window == nullptr)
    return;
  if (!currentThemeIsDark())
    window->setPalette(QPalette());  // what it inherits again
  else
    window->setPalette(paletteForTheme(ZPHTheme::currentTheme(), QApplication::palette(window)));
}
