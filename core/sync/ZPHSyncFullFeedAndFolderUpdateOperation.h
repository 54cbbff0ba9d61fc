#pragma once

#include "store/graph/ZPHManagedObjectID.h"
#include "sync/ZPHSyncServerNetworkOperation.h"

#include <QtCore/QJsonObject>
#include <QtCore/QList>

// "update_feeds_and_folders": sends every feed and folder whose needsSync is
// set, and the feeds and folders the user deleted since the last accepted
// update ({"folders": [...], "feeds": [...]}, both always present). Only when
// the server accepted them (a 2xx JSON reply) is needsSync cleared on the
// nodes sent (those not changed again meanwhile), are nodes marked deleted
// removed, and are the sent deletions forgotten; then
// ZPHSyncDataExportedNotification follows.
class ZPHSyncFullFeedAndFolderUpdateOperation : public ZPHSyncServerNetworkOperation {
public:
  QString apiCall() const override { return QStringLiteral("update_feeds_and_folders"); }

protected:
  bool makePostBody(QByteArray* body, ZPHError* error) override;
  void success() override;

private:
  struct SentNode {
    ZPHManagedObjectID objectID;
    double modDate = 0.0;
  };
  QList<SentNode> m_localFeedsAndFolders;
  QList<QJsonObject> m_sentDeletions;
};
