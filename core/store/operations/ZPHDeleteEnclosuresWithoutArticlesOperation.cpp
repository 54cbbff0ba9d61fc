#include "store/operations/ZPHDeleteEnclosuresWithoutArticlesOperation.h"

#include "platform/ZPHLog.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"

namespace {

std::shared_ptr<ZPHBatchDeletionOperation> makeBatch(const QList<ZPHManagedObjectID>& batch,
                                                     std::shared_ptr<ZPHManagedObjectContext> context)
{
  return std::make_shared<ZPHDeleteEnclosuresWithoutArticlesOperation>(batch, std::move(context));
}

}  // namespace

ZPHDeleteEnclosuresWithoutArticlesOperation::ZPHDeleteEnclosuresWithoutArticlesOperation(
    const QList<ZPHManagedObjectID>& enclosureObjectIDsToDelete, std::shared_ptr<ZPHManagedObjectContext> context)
    : ZPHBatchDeletionOperation(enclosureObjectIDsToDelete, std::move(context))
{
}

void ZPHDeleteEnclosuresWithoutArticlesOperation::asynchronouslyDeleteEnclosuresWithoutArticles()
{
  startRun(&objectIDsForEnclosuresWithoutArticlesWithMOC, &makeBatch);
}

QList<ZPHManagedObjectID> ZPHDeleteEnclosuresWithoutArticlesOperation::objectIDsForEnclosuresWithoutArticlesWithMOC(
    ZPHManagedObjectContext* context)
{
  ZPHError error;
  const QList<ZPHManagedObjectID> objectIDs = context->executeFetchRequestForObjectIDs(
      ZPHFetchRequest(CBDataEntityNameEnclosure, ZPHPredicate::equal(QStringLiteral("article"), QVariant())), &error);
  if (!error.isNull())
    qCCritical(zphStore) << error.toString();
  return objectIDs;
}

void ZPHDeleteEnclosuresWithoutArticlesOperation::
    continueAsynchronouslyDeletingEnclosuresWithoutArticlesWithManagedObjectContext(
        std::shared_ptr<ZPHManagedObjectContext> context, const QList<ZPHManagedObjectID>& enclosureObjectIDs)
{
  continueRun(std::move(context), enclosureObjectIDs, &makeBatch);
}

void ZPHDeleteEnclosuresWithoutArticlesOperation::deleteObjects(const QList<ZPHManagedObject*>& objects,
                                                                ZPHManagedObjectContext* context)
{
  for (ZPHManagedObject* enclosure : objects) context->deleteObject(enclosure);
}
