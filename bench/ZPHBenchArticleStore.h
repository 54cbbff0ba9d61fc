// The store of the article benchmarks, shared by bench_articles and
// bench_articlelist.

#pragma once

#include "foundation/CBDateManager.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHPersistentStore.h"

#include "ZPHBenchSupport.h"

#include <QtCore/QDateTime>

inline constexpr int zphBenchArticleFeeds = 200;

// `count` articles of zphBenchArticleFeeds feeds over the last 30 days
// (about one in 30 today), one in three read (none with `allUnread`, as
// after a first refresh), one in 50 bookmarked, each with metadata; every
// 100th title holds the word "needle". Saved in batches.
inline void zphBenchFillArticleStore(ZPHPersistentStore& store, int count, bool allUnread = false)
{
  ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
  for (int feed = 0; feed < zphBenchArticleFeeds; ++feed) {
    CBFeed* object = CBFeed::insertFeedWithURL(QUrl(zphBenchFeedURL(feed)), &context);
    object->setGuid(QStringLiteral("feed-%1").arg(feed));
    object->setFavorite(feed % 10 == 0);
  }
  context.save();
  const QDateTime today = CBDateManager::sharedManager()->firstSecondOfToday();
  const qint64 span = 30 * 86400;
  for (int n = 0; n < count; ++n) {
    const QString link = QStringLiteral("https://feed%1.example.com/item/%2").arg(n % zphBenchArticleFeeds).arg(n);
    CBDataArticle* article = CBDataArticle::insertArticleWithMOC(&context);
    article->setGuid(link);
    article->setFeedURL(zphBenchFeedURL(n % zphBenchArticleFeeds));
    article->setLink(link);
    const QString title =
        n % 100 == 0 ? QStringLiteral("Article %1 needle").arg(n) : QStringLiteral("Article %1").arg(n);
    article->setTitle(title);
    article->setPlainTextTitle(title);
    article->setPlainTextPreview(QStringLiteral("The text of article %1, long enough for two lines of preview in a "
                                                "list that is about three hundred points wide.")
                                     .arg(n));
    // Newest first in time: the last thirtieth falls on today.
    article->setDateForDisplay(today.addSecs(-span + 1 + (qint64(n) * span) / count + span / 30));
    ArticleMetadata* metadata = ArticleMetadata::insertArticleMetadataForGUID(link, &context);
    metadata->setRead(!allUnread && n % 3 == 0);
    metadata->setFlagged(n % 50 == 0);
    article->setMetadata(metadata);
    if (n % 500 == 499) {
      context.save();
      context.reset();
    }
  }
  context.save();
}
