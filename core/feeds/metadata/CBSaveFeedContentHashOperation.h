#pragma once

#include "platform/CBOperation.h"

#include <QtCore/QByteArray>
#include <QtCore/QUrl>

#include <memory>

class CBLocalAccountFeedMetadataCache;

// Stores the digest of a feed's body in the feed metadata database on a
// worker thread (no delegate), unless cancelled first.
class CBSaveFeedContentHashOperation : public CBOperation {
public:
  CBSaveFeedContentHashOperation(std::shared_ptr<CBLocalAccountFeedMetadataCache> cache, const QByteArray& contentHash,
                                 const QUrl& feedURL);

  QByteArray contentHash() const { return m_contentHash; }
  QUrl feedURL() const { return m_feedURL; }

protected:
  void main() override;

private:
  const std::shared_ptr<CBLocalAccountFeedMetadataCache> m_cache;
  const QByteArray m_contentHash;
  const QUrl m_feedURL;
};
