#include "store/operations/ZPHUndoableStateOperation.h"

#include "store/entities/CBDataArticle.h"
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
  zph_changeInTemporaryContextAndSave([&](ZPHManagedObjectContext* context) {
    for (CBDataArticle* article : CBDataArticle::articlesWithManagedObjectIDs(m_managedObjectIds, context))
      change(article);
  });
}
