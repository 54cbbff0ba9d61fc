#pragma once

// Qt kind: none (settings keys and notification names).

#include "platform/ZPHError.h"

#include <QtCore/QString>

// The errors of the sharing commands.
extern const QString ZPHSharingErrorDomain;  // "com.fernhollow.zephlin.errorDomains.sharing"

enum ZPHSharingErrorCode {
  // The service refused the user name or password ("Login Error").
  ZPHSharingLoginError = 0,
  // The service answered with a failure ("Service Unavailable").
  ZPHSharingServiceUnavailableError = 1,
  // The request failed, or the service answered something unexpected.
  ZPHSharingRequestFailedError = 3,
  // No connection to the internet ("Internet Disconnected").
  ZPHSharingInternetDisconnectedError = 4,
};

// An error of the domain: the description under the localized-description
// key when there is one, the underlying error under its key when there is
// one, no user information otherwise.
ZPHError ZPHSharingError(int code, const QString& localizedDescription = {},
                         const ZPHError& underlyingError = ZPHError());
// The text the login views show for refused credentials.
QString ZPHSharingIncorrectCredentialsMessage();  // "Username or password incorrect"
// Whether the desktop says there is no internet connection now.
bool ZPHSharingIsOffline();
