#pragma once

#include "store/operations/ZPHUndoableStateOperation.h"

// Marks articles read or unread one by one: each changed article recounts
// its feed, is marked for sync, saved and announced on the main thread
// (CBDataArticleReadStatusDidChangeNotification). "Mark As Read" or
// "Mark As Unread".
class ZPHMarkAsReadOperation : public ZPHUndoableStateOperation {
public:
  using ZPHUndoableStateOperation::ZPHUndoableStateOperation;

  static std::shared_ptr<ZPHMarkAsReadOperation> operationWithArticleManagedObjectIds(
      const QList<ZPHManagedObjectID>& managedObjectIds, bool targetState)
  {
    return std::make_shared<ZPHMarkAsReadOperation>(managedObjectIds, targetState);
  }

  QString actionName() const override;
  std::shared_ptr<ZPHUndoableOperation> inverseOperation() const override;

protected:
  void main() override;
};
