#pragma once

// Qt kind: none (an interface: an abstract class).

#include "feeds/network/ZPHNetworkController.h"

#include <QtCore/QString>

#include <functional>
#include <memory>

class ZPHAppDelegate;

// What the application delegate asks of the state a screenshot is taken in
// (--screenshot FILE --screenshot-state STATE). The scaffolding that brings
// the program into that state lives above the shell (app/screenshots/,
// ZPHScreenshotScript); main() hands the delegate the way to load it
// (ZPHAppDelegate::Environment::loadScreenshotState). Main thread only.
class ZPHScreenshotHook {
public:
  virtual ~ZPHScreenshotHook() = default;

  // The network counts as unreachable while the picture is made.
  virtual bool offline() const = 0;
  // Connectivity that never changes, for `offline`.
  virtual std::unique_ptr<ZPHNetworkController::ReachabilitySource> makeFixedReachabilitySource(
      bool reachable) const = 0;
  // Runs the steps on the started application, then `takePicture`.
  virtual void run(ZPHAppDelegate* delegate, std::function<void()> takePicture) = 0;
};
