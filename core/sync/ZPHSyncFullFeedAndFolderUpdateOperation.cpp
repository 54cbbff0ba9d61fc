#include "sync/ZPHSyncFullFeedAndFolderUpdateOperation.h"

#include "platform/ZPHNotificationCenter.h"
#include "store/entities/CBNode.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncDeletedNodeLog.h"
#include "sync/ZPHSyncUtils.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

namespace {

const QString FoldersKey = QStringLiteral("folders");
const QString FeedsKey = QStringLiteral("feeds");
const QString IsFolderKey = QStringLiteral("isFolder");

}  // namespace

bool ZPHSyncFullFeedAndFolderUpdateOperation::makePostBody(QByteArray* body, ZPHError* error)
{
  QJsonArray folders;
  QJsonArray feeds;
  m_localFeedsAndFolders.clear();
  const bool ran = performOnStoreQueue([&](ZPHManagedObjectContext* context) {
    for (const CBNode* node : CBNode::nodesToSyncWithMOC(context)) {
      (node->isFolder() ? folders : feeds).append(ZPHSyncUtils::dictionaryForNode(node));
      m_localFeedsAndFolders.append({node->objectID(), node->modDate()});
    }
  });
  if (!ran) {
    return ZPHSetError(
        error,
        ZPHError(ZPHSyncErrorDomain, ZPHSyncErrorStore,
                 {{ZPHLocalizedDescriptionKey, QStringLiteral("The feeds and folders to send could not be read.")}}));
  }
  m_sentDeletions = ZPHSyncDeletedNodeLog::sharedLog().pendingNodes();
  for (QJsonObject node : std::as_const(m_sentDeletions)) {
    // Every node carries these; deletions an earlier version kept lack them.
    for (const QString& key : {QStringLiteral("childIndex"), QStringLiteral("flags")}) {
      if (!node.contains(key))
        node.insert(key, 0);
    }
    (node.value(IsFolderKey).toInt() == 1 ? folders : feeds).append(node);
  }
  *body = QJsonDocument(QJsonObject{{FoldersKey, folders}, {FeedsKey, feeds}}).toJson(QJsonDocument::Compact);
  return true;
}

void ZPHSyncFullFeedAndFolderUpdateOperation::success()
{
  const std::optional<QJsonObject> reply = usableReply();
  if (!reply)
    return;
  bool saved = false;
  const bool ran = performOnStoreQueue([&](ZPHManagedObjectContext* context) {
    for (const SentNode& sent : std::as_const(m_localFeedsAndFolders)) {
      auto* node = dynamic_cast<CBNode*>(context->existingObjectWithID(sent.objectID));
      if (node == nullptr || node->isDeleted())
        continue;
      // A change made while the call was under way goes with the next one.
      if (node->modDate() != sent.modDate)
        continue;
      node->setNeedsSync(false);
      if (node->deleted())
        context->deleteObject(node);
    }
    saved = saveContext(context);
  });
  if (!ran || !saved) {
    if (!isCancelled())
      failWithSyncError(ZPHSyncErrorStore, QStringLiteral("The sent feeds and folders could not be marked as synced."));
    return;
  }
  ZPHSyncDeletedNodeLog::sharedLog().remove(m_sentDeletions);
  ZPHNotificationCenter::defaultCenter().post(ZPHSyncDataExportedNotification, QVariant(reply->toVariantMap()));
  setSucceeded();
}
