#pragma once

#include "platform/ZPHError.h"
#include "store/graph/ZPHManagedObjectID.h"
#include "subscribe/ZPHFeedResult.h"

#include <QtCore/QList>
#include <QtCore/QMetaType>

#include <memory>

class CBFeed;
class ZPHSubscribeRequest;

// How one subscribe request ended: the feed found (address, title,
// credentials), the error when it failed, and the feed in the store: the one
// added, or, for a feed the account had already, that one (with an error).
class ZPHFeedSubscriptionResult : public ZPHFeedResult {
public:
  explicit ZPHFeedSubscriptionResult(std::shared_ptr<ZPHSubscribeRequest> request = nullptr)
      : m_subscribeRequest(std::move(request))
  {
  }

  std::shared_ptr<ZPHSubscribeRequest> subscribeRequest() const { return m_subscribeRequest; }
  void setSubscribeRequest(std::shared_ptr<ZPHSubscribeRequest> request) { m_subscribeRequest = std::move(request); }
  ZPHError error() const { return m_error; }
  void setError(const ZPHError& error) { m_error = error; }

  // The feed in the main context (main thread); nullptr when there is none
  // or it is gone.
  CBFeed* resultingSubscribedFeed() const;
  ZPHManagedObjectID resultingSubscribedFeedID() const { return m_resultingSubscribedFeedID; }
  void setResultingSubscribedFeed(CBFeed* feed);

  QString description() const override;

private:
  std::shared_ptr<ZPHSubscribeRequest> m_subscribeRequest;
  ZPHError m_error;
  ZPHManagedObjectID m_resultingSubscribedFeedID;
};

using ZPHFeedSubscriptionResults = QList<std::shared_ptr<ZPHFeedSubscriptionResult>>;
Q_DECLARE_METATYPE(std::shared_ptr<ZPHFeedSubscriptionResult>)
Q_DECLARE_METATYPE(ZPHFeedSubscriptionResults)
