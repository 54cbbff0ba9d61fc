#pragma once

// Qt kind: QObject.

#include "platform/ZPHError.h"
#include "sharing/CBSharableItem.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QUrl>
#include <QtCore/QVariantMap>
#include <QtNetwork/QNetworkReply>

class CBPluginHelper;
class QNetworkAccessManager;
class ZPHInstapaperClient;

// What a read-later client tells the one that started it.
class ZPHInstapaperClientDelegate {
public:
  virtual ~ZPHInstapaperClientDelegate();
  virtual void instapaperClientDidSucceed(ZPHInstapaperClient* client) = 0;
  virtual void instapaperClientDidFail(ZPHInstapaperClient* client, const ZPHError& error) = 0;
};

// One call to the read-later service: a form POST to "<base>/api/add" (the
// send client) or "<base>/api/authenticate" (the authenticate client) on
// the main thread, with the core's user agent, a 30-second time-out, no
// cache, no cookies sent or kept, and no redirect followed. 200 and 201 are
// success; everything else is an error of ZPHSharingErrorDomain:
//
//   transport failure   3 "Service Unavailable" (4 "Internet Disconnected"
//                        while the desktop says there is no connection)
//   403                 0 "Login Error"
//   other under 300     3, no description
//   300 and above       1 "Service Unavailable" (a redirect too)
//
// Every value of the body is percent-encoded by cb_httpPostArgsString; the
// password is sent only when it is not empty and never logged.
class ZPHInstapaperClient : public QObject {
  Q_OBJECT

public:
  // The setting holding the service's address: https, or http on the
  // loopback (another value, or none, is the service's own address).
  static const QString BaseURLDefaultsKey;  // "ZPHInstapaperAPIBaseURL"
  static const QString DefaultBaseURL;      // "https://www.instapaper.com"
  static QUrl baseURL();
  // Whether an address may serve as the base: https with a host, or http
  // to a loopback address.
  static bool isAcceptableBaseURL(const QUrl& url);

  // The time-out of a request (30 s); tests shorten it.
  static int requestTimeout();
  static void setRequestTimeout(int milliseconds);

  ~ZPHInstapaperClient() override;

  ZPHInstapaperClientDelegate* delegate() const { return m_delegate; }
  void setDelegate(ZPHInstapaperClientDelegate* delegate) { m_delegate = delegate; }
  QString username() const { return m_username; }
  void setUsername(const QString& username) { m_username = username; }
  QString password() const { return m_password; }
  void setPassword(const QString& password) { m_password = password; }
  int statusCode() const { return m_statusCode; }
  ZPHError error() const { return m_error; }
  bool isRunning() const { return m_reply != nullptr; }

  virtual void start();
  // The form fields and their encoded body.
  virtual QVariantMap postBodyDictionary() const;
  QByteArray postBody() const;
  virtual QString apiPath() const = 0;
  QUrl requestURL() const;

  // The error for a transport error (null when none) and a status; null
  // for success.
  static ZPHError errorForNetworkError(const ZPHError& networkError, int statusCode);

protected:
  ZPHInstapaperClient();
  void runAPICall();
  virtual void finishWithError(const ZPHError& error);
  virtual void finishWithSuccess();

private:
  void replyFinished();

  ZPHInstapaperClientDelegate* m_delegate = nullptr;
  QString m_username;
  QString m_password;
  int m_statusCode = 0;
  ZPHError m_error;
  QNetworkAccessManager* m_network = nullptr;
  QPointer<QNetworkReply> m_reply;
};

// Sends an item's address: "url" (its URL, else its permalink), "title" or,
// without one, "auto-title" = 1. Announces itself with the read-later
// notifications (object: the client), each on the main thread.
class ZPHSendToInstapaperClient : public ZPHInstapaperClient {
  Q_OBJECT

public:
  ZPHSendToInstapaperClient(const CBSharableItem& item, CBPluginHelper* helper);
  CBSharableItem sharableItem() const { return m_item; }
  CBPluginHelper* pluginHelper() const { return m_helper; }
  void start() override;
  QVariantMap postBodyDictionary() const override;
  QString apiPath() const override { return QStringLiteral("/api/add"); }

protected:
  void finishWithError(const ZPHError& error) override;
  void finishWithSuccess() override;

private:
  CBSharableItem m_item;
  CBPluginHelper* m_helper;
};

// Checks a user name and password.
class ZPHAuthenticateInstapaperClient : public ZPHInstapaperClient {
  Q_OBJECT

public:
  ZPHAuthenticateInstapaperClient() = default;
  QString apiPath() const override { return QStringLiteral("/api/authenticate"); }
};
