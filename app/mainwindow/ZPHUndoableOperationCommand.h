#pragma once

// Qt kind: undo command (QUndoCommand).

#include <QtGui/QUndoCommand>

#include <functional>
#include <memory>

class ZPHUndoableOperation;

// One step of the main window's undo stack: a store operation the user can
// take back (marking read, bookmarking, marking all read). Doing it queues
// the operation; undoing it queues the operation's inverse; doing it again
// queues a new operation equal to the first. Its text is the operation's
// action name ("Mark All As Read").
class ZPHUndoableOperationCommand : public QUndoCommand {
public:
  // Where the operations go (the store queue).
  using Queue = std::function<void(std::shared_ptr<ZPHUndoableOperation>)>;

  ZPHUndoableOperationCommand(std::shared_ptr<ZPHUndoableOperation> operation, Queue queue);

  std::shared_ptr<ZPHUndoableOperation> operation() const { return m_operation; }

  void redo() override;
  void undo() override;

private:
  std::shared_ptr<ZPHUndoableOperation> m_operation;
  Queue m_queue;
  bool m_done = false;
};
