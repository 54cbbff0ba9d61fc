#pragma once

// Qt kind: none (a plain class).

#include "common/ZPHDesktopEntry.h"
#include "sharing/ZPHSharingCommandBase.h"

#include <QtGui/QImage>

#include <memory>
#include <vector>

// "Open in Browser": the item's address in the web browser, through the
// application's one road for links; the held keys count when it was
// chosen with a key press. Web addresses only.
class ZPHSharingCommandOpenInBrowser : public ZPHSharingCommandBase {
public:
  ZPHSharingCommandOpenInBrowser();
  bool validateWithItems(const QList<CBSharableItem>& items) const override;
  bool performCommandWithArray(const QList<CBSharableItem>& items, const CBUserInterfaceContext& context,
                               CBPluginHelper* helper, ZPHError* error) override;
};

class ZPHSharingPluginOpenInBrowser : public ZPHSingleCommandPlugin<ZPHSharingCommandOpenInBrowser> {};

// "Open in <browser>": the address in one installed browser, started from
// its desktop entry with the address as one argument. Web addresses only,
// checked when offered and again at launch.
class ZPHPluginCommandOpenInAnyBrowser : public ZPHSharingCommandBase {
public:
  explicit ZPHPluginCommandOpenInAnyBrowser(ZPHDesktopEntry entry);

  QString appName() const { return m_entry.name; }
  // The desktop-file ID stands for the bundle identifier.
  QString bundleID() const { return m_entry.desktopFileID; }
  QString appPath() const { return m_entry.path; }
  QImage appIcon() const;
  const ZPHDesktopEntry& desktopEntry() const { return m_entry; }

  bool validateWithItems(const QList<CBSharableItem>& items) const override;
  bool performCommandWithArray(const QList<CBSharableItem>& items, const CBUserInterfaceContext& context,
                               CBPluginHelper* helper, ZPHError* error) override;
  QImage image() const override { return appIcon(); }
  QImage menuImage() const override { return {}; }
  bool sendSharableItem(const CBSharableItem& item) const;

private:
  ZPHDesktopEntry m_entry;
  mutable QImage m_icon;
  mutable bool m_iconRead = false;
};

// One command per installed web browser, listed once when the plug-in
// registers and sorted by name; shown as the group "Open in".
class ZPHSharingPluginOpenInAnyBrowser : public CBPlugin {
public:
  bool shouldRegister(ZPHPluginManager* manager) override;
  QList<ZPHSharingPluginCommand*> allCommands() const override;
  bool commandsShouldBeGrouped() const override { return true; }
  QString titleForGroup() const override;

  // The browsers the desktop lists: usable web-browser entries, by name in
  // the locale's order (numbers by value).
  static QList<ZPHDesktopEntry> installedBrowsers();

private:
  std::vector<std::unique_ptr<ZPHPluginCommandOpenInAnyBrowser>> m_commands;
};
