#include "sync/ZPHSyncCredentials.h"

#include "foundation/CBKeychain.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncCookieJar.h"
#include "sync/ZPHSyncDeletedNodeLog.h"
#include "sync/ZPHSyncManager.h"

#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>

namespace {

struct State {
  QMutex mutex;
  QString password;
  bool fastUserSwitch = false;
  QString protectionSpaceHost;
  int protectionSpacePort = -1;
  QString protectionSpaceRealm;
  QString credentialUsername;
};

State& state()
{
  static State s;
  return s;
}

ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

}  // namespace

QString ZPHSyncCredentials::username()
{
  const QString name = defaults().stringForKey(ZPHSyncServiceUsernameKey);
  return name.isNull() ? QStringLiteral("") : name;
}

void ZPHSyncCredentials::saveUsername(const QString& username)
{
  defaults().setString(ZPHSyncServiceUsernameKey, username.isNull() ? QStringLiteral("") : username);
  defaults().synchronize();
}

QString ZPHSyncCredentials::password()
{
  {
    QMutexLocker locker(&state().mutex);
    if (!state().password.isEmpty())
      return state().password;
  }
  return fetchPasswordFromKeychain();
}

void ZPHSyncCredentials::savePassword(const QString& password)
{
  {
    QMutexLocker locker(&state().mutex);
    state().password = password;
    state().fastUserSwitch = false;
  }
  storePasswordInKeychain(password.isNull() ? QStringLiteral("") : password);
}

QString ZPHSyncCredentials::fetchPasswordFromKeychain()
{
  const QString account = username();
  if (account.isEmpty())
    return QString();
  const QString password = VHKeychain::passwordForService(ZPHSyncKeychainServiceName, account);
  QMutexLocker locker(&state().mutex);
  state().password = password;
  return password;
}

void ZPHSyncCredentials::storePasswordInKeychain(const QString& password)
{
  if (password.isEmpty())
    return;
  {
    QMutexLocker locker(&state().mutex);
    state().password = password;
  }
  ZPHNotificationCenter::defaultCenter().post(ZPHSyncServicePasswordDidChangeNotification);
  const QString account = username();
  if (account.isEmpty())
    return;
  ZPHError error;
  if (!VHKeychain::setPassword(password, ZPHSyncKeychainServiceName, account, &error))
    qCWarning(zphSync).noquote() << "could not store the sync password:" << error.toString();
}

bool ZPHSyncCredentials::credentialsPresent()
{
  const bool fastSwitch = fastUserSwitch();
  qCDebug(zphSync, "ZPHSyncCredentials:credentialsPresent fastUserSwitch = %i", int(fastSwitch));
  if (fastSwitch)
    return false;
  return !username().isEmpty() && !password().isEmpty();
}

bool ZPHSyncCredentials::fastUserSwitch()
{
  QMutexLocker locker(&state().mutex);
  return state().fastUserSwitch;
}

void ZPHSyncCredentials::setFastUserSwitch(bool fastUserSwitch)
{
  QMutexLocker locker(&state().mutex);
  state().fastUserSwitch = fastUserSwitch;
}

void ZPHSyncCredentials::setProtectionSpace(const QString& host, int port, const QString& realm)
{
  QMutexLocker locker(&state().mutex);
  state().protectionSpaceHost = host;
  state().protectionSpacePort = port;
  state().protectionSpaceRealm = realm;
}

QString ZPHSyncCredentials::protectionSpaceHost()
{
  QMutexLocker locker(&state().mutex);
  return state().protectionSpaceHost;
}

void ZPHSyncCredentials::setCredential(const QString& username)
{
  QMutexLocker locker(&state().mutex);
  state().credentialUsername = username;
}

QString ZPHSyncCredentials::credentialUsername()
{
  QMutexLocker locker(&state().mutex);
  return state().credentialUsername;
}

void ZPHSyncCredentials::eraseCredentials()
{
  QMutexLocker locker(&state().mutex);
  state().protectionSpaceHost.clear();
  state().protectionSpacePort = -1;
  state().protectionSpaceRealm.clear();
  state().credentialUsername.clear();
}

void ZPHSyncCredentials::reset()
{
  ZPH_ASSERT_MAIN_THREAD();
  saveUsername(QString());
  savePassword(QString());
  if (ZPHSyncManager* manager = ZPHSyncManager::existingController())
    manager->stop();
  eraseCredentials();
  defaults().setBool(ZPHSyncResetAccountInfo, false);
  defaults().setBool(ZPHSyncDataHasBeenSynced, false);
  defaults().synchronize();
  // Cookies are credentials too: only their names go to the log.
  for (const QNetworkCookie& cookie : ZPHSyncCookieJar::sharedJar().deleteAllCookies())
    qCInfo(zphSync).noquote() << "cookie:" << QString::fromUtf8(cookie.name());
  setFastUserSwitch(true);
  qCDebug(zphSync, "ZPHSyncCredentials:reset fastUserSwitch = %i", int(fastUserSwitch()));
  defaults().setDouble(ZPHSyncLastFeedsAndFolderModTimeStamp, 0.0);
  ZPHSyncDeletedNodeLog::sharedLog().clear();
}
