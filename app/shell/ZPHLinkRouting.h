#pragma once

// Qt kind: none (static functions).

#include <Qt>

// Where a link opens: in the user's web browser or in a new tab of the
// built-in browser, and whether in front or behind. Two preferences decide
// ("openLinksInBrowser": the external browser; "openInBrowserInBackground":
// behind), and two modifier keys held while the link is chosen turn each
// choice around: Alt (Option) the external-or-internal one, Ctrl (Command)
// the in-front-or-behind one. A caller may ignore the preferences (both
// choices then start as no) or the keys.
class ZPHLinkRouting {
public:
  struct Route {
    bool external;
    bool behind;
    bool operator==(const Route&) const = default;
  };

  static Route route(bool openLinksInBrowser, bool openInBackground, bool respectingPreferences,
                     bool respectingShortcuts, Qt::KeyboardModifiers modifiers);
};
