#include "store/entities/ZPHFeedStub.h"

#include "foundation/CBMimeTypes.h"
#include "foundation/CBString.h"
#include "platform/ZPHLog.h"
#include "store/entities/CBFeed.h"

#include <QtCore/QUrl>

const QString ZPHFeedStubErrorDomain = QStringLiteral("ZPHFeedStubErrorDomain");

namespace {

ZPHError unsupportedAddress(const QString& urlString)
{
  return ZPHError(ZPHFeedStubErrorDomain, ZPHFeedStubErrorUnsupportedAddress,
                  {{ZPHLocalizedDescriptionKey,
                    QStringLiteral("The address \"%1\" is not a web address and was not imported.").arg(urlString)}});
}

}  // namespace

CBFeed* ZPHFeedStub::buildFeedWithManagedObjectContext(ZPHManagedObjectContext* context, ZPHError* error)
{
  if (m_urlString.isEmpty() || context == nullptr)
    return nullptr;
  if (CBURLIsFeedURL(m_urlString)) {
    const QString webAddress = CBURLWithFeedURL(m_urlString);
    if (webAddress.isEmpty()) {
      qCWarning(zphStore) << "skipped a feed: address that wraps no web address:" << m_urlString;
      if (error != nullptr)
        *error = unsupportedAddress(m_urlString);
      return nullptr;
    }
    m_urlString = webAddress;
  }
  const QUrl url(cb_stringStrippedForItsURL(m_urlString), QUrl::StrictMode);
  if (!CBURLIsWebURL(url)) {
    qCWarning(zphStore) << "skipped an address that is not http or https:" << m_urlString;
    if (error != nullptr)
      *error = unsupportedAddress(m_urlString);
    return nullptr;
  }
  if (CBFeed::feedWithURL(m_urlString, context) != nullptr)
    return nullptr;

  CBFeed* feed = CBFeed::insertFeedWithURL(url, context);
  if (!m_homePageURLString.isEmpty())
    feed->setHomePageURL(QUrl(m_homePageURLString));
  feed->setFeedSpecifiedName(m_feedSpecifiedName);
  feed->setUserSpecifiedName(m_userSpecifiedName);
  feed->setUsername(m_username);
  // Kept on the feed in memory only; the store never writes it.
  feed->setPassword(m_password);
  return feed;
}
