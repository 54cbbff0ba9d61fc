#pragma once

#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariantMap>

#include <memory>

class ZPHError;

// Offers the ways out that an error lists in its recovery options.
class ZPHErrorRecoveryAttempter {
public:
  virtual ~ZPHErrorRecoveryAttempter() = default;
  // Tries the option at `optionIndex` of the error's recovery options;
  // answers whether recovery succeeded.
  virtual bool attemptRecovery(const ZPHError& error, int optionIndex) = 0;
};

// Payload keys of an error.
extern const QString ZPHLocalizedDescriptionKey;         // "localizedDescription"
extern const QString ZPHLocalizedRecoverySuggestionKey;  // "localizedRecoverySuggestion"
extern const QString ZPHLocalizedRecoveryOptionsKey;     // "localizedRecoveryOptions"
extern const QString ZPHUnderlyingErrorKey;              // "underlyingError"

// A failure as a value: domain, code and a payload that carries the
// user-facing description and, optionally, recovery options with the object
// that attempts them. A default-constructed error is null ("no error").
class ZPHError {
public:
  ZPHError() = default;
  ZPHError(const QString& domain, qint64 code, const QVariantMap& userInfo = {});

  bool isNull() const { return m_domain.isNull(); }

  QString domain() const { return m_domain; }
  qint64 code() const { return m_code; }
  QVariantMap userInfo() const { return m_userInfo; }
  QVariant value(const QString& key) const { return m_userInfo.value(key); }
  void setValue(const QString& key, const QVariant& value);

  // The description under ZPHLocalizedDescriptionKey, else a generic text
  // naming the domain and code.
  QString localizedDescription() const;
  QString localizedRecoverySuggestion() const;
  QStringList localizedRecoveryOptions() const;

  std::shared_ptr<ZPHErrorRecoveryAttempter> recoveryAttempter() const { return m_recoveryAttempter; }
  void setRecoveryAttempter(std::shared_ptr<ZPHErrorRecoveryAttempter> attempter);

  // For logs: "domain code: description".
  QString toString() const;

  // Same domain, code and payload (the attempter is not compared).
  bool operator==(const ZPHError& other) const;

private:
  QString m_domain;
  qint64 m_code = 0;
  QVariantMap m_userInfo;
  std::shared_ptr<ZPHErrorRecoveryAttempter> m_recoveryAttempter;
};

Q_DECLARE_METATYPE(ZPHError)

// Stores `value` in `error` when the caller asked for it; answers false so a
// failing function can end with `return ZPHSetError(error, ...);`.
inline bool ZPHSetError(ZPHError* error, const ZPHError& value)
{
  if (error)
    *error = value;
  return false;
}
