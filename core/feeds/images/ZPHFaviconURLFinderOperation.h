#pragma once

#include "feeds/network/CBDownloadOperation.h"

#include <QtCore/QString>
#include <QtCore/QUrl>

// Downloads a site's home page and finds its best icon link: the link tag
// whose rel names "icon" with the largest declared size (the first of
// equals). Only http and https icon addresses count.
class ZPHFaviconURLFinderOperation : public CBDownloadOperation {
public:
  // Home pages larger than this are not read.
  static constexpr qint64 MaximumHomePageSize = 2 * 1024 * 1024;
  // Link tags longer than this are passed over.
  static constexpr qsizetype MaximumTagLength = 4096;

  explicit ZPHFaviconURLFinderOperation(const QUrl& homePageURL);

  QUrl homePageURL() const { return m_homePageURL; }
  // The icon found; empty when none (read after the operation finished).
  QUrl faviconURL() const { return m_faviconURL; }

  // The best icon link of a page: the tags from "<link" (then, when none
  // remains, "LINK") to the next ">", whose rel attribute has the word
  // "icon" (any case) and whose href gives an address (one starting with
  // "http" taken as is, any other resolved against the home page). A tag's
  // size is the leading number of the last word of its sizes attribute
  // ("any" counts 256; 16 without sizes); the first tag of the largest size
  // wins.
  static QUrl faviconURLInHTML(const QString& html, const QUrl& homePageURL);

protected:
  void download() override;

private:
  QUrl m_homePageURL;
  QUrl m_faviconURL;
};
