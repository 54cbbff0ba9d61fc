#pragma once

#include <QtCore/QMetaType>
#include <QtCore/QString>

// What the user entered in a credentials window: the answer the application
// gives to the feed finder's login question and to the sync client's login
// and account creation. The repeated password serves account creation.
//
// It holds a password: never log it, never write it anywhere but where the
// asking code sends it. description() leaves the passwords out.
class ZPHCredentialsResult {
public:
  ZPHCredentialsResult() = default;
  ZPHCredentialsResult(const QString& username, const QString& password, bool didCancel = false)
      : m_username(username), m_password(password), m_didCancel(didCancel)
  {
  }

  // A cancelled answer, with nothing entered.
  static ZPHCredentialsResult cancelled() { return ZPHCredentialsResult(QString(), QString(), true); }

  QString username() const { return m_username; }
  void setUsername(const QString& username) { m_username = username; }
  QString password() const { return m_password; }
  void setPassword(const QString& password) { m_password = password; }
  QString repeatedPassword() const { return m_repeatedPassword; }
  void setRepeatedPassword(const QString& password) { m_repeatedPassword = password; }
  bool didCancel() const { return m_didCancel; }
  void setDidCancel(bool didCancel) { m_didCancel = didCancel; }

  // For logs: the user name and whether the user cancelled; never a password.
  QString description() const;

private:
  QString m_username;
  QString m_password;
  QString m_repeatedPassword;
  bool m_didCancel = false;
};

Q_DECLARE_METATYPE(ZPHCredentialsResult)
