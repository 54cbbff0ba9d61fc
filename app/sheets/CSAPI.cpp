#include "sheets/CSAPI.h"

#include "common/ZPHBuildInfo.h"

const QString CSAPI::Version = QStringLiteral("1.1.1");

CSAPI::CSAPI(const QString& apiKey, QObject* parent)
    : CSAPI(apiKey, QUrl(ZPHBuildInfo::mailingListURL()), ZPHBuildInfo::mailingListPassword(), parent)
{
}

CSAPI::CSAPI(const QString& apiKey, const QUrl& baseURL, const QString& password, QObject* parent)
    : QObject(parent), m_apiKey(apiKey), m_password(password), m_restClient(new CSRestClient(baseURL, this))
{
  m_restClient->setDelegate(this);
}

CSAPI::~CSAPI() { m_restClient->setDelegate(nullptr); }

QString CSAPI::userAgent() const { return QStringLiteral("createsend-objc-%1").arg(Version); }

QString CSAPI::authorizationHeader() const
{
  if (m_apiKey.isEmpty())
    return {};
  return QStringLiteral("Basic ") + cs_base64EncodedString((m_apiKey + u':' + m_password).toUtf8());
}

void CSAPI::subscribeToListWithID(const QString& listID, const QString& emailAddress, const QString& name,
                                  bool shouldResubscribe, const QVariantList& customFields,
                                  CSRestClient::Success completionHandler, CSRestClient::Failure errorHandler)
{
  QVariantMap body = CSSubscriber::dictionaryWithEmailAddress(emailAddress, name, customFields);
  body.insert(QStringLiteral("Resubscribe"), shouldResubscribe);
  m_restClient->post(QStringLiteral("subscribers/%1.json").arg(cs_urlEncodedString(listID)), body,
                     std::move(completionHandler), std::move(errorHandler));
}

QVariantMap CSSubscriber::dictionaryWithEmailAddress(const QString& emailAddress, const QString& name,
                                                     const QVariantList& customFieldValues)
{
  QVariantMap dictionary;
  if (!emailAddress.isEmpty())
    dictionary.insert(QStringLiteral("EmailAddress"), emailAddress);
  if (!name.isEmpty())
    dictionary.insert(QStringLiteral("Name"), name);
  dictionary.insert(QStringLiteral("CustomFields"), customFieldValues);
  return dictionary;
}
