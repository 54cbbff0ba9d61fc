#pragma once

// Qt kind: none (static functions).

#include "sharing/CBSharableItem.h"

#include <QtCore/QRect>

class QMenu;
class QObject;
class QWidget;

// Sharing for the views that show sharable things (the article list, the
// article page, the browser's tabs): the share menu's items and the sharing
// popover, in two calls.
class ZPHSharing {
public:
  ZPHSharing() = delete;

  // Fills `menu` with the sharing commands that can act on the item, in
  // their groups (mail and the social services, read later, other
  // applications; no browsers). Choosing one runs it on the item; a command
  // that shows a popover points it at `view` (or at what `viewController`
  // says, when it hosts sharable content). Answers how many commands were
  // added (0: the caller may disable its "Share" item).
  static int addSharingCommandsToMenu(QMenu* menu, const CBSharableItem& item, QWidget* view,
                                      QObject* viewController = nullptr);
  // Opens the sharing popover for the item below the rectangle of `anchor`
  // (its whole area when empty), or closes it when it is open.
  static bool toggleSharingPopover(const CBSharableItem& item, QWidget* anchor, const QRect& rect = {});
};
