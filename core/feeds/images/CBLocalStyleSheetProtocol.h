#pragma once

#include "feeds/images/ZPHImageCacheProtocol.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

// Serves local style sheets to web views under "cbstylesheet": a file URL
// with "file://" replaced ("cbstylesheet:///folder/stylesheet.css"), and the
// three ripple pictures under "ripples" ("ripples:moss.jpg"). The
// application registers the folders that may be served and wraps the class
// in its web engine's scheme handler.
//
// A style-sheet URL is served only when the file it names lies inside a
// registered folder, compared as canonical paths once percent escapes are
// decoded and links resolved, and only when it is a style sheet or one of
// the pictures a style sheet draws (".css", ".png", ".jpg", ".jpeg",
// ".gif"), by the name asked for and by the name the links lead to. Anything
// else fails like a missing file, and no HTML is ever served.
//
// A style sheet whose address holds "ripples" (any case) has the addresses of
// the ripple pictures on disk rewritten to the "ripples" scheme. Data is
// cached for the process (the cache empties when the application stops
// being the active one). Usable from any thread.
class CBLocalStyleSheetProtocol {
public:
  static QString styleSheetScheme();  // "cbstylesheet"
  static QString ripplesScheme();     // "ripples"

  // Folders whose files may be served (canonical paths are kept; a folder
  // that does not exist is ignored).
  static void registerStyleSheetFolder(const QString& folder);
  static void unregisterStyleSheetFolder(const QString& folder);
  static QStringList registeredStyleSheetFolders();
  // The folder holding "Ripples Blue.jpg", "Ripples Moss.jpg" and
  // "Ripples Purple.jpg" (a resource folder works).
  static void setRipplesPicturesFolder(const QString& folder);

  // Either scheme.
  static bool canInitWithURL(const QUrl& url);
  static QUrl canonicalRequestForURL(const QUrl& url) { return url; }
  static bool requestIsCacheEquivalent(const QUrl& a, const QUrl& b);

  // The canonical path of the file a style-sheet URL may serve; null when it
  // is refused or missing.
  static QString servedFilePathForURL(const QUrl& url);
  // The MIME type served for a file name; null for a type never served.
  static QString mimeTypeForFilename(const QString& filename);

  // The bytes answered for the URL; null when refused or missing.
  static QByteArray styleSheetDataForURL(const QUrl& url);
  // The data with its MIME type and length, not allowed into the URL cache;
  // or the error NSURLErrorDomain -1008 (resource unavailable).
  static ZPHImageCacheResponse responseForURL(const QUrl& url);
};
