#include "foundation/CBCache.h"

#include <QtGui/QImage>

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

TEST(Cache, KeepsRemovesAndEmpties)
{
  std::unique_ptr<CBCache> cache = CBCache::cache();
  QImage image(4, 4, QImage::Format_ARGB32);
  image.fill(Qt::red);
  cache->setObject(QVariant::fromValue(image), "favicon.png");
  cache->setObject(QByteArray("body { }"), "style.css");
  cache->setObject(1, "count");

  EXPECT_EQ(cache->objectForKey("favicon.png").value<QImage>(), image);
  const QVariant styleSheet = cache->objectForKey("style.css");
  cache->removeObjectForKey("style.css");
  EXPECT_FALSE(cache->objectForKey("style.css").isValid());
  EXPECT_EQ(styleSheet.toByteArray(), "body { }");  // still the reader's

  cache->setObjectIfNotNil(QVariant(), "count");
  EXPECT_EQ(cache->objectForKey("count"), QVariant(1));
  cache->setObjectIfNotNil(2, "count");
  EXPECT_EQ(cache->objectForKey("count"), QVariant(2));

  cache->didReceiveMemoryWarning();
  EXPECT_FALSE(cache->objectForKey("favicon.png").isValid());
  EXPECT_FALSE(cache->objectForKey("count").isValid());

  cache->setObject(3, "a");
  cache->removeAllObjects();
  EXPECT_FALSE(cache->objectForKey("a").isValid());
}

TEST(Cache, CountLimitDropsTheLeastRecentlyUsed)
{
  CBCache cache;
  EXPECT_EQ(cache.countLimit(), 0u);
  for (int i = 0; i < 5; ++i) cache.setObject(i, QString::number(i));
  cache.setCountLimit(3);  // trims at once: 0 and 1 go
  EXPECT_EQ(cache.countLimit(), 3u);
  EXPECT_FALSE(cache.objectForKey("0").isValid());
  EXPECT_FALSE(cache.objectForKey("1").isValid());

  EXPECT_TRUE(cache.objectForKey("2").isValid());  // read: now the most recent
  cache.setObject(40, "4");                        // replaced: now the most recent
  cache.setObject(5, "5");                         // one over: "3" is the oldest
  EXPECT_FALSE(cache.objectForKey("3").isValid());
  EXPECT_EQ(cache.objectForKey("2"), QVariant(2));
  EXPECT_EQ(cache.objectForKey("4"), QVariant(40));
  EXPECT_EQ(cache.objectForKey("5"), QVariant(5));

  cache.removeObjectForKey("2");
  cache.setObject(6, "6");
  cache.setObject(7, "7");  // "4" is the oldest now
  EXPECT_FALSE(cache.objectForKey("4").isValid());
  EXPECT_TRUE(cache.objectForKey("5").isValid());
}

TEST(Cache, UsableFromManyThreads)
{
  CBCache cache;
  cache.setCountLimit(200);  // eviction runs too, well above the final keys
  constexpr int threadCount = 8;
  constexpr int rounds = 2000;
  std::latch allDone(threadCount);
  std::vector<std::thread> threads;
  for (int t = 0; t < threadCount; ++t) {
    threads.emplace_back([&cache, &allDone, t] {
      for (int i = 0; i < rounds; ++i) {
        const QString own = QStringLiteral("own-%1-%2").arg(t).arg(i % 50);
        cache.setObject(QByteArray::number(i), own);
        cache.setObject(t, QStringLiteral("shared-%1").arg(i % 10));
        (void)cache.objectForKey(QStringLiteral("shared-%1").arg((i + 3) % 10));
        if (i % 7 == 0)
          cache.removeObjectForKey(QStringLiteral("shared-%1").arg(i % 10));
        if (t == 0 && i % 500 == 0)
          cache.removeAllObjects();
      }
      allDone.arrive_and_wait();
      cache.setObject(t, QStringLiteral("final-%1").arg(t));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < threadCount; ++t) EXPECT_EQ(cache.objectForKey(QStringLiteral("final-%1").arg(t)), QVariant(t));
}
