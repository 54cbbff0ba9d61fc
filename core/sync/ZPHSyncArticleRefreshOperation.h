#pragma once

#include "sync/ZPHSyncServerNetworkOperation.h"

// "list_articles": asks the server for the article states changed since the
// newest server date seen (ZPHSyncLastArticleModTimeStamp) and merges them
// on the store queue. An article is matched by its best link (the server's
// "guid" against each article's link, permalink or guid). A state for an
// article not stored yet waits in the article metadata for that link, which
// the article finds when a refresh brings it. Read changes are announced on
// the main thread by one CBMultipleArticlesDidChangeReadStatusNotification
// ("fromSync" true), bookmark changes by one
// CBDataArticleFlaggedStatusDidChangeNotification per article; then
// ZPHSyncArticleDataImportedNotification follows with the reply.
class ZPHSyncArticleRefreshOperation : public ZPHSyncServerNetworkOperation {
public:
  QString apiCall() const override { return QStringLiteral("list_articles"); }

protected:
  bool makePostBody(QByteArray* body, ZPHError* error) override;
  void success() override;
};
