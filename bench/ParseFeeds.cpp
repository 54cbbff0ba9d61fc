// Feed parsing throughput: the full RSS and Atom readers (type sniffing
// included) against a plain libxml2 SAX2 pass with empty callbacks over the
// same bytes, on farm-rendered feeds of 50 items with HTML bodies. At the
// end the ratio of the two speeds is printed per document (goal: at least
// one third). Also: sniffing a 5 MB HTML page, which must stop in its head.

#include "feeds/parsers/CBFeedParserProxy.h"
#include "feeds/parsers/CBFeedType.h"
#include "feeds/parsers/ZPHStreamingXMLParser.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMap>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

const char* const kDocuments[] = {"farm-rss2.xml", "farm-atom.xml", "farm-rss1.rdf"};

QByteArray documentBytes(int index)
{
  static QMap<int, QByteArray> cache;
  if (!cache.contains(index)) {
    const QString path = QFileInfo(QString::fromUtf8(__FILE__))
                             .dir()
                             .filePath(QStringLiteral("data/") + QString::fromLatin1(kDocuments[index]));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
      std::exit(2);
    }
    cache.insert(index, file.readAll());
  }
  return cache.value(index);
}

void BM_FullParse(benchmark::State& state)
{
  const QByteArray data = documentBytes(int(state.range(0)));
  qsizetype items = 0;
  for (auto _ : state) {
    CBFeedParserProxy proxy;
    proxy.parseData(data);
    items = proxy.newsItems().size();
    benchmark::DoNotOptimize(items);
  }
  if (items != 50)
    state.SkipWithError("expected 50 items");
  state.SetLabel(kDocuments[state.range(0)]);
  state.SetBytesProcessed(int64_t(state.iterations()) * data.size());
}
BENCHMARK(BM_FullParse)->DenseRange(0, 2);

void BM_RawSAXPass(benchmark::State& state)
{
  const QByteArray data = documentBytes(int(state.range(0)));
  for (auto _ : state) ZPHStreamingXMLParserEmptyPass(data);
  state.SetLabel(kDocuments[state.range(0)]);
  state.SetBytesProcessed(int64_t(state.iterations()) * data.size());
}
BENCHMARK(BM_RawSAXPass)->DenseRange(0, 2);

void BM_DetectFiveMegabyteHTML(benchmark::State& state)
{
  // No marker in the first 1024 bytes, so the detector parser decides.
  const QByteArray page = "<!DOCTYPE html>\n<!--" + QByteArray(2000, ' ') + "-->\n<html><head><title>t</title>" +
                          "</head><body>" + QByteArray(5 * 1000 * 1000, 'y') + "</body></html>";
  for (auto _ : state) {
    CBFeedType type = CBFeedTypeForData(page);
    benchmark::DoNotOptimize(type);
  }
  state.SetLabel("5 MB page");
}
BENCHMARK(BM_DetectFiveMegabyteHTML);

// Keeps each run's time per iteration so that main can print the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  QMap<QString, double> nanoseconds;
  void ReportRuns(const std::vector<Run>& runs) override
  {
    for (const Run& run : runs) {
      if (run.iterations > 0 && run.run_type == Run::RT_Iteration)
        nanoseconds.insert(QString::fromStdString(run.benchmark_name()), run.GetAdjustedRealTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (int i = 0; i < 3; ++i) {
    const double full = reporter.nanoseconds.value(QStringLiteral("BM_FullParse/%1").arg(i));
    const double raw = reporter.nanoseconds.value(QStringLiteral("BM_RawSAXPass/%1").arg(i));
    if (full > 0 && raw > 0)
      std::printf("%-16s full parse speed / raw SAX speed = %.2f (goal >= 0.33)\n", kDocuments[i], raw / full);
  }
  benchmark::Shutdown();
  return 0;
}
