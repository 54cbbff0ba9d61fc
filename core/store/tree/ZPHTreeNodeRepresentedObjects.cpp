#include "store/tree/ZPHTreeNodeRepresentedObjects.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHMainThread.h"
#include "store/CBDataController.h"
#include "store/accounts/CBGlobalAccount.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/tree/CBTreeNode.h"

#include <QtCore/QSet>

namespace {

// The unread articles of a represented object that is not a stored feed or
// folder: a smart feed, or the global account's Favorites group. Every other
// object (an account, another Favorites group) names no articles.
QList<ZPHManagedObjectID> managedObjectIDsOfUnreadArticlesInOtherObject(CBTreeNodeRepresentedObject* object,
                                                                        ZPHManagedObjectContext* context)
{
  if (auto* globalFeed = dynamic_cast<CBGlobalFeed*>(object))
    return globalFeed->managedObjectIDsOfUnreadArticlesWithManagedObjectContext(context);
  if (auto* group = dynamic_cast<ZPHGlobalFavoritesGroup*>(object)) {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    CBDataController* dataController = delegate ? delegate->dataController() : nullptr;
    CBGlobalAccount* globalAccount = dataController ? dataController->globalAccount() : nullptr;
    if (globalAccount != nullptr && globalAccount->favoritesGroup() == group)
      return group->managedObjectIDsOfUnreadArticlesWithManagedObjectContext(context);
  }
  return {};
}

// The node as the main context has it now; nullptr when it is gone or
// deleted.
CBNode* currentNode(const CBNode* node, ZPHManagedObjectContext* context)
{
  if (node == nullptr)
    return nullptr;
  auto* current = dynamic_cast<CBNode*>(context->existingObjectWithID(node->objectID()));
  if (current == nullptr || current->isDeleted() || current->deleted())
    return nullptr;
  return current;
}

}  // namespace

QList<ZPHManagedObjectID> zph_managedObjectIDsOfUnreadArticlesInTreeNodeRepresentedObjects(
    const QList<ZPHRepresentedObject>& objects)
{
  ZPH_ASSERT_MAIN_THREAD();
  QList<ZPHManagedObjectID> objectIDs;
  if (objects.isEmpty())
    return objectIDs;
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  ZPHManagedObjectContext* context = delegate ? delegate->mainThreadManagedObjectContext() : nullptr;
  if (context == nullptr)
    return objectIDs;

  // Each feed once, in the order met.
  QList<CBFeed*> feeds;
  QSet<const CBFeed*> feedsMet;
  auto addFeed = [&](CBFeed* feed) {
    if (feed != nullptr && !feedsMet.contains(feed)) {
      feedsMet.insert(feed);
      feeds.append(feed);
    }
  };

  for (const ZPHRepresentedObject& object : objects) {
    if (CBTreeNodeRepresentedObject* const* other = std::get_if<CBTreeNodeRepresentedObject*>(&object)) {
      if (*other != nullptr)
        objectIDs.append(managedObjectIDsOfUnreadArticlesInOtherObject(*other, context));
      continue;
    }
    CBNode* node = currentNode(std::get<CBNode*>(object), context);
    if (auto* feed = dynamic_cast<CBFeed*>(node)) {
      addFeed(feed);
    } else if (auto* folder = dynamic_cast<CBFolder*>(node)) {
      for (CBFeed* descendant : folder->descendantFeedsForMarkAsRead()) addFeed(descendant);
    }
  }

  objectIDs.append(CBFeed::managedObjectIDsOfUnreadArticlesForFeeds(feeds, context));
  return objectIDs;
}
