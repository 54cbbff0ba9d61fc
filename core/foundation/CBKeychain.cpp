#include "foundation/CBKeychain.h"

#include "platform/ZPHLog.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDataStream>
#include <QtCore/QIODevice>

const QString kVHKeychainErrorDomain = QStringLiteral("com.vornhalt.vhkeychain");
const QString kVHKeychainAccountKey = QStringLiteral("acct");
const QString kVHKeychainCreatedAtKey = QStringLiteral("cdat");
const QString kVHKeychainClassKey = QStringLiteral("labl");
const QString kVHKeychainDescriptionKey = QStringLiteral("desc");
const QString kVHKeychainLabelKey = QStringLiteral("labl");
const QString kVHKeychainLastModifiedKey = QStringLiteral("mdat");
const QString kVHKeychainWhereKey = QStringLiteral("svce");

namespace {

QByteArray utf8Bytes(const QString& string)
{
  if (string.isNull())
    return {};
  QByteArray bytes = string.toUtf8();
  if (bytes.isNull())
    bytes = QByteArray("");
  return bytes;
}

// True for the store's success; else false, with the error for `status`.
bool succeeded(int status, ZPHError* error)
{
  if (status == ZPHPasswordStore::Success)
    return true;
  ZPHSetError(error, VHKeychainQuery::errorWithCode(status));
  return false;
}

}  // namespace

// MARK: Internet passwords

QString CBKeychain::fetchInternetPasswordFromKeychain(ZPHPasswordItem* item, const QString& username,
                                                      const QString& serverName, const QString& path,
                                                      quint32 protocolType, ZPHError* error)
{
  Q_UNUSED(error);
  if (serverName.isEmpty() || username.isEmpty())
    return {};
  const ZPHPasswordItem query = ZPHPasswordItem::internetKey(serverName, path, username, protocolType);
  ZPHPasswordItem found;
  if (ZPHPasswordStore::defaultStore()->findPassword(query, &found) != ZPHPasswordStore::Success)
    return {};
  if (item) {
    *item = found;
    item->password.clear();
  }
  if (found.password.isEmpty())
    return {};
  return QString::fromUtf8(found.password);
}

bool CBKeychain::storeInternetPasswordInKeychain(const QString& password, const QString& username,
                                                 const QString& serverName, const QString& path, quint32 protocolType,
                                                 ZPHError* error)
{
  ZPHPasswordItem item;
  const QString stored = fetchInternetPasswordFromKeychain(&item, username, serverName, path, protocolType, nullptr);
  if (!stored.isEmpty() && stored == password)
    return true;
  // An empty password is never stored, so an existing item keeps its own.
  if (password.isEmpty())
    return true;

  const std::shared_ptr<ZPHPasswordStore> store = ZPHPasswordStore::defaultStore();
  int status = ZPHPasswordStore::Success;
  if (!item.server.isNull()) {
    status = store->updatePassword(item, password.toUtf8());
  } else if (!serverName.isEmpty() && !username.isEmpty()) {
    ZPHPasswordItem added = ZPHPasswordItem::internetKey(serverName, path, username, protocolType);
    added.password = password.toUtf8();
    status = store->addItem(added);
  }
  if (status != ZPHPasswordStore::Success) {
    ZPHSetError(error, ZPHPasswordStore::errorWithStatus(status));
    return false;
  }
  return true;
}

bool CBKeychain::deleteInternetPasswordFromKeychain(const QString& username, const QString& serverName,
                                                    const QString& path, quint32 protocolType, ZPHError* error)
{
  if (serverName.isEmpty() || username.isEmpty())
    return ZPHSetError(error, ZPHPasswordStore::errorWithStatus(ZPHPasswordStore::BadParameter));
  const std::shared_ptr<ZPHPasswordStore> store = ZPHPasswordStore::defaultStore();
  const ZPHPasswordItem query = ZPHPasswordItem::internetKey(serverName, path, username, protocolType);
  // Every matching item goes (a query of any protocol may match several).
  for (int round = 0; round < 16; ++round) {
    ZPHPasswordItem found;
    const int status = store->findPassword(query, &found);
    if (status == ZPHPasswordStore::ItemNotFound)
      return true;
    if (status != ZPHPasswordStore::Success)
      return ZPHSetError(error, ZPHPasswordStore::errorWithStatus(status));
    const int deleted = store->deleteItem(found);
    if (deleted != ZPHPasswordStore::Success && deleted != ZPHPasswordStore::ItemNotFound)
      return ZPHSetError(error, ZPHPasswordStore::errorWithStatus(deleted));
  }
  return ZPHSetError(error, ZPHPasswordStore::errorWithStatus(ZPHPasswordStore::Failed));
}

QString CBKeychainFetchInternetPassword(const QUrl& url, const QString& username)
{
  return CBKeychain::fetchInternetPasswordFromKeychain(nullptr, username, url.host(), url.path(QUrl::FullyDecoded),
                                                       CBKeychainProtocolTypeAny, nullptr);
}

bool CBKeychainStoreInternetPassword(const QUrl& url, const QString& username, const QString& password)
{
  ZPHError error;
  const bool stored = CBKeychain::storeInternetPasswordInKeychain(
      password, username, url.host(), url.path(QUrl::FullyDecoded), CBKeychainProtocolTypeAny, &error);
  if (!stored && !error.isNull())
    qCWarning(zphCore).noquote() << QStringLiteral("Error storing in keychain: %1").arg(error.toString());
  return stored;
}

// MARK: Generic passwords

bool CBKeychainGetPassword(const QString& service, const QString& account, QString& password, ZPHError& error)
{
  error = ZPHError();
  password = VHKeychain::passwordForService(service, account, &error);
  return error.isNull();
}

bool CBKeychainSetPassword(const QString& service, const QString& account, const QString& password, ZPHError* error)
{
  return VHKeychain::setPassword(password, service, account, error);
}

bool CBKeychainDeletePassword(const QString& service, const QString& account, ZPHError* error)
{
  return VHKeychain::deletePasswordForService(service, account, error);
}

QString VHKeychain::passwordForService(const QString& service, const QString& account, ZPHError* error)
{
  VHKeychainQuery query;
  query.setService(service);
  query.setAccount(account);
  query.fetch(error);
  return query.password();
}

bool VHKeychain::setPassword(const QString& password, const QString& service, const QString& account, ZPHError* error)
{
  VHKeychainQuery query;
  query.setService(service);
  query.setAccount(account);
  query.setPassword(password);
  return query.save(error);
}

bool VHKeychain::deletePasswordForService(const QString& service, const QString& account, ZPHError* error)
{
  VHKeychainQuery query;
  query.setService(service);
  query.setAccount(account);
  return query.deleteItem(error);
}

std::optional<QList<QVariantMap>> VHKeychain::accountsForService(const QString& service)
{
  VHKeychainQuery query;
  query.setService(service);
  return query.fetchAll(nullptr);
}

std::optional<QList<QVariantMap>> VHKeychain::allAccounts() { return accountsForService(QString()); }

// MARK: VHKeychainQuery

QString VHKeychainQuery::password() const
{
  if (m_passwordData.isEmpty())
    return {};
  return QString::fromUtf8(m_passwordData);
}

void VHKeychainQuery::setPassword(const QString& password) { m_passwordData = utf8Bytes(password); }

QVariant VHKeychainQuery::passwordObject() const
{
  if (m_passwordData.isEmpty())
    return {};
  QDataStream stream(m_passwordData);
  stream.setVersion(QDataStream::Qt_6_0);
  QVariant object;
  stream >> object;
  if (stream.status() != QDataStream::Ok)
    return {};
  return object;
}

void VHKeychainQuery::setPasswordObject(const QVariant& object)
{
  QByteArray data;
  QDataStream stream(&data, QIODevice::WriteOnly);
  stream.setVersion(QDataStream::Qt_6_0);
  stream << object;
  m_passwordData = data;
}

ZPHPasswordItem VHKeychainQuery::query() const { return ZPHPasswordItem::genericKey(m_service, m_account); }

bool VHKeychainQuery::save(ZPHError* error)
{
  if (m_service.isNull() || m_account.isNull() || m_passwordData.isNull()) {
    return succeeded(VHKeychainErrorBadArguments, error);
  }
  const std::shared_ptr<ZPHPasswordStore> store = ZPHPasswordStore::defaultStore();
  store->deleteItem(query());
  ZPHPasswordItem item = query();
  item.label = m_label;
  item.password = m_passwordData;
  return succeeded(store->addItem(item), error);
}

bool VHKeychainQuery::deleteItem(ZPHError* error)
{
  if (m_service.isNull() || m_account.isNull()) {
    return succeeded(VHKeychainErrorBadArguments, error);
  }
  return succeeded(ZPHPasswordStore::defaultStore()->deleteItem(query()), error);
}

bool VHKeychainQuery::fetch(ZPHError* error)
{
  if (m_service.isNull() || m_account.isNull()) {
    return succeeded(VHKeychainErrorBadArguments, error);
  }
  ZPHPasswordItem found;
  if (!succeeded(ZPHPasswordStore::defaultStore()->findPassword(query(), &found), error))
    return false;
  m_passwordData = found.password;
  return true;
}

std::optional<QList<QVariantMap>> VHKeychainQuery::fetchAll(ZPHError* error)
{
  QList<ZPHPasswordItem> items;
  if (!succeeded(ZPHPasswordStore::defaultStore()->listItems(query(), &items), error))
    return std::nullopt;
  QList<QVariantMap> accounts;
  accounts.reserve(items.size());
  for (const ZPHPasswordItem& item : std::as_const(items)) {
    QVariantMap attributes{{kVHKeychainAccountKey, item.account}, {kVHKeychainWhereKey, item.service}};
    if (item.created.isValid())
      attributes.insert(kVHKeychainCreatedAtKey, item.created);
    if (item.modified.isValid())
      attributes.insert(kVHKeychainLastModifiedKey, item.modified);
    if (!item.label.isNull())
      attributes.insert(kVHKeychainLabelKey, item.label);
    accounts.append(attributes);
  }
  return accounts;
}

ZPHError VHKeychainQuery::errorWithCode(int status)
{
  if (status == 0)
    return {};
  QString description;
  if (status == VHKeychainErrorBadArguments)
    description =
        QCoreApplication::translate("VHKeychain", "The keychain request lacks a service, an account or a password.");
  else
    description = ZPHPasswordStore::messageForStatus(status);
  QVariantMap userInfo;
  if (!description.isEmpty())
    userInfo.insert(ZPHLocalizedDescriptionKey, description);
  return ZPHError(kVHKeychainErrorDomain, status, userInfo);
}
