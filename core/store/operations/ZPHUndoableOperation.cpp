#include "store/operations/ZPHUndoableOperation.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "store/graph/ZPHManagedObjectContext.h"

QString ZPHUndoableOperation::actionName() const
{
  Q_ASSERT_X(false, Q_FUNC_INFO, "ZPHUndoableOperation subclass must override -actionName");
  return QString();
}

std::shared_ptr<ZPHUndoableOperation> ZPHUndoableOperation::inverseOperation() const
{
  Q_ASSERT_X(false, Q_FUNC_INFO, "ZPHUndoableOperation subclass must override -inverseOperation");
  return nullptr;
}

void zph_changeInTemporaryContextAndSave(const std::function<void(ZPHManagedObjectContext*)>& change)
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr)
    return;
  std::shared_ptr<ZPHManagedObjectContext> context = delegate->temporaryManagedObjectContext();
  if (context == nullptr)
    return;
  change(context.get());
  delegate->saveManagedObjectContext(context.get());
}
