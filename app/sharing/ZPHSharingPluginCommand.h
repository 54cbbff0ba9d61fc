#pragma once

// Qt kind: none (an interface: an abstract class).

#include "sharing/CBSharableItem.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtGui/QImage>

class QWidget;

// A command a sharing plug-in offers (sharing, read later, sending to
// another program). The plug-ins themselves are not here yet; the main
// window builds its sharing menus over whatever commands it is given.
class ZPHSharingPluginCommand {
public:
  enum Type { Sharing = 1, OpenInBrowser = 2, ReadLater = 3, SendToApplication = 4 };

  virtual ~ZPHSharingPluginCommand();
  virtual QString commandID() const = 0;
  virtual QString title() const = 0;
  virtual int type() const = 0;
  // A small picture for menus (none when null).
  virtual QImage menuImage() const { return QImage(); }
  // Whether the command can act on the items (an empty list: no item).
  virtual bool validateWithItems(const QList<CBSharableItem>& items) const = 0;
  // Runs on the items, anchored on the view that shows them.
  virtual void runWithItems(const QList<CBSharableItem>& items, QWidget* sendingView) = 0;
};
