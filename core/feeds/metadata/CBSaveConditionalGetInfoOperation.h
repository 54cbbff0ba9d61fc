#pragma once

#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "platform/CBOperation.h"

#include <QtCore/QUrl>

#include <memory>
#include <optional>

// Stores a feed's conditional-GET values in the feed metadata database on a
// worker thread (no delegate), unless cancelled first.
class CBSaveConditionalGetInfoOperation : public CBOperation {
public:
  CBSaveConditionalGetInfoOperation(std::shared_ptr<CBLocalAccountFeedMetadataCache> cache,
                                    std::optional<CBHTTPConditionalGetInfo> conditionalGetInfo, const QUrl& feedURL);

  std::optional<CBHTTPConditionalGetInfo> conditionalGetInfo() const { return m_conditionalGetInfo; }
  QUrl feedURL() const { return m_feedURL; }

protected:
  void main() override;

private:
  const std::shared_ptr<CBLocalAccountFeedMetadataCache> m_cache;
  const std::optional<CBHTTPConditionalGetInfo> m_conditionalGetInfo;
  const QUrl m_feedURL;
};
