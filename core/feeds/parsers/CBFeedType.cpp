#include "feeds/parsers/CBFeedType.h"

#include "feeds/parsers/ZPHFeedTypeDetectorParser.h"

#include <QtCore/QByteArrayView>

#include <cstring>

namespace {
constexpr qsizetype kMarkerWindow = 1024;
constexpr qsizetype kLargestUnmarkedFeed = 5242880;
}  // namespace

bool CBDataIsProbablyMedia(const QByteArray& data)
{
  if (data.size() < 12)
    return false;
  const char* b = data.constData();
  if (std::memcmp(b + 1, "PNG", 3) == 0)
    return true;
  if (std::memcmp(b, "GIF", 3) == 0)
    return true;
  if (b[0] == 0 && b[1] == 0 && b[2] == 0 && std::memcmp(b + 4, "fty", 3) == 0)
    return true;
  if (std::memcmp(b + 6, "JFIF", 4) == 0 || std::memcmp(b + 6, "Exif", 4) == 0)
    return true;
  return false;
}

CBFeedType CBFeedTypeForData(const QByteArray& data)
{
  if (data.isEmpty())
    return CBFeedTypeNotAFeed;
  if (CBDataIsProbablyMedia(data))
    return CBFeedTypeNotAFeed;

  // The head up to 1024 bytes, ending at the first NUL byte.
  QByteArrayView head(data.constData(), qMin(data.size(), kMarkerWindow));
  const qsizetype nul = head.indexOf('\0');
  if (nul >= 0)
    head = head.first(nul);
  if (head.contains("<rss") || head.contains("<rdf:"))
    return CBFeedTypeRSS;
  if (head.contains("<feed"))
    return CBFeedTypeAtom;
  if (head.contains("<html") || data.size() > kLargestUnmarkedFeed)
    return CBFeedTypeNotAFeed;

  auto detector = ZPHFeedTypeDetectorParser::xmlParser();
  detector->parseData(data, nullptr);
  return detector->feedType();
}

bool CBDataIsFeed(const QByteArray& data) { return CBFeedTypeForData(data) != CBFeedTypeNotAFeed; }
