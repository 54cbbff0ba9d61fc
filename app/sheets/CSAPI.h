#pragma once

// Qt kind: QObject.

#include "sheets/CSRestClient.h"

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariantList>

// The mailing-list service as the welcome window uses it: one call that
// adds a subscriber to a list. Requests go to the service's address with
// the user agent "createsend-objc-1.1.1" and Basic authorisation of the API
// key and the fixed password. The address, key and password come from the
// build (ZPHBuildInfo) unless given; none of them is ever logged.
// Main thread.
class CSAPI : public QObject, public CSRestClientDelegate {
  Q_OBJECT

public:
  static const QString Version;  // "1.1.1"

  // The build's address and password.
  explicit CSAPI(const QString& apiKey, QObject* parent = nullptr);
  CSAPI(const QString& apiKey, const QUrl& baseURL, const QString& password, QObject* parent = nullptr);
  ~CSAPI() override;

  QString APIKey() const { return m_apiKey; }
  QUrl baseURL() const { return m_restClient->baseURL(); }
  CSRestClient* restClient() const { return m_restClient; }

  QString userAgent() const override;
  QString authorizationHeader() const override;

  // POSTs {"EmailAddress", "Name", "CustomFields": [...], "Resubscribe"} to
  // "subscribers/<list>.json"; exactly one of the handlers runs.
  void subscribeToListWithID(const QString& listID, const QString& emailAddress, const QString& name,
                             bool shouldResubscribe, const QVariantList& customFields,
                             CSRestClient::Success completionHandler, CSRestClient::Failure errorHandler);

private:
  QString m_apiKey;
  QString m_password;
  CSRestClient* m_restClient;
};

// The subscriber record as the service takes it.
class CSSubscriber {
public:
  // "EmailAddress" and "Name" when given, "CustomFields" always (an empty
  // list when none).
  static QVariantMap dictionaryWithEmailAddress(const QString& emailAddress, const QString& name,
                                                const QVariantList& customFieldValues);
};
