#pragma once

// A store on disk with its main context, and a store queue scripted through
// the test application delegate: a real serial operation queue whose
// operations work in temporary contexts of the same store.

#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "store/CBCoreDataUtilities.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHPersistentStore.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

class ArticleStoreFixture : public ::testing::Test {
protected:
  void SetUp() override
  {
    CBCoreDataUtilitiesStartup();
    store =
        std::make_unique<ZPHPersistentStore>(CBDataManagedObjectModel(), folder.filePath(QStringLiteral("Articles")));
    ASSERT_TRUE(store->open(false, nullptr));
    main = std::make_unique<ZPHManagedObjectContext>(store.get(), ZPHManagedObjectContext::MainQueueConcurrencyType);
    queue.setMaxConcurrentOperationCount(1);
    delegate.scriptedMainContext = main.get();
    delegate.makeTemporaryContext = [this] {
      return std::make_shared<ZPHManagedObjectContext>(store.get(),
                                                       ZPHManagedObjectContext::ConfinementConcurrencyType);
    };
    delegate.onCoreDataQueueOperation = [this](std::shared_ptr<ZPHOperation> operation, bool wait) {
      queue.addOperation(operation);
      if (wait)
        operation->waitUntilFinished();
    };
  }

  void TearDown() override
  {
    queue.waitUntilAllOperationsAreFinished();
    ZPHTestSpinEventLoop(20);  // main-thread posts still on their way
  }

  // Runs `work` on the store queue in a temporary context, serving the main
  // event loop (saves merge into the main context there) until it finished.
  void onStoreQueue(const std::function<void(ZPHManagedObjectContext&)>& work)
  {
    std::atomic<bool> done{false};
    auto operation = std::make_shared<ZPHBlockOperation>([&] {
      std::shared_ptr<ZPHManagedObjectContext> context = delegate.temporaryManagedObjectContext();
      work(*context);
      done = true;
    });
    delegate.addCoreDataQueueOperation(operation);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return done.load(); }, 30000));
    operation->waitUntilFinished();
  }

  CBFeed* addFeed(const QString& url, const QString& name = QString())
  {
    CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(url), main.get());
    feed->setGuid(QStringLiteral("guid-") + url);
    feed->setFeedSpecifiedName(name);
    return feed;
  }

  // An article of the feed; with a state, also its metadata (keyed by the
  // best link).
  CBDataArticle* addArticle(const QString& feedURL, const QString& link, const QDateTime& date,
                            std::optional<bool> read = std::nullopt, bool flagged = false)
  {
    CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(QUrl(feedURL), main.get());
    article->setGuid(link);
    article->setLink(link);
    article->setTitle(link);
    article->setDateForDisplay(date);
    if (read) {
      ArticleMetadata* metadata = ArticleMetadata::insertArticleMetadataForGUID(article->bestLink(), main.get());
      metadata->setRead(*read);
      metadata->setFlagged(flagged);
      article->setMetadata(metadata);
    }
    return article;
  }

  void save() { ASSERT_TRUE(main->save()); }

  ZPHTestTempDir folder;
  ZPHTestApplicationDelegate delegate;
  std::unique_ptr<ZPHPersistentStore> store;
  std::unique_ptr<ZPHManagedObjectContext> main;
  ZPHOperationQueue queue{QStringLiteral("store queue")};
};
