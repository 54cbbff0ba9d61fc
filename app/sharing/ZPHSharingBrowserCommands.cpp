#include "sharing/ZPHSharingBrowserCommands.h"

#include "common/ZPHAppServices.h"
#include "kit/ZPHInterfaceLog.h"
#include "sharing/CBPluginHelper.h"
#include "sharing/CBUserInterfaceContext.h"

#include <QtCore/QCoreApplication>

#include <algorithm>

// MARK: - Open in Browser

ZPHSharingCommandOpenInBrowser::ZPHSharingCommandOpenInBrowser()
    : ZPHSharingCommandBase(CommandIDPrefix + QStringLiteral("OpenInBrowser"),
                            QCoreApplication::translate("ZPHSharingPluginOpenInBrowser", "Open in Browser"),
                            QCoreApplication::translate("ZPHSharingPluginOpenInBrowser", "Open in Browser"),
                            OpenInBrowser)
{
}

bool ZPHSharingCommandOpenInBrowser::validateWithItems(const QList<CBSharableItem>& items) const
{
  return validateOneItemWithAddress(items) && isWebAddress(addressOfItem(items.first()));
}

bool ZPHSharingCommandOpenInBrowser::performCommandWithArray(const QList<CBSharableItem>& items,
                                                             const CBUserInterfaceContext& context,
                                                             CBPluginHelper* helper, ZPHError* error)
{
  Q_UNUSED(error);
  for (const CBSharableItem& item : items) {
    const QUrl address = addressOfItem(item);
    // Checked again here: nothing but a web address reaches a browser.
    if (!isWebAddress(address))
      continue;
    ZPHAppServices::current().openLink(address,
                                       {ZPHAppServices::LinkPlace::ExternalBrowser, true, context.event().isKeyDown()});
    if (helper != nullptr)
      helper->noteUserDidShareItem(item, QStringLiteral("browser"));
  }
  return true;
}

// MARK: - Open in a chosen browser

ZPHPluginCommandOpenInAnyBrowser::ZPHPluginCommandOpenInAnyBrowser(ZPHDesktopEntry entry)
    : ZPHSharingCommandBase(CommandIDPrefix + QStringLiteral("OpenInAnyBrowser.") + entry.name,
                            QCoreApplication::translate("ZPHPluginCommandOpenInBrowser", "Open in %1").arg(entry.name),
                            entry.name, OpenInBrowser),
      m_entry(std::move(entry))
{
}

QImage ZPHPluginCommandOpenInAnyBrowser::appIcon() const
{
  if (!m_iconRead) {
    m_iconRead = true;
    const QIcon icon = m_entry.iconImage();
    if (!icon.isNull())
      m_icon = icon.pixmap(32, 32).toImage();
  }
  return m_icon;
}

bool ZPHPluginCommandOpenInAnyBrowser::validateWithItems(const QList<CBSharableItem>& items) const
{
  return validateOneItemWithAddress(items) && isWebAddress(addressOfItem(items.first()));
}

bool ZPHPluginCommandOpenInAnyBrowser::sendSharableItem(const CBSharableItem& item) const
{
  const QUrl address = addressOfItem(item);
  if (!isWebAddress(address)) {
    qCInfo(zphInterface) << "only web addresses go to a browser";
    return false;
  }
  return m_entry.launchWithURL(address);
}

bool ZPHPluginCommandOpenInAnyBrowser::performCommandWithArray(const QList<CBSharableItem>& items,
                                                               const CBUserInterfaceContext& context,
                                                               CBPluginHelper* helper, ZPHError* error)
{
  Q_UNUSED(context);
  Q_UNUSED(error);
  if (items.isEmpty() || !sendSharableItem(items.first()))
    return false;
  if (helper != nullptr)
    helper->noteUserDidShareItem(items.first(), appName().isEmpty() ? bundleID() : appName());
  return true;
}

// MARK: - The browsers

QList<ZPHDesktopEntry> ZPHSharingPluginOpenInAnyBrowser::installedBrowsers()
{
  QList<ZPHDesktopEntry> browsers;
  for (const ZPHDesktopEntry& entry : ZPHDesktopEntry::allEntries()) {
    if (entry.isUsable() && entry.isWebBrowser() && !entry.name.isEmpty())
      browsers.append(entry);
  }
  std::stable_sort(browsers.begin(), browsers.end(), [](const ZPHDesktopEntry& a, const ZPHDesktopEntry& b) {
    return ZPHDesktopEntry::compareNames(a.name, b.name) < 0;
  });
  return browsers;
}

bool ZPHSharingPluginOpenInAnyBrowser::shouldRegister(ZPHPluginManager* manager)
{
  Q_UNUSED(manager);
  m_commands.clear();
  for (const ZPHDesktopEntry& entry : installedBrowsers())
    m_commands.push_back(std::make_unique<ZPHPluginCommandOpenInAnyBrowser>(entry));
  return true;
}

QList<ZPHSharingPluginCommand*> ZPHSharingPluginOpenInAnyBrowser::allCommands() const
{
  return ZPHCommandPointers(m_commands);
}

QString ZPHSharingPluginOpenInAnyBrowser::titleForGroup() const
{
  return QCoreApplication::translate("ZPHSharingPluginOpenInAnyBrowser", "Open in");
}
