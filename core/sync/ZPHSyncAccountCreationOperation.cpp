#include "sync/ZPHSyncAccountCreationOperation.h"

#include "platform/ZPHLog.h"
#include "platform/ZPHNotificationCenter.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncCredentials.h"
#include "sync/ZPHSyncUtils.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

namespace {

const QString UserKey = QStringLiteral("user");
const QString EmailKey = QStringLiteral("email");
const QString PasswordKey = QStringLiteral("password");
const QString PasswordConfirmationKey = QStringLiteral("password_confirmation");
const QString StatusKey = QStringLiteral("status");
const QString StatusOK = QStringLiteral("ok");

}  // namespace

void ZPHSyncAccountCreationOperation::main()
{
  ZPHSyncServerNetworkOperation::main();
  // Without a readable reply the application still hears how it ended.
  postResponse(QVariant());
}

bool ZPHSyncAccountCreationOperation::makePostBody(QByteArray* body, ZPHError* error)
{
  Q_UNUSED(error);
  const QJsonObject user{{EmailKey, m_credentials.username()},
                         {PasswordKey, m_credentials.password()},
                         {PasswordConfirmationKey, m_credentials.repeatedPassword()}};
  *body = QJsonDocument(QJsonObject{{UserKey, user}}).toJson(QJsonDocument::Compact);
  return true;
}

void ZPHSyncAccountCreationOperation::success()
{
  const QJsonDocument document = JSONResponse();
  const QVariant reply = document.isObject() ? QVariant(document.object().toVariantMap()) : QVariant();
  const int status = statusCode();
  if (status >= 200 && status <= 299 && document.isObject() &&
      ZPHSyncUtils::processString(document.object().value(StatusKey)) == StatusOK) {
    qCInfo(zphSync) << "Account creation successful";
    ZPHSyncCredentials::saveUsername(m_credentials.username());
    ZPHSyncCredentials::savePassword(m_credentials.password());
    qCInfo(zphSync) << "Credentials saved";
    setSucceeded();
  } else {
    usableReply();  // records why
    if (syncError().isNull())
      failWithSyncError(ZPHSyncErrorBadReply, QStringLiteral("The sync server did not create the account."));
  }
  postResponse(reply);
}

void ZPHSyncAccountCreationOperation::postResponse(const QVariant& reply)
{
  if (m_responsePosted.exchange(true))
    return;
  ZPHNotificationCenter::defaultCenter().postOnMainThread(ZPHSyncServiceAccountCreationResponse, reply);
}
