#include "store/graph/ZPHObjectGraphErrors.h"

const QString ZPHObjectGraphErrorDomain = QStringLiteral("ZPHObjectGraphErrorDomain");
const QString ZPHSQLiteErrorCodeKey = QStringLiteral("sqliteErrorCode");
const QString ZPHSQLiteErrorMessageKey = QStringLiteral("sqliteErrorMessage");

ZPHError ZPHObjectGraphError(ZPHObjectGraphErrorCode code, const QString& description, const QVariantMap& extra)
{
  QVariantMap userInfo = extra;
  userInfo.insert(ZPHLocalizedDescriptionKey, description);
  return ZPHError(ZPHObjectGraphErrorDomain, code, userInfo);
}
