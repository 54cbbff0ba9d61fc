#pragma once

// Qt kind: QObject.

#include "platform/ZPHError.h"

#include <QtCore/QObject>
#include <QtCore/QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// The client of the social network the posting command posts to. Its
// protocol, over HTTPS (or plain HTTP to this machine), on the main thread:
//
//   Token:  POST <base>/oauth/access_token, a form with "grant_type" =
//           "password", "username", "password", "client_id",
//           "password_grant_secret" and "scope" (the scope bits as names,
//           space-separated: 1 "basic", 2 "stream", 4 "email",
//           8 "write_post"). 200 with {"access_token": "<token>"} logs in;
//           400, 401 and 403 mean the credentials were refused.
//   Post:   POST <base>/posts with "Authorization: Bearer <token>" and the
//           JSON body {"text": "<text>"}. 200 and 201 mean posted; 401 that
//           the token is no longer good.
//
// Errors are of ErrorDomain: AuthenticationFailed (refused credentials or
// token), TransportFailed (no answer: no connection, refused, time-out) and
// ServiceFailed (any other answer; the service's "error_message", as plain
// text, is the description). Every request has the core's user agent, a
// time-out, no cache, no cookies and no redirects. Nothing here logs a
// password or a token.
//
// The service's address, the application's client identifier and secret
// are settings, empty by default; without an address nothing is sent.
class ZPHSocialPostClient : public QObject {
  Q_OBJECT

public:
  static const QString ErrorDomain;  // "com.fernhollow.zephlin.errorDomains.socialPost"
  enum ErrorCode { AuthenticationFailed = 1, TransportFailed = 2, ServiceFailed = 3 };
  enum Scope { ScopeBasic = 1, ScopeStream = 2, ScopeEmail = 4, ScopeWritePost = 8 };

  static const QString BaseURLDefaultsKey;              // "ZPHSocialPostBaseURL"
  static const QString ClientIDDefaultsKey;             // "ZPHSocialPostClientID"
  static const QString PasswordGrantSecretDefaultsKey;  // "ZPHSocialPostPasswordGrantSecret"
  // The service's address from the settings; invalid when it is missing or
  // neither https nor http to this machine.
  static QUrl baseURL();
  static int requestTimeout();
  static void setRequestTimeout(int milliseconds);
  // The scope names for the bits, space-separated.
  static QString scopeNames(int scopes);

  // The client the posting command uses, made on first use.
  static ZPHSocialPostClient* sharedClient();

  explicit ZPHSocialPostClient(QObject* parent = nullptr);
  ~ZPHSocialPostClient() override;

  QString accessToken() const { return m_accessToken; }
  void setAccessToken(const QString& accessToken) { m_accessToken = accessToken; }
  bool isAuthenticated() const { return !m_accessToken.isEmpty(); }
  // Forgets the token.
  void logOut() { m_accessToken.clear(); }

  // Asks for a token; on success the client holds it. `completion` runs
  // once, on the main thread.
  void authenticate(const QString& username, const QString& password, const QString& clientID,
                    const QString& passwordGrantSecret, int scopes,
                    std::function<void(bool success, const ZPHError& error)> completion);
  // Posts the text with the token held.
  void createPost(const QString& text, std::function<void(const ZPHError& error)> completion);

private:
  QNetworkReply* post(const QString& path, const QByteArray& body, const QByteArray& contentType,
                      const QByteArray& bearerToken);
  static ZPHError errorForReply(QNetworkReply* reply, const QByteArray& body, bool refusedMeansAuthentication);

  QNetworkAccessManager* m_network = nullptr;
  QString m_accessToken;
};
