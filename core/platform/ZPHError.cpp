#include "platform/ZPHError.h"

const QString ZPHLocalizedDescriptionKey = QStringLiteral("localizedDescription");
const QString ZPHLocalizedRecoverySuggestionKey = QStringLiteral("localizedRecoverySuggestion");
const QString ZPHLocalizedRecoveryOptionsKey = QStringLiteral("localizedRecoveryOptions");
const QString ZPHUnderlyingErrorKey = QStringLiteral("underlyingError");

ZPHError::ZPHError(const QString& domain, qint64 code, const QVariantMap& userInfo)
    : m_domain(domain.isNull() ? QStringLiteral("") : domain), m_code(code), m_userInfo(userInfo)
{
}

void ZPHError::setValue(const QString& key, const QVariant& value)
{
  if (value.isValid())
    m_userInfo.insert(key, value);
  else
    m_userInfo.remove(key);
}

QString ZPHError::localizedDescription() const
{
  const QString description = m_userInfo.value(ZPHLocalizedDescriptionKey).toString();
  if (!description.isEmpty())
    return description;
  return QStringLiteral("The operation couldn\u2019t be completed. (%1 error %2.)").arg(m_domain).arg(m_code);
}

QString ZPHError::localizedRecoverySuggestion() const
{
  return m_userInfo.value(ZPHLocalizedRecoverySuggestionKey).toString();
}

QStringList ZPHError::localizedRecoveryOptions() const
{
  return m_userInfo.value(ZPHLocalizedRecoveryOptionsKey).toStringList();
}

void ZPHError::setRecoveryAttempter(std::shared_ptr<ZPHErrorRecoveryAttempter> attempter)
{
  m_recoveryAttempter = std::move(attempter);
}

QString ZPHError::toString() const
{
  if (isNull())
    return QStringLiteral("(no error)");
  return QStringLiteral("%1 %2: %3").arg(m_domain).arg(m_code).arg(localizedDescription());
}

bool ZPHError::operator==(const ZPHError& other) const
{
  return m_domain == other.m_domain && m_code == other.m_code && m_userInfo == other.m_userInfo;
}
