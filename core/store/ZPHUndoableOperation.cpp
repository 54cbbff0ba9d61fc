#include "store/ZPHUndoableOperation.h"

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
