#include "feeds/parsers/CBFeedType.h"

#include "feeds/parsers/ZPHFeedTypeDetectorParser.h"

#include <QtCore/QByteArrayView>

#include <cstring>

namespace {
constexpr qsizetype kMarkerWindow = 1024;
constexpr qsizetype kLargestUnmarkedFeed = 5242880;

struct Markers {
  bool rss = false;   // "<rss" or "<rdf:"
  bool feed = false;  // "<feed"
  bool html = false;  // "<html"
};

// The markers that begin a tag in `head`: a "<" outside any other tag (so
// not inside an attribute value), comment, CDATA section, processing
// instruction or declaration.
Markers markersOfTags(QByteArrayView head)
{
  Markers markers;
  const qsizetype n = head.size();
  qsizetype i = head.indexOf('<');
  while (i >= 0 && i < n) {
    const QByteArrayView rest = head.sliced(i);
    qsizetype end = -1;
    if (rest.startsWith("<!--")) {
      end = head.indexOf("-->", i + 4);
      end = end < 0 ? -1 : end + 3;
    } else if (rest.startsWith("<![CDATA[")) {
      end = head.indexOf("]]>", i + 9);
      end = end < 0 ? -1 : end + 3;
    } else {
      if (rest.startsWith("<rss") || rest.startsWith("<rdf:"))
        markers.rss = true;
      else if (rest.startsWith("<feed"))
        markers.feed = true;
      else if (rest.startsWith("<html"))
        markers.html = true;
      // To the tag's end; a ">" inside a quoted value does not end it.
      char quote = 0;
      for (qsizetype j = i + 1; j < n; ++j) {
        const char c = head[j];
        if (quote != 0) {
          if (c == quote)
            quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '>') {
          end = j + 1;
          break;
        }
      }
    }
    if (end < 0)
      break;
    i = head.indexOf('<', end);
  }
  return markers;
}

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
  const Markers markers = markersOfTags(head);
  if (markers.rss)
    return CBFeedTypeRSS;
  if (markers.feed)
    return CBFeedTypeAtom;
  if (markers.html || data.size() > kLargestUnmarkedFeed)
    return CBFeedTypeNotAFeed;

  auto detector = ZPHFeedTypeDetectorParser::xmlParser();
  detector->parseData(data, nullptr);
  return detector->feedType();
}

bool CBDataIsFeed(const QByteArray& data) { return CBFeedTypeForData(data) != CBFeedTypeNotAFeed; }
