#include "sync/ZPHSyncCookieJar.h"

#include <QtCore/QMutexLocker>

namespace {

// More cookies than any sync server needs; a server that sets more loses
// the surplus.
constexpr int MaximumCookiesPerResponse = 50;

}  // namespace

// The platform's jar, with its list of cookies in reach.
class ZPHSyncCookieJar::Jar : public QNetworkCookieJar {
public:
  using QNetworkCookieJar::allCookies;
  using QNetworkCookieJar::setAllCookies;
};

ZPHSyncCookieJar::ZPHSyncCookieJar() : m_jar(std::make_unique<Jar>()) {}

ZPHSyncCookieJar::~ZPHSyncCookieJar() = default;

ZPHSyncCookieJar& ZPHSyncCookieJar::sharedJar()
{
  static ZPHSyncCookieJar jar;
  return jar;
}

QByteArray ZPHSyncCookieJar::cookieHeaderForURL(const QUrl& url) const
{
  QByteArray header;
  for (const QNetworkCookie& cookie : cookiesForURL(url)) {
    if (!header.isEmpty())
      header += "; ";
    header += cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
  }
  return header;
}

void ZPHSyncCookieJar::setCookiesFromHeader(const QByteArray& setCookieHeader, const QUrl& url)
{
  if (setCookieHeader.isEmpty())
    return;
  QList<QNetworkCookie> cookies = QNetworkCookie::parseCookies(setCookieHeader);
  if (cookies.size() > MaximumCookiesPerResponse)
    cookies.resize(MaximumCookiesPerResponse);
  QMutexLocker locker(&m_mutex);
  m_jar->setCookiesFromUrl(cookies, url);
}

QList<QNetworkCookie> ZPHSyncCookieJar::cookiesForURL(const QUrl& url) const
{
  QMutexLocker locker(&m_mutex);
  return m_jar->cookiesForUrl(url);
}

QList<QNetworkCookie> ZPHSyncCookieJar::deleteAllCookies()
{
  QMutexLocker locker(&m_mutex);
  const QList<QNetworkCookie> cookies = m_jar->allCookies();
  m_jar->setAllCookies({});
  return cookies;
}
