#pragma once

#include "platform/ZPHError.h"
#include "store/entities/AbstractManagedFeed.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

class AbstractManagedFolder;
class CBDataAccount;
class CBFolder;
struct ZPHNotification;

extern const QString CBFeedLastFeedRefreshErrorKey;        // "lastFeedRefreshError"
extern const QString CBFeedFavoriteDidChangeNotification;  // "CBFeedFavoriteDidChangeNotification"
extern const QString CBFeedUnreadCountKey;                 // "unreadCount"

// A subscribed feed. The URL properties wrap the stored address strings;
// sortDescending, the last refresh error and the password live in memory
// only (the password until it is in the keychain).
//
// The class operations take the context last and run on its thread; fetch
// errors give empty results or nullptr. The forms without a context use the
// main context and must run on the main thread.
class CBFeed : public AbstractManagedFeed {
public:
  // Inserting and preparing feeds.
  static CBFeed* insertFeedWithMOC(ZPHManagedObjectContext* context);
  static CBFeed* insertFeedWithURL(const QUrl& url, ZPHManagedObjectContext* context);
  static CBFeed* insertFeedWithURL(const QUrl& url);
  // needsSync, modDate now, a new guid; the feed metadata database forgets
  // the URL so that the first refresh downloads in full.
  static void preflightFeed(CBFeed* feed, ZPHManagedObjectContext* context);
  // Preflight, then into the folder (expanded) or at top level. The child
  // index is the account's business.
  static void addFeed(CBFeed* feed, CBDataAccount* account, CBFolder* folder, ZPHManagedObjectContext* context);

  // Finding feeds.
  static QList<CBFeed*> feedsWithMOC(ZPHManagedObjectContext* context);
  // Not deleted and favourite, by nameForDisplay.
  static QList<CBFeed*> favoriteFeedsWithMOC(ZPHManagedObjectContext* context);
  static QList<CBFeed*> feedsWithURL(const QString& url, ZPHManagedObjectContext* context);
  static QList<CBFeed*> feedsWithURLs(const QStringList& urls, ZPHManagedObjectContext* context);
  static CBFeed* feedWithURL(const QString& url, ZPHManagedObjectContext* context);
  static CBFeed* feedWithURL(const QString& url, const QString& guid, ZPHManagedObjectContext* context);
  static CBFeed* feedWithURL(const QString& url);
  // Empty for an empty list, without fetching.
  static QList<CBFeed*> feedsForGUIDs(const QStringList& guids, ZPHManagedObjectContext* context);

  // Marks the feed deleted for sync and deletes it (with its articles when
  // asked; bookmarked articles keep their metadata). Nothing for nullptr.
  static void deleteFeed(CBFeed* feed, bool deleteArticles, ZPHManagedObjectContext* context);

  // feed address -> unread articles, from one grouped query over the saved
  // store.
  static QHash<QString, qint64> feedUnreadCountsWithMOC(ZPHManagedObjectContext* context);
  static QList<ZPHManagedObjectID> managedObjectIDsOfUnreadArticlesForFeeds(const QList<CBFeed*>& feeds,
                                                                            ZPHManagedObjectContext* context);

  // Names: the user's name, else the feed's own, else "Untitled" (display)
  // or "Untitled Site" (name).
  QString nameForDisplay() const;
  QString name() const;
  void setName(const QString& name) { setUserSpecifiedName(name); }
  // A rename by the user: also the sync dates and mark.
  void setNameForDisplay(const QString& name);

  bool isFolder() const override { return false; }
  bool nameIsEditable() const override { return true; }
  bool canBeDeleted() const override { return true; }
  bool isSection() const { return false; }
  // False when suspended, deleted or excluded from display.
  bool canBeRefreshed() const;

  quint64 countForDisplay() const override { return unreadCount(); }
  void setCountForDisplay(quint64 count) { setUnreadCount(count); }
  // Counts the feed's unread articles in its own context.
  void updateUnreadCount();

  // The password set on the feed, else the keychain's for (URL, username)
  // when there is a user name, else null.
  QString password() const;
  bool savePasswordInKeychain() const;

  // The favourite flag, set by the favourite operation on the store queue.
  void operation_only_markAsFavorite(bool favorite) { setFavorite(favorite); }

  // "latestPublishDate" of the notification becomes pubDate; announces a new
  // order when the source list sorts by date.
  void publishDateUpdate(const ZPHNotification& notification);
  // Saves the main context (main thread).
  void markAsNeedsToBeSaved();

  // The getters parse the stored strings; the setters store the absolute
  // string form. None holds a user name or password: the setters drop them
  // (the login belongs in username() and the keychain), and the home page
  // and icon getters drop one stored by an earlier version.
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

  // "<CBFeed: 0x...>  url:<url>" ("<FAULT>" for a fault).
  QString description() const;

  // Marks the saved feeds favourite, or not, on the store queue; then
  // CBFeedFavoriteDidChangeNotification follows on the main thread (object:
  // the entity name "CBFeed"). Main thread.
  static void markFeeds(const QList<CBFeed*>& feeds, bool favorite);
  void markAsFavorite(bool favorite);

private:
  bool m_sortDescending = false;
  ZPHError m_lastFeedRefreshError;
};
