#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QString>

// Errors of the object-graph layer.
extern const QString ZPHObjectGraphErrorDomain;  // "ZPHObjectGraphErrorDomain"
// User-info keys: the SQLite result code and message, when SQLite failed.
extern const QString ZPHSQLiteErrorCodeKey;     // "sqliteErrorCode"
extern const QString ZPHSQLiteErrorMessageKey;  // "sqliteErrorMessage"
// The system's error number behind a failed read or write of the disk.
extern const QString ZPHSystemErrnoKey;  // "errno"

enum ZPHObjectGraphErrorCode : qint64 {
  ZPHObjectGraphSQLiteError = 1,               // a statement failed
  ZPHObjectGraphNotADatabaseError = 2,         // the file is not a database (or is encrypted)
  ZPHObjectGraphIntegrityCheckError = 3,       // the integrity check answered anything but "ok"
  ZPHObjectGraphIncompatibleVersionError = 4,  // the file holds another model version
  ZPHObjectGraphValidationError = 5,           // a required value is missing
  ZPHObjectGraphObjectNotFoundError = 6,       // the object was deleted from the store
  ZPHObjectGraphConstraintError = 7,           // a change breaks a rule of the store (a link, a required value)
  ZPHObjectGraphBusyError = 8,                 // the store is in use by another connection
  ZPHObjectGraphDiskFullError = 9,             // the disk (or the user's quota, or a file size limit) is full
  ZPHObjectGraphReadOnlyError = 10,            // the store's file or folder may not be written
  ZPHObjectGraphIOError = 11,                  // the disk failed a read or a write
};

ZPHError ZPHObjectGraphError(ZPHObjectGraphErrorCode code, const QString& description, const QVariantMap& extra = {});

// Whether the error says that the store file itself is damaged (not a
// database, corrupt, or failing its integrity check). Only such a store is
// set aside; a write that failed for any other reason (a full disk, a
// read-only folder, an I/O error) leaves a healthy store behind.
bool ZPHObjectGraphErrorSaysStoreIsDamaged(const ZPHError& error);
