#pragma once

// Keychain access: Internet passwords (feed and read-later passwords, keyed
// by server, path, user name and protocol) and generic passwords (the sync
// password, keyed by service and account). Everything goes to the process's
// password store (ZPHPasswordStore::defaultStore()).

#include "platform/ZPHError.h"
#include "platform/ZPHPasswordStore.h"

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariant>
#include <QtCore/QVariantMap>

#include <optional>

// Protocol codes of Internet passwords (four-character codes).
constexpr quint32 CBKeychainProtocolTypeAny = 0;
constexpr quint32 CBKeychainProtocolTypeHTTP = 0x68747470;  // 'http'

// Internet passwords.
class CBKeychain {
public:
  CBKeychain() = delete;

  // The password stored for the server, path ("" when empty), user name and
  // protocol (0: any), or null. Null unless server name and user name are
  // both non-empty, and for an empty password. When an item is found,
  // `item` (optional) gets its key. `error` is never written.
  static QString fetchInternetPasswordFromKeychain(ZPHPasswordItem* item, const QString& username,
                                                   const QString& serverName, const QString& path, quint32 protocolType,
                                                   ZPHError* error);

  // Stores the password for the server, path, user name and protocol: an
  // equal stored password or an empty new one changes nothing (an existing
  // item keeps its password), a found item gets the new password in place,
  // else a new item is added when server and user name are non-empty.
  // Answers false, with the store's error in `error` (optional), when the
  // store fails to change or add the item; true otherwise.
  static bool storeInternetPasswordInKeychain(const QString& password, const QString& username,
                                              const QString& serverName, const QString& path, quint32 protocolType,
                                              ZPHError* error);

  // Removes the password stored for the server, path, user name and
  // protocol (0: any), so that a later fetch finds none. True when it was
  // removed or there was none; false, with the store's error in `error`
  // (optional), when the store fails, and for an empty server or user name.
  static bool deleteInternetPasswordFromKeychain(const QString& username, const QString& serverName,
                                                 const QString& path, quint32 protocolType, ZPHError* error);
};

// The fetch and store above for the URL's host and path, any protocol. The
// store logs "Error storing in keychain: ..." when it fails.
QString CBKeychainFetchInternetPassword(const QUrl& url, const QString& username);
bool CBKeychainStoreInternetPassword(const QUrl& url, const QString& username, const QString& password);

// Generic passwords.
// Writes passwordForService(service, account, &error) to `password`; answers
// true when no error was written.
bool CBKeychainGetPassword(const QString& service, const QString& account, QString& password, ZPHError& error);
bool CBKeychainSetPassword(const QString& service, const QString& account, const QString& password, ZPHError* error);
bool CBKeychainDeletePassword(const QString& service, const QString& account, ZPHError* error);

// Errors of VHKeychainQuery: this domain, the store's status as code, or
// VHKeychainErrorBadArguments when service, account or password is missing.
extern const QString kVHKeychainErrorDomain;  // "com.vornhalt.vhkeychain"
constexpr int VHKeychainErrorBadArguments = -1001;

// Keys of the attribute maps that accountsForService() answers.
extern const QString kVHKeychainAccountKey;       // "acct"
extern const QString kVHKeychainCreatedAtKey;     // "cdat"
extern const QString kVHKeychainClassKey;         // "labl"
extern const QString kVHKeychainDescriptionKey;   // "desc"
extern const QString kVHKeychainLabelKey;         // "labl"
extern const QString kVHKeychainLastModifiedKey;  // "mdat"
extern const QString kVHKeychainWhereKey;         // "svce"

// One generic-password request.
class VHKeychainQuery {
public:
  QString service() const { return m_service; }
  void setService(const QString& service) { m_service = service; }
  QString account() const { return m_account; }
  void setAccount(const QString& account) { m_account = account; }
  // Stored as the item's label on save.
  QString label() const { return m_label; }
  void setLabel(const QString& label) { m_label = label; }
  QByteArray passwordData() const { return m_passwordData; }
  void setPasswordData(const QByteArray& passwordData) { m_passwordData = passwordData; }

  // The UTF-8 text of passwordData(), null when it is empty. Setting it
  // stores the UTF-8 bytes (null data for a null string).
  QString password() const;
  void setPassword(const QString& password);
  // The value archived in passwordData(), invalid when it is empty. Setting
  // it stores the archive of the value.
  QVariant passwordObject() const;
  void setPasswordObject(const QVariant& object);

  // The store query: a generic password with the service and account set.
  ZPHPasswordItem query() const;

  // Replaces any item for service and account with one holding the password
  // data and the label. Needs service, account and password data.
  bool save(ZPHError* error = nullptr);
  // Removes the item for service and account. Needs both.
  bool deleteItem(ZPHError* error = nullptr);
  // Reads the password data of the item for service and account. Needs both.
  bool fetch(ZPHError* error = nullptr);
  // The attribute maps of every item for the service (any service when
  // null); nullopt on failure, also when there is none.
  std::optional<QList<QVariantMap>> fetchAll(ZPHError* error = nullptr);

  // Null for status 0; else an error in kVHKeychainErrorDomain.
  static ZPHError errorWithCode(int status);

private:
  QString m_service;
  QString m_account;
  QString m_label;
  QByteArray m_passwordData;
};

// Generic passwords by service and account.
class VHKeychain {
public:
  VHKeychain() = delete;

  // The password, or null when there is none (with the error).
  static QString passwordForService(const QString& service, const QString& account, ZPHError* error = nullptr);
  static bool setPassword(const QString& password, const QString& service, const QString& account,
                          ZPHError* error = nullptr);
  static bool deletePasswordForService(const QString& service, const QString& account, ZPHError* error = nullptr);
  // The attribute maps of the service's items (any service when null);
  // nullopt on failure, also when there is none.
  static std::optional<QList<QVariantMap>> accountsForService(const QString& service);
  static std::optional<QList<QVariantMap>> allAccounts();
};
