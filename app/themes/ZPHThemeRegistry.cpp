#include "themes/ZPHThemeRegistry.h"

#include "kit/ZPHInterfaceLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QMutexLocker>
#include <QtCore/QVariant>

namespace {

// The stored choice as the unsigned number it is meant to be; 0 for
// anything that is not a number.
qulonglong unsignedValue(const QVariant& value)
{
  bool ok = false;
  const qulonglong number = value.toULongLong(&ok);
  if (ok)
    return number;
  const double real = value.toDouble(&ok);
  return ok && real >= 0 ? static_cast<qulonglong>(real) : 0;
}

}  // namespace

ZPHThemeRegistry::ZPHThemeRegistry(ZPHUserDefaults& defaults, ZPHNotificationCenter& center)
    : m_defaults(defaults), m_center(center)
{
}

ZPHThemeRegistry::~ZPHThemeRegistry() = default;

ZPHThemeRegistry& ZPHThemeRegistry::shared()
{
  static ZPHThemeRegistry registry(ZPHUserDefaults::standardUserDefaults(), ZPHNotificationCenter::defaultCenter());
  return registry;
}

bool ZPHThemeRegistry::registerThemeClass(const QString& themeIdentifier, const std::type_info& themeClass,
                                          Factory factory)
{
  if (themeIdentifier.isEmpty() || !factory) {
    qCCritical(zphInterface) << "Refused a theme class without identifier or factory:" << themeClass.name();
    return false;
  }
  const QMutexLocker locker(&m_mutex);
  m_classes.insert_or_assign(themeIdentifier, ThemeClass{std::type_index(themeClass), std::move(factory)});
  return true;
}

ZPHTheme* ZPHThemeRegistry::themeWithIdentifier(const QString& themeIdentifier)
{
  if (themeIdentifier.isEmpty()) {
    qCCritical(zphInterface) << "Asked for a theme without identifier";
    return nullptr;
  }
  const QMutexLocker locker(&m_mutex);
  if (const auto instance = m_instances.find(themeIdentifier); instance != m_instances.end())
    return instance->second.get();
  const auto themeClass = m_classes.find(themeIdentifier);
  if (themeClass == m_classes.end()) {
    qCCritical(zphInterface) << "Cannot find theme class for identifier" << themeIdentifier;
    return nullptr;
  }
  std::unique_ptr<ZPHTheme> theme = themeClass->second.factory();
  ZPHTheme* const result = theme.get();
  if (result != nullptr)
    m_instances.emplace(themeIdentifier, std::move(theme));
  return result;
}

QString ZPHThemeRegistry::themeIdentifierFromUserDefaults() const
{
  const QVariant stored = m_defaults.objectForKey(ZPHSubthemeStyleIndexKey);
  if (!stored.isValid() || stored.isNull())
    return {};
  return unsignedValue(stored) == 1 ? ZPHDarkThemeIdentifier : ZPHLightThemeIdentifier;
}

ZPHTheme* ZPHThemeRegistry::currentTheme()
{
  {
    const QMutexLocker locker(&m_mutex);
    if (m_chosen || m_current != nullptr) {
      m_chosen = true;
      return m_current;
    }
  }
  // First use: the stored choice, else the light theme. Looked up without
  // the lock, which themeWithIdentifier() takes.
  ZPHTheme* chosen = nullptr;
  const QString stored = themeIdentifierFromUserDefaults();
  if (!stored.isEmpty())
    chosen = themeWithIdentifier(stored);
  if (chosen == nullptr)
    chosen = lightTheme();

  const QMutexLocker locker(&m_mutex);
  if (m_current == nullptr)
    m_current = chosen;
  m_chosen = m_current != nullptr;
  return m_current;
}

QString ZPHThemeRegistry::currenThemeIdentifier()
{
  ZPHTheme* const theme = currentTheme();
  return theme != nullptr ? theme->themeIdentifier() : QString();
}

bool ZPHThemeRegistry::switchToThemeWithIdentifier(const QString& newThemeIdentifier)
{
  if (newThemeIdentifier.isEmpty()) {
    qCCritical(zphInterface) << "Asked to switch to a theme without identifier";
    return false;
  }
  if (newThemeIdentifier == currenThemeIdentifier())
    return false;
  ZPHTheme* const theme = themeWithIdentifier(newThemeIdentifier);
  return theme != nullptr && switchToTheme(theme);
}

bool ZPHThemeRegistry::switchToTheme(ZPHTheme* theme)
{
  if (!ZPHMainThread::isMainThread()) {
    qCWarning(zphInterface) << "A theme switch was asked for on a secondary thread; it runs on the main thread";
    ZPHMainThread::async([this, theme] { switchToTheme(theme); });
    return false;
  }
  if (theme == nullptr || !isRegisteredClass(theme)) {
    qCCritical(zphInterface) << "Refused to switch to a theme whose class is not registered";
    return false;
  }
  {
    const QMutexLocker locker(&m_mutex);
    if (m_current == theme)
      return false;
    m_current = theme;
    m_chosen = true;
  }
  m_center.post(ZPHThemeChangedNotification, QVariant::fromValue(theme));
  return true;
}

ZPHTheme* ZPHThemeRegistry::lightTheme() { return themeWithIdentifier(ZPHLightThemeIdentifier); }

ZPHTheme* ZPHThemeRegistry::darkTheme() { return themeWithIdentifier(ZPHDarkThemeIdentifier); }

bool ZPHThemeRegistry::isRegisteredClass(const ZPHTheme* theme) const
{
  const std::type_index type(typeid(*theme));
  const QMutexLocker locker(&m_mutex);
  for (const auto& entry : m_classes) {
    if (entry.second.type == type)
      return true;
  }
  return false;
}
