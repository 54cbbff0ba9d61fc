#include "sharing/ZPHPluginManager.h"

#include "sharing/CBPlugin.h"
#include "sharing/CBPluginHelper.h"
#include "sharing/ZPHBuiltInSharingPlugins.h"
#include "sharing/ZPHSharingPluginCommand.h"

#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtGui/QAction>
#include <QtGui/QPixmap>
#include <QtWidgets/QMenu>
#include <QtWidgets/QWidget>

const QString ZPHPluginManager::InformationResource = QStringLiteral(":/Info.json");
const QString ZPHPluginManager::PluginsSharingKey = QStringLiteral("Plugins_Sharing");
const QString ZPHPluginManager::OpenInBrowserPluginClassName = QStringLiteral("ZPHSharingPluginOpenInBrowser");

namespace {

const char* const CommandProperty = "zph_pluginCommand";
const char* const ObjectProperty = "zph_pluginObject";
const char* const ViewProperty = "zph_pluginView";
const char* const ViewControllerProperty = "zph_pluginViewController";
const char* const IndentationProperty = "zph_pluginIndentation";

// A small information file; anything larger is not read.
constexpr qint64 LargestInformationFile = 256 * 1024;

QHash<QString, ZPHPluginManager::PluginFactory>& registry()
{
  static QHash<QString, ZPHPluginManager::PluginFactory> classes = ZPHBuiltInSharingPluginFactories();
  return classes;
}

}  // namespace

// MARK: - Classes

void ZPHPluginManager::registerPluginClass(const QString& className, PluginFactory factory)
{
  if (!className.isEmpty())
    registry().emplace(className, std::move(factory));
}

bool ZPHPluginManager::isPluginClassKnown(const QString& className) { return registry().contains(className); }

QStringList ZPHPluginManager::sharingPluginClassNamesFromInformation(const QString& resource)
{
  QFile file(resource);
  if (!file.open(QIODevice::ReadOnly) || file.size() > LargestInformationFile)
    return {};
  const QJsonValue value = QJsonDocument::fromJson(file.readAll()).object().value(PluginsSharingKey);
  QStringList names;
  for (const auto& name : value.toArray()) {
    if (name.isString())
      names.append(name.toString());
  }
  return names;
}

ZPHPluginManager* ZPHPluginManager::sharedManager()
{
  static ZPHPluginManager* shared = new ZPHPluginManager;
  return shared;
}

ZPHPluginManager::ZPHPluginManager() : m_pluginHelper(std::make_unique<CBPluginHelper>()) {}

ZPHPluginManager::~ZPHPluginManager() = default;

// MARK: - Registration

void ZPHPluginManager::loadPlugins(const QString& resource)
{
  registerPluginsWithClassNames(sharingPluginClassNamesFromInformation(resource));
  registerPluginsWithClassNames({OpenInBrowserPluginClassName});
}

void ZPHPluginManager::registerPluginsWithClassNames(const QStringList& classNames)
{
  for (const QString& name : classNames) {
    if (isPluginClassKnown(name))
      registerPluginOfClass(name);
  }
}

void ZPHPluginManager::registerPluginOfClass(const QString& className)
{
  if (m_pluginClasses.contains(className))
    return;
  const PluginFactory factory = registry().value(className);
  std::unique_ptr<CBPlugin> plugin = factory ? factory() : nullptr;
  if (plugin == nullptr)
    return;  // no plug-in class: not recorded
  // A class that vetoes is not tried again either.
  m_pluginClasses.append(className);
  if (!plugin->shouldRegister(this))
    return;
  plugin->willRegister();
  CBPlugin* registered = plugin.get();
  m_plugins.push_back({className, std::move(plugin)});
  registerCommandsInPlugin(registered);
  registerObserverPlugin(registered);
  registered->didRegister();
}

void ZPHPluginManager::registerCommandsInPlugin(CBPlugin* plugin)
{
  for (ZPHSharingPluginCommand* command : plugin->allCommands()) {
    if (command != nullptr)
      m_commands.append(command);
  }
  updateSharingCommands();
}

void ZPHPluginManager::registerObserverPlugin(CBPlugin* plugin)
{
  if (dynamic_cast<CBAppObserver*>(plugin) != nullptr)
    m_appObserverPlugins.append(plugin);
}

void ZPHPluginManager::updateSharingCommands() { m_sharingCommands = commandsOfType(ZPHSharingPluginCommand::Sharing); }

QList<CBPlugin*> ZPHPluginManager::plugins() const
{
  QList<CBPlugin*> list;
  for (const Registered& entry : m_plugins) list.append(entry.plugin.get());
  return list;
}

QList<CBPlugin*> ZPHPluginManager::appObserverPlugins() const { return m_appObserverPlugins; }

QString ZPHPluginManager::classNameOfPlugin(const CBPlugin* plugin) const
{
  for (const Registered& entry : m_plugins) {
    if (entry.plugin.get() == plugin)
      return entry.className;
  }
  return {};
}

// MARK: - Queries

bool ZPHPluginManager::commandIsOfType(const ZPHSharingPluginCommand* command, int type)
{
  return command != nullptr && command->isOfType(type);
}

QList<ZPHSharingPluginCommand*> ZPHPluginManager::allPluginCommands() const
{
  QList<ZPHSharingPluginCommand*> list;
  for (const Registered& entry : m_plugins) {
    for (ZPHSharingPluginCommand* command : entry.plugin->allCommands()) {
      if (command != nullptr)
        list.append(command);
    }
  }
  return list;
}

QList<ZPHSharingPluginCommand*> ZPHPluginManager::commandsOfType(int type) const
{
  QList<ZPHSharingPluginCommand*> list;
  for (ZPHSharingPluginCommand* command : m_commands) {
    if (commandIsOfType(command, type))
      list.append(command);
  }
  return list;
}

ZPHSharingPluginCommand* ZPHPluginManager::pluginCommandWithCommandID(const QString& commandID) const
{
  if (commandID.isEmpty())
    return nullptr;
  for (ZPHSharingPluginCommand* command : allPluginCommands()) {
    if (command->commandID() == commandID)
      return command;
  }
  return nullptr;
}

ZPHSharingPluginCommand* ZPHPluginManager::sharingCommandWithCommandID(const QString& commandID) const
{
  if (commandID.isEmpty())
    return nullptr;
  for (ZPHSharingPluginCommand* command : m_sharingCommands) {
    if (command->commandID() == commandID)
      return command;
  }
  return nullptr;
}

QList<CBPlugin*> ZPHPluginManager::sharingPlugins() const
{
  QList<CBPlugin*> list;
  for (const Registered& entry : m_plugins) {
    if (!sharingCommandsInPlugin(entry.plugin.get()).isEmpty())
      list.append(entry.plugin.get());
  }
  return list;
}

QList<ZPHSharingPluginCommand*> ZPHPluginManager::sharingCommandsInPlugin(const CBPlugin* plugin) const
{
  return pluginCommandsOfType(ZPHSharingPluginCommand::Sharing, plugin);
}

QList<ZPHSharingPluginCommand*> ZPHPluginManager::pluginCommandsOfType(int type, const CBPlugin* plugin) const
{
  QList<ZPHSharingPluginCommand*> list;
  if (plugin == nullptr)
    return list;
  for (ZPHSharingPluginCommand* command : plugin->allCommands()) {
    if (commandIsOfType(command, type))
      list.append(command);
  }
  return list;
}

ZPHSharingPluginCommand* ZPHPluginManager::soloPluginCommandOfType(int type, const CBPlugin* plugin) const
{
  const QList<ZPHSharingPluginCommand*> list = pluginCommandsOfType(type, plugin);
  return list.size() == 1 ? list.first() : nullptr;
}

QList<ZPHSharingPluginCommand*> ZPHPluginManager::groupedCommandsOfType(int type, const CBPlugin* plugin) const
{
  const QList<ZPHSharingPluginCommand*> list = pluginCommandsOfType(type, plugin);
  return list.size() > 1 ? list : QList<ZPHSharingPluginCommand*>{};
}

QList<ZPHSharingPluginCommand*> ZPHPluginManager::soloPluginCommandsOfType(int type) const
{
  QList<ZPHSharingPluginCommand*> list;
  for (const Registered& entry : m_plugins) {
    if (ZPHSharingPluginCommand* command = soloPluginCommandOfType(type, entry.plugin.get()))
      list.append(command);
  }
  return list;
}

QList<CBPlugin*> ZPHPluginManager::pluginsWithSoloCommandsOfType(int type) const
{
  QList<CBPlugin*> list;
  for (const Registered& entry : m_plugins) {
    if (soloPluginCommandOfType(type, entry.plugin.get()) != nullptr)
      list.append(entry.plugin.get());
  }
  return list;
}

QList<CBPlugin*> ZPHPluginManager::pluginsWithGroupedCommandsOfType(int type) const
{
  QList<CBPlugin*> list;
  for (const Registered& entry : m_plugins) {
    if (!groupedCommandsOfType(type, entry.plugin.get()).isEmpty())
      list.append(entry.plugin.get());
  }
  return list;
}

QList<ZPHSharingPluginCommand*> ZPHPluginManager::groupedCommandsOfType(int type) const
{
  QList<ZPHSharingPluginCommand*> list;
  for (const Registered& entry : m_plugins) list += groupedCommandsOfType(type, entry.plugin.get());
  return list;
}

QList<ZPHSharingPluginCommand*> ZPHPluginManager::orderedPluginCommandsOfType(int type) const
{
  return soloPluginCommandsOfType(type) + groupedCommandsOfType(type);
}

// MARK: - Menus

void ZPHPluginManager::associateMenuItemWithPluginCommand(QAction* menuItem, ZPHSharingPluginCommand* command)
{
  // Commands live as long as the manager, so the pointer stays good.
  if (menuItem != nullptr)
    menuItem->setProperty(CommandProperty, QVariant::fromValue(static_cast<void*>(command)));
}

ZPHSharingPluginCommand* ZPHPluginManager::associatedPluginCommandForMenuItem(const QAction* menuItem)
{
  if (menuItem == nullptr)
    return nullptr;
  return static_cast<ZPHSharingPluginCommand*>(menuItem->property(CommandProperty).value<void*>());
}

void ZPHPluginManager::associateMenuItemWithObject(QAction* menuItem, const CBSharableItem& object)
{
  if (menuItem != nullptr)
    menuItem->setProperty(ObjectProperty, QVariant::fromValue(object));
}

std::optional<CBSharableItem> ZPHPluginManager::associatedObjectForMenuItem(const QAction* menuItem)
{
  const QVariant value = menuItem != nullptr ? menuItem->property(ObjectProperty) : QVariant();
  if (!value.canConvert<CBSharableItem>())
    return std::nullopt;
  return value.value<CBSharableItem>();
}

void ZPHPluginManager::associateMenuItemWithView(QAction* menuItem, QWidget* view)
{
  if (menuItem != nullptr)
    menuItem->setProperty(ViewProperty, QVariant::fromValue(QPointer<QWidget>(view)));
}

QWidget* ZPHPluginManager::associatedViewForMenuItem(const QAction* menuItem)
{
  return menuItem != nullptr ? menuItem->property(ViewProperty).value<QPointer<QWidget>>().data() : nullptr;
}

void ZPHPluginManager::associateMenuItemWithViewController(QAction* menuItem, QObject* viewController)
{
  if (menuItem != nullptr)
    menuItem->setProperty(ViewControllerProperty, QVariant::fromValue(QPointer<QObject>(viewController)));
}

QObject* ZPHPluginManager::associatedViewControllerForMenuItem(const QAction* menuItem)
{
  return menuItem != nullptr ? menuItem->property(ViewControllerProperty).value<QPointer<QObject>>().data() : nullptr;
}

int ZPHPluginManager::indentationLevelOfMenuItem(const QAction* menuItem)
{
  return menuItem != nullptr ? menuItem->property(IndentationProperty).toInt() : 0;
}

QAction* ZPHPluginManager::addPluginCommandToMenu(ZPHSharingPluginCommand* command, QMenu* menu,
                                                  const std::optional<CBSharableItem>& object, int indentationLevel)
{
  if (command == nullptr || menu == nullptr)
    return nullptr;
  QString title = command->title();
  if (indentationLevel > 0 && !command->shortTitle().isEmpty())
    title = command->shortTitle();
  auto* item = new QAction(title, menu);
  item->setObjectName(QStringLiteral("performSharingPluginCommandWithSender:"));
  QImage image = command->menuImage();
  if (image.isNull())
    image = command->image();
  // A copy at menu size; the command's own picture keeps its size.
  if (!image.isNull())
    item->setIcon(QPixmap::fromImage(image.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  associateMenuItemWithPluginCommand(item, command);
  if (object.has_value())
    associateMenuItemWithObject(item, *object);
  if (indentationLevel > 0)
    item->setProperty(IndentationProperty, indentationLevel);
  QObject::connect(item, &QAction::triggered, item, [this, item] { performMenuItem(item); });
  menu->addAction(item);
  return item;
}

void ZPHPluginManager::addSoloPluginCommandsOfType(int type, QMenu* menu, const std::optional<CBSharableItem>& object)
{
  for (ZPHSharingPluginCommand* command : soloPluginCommandsOfType(type))
    addPluginCommandToMenu(command, menu, object, 0);
}

QAction* ZPHPluginManager::addLabelForPlugin(const CBPlugin* plugin, QMenu* menu)
{
  if (plugin == nullptr || menu == nullptr || plugin->titleForGroup().isEmpty())
    return nullptr;
  QAction* label = menu->addAction(plugin->titleForGroup());
  label->setEnabled(false);
  return label;
}

void ZPHPluginManager::addGroupedPluginCommandsOfType(int type, QMenu* menu,
                                                      const std::optional<CBSharableItem>& object,
                                                      bool indentGroupedItems)
{
  for (CBPlugin* plugin : pluginsWithGroupedCommandsOfType(type)) {
    if (indentGroupedItems)
      addLabelForPlugin(plugin, menu);
    for (ZPHSharingPluginCommand* command : groupedCommandsOfType(type, plugin))
      addPluginCommandToMenu(command, menu, object, indentGroupedItems ? 1 : 0);
  }
}

void ZPHPluginManager::addPluginCommandsOfType(int type, QMenu* menu, const std::optional<CBSharableItem>& object,
                                               bool indentGroupedItems)
{
  addSoloPluginCommandsOfType(type, menu, object);
  addGroupedPluginCommandsOfType(type, menu, object, indentGroupedItems);
}

// MARK: - Running

bool ZPHPluginManager::validateCommand(const ZPHSharingPluginCommand* command, const QList<CBSharableItem>& items) const
{
  return command != nullptr && command->validateWithItems(items);
}

bool ZPHPluginManager::runPluginCommand(ZPHSharingPluginCommand* command, const QList<CBSharableItem>& items,
                                        QObject* sendingViewController, QWidget* sendingView, QWidget* sendingControl,
                                        CBUserInterfaceContext::Event event, ZPHError* error)
{
  if (command == nullptr)
    return false;
  const CBUserInterfaceContext context(sendingViewController, sendingView, sendingControl, event);
  return command->performCommandWithArray(items, context, m_pluginHelper.get(), error);
}

void ZPHPluginManager::performMenuItem(const QAction* menuItem)
{
  ZPHSharingPluginCommand* command = associatedPluginCommandForMenuItem(menuItem);
  if (command == nullptr)
    return;
  const std::optional<CBSharableItem> object = associatedObjectForMenuItem(menuItem);
  if (!object.has_value()) {
    if (m_itemlessPerformer)
      m_itemlessPerformer(command);
    return;
  }
  if (!command->validateWithItems({*object}))
    return;
  QWidget* view = associatedViewForMenuItem(menuItem);
  QObject* viewController = associatedViewControllerForMenuItem(menuItem);
  // Without a view controller, the context finds the one around the view.
  runPluginCommand(command, {*object}, viewController, view, nullptr, CBUserInterfaceContext::currentEvent(), nullptr);
}

// MARK: - Observers

void ZPHPluginManager::makePluginsPerform(const QList<CBPlugin*>& plugins,
                                          const std::function<void(CBAppObserver*)>& call)
{
  for (CBPlugin* plugin : plugins) {
    if (auto* observer = dynamic_cast<CBAppObserver*>(plugin))
      call(observer);
  }
}

void ZPHPluginManager::makeAppObserversPerform(const std::function<void(CBAppObserver*)>& call) const
{
  makePluginsPerform(m_appObserverPlugins, call);
}
