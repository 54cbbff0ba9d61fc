#pragma once

#include "store/graph/ZPHManagedObjectID.h"
#include "store/operations/ZPHUndoableOperation.h"

#include <QtCore/QList>

#include <functional>

class CBDataArticle;

// An undoable change of one state (read, bookmarked) of a list of articles,
// named by their identifiers (collected on the main thread, resolved on the
// store queue). The inverse is a new operation of the same class over the
// same articles with the opposite target state; it keeps the original
// target state, so an undo and its redo share one action name.
//
// The identifiers and states are fixed when the operation is made, so any
// thread may read them.
class ZPHUndoableStateOperation : public ZPHUndoableOperation {
public:
  // The original target state is the target state.
  ZPHUndoableStateOperation(const QList<ZPHManagedObjectID>& managedObjectIds, bool targetState);
  ZPHUndoableStateOperation(const QList<ZPHManagedObjectID>& managedObjectIds, bool targetState,
                            bool originalTargetState);

  const QList<ZPHManagedObjectID>& managedObjectIds() const { return m_managedObjectIds; }
  bool targetState() const { return m_targetState; }
  // The target state of the operation the user first asked for.
  bool originalTargetState() const { return m_originalTargetState; }

protected:
  // In a new temporary context: `change` for each identifier that resolves to
  // a live article, then a save through the application delegate. Gone and
  // deleted articles are skipped.
  void changeEachArticle(const std::function<void(CBDataArticle*)>& change) const;

private:
  const QList<ZPHManagedObjectID> m_managedObjectIds;
  const bool m_targetState;
  const bool m_originalTargetState;
};
