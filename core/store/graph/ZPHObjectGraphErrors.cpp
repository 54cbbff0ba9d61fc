#include "store/graph/ZPHObjectGraphErrors.h"

const QString ZPHObjectGraphErrorDomain = QStringLiteral("ZPHObjectGraphErrorDomain");
const QString ZPHSQLiteErrorCodeKey = QStringLiteral("sqliteErrorCode");
const QString ZPHSQLiteErrorMessageKey = QStringLiteral("sqliteErrorMessage");
const QString ZPHSystemErrnoKey = QStringLiteral("errno");

ZPHError ZPHObjectGraphError(ZPHObjectGraphErrorCode code, const QString& description, const QVariantMap& extra)
{
  QVariantMap userInfo = extra;
  userInfo.insert(ZPHLocalizedDescriptionKey, description);
  return ZPHError(ZPHObjectGraphErrorDomain, code, userInfo);
}

bool ZPHObjectGraphErrorSaysStoreIsDamaged(const ZPHError& error)
{
  return error.domain() == ZPHObjectGraphErrorDomain &&
         (error.code() == ZPHObjectGraphNotADatabaseError || error.code() == ZPHObjectGraphIntegrityCheckError);
}
