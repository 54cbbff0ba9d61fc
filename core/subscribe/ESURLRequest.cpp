#include "subscribe/ESURLRequest.h"

#include <QtCore/QStringList>

ESURLRequest ESURLRequest::postRequestWithURL(const QUrl& url, const QVariantMap& body)
{
  ESURLRequest post;
  post.request = QNetworkRequest(url);
  post.request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
  post.httpMethod = "POST";
  post.httpBody = HTTPBodyWithDictionary(body);
  return post;
}

QByteArray ESURLRequest::HTTPBodyWithDictionary(const QVariantMap& dictionary)
{
  QStringList pairs;
  for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it)
    pairs.append(it.key() + u'=' + it.value().toString());
  return pairs.join(u'&').toUtf8();
}

QString ESURLRequest::urlEncodeString(const QString& string)
{
  // What a URL may hold, less "/&?=+", stays.
  return QString::fromLatin1(QUrl::toPercentEncoding(string, QByteArrayLiteral("!*'();:@$,#")));
}
