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

CBFeed* ZPHFeedStub::buildFeedWithManagedObjectContext(ZPHManagedObjectContext* context, ZPHError* error,
                                                       bool checksForExistingFeed)
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
  // The feed's address is stored without a login written into it; the login
  // becomes the feed's unless the stub has one of its own.
  const QUrl address = url.adjusted(QUrl::RemoveUserInfo);
  if (checksForExistingFeed && CBFeed::feedWithURL(address.toString(QUrl::FullyEncoded), context) != nullptr)
    return nullptr;

  CBFeed* feed = CBFeed::insertFeedWithURL(address, context);
  if (!m_homePageURLString.isEmpty())
    feed->setHomePageURL(QUrl(m_homePageURLString));
  feed->setFeedSpecifiedName(m_feedSpecifiedName);
  feed->setUserSpecifiedName(m_userSpecifiedName);
  const bool loginInAddress = m_username.isEmpty() && !url.userName().isEmpty();
  feed->setUsername(loginInAddress ? url.userName(QUrl::FullyDecoded) : m_username);
  // Kept on the feed in memory only; the store never writes it.
  feed->setPassword(loginInAddress ? url.password(QUrl::FullyDecoded) : m_password);
  return feed;
}
