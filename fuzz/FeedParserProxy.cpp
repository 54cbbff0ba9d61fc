// Downloaded bytes through the feed parser proxy: never a crash, a hang or
// unbounded memory; not-a-feed leaves the error alone and yields nothing;
// every value an item derives can be computed. Inputs run past 16 KiB so that
// documents reach libxml2 in more than one chunk.
// Seeds: tests/fixtures/feeds fuzz/seeds/feeds fuzz/seeds/opml
// Fuzz options: -max_len=100000 -len_control=0

#include "ZPHFuzzSupport.h"

#include "feeds/parsers/CBFeedParserProxy.h"
#include "feeds/parsers/CBFeedType.h"

#include <QtCore/QByteArray>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  zphFuzzSilenceLogging();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

  CBFeedParserProxy proxy;
  ZPHError error;
  const bool isFeed = proxy.parseData(bytes, &error);
  ZPH_FUZZ_CHECK(isFeed == CBDataIsFeed(bytes));
  if (!isFeed) {
    ZPH_FUZZ_CHECK(error.isNull());
    ZPH_FUZZ_CHECK(proxy.newsItems().isEmpty());
    ZPH_FUZZ_CHECK(proxy.feedTitle().isNull());
    return 0;
  }
  ZPH_FUZZ_CHECK(proxy.actualParser() != nullptr);
  ZPH_FUZZ_CHECK(error.isNull() || !error.localizedDescription().isEmpty());

  proxy.feedTitle();
  proxy.feedHomePageURL();
  proxy.headerItems();
  const auto items = proxy.newsItems();
  ZPH_FUZZ_CHECK(items.size() <= ZPHAbstractFeedParser::MaximumNewsItems);
  for (const auto& item : items) {
    ZPH_FUZZ_CHECK(item != nullptr);
    item->plainTextTitle();
    item->preview();
    item->thumbnailURL();
    ZPH_FUZZ_CHECK(item->hashOfReadOnlyAttributes().size() == 16);
    item->dictionaryRepresentation();
    for (const QString& category : item->categories()) ZPH_FUZZ_CHECK(!category.isNull());
    for (const auto& enclosure : item->enclosures()) {
      ZPH_FUZZ_CHECK(enclosure != nullptr);
      ZPH_FUZZ_CHECK(!enclosure->urlString().isEmpty());
      enclosure->mimeType();
      enclosure->mediaType();
    }
  }
  proxy.stopParsing();
  return 0;
}
