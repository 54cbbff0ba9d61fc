#include "store/CBCoreDataUtilities.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "store/graph/ZPHManagedObjectContext.h"

void CBSaveManagedObjectContext(ZPHManagedObjectContext* context)
{
  if (context == nullptr || !context->hasChanges())
    return;
  ZPHError error;
  if (context->save(&error))
    return;
  qCCritical(zphStore) << "Quitting due to Core Data save error:" << error.toString();
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    delegate->handleCoreDataFailureWithError(error);
}
