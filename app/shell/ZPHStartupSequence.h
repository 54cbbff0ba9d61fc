#pragma once

// Qt kind: none (a plain class run by the application delegate).

#include "shell/ZPHAppDelegate.h"
#include "shell/ZPHInstanceLock.h"

#include <memory>

// The start-up, step by step: the support folders, the one-instance lock
// (or the hand-over to the copy that holds it), the preferences, the
// network, the store and with it the refresh controller and the sheets of
// the core's questions, then the main window with its menus, badge, keys
// and tabs, and last the windows a start presents. A step that fails says
// why and stops the start; the program then quits.
//
// Made by the application delegate and owned by it; it fills the delegate's
// slots for the objects it makes, which the delegate owns from then on.
// Main thread only.
class ZPHStartupSequence {
public:
  ZPHStartupSequence(ZPHAppDelegate& delegate, const ZPHAppDelegate::Environment& environment);

  ZPHStartupSequence(const ZPHStartupSequence&) = delete;
  ZPHStartupSequence& operator=(const ZPHStartupSequence&) = delete;

  // Runs the steps in order (the delegate runs it once).
  void run();

private:
  void zph_setupDebuggingFacilities();
  void zph_registerObservers();
  void zph_setupURLEventHandler();
  void zph_completeStartupSequence();
  bool zph_setupSupportDirectories();
  bool zph_runHelperSequence();
  bool zph_checkForOtherRunningZephlinProcessesAndQuit();
  // The lock is this launch's: it takes the launches handed over to it.
  void takeInstanceLock(std::unique_ptr<ZPHInstanceLock> lock);
  // Says why the lock could not be had, and quits.
  void quitWithoutTheLock(const ZPHInstanceLock& lock, ZPHInstanceLock::Outcome outcome);
  void zph_setupRuntimePreferences();
  void migrateHidePreferences();
  void zph_setupMiscManagers();
  bool zph_setupCoreData();
  void registerLocalURLSchemes();
  void observeStoreNotifications();
  void makeSheetControllers();
  bool setupDataControllerReturningError(ZPHError* error);
  void loadPlugins();
  void zph_setupInterfaceAndEventHandlers();
  void makeMainWindowController();
  void makeMenusAndBadge();
  void connectTabs();
  void setUpKeyMapping();
  void zph_presentMainInterface();
  void pesterAboutNewsLetterIfAppropriate();
  void writeScreenshot();
  void stopStartup(int status);

  ZPHAppDelegate& m_delegate;
  const ZPHAppDelegate::Environment& m_environment;
};
