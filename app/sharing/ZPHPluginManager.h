#pragma once

// Qt kind: none (a plain class).

#include "sharing/CBSharableItem.h"
#include "sharing/CBUserInterfaceContext.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CBAppObserver;
class CBPlugin;
class CBPluginHelper;
class QAction;
class QMenu;
class QObject;
class QWidget;
class ZPHError;
class ZPHSharingPluginCommand;

// The sharing plug-ins and their commands. Plug-in classes are known by
// name through a static registry of factories (the built-in ones always;
// others by registerPluginClass()); registering a name makes one instance,
// which may veto, and keeps it and its commands for the life of the
// manager. The manager answers which commands of a type exist and how they
// show (one command of a type in a plug-in shows alone, two or more as the
// plug-in's group), builds menu items for them, remembers which command and
// which item a menu item stands for, and runs a command with a
// user-interface context and the plug-in helper.
//
// The application's manager is sharedManager(); the application delegate
// loads the plug-ins into it at start-up (loadPlugins()). Main thread only.
class ZPHPluginManager {
public:
  using PluginFactory = std::function<std::unique_ptr<CBPlugin>()>;

  // The information resource and its key naming the plug-ins to load.
  static const QString InformationResource;  // ":/Info.json"
  static const QString PluginsSharingKey;    // "Plugins_Sharing"
  // The plug-in that is always loaded.
  static const QString OpenInBrowserPluginClassName;  // "ZPHSharingPluginOpenInBrowser"

  // Adds (or replaces) a plug-in class to the registry; a factory that
  // answers null names no plug-in.
  static void registerPluginClass(const QString& className, PluginFactory factory);
  static bool isPluginClassKnown(const QString& className);
  // The class names "Plugins_Sharing" lists in the information resource;
  // empty when the resource or the key is missing or not a list of names.
  static QStringList sharingPluginClassNamesFromInformation(const QString& resource = InformationResource);

  // The application's manager, made on first use and kept.
  static ZPHPluginManager* sharedManager();

  ZPHPluginManager();
  ~ZPHPluginManager();
  ZPHPluginManager(const ZPHPluginManager&) = delete;
  ZPHPluginManager& operator=(const ZPHPluginManager&) = delete;

  // The host object handed to every command; one, made with the manager.
  CBPluginHelper* pluginHelper() const { return m_pluginHelper.get(); }

  // ---- Registration
  // The start-up registration: the names of the information resource, then
  // the open-in-browser plug-in (once in all, at its place in the list when
  // the list names it).
  void loadPlugins(const QString& resource = InformationResource);
  // Each name's class, in order; unknown names are skipped.
  void registerPluginsWithClassNames(const QStringList& classNames);
  // Registers a class once: a class seen before (registered or vetoed) and
  // a factory that makes nothing are skipped; a plug-in whose
  // shouldRegister() answers no is dropped.
  void registerPluginOfClass(const QString& className);

  QList<CBPlugin*> plugins() const;
  QStringList pluginClasses() const { return m_pluginClasses; }
  QList<ZPHSharingPluginCommand*> commands() const { return m_commands; }
  QList<CBPlugin*> appObserverPlugins() const;
  // The class name a registered plug-in was made from.
  QString classNameOfPlugin(const CBPlugin* plugin) const;

  // ---- Queries (in registration order)
  QList<ZPHSharingPluginCommand*> commandsOfType(int type) const;
  QList<ZPHSharingPluginCommand*> sharingCommands() const { return m_sharingCommands; }
  // Null for an empty identifier or none that matches.
  ZPHSharingPluginCommand* pluginCommandWithCommandID(const QString& commandID) const;
  ZPHSharingPluginCommand* sharingCommandWithCommandID(const QString& commandID) const;
  template <class T>
  T* pluginCommandOfClass() const
  {
    for (ZPHSharingPluginCommand* command : allPluginCommands())
      if (auto* found = dynamic_cast<T*>(command))
        return found;
    return nullptr;
  }
  QList<CBPlugin*> sharingPlugins() const;
  QList<ZPHSharingPluginCommand*> sharingCommandsInPlugin(const CBPlugin* plugin) const;
  QList<ZPHSharingPluginCommand*> pluginCommandsOfType(int type, const CBPlugin* plugin) const;
  // The plug-in's one command of the type, or null (none, or a group).
  ZPHSharingPluginCommand* soloPluginCommandOfType(int type, const CBPlugin* plugin) const;
  // The plug-in's commands of the type when it has two or more.
  QList<ZPHSharingPluginCommand*> groupedCommandsOfType(int type, const CBPlugin* plugin) const;
  QList<ZPHSharingPluginCommand*> soloPluginCommandsOfType(int type) const;
  QList<CBPlugin*> pluginsWithSoloCommandsOfType(int type) const;
  QList<CBPlugin*> pluginsWithGroupedCommandsOfType(int type) const;
  QList<ZPHSharingPluginCommand*> groupedCommandsOfType(int type) const;
  // The solo commands, then the grouped ones.
  QList<ZPHSharingPluginCommand*> orderedPluginCommandsOfType(int type) const;
  static bool commandIsOfType(const ZPHSharingPluginCommand* command, int type);

  // ---- Menus
  // A menu item for the command: its title (its short title when indented
  // and it has one), its menu image (else its image) at 16 x 16, associated
  // with the command and the item; choosing it runs the command on the
  // item from the associated view. Answers the item added.
  QAction* addPluginCommandToMenu(ZPHSharingPluginCommand* command, QMenu* menu,
                                  const std::optional<CBSharableItem>& object, int indentationLevel);
  void addSoloPluginCommandsOfType(int type, QMenu* menu, const std::optional<CBSharableItem>& object);
  // A disabled label item with the plug-in's group title (none without a
  // title). Menus do not indent, so the label stands above the group.
  QAction* addLabelForPlugin(const CBPlugin* plugin, QMenu* menu);
  void addGroupedPluginCommandsOfType(int type, QMenu* menu, const std::optional<CBSharableItem>& object,
                                      bool indentGroupedItems);
  // The solo commands, then each group (under its label when indenting).
  void addPluginCommandsOfType(int type, QMenu* menu, const std::optional<CBSharableItem>& object,
                               bool indentGroupedItems);

  // What a menu item stands for, kept on the item for as long as it lives.
  static void associateMenuItemWithPluginCommand(QAction* menuItem, ZPHSharingPluginCommand* command);
  static ZPHSharingPluginCommand* associatedPluginCommandForMenuItem(const QAction* menuItem);
  static void associateMenuItemWithObject(QAction* menuItem, const CBSharableItem& object);
  static std::optional<CBSharableItem> associatedObjectForMenuItem(const QAction* menuItem);
  // The view and view controller the menu item's object was shown in (the
  // popover's anchor).
  static void associateMenuItemWithView(QAction* menuItem, QWidget* view);
  static QWidget* associatedViewForMenuItem(const QAction* menuItem);
  static void associateMenuItemWithViewController(QAction* menuItem, QObject* viewController);
  static QObject* associatedViewControllerForMenuItem(const QAction* menuItem);
  // The indentation a menu item was made with (0 or 1).
  static int indentationLevelOfMenuItem(const QAction* menuItem);

  // ---- Running
  bool validateCommand(const ZPHSharingPluginCommand* command, const QList<CBSharableItem>& items) const;
  // Runs the command on the items with a context made of the view
  // controller, view, control and event, and the manager's helper; the
  // command's answer and error come back unchanged.
  bool runPluginCommand(ZPHSharingPluginCommand* command, const QList<CBSharableItem>& items,
                        QObject* sendingViewController, QWidget* sendingView, QWidget* sendingControl,
                        CBUserInterfaceContext::Event event, ZPHError* error);

  // What runs a command chosen from a menu item that carries no item: the
  // main window runs it on the article it presents. Without one, nothing.
  void setPerformerForItemlessMenuItems(std::function<void(ZPHSharingPluginCommand* command)> performer)
  {
    m_itemlessPerformer = std::move(performer);
  }
  // Runs the command of a menu item made here: on its item, from its view
  // and view controller; without an item through the performer above.
  void performMenuItem(const QAction* menuItem);

  // ---- Observers
  // Calls `call` on each plug-in of the list that observes, in order.
  static void makePluginsPerform(const QList<CBPlugin*>& plugins, const std::function<void(CBAppObserver*)>& call);
  void makeAppObserversPerform(const std::function<void(CBAppObserver*)>& call) const;

private:
  QList<ZPHSharingPluginCommand*> allPluginCommands() const;
  void registerCommandsInPlugin(CBPlugin* plugin);
  void registerObserverPlugin(CBPlugin* plugin);
  void updateSharingCommands();

  struct Registered {
    QString className;
    std::unique_ptr<CBPlugin> plugin;
  };
  std::vector<Registered> m_plugins;
  QStringList m_pluginClasses;
  QList<ZPHSharingPluginCommand*> m_commands;
  QList<ZPHSharingPluginCommand*> m_sharingCommands;
  QList<CBPlugin*> m_appObserverPlugins;
  std::unique_ptr<CBPluginHelper> m_pluginHelper;
  std::function<void(ZPHSharingPluginCommand* command)> m_itemlessPerformer;
};
