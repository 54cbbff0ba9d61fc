#pragma once

#include "store/operations/ZPHUndoableStateOperation.h"

// Bookmarks articles or removes their bookmarks; each changed article is
// saved, announced (CBDataArticleFlaggedStatusDidChangeNotification) and
// marked for sync. "Bookmark" or "Unbookmark".
class ZPHMarkAsFlaggedOperation : public ZPHUndoableStateOperation {
public:
  using ZPHUndoableStateOperation::ZPHUndoableStateOperation;

  static std::shared_ptr<ZPHMarkAsFlaggedOperation> operationWithArticleManagedObjectIds(
      const QList<ZPHManagedObjectID>& managedObjectIds, bool targetState)
  {
    return std::make_shared<ZPHMarkAsFlaggedOperation>(managedObjectIds, targetState);
  }

  QString actionName() const override;
  std::shared_ptr<ZPHUndoableOperation> inverseOperation() const override;

protected:
  void main() override;
};
