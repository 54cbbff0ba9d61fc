#pragma once

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "store/CBDataController.h"
#include "store/operations/ZPHUndoableOperation.h"

#include <QtCore/QString>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

// What the core library asks of the application, forwarded to one data
// controller on a temporary folder; undo steps are queued as they come and
// status items end at once.
class ZPHBenchApplicationDelegate : public ZPHCoreApplicationDelegate {
public:
  explicit ZPHBenchApplicationDelegate(const QString& folder) : m_folder(folder) { setSharedDelegate(this); }
  ~ZPHBenchApplicationDelegate() override { setSharedDelegate(nullptr); }

  CBDataController data;

  bool appIsShuttingDown() const override { return false; }
  CBDataController* dataController() const override { return const_cast<CBDataController*>(&data); }
  ZPHRefreshController* refreshController() const override { return nullptr; }
  ZPHManagedObjectContext* mainThreadManagedObjectContext() const override
  {
    return data.mainThreadManagedObjectContext();
  }
  std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContext() override
  {
    return data.temporaryManagedObjectContext();
  }
  std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContextOnPrivateQueue() override
  {
    return data.temporaryManagedObjectContextOnPrivateQueue();
  }
  void addCoreDataQueueOperation(std::shared_ptr<ZPHOperation> operation) override
  {
    data.addCoreDataQueueOperation(std::move(operation));
  }
  void addCoreDataQueueOperationAndWait(std::shared_ptr<ZPHOperation> operation) override
  {
    data.addCoreDataQueueOperationAndWait(std::move(operation));
  }
  void addCoreDataQueueBlock(std::function<void()> block, std::function<void()> completion) override
  {
    data.addCoreDataQueueBlock(std::move(block), std::move(completion));
  }
  void addMainThreadCoreDataQueueBlock(std::function<void()> block) override
  {
    data.addMainThreadCoreDataQueueBlock(std::move(block));
  }
  void addMainThreadCoreDataQueueBlockIgnoringTermination(std::function<void()> block) override
  {
    data.addMainThreadCoreDataQueueBlockIgnoringTermination(std::move(block));
  }
  void saveManagedObjectContext(ZPHManagedObjectContext* context) override { data.saveManagedObjectContext(context); }
  void handleCoreDataFailureWithError(const ZPHError& error) override
  {
    std::fprintf(stderr, "store failure: %s\n", qPrintable(error.toString()));
    std::_Exit(3);
  }
  void performUndoableOperation(std::shared_ptr<ZPHUndoableOperation> operation) override
  {
    data.addCoreDataQueueOperation(std::move(operation));
  }
  QString pathToDataFolder() const override { return m_folder; }
  QString pathToCacheFolder() const override { return m_folder; }
  QString userAgent() const override { return QStringLiteral("Zephlin/bench"); }
  void addStatusItem(std::shared_ptr<ZPHStatusItem>, std::function<void()> handler) override
  {
    if (handler)
      handler();
  }
  void removeStatusItem(std::shared_ptr<ZPHStatusItem>, std::function<void()> handler) override
  {
    if (handler)
      handler();
  }
  void removeAnyStatusItemWithIdentifier(const QString&) override {}
  QList<CBFeed*> addFeedsWithSubscribeRequestReturningNewlyAddedFeeds(std::shared_ptr<ZPHSubscribeRequest>) override
  {
    return {};
  }

private:
  QString m_folder;
};
