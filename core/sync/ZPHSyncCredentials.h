#pragma once

#include <QtCore/QString>

// The sync user name and password of the process. The user name lives in
// the user defaults (ZPHSyncServiceUsernameKey), the password in the secret
// store (service ZPHSyncKeychainServiceName, the user name as account) with
// a copy in memory. Class members only; every one is safe from any thread
// (the in-memory state is guarded; the secret store serialises itself).
// Neither user name nor password is ever logged.
class ZPHSyncCredentials {
public:
  ZPHSyncCredentials() = delete;

  // The stored user name ("" when none).
  static QString username();
  // Stores the name (null as "") and writes the user defaults out.
  static void saveUsername(const QString& username);

  // The in-memory password when not empty, else the secret store's for the
  // current user name (which then becomes the in-memory copy).
  static QString password();
  // The in-memory copy becomes the password and fastUserSwitch ends; then
  // the password goes to the secret store.
  static void savePassword(const QString& password);
  static QString fetchPasswordFromKeychain();
  // An empty password changes nothing. Otherwise the in-memory copy is
  // replaced, ZPHSyncServicePasswordDidChangeNotification is posted and the
  // secret store's item for the current user name is set.
  static void storePasswordInKeychain(const QString& password);

  // Whether stored credentials may answer the server: false while
  // fastUserSwitch is set, else true when user name and password are both
  // non-empty.
  static bool credentialsPresent();

  // True from a reset until a password is saved: no stored credentials are
  // offered and every call advances the URL tag.
  static bool fastUserSwitch();
  static void setFastUserSwitch(bool fastUserSwitch);

  // The server and realm of the last login, and the user it was answered
  // with (no password is kept here).
  static void setProtectionSpace(const QString& host, int port, const QString& realm);
  static QString protectionSpaceHost();
  static void setCredential(const QString& username);
  static QString credentialUsername();
  // Forgets the protection space and the credential.
  static void eraseCredentials();

  // Starts the sync account over, in this order: user name and password
  // cleared, the sync manager stopped, credentials erased, the reset and
  // has-been-synced settings false, the sync cookies deleted, fastUserSwitch
  // on, the feeds-and-folders time stamp 0 and the pending local deletions
  // forgotten. The article time stamp, the last valid user name and the URL
  // tag stay. Main thread.
  static void reset();
};
