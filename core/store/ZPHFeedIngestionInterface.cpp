#include "store/ZPHFeedIngestionInterface.h"

#include <atomic>

const QString ZPHFeedRefreshArticlesUpdatedNotification = QStringLiteral("ZPHFeedRefreshArticlesUpdatedNotification");
const QString ZPHFeedRefreshUnreadCountKey = QStringLiteral("unreadCount");
const QString ZPHFeedRefreshLatestPublishDateKey = QStringLiteral("latestPublishDate");
const QString ZPHRefreshSessionDidBeginNotification = QStringLiteral("ZPHRefreshSessionDidBeginNotification");
const QString ZPHRefreshSessionDidEndNotification = QStringLiteral("ZPHRefreshSessionDidEndNotification");
const QString CBFaviconURLFoundNotification = QStringLiteral("CBFaviconURLFoundNotification");
const QString CBFaviconControllerHomePageURLKey = QStringLiteral("RFaviconControllerHomePageURLKey");

namespace {
std::atomic<ZPHFeedIngestionInterface*> g_shared{nullptr};
}

ZPHFeedIngestionInterface::~ZPHFeedIngestionInterface()
{
  ZPHFeedIngestionInterface* self = this;
  g_shared.compare_exchange_strong(self, nullptr);
}

ZPHFeedIngestionInterface* ZPHFeedIngestionInterface::shared() { return g_shared.load(); }

void ZPHFeedIngestionInterface::setShared(ZPHFeedIngestionInterface* ingestion) { g_shared.store(ingestion); }
