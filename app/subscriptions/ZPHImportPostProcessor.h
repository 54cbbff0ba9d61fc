#pragma once

// Qt kind: QObject.

#include "platform/ZPHNotificationCenter.h"
#include "subscriptions/ZPHImporter.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QUrl>

// Lets an importer touch each of its feeds once more, after the feed's
// first refresh has saved its articles (the previous version's import drops
// the articles it brought along that the refresh fetched again).
//
// A request is kept per feed address (standardized) until that feed's next
// refresh ends: then the post-processor runs on the store queue in a
// temporary context, the context is saved, the request is dropped and the
// refresh's articles-updated notification goes out again. Requests are not
// kept across runs of the program.
//
// One shared instance, made on first use; main thread.
class ZPHImportPostProcessor : public QObject {
  Q_OBJECT
public:
  static ZPHImportPostProcessor* sharedImportPostProcessor();

  // A second request for the same address before the first was served is
  // logged and dropped; the first stays.
  void requestImportPostProcessingForURL(const QUrl& url, const QString& importerName,
                                         ZPHImporter::PostProcessor postProcessor);
  bool hasPendingRequestForURL(const QUrl& url) const;
  int pendingRequestCount() const { return int(m_requests.size()); }
  // Forgets every request (the store they were made for goes away).
  void removeAllRequests() { m_requests.clear(); }

  // "scheme://host/path" of the address, standardized and fully encoded.
  static QString keyForURL(const QUrl& url);

private:
  ZPHImportPostProcessor();
  void feedArticlesWereSaved(const ZPHNotification& notification);

  struct Request {
    QString importerName;
    ZPHImporter::PostProcessor postProcessor;
  };
  QHash<QString, Request> m_requests;
  ZPHObserverToken m_observer;
};
