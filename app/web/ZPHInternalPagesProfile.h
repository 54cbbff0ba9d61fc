#pragma once

// Qt kind: QObject.

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QObject>

class QWebEngineProfile;
class ZPHURLSchemeHandler;

// The web profile of the application's own pages (the article page): off
// the record, with the handlers of the internal schemes installed, plug-ins
// as the ZPHPluginsEnabled setting says (followed while it lives). Browser
// tabs use a profile of their own that never gets these handlers.
//
// The web engine starts only when the profile is first asked for. The
// owner lets the profile go before the application object, and after every
// page that uses it.
class ZPHInternalPagesProfile : public QObject {
  Q_OBJECT

public:
  explicit ZPHInternalPagesProfile(QObject* parent = nullptr);
  ~ZPHInternalPagesProfile() override;

  // Made on first use (main thread).
  QWebEngineProfile* profile();
  bool hasProfile() const { return m_profile != nullptr; }

  // The handler of one of the internal schemes; nullptr before profile().
  ZPHURLSchemeHandler* handlerForScheme(const QByteArray& scheme) const { return m_handlers.value(scheme); }

private:
  QWebEngineProfile* m_profile = nullptr;
  QHash<QByteArray, ZPHURLSchemeHandler*> m_handlers;
};
