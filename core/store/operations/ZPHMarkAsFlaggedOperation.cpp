#include "store/operations/ZPHMarkAsFlaggedOperation.h"

#include "store/entities/CBDataArticle.h"

#include <QtCore/QCoreApplication>

QString ZPHMarkAsFlaggedOperation::actionName() const
{
  return originalTargetState() ? QCoreApplication::translate("ZPHMarkAsFlaggedOperation", "Bookmark")
                               : QCoreApplication::translate("ZPHMarkAsFlaggedOperation", "Unbookmark");
}

std::shared_ptr<ZPHUndoableOperation> ZPHMarkAsFlaggedOperation::inverseOperation() const
{
  return std::make_shared<ZPHMarkAsFlaggedOperation>(managedObjectIds(), !targetState(), originalTargetState());
}

void ZPHMarkAsFlaggedOperation::main()
{
  const bool flagged = targetState();
  changeEachArticle([flagged](CBDataArticle* article) { article->operation_only_markAsFlagged(flagged); });
}
