#include "store/operations/ZPHBatchDeletionOperation.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/CBCoreDataUtilities.h"
#include "store/graph/ZPHManagedObjectContext.h"

const QString ZPHWillDeleteCoreDataObjectsInBackgroundNotification =
    QStringLiteral("ZPHWillDeleteCoreDataObjectsInBackgroundNotification");
const QString CBDataDidDeleteArticlesNotification = QStringLiteral("CBDataDidDeleteArticlesNotification");
const QString ZPHManagedObjectObjectIDsKey = QStringLiteral("objectIDs");

ZPHBatchDeletionOperation::ZPHBatchDeletionOperation(const QList<ZPHManagedObjectID>& objectIDs,
                                                     std::shared_ptr<ZPHManagedObjectContext> context)
    : m_objectIDs(objectIDs), m_context(std::move(context))
{
}

void ZPHBatchDeletionOperation::startRun(IdentifierFetch fetch, BatchFactory make)
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr || !fetch || !make)
    return;
  delegate->addCoreDataQueueBlock(
      [fetch = std::move(fetch), make = std::move(make)] {
        ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
        std::shared_ptr<ZPHManagedObjectContext> context =
            delegate ? delegate->temporaryManagedObjectContextOnPrivateQueue() : nullptr;
        if (context == nullptr)
          return;
        QList<ZPHManagedObjectID> objectIDs;
        context->performBlockAndWait([&] { objectIDs = fetch(context.get()); });
        if (!objectIDs.isEmpty())
          continueRun(std::move(context), objectIDs, make);
      },
      {});
}

void ZPHBatchDeletionOperation::continueRun(std::shared_ptr<ZPHManagedObjectContext> context,
                                            const QList<ZPHManagedObjectID>& objectIDs, BatchFactory make)
{
  Q_ASSERT_X(context != nullptr, Q_FUNC_INFO, "Invalid parameter not satisfying: managedObjectContext");
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (context == nullptr || objectIDs.isEmpty() || delegate == nullptr)
    return;
  const QList<ZPHManagedObjectID> batch = objectIDs.mid(0, BatchSize);
  const QList<ZPHManagedObjectID> rest = objectIDs.mid(batch.size());
  std::shared_ptr<ZPHBatchDeletionOperation> operation = make(batch, context);
  if (operation == nullptr)
    return;
  // The next batch follows once this one has run; a cancelled run (the
  // application quits) stops here.
  std::weak_ptr<ZPHBatchDeletionOperation> weak = operation;
  operation->setCompletionBlock([weak, context, rest, make] {
    std::shared_ptr<ZPHBatchDeletionOperation> finished = weak.lock();
    if (finished && finished->isCancelled())
      return;
    continueRun(context, rest, make);
  });
  delegate->addCoreDataQueueOperation(std::move(operation));
}

void ZPHBatchDeletionOperation::main()
{
  Q_ASSERT_X(m_context != nullptr, Q_FUNC_INFO, "the operation needs a managed object context!");
  if (m_context == nullptr) {
    qCCritical(zphStore) << "the operation needs a managed object context!";
    return;
  }
  if (m_objectIDs.isEmpty())
    return;
  ZPHManagedObjectContext* context = m_context.get();
  context->performBlockAndWait([&] {
    context->reset();
    const QList<ZPHManagedObject*> objects = context->existingObjectsWithIDs(m_objectIDs);
    if (objects.isEmpty())
      return;
    deleteObjects(objects, context);
    const QList<ZPHManagedObject*> deleted = context->deletedObjects();
    if (!deleted.isEmpty()) {
      QList<ZPHManagedObjectID> deletedIDs;
      deletedIDs.reserve(deleted.size());
      for (const ZPHManagedObject* object : deleted) deletedIDs.append(object->objectID());
      ZPHNotificationCenter::defaultCenter().post(ZPHWillDeleteCoreDataObjectsInBackgroundNotification,
                                                  QVariant::fromValue(static_cast<void*>(this)),
                                                  {{ZPHManagedObjectObjectIDsKey, QVariant::fromValue(deletedIDs)}});
    }
    CBSaveManagedObjectContext(context);
    if (context->hasChanges())
      return;  // the save failed; the application delegate has been told
    didSave();
    // Objects of this batch are not kept until the next one.
    context->reset();
  });
}
