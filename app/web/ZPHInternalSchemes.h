#pragma once

// Qt kind: none (static functions).

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>

// The URL schemes of the application's own content: "cbstylesheet",
// "ripples", "cbfavicon" and "zph-image-cache" serve local style sheets,
// pictures and cached images to the application's own pages. The web engine
// must know them before the application object exists, so main() calls
// registerSchemes() first thing.
//
// Every internal scheme is a local one: pages from the web may not load it
// (the engine refuses, and the handlers refuse requests that web pages
// start). Schemes of pages that the application renders itself may load
// local resources.
class ZPHInternalSchemes {
public:
  // The four resource schemes. Once, before the application object.
  static void registerSchemes();
  // One more internal scheme; `pagesMayLoadLocalResources` for a scheme
  // whose pages the application renders (such a scheme is not secure, so its
  // pages load http images). Before the application object.
  static void registerInternalScheme(const QByteArray& name, bool pagesMayLoadLocalResources);

  static bool isInternalScheme(const QString& scheme);
  static QList<QByteArray> internalSchemes();
};
