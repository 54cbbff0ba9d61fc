#include "sharing/ZPHSharingErrors.h"

#include "feeds/network/ZPHNetworkController.h"

#include <QtCore/QCoreApplication>

const QString ZPHSharingErrorDomain = QStringLiteral("com.fernhollow.zephlin.errorDomains.sharing");

ZPHError ZPHSharingError(int code, const QString& localizedDescription, const ZPHError& underlyingError)
{
  QVariantMap userInfo;
  if (!localizedDescription.isEmpty())
    userInfo.insert(ZPHLocalizedDescriptionKey, localizedDescription);
  if (!underlyingError.isNull())
    userInfo.insert(ZPHUnderlyingErrorKey, QVariant::fromValue(underlyingError));
  return ZPHError(ZPHSharingErrorDomain, code, userInfo);
}

QString ZPHSharingIncorrectCredentialsMessage()
{
  return QCoreApplication::translate("ZPHSharingLoginViewController", "Username or password incorrect");
}

bool ZPHSharingIsOffline()
{
  const ZPHNetworkController* network = ZPHNetworkController::sharedController();
  return network != nullptr && !network->hasInternetConnectivity();
}
