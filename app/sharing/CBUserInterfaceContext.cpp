#include "sharing/CBUserInterfaceContext.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

namespace {

const char* const ViewControllerProperty = "zph_viewController";

}  // namespace

CBUserInterfaceContext::CBUserInterfaceContext(QObject* viewController, QWidget* view, QWidget* control)
    : m_hostViewController(viewController), m_view(view), m_control(control)
{
  QObject* from = view != nullptr ? static_cast<QObject*>(view) : static_cast<QObject*>(control);
  m_window = findWindow(from);
  m_rootViewController = findRootViewController(from);
  if (viewController == nullptr) {
    m_hostViewController = findHostViewController(from);
    if (m_hostViewController == nullptr && m_window != nullptr)
      m_hostViewController = findHostViewController(m_window->focusWidget());
  }
}

void CBUserInterfaceContext::setViewControllerForView(QWidget* view, QObject* controller)
{
  if (view != nullptr)
    view->setProperty(ViewControllerProperty, QVariant::fromValue(controller));
}

QObject* CBUserInterfaceContext::viewControllerForView(const QWidget* view)
{
  return view != nullptr ? view->property(ViewControllerProperty).value<QObject*>() : nullptr;
}

QWidget* CBUserInterfaceContext::findWindow(QObject* object)
{
  if (auto* widget = qobject_cast<QWidget*>(object))
    return widget->window();
  if (QWidget* active = QApplication::activeWindow())
    return active;
  const QWidgetList windows = QApplication::topLevelWidgets();
  return windows.isEmpty() ? nullptr : windows.first();
}

QObject* CBUserInterfaceContext::findRootViewController(QObject* object)
{
  QObject* found = nullptr;
  for (auto* widget = qobject_cast<QWidget*>(object); widget != nullptr; widget = widget->parentWidget()) {
    if (QObject* controller = viewControllerForView(widget))
      found = controller;
  }
  return found;
}

QObject* CBUserInterfaceContext::findHostViewController(QObject* object)
{
  for (auto* widget = qobject_cast<QWidget*>(object); widget != nullptr; widget = widget->parentWidget()) {
    if (QObject* controller = viewControllerForView(widget))
      return controller;
  }
  return nullptr;
}
