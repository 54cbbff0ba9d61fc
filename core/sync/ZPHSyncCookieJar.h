#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QUrl>
#include <QtNetwork/QNetworkCookie>
#include <QtNetwork/QNetworkCookieJar>

#include <memory>

// The cookies of the sync client, kept apart from every other request of
// the program (downloads send and keep none) and in memory only. The sync
// calls send what it holds for their address and keep what the server sets;
// a reset of the sync account empties it. Safe from any thread.
class ZPHSyncCookieJar {
public:
  ZPHSyncCookieJar();
  ~ZPHSyncCookieJar();
  ZPHSyncCookieJar(const ZPHSyncCookieJar&) = delete;
  ZPHSyncCookieJar& operator=(const ZPHSyncCookieJar&) = delete;

  // The jar of the process.
  static ZPHSyncCookieJar& sharedJar();

  // The value of a "Cookie" header for a request to `url`; empty when none.
  QByteArray cookieHeaderForURL(const QUrl& url) const;
  // Keeps the cookies of a response's "Set-Cookie" header (several cookies
  // separated by line breaks) received from `url`.
  void setCookiesFromHeader(const QByteArray& setCookieHeader, const QUrl& url);

  QList<QNetworkCookie> cookiesForURL(const QUrl& url) const;
  // Deletes every cookie the jar holds; answers them.
  QList<QNetworkCookie> deleteAllCookies();

private:
  class Jar;
  mutable QMutex m_mutex;
  std::unique_ptr<Jar> m_jar;
};
