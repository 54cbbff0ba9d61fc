#include "sheets/CSRestClient.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QTimer>
#include <QtCore/QUrlQuery>
#include <QtNetwork/QHostAddress>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkCookie>
#include <QtNetwork/QNetworkCookieJar>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

const QString CSAPIErrorDomain = QStringLiteral("com.fernhollow.zephlin.errorDomains.mailingList");
const QString CSAPIErrorResultDataKey = QStringLiteral("CSAPIErrorResultDataKey");
const QString CSAPIErrorHTTPStatusKey = QStringLiteral("CSAPIErrorHTTPStatusKey");

CSRestClientDelegate::~CSRestClientDelegate() = default;

namespace {

// Keeps no cookie and gives none.
class NoCookieJar : public QNetworkCookieJar {
public:
  using QNetworkCookieJar::QNetworkCookieJar;
  QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
  bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

bool isLoopback(const QString& host)
{
  if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
    return true;
  const QHostAddress address(host);
  return !address.isNull() && address.isLoopback();
}

}  // namespace

QString cs_base64EncodedString(const QByteArray& data) { return QString::fromLatin1(data.toBase64()); }

QString cs_urlEncodedString(const QString& string)
{
  return QString::fromLatin1(QUrl::toPercentEncoding(string, QByteArray(), QByteArray("~")));
}

CSRestClient::CSRestClient(const QUrl& baseURL, QObject* parent)
    : QObject(parent), m_baseURL(baseURL), m_manager(new QNetworkAccessManager(this))
{
  m_manager->setCookieJar(new NoCookieJar(m_manager));
  m_manager->setTransferTimeout(TransferTimeoutMs);
  m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

CSRestClient::~CSRestClient() = default;

bool CSRestClient::isUsableBaseURL(const QUrl& url)
{
  if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
    return false;
  const QString scheme = url.scheme().toLower();
  return scheme == QLatin1String("https") || (scheme == QLatin1String("http") && isLoopback(url.host()));
}

void CSRestClient::get(const QString& path, const QVariantMap& parameters, Success success, Failure failure)
{
  sendAsynchronousRequest("GET", path, parameters, {}, std::move(success), std::move(failure));
}

void CSRestClient::post(const QString& path, const QVariantMap& parameters, Success success, Failure failure)
{
  sendAsynchronousRequest("POST", path, parameters, {}, std::move(success), std::move(failure));
}

void CSRestClient::put(const QString& path, const QVariantMap& parameters, Success success, Failure failure)
{
  sendAsynchronousRequest("PUT", path, parameters, {}, std::move(success), std::move(failure));
}

void CSRestClient::deleteRequest(const QString& path, const QVariantMap& parameters, Success success, Failure failure)
{
  sendAsynchronousRequest("DELETE", path, parameters, {}, std::move(success), std::move(failure));
}

QNetworkRequest CSRestClient::requestWithMethod(const QByteArray& method, const QString& path,
                                                const QVariantMap& parameters, const Headers& headers,
                                                QByteArray* body) const
{
  QUrl url = m_baseURL.resolved(QUrl(path));
  if (!parameters.isEmpty() && method == "GET") {
    QStringList pairs;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
      pairs.append(cs_urlEncodedString(it.key()) + u'=' + cs_urlEncodedString(it.value().toString()));
    const QString query = pairs.join(u'&');
    const QString encoded = url.toString(QUrl::FullyEncoded);
    url = QUrl(encoded + (path.contains(u'?') ? u'&' : u'?') + query, QUrl::StrictMode);
  } else if (!parameters.isEmpty() && body != nullptr) {
    *body = QJsonDocument(QJsonObject::fromVariantMap(parameters)).toJson(QJsonDocument::Compact);
  }
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  if (m_delegate != nullptr && !m_delegate->userAgent().isEmpty())
    request.setRawHeader("User-Agent", m_delegate->userAgent().toUtf8());
  for (const auto& [name, value] : headers) request.setRawHeader(name, value);
  if (body != nullptr && !body->isEmpty())
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
  return request;
}

CSRestClient::Outcome CSRestClient::outcomeForReply(int status, const QByteArray& body, const ZPHError& connectionError)
{
  QVariant value;
  bool parsed = false;
  if (!body.isEmpty()) {
    const QString text = QString::fromUtf8(body);
    if (text.startsWith(u'"') && text.size() >= 2) {
      value = text.mid(1, text.size() - 2);
      parsed = true;
    } else {
      QJsonParseError parseError;
      const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
      if (parseError.error == QJsonParseError::NoError) {
        value = document.toVariant();
        parsed = true;
      }
    }
  }
  // The service's error form fails, whatever the status.
  const QVariantMap map = parsed ? value.toMap() : QVariantMap();
  if (map.contains(QStringLiteral("Code")) && map.contains(QStringLiteral("Message"))) {
    ZPHError error(CSAPIErrorDomain, map.value(QStringLiteral("Code")).toLongLong(),
                   {{ZPHLocalizedDescriptionKey, map.value(QStringLiteral("Message")).toString()}});
    if (map.contains(QStringLiteral("ResultData")))
      error.setValue(CSAPIErrorResultDataKey, map.value(QStringLiteral("ResultData")));
    if (status != 0)
      error.setValue(CSAPIErrorHTTPStatusKey, status);
    return {false, {}, error};
  }
  if (status >= 200 && status < 300)
    return {true, parsed ? value : QVariant(), {}};
  if (status == 0) {
    ZPHError error = connectionError.isNull()
                         ? ZPHError(CSAPIErrorDomain, -1, {{ZPHLocalizedDescriptionKey, QStringLiteral("No reply.")}})
                         : connectionError;
    return {false, {}, error};
  }
  return {false,
          {},
          ZPHError(CSAPIErrorDomain, status,
                   {{ZPHLocalizedDescriptionKey,
                     QStringLiteral("The mailing list service answered with the status %1.").arg(status)},
                    {CSAPIErrorHTTPStatusKey, status}})};
}

void CSRestClient::sendAsynchronousRequest(const QByteArray& method, const QString& path, const QVariantMap& parameters,
                                           const Headers& headers, Success success, Failure failure)
{
  // Exactly one of the two runs, once.
  auto answered = std::make_shared<bool>(false);
  auto finish = [answered, success = std::move(success), failure = std::move(failure)](const Outcome& outcome) {
    if (*answered)
      return;
    *answered = true;
    if (outcome.success) {
      if (success)
        success(outcome.response);
    } else if (failure) {
      failure(outcome.error);
    }
  };
  if (!isUsableBaseURL(m_baseURL)) {
    const Outcome refused{
        false,
        {},
        ZPHError(CSAPIErrorDomain, -2,
                 {{ZPHLocalizedDescriptionKey, tr("This copy of Zephlin has no mailing list to sign up to.")}})};
    QTimer::singleShot(0, this, [finish, refused] { finish(refused); });
    return;
  }
  Headers all = headers;
  if (m_delegate != nullptr) {
    const QString authorization = m_delegate->authorizationHeader();
    if (!authorization.isEmpty())
      all.append({"Authorization", authorization.toUtf8()});
  }
  QByteArray body;
  const QNetworkRequest request = requestWithMethod(method, path, parameters, all, &body);
  QNetworkReply* reply = m_manager->sendCustomRequest(request, method, body);
  auto received = std::make_shared<QByteArray>();
  connect(reply, &QNetworkReply::readyRead, reply, [reply, received] {
    const QByteArray chunk = reply->read(LargestReply + 1 - received->size());
    received->append(chunk);
    if (received->size() > LargestReply)
      reply->abort();
  });
  connect(reply, &QNetworkReply::finished, this, [reply, received, finish] {
    reply->deleteLater();
    received->append(reply->read(std::max<qint64>(0, LargestReply + 1 - received->size())));
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (received->size() > LargestReply) {
      finish(
          {false, {}, ZPHError(CSAPIErrorDomain, -3, {{ZPHLocalizedDescriptionKey, tr("The reply is too large.")}})});
      return;
    }
    ZPHError connectionError;
    if (reply->error() != QNetworkReply::NoError && status == 0)
      connectionError = ZPHError(QStringLiteral("QNetworkReply"), reply->error(),
                                 {{ZPHLocalizedDescriptionKey, reply->errorString()}});
    finish(outcomeForReply(status, *received, connectionError));
  });
}
