#include "sharing/ZPHSharingMenuBuilder.h"

#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSharingPluginCommand.h"

#include <QtGui/QAction>
#include <QtGui/QPixmap>
#include <QtWidgets/QMenu>

QList<ZPHSharingPluginCommand*> ZPHSharingMenuBuilder::commandList(const QList<ZPHSharingPluginCommand*>& commands)
{
  QList<ZPHSharingPluginCommand*> list;
  const auto appendType = [&](int type) {
    for (ZPHSharingPluginCommand* command : commands)
      if (command != nullptr && command->isOfType(type))
        list.append(command);
  };
  appendType(ZPHSharingPluginCommand::Sharing);
  if (!list.isEmpty())
    list.append(nullptr);
  appendType(ZPHSharingPluginCommand::ReadLater);
  if (!list.isEmpty() && list.constLast() != nullptr)
    list.append(nullptr);
  appendType(ZPHSharingPluginCommand::SendToApplication);

  const qsizetype separator = list.indexOf(nullptr);
  if (separator >= 0) {
    for (qsizetype i = 0; i < list.size(); ++i) {
      if (list.at(i) != nullptr && list.at(i)->title().contains(QLatin1String("twitter"), Qt::CaseInsensitive)) {
        if (i > separator)
          list.move(i, separator);
        break;
      }
    }
  }
  while (!list.isEmpty() && list.constLast() == nullptr) list.removeLast();
  return list;
}

QList<ZPHSharingPluginCommand*> ZPHSharingMenuBuilder::commandList(const ZPHPluginManager& manager)
{
  QList<ZPHSharingPluginCommand*> ordered;
  for (const int type : {int(ZPHSharingPluginCommand::Sharing), int(ZPHSharingPluginCommand::ReadLater),
                         int(ZPHSharingPluginCommand::SendToApplication)}) {
    for (ZPHSharingPluginCommand* command : manager.orderedPluginCommandsOfType(type))
      if (!ordered.contains(command))
        ordered.append(command);
  }
  return commandList(ordered);
}

int ZPHSharingMenuBuilder::addCommandsToMenu(const QList<ZPHSharingPluginCommand*>& list, QMenu* menu,
                                             const std::optional<CBSharableItem>& item,
                                             const std::function<void(ZPHSharingPluginCommand* command)>& perform)
{
  const QList<CBSharableItem> items = item.has_value() ? QList<CBSharableItem>{*item} : QList<CBSharableItem>{};
  int added = 0;
  bool separatorPending = false;
  for (ZPHSharingPluginCommand* command : list) {
    if (command == nullptr) {
      separatorPending = added > 0;
      continue;
    }
    // A command that cannot act on the item is not offered.
    if (!command->validateWithItems(items))
      continue;
    if (separatorPending) {
      menu->addSeparator();
      separatorPending = false;
    }
    QAction* action = menu->addAction(command->title());
    action->setObjectName(QStringLiteral("performSharingPluginCommandWithAssociatedObject:"));
    QImage image = command->menuImage();
    if (image.isNull())
      image = command->image();
    if (!image.isNull())
      action->setIcon(QPixmap::fromImage(image.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    ZPHPluginManager::associateMenuItemWithPluginCommand(action, command);
    if (item.has_value())
      ZPHPluginManager::associateMenuItemWithObject(action, *item);
    // The action runs the command it was made for; it dies with the menu.
    QObject::connect(action, &QAction::triggered, menu, [perform, command] { perform(command); });
    ++added;
  }
  return added;
}
