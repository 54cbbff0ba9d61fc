#include "shell/CBDesktopApplications.h"

#include "common/ZPHDesktopEntries.h"
#include "common/ZPHShellLog.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimer>
#include <QtGui/QDesktopServices>

CBDesktopApplication CBDesktopApplicationWithID(const QString& desktopFileID)
{
  const ZPHDesktopEntry entry = ZPHDesktopEntries::entryWithID(desktopFileID);
  if (entry.isNull())
    return {};
  return {entry.desktopFileID, entry.path, entry.name, entry.programPath()};
}

void CBDefaultApplicationForScheme(const QString& scheme, QObject* context,
                                   std::function<void(const CBDesktopApplication&)> done)
{
  QString name = scheme.trimmed().toLower();
  if (name.endsWith(u':'))
    name.chop(1);
  static const QRegularExpression validScheme(QStringLiteral("^[a-z][a-z0-9+.-]*$"));
  if (context == nullptr || !done)
    return;
  if (!validScheme.match(name).hasMatch()) {
    QTimer::singleShot(0, context, [done] { done({}); });
    return;
  }
  ZPHDesktopEntries::queryDefaultApplication(
      QStringLiteral("x-scheme-handler/") + name, context,
      [done](const QString& id) { done(id.isEmpty() ? CBDesktopApplication() : CBDesktopApplicationWithID(id)); });
}

void CBDefaultBrowser(QObject* context, std::function<void(const CBDesktopApplication&)> done)
{
  CBDefaultApplicationForScheme(QStringLiteral("http"), context, std::move(done));
}

int CBLaunchApplicationAtPath(const QString& path, const QStringList& arguments)
{
  if (path.isEmpty() || !QFileInfo::exists(path))
    return -43;
  return QProcess::startDetached(path, arguments) ? 0 : -1;
}

bool CBApplicationIsInstalled(const QString& name)
{
  if (name.isEmpty() || name.contains(u'/'))
    return false;
  return !QStandardPaths::findExecutable(name).isEmpty() ||
         !CBDesktopApplicationWithID(name + QStringLiteral(".desktop")).isNull();
}

QUrl CBURLForDefaultBrowser(const QUrl& url)
{
  if (!url.isValid())
    return {};
  QString text = url.toString().trimmed();
  text.replace(QLatin1String(" "), QLatin1String("%20"));
  text.replace(QLatin1String("&amp;"), QLatin1String("&"));
  text.replace(QLatin1String("&#38;"), QLatin1String("&"));
  text.replace(QLatin1String("^"), QLatin1String("%5E"));
  const QUrl cleaned(text);
  const QString scheme = cleaned.scheme().toLower();
  if (!cleaned.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
      cleaned.host().isEmpty())
    return {};
  return cleaned;
}

bool CBOpenURLInDefaultBrowser(const QUrl& url, bool behind, const std::function<bool(const QUrl&)>& open)
{
  Q_UNUSED(behind);
  const QUrl cleaned = CBURLForDefaultBrowser(url);
  if (!cleaned.isValid()) {
    if (!url.isEmpty())
      qCWarning(zphShell).noquote() << "only http and https addresses go to the web browser, not"
                                    << url.toString(QUrl::RemoveUserInfo).left(200);
    return false;
  }
  return open ? open(cleaned) : QDesktopServices::openUrl(cleaned);
}

bool CBOpenURLInDefaultBrowserInFront(const QUrl& url) { return CBOpenURLInDefaultBrowser(url, false); }
