#include "sharing/ZPHInstapaperClient.h"

#include "common/ZPHApplicationNotifications.h"
#include "foundation/CBCollections.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHInterfaceLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/ZPHSharingErrors.h"

#include <QtCore/QCoreApplication>
#include <QtNetwork/QHostAddress>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

const QString ZPHInstapaperClient::BaseURLDefaultsKey = QStringLiteral("ZPHInstapaperAPIBaseURL");
const QString ZPHInstapaperClient::DefaultBaseURL = QStringLiteral("https://www.instapaper.com");

namespace {

int g_requestTimeout = 30000;

QString serviceUnavailable() { return QCoreApplication::translate("ZPHSharingErrors", "Service Unavailable"); }

}  // namespace

ZPHInstapaperClientDelegate::~ZPHInstapaperClientDelegate() = default;

bool ZPHInstapaperClient::isAcceptableBaseURL(const QUrl& url)
{
  if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
    return false;
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String("https"))
    return true;
  if (scheme != QLatin1String("http"))
    return false;
  // Plain http only to this machine.
  if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
    return true;
  const QHostAddress address(url.host());
  return !address.isNull() && address.isLoopback();
}

QUrl ZPHInstapaperClient::baseURL()
{
  const QString stored = ZPHUserDefaults::standardUserDefaults().stringForKey(BaseURLDefaultsKey);
  const QUrl url(stored.trimmed(), QUrl::StrictMode);
  if (!stored.isEmpty() && isAcceptableBaseURL(url))
    return url;
  if (!stored.isEmpty())
    qCWarning(zphInterface) << "the read-later address setting is not https (or http on this machine); ignored";
  return QUrl(DefaultBaseURL);
}

int ZPHInstapaperClient::requestTimeout() { return g_requestTimeout; }

void ZPHInstapaperClient::setRequestTimeout(int milliseconds) { g_requestTimeout = milliseconds; }

ZPHInstapaperClient::ZPHInstapaperClient() = default;

ZPHInstapaperClient::~ZPHInstapaperClient()
{
  if (m_reply != nullptr) {
    m_reply->disconnect(this);
    m_reply->abort();
  }
}

QVariantMap ZPHInstapaperClient::postBodyDictionary() const
{
  QVariantMap form;
  if (!m_username.isEmpty())
    form.insert(QStringLiteral("username"), m_username);
  if (!m_password.isEmpty())
    form.insert(QStringLiteral("password"), m_password);
  return form;
}

QByteArray ZPHInstapaperClient::postBody() const { return cb_httpPostArgsString(postBodyDictionary()).toUtf8(); }

QUrl ZPHInstapaperClient::requestURL() const
{
  QUrl url = baseURL();
  QString path = url.path();
  while (path.endsWith(u'/')) path.chop(1);
  url.setPath(path + apiPath());
  url.setQuery(QString());
  url.setFragment(QString());
  return url;
}

void ZPHInstapaperClient::start()
{
  ZPH_ASSERT_MAIN_THREAD();
  runAPICall();
}

void ZPHInstapaperClient::runAPICall()
{
  if (m_network == nullptr)
    m_network = new QNetworkAccessManager(this);
  QNetworkRequest request(requestURL());
  request.setTransferTimeout(g_requestTimeout);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
  if (const ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    request.setHeader(QNetworkRequest::UserAgentHeader, delegate->userAgent());
  request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
  const QByteArray body = postBody();
  m_statusCode = 0;
  m_error = ZPHError();
  m_reply = m_network->post(request, body);
  // Challenges are not answered (no credentials are given): the reply ends
  // with its status.
  connect(m_reply, &QNetworkReply::finished, this, &ZPHInstapaperClient::replyFinished);
}

ZPHError ZPHInstapaperClient::errorForNetworkError(const ZPHError& networkError, int statusCode)
{
  if (!networkError.isNull()) {
    if (ZPHSharingIsOffline())
      return ZPHSharingError(ZPHSharingInternetDisconnectedError,
                             QCoreApplication::translate("ZPHSharingErrors", "Internet Disconnected"), networkError);
    return ZPHSharingError(ZPHSharingRequestFailedError, serviceUnavailable(), networkError);
  }
  if (statusCode == 403)
    return ZPHSharingError(ZPHSharingLoginError, QCoreApplication::translate("ZPHSharingErrors", "Login Error"));
  if (statusCode < 300)
    return statusCode == 200 || statusCode == 201 ? ZPHError() : ZPHSharingError(ZPHSharingRequestFailedError);
  return ZPHSharingError(ZPHSharingServiceUnavailableError, serviceUnavailable());
}

void ZPHInstapaperClient::replyFinished()
{
  QNetworkReply* reply = m_reply;
  if (reply == nullptr)
    return;
  m_reply = nullptr;
  reply->deleteLater();
  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  m_statusCode = status.isValid() ? status.toInt() : 0;
  ZPHError networkError;
  // A connection or proxy failure (time-outs too, also after the headers
  // came): the request got no whole answer.
  const int failure = reply->error();
  if ((failure > QNetworkReply::NoError && failure < QNetworkReply::ContentAccessDenied) ||
      (!status.isValid() && failure != QNetworkReply::NoError))
    networkError =
        ZPHError(QStringLiteral("QNetworkReply"), reply->error(), {{ZPHLocalizedDescriptionKey, reply->errorString()}});
  const ZPHError error = errorForNetworkError(networkError, m_statusCode);
  if (error.isNull())
    finishWithSuccess();
  else
    finishWithError(error);
}

void ZPHInstapaperClient::finishWithError(const ZPHError& error)
{
  Q_ASSERT(!error.isNull());
  m_error = error;
  if (m_delegate != nullptr)
    m_delegate->instapaperClientDidFail(this, error);
}

void ZPHInstapaperClient::finishWithSuccess()
{
  if (m_delegate != nullptr)
    m_delegate->instapaperClientDidSucceed(this);
}

// MARK: - Sending

ZPHSendToInstapaperClient::ZPHSendToInstapaperClient(const CBSharableItem& item, CBPluginHelper* helper)
    : m_item(item), m_helper(helper)
{
}

void ZPHSendToInstapaperClient::start()
{
  ZPHNotificationCenter::defaultCenter().postOnMainThread(ZPHSendToInstapaperClientDidStartNotification,
                                                          QVariant::fromValue<QObject*>(this));
  ZPHInstapaperClient::start();
}

QVariantMap ZPHSendToInstapaperClient::postBodyDictionary() const
{
  QVariantMap form = ZPHInstapaperClient::postBodyDictionary();
  // This service takes the URL before the permalink.
  const QUrl url = m_item.URL().isEmpty() ? m_item.permalink() : m_item.URL();
  form.insert(QStringLiteral("url"), QString::fromUtf8(url.toEncoded()));
  if (!m_item.title().isEmpty())
    form.insert(QStringLiteral("title"), m_item.title());
  else
    form.insert(QStringLiteral("auto-title"), QStringLiteral("1"));
  return form;
}

void ZPHSendToInstapaperClient::finishWithError(const ZPHError& error)
{
  ZPHNotificationCenter::defaultCenter().postOnMainThread(ZPHSendToInstapaperClientDidFailNotification,
                                                          QVariant::fromValue<QObject*>(this),
                                                          {{ZPHUnderlyingErrorKey, QVariant::fromValue(error)}});
  ZPHInstapaperClient::finishWithError(error);
}

void ZPHSendToInstapaperClient::finishWithSuccess()
{
  ZPHNotificationCenter::defaultCenter().postOnMainThread(ZPHSendToInstapaperClientDidSucceedNotification,
                                                          QVariant::fromValue<QObject*>(this));
  ZPHInstapaperClient::finishWithSuccess();
}
