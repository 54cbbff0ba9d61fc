#pragma once

#include "platform/ZPHOperation.h"

#include <QtCore/QString>

#include <functional>
#include <memory>

class ZPHManagedObjectContext;

// A store-queue operation that the user can undo: it names itself for the
// Edit menu and builds the operation that undoes it. The application
// registers the inverse with its undo stack under the action name and then
// queues the operation (ZPHCoreApplicationDelegate::performUndoableOperation).
//
// Abstract: subclasses answer both members; the answers here are assertion
// failures that give nothing.
//
// Use it rather than another operation base only for a change the user made
// and may take back; it runs on the store queue like any other operation.
class ZPHUndoableOperation : public ZPHOperation {
public:
  // The name of the undo step ("Mark All As Read").
  virtual QString actionName() const;
  // A new operation that undoes this one.
  virtual std::shared_ptr<ZPHUndoableOperation> inverseOperation() const;

protected:
  ZPHUndoableOperation() = default;
};

// Runs `change` in a new temporary context of the application delegate and
// saves that context through the delegate; nothing without a delegate. The
// mark operations do their work this way on the store queue.
void zph_changeInTemporaryContextAndSave(const std::function<void(ZPHManagedObjectContext*)>& change);
