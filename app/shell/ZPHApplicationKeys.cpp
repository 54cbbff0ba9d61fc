#include "shell/ZPHApplicationKeys.h"

#include <QtGui/QAction>
#include <QtGui/QGuiApplication>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

ZPHApplicationKeys::ZPHApplicationKeys(std::function<QList<QAction*>()> commands, std::function<QWidget*()> mainWindow,
                                       QObject* parent)
    : QObject(parent), m_commands(std::move(commands)), m_mainWindow(std::move(mainWindow))
{
  connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &ZPHApplicationKeys::activeWindowChanged);
}

bool ZPHApplicationKeys::actsOnItsWindow(const QString& selector)
{
  return selector == QLatin1String("performClose:") || selector == QLatin1String("closeTab:") ||
         selector == QLatin1String("toggleFullScreen:");
}

void ZPHApplicationKeys::activeWindowChanged()
{
  QWidget* window = QApplication::activeWindow();
  if (window == nullptr || window == m_mainWindow() || window->windowType() == Qt::Popup ||
      window->windowType() == Qt::ToolTip)
    return;
  const QList<QAction*> own = window->actions();
  for (QAction* command : m_commands())
    if (command != nullptr && !own.contains(command) && !actsOnItsWindow(command->objectName()))
      window->addAction(command);
}
