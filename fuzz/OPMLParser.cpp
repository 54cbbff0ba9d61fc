// Subscription lists from arbitrary bytes: never a crash or a hang; the
// folder tree is finite, rooted in "OPML Imports" and no larger than the
// input; the single-string reader on the same bytes answers trimmed text.
// Seeds: fuzz/seeds/opml tests/fixtures/feeds
// Fuzz options: -max_len=100000

#include "ZPHFuzzSupport.h"

#include "feeds/parsers/ZPHOPMLParser.h"
#include "feeds/parsers/ZPHSingleStringParser.h"

#include <QtCore/QByteArray>

namespace {

// Stubs below `folder`, each checked; a folder met twice would mean a cycle.
qsizetype countStubs(const std::shared_ptr<ZPHFolderStub>& folder, int depth)
{
  ZPH_FUZZ_CHECK(folder != nullptr);
  ZPH_FUZZ_CHECK(depth <= 2 * ZPHStreamingXMLParser::MaximumElementDepth);
  qsizetype count = 0;
  for (const ZPHStubItem& item : folder->items()) {
    ++count;
    if (const auto* child = std::get_if<std::shared_ptr<ZPHFolderStub>>(&item)) {
      ZPH_FUZZ_CHECK(*child != folder);
      count += countStubs(*child, depth + 1);
    } else {
      const auto& feed = std::get<std::shared_ptr<ZPHFeedStub>>(item);
      ZPH_FUZZ_CHECK(feed != nullptr);
      feed->urlString();
      feed->homePageURLString();
      feed->userSpecifiedName();
    }
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  zphFuzzSilenceLogging();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

  auto parser = ZPHOPMLParser::xmlParser();
  ZPHError error;
  ZPH_FUZZ_CHECK(parser->parseData(bytes, &error));
  const auto root = parser->rootFolder();
  ZPH_FUZZ_CHECK(root != nullptr);
  ZPH_FUZZ_CHECK(root->title() == QLatin1String("OPML Imports"));
  // Every stub comes from one start tag, so there are fewer stubs than bytes.
  ZPH_FUZZ_CHECK(countStubs(root, 0) <= qsizetype(size));

  for (const char* tag : {"title", "outline", "url"}) {
    const QString found = ZPHParseSingleStringWithTag(bytes, QString::fromLatin1(tag));
    ZPH_FUZZ_CHECK(found.isNull() || found == found.trimmed());
  }
  return 0;
}
