#include "kit/ZPHWindowActions.h"

#include <QtGui/QAction>
#include <QtWidgets/QWidget>

QAction* zph_windowActionNamed(const QWidget* widget, const QString& name)
{
  if (!widget || name.isEmpty())
    return nullptr;
  const QWidget* window = widget->window();
  if (!window)
    return nullptr;
  const QList<QAction*> actions = window->findChildren<QAction*>(name);
  for (QAction* action : actions)
    if (action->isEnabled())
      return action;
  for (QAction* action : window->actions())
    if (action->objectName() == name && action->isEnabled())
      return action;
  return nullptr;
}

bool zph_sendWindowAction(const QWidget* widget, const QString& name)
{
  QAction* action = zph_windowActionNamed(widget, name);
  if (!action)
    return false;
  action->trigger();
  return true;
}
