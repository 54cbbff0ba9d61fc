#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QString>

// Errors of the object-graph layer.
extern const QString ZPHObjectGraphErrorDomain;  // "ZPHObjectGraphErrorDomain"
// User-info keys: the SQLite result code and message, when SQLite failed.
extern const QString ZPHSQLiteErrorCodeKey;     // "sqliteErrorCode"
extern const QString ZPHSQLiteErrorMessageKey;  // "sqliteErrorMessage"

enum ZPHObjectGraphErrorCode : qint64 {
  ZPHObjectGraphSQLiteError = 1,               // a statement failed
  ZPHObjectGraphNotADatabaseError = 2,         // the file is not a database (or is encrypted)
  ZPHObjectGraphIntegrityCheckError = 3,       // the integrity check answered anything but "ok"
  ZPHObjectGraphIncompatibleVersionError = 4,  // the file holds another model version
  ZPHObjectGraphValidationError = 5,           // a required value is missing
  ZPHObjectGraphObjectNotFoundError = 6,       // the object was deleted from the store
  ZPHObjectGraphConstraintError = 7,           // a change breaks a rule of the store (a link, a required value)
  ZPHObjectGraphBusyError = 8,                 // the store is in use by another connection
};

ZPHError ZPHObjectGraphError(ZPHObjectGraphErrorCode code, const QString& description, const QVariantMap& extra = {});
