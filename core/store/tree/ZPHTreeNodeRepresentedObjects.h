#pragma once

#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QList>

#include <variant>

class CBNode;
class CBTreeNodeRepresentedObject;

// What a source-list node stands for: a stored feed or folder, or another
// object (an account, a smart feed, the Favorites group).
using ZPHRepresentedObject = std::variant<CBNode*, CBTreeNodeRepresentedObject*>;

// Main thread. The identifiers of the unread articles in the objects, for
// marking them all read: every feed given, every feed below a folder given
// that is not suspended and has unread articles, and what the other objects
// name. Feeds and folders are looked up again in the main context; those
// gone or deleted are skipped. An identifier may appear twice.
QList<ZPHManagedObjectID> zph_managedObjectIDsOfUnreadArticlesInTreeNodeRepresentedObjects(
    const QList<ZPHRepresentedObject>& objects);
