#include "subscribe/ZPHCredentialsResult.h"

QString ZPHCredentialsResult::description() const
{
  return QStringLiteral("<ZPHCredentialsResult username: %1, password: %2, didCancel: %3>")
      .arg(m_username, m_password.isEmpty() ? QStringLiteral("none") : QStringLiteral("(hidden)"),
           m_didCancel ? QStringLiteral("true") : QStringLiteral("false"));
}
