#include "subscribe/ZPHFeedSubscriptionResult.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "subscribe/ZPHSubscribeRequest.h"

CBFeed* ZPHFeedSubscriptionResult::resultingSubscribedFeed() const
{
  if (m_resultingSubscribedFeedID.isNull())
    return nullptr;
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  ZPHManagedObjectContext* context = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
  if (context == nullptr)
    return nullptr;
  ZPHManagedObject* object = m_resultingSubscribedFeedID.isTemporaryID()
                                 ? context->registeredObject(m_resultingSubscribedFeedID)
                                 : context->existingObjectWithID(m_resultingSubscribedFeedID);
  auto* feed = dynamic_cast<CBFeed*>(object);
  return feed != nullptr && !feed->isDeleted() ? feed : nullptr;
}

void ZPHFeedSubscriptionResult::setResultingSubscribedFeed(CBFeed* feed)
{
  m_resultingSubscribedFeedID = feed != nullptr ? feed->objectID() : ZPHManagedObjectID();
}

QString ZPHFeedSubscriptionResult::description() const
{
  return QStringLiteral("%1 <request: %2, error: %3>")
      .arg(ZPHFeedResult::description(),
           m_subscribeRequest ? m_subscribeRequest->description() : QStringLiteral("(none)"),
           m_error.isNull() ? QStringLiteral("(none)") : m_error.toString());
}
