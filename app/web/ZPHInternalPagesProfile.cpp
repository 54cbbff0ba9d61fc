#include "web/ZPHInternalPagesProfile.h"

#include "feeds/images/CBFaviconURLProtocol.h"
#include "feeds/images/CBLocalStyleSheetProtocol.h"
#include "feeds/images/ZPHImageCacheProtocol.h"
#include "foundation/CBPrefs.h"
#include "platform/ZPHUserDefaults.h"
#include "web/ZPHURLSchemeHandler.h"

#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineSettings>

ZPHInternalPagesProfile::ZPHInternalPagesProfile(QObject* parent) : QObject(parent) {}

ZPHInternalPagesProfile::~ZPHInternalPagesProfile()
{
  if (m_profile)
    m_profile->removeAllUrlSchemeHandlers();
  delete m_profile;
  qDeleteAll(m_handlers);
}

QWebEngineProfile* ZPHInternalPagesProfile::profile()
{
  if (m_profile)
    return m_profile;
  m_profile = new QWebEngineProfile;  // no storage name: off the record
  const auto install = [this](const QString& scheme, ZPHURLSchemeHandler::Responder responder) {
    auto* handler = new ZPHURLSchemeHandler(std::move(responder));
    m_handlers.insert(scheme.toLatin1(), handler);
    m_profile->installUrlSchemeHandler(scheme.toLatin1(), handler);
  };
  install(CBLocalStyleSheetProtocol::styleSheetScheme(), &CBLocalStyleSheetProtocol::responseForURL);
  install(CBLocalStyleSheetProtocol::ripplesScheme(), &CBLocalStyleSheetProtocol::responseForURL);
  install(CBFaviconURLProtocol::scheme(), &CBFaviconURLProtocol::responseForURL);
  install(ZPHImageCacheProtocol::scheme(), &ZPHImageCacheProtocol::responseForURL);
  // Plug-ins follow the setting, as the browser's pages do.
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const auto applyPlugins = [this, &defaults] {
    m_profile->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, defaults.boolForKey(ZPHPluginsEnabled));
  };
  applyPlugins();
  defaults.observe(ZPHPluginsEnabled, this, [applyPlugins](const QVariant&) { applyPlugins(); });
  return m_profile;
}
