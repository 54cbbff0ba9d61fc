#include "keys/ZPHResponderChain.h"

#include "keys/ZPHUserInterfaceValidations.h"

#include <QtGui/QAction>
#include <QtWidgets/QWidget>

namespace {

const char* const ViewControllerProperty = "zph_viewController";

}  // namespace

ZPHResponderChain::ZPHResponderChain(const QList<QObject*>& nextResponders) { setNextResponders(nextResponders); }

void ZPHResponderChain::setNextResponders(const QList<QObject*>& nextResponders)
{
  m_nextResponders.clear();
  for (QObject* responder : nextResponders) m_nextResponders.append(responder);
}

void ZPHResponderChain::setViewController(QWidget* view, QObject* controller)
{
  if (view != nullptr)
    view->setProperty(ViewControllerProperty, QVariant::fromValue(QPointer<QObject>(controller)));
}

QObject* ZPHResponderChain::viewController(const QWidget* view)
{
  if (view == nullptr)
    return nullptr;
  return view->property(ViewControllerProperty).value<QPointer<QObject>>().data();
}

QList<QObject*> ZPHResponderChain::responders(QWidget* focus) const
{
  QList<QObject*> chain;
  for (QWidget* view = focus; view != nullptr; view = view->parentWidget()) {
    QObject* controller = viewController(view);
    if (controller != nullptr && !chain.contains(controller))
      chain.append(controller);
  }
  for (const QPointer<QObject>& responder : m_nextResponders) {
    if (responder && !chain.contains(responder.data()))
      chain.append(responder.data());
  }
  return chain;
}

QAction* ZPHResponderChain::actionForSelector(const QString& selector, const QList<QObject*>& responders)
{
  if (selector.isEmpty())
    return nullptr;
  for (QObject* responder : responders) {
    if (QAction* action = responder->findChild<QAction*>(selector, Qt::FindDirectChildrenOnly))
      return action;
  }
  return nullptr;
}

namespace {

bool validates(QAction* action)
{
  if (auto* validations = dynamic_cast<ZPHUserInterfaceValidations*>(action->parent()))
    return validations->validateUserInterfaceItem(action);
  return action->isEnabled();
}

}  // namespace

QAction* ZPHResponderChain::validatedActionForSelector(const QString& selector, QWidget* focus) const
{
  QAction* action = actionForSelector(selector, responders(focus));
  return action != nullptr && validates(action) ? action : nullptr;
}

bool ZPHResponderChain::sendAction(const QString& selector, QWidget* focus) const
{
  QAction* action = actionForSelector(selector, responders(focus));
  if (action == nullptr)
    return false;
  if (validates(action))
    action->trigger();
  return true;
}
