#pragma once

#include "store/graph/ZPHManagedObjectID.h"
#include "sync/ZPHSyncServerNetworkOperation.h"

#include <QtCore/QDateTime>
#include <QtCore/QList>

// "update_articles": sends the state of every article whose needsSync is set
// ({"articles": [...]}). Only when the server accepted them (a 2xx JSON
// reply) is needsSync cleared on the articles sent (those not changed again
// meanwhile) and are articles marked deleted removed; then
// ZPHSyncArticleDataExportedNotification follows.
class ZPHSyncArticleExportOperation : public ZPHSyncServerNetworkOperation {
public:
  QString apiCall() const override { return QStringLiteral("update_articles"); }

protected:
  bool makePostBody(QByteArray* body, ZPHError* error) override;
  void success() override;

private:
  struct SentArticle {
    ZPHManagedObjectID objectID;
    QDateTime modDate;
  };
  QList<SentArticle> m_localArticles;
};
