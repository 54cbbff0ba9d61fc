#pragma once

// Errors of the feed finder and the subscriber: the application identifier
// is the domain, the message the localized description, and every error
// carries the time it was made.

#include "platform/ZPHError.h"

#include <QtCore/QString>
#include <QtCore/QVariantMap>

// Payload key of the time an error was made (a QDateTime in UTC).
extern const QString ZPHErrorDateKey;  // "errorDate"
// Posted by ZPHErrors::logErrorMessage with the error as object.
extern const QString CBLoggableErrorDidHappenNotification;  // "CBLoggableErrorDidHappenNotification"

class ZPHErrors {
public:
  ZPHErrors() = delete;

  // Code of the error for an unexpected HTTP status.
  static constexpr qint64 GenericHTTPErrorCode = 3;
  // Code of the error that logErrorMessage posts.
  static constexpr qint64 LoggedMessageErrorCode = -1;

  // A new error in the domain CBAppIdentifier(): the extra entries, the
  // message under ZPHLocalizedDescriptionKey (left out when null) and the
  // creation time under ZPHErrorDateKey.
  static ZPHError errorWithCode(qint64 code, const QString& errorString, const QVariantMap& userInfo);
  static ZPHError errorWithCode(qint64 code, const QString& errorString);

  // "the server returned an unexpected response code: <code> <reason>",
  // with the HTTP reason phrase of the code, or "Unknown Error".
  static QString genericHTTPErrorString(qint64 statusCode);
  // errorWithCode with code 3 and genericHTTPErrorString.
  static ZPHError genericHTTPError(qint64 statusCode);

  // Makes an error with code -1 and the message, and posts
  // CBLoggableErrorDidHappenNotification with it, on this thread at once.
  static void logErrorMessage(const QString& message);
};
