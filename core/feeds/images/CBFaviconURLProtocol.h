#pragma once

#include "feeds/images/CBLocalImageURLProtocol.h"

// The favicons under "cbfavicon:<file name>". A well-formed name whose icon
// is not cached answers the generic feed icon (the resource
// "GenericFeedFavicon.png", read once); a malformed name, or a missing icon
// without that resource, fails.
class CBFaviconURLProtocol : public CBLocalImageURLProtocol {
public:
  // "cbfavicon".
  static QString scheme();

  static ZPHImageCacheResponse responseForURL(const QUrl& url);
  // The generic feed icon's PNG bytes; null without the resource.
  static QByteArray genericFeedFaviconData();
};
