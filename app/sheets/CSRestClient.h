#pragma once

// Qt kind: QObject.

#include "platform/ZPHError.h"

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPair>
#include <QtCore/QPointer>
#include <QtCore/QUrl>
#include <QtCore/QVariant>
#include <QtCore/QVariantMap>

#include <functional>

class QNetworkAccessManager;
class QNetworkRequest;

// The error domain of the mailing-list client: the service's own errors
// (its "Code" and "Message") and replies that are not a success.
extern const QString CSAPIErrorDomain;         // "com.fernhollow.zephlin.errorDomains.mailingList"
extern const QString CSAPIErrorResultDataKey;  // "CSAPIErrorResultDataKey"
extern const QString CSAPIErrorHTTPStatusKey;  // "CSAPIErrorHTTPStatusKey"

// What a REST client asks of its owner: the user agent and the
// authorization header of every request.
class CSRestClientDelegate {
public:
  virtual ~CSRestClientDelegate();
  virtual QString userAgent() const = 0;
  virtual QString authorizationHeader() const = 0;
};

// The REST client of the mailing-list service: requests relative to a base
// address, JSON bodies ("application/json") or, for GET, a percent-encoded
// query; no cookies are sent or kept; replies are read up to 1 MiB within
// 30 seconds. Exactly one of its two handlers runs for every request, on
// the main thread:
// - a reply whose body is the service's error form (a JSON object with
//   "Code" and "Message") fails with that error, whatever its status;
// - otherwise a 2xx reply succeeds, also without a body: with the text of a
//   body that is a JSON string (its quotes removed), else the parsed JSON
//   (null when there is none);
// - any other status fails (CSAPIErrorHTTPStatusKey holds it), as does a
//   reply that never came (the connection's error).
// A base address that is empty, or not https (http only to the loopback),
// fails every request at once. Main thread.
class CSRestClient : public QObject {
  Q_OBJECT

public:
  using Success = std::function<void(const QVariant& response)>;
  using Failure = std::function<void(const ZPHError& error)>;
  using Headers = QList<QPair<QByteArray, QByteArray>>;

  static constexpr qint64 LargestReply = 1024 * 1024;
  static constexpr int TransferTimeoutMs = 30 * 1000;

  explicit CSRestClient(const QUrl& baseURL, QObject* parent = nullptr);
  ~CSRestClient() override;

  QUrl baseURL() const { return m_baseURL; }
  CSRestClientDelegate* delegate() const { return m_delegate; }
  void setDelegate(CSRestClientDelegate* delegate) { m_delegate = delegate; }

  void get(const QString& path, const QVariantMap& parameters, Success success, Failure failure);
  void post(const QString& path, const QVariantMap& parameters, Success success, Failure failure);
  void put(const QString& path, const QVariantMap& parameters, Success success, Failure failure);
  void deleteRequest(const QString& path, const QVariantMap& parameters, Success success, Failure failure);
  void sendAsynchronousRequest(const QByteArray& method, const QString& path, const QVariantMap& parameters,
                               const Headers& headers, Success success, Failure failure);

  // The request and its body.
  QNetworkRequest requestWithMethod(const QByteArray& method, const QString& path, const QVariantMap& parameters,
                                    const Headers& headers, QByteArray* body) const;
  // Whether the base address may be used (https, or http to the loopback).
  static bool isUsableBaseURL(const QUrl& url);

  // What a reply means: success with a value, or failure with an error.
  struct Outcome {
    bool success = false;
    QVariant response;
    ZPHError error;
  };
  // `status` 0: no reply came (`connectionError` says why).
  static Outcome outcomeForReply(int status, const QByteArray& body, const ZPHError& connectionError);

private:
  QUrl m_baseURL;
  CSRestClientDelegate* m_delegate = nullptr;
  QNetworkAccessManager* m_manager;
};

// Standard Base64 of the bytes, without line breaks.
QString cs_base64EncodedString(const QByteArray& data);
// UTF-8 percent-encoding of everything but letters, digits and "-._".
QString cs_urlEncodedString(const QString& string);
