#pragma once

#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "platform/CBOperation.h"

#include <QtCore/QByteArray>
#include <QtCore/QUrl>

#include <memory>
#include <optional>

// Stores what the next refresh of a feed compares against, its body's digest
// and then its conditional-GET values, in one write to the feed metadata
// database on a worker thread (no delegate), unless cancelled first.
class CBSaveFeedResponseValuesOperation : public CBOperation {
public:
  CBSaveFeedResponseValuesOperation(std::shared_ptr<CBLocalAccountFeedMetadataCache> cache,
                                    const QByteArray& contentHash,
                                    std::optional<CBHTTPConditionalGetInfo> conditionalGetInfo, const QUrl& feedURL);

  QByteArray contentHash() const { return m_contentHash; }
  std::optional<CBHTTPConditionalGetInfo> conditionalGetInfo() const { return m_conditionalGetInfo; }
  QUrl feedURL() const { return m_feedURL; }

protected:
  void main() override;

private:
  const std::shared_ptr<CBLocalAccountFeedMetadataCache> m_cache;
  const QByteArray m_contentHash;
  const std::optional<CBHTTPConditionalGetInfo> m_conditionalGetInfo;
  const QUrl m_feedURL;
};
