#include "themes/ZPHTheme.h"

#include "kit/CBColorExtras.h"
#include "kit/FRNHStretchableImage.h"
#include "kit/ZPHInterfaceLog.h"
#include "kit/ZPHNamedImage.h"

#include <QtCore/QHash>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtGui/QGuiApplication>
#include <QtGui/QPalette>

#include <array>
#include <bitset>

const QString ZPHThemeChangedNotification = QStringLiteral("ZPHThemeChangedNotification");
const QString ZPHSubthemeStyleIndexKey = QStringLiteral("ZPHSubthemeStyleIndexKey");
const QString ZPHLightThemeIdentifier = QStringLiteral("com.fernhollow.zephlin.themeIdentifiers.lightTheme");
const QString ZPHDarkThemeIdentifier = QStringLiteral("com.fernhollow.zephlin.themeIdentifiers.darkTheme");

namespace {

constexpr std::array<const char*, ZPHThemeValueCount> kValueNames = {
#define ZPH_THEME_COLOR(name) #name,
#define ZPH_THEME_PATTERN(name) #name,
#define ZPH_THEME_KNOB_STYLE(name) #name,
#define ZPH_THEME_OPACITY(name) #name,
#include "themes/ZPHThemeAccessors.inc"
};

// References deeper than this are a loop in a table.
constexpr int kMaximumReferenceDepth = 16;

// An accessor that no table answers is logged once per process.
void logUndefinedOnce(ZPHThemeValueName name, const char* what)
{
  static QMutex mutex;
  static std::bitset<ZPHThemeValueCount> logged;
  const int index = static_cast<int>(name);
  {
    const QMutexLocker locker(&mutex);
    if (logged.test(index))
      return;
    logged.set(index);
  }
  qCCritical(zphInterface) << "Theme subclass should define" << what << kValueNames[index];
}

}  // namespace

ZPHTheme::~ZPHTheme() = default;

QString ZPHTheme::themeIdentifier() const
{
  qCCritical(zphInterface) << "Theme subclass should define its identifier";
  return {};
}

QString ZPHTheme::themeImageFilenameIdentifier() const
{
  qCCritical(zphInterface) << "Theme subclass should define its image suffix";
  return {};
}

const char* ZPHTheme::valueNameString(ZPHThemeValueName name)
{
  const int index = static_cast<int>(name);
  return index >= 0 && index < ZPHThemeValueCount ? kValueNames[index] : "";
}

const ZPHThemeValue* ZPHTheme::valueFor(ZPHThemeValueName) const { return nullptr; }

const ZPHThemeValue* ZPHTheme::definedValue(ZPHThemeValueName name) const
{
  const int index = static_cast<int>(name);
  if (index < 0 || index >= ZPHThemeValueCount)
    return nullptr;
  return valueFor(name);
}

QColor ZPHTheme::color(ZPHThemeValueName name) const { return resolveColor(name, 0); }

QColor ZPHTheme::resolveColor(ZPHThemeValueName name, int depth) const
{
  const ZPHThemeValue* const value = definedValue(name);
  if (value == nullptr) {
    logUndefinedOnce(name, "color");
    return {};
  }
  if (depth > kMaximumReferenceDepth) {
    qCCritical(zphInterface) << "Theme colour references loop at" << valueNameString(name);
    return {};
  }
  using Kind = ZPHThemeValue::Kind;
  switch (value->kind) {
    case Kind::NoColor:
      return {};
    case Kind::Rgb:
      return QColor::fromRgbF(value->a, value->b, value->c, value->d);
    case Kind::Hsb:
      return QColor::fromHsvF(value->a, value->b, value->c, value->d);
    case Kind::Same:
      return resolveColor(value->other, depth + 1);
    case Kind::SameAtAlpha: {
      QColor color = resolveColor(value->other, depth + 1);
      if (color.isValid())
        color.setAlphaF(value->a);
      return color;
    }
    case Kind::SameShadowed:
      return cb_shadowWithLevel(resolveColor(value->other, depth + 1), value->a);
    case Kind::ClearColor:
      return QColor(0, 0, 0, 0);
    case Kind::BlackColor:
      return QColor(0, 0, 0);
    case Kind::KeyboardFocusIndicatorColor:
      return QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    case Kind::Number:
    case Kind::Pattern:
      break;
  }
  qCCritical(zphInterface) << valueNameString(name) << "is not a colour";
  return {};
}

QBrush ZPHTheme::pattern(ZPHThemeValueName name) const
{
  const ZPHThemeValue* const value = definedValue(name);
  if (value == nullptr) {
    logUndefinedOnce(name, "pattern");
    return {};
  }
  if (value->kind != ZPHThemeValue::Kind::Pattern || value->imageName == nullptr)
    return {};
  // One brush per image for the life of the process.
  static QMutex mutex;
  static QHash<QString, QBrush> brushes;
  const QString imageName = QString::fromLatin1(value->imageName);
  const QMutexLocker locker(&mutex);
  if (const auto brush = brushes.constFind(imageName); brush != brushes.constEnd())
    return *brush;
  const QImage image = ZPHNamedImage(imageName);
  if (image.isNull()) {
    qCCritical(zphInterface) << "Can't find image named" << imageName;
    return {};
  }
  const QBrush brush(image);
  brushes.insert(imageName, brush);
  return brush;
}

ZPHScrollerKnobStyle ZPHTheme::knobStyle(ZPHThemeValueName name) const
{
  const ZPHThemeValue* const value = definedValue(name);
  if (value == nullptr) {
    logUndefinedOnce(name, "knob style");
    return ZPHScrollerKnobStyle::Default;
  }
  if (value->kind != ZPHThemeValue::Kind::Number)
    return ZPHScrollerKnobStyle::Default;
  const int style = static_cast<int>(value->a);
  return style >= 0 && style <= 2 ? static_cast<ZPHScrollerKnobStyle>(style) : ZPHScrollerKnobStyle::Default;
}

double ZPHTheme::opacity(ZPHThemeValueName name) const
{
  const ZPHThemeValue* const value = definedValue(name);
  if (value == nullptr) {
    logUndefinedOnce(name, "opacity");
    return 0;
  }
  return value->kind == ZPHThemeValue::Kind::Number ? value->a : 0;
}

QString ZPHTheme::themedImageNameForImageName(const QString& imageName) const
{
  const QString suffix = themeImageFilenameIdentifier();
  if (imageName.isEmpty() || suffix.isEmpty()) {
    qCCritical(zphInterface) << "Invalid themed image name" << imageName << "for theme suffix" << suffix;
    return {};
  }
  return imageName + QLatin1Char('_') + suffix;
}

QImage ZPHTheme::imageNamed(const QString& imageName) const
{
  const QString themedName = themedImageNameForImageName(imageName);
  if (themedName.isEmpty())
    return {};
  QImage image = ZPHNamedImage(themedName);
  if (image.isNull())
    qCCritical(zphInterface) << "Can't find image named" << imageName << "(" << themedName << ")";
  return image;
}

std::shared_ptr<FRNHStretchableImage> ZPHTheme::stretchableImageNamed(const QString& imageName) const
{
  const QString themedName = themedImageNameForImageName(imageName);
  if (themedName.isEmpty())
    return {};
  std::shared_ptr<FRNHStretchableImage> image = FRNHStretchableImage::imageNamed(themedName);
  if (image == nullptr)
    qCCritical(zphInterface) << "Can't find stretchable image named:" << imageName << "(" << themedName << ")";
  return image;
}

ZPHTheme* ZPHTheme::themeWithIdentifier(const QString& themeIdentifier)
{
  return ZPHThemeRegistry::shared().themeWithIdentifier(themeIdentifier);
}

QString ZPHTheme::themeIdentifierFromUserDefaults()
{
  return ZPHThemeRegistry::shared().themeIdentifierFromUserDefaults();
}

ZPHTheme* ZPHTheme::currentTheme() { return ZPHThemeRegistry::shared().currentTheme(); }

QString ZPHTheme::currenThemeIdentifier() { return ZPHThemeRegistry::shared().currenThemeIdentifier(); }

void ZPHTheme::switchToThemeWithIdentifier(const QString& newThemeIdentifier)
{
  ZPHThemeRegistry::shared().switchToThemeWithIdentifier(newThemeIdentifier);
}

void ZPHTheme::switchToTheme(ZPHTheme* theme) { ZPHThemeRegistry::shared().switchToTheme(theme); }

ZPHTheme* ZPHTheme::lightTheme() { return ZPHThemeRegistry::shared().lightTheme(); }

ZPHTheme* ZPHTheme::darkTheme() { return ZPHThemeRegistry::shared().darkTheme(); }
