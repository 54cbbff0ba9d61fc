#pragma once

#include <QtCore/QString>

// What the platform layer needs to know of the application above it: whether
// it has begun to quit, and where its data folder is. The layer can't ask the
// application delegate (it sits above), so the delegate installs its answers
// when it registers (ZPHCoreApplicationDelegate::setSharedDelegate). Until
// then the application is not quitting and has no data folder. Safe to call
// from any thread.
class ZPHApplicationState {
public:
  using ShuttingDownQuery = bool (*)();
  using DataFolderQuery = QString (*)();

  // With a data folder, also starts choosing the password store in the
  // background (ZPHPasswordStore::prepareDefaultStore()).
  static void install(ShuttingDownQuery shuttingDown, DataFolderQuery dataFolder);

  static bool isShuttingDown();
  // Empty until an application with a data folder is registered.
  static QString dataFolder();
};
