#include "foundation/ZPHErrors.h"

#include "foundation/CBFiles.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>

const QString ZPHErrorDateKey = QStringLiteral("errorDate");
const QString CBLoggableErrorDidHappenNotification = QStringLiteral("CBLoggableErrorDidHappenNotification");

namespace {

// The reason phrases of the status codes that HTTP defines.
struct ReasonPhrase {
  int statusCode;
  const char* phrase;
};

constexpr ReasonPhrase reasonPhrases[] = {
    {100, QT_TRANSLATE_NOOP("ZPHErrors", "Continue")},
    {101, QT_TRANSLATE_NOOP("ZPHErrors", "Switching Protocols")},
    {200, QT_TRANSLATE_NOOP("ZPHErrors", "OK")},
    {201, QT_TRANSLATE_NOOP("ZPHErrors", "Created")},
    {202, QT_TRANSLATE_NOOP("ZPHErrors", "Accepted")},
    {203, QT_TRANSLATE_NOOP("ZPHErrors", "Non-Authoritative Information")},
    {204, QT_TRANSLATE_NOOP("ZPHErrors", "No Content")},
    {205, QT_TRANSLATE_NOOP("ZPHErrors", "Reset Content")},
    {206, QT_TRANSLATE_NOOP("ZPHErrors", "Partial Content")},
    {300, QT_TRANSLATE_NOOP("ZPHErrors", "Multiple Choices")},
    {301, QT_TRANSLATE_NOOP("ZPHErrors", "Moved Permanently")},
    {302, QT_TRANSLATE_NOOP("ZPHErrors", "Found")},
    {303, QT_TRANSLATE_NOOP("ZPHErrors", "See Other")},
    {304, QT_TRANSLATE_NOOP("ZPHErrors", "Not Modified")},
    {305, QT_TRANSLATE_NOOP("ZPHErrors", "Use Proxy")},
    {307, QT_TRANSLATE_NOOP("ZPHErrors", "Temporary Redirect")},
    {308, QT_TRANSLATE_NOOP("ZPHErrors", "Permanent Redirect")},
    {400, QT_TRANSLATE_NOOP("ZPHErrors", "Bad Request")},
    {401, QT_TRANSLATE_NOOP("ZPHErrors", "Unauthorized")},
    {402, QT_TRANSLATE_NOOP("ZPHErrors", "Payment Required")},
    {403, QT_TRANSLATE_NOOP("ZPHErrors", "Forbidden")},
    {404, QT_TRANSLATE_NOOP("ZPHErrors", "Not Found")},
    {405, QT_TRANSLATE_NOOP("ZPHErrors", "Method Not Allowed")},
    {406, QT_TRANSLATE_NOOP("ZPHErrors", "Not Acceptable")},
    {407, QT_TRANSLATE_NOOP("ZPHErrors", "Proxy Authentication Required")},
    {408, QT_TRANSLATE_NOOP("ZPHErrors", "Request Timeout")},
    {409, QT_TRANSLATE_NOOP("ZPHErrors", "Conflict")},
    {410, QT_TRANSLATE_NOOP("ZPHErrors", "Gone")},
    {411, QT_TRANSLATE_NOOP("ZPHErrors", "Length Required")},
    {412, QT_TRANSLATE_NOOP("ZPHErrors", "Precondition Failed")},
    {413, QT_TRANSLATE_NOOP("ZPHErrors", "Content Too Large")},
    {414, QT_TRANSLATE_NOOP("ZPHErrors", "URI Too Long")},
    {415, QT_TRANSLATE_NOOP("ZPHErrors", "Unsupported Media Type")},
    {416, QT_TRANSLATE_NOOP("ZPHErrors", "Range Not Satisfiable")},
    {417, QT_TRANSLATE_NOOP("ZPHErrors", "Expectation Failed")},
    {421, QT_TRANSLATE_NOOP("ZPHErrors", "Misdirected Request")},
    {422, QT_TRANSLATE_NOOP("ZPHErrors", "Unprocessable Content")},
    {426, QT_TRANSLATE_NOOP("ZPHErrors", "Upgrade Required")},
    {500, QT_TRANSLATE_NOOP("ZPHErrors", "Internal Server Error")},
    {501, QT_TRANSLATE_NOOP("ZPHErrors", "Not Implemented")},
    {502, QT_TRANSLATE_NOOP("ZPHErrors", "Bad Gateway")},
    {503, QT_TRANSLATE_NOOP("ZPHErrors", "Service Unavailable")},
    {504, QT_TRANSLATE_NOOP("ZPHErrors", "Gateway Timeout")},
    {505, QT_TRANSLATE_NOOP("ZPHErrors", "HTTP Version Not Supported")},
};

const char* reasonPhrase(qint64 statusCode)
{
  for (const ReasonPhrase& entry : reasonPhrases) {
    if (entry.statusCode == statusCode)
      return entry.phrase;
  }
  return nullptr;
}

}  // namespace

ZPHError ZPHErrors::errorWithCode(qint64 code, const QString& errorString, const QVariantMap& userInfo)
{
  QVariantMap info = userInfo;
  if (!errorString.isNull())
    info.insert(ZPHLocalizedDescriptionKey, errorString);
  info.insert(ZPHErrorDateKey, QDateTime::currentDateTimeUtc());
  return ZPHError(CBAppIdentifier(), code, info);
}

ZPHError ZPHErrors::errorWithCode(qint64 code, const QString& errorString)
{
  return errorWithCode(code, errorString, QVariantMap());
}

QString ZPHErrors::genericHTTPErrorString(qint64 statusCode)
{
  const char* phrase = reasonPhrase(statusCode);
  const QString text = phrase != nullptr ? QCoreApplication::translate("ZPHErrors", phrase)
                                         : QCoreApplication::translate("ZPHErrors", "Unknown Error");
  return QCoreApplication::translate("ZPHErrors", "the server returned an unexpected response code: %1 %2")
      .arg(statusCode)
      .arg(text);
}

ZPHError ZPHErrors::genericHTTPError(qint64 statusCode)
{
  return errorWithCode(GenericHTTPErrorCode, genericHTTPErrorString(statusCode));
}

void ZPHErrors::logErrorMessage(const QString& message)
{
  const ZPHError error = errorWithCode(LoggedMessageErrorCode, message);
  ZPHNotificationCenter::defaultCenter().post(CBLoggableErrorDidHappenNotification, QVariant::fromValue(error));
}
