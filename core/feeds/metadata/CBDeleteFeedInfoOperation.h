#pragma once

#include "platform/CBOperation.h"

#include <QtCore/QUrl>

#include <memory>

class CBLocalAccountFeedMetadataCache;

// Removes everything the feed metadata database keeps for one feed, on a
// worker thread (no delegate), unless cancelled first, so the feed's next
// refresh is unconditional.
class CBDeleteFeedInfoOperation : public CBOperation {
public:
  CBDeleteFeedInfoOperation(std::shared_ptr<CBLocalAccountFeedMetadataCache> cache, const QUrl& feedURL);

  QUrl feedURL() const { return m_feedURL; }

protected:
  void main() override;

private:
  const std::shared_ptr<CBLocalAccountFeedMetadataCache> m_cache;
  const QUrl m_feedURL;
};
