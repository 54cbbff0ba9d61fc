#pragma once

#include "platform/ZPHOperation.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QList>
#include <QtCore/QString>

#include <functional>
#include <memory>

class ZPHManagedObject;
class ZPHManagedObjectContext;

// Posted synchronously on the thread of a store-queue deletion, just before
// its context saves, when the context is about to delete objects. Object:
// the deleting operation (void*); userInfo ZPHManagedObjectObjectIDsKey ->
// the identifiers of every object the context deletes, cascades included
// (QList<ZPHManagedObjectID>). Holders of those objects on the main thread
// drop them.
extern const QString ZPHWillDeleteCoreDataObjectsInBackgroundNotification;  // same text
extern const QString ZPHManagedObjectObjectIDsKey;                          // "objectIDs"
// Posted on the store queue once a deletion of articles has been saved (a
// clean-up batch of marked articles, the articles of deleted feeds). No
// object, no userInfo. Unread counts and article lists that may have held
// them update.
extern const QString CBDataDidDeleteArticlesNotification;  // same text

// One batch of a clean-up run on the store queue: deletes at most
// BatchSize objects, given by identifier, inside a private-queue context
// that every batch of the run shares. A run fetches the identifiers once,
// then queues its batches one after another, each as its own store-queue
// operation, so other store work interleaves between them and memory stays
// bounded (the context is reset before each batch).
//
// Subclasses say what a batch deletes with the objects it loaded.
class ZPHBatchDeletionOperation : public ZPHOperation {
public:
  static constexpr int BatchSize = 500;

  // A run: fetches the identifiers with `fetch` inside a new private-queue
  // context (on the store queue), then deletes them in batches made by
  // `make`. Nothing is queued when the fetch finds nothing, when no
  // application delegate or store answers, or once the application quits.
  using IdentifierFetch = std::function<QList<ZPHManagedObjectID>(ZPHManagedObjectContext* context)>;
  using BatchFactory = std::function<std::shared_ptr<ZPHBatchDeletionOperation>(
      const QList<ZPHManagedObjectID>& batch, std::shared_ptr<ZPHManagedObjectContext> context)>;
  static void startRun(IdentifierFetch fetch, BatchFactory make);
  // Queues the batch of the first BatchSize identifiers; when it has run,
  // the batch of the next ones, until none is left. A null context is a
  // programming error.
  static void continueRun(std::shared_ptr<ZPHManagedObjectContext> context, const QList<ZPHManagedObjectID>& objectIDs,
                          BatchFactory make);

  const QList<ZPHManagedObjectID>& objectIDsToDelete() const { return m_objectIDs; }
  std::shared_ptr<ZPHManagedObjectContext> managedObjectContext() const { return m_context; }

protected:
  ZPHBatchDeletionOperation(const QList<ZPHManagedObjectID>& objectIDs,
                            std::shared_ptr<ZPHManagedObjectContext> context);

  // Inside the context: resets it, loads the batch's objects that still
  // exist, lets deleteObjects() delete, announces the deletion and saves.
  void main() override;

  // Deletes what goes with the loaded objects (at least one), in the
  // context, on the context's queue.
  virtual void deleteObjects(const QList<ZPHManagedObject*>& objects, ZPHManagedObjectContext* context) = 0;
  // After a save; on the context's queue. Nothing by default.
  virtual void didSave() {}

private:
  QList<ZPHManagedObjectID> m_objectIDs;
  std::shared_ptr<ZPHManagedObjectContext> m_context;
};
