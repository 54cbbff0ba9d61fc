#pragma once

// Qt kind: none (an interface: an abstract class).

#include "keys/ZPHMainWindowKeyTable.h"

class QWidget;

// What the main window asks of its controller when a key comes: what the
// window knows now, and carrying out what the key table decided.
class ZPHMainWindowKeyDelegate {
public:
  virtual ~ZPHMainWindowKeyDelegate() = default;
  // The flags for a key pressed with the focus in `focus` (null: none). The
  // window sets focusIsEditable and singleKeyShortcuts itself.
  virtual ZPHMainWindowKeyTable::Flags keyRoutingFlags(QWidget* focus) = 0;
  // Carries the action out; false when it cannot, so the key goes on to the
  // focused view.
  virtual bool performKeyAction(const ZPHMainWindowKeyTable::Action& action, QWidget* focus) = 0;
};
