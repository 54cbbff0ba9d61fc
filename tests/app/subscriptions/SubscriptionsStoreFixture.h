#pragma once

// A real store in a temp folder with the core's application side of the
// tests (no window), for the importers, the exporter and the backups.

#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/tree/CBTreeNode.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "subscriptions/ZPHImporter.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QUrl>

#include <gtest/gtest.h>

#include <optional>

// How an import ended.
struct ImportOutcome {
  bool done = false;
  QList<CBFeed*> imported;
  QList<CBFeed*> duplicates;
  ZPHError error;
  QList<double> progress;
  int completions = 0;
};

class SubscriptionsStoreFixture : public ::testing::Test {
protected:
  void SetUp() override
  {
    // Manual order: the tree in the order things were put in.
    ZPHUserDefaults::standardUserDefaults().setInteger(ZPHSubscriptionsSortOrderKey, 1);
    delegate.setDataFolder(dir.filePath(QStringLiteral("data")));
    QDir().mkpath(delegate.pathToDataFolder());
    openStore();
  }

  void TearDown() override { closeStore(); }

  void openStore()
  {
    controller = std::make_unique<CBDataController>();
    delegate.useDataController(controller.get());
    ZPHError error;
    ASSERT_TRUE(controller->setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    controller->completeSetup();
    treeBuilder = std::make_unique<ZPHSourceListTreeBuilder>(controller.get());
  }

  void closeStore()
  {
    if (!controller)
      return;
    settle();
    treeBuilder.reset();
    delegate.useDataController(nullptr);
    controller.reset();
  }

  // Until the store queue ran dry and what it handed over has run.
  void settle()
  {
    for (int quiet = 0; quiet < 3;) {
      ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller->coreDataQueueHasOperations(); }, 60000));
      ZPHTestSpinEventLoop(10);
      quiet = controller->coreDataQueueHasOperations() ? 0 : quiet + 1;
    }
  }

  CBDataAccount* account() const { return controller->localAccount(); }
  ZPHManagedObjectContext* mainContext() const { return controller->mainThreadManagedObjectContext(); }

  // Runs an import to its end.
  ImportOutcome runImport(const std::shared_ptr<ZPHImporter>& importer, int timeoutMs = 60000)
  {
    auto outcome = std::make_shared<ImportOutcome>();
    importer->importWithCompletionHandler(
        [outcome](const QList<CBFeed*>& imported, const QList<CBFeed*>& duplicates, const ZPHError& error) {
          outcome->imported = imported;
          outcome->duplicates = duplicates;
          outcome->error = error;
          outcome->done = true;
          ++outcome->completions;
        },
        [outcome](double value) { outcome->progress.append(value); });
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return outcome->done; }, timeoutMs)) << "the import did not end";
    settle();
    return *outcome;
  }

  // A feed at the top level or at the end of a folder, saved.
  CBFeed* addFeed(const QString& url, CBFolder* folder = nullptr, const QString& name = QString())
  {
    CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(url), mainContext());
    if (folder != nullptr)
      account()->addFeedAtEndOfFolder(feed, folder);
    else
      account()->addFeed(feed);
    if (!name.isNull())
      feed->setUserSpecifiedName(name);
    controller->saveMainThreadManagedObjectContext();
    return feed;
  }

  // The account's tree as the store holds it, read back from the store:
  // "Folder[feed <url>, Sub[...]], feed <url>" with names.
  // The account's tree as the import left it, without reading it again.
  QString liveTree()
  {
    settle();
    return describe(account()->accountTreeNode().get());
  }

  QString storedTree()
  {
    settle();
    account()->loadFeedsAndFoldersFromDisk();
    return describe(account()->accountTreeNode().get());
  }

  static QString describe(const CBTreeNode* node)
  {
    QStringList parts;
    for (const CBTreeNode::Pointer& child : node->children()) {
      CBNode* stored = child->representedNode();
      if (stored == nullptr)
        continue;
      if (stored->isFolder())
        parts.append(static_cast<CBFolder*>(stored)->nameForDisplay() + QLatin1Char('[') + describe(child.get()) +
                     QLatin1Char(']'));
      else
        parts.append(static_cast<CBFeed*>(stored)->nameForDisplay() + QLatin1Char(' ') +
                     static_cast<CBFeed*>(stored)->URL().toString(QUrl::FullyEncoded));
    }
    return parts.join(QStringLiteral(", "));
  }

  ZPHTestTempDir dir;
  ZPHTestApplicationDelegate delegate;
  std::unique_ptr<CBDataController> controller;
  std::unique_ptr<ZPHSourceListTreeBuilder> treeBuilder;
};
