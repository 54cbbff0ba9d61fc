#include "store/CBFeed.h"

const QString CBFeedLastFeedRefreshErrorKey = QStringLiteral("lastFeedRefreshError");

namespace {

QUrl urlFromString(const QString& text)
{
  return text.isEmpty() ? QUrl() : QUrl(text);
}

QString stringFromURL(const QUrl& url)
{
  return url.isEmpty() ? QString() : url.toString(QUrl::FullyEncoded);
}

}  // namespace

bool CBFeed::canBeRefreshed() const
{
  return !suspended() && !deleted() && !excludeFromDisplay();
}

QUrl CBFeed::URL() const
{
  return urlFromString(url());
}

void CBFeed::setURL(const QUrl& url)
{
  setUrl(stringFromURL(url));
}

QUrl CBFeed::homePageURL() const
{
  return urlFromString(strHomePageURL());
}

void CBFeed::setHomePageURL(const QUrl& url)
{
  setStrHomePageURL(stringFromURL(url));
}

QUrl CBFeed::faviconURL() const
{
  return urlFromString(strFaviconURL());
}

void CBFeed::setFaviconURL(const QUrl& url)
{
  setStrFaviconURL(stringFromURL(url));
}

QDateTime CBFeed::dateForDisplay() const
{
  return QDateTime::fromMSecsSinceEpoch(qint64(pubDate() * 1000.0), Qt::UTC);
}

void CBFeed::setLastFeedRefreshError(const ZPHError& error)
{
  m_lastFeedRefreshError = error;
  notifyChange(CBFeedLastFeedRefreshErrorKey);
}
