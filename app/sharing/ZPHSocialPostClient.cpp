#include "sharing/ZPHSocialPostClient.h"

#include "foundation/CBCollections.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/ZPHInstapaperClient.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QPointer>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

const QString ZPHSocialPostClient::ErrorDomain = QStringLiteral("com.fernhollow.zephlin.errorDomains.socialPost");
const QString ZPHSocialPostClient::BaseURLDefaultsKey = QStringLiteral("ZPHSocialPostBaseURL");
const QString ZPHSocialPostClient::ClientIDDefaultsKey = QStringLiteral("ZPHSocialPostClientID");
const QString ZPHSocialPostClient::PasswordGrantSecretDefaultsKey = QStringLiteral("ZPHSocialPostPasswordGrantSecret");

namespace {

int g_requestTimeout = 30000;
// An answer is a small JSON object; more is not read.
constexpr qint64 LargestAnswer = 64 * 1024;
// A service's message is shown as it is, up to this length.
constexpr qsizetype LongestMessage = 200;

QString serviceMessage(const QByteArray& body)
{
  const QJsonObject object = QJsonDocument::fromJson(body).object();
  QString message = object.value(QStringLiteral("meta")).toObject().value(QStringLiteral("error_message")).toString();
  if (message.isEmpty())
    message = object.value(QStringLiteral("error_message")).toString();
  message = message.simplified();
  if (message.size() > LongestMessage)
    message = message.left(LongestMessage) + QChar(0x2026);
  return message;
}

}  // namespace

QUrl ZPHSocialPostClient::baseURL()
{
  const QUrl url(ZPHUserDefaults::standardUserDefaults().stringForKey(BaseURLDefaultsKey).trimmed(), QUrl::StrictMode);
  return ZPHInstapaperClient::isAcceptableBaseURL(url) ? url : QUrl();
}

int ZPHSocialPostClient::requestTimeout() { return g_requestTimeout; }

void ZPHSocialPostClient::setRequestTimeout(int milliseconds) { g_requestTimeout = milliseconds; }

QString ZPHSocialPostClient::scopeNames(int scopes)
{
  QStringList names;
  if (scopes & ScopeBasic)
    names.append(QStringLiteral("basic"));
  if (scopes & ScopeStream)
    names.append(QStringLiteral("stream"));
  if (scopes & ScopeEmail)
    names.append(QStringLiteral("email"));
  if (scopes & ScopeWritePost)
    names.append(QStringLiteral("write_post"));
  return names.join(u' ');
}

ZPHSocialPostClient* ZPHSocialPostClient::sharedClient()
{
  static QPointer<ZPHSocialPostClient> shared;
  if (shared == nullptr)
    shared = new ZPHSocialPostClient(QCoreApplication::instance());
  return shared;
}

ZPHSocialPostClient::ZPHSocialPostClient(QObject* parent) : QObject(parent) {}

ZPHSocialPostClient::~ZPHSocialPostClient() = default;

QNetworkReply* ZPHSocialPostClient::post(const QString& path, const QByteArray& body, const QByteArray& contentType,
                                         const QByteArray& bearerToken)
{
  const QUrl base = baseURL();
  if (!base.isValid())
    return nullptr;
  if (m_network == nullptr)
    m_network = new QNetworkAccessManager(this);
  QUrl url = base;
  QString basePath = url.path();
  while (basePath.endsWith(u'/')) basePath.chop(1);
  url.setPath(basePath + path);
  QNetworkRequest request(url);
  request.setTransferTimeout(g_requestTimeout);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
  if (const ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    request.setHeader(QNetworkRequest::UserAgentHeader, delegate->userAgent());
  request.setRawHeader("Content-Type", contentType);
  if (!bearerToken.isEmpty())
    request.setRawHeader("Authorization", "Bearer " + bearerToken);
  return m_network->post(request, body);
}

ZPHError ZPHSocialPostClient::errorForReply(QNetworkReply* reply, const QByteArray& body,
                                            bool refusedMeansAuthentication)
{
  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid())
    return ZPHError(ErrorDomain, TransportFailed,
                    {{ZPHLocalizedDescriptionKey,
                      QCoreApplication::translate("ZPHSocialPostClient", "The service could not be reached.")}});
  const int code = status.toInt();
  if (code == 401 || (refusedMeansAuthentication && (code == 400 || code == 403)))
    return ZPHError(
        ErrorDomain, AuthenticationFailed,
        {{ZPHLocalizedDescriptionKey, QCoreApplication::translate("ZPHSocialPostClient", "Authentication failed")}});
  QString message = serviceMessage(body);
  if (message.isEmpty())
    message = QCoreApplication::translate("ZPHSocialPostClient", "The service answered with an error (%1).").arg(code);
  return ZPHError(ErrorDomain, ServiceFailed, {{ZPHLocalizedDescriptionKey, message}});
}

void ZPHSocialPostClient::authenticate(const QString& username, const QString& password, const QString& clientID,
                                       const QString& passwordGrantSecret, int scopes,
                                       std::function<void(bool success, const ZPHError& error)> completion)
{
  const QVariantMap form{{QStringLiteral("grant_type"), QStringLiteral("password")},
                         {QStringLiteral("username"), username},
                         {QStringLiteral("password"), password},
                         {QStringLiteral("client_id"), clientID},
                         {QStringLiteral("password_grant_secret"), passwordGrantSecret},
                         {QStringLiteral("scope"), scopeNames(scopes)}};
  QNetworkReply* reply = post(QStringLiteral("/oauth/access_token"), cb_httpPostArgsString(form).toUtf8(),
                              "application/x-www-form-urlencoded", {});
  if (reply == nullptr) {
    QMetaObject::invokeMethod(
        this, [completion] { completion(false, ZPHError(ErrorDomain, TransportFailed)); }, Qt::QueuedConnection);
    return;
  }
  connect(reply, &QNetworkReply::finished, this, [this, reply, completion] {
    reply->deleteLater();
    const QByteArray body = reply->read(LargestAnswer);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString token =
        QJsonDocument::fromJson(body).object().value(QStringLiteral("access_token")).toString().trimmed();
    if (status == 200 && !token.isEmpty()) {
      m_accessToken = token;
      completion(true, ZPHError());
      return;
    }
    completion(false, status == 200 ? ZPHError(ErrorDomain, ServiceFailed) : errorForReply(reply, body, true));
  });
}

void ZPHSocialPostClient::createPost(const QString& text, std::function<void(const ZPHError& error)> completion)
{
  const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("text"), text}}).toJson(QJsonDocument::Compact);
  QNetworkReply* reply = post(QStringLiteral("/posts"), body, "application/json", m_accessToken.toUtf8());
  if (reply == nullptr) {
    QMetaObject::invokeMethod(
        this, [completion] { completion(ZPHError(ErrorDomain, TransportFailed)); }, Qt::QueuedConnection);
    return;
  }
  connect(reply, &QNetworkReply::finished, this, [reply, completion] {
    reply->deleteLater();
    const QByteArray answer = reply->read(LargestAnswer);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 200 || status == 201) {
      completion(ZPHError());
      return;
    }
    completion(errorForReply(reply, answer, false));
  });
}
