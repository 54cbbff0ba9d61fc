#pragma once

#include "platform/ZPHOperation.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QList>
#include <QtCore/QSet>

#include <memory>

class CBNode;

// Deletes, on the store queue, the feeds and folders the user deleted, with
// the articles of those feeds (their contents, enclosures and metadata, but
// bookmarked metadata stays, so a bookmark comes back with its article when
// the feed is added again).
//
// The articles go first, in batches of ArticleBatchSize, each batch saved on
// its own in one temporary context that is reset between batches; the feeds
// and folders go with the last batch. So memory stays bounded however many
// articles there are, and a run that is cut off (the program is killed, the
// store fails) leaves the feeds and folders in place with some of their
// articles: never an article without its feed. Before each save,
// ZPHWillDeleteCoreDataObjectsInBackgroundNotification names everything
// that save deletes; it is delivered on the store queue, and main-thread
// holders take it from there without the store queue waiting for them.
// After each save, the cached images found in the deleted articles' HTML
// are purged on the main thread (through the purge the application
// installs on ZPHDeleteMarkedArticlesOperation).
class ZPHDeletionOperation : public ZPHOperation {
public:
  static constexpr int ArticleBatchSize = 500;

  explicit ZPHDeletionOperation(const QSet<ZPHManagedObjectID>& objectIDsToDelete);

  // The operation for the feeds and folders among `nodes` (main thread, the
  // nodes saved); null when there are none.
  static std::shared_ptr<ZPHDeletionOperation> deletionOperationWithNodesToDelete(const QList<CBNode*>& nodes);

  const QSet<ZPHManagedObjectID>& objectIDsToDelete() const { return m_objectIDsToDelete; }

protected:
  void main() override;

private:
  QSet<ZPHManagedObjectID> m_objectIDsToDelete;
};
