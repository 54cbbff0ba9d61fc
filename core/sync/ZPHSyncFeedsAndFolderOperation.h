#pragma once

#include "sync/ZPHSyncServerNetworkOperation.h"

#include <QtCore/QJsonObject>

// "list_feeds_and_folders": asks the server for the feeds and folders changed
// since the newest server date seen (ZPHSyncLastFeedsAndFolderModTimeStamp)
// and merges them into the store, field by field by modification date,
// deletion winning.
//
// The first sync of an account (ZPHSyncDataHasBeenSynced false) first drops
// the nodes marked deleted; when both sides then have feeds or folders (or
// the server's belong to another user) it asks the application whether to
// merge or purge (ZPHSyncMergeOrPurgeDataRequest) and waits for the answer
// (or until the call is cancelled). Only "merge" merges and only "purge"
// purges, which deletes every local feed, folder and article before the
// merge; any other answer ("cancel", when the question was closed) ends the
// call with ZPHSyncErrorNoAnswer, nothing merged or purged, and the next
// cycle asks again.
//
// A merge runs on the store queue; a server parent that would put a node
// inside itself is refused and logged. Then, on the main thread, the local
// account reloads its tree (when anything changed),
// ZPHRemoteFeedOrFolderReorderingNotification is posted and the added feeds
// and folders are announced; ZPHSyncDataImportedNotification follows.
class ZPHSyncFeedsAndFolderOperation : public ZPHSyncServerNetworkOperation {
public:
  QString apiCall() const override { return QStringLiteral("list_feeds_and_folders"); }

  // The parsed reply, once read.
  QJsonObject responseDictionary() const { return m_responseDictionary; }

protected:
  bool makePostBody(QByteArray* body, ZPHError* error) override;
  void success() override;

private:
  enum class FirstSyncChoice { Merge, Purge, Declined, Cancelled };
  // Drops the nodes marked deleted; false when the store could not be used.
  // `liveCount` gets the number of nodes left.
  bool dropDeletedNodes(int* liveCount);
  FirstSyncChoice askMergeOrPurge();
  bool purge();
  bool doMerge(const QJsonObject& data);

  QJsonObject m_responseDictionary;
};
