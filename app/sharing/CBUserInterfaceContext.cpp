#include "sharing/CBUserInterfaceContext.h"

#include "keys/ZPHResponderChain.h"

#include <QtGui/QInputEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

namespace {

// Keeps the type and modifiers of the last key press and mouse click.
class LastInputEvent final : public QObject {
public:
  CBUserInterfaceContext::Event event;

protected:
  bool eventFilter(QObject*, QEvent* e) override
  {
    switch (e->type()) {
      case QEvent::KeyPress:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
        // Each event reaches several objects on its way, each with the same
        // type and modifiers. The object is not asked anything: a view being
        // destroyed still hands keys on to its parts.
        event = {e->type(), static_cast<QInputEvent*>(e)->modifiers()};
        break;
      default:
        break;
    }
    return false;
  }
};

}  // namespace

CBUserInterfaceContext::Event CBUserInterfaceContext::currentEvent()
{
  static QPointer<LastInputEvent> watcher;
  if (watcher == nullptr && QCoreApplication::instance() != nullptr) {
    watcher = new LastInputEvent;
    watcher->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(watcher);
  }
  return watcher != nullptr ? watcher->event : Event{};
}

CBUserInterfaceContext::CBUserInterfaceContext(QObject* viewController, QWidget* view, QWidget* control, Event event)
    : m_hostViewController(viewController), m_view(view), m_control(control), m_event(event)
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
  // The same record the responder chain reads.
  ZPHResponderChain::setViewController(view, controller);
}

QObject* CBUserInterfaceContext::viewControllerForView(const QWidget* view)
{
  return ZPHResponderChain::viewController(view);
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
