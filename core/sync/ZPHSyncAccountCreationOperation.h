#pragma once

#include "subscribe/ZPHCredentialsResult.h"
#include "sync/ZPHSyncServerNetworkOperation.h"

#include <atomic>

// "create": asks the server to make an account
// ({"user": {"email", "password", "password_confirmation"}}). The body is
// never logged. When the server answers 2xx with "status" "ok", the user
// name and password are saved (which ends fastUserSwitch). In every case
// ZPHSyncServiceAccountCreationResponse goes to the main thread with the
// parsed reply, or null when there was no readable reply. It never asks for
// a login.
class ZPHSyncAccountCreationOperation : public ZPHSyncServerNetworkOperation {
public:
  explicit ZPHSyncAccountCreationOperation(const ZPHCredentialsResult& credentials) : m_credentials(credentials) {}

  QString apiCall() const override { return QStringLiteral("create"); }
  ZPHCredentialsResult credentials() const { return m_credentials; }

protected:
  void main() override;
  bool makePostBody(QByteArray* body, ZPHError* error) override;
  void success() override;
  bool asksForLogin() const override { return false; }

private:
  void postResponse(const QVariant& reply);

  const ZPHCredentialsResult m_credentials;
  std::atomic<bool> m_responsePosted{false};
};
