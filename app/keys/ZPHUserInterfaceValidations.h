#pragma once

// Qt kind: none (an interface: an abstract class).

class QAction;

// A responder that decides, in one place, whether its commands can run now:
// it sets the action's enabled state (and its title, for a command that
// toggles) and answers the enabled state. Menus ask it before they show,
// and the responder chain before it runs a command.
class ZPHUserInterfaceValidations {
public:
  virtual ~ZPHUserInterfaceValidations() = default;
  virtual bool validateUserInterfaceItem(QAction* item) = 0;
};
