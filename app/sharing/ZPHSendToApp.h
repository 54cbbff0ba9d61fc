#pragma once

// Qt kind: none (a plain class).

#include "common/ZPHDesktopEntry.h"
#include "sharing/CBPlugin.h"
#include "sharing/ZPHSharingCommandBase.h"

#include <QtCore/QJsonValue>
#include <QtGui/QImage>

#include <memory>
#include <vector>

// One application the user configured to send items to, from an entry of a
// "SendToApps.json" list: the name (a trailing ".app" dropped) and either a
// desktop-file ID (a string: items sent as an event record, which no
// application here takes) or {"BundleID": <desktop-file ID>, "URLTemplate":
// <address with "[[url]]" and "[[title]]">}: the filled-in address opened
// with that application.
class ZPHSendToAppSpecifier {
public:
  ZPHSendToAppSpecifier(const QString& appName, const QJsonValue& configInfo);

  QString appName() const { return m_appName; }
  QString appBundleID() const { return m_appBundleID; }
  QString URLSchemeTemplate() const { return m_urlSchemeTemplate; }
  // Where its desktop entry is; empty when none was found.
  QString appPath() const { return m_entry.path; }
  bool appExistsOnDisk() const { return !m_entry.isNull(); }
  bool usesAPI() const { return m_usesAPI; }
  bool usesURLScheme() const { return m_usesURLScheme; }
  const ZPHDesktopEntry& desktopEntry() const { return m_entry; }
  QImage icon() const;

private:
  QString m_appName;
  QString m_appBundleID;
  QString m_urlSchemeTemplate;
  bool m_usesAPI = false;
  bool m_usesURLScheme = false;
  ZPHDesktopEntry m_entry;
  mutable QImage m_icon;
  mutable bool m_iconRead = false;
};

// "Send to <application>" ("Share on Twitter" for the "Twitter" entry,
// which opens the service's share page in the web browser).
class ZPHPluginCommandSendToApp : public ZPHSharingCommandBase {
public:
  explicit ZPHPluginCommandSendToApp(std::shared_ptr<ZPHSendToAppSpecifier> specifier);

  const ZPHSendToAppSpecifier& sendToAppSpecifier() const { return *m_specifier; }
  bool validateWithItems(const QList<CBSharableItem>& items) const override;
  bool performCommandWithArray(const QList<CBSharableItem>& items, const CBUserInterfaceContext& context,
                               CBPluginHelper* helper, ZPHError* error) override;
  QImage image() const override;
  QImage menuImage() const override;

  // The template with "[[url]]" and then "[[title]]" replaced by the
  // address and the title, each percent-encoded in full; invalid when that
  // is no address or changes the template's scheme.
  static QUrl filledURLTemplate(const QString& urlTemplate, const QUrl& address, const QString& title);
  // Sends the kept item (by its template); false when it cannot.
  bool sendSharableItem(const CBSharableItem& item) const;

private:
  bool isTwitter() const;
  std::shared_ptr<ZPHSendToAppSpecifier> m_specifier;
  CBSharableItem m_sharableItem;
};

// One command per configured application that is installed, from the data
// folder's "SendToApps.json" and then the bundled list (a name the user
// configured wins over the bundled one), plus the bundled "Twitter" entry
// always; listed once at registration, by name, as the group "Send to App".
class ZPHSharingPluginSendToApp : public CBPlugin {
public:
  static const QString ListFileName;  // "SendToApps.json"
  static const QString BundledList;   // ":/Sharing/SendToApps.json"

  bool shouldRegister(ZPHPluginManager* manager) override;
  QList<ZPHSharingPluginCommand*> allCommands() const override;
  bool commandsShouldBeGrouped() const override { return true; }
  QString titleForGroup() const override;

  // Names match when they do in lower case without a trailing ".app".
  static bool equalAppNames(const QString& appName1, const QString& appName2);
  // The commands for the data folder's list, then the bundled one.
  static std::vector<std::unique_ptr<ZPHPluginCommandSendToApp>> buildCommands(const QString& dataFolder);

private:
  std::vector<std::unique_ptr<ZPHPluginCommandSendToApp>> m_commands;
};
