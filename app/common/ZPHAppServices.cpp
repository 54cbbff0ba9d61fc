#include "common/ZPHAppServices.h"

#include "common/ZPHApplicationNotifications.h"
#include "kit/ZPHInterfaceLog.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtGui/QAction>
#include <QtGui/QDesktopServices>

namespace {

// What a program without the application does: the desktop opens web and
// mail addresses, the rest is logged.
class DesktopOnlyServices final : public ZPHAppServices {
public:
  LinkOutcome openLink(const QUrl& url, const LinkRequest& request) override
  {
    const QString scheme = url.scheme().toLower();
    if (request.place == LinkPlace::MailProgram) {
      if (scheme != QLatin1String("mailto") || !QDesktopServices::openUrl(url))
        return LinkOutcome::Refused;
      return LinkOutcome::External;
    }
    const bool web = (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
    if (!web || !QDesktopServices::openUrl(url)) {
      qCInfo(zphInterface) << "a link that is no web address was not opened";
      return LinkOutcome::Refused;
    }
    ZPHNotificationCenter::defaultCenter().post(ZPHAppDelegateDidOpenURLInExternalWebBrowserNotification,
                                                QVariant::fromValue(url));
    return LinkOutcome::External;
  }

  void handleSubscribeToFeedRequest(const QString& urlString, bool, bool) override
  {
    qCInfo(zphInterface).noquote() << "no application to subscribe to"
                                   << QUrl(urlString).toString(QUrl::RemoveUserInfo);
  }

  void applicationOpenFiles(const QStringList& paths) override
  {
    qCInfo(zphInterface).noquote() << "no application to open" << paths;
  }

  QAction* commandAction(const QString&) const override { return nullptr; }
  bool runModalSheet(QDialog*, std::function<void()>) override { return false; }
  QString applicationNameForWebviewUserAgent() const override { return {}; }
};

ZPHAppServices* g_registered = nullptr;

QString applicationVersion()
{
  const QString version = QCoreApplication::applicationVersion();
  return version.isEmpty() ? QStringLiteral(ZEPHLIN_VERSION) : version;
}

}  // namespace

ZPHAppServices::~ZPHAppServices() { unregisterServices(this); }

bool ZPHAppServices::openDocument(const QUrl& fileURL)
{
  return fileURL.isLocalFile() && QDesktopServices::openUrl(fileURL);
}

ZPHAppServices& ZPHAppServices::current()
{
  static DesktopOnlyServices standIn;
  return g_registered != nullptr ? *g_registered : standIn;
}

void ZPHAppServices::registerServices(ZPHAppServices* services) { g_registered = services; }

void ZPHAppServices::unregisterServices(ZPHAppServices* services)
{
  if (g_registered == services)
    g_registered = nullptr;
}

bool ZPHAppServices::hasApplication() { return g_registered != nullptr; }

QAction* ZPHAppServices::enabledCommandAction(const QString& selector)
{
  QAction* action = current().commandAction(selector);
  return action != nullptr && action->isEnabled() ? action : nullptr;
}

bool ZPHAppServices::isProbablyOPMLFile(const QString& path)
{
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == QLatin1String("opml") || suffix == QLatin1String("xml");
}

QString ZPHAppServices::webViewApplicationName()
{
  static const QString name = QStringLiteral("Version/6.0 Zephlin/%1").arg(applicationVersion());
  return name;
}
