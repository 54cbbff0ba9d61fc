#pragma once

#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QString>
#include <QtCore/QUrl>

class CBEventThrottler;

// The sync side of the local account: it announces the feeds and folders
// the server added, through one throttler (0.5 s, delivering at the latest
// after ten postponements) so a large merge is one burst of notifications.
// Callable from any thread; the work happens on the main thread.
class CBDataAccountSync {
public:
  CBDataAccountSync() = delete;

  // A feed the sync client stored. When the account does not hold its URL
  // yet, the feed's stored conditional-GET values are dropped so its next
  // refresh downloads in full; the feed, read again in the main context,
  // is announced by ZPHRemoteFeedAddedNotification.
  static void addFeedFromSyncManager(const ZPHManagedObjectID& feedID, const QUrl& url);
  // A folder the sync client stored, announced by
  // ZPHRemoteFolderAddedNotification with the account's identifier for it.
  static void addFolderFromSyncManager(const QString& guid);

  // The throttler (made on first use; main thread).
  static CBEventThrottler* updateFeedsAndFoldersEventThrottler();
};
