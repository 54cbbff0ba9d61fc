#pragma once

#include "platform/ZPHOperation.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QList>

#include <memory>

class CBNode;

// Marks feeds favourite, or not, on the store queue (not undoable). Feeds
// gone or deleted by then are skipped.
class ZPHMarkFeedAsFavoriteOperation : public ZPHOperation {
public:
  ZPHMarkFeedAsFavoriteOperation(const QList<ZPHManagedObjectID>& objectIDsToFavorite, bool targetState);

  // Main thread: an operation over the saved feeds among the objects (folders
  // are left out); nullptr when there are none.
  static std::shared_ptr<ZPHMarkFeedAsFavoriteOperation> favoriteOperationWithFeedsToFavorite(
      const QList<CBNode*>& objects, bool targetState);

  const QList<ZPHManagedObjectID>& objectIDsToFavorite() const { return m_objectIDsToFavorite; }
  bool targetState() const { return m_targetState; }

protected:
  void main() override;

private:
  const QList<ZPHManagedObjectID> m_objectIDsToFavorite;
  const bool m_targetState;
};
