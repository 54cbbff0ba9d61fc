#include "web/ZPHInternalSchemes.h"

#include "feeds/images/CBFaviconURLProtocol.h"
#include "feeds/images/CBLocalStyleSheetProtocol.h"
#include "feeds/images/ZPHImageCacheProtocol.h"

#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtWebEngineCore/QWebEngineUrlScheme>

namespace {

struct Registry {
  QMutex mutex;
  QList<QByteArray> schemes;
};

Registry& registry()
{
  static Registry shared;
  return shared;
}

}  // namespace

void ZPHInternalSchemes::registerSchemes()
{
  for (const QString& scheme :
       {CBLocalStyleSheetProtocol::styleSheetScheme(), CBLocalStyleSheetProtocol::ripplesScheme(),
        CBFaviconURLProtocol::scheme(), ZPHImageCacheProtocol::scheme()})
    registerInternalScheme(scheme.toLatin1(), false);
}

void ZPHInternalSchemes::registerInternalScheme(const QByteArray& name, bool pagesMayLoadLocalResources)
{
  {
    Registry& r = registry();
    QMutexLocker locker(&r.mutex);
    if (r.schemes.contains(name))
      return;
    r.schemes.append(name);
  }
  QWebEngineUrlScheme scheme(name);
  // "scheme:anything", one origin per scheme.
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  // A scheme of rendered pages may load the other internal schemes; it is not
  // secure, which would keep its pages from loading http images.
  scheme.setFlags(pagesMayLoadLocalResources
                      ? QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed
                      : QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::SecureScheme);
  QWebEngineUrlScheme::registerScheme(scheme);
}

bool ZPHInternalSchemes::isInternalScheme(const QString& scheme)
{
  Registry& r = registry();
  QMutexLocker locker(&r.mutex);
  return r.schemes.contains(scheme.toLower().toLatin1());
}

QList<QByteArray> ZPHInternalSchemes::internalSchemes()
{
  Registry& r = registry();
  QMutexLocker locker(&r.mutex);
  return r.schemes;
}
