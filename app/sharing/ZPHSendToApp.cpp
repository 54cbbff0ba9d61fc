#include "sharing/ZPHSendToApp.h"

#include "kit/ZPHInterfaceLog.h"
#include "kit/ZPHNamedImage.h"
#include "sharing/CBPluginHelper.h"
#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHWebSharePage.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <algorithm>

const QString ZPHSharingPluginSendToApp::ListFileName = QStringLiteral("SendToApps.json");
const QString ZPHSharingPluginSendToApp::BundledList = QStringLiteral(":/Sharing/SendToApps.json");

namespace {

// A list of applications is small; a larger file is not read.
constexpr qint64 LargestList = 256 * 1024;

QString withoutAppSuffix(const QString& name)
{
  return name.endsWith(QLatin1String(".app"), Qt::CaseInsensitive) ? name.chopped(4) : name;
}

QJsonObject readList(const QString& path)
{
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > LargestList)
    return {};
  return QJsonDocument::fromJson(file.readAll()).object();
}

QString encoded(const QString& value) { return QString::fromLatin1(QUrl::toPercentEncoding(value)); }

}  // namespace

// MARK: - Specifier

ZPHSendToAppSpecifier::ZPHSendToAppSpecifier(const QString& appName, const QJsonValue& configInfo)
    : m_appName(withoutAppSuffix(appName))
{
  if (configInfo.isString()) {
    m_appBundleID = configInfo.toString();
    m_usesAPI = true;
  } else if (configInfo.isObject()) {
    const QJsonObject config = configInfo.toObject();
    m_appBundleID = config.value(QStringLiteral("BundleID")).toString();
    m_urlSchemeTemplate = config.value(QStringLiteral("URLTemplate")).toString();
    m_usesURLScheme = !m_urlSchemeTemplate.isEmpty();
  }
  ZPHDesktopEntry entry = ZPHDesktopEntry::entryWithID(m_appBundleID);
  if (!entry.isUsable())
    entry = ZPHDesktopEntry::entryWithID(m_appName + QStringLiteral(".desktop"));
  if (entry.isUsable())
    m_entry = entry;
}

QImage ZPHSendToAppSpecifier::icon() const
{
  if (!m_iconRead) {
    m_iconRead = true;
    const QIcon icon = m_entry.iconImage();
    if (!icon.isNull())
      m_icon = icon.pixmap(32, 32).toImage();
  }
  return m_icon;
}

// MARK: - Command

ZPHPluginCommandSendToApp::ZPHPluginCommandSendToApp(std::shared_ptr<ZPHSendToAppSpecifier> specifier)
    : ZPHSharingCommandBase(
          CommandIDPrefix + QStringLiteral("SendToApp.") + specifier->appName(),
          specifier->appName().toLower() == QLatin1String("twitter")
              ? QCoreApplication::translate("ZPHPluginCommandSendToApp_Twitter", "Share on Twitter")
              : QCoreApplication::translate("ZPHPluginComandSendToApp", "Send to %1").arg(specifier->appName()),
          specifier->appName(), SendToApplication),
      m_specifier(std::move(specifier))
{
}

bool ZPHPluginCommandSendToApp::isTwitter() const { return m_specifier->appName() == QLatin1String("Twitter"); }

QImage ZPHPluginCommandSendToApp::image() const
{
  const QImage named = ZPHNamedImage(QStringLiteral("toolbar_share_%1").arg(m_specifier->appName().toLower()));
  return named.isNull() ? m_specifier->icon() : named;
}

QImage ZPHPluginCommandSendToApp::menuImage() const
{
  const QImage named = ZPHNamedImage(QStringLiteral("toolbar_share_%1_menu").arg(m_specifier->appName().toLower()));
  return named.isNull() ? m_specifier->icon() : named;
}

bool ZPHPluginCommandSendToApp::validateWithItems(const QList<CBSharableItem>& items) const
{
  if (!validateOneItemWithAddress(items))
    return false;
  // The share page is a web page: web addresses only.
  return !isTwitter() || isWebAddress(addressOfItem(items.first()));
}

QUrl ZPHPluginCommandSendToApp::filledURLTemplate(const QString& urlTemplate, const QUrl& address, const QString& title)
{
  const QUrl templateURL(urlTemplate);
  if (templateURL.scheme().isEmpty())
    return {};
  QString filled = urlTemplate;
  filled.replace(QLatin1String("[[url]]"), encoded(QString::fromUtf8(address.toEncoded())));
  filled.replace(QLatin1String("[[title]]"), encoded(title));
  const QUrl url(filled, QUrl::StrictMode);
  if (!url.isValid() || url.scheme().compare(templateURL.scheme(), Qt::CaseInsensitive) != 0)
    return {};
  return url;
}

bool ZPHPluginCommandSendToApp::sendSharableItem(const CBSharableItem& item) const
{
  if (m_specifier->usesAPI()) {
    qCInfo(zphInterface).noquote() << "no application here takes items as event records:" << m_specifier->appName();
    return false;
  }
  if (!m_specifier->usesURLScheme())
    return false;
  const QUrl url = filledURLTemplate(m_specifier->URLSchemeTemplate(), addressOfItem(item), item.title());
  if (!url.isValid()) {
    qCWarning(zphInterface).noquote() << "the address template of" << m_specifier->appName() << "gives no address";
    return false;
  }
  return m_specifier->appExistsOnDisk() && m_specifier->desktopEntry().launchWithURL(url);
}

bool ZPHPluginCommandSendToApp::performCommandWithArray(const QList<CBSharableItem>& items,
                                                        const CBUserInterfaceContext& context, CBPluginHelper* helper,
                                                        ZPHError* error)
{
  Q_UNUSED(context);
  Q_UNUSED(error);
  if (items.isEmpty())
    return false;
  m_sharableItem = items.first();
  if (isTwitter()) {
    const QUrl address = addressOfItem(m_sharableItem);
    return isWebAddress(address) &&
           ZPHWebSharePage::openShareURL(QStringLiteral("Twitter"), address, m_sharableItem.title());
  }
  const bool sent = sendSharableItem(m_sharableItem);
  const CBSharableItem item = std::exchange(m_sharableItem, CBSharableItem());
  if (!sent)
    return false;
  if (helper != nullptr)
    helper->noteUserDidShareItem(
        item, m_specifier->appName().isEmpty() ? m_specifier->appBundleID() : m_specifier->appName());
  return true;
}

// MARK: - Plug-in

bool ZPHSharingPluginSendToApp::equalAppNames(const QString& appName1, const QString& appName2)
{
  return withoutAppSuffix(appName1.toLower()) == withoutAppSuffix(appName2.toLower());
}

std::vector<std::unique_ptr<ZPHPluginCommandSendToApp>> ZPHSharingPluginSendToApp::buildCommands(
    const QString& dataFolder)
{
  std::vector<std::unique_ptr<ZPHPluginCommandSendToApp>> commands;
  const auto exists = [&commands](const QString& name) {
    return std::any_of(commands.begin(), commands.end(), [&name](const auto& command) {
      return equalAppNames(command->sendToAppSpecifier().appName(), name);
    });
  };
  QStringList lists;
  if (!dataFolder.isEmpty())
    lists.append(QDir(dataFolder).filePath(ListFileName));
  lists.append(BundledList);
  for (const QString& path : std::as_const(lists)) {
    const QJsonObject list = readList(path);
    for (auto it = list.constBegin(); it != list.constEnd(); ++it) {
      if (it.value().isString()) {
        qCInfo(zphInterface).noquote() << "no application here takes items as event records; skipped" << it.key();
        continue;
      }
      auto specifier = std::make_shared<ZPHSendToAppSpecifier>(it.key(), it.value());
      if (specifier->appExistsOnDisk() && !exists(specifier->appName()))
        commands.push_back(std::make_unique<ZPHPluginCommandSendToApp>(specifier));
    }
  }
  // The short-message service is always offered: its share page needs no
  // application.
  if (!exists(QStringLiteral("Twitter"))) {
    const QJsonObject bundled = readList(BundledList);
    if (bundled.contains(QStringLiteral("Twitter")))
      commands.push_back(std::make_unique<ZPHPluginCommandSendToApp>(std::make_shared<ZPHSendToAppSpecifier>(
          QStringLiteral("Twitter"), bundled.value(QStringLiteral("Twitter")))));
  }
  std::stable_sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) {
    return ZPHDesktopEntry::compareNames(a->sendToAppSpecifier().appName(), b->sendToAppSpecifier().appName()) < 0;
  });
  return commands;
}

bool ZPHSharingPluginSendToApp::shouldRegister(ZPHPluginManager* manager)
{
  const CBPluginHelper* helper = manager != nullptr ? manager->pluginHelper() : nullptr;
  m_commands = buildCommands(helper != nullptr ? helper->pathToDataFolder() : QString());
  return true;
}

QList<ZPHSharingPluginCommand*> ZPHSharingPluginSendToApp::allCommands() const
{
  return ZPHCommandPointers(m_commands);
}

QString ZPHSharingPluginSendToApp::titleForGroup() const
{
  return QCoreApplication::translate("ZPHSharingPluginSendToApp", "Send to App");
}
