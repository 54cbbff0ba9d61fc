#include "store/operations/ZPHMarkAsReadOperation.h"

#include "store/entities/CBDataArticle.h"

#include <QtCore/QCoreApplication>

QString ZPHMarkAsReadOperation::actionName() const
{
  return originalTargetState() ? QCoreApplication::translate("ZPHMarkAsReadOperation", "Mark As Read")
                               : QCoreApplication::translate("ZPHMarkAsReadOperation", "Mark As Unread");
}

std::shared_ptr<ZPHUndoableOperation> ZPHMarkAsReadOperation::inverseOperation() const
{
  return std::make_shared<ZPHMarkAsReadOperation>(managedObjectIds(), !targetState(), originalTargetState());
}

void ZPHMarkAsReadOperation::main()
{
  const bool read = targetState();
  changeEachArticle([read](CBDataArticle* article) { article->operation_only_markAsRead(read, true, true, true); });
}
