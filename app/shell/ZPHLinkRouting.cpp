#include "shell/ZPHLinkRouting.h"

ZPHLinkRouting::Route ZPHLinkRouting::route(bool openLinksInBrowser, bool openInBackground, bool respectingPreferences,
                                            bool respectingShortcuts, Qt::KeyboardModifiers modifiers)
{
  Route route{respectingPreferences && openLinksInBrowser, respectingPreferences && openInBackground};
  if (respectingShortcuts) {
    if (modifiers & Qt::AltModifier)
      route.external = !route.external;
    if (modifiers & Qt::ControlModifier)
      route.behind = !route.behind;
  }
  return route;
}
