#pragma once

// Qt kind: none (a value type).

// One entry of a theme's value table: how a theme answers one accessor.
// A value is a constant colour, "no colour", a number, a tiled image, or a
// reference to another accessor of the same theme. References are resolved
// on the theme that is asked, so a subclass that overrides the referenced
// accessor changes the referring one as well.

#include <QtCore/QtGlobal>

// The name of every theme accessor, in the order of ZPHThemeAccessors.inc.
enum class ZPHThemeValueName : int {
#define ZPH_THEME_COLOR(name) name,
#define ZPH_THEME_PATTERN(name) name,
#define ZPH_THEME_KNOB_STYLE(name) name,
#define ZPH_THEME_OPACITY(name) name,
#include "themes/ZPHThemeAccessors.inc"
  Count
};

constexpr int ZPHThemeValueCount = static_cast<int>(ZPHThemeValueName::Count);

// The look of a scroll bar's knob.
enum class ZPHScrollerKnobStyle : int { Default = 0, Dark = 1, Light = 2 };

struct ZPHThemeValue {
  enum class Kind : quint8 {
    NoColor,                      // the view draws nothing for this element
    Rgb,                          // components in [0, 1]
    Hsb,                          // hue, saturation, brightness, alpha in [0, 1]
    Same,                         // the colour of `other`
    SameAtAlpha,                  // the colour of `other` with alpha `a`
    SameShadowed,                 // the colour of `other` blended toward black by `a`
    ClearColor,                   // fully transparent
    BlackColor,                   // opaque black
    KeyboardFocusIndicatorColor,  // the desktop's focus (highlight) colour
    Number,                       // a knob style or an opacity, in `a`
    Pattern,                      // the image `imageName`, tiled
  };

  Kind kind = Kind::NoColor;
  double a = 0;
  double b = 0;
  double c = 0;
  double d = 1;
  ZPHThemeValueName other = ZPHThemeValueName::Count;
  const char* imageName = nullptr;
};

// The notation of the value tables.
namespace ZPHThemeValues {

using Kind = ZPHThemeValue::Kind;
using N = ZPHThemeValueName;

// Grey of white level w.
constexpr ZPHThemeValue W(double w, double alpha = 1) { return {Kind::Rgb, w, w, w, alpha}; }
constexpr ZPHThemeValue HSB(double h, double s, double b, double alpha = 1) { return {Kind::Hsb, h, s, b, alpha}; }
constexpr ZPHThemeValue RGB(double r, double g, double b, double alpha = 1) { return {Kind::Rgb, r, g, b, alpha}; }
// Components from 0 to 255.
constexpr ZPHThemeValue RGB255(double r, double g, double b, double alpha = 1)
{
  return {Kind::Rgb, r / 255.0, g / 255.0, b / 255.0, alpha};
}
constexpr ZPHThemeValue Same(N other) { return {Kind::Same, 0, 0, 0, 1, other}; }
constexpr ZPHThemeValue SameAtAlpha(N other, double alpha) { return {Kind::SameAtAlpha, alpha, 0, 0, 1, other}; }
constexpr ZPHThemeValue SameShadowed(N other, double fraction)
{
  return {Kind::SameShadowed, fraction, 0, 0, 1, other};
}
constexpr ZPHThemeValue NoColor() { return {Kind::NoColor}; }
constexpr ZPHThemeValue ClearColor() { return {Kind::ClearColor}; }
constexpr ZPHThemeValue BlackColor() { return {Kind::BlackColor}; }
constexpr ZPHThemeValue KeyboardFocusIndicatorColor() { return {Kind::KeyboardFocusIndicatorColor}; }
constexpr ZPHThemeValue Number(double value) { return {Kind::Number, value}; }
constexpr ZPHThemeValue Pattern(const char* imageName)
{
  return {Kind::Pattern, 0, 0, 0, 1, ZPHThemeValueName::Count, imageName};
}

}  // namespace ZPHThemeValues
