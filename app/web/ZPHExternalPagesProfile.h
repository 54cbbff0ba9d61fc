#pragma once

// Qt kind: QObject.

#include <QtCore/QObject>
#include <QtCore/QString>

class QWebEngineProfile;
class ZPHUserDefaults;

// The web profile of browser pages, "ZPHExternalPages": kept on disk
// (cookies, caches) in the application's folders and nowhere else (the
// engine's first settings of a named profile go to "WebEngine/Defaults"
// in the data folder, not the user's standard data folder), scripts on but never
// opening windows by themselves, tab moving through links, plug-ins as the
// ZPHPluginsEnabled setting says (followed while the profile lives), PDF
// and other documents never shown inside (they go to the default browser).
// Local files reach neither other files nor the web, and a drop never
// navigates a page. Addresses of schemes no handler takes are never handed
// to the desktop by the engine. Its user agent is the engine's with
// "Version/6.0 Zephlin/<version>" after it. It never gets the internal
// schemes' handlers, the article page's bridge or an inspector: browser
// pages reach none of the application's own content.
//
// The web engine starts only when the profile is first asked for. The
// owner lets the profile go after every page that uses it, and before the
// application object.
class ZPHExternalPagesProfile : public QObject {
  Q_OBJECT

public:
  // "ZPHExternalPages".
  static QString storageName();
  // Before the web engine starts (main()): no page of the process gets a
  // debugging port or the developer tools, whatever the environment asks
  // (QTWEBENGINE_REMOTE_DEBUGGING, such flags in QTWEBENGINE_CHROMIUM_FLAGS).
  static void closeDebuggingEntrances();
  // Before the web engine starts (main()): XDG_DATA_HOME written out (its
  // default when unset or relative), so that the profile can point it at a
  // folder of its own for the moment it is made without adding a variable
  // to the environment while the engine's threads may read it.
  static void settleStandardDataFolder();

  // The profile's files go below the folders ("WebEngine"); empty folders
  // keep it off the record. Null defaults: the standard ones.
  ZPHExternalPagesProfile(const QString& dataFolder, const QString& cacheFolder, ZPHUserDefaults* defaults = nullptr,
                          QObject* parent = nullptr);
  ~ZPHExternalPagesProfile() override;

  // Made on first use (main thread).
  QWebEngineProfile* profile();
  bool hasProfile() const { return m_profile != nullptr; }

private:
  void applyPluginsSetting();

  QString m_dataFolder;
  QString m_cacheFolder;
  ZPHUserDefaults* m_defaults;
  QWebEngineProfile* m_profile = nullptr;
};
