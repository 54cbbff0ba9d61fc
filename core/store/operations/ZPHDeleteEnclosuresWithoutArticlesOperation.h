#pragma once

#include "store/operations/ZPHBatchDeletionOperation.h"

// Removes the enclosures whose article is gone, in batches of 500 on the
// store queue. The application starts a run when the data account is ready.
class ZPHDeleteEnclosuresWithoutArticlesOperation : public ZPHBatchDeletionOperation {
public:
  ZPHDeleteEnclosuresWithoutArticlesOperation(const QList<ZPHManagedObjectID>& enclosureObjectIDsToDelete,
                                              std::shared_ptr<ZPHManagedObjectContext> context);

  // Starts a run.
  static void asynchronouslyDeleteEnclosuresWithoutArticles();
  // The identifiers of the enclosures without an article (a fetch error is
  // logged and gives what was found, possibly nothing).
  static QList<ZPHManagedObjectID> objectIDsForEnclosuresWithoutArticlesWithMOC(ZPHManagedObjectContext* context);
  static void continueAsynchronouslyDeletingEnclosuresWithoutArticlesWithManagedObjectContext(
      std::shared_ptr<ZPHManagedObjectContext> context, const QList<ZPHManagedObjectID>& enclosureObjectIDs);

protected:
  void deleteObjects(const QList<ZPHManagedObject*>& objects, ZPHManagedObjectContext* context) override;
};
