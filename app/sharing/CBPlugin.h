#pragma once

// Qt kind: none (an interface: an abstract class).

#include "sharing/CBSharableItem.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtGui/QImage>

class ZPHPluginManager;
class ZPHSharingPluginCommand;

// A sharing plug-in: a class compiled into the program that hands out
// commands. The plug-in manager makes one instance of each registered
// class, asks it whether it wants to register, and keeps it and its
// commands for the life of the process. Every function is optional; the
// defaults are what a plug-in that does not answer means.
class CBPlugin {
public:
  virtual ~CBPlugin();

  // Asked once, right after the instance is made; false vetoes the
  // registration. Built-in plug-ins build their commands here.
  virtual bool shouldRegister(ZPHPluginManager* manager)
  {
    Q_UNUSED(manager);
    return true;
  }
  virtual void willRegister() {}
  virtual void didRegister() {}
  // The plug-in's commands in display order; the plug-in owns them.
  virtual QList<ZPHSharingPluginCommand*> allCommands() const { return {}; }
  // Declared by grouping plug-ins; the manager groups by count and does
  // not ask.
  virtual bool commandsShouldBeGrouped() const { return false; }
  // The label above the plug-in's commands shown as a group; empty: none.
  virtual QString titleForGroup() const { return {}; }
  virtual QImage imageForGroup() const { return {}; }
  virtual QString tooltipForGroup() const { return {}; }
};

// A plug-in that wants to hear of what the application and the user do.
// No built-in plug-in observes; the manager keeps observers apart and the
// application can fan events out to them.
class CBAppObserver {
public:
  virtual ~CBAppObserver();

  virtual void applicationDidFinishLaunching() {}
  virtual void applicationWillTerminate() {}
  virtual void applicationDidBecomeActive() {}
  virtual void applicationDidResignActive() {}
  virtual void userDidViewItem(const CBSharableItem& item) { Q_UNUSED(item); }
  virtual void userDidBeginViewingTimeBasedMediaItem(const CBSharableItem& item) { Q_UNUSED(item); }
  virtual void userDidEndViewingTimeBasedMediaItem(const CBSharableItem& item) { Q_UNUSED(item); }
  virtual void userDidShareItem(const CBSharableItem& item, const QString& serviceIdentifier)
  {
    Q_UNUSED(item);
    Q_UNUSED(serviceIdentifier);
  }
};
