#include "mainwindow/ZPHUndoableOperationCommand.h"

#include "store/operations/ZPHUndoableOperation.h"

ZPHUndoableOperationCommand::ZPHUndoableOperationCommand(std::shared_ptr<ZPHUndoableOperation> operation, Queue queue)
    : m_operation(std::move(operation)), m_queue(std::move(queue))
{
  if (m_operation != nullptr)
    setText(m_operation->actionName());
}

void ZPHUndoableOperationCommand::redo()
{
  if (m_operation == nullptr || !m_queue)
    return;
  if (!m_done) {
    // The first time, the operation itself.
    m_done = true;
    m_queue(m_operation);
    return;
  }
  // An operation runs once: the redo is a new one, the inverse's inverse.
  if (std::shared_ptr<ZPHUndoableOperation> inverse = m_operation->inverseOperation()) {
    if (std::shared_ptr<ZPHUndoableOperation> again = inverse->inverseOperation())
      m_queue(std::move(again));
  }
}

void ZPHUndoableOperationCommand::undo()
{
  if (m_operation == nullptr || !m_queue)
    return;
  if (std::shared_ptr<ZPHUndoableOperation> inverse = m_operation->inverseOperation())
    m_queue(std::move(inverse));
}
