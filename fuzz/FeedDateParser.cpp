// Feed dates from arbitrary bytes: never a crash, never a rolled-over date,
// never a date from a text longer than the parser reads.
// Seeds: fuzz/seeds/dates

#include "ZPHFuzzSupport.h"

#include "feeds/parsers/CBFeedDateParser.h"

#include <QtCore/QDateTime>

#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  zphFuzzSilenceLogging();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const char* bytes = reinterpret_cast<const char*>(data);
  const QDateTime date = ZPHDateWithBytes(bytes, size);
  // 6 to 50 bytes; a text with a comment in parentheses may be up to 1,024
  // bytes long before its comments are taken out.
  const bool hasComment = std::memchr(bytes, '(', size) != nullptr;
  if (size < 6 || size > (hasComment ? 1024 : 50))
    ZPH_FUZZ_CHECK(!date.isValid());
  if (date.isValid()) {
    // Years run to 9999 and offsets to a little over four days either way.
    ZPH_FUZZ_CHECK(date.timeSpec() == Qt::UTC);
    ZPH_FUZZ_CHECK(date.date().year() >= 1 && date.date().year() <= 10000);
  }

  const QString text = zphFuzzUTF8(data, size);
  const QDateTime fromString = ZPHDateWithString(text);
  if (text.toUtf8() == QByteArray(bytes, qsizetype(size)))
    ZPH_FUZZ_CHECK(fromString == date);

  std::size_t position = 0;
  for (std::size_t start = 0; start <= size; start += 7) {
    const int value = nextNumericValue(bytes, size, start, 4, &position);
    ZPH_FUZZ_CHECK(value == ZPHMissingNumericValue || (value >= 0 && value <= 9999));
    ZPH_FUZZ_CHECK(position <= size);
    const int offset = parsedTimeZoneOffset(bytes, size, start);
    ZPH_FUZZ_CHECK(offset >= -(99 * 3600 + 99 * 60) && offset <= 99 * 3600 + 99 * 60);
  }
  return 0;
}
