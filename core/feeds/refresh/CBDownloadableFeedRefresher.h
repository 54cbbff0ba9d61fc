#pragma once

#include "feeds/refresh/CBFeedRefresher.h"
#include "platform/ZPHError.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QList>
#include <QtCore/QSet>
#include <QtCore/QUrl>

#include <memory>

class ZPHRefreshFeedOperation;

// Refreshes a feed of the local account by downloading it: a refresh
// operation per feed, whose outcome is stored on the feed as its
// lastFeedRefreshError with the feed's name put into the texts.
class CBDownloadableFeedRefresher : public CBFeedRefresher {
public:
  ~CBDownloadableFeedRefresher() override;

  // A feed that is not suspended, of the local account, with an http, https
  // or feed address.
  bool wantsToRefreshFeed(CBFeed* feed, CBAccount* accountToRefresh) const override;
  // Queues the feed's refresh unless one for its address is already queued.
  void refreshFeed(CBFeed* feed, CBAccount* account, CBOperationController* operationController) override;
  // The same for each feed, looking through the controller's operations once
  // for the whole list rather than once per feed. A long list is handed to
  // the controller a part at a time, one part per turn of the main event
  // loop (the first now), so that no turn is long; the controller never
  // runs dry in between (see the source).
  void refreshFeeds(const QList<CBFeed*>& feeds, CBAccount* account,
                    CBOperationController* operationController) override;

  // Feeds handed to the controller in one turn of the main event loop.
  static constexpr qsizetype FeedsPerTurn = 500;

  // The error with every "#{FEED_DISPLAY_NAME}" in its texts replaced by the
  // feed's name (its host, else "Unnamed Site"; cut to 60 characters and
  // "…" when longer).
  static ZPHError translateError(const ZPHError& error, CBFeed* feed);

private:
  // Queues the first part now and the rest in later turns.
  static void refreshInParts(const QList<CBFeed*>& feeds, CBOperationController* operationController);
  // Queues the next part of these feeds in the next turn, and so on; the
  // caller sets the answer to the controller's count of additions once it
  // queued the part before.
  static std::shared_ptr<quint64> queueLater(QList<ZPHManagedObjectID> feedIDs, std::shared_ptr<QSet<QUrl>> queued,
                                             CBOperationController* operationController);
  // The addresses of the uncancelled refreshes the controller tracks.
  static QSet<QUrl> queuedAddresses(CBOperationController* operationController);
  // Queues the refreshes of the feeds whose address has none queued yet.
  static void queueRefreshes(const QList<CBFeed*>& feeds, QSet<QUrl>* queued,
                             CBOperationController* operationController);
  // The feed's refresh operation, its outcome going onto the feed.
  static std::shared_ptr<ZPHRefreshFeedOperation> refreshOperationForFeed(CBFeed* feed, const QUrl& url);
};
