#pragma once

#include <QtCore/QString>
#include <QtCore/QUrl>

// Feed ingestion sits above the store, yet the accounts follow what it does
// and ask two things of it. The names of what it posts are defined here, where
// the store can reach them; the feeds layer posts them and re-exports them
// from its own headers. The two requests go through an interface that the
// feeds layer installs when its refresh controller is made; until then they
// do nothing.

// Posted on the main thread after an article saver saved, unless it was
// cancelled or ran in a caller's private-queue context. Object: the saver
// (std::shared_ptr<CBOperation>); user info: CBURLKey -> the feed URL (QUrl),
// "unreadCount" -> quint64, "latestPublishDate" -> QDateTime.
extern const QString ZPHFeedRefreshArticlesUpdatedNotification;  // "ZPHFeedRefreshArticlesUpdatedNotification"
extern const QString ZPHFeedRefreshUnreadCountKey;               // "unreadCount"
extern const QString ZPHFeedRefreshLatestPublishDateKey;         // "latestPublishDate"

// Object: the refresh controller (QObject*), no user info. Begin and end go
// through one first-in first-out main-thread queue, so an observer always
// sees a session's begin before its end.
extern const QString ZPHRefreshSessionDidBeginNotification;  // "ZPHRefreshSessionDidBeginNotification"
extern const QString ZPHRefreshSessionDidEndNotification;    // "ZPHRefreshSessionDidEndNotification"

// Posted on the main thread when a home page's icon link was found; object
// the favicon controller, userInfo {CBFaviconControllerHomePageURLKey, CBURLKey}.
extern const QString CBFaviconURLFoundNotification;      // "CBFaviconURLFoundNotification"
extern const QString CBFaviconControllerHomePageURLKey;  // "RFaviconControllerHomePageURLKey"

// What the store asks of feed ingestion.
class ZPHFeedIngestionInterface {
public:
  virtual ~ZPHFeedIngestionInterface();

  // The best icon of a home page when it is already known; otherwise empty,
  // and it is looked for: the answer comes later as
  // CBFaviconURLFoundNotification. Main thread.
  virtual QUrl updateBestFaviconURLForHomePageURL(const QUrl& homePageURL) = 0;
  // Forgets the conditional-GET values and content hash kept for a feed
  // address, so that its next refresh downloads in full. Any thread.
  virtual void deleteStoredInfoForFeedURL(const QUrl& feedURL) = 0;

  // The installed interface, or nullptr. Not owned: the installer keeps it
  // alive for the life of the process.
  static ZPHFeedIngestionInterface* shared();
  static void setShared(ZPHFeedIngestionInterface* ingestion);
};
