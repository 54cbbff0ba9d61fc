#include "store/ZPHUndoableStateOperation.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "store/CBDataArticle.h"
#include "store/graph/ZPHManagedObjectContext.h"

ZPHUndoableStateOperation::ZPHUndoableStateOperation(const QList<ZPHManagedObjectID>& managedObjectIds,
                                                     bool targetState)
    : ZPHUndoableStateOperation(managedObjectIds, targetState, targetState)
{
}

ZPHUndoableStateOperation::ZPHUndoableStateOperation(const QList<ZPHManagedObjectID>& managedObjectIds,
                                                     bool targetState, bool originalTargetState)
    : m_managedObjectIds(managedObjectIds), m_targetState(targetState), m_originalTargetState(originalTargetState)
{
}

void ZPHUndoableStateOperation::changeEachArticle(const std::function<void(CBDataArticle*)>& change) const
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr)
    return;
  std::shared_ptr<ZPHManagedObjectContext> context = delegate->temporaryManagedObjectContext();
  if (context == nullptr)
    return;
  for (CBDataArticle* article : CBDataArticle::articlesWithManagedObjectIDs(m_managedObjectIds, context.get()))
    change(article);
  delegate->saveManagedObjectContext(context.get());
}
