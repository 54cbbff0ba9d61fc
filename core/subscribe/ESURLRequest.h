#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariantMap>
#include <QtNetwork/QNetworkRequest>

// An HTTP request as the ES operations send it: the request with its method
// and body. A plain QNetworkRequest converts to a GET without a body.
struct ESURLRequest {
  QNetworkRequest request;
  QByteArray httpMethod = "GET";
  QByteArray httpBody;

  ESURLRequest() = default;
  ESURLRequest(const QNetworkRequest& plainRequest) : request(plainRequest) {}  // NOLINT: converts on purpose

  // A "POST" to `url` whose body is HTTPBodyWithDictionary(body), sent as
  // "application/x-www-form-urlencoded".
  static ESURLRequest postRequestWithURL(const QUrl& url, const QVariantMap& body);
  // "key=value" for each entry, in the map's (key) order, joined by "&", as
  // UTF-8. Keys and values go in as they are: escape what may hold "&", "="
  // or "+" with urlEncodeString() first.
  static QByteArray HTTPBodyWithDictionary(const QVariantMap& dictionary);
  // The string percent-escaped as UTF-8: letters, digits and the characters
  // a URL may hold stay as they are, but "/", "&", "?", "=" and "+" are
  // escaped too.
  static QString urlEncodeString(const QString& string);
};
