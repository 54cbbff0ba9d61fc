#pragma once

// Stand-in for the feed date parser while it is being written: the same two
// entry points, reading RFC 822 dates (with a space or comma) and W3C dates
// through QDateTime. Replace the include of this header with
// "feeds/parsers/CBFeedDateParser.h" once that is in place.

#include <QtCore/QByteArray>
#include <QtCore/QDateTime>
#include <QtCore/QString>
#include <QtCore/QTimeZone>

#include <cstddef>
#include <cstring>

// Kept in a namespace of its own so that it never clashes with the real
// functions at link time.
namespace zph_feed_date_stand_in {

inline QDateTime ZPHDateWithString(const QString& string)
{
  const QString text = string.trimmed();
  if (text.size() < 6 || text.size() > 50)
    return {};
  QDateTime date;
  if (text.contains(QLatin1Char(' ')) || text.contains(QLatin1Char(','))) {
    QString rfc = text;
    for (const char* zone : {" GMT", " UTC", " Z"}) {
      if (rfc.endsWith(QLatin1String(zone)))
        rfc = rfc.left(rfc.size() - qsizetype(std::strlen(zone))) + QLatin1String(" +0000");
    }
    date = QDateTime::fromString(rfc, Qt::RFC2822Date);
  } else
    date = QDateTime::fromString(text, Qt::ISODateWithMs);
  if (!date.isValid())
    return {};
  return date.toUTC();
}

inline QDateTime ZPHDateWithBytes(const char* bytes, std::size_t length)
{
  if (bytes == nullptr || length < 6 || length > 50)
    return {};
  return ZPHDateWithString(QString::fromUtf8(bytes, qsizetype(length)));
}

}  // namespace zph_feed_date_stand_in

using zph_feed_date_stand_in::ZPHDateWithBytes;
using zph_feed_date_stand_in::ZPHDateWithString;
