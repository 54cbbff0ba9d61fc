#pragma once

// Qt kind: none (a plain class).

#include "sharing/CBPlugin.h"
#include "sharing/ZPHSharingPluginCommand.h"

#include <QtCore/QString>

#include <memory>

// What the built-in commands share: a fixed identifier, titles, one type and
// images by name (the menu image falling back to the image), and the usual
// validation (one item with an address).
class ZPHSharingCommandBase : public ZPHSharingPluginCommand {
public:
  // Identifiers of the built-in commands start so.
  static const QString CommandIDPrefix;  // "com.fernhollow.Zephlin.plugin.sharing."

  ZPHSharingCommandBase(QString commandID, QString title, QString shortTitle, int type, QString imageName = {});

  bool validateWithItems(const QList<CBSharableItem>& items) const override;
  QString title() const override { return m_title; }
  QString commandID() const override { return m_commandID; }
  QList<int> commandTypes() const override { return {m_type}; }
  QString shortTitle() const override { return m_shortTitle; }
  // The image named so, and "<name>_menu" for menus.
  QImage image() const override;
  QImage menuImage() const override;

  // Whether the address may go to a web browser: http or https with a host.
  static bool isWebAddress(const QUrl& url);

private:
  QString m_commandID;
  QString m_title;
  QString m_shortTitle;
  int m_type;
  QString m_imageName;
};

// The commands a plug-in owns, as the plug-in lists them.
template <class OwnedCommands>
QList<ZPHSharingPluginCommand*> ZPHCommandPointers(const OwnedCommands& owned)
{
  QList<ZPHSharingPluginCommand*> list;
  for (const auto& command : owned) list.append(command.get());
  return list;
}

// A plug-in with one command, made when the plug-in registers.
template <class Command>
class ZPHSingleCommandPlugin : public CBPlugin {
public:
  bool shouldRegister(ZPHPluginManager* manager) override
  {
    Q_UNUSED(manager);
    m_command = std::make_unique<Command>();
    return true;
  }
  QList<ZPHSharingPluginCommand*> allCommands() const override
  {
    return m_command ? QList<ZPHSharingPluginCommand*>{m_command.get()} : QList<ZPHSharingPluginCommand*>{};
  }
  Command* command() const { return m_command.get(); }

private:
  std::unique_ptr<Command> m_command;
};
