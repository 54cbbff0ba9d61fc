#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QMutex>
#include <QtCore/QString>

#include <functional>
#include <map>
#include <memory>
#include <typeindex>

class ZPHNotificationCenter;
class ZPHTheme;
class ZPHUserDefaults;

// The theme classes of the program, the one instance of each, and the
// current theme. ZPHTheme's class methods use the registry of the process
// (shared()); tests make their own over their own defaults.
//
// Failures are logged and answered with null or false, in every build: an
// empty identifier, an identifier without a registered class, a theme of a
// class that was not registered. Tables and instances live as long as the
// registry. Switching runs on the main thread: a switch asked for on another
// thread is re-sent there.
class ZPHThemeRegistry {
public:
  using Factory = std::function<std::unique_ptr<ZPHTheme>()>;

  // Reads the stored choice from `defaults` and posts to `center`; both must
  // outlive the registry.
  ZPHThemeRegistry(ZPHUserDefaults& defaults, ZPHNotificationCenter& center);
  ~ZPHThemeRegistry();
  ZPHThemeRegistry(const ZPHThemeRegistry&) = delete;
  ZPHThemeRegistry& operator=(const ZPHThemeRegistry&) = delete;

  // The registry of the process, over the standard user defaults and the
  // default notification center.
  static ZPHThemeRegistry& shared();

  // Records a theme class under its identifier; a later registration under
  // the same identifier replaces the earlier one. False (logged) for an
  // empty identifier or no factory.
  bool registerThemeClass(const QString& themeIdentifier, const std::type_info& themeClass, Factory factory);

  // The one instance of the class registered under the identifier, made on
  // first request; null (logged) when no class is registered under it.
  ZPHTheme* themeWithIdentifier(const QString& themeIdentifier);

  // The identifier that "ZPHSubthemeStyleIndexKey" chooses: null when the
  // key is absent, the dark theme's for the number 1, else the light theme's.
  QString themeIdentifierFromUserDefaults() const;

  // Chosen once, on the first call: a theme switched to before stays; else
  // the theme the defaults choose; else the light theme. Later calls return
  // the same theme until a switch. Null only when no light theme is
  // registered (logged).
  ZPHTheme* currentTheme();
  QString currenThemeIdentifier();

  // Switches unless the identifier is the current one; false when nothing
  // changed.
  bool switchToThemeWithIdentifier(const QString& newThemeIdentifier);
  // Makes the theme current and posts ZPHThemeChangedNotification with it as
  // object; false when it already was current or is not a registered class.
  bool switchToTheme(ZPHTheme* theme);

  ZPHTheme* lightTheme();
  ZPHTheme* darkTheme();

private:
  struct ThemeClass {
    std::type_index type;
    Factory factory;
  };

  bool isRegisteredClass(const ZPHTheme* theme) const;

  ZPHUserDefaults& m_defaults;
  ZPHNotificationCenter& m_center;
  mutable QMutex m_mutex;
  std::map<QString, ThemeClass> m_classes;
  std::map<QString, std::unique_ptr<ZPHTheme>> m_instances;
  ZPHTheme* m_current = nullptr;
  bool m_chosen = false;
};
