#pragma once

// Qt kind: none (a plain class).

#include "themes/ZPHThemeRegistry.h"
#include "themes/ZPHThemeValue.h"

#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtGui/QBrush>
#include <QtGui/QColor>
#include <QtGui/QImage>

#include <memory>
#include <type_traits>
#include <typeinfo>

class FRNHStretchableImage;

// Posted on the main thread through the default notification center after
// the current theme changed; object: the new theme (ZPHTheme*).
extern const QString ZPHThemeChangedNotification;  // "ZPHThemeChangedNotification"
// User default (unsigned number): 1 chooses the dark theme at start, any
// other value or none the light theme. The registry only reads it.
extern const QString ZPHSubthemeStyleIndexKey;  // "ZPHSubthemeStyleIndexKey"
extern const QString ZPHLightThemeIdentifier;   // "com.fernhollow.zephlin.themeIdentifiers.lightTheme"
extern const QString ZPHDarkThemeIdentifier;    // "com.fernhollow.zephlin.themeIdentifiers.darkTheme"

// The interface theme: the named colours, knob styles, opacities and images
// that every custom-drawn view asks for at the moment it draws. A view takes
// ZPHTheme::currentTheme() when it paints, asks it for each value by name and
// keeps nothing between paints; after ZPHThemeChangedNotification it asks
// again.
//
// ZPHTheme is abstract and has no state. Concrete themes derive from
// ZPHGeneralTheme, which answers what both themes share; each theme class
// keeps its values in a table (ZPHThemeValueTable), and an accessor asks the
// tables from the most derived class down. A colour defined through another
// accessor is resolved on the theme that is asked.
//
// Every colour accessor builds a new QColor; an invalid QColor means "no
// colour" and the view draws nothing for that element (no shadow, no glow).
// An accessor that no table answers logs once and answers no colour (0 for
// knob styles and opacities).
//
// The class methods are the registry (see ZPHThemeRegistry): themes are
// registered by an explicit call at start-up (ZPHRegisterThemes()), the
// current theme is chosen from "ZPHSubthemeStyleIndexKey" on first use and
// changes only through a switch. Main thread only.
class ZPHTheme {
public:
  virtual ~ZPHTheme();
  ZPHTheme(const ZPHTheme&) = delete;
  ZPHTheme& operator=(const ZPHTheme&) = delete;

  // The key under which the class is registered, and the suffix of its image
  // names ("lightTheme", "darkTheme"). ZPHTheme and ZPHGeneralTheme log and
  // answer empty.
  virtual QString themeIdentifier() const;
  virtual QString themeImageFilenameIdentifier() const;

  // The accessors, one per line of ZPHThemeAccessors.inc.
#define ZPH_THEME_COLOR(name) \
  QColor name() const { return color(ZPHThemeValueName::name); }
#define ZPH_THEME_PATTERN(name) \
  QBrush name() const { return pattern(ZPHThemeValueName::name); }
#define ZPH_THEME_KNOB_STYLE(name) \
  ZPHScrollerKnobStyle name() const { return knobStyle(ZPHThemeValueName::name); }
#define ZPH_THEME_OPACITY(name) \
  double name() const { return opacity(ZPHThemeValueName::name); }
#include "themes/ZPHThemeAccessors.inc"

  // The same values by name.
  QColor color(ZPHThemeValueName name) const;
  // Made once per process for each image and then returned unchanged; no
  // brush (Qt::NoBrush) when the image is missing.
  QBrush pattern(ZPHThemeValueName name) const;
  ZPHScrollerKnobStyle knobStyle(ZPHThemeValueName name) const;
  double opacity(ZPHThemeValueName name) const;

  // The accessor's name as written in code, e.g. "articleListDividerColor".
  static const char* valueNameString(ZPHThemeValueName name);

  // Themed images: "<imageName>_<themeImageFilenameIdentifier>", e.g.
  // "emptyButton_darkTheme", looked up like every named image (ZPHNamedImage).
  QString themedImageNameForImageName(const QString& imageName) const;
  // A null image (logged) when the name is empty or the image is missing.
  QImage imageNamed(const QString& imageName) const;
  // Null (logged) when the name is empty or the image is missing.
  std::shared_ptr<FRNHStretchableImage> stretchableImageNamed(const QString& imageName) const;

  // The registry of the process (ZPHThemeRegistry::shared()).
  template <class ThemeClass>
  static bool registerThemeClass();
  static ZPHTheme* themeWithIdentifier(const QString& themeIdentifier);
  static QString themeIdentifierFromUserDefaults();
  static ZPHTheme* currentTheme();
  // The current theme's identifier (the name is spelled so).
  static QString currenThemeIdentifier();
  static void switchToThemeWithIdentifier(const QString& newThemeIdentifier);
  static void switchToTheme(ZPHTheme* theme);
  static ZPHTheme* lightTheme();
  static ZPHTheme* darkTheme();

protected:
  ZPHTheme() = default;

  // The value this class (or a base) defines for `name`; null when none.
  virtual const ZPHThemeValue* valueFor(ZPHThemeValueName name) const;

private:
  const ZPHThemeValue* definedValue(ZPHThemeValueName name) const;
  QColor resolveColor(ZPHThemeValueName name, int depth) const;
};

Q_DECLARE_METATYPE(ZPHTheme*)

template <class ThemeClass>
bool ZPHTheme::registerThemeClass()
{
  static_assert(std::is_base_of_v<ZPHTheme, ThemeClass>, "a theme class derives from ZPHTheme");
  const ThemeClass probe;  // themes have no state: asking one for its identifier costs nothing
  return ZPHThemeRegistry::shared().registerThemeClass(probe.themeIdentifier(), typeid(ThemeClass),
                                                       [] { return std::make_unique<ThemeClass>(); });
}
