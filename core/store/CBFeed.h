#pragma once

#include "platform/ZPHError.h"
#include "store/AbstractManagedFeed.h"

#include <QtCore/QDateTime>
#include <QtCore/QUrl>

extern const QString CBFeedLastFeedRefreshErrorKey;  // "lastFeedRefreshError"

// A subscribed feed. The URL properties wrap the stored address strings;
// sortDescending and the last refresh error live in memory only.
class CBFeed : public AbstractManagedFeed {
public:
  bool isFolder() const override { return false; }
  bool nameIsEditable() const override { return true; }
  bool canBeDeleted() const override { return true; }

  // False when suspended, deleted or excluded from display.
  bool canBeRefreshed() const;
  bool isSection() const { return false; }

  // The getters parse the stored strings; the setters store the absolute
  // string form.
  QUrl URL() const;
  void setURL(const QUrl& url);
  QUrl homePageURL() const;
  void setHomePageURL(const QUrl& url);
  QUrl faviconURL() const;
  void setFaviconURL(const QUrl& url);
  QUrl associatedURL() const { return homePageURL(); }
  // pubDate as a date.
  QDateTime dateForDisplay() const;

  bool sortDescending() const { return m_sortDescending; }
  void setSortDescending(bool descending) { m_sortDescending = descending; }
  ZPHError lastFeedRefreshError() const { return m_lastFeedRefreshError; }
  void setLastFeedRefreshError(const ZPHError& error);

private:
  bool m_sortDescending = false;
  ZPHError m_lastFeedRefreshError;
};
