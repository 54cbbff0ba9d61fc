// Feed discovery on arbitrary pages: never a crash, never a hang, and only
// web addresses out of normalizeURL. Inputs run past 64 KiB so that pages
// reach the parser in more than one slice.
// Seeds: tests/fixtures/html
// Fuzz options: -max_len=200000 -len_control=0

#include "ZPHFuzzSupport.h"

#include "feeds/parsers/RSSDiscovery.h"

#include <QtCore/QVariantMap>

namespace {

void checkNormalized(const QString& string)
{
  const QString url = RSSDiscovery::normalizeURL(string);
  ZPH_FUZZ_CHECK(url.isNull() || url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                 url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  zphFuzzSilenceLogging();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const QString page = zphFuzzUTF8(data, size);

  const QVariantList dictionaries = RSSDiscovery::getLinkTagDictionariesWithOriginalXML(page);
  for (const QVariant& entry : dictionaries) {
    const QVariantMap dictionary = entry.toMap();
    const QString url = dictionary.value(RSSDiscoveryURLStringKey).toString();
    ZPH_FUZZ_CHECK(!url.trimmed().isEmpty());
    ZPH_FUZZ_CHECK(!dictionary.contains(RSSDiscoveryTitleKey) ||
                   !dictionary.value(RSSDiscoveryTitleKey).toString().isEmpty());
    checkNormalized(url);
  }

  RSSDiscoveryRange range;
  QString title;
  const QString first = RSSDiscovery::getNextLinkTagURLWithXML(page, &range, &title);
  ZPH_FUZZ_CHECK(first.isNull() == dictionaries.isEmpty());
  if (!first.isNull()) {
    ZPH_FUZZ_CHECK(first == dictionaries.first().toMap().value(RSSDiscoveryURLStringKey).toString());
    ZPH_FUZZ_CHECK(range.location == -1 || page.mid(range.location, range.length) == first);
  }

  checkNormalized(RSSDiscovery::getMetaRefreshURL(page));
  checkNormalized(RSSDiscovery::getXMLRedirectURL(page));
  checkNormalized(page.left(200));
  return 0;
}
