#pragma once

#include "platform/FHLConcurrentOperation.h"
#include "subscribe/ZPHFeedFinderDelegate.h"

#include <QtCore/QJsonObject>
#include <QtCore/QMutex>
#include <QtCore/QString>

#include <memory>

class CBFeed;
class ZPHFeedFinder;
class ZPHManagedObjectContext;

// Looks a feed up again at its address and hands it to the local account:
// the source list's Activate command runs one per suspended feed on the sync
// manager's feedFetchQueue(). The feed finder (main thread) searches the
// address; when it finds feeds, the stored feed (inserted from
// feedDictionary, a server node object, when there is none) takes the first
// one's address, and its login when the search needed one, and is no longer
// suspended; when it finds none, the feed stays (or becomes) suspended. In
// both cases the account announces the feed (ZPHRemoteFeedAddedNotification).
// The store work runs on the serial store queue. Set everything before
// queuing.
class ZPHSyncFeedFetchOperation : public FHLConcurrentOperation, public ZPHFeedFinderDelegate {
public:
  ZPHSyncFeedFetchOperation();
  ~ZPHSyncFeedFetchOperation() override;

  QString urlString() const { return m_urlString; }
  void setUrlString(const QString& urlString) { m_urlString = urlString; }
  QString homepageUrlString() const { return m_homepageUrlString; }
  void setHomepageUrlString(const QString& homepageUrlString) { m_homepageUrlString = homepageUrlString; }
  QString faviconUrlString() const { return m_faviconUrlString; }
  void setFaviconUrlString(const QString& faviconUrlString) { m_faviconUrlString = faviconUrlString; }
  // A server node object; unless reactivatingFeed, the three addresses come
  // from its "url", "homepageurl" and "favIconUrl".
  QJsonObject feedDictionary() const { return m_feedDictionary; }
  void setFeedDictionary(const QJsonObject& feedDictionary) { m_feedDictionary = feedDictionary; }
  bool reactivatingFeed() const { return m_reactivatingFeed; }
  void setReactivatingFeed(bool reactivatingFeed) { m_reactivatingFeed = reactivatingFeed; }

  // The running search (main thread); null before and after.
  std::shared_ptr<ZPHFeedFinder> feedFinder() const { return m_feedFinder; }

  void start() override;
  // Also stops the search; the operation then completes without changing
  // the feed.
  void cancel() override;

  // ZPHFeedFinderDelegate (main thread)
  void feedFinderDidFindFeedsWithResults(ZPHFeedFinder* finder, const QList<ZPHFeedResult>& results) override;
  void feedFinderDidFailWithError(ZPHFeedFinder* finder, const ZPHError& error) override;

private:
  // Runs `work` on the store queue with the feed, then completes.
  void updateFeed(const QString& title, const std::function<void(CBFeed* feed)>& work);
  // The feed at urlString, else a new one made from feedDictionary with
  // `title` as its name when the server gave none.
  CBFeed* feedWithTitle(const QString& title, ZPHManagedObjectContext* context) const;
  void finish();

  QString m_urlString;
  QString m_homepageUrlString;
  QString m_faviconUrlString;
  QJsonObject m_feedDictionary;
  bool m_reactivatingFeed = false;
  std::shared_ptr<ZPHFeedFinder> m_feedFinder;  // main thread
  QMutex m_finishMutex;
  bool m_finished = false;
};
