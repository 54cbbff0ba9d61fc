#pragma once

#include "feeds/images/CBLocalImageURLProtocol.h"

// The favicons under "cbfavicon:<file name>". A well-formed name whose icon
// is not cached answers the generic feed icon (what the application set,
// else the resource "GenericFeedFavicon.png", read once); a malformed name,
// or a missing icon without a generic one, fails.
class CBFaviconURLProtocol : public CBLocalImageURLProtocol {
public:
  // "cbfavicon".
  static QString scheme();

  static ZPHImageCacheResponse responseForURL(const QUrl& url);
  // The generic feed icon's PNG bytes; null when there is none.
  static QByteArray genericFeedFaviconData();
  // The application's generic feed icon (PNG), set at start-up.
  static void setGenericFeedFaviconData(const QByteArray& png);
};
