#include "store/operations/ZPHMarkFeedAsFavoriteOperation.h"

#include "platform/ZPHMainThread.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHUndoableOperation.h"

ZPHMarkFeedAsFavoriteOperation::ZPHMarkFeedAsFavoriteOperation(const QList<ZPHManagedObjectID>& objectIDsToFavorite,
                                                               bool targetState)
    : m_objectIDsToFavorite(objectIDsToFavorite), m_targetState(targetState)
{
}

std::shared_ptr<ZPHMarkFeedAsFavoriteOperation> ZPHMarkFeedAsFavoriteOperation::favoriteOperationWithFeedsToFavorite(
    const QList<CBNode*>& objects, bool targetState)
{
  ZPH_ASSERT_MAIN_THREAD();
  QList<ZPHManagedObjectID> objectIDs;
  for (const CBNode* object : objects) {
    // A feed not saved yet has no identifier the store queue could find.
    if (dynamic_cast<const CBFeed*>(object) != nullptr && !object->objectID().isNull() &&
        !object->objectID().isTemporaryID())
      objectIDs.append(object->objectID());
  }
  if (objectIDs.isEmpty())
    return nullptr;
  return std::make_shared<ZPHMarkFeedAsFavoriteOperation>(objectIDs, targetState);
}

void ZPHMarkFeedAsFavoriteOperation::main()
{
  zph_changeInTemporaryContextAndSave([&](ZPHManagedObjectContext* context) {
    for (ZPHManagedObject* object : context->existingObjectsWithIDs(m_objectIDsToFavorite)) {
      auto* feed = dynamic_cast<CBFeed*>(object);
      if (feed != nullptr && !feed->isDeleted())
        feed->operation_only_markAsFavorite(m_targetState);
    }
  });
}
