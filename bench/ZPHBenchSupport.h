// Shared by the Google Benchmark programs of bench/.

#pragma once

#include <QtCore/QCoreApplication>
#include <QtCore/QString>

#include <benchmark/benchmark.h>

// The address of the benchmarks' made-up feed number `feed`.
inline QString zphBenchFeedURL(int feed) { return QStringLiteral("https://feed%1.example.com/rss").arg(feed); }

// The main of a benchmark program whose code needs a Qt application.
#define ZPH_BENCHMARK_MAIN()             \
  int main(int argc, char** argv)        \
  {                                      \
    QCoreApplication app(argc, argv);    \
    benchmark::Initialize(&argc, argv);  \
    benchmark::RunSpecifiedBenchmarks(); \
    benchmark::Shutdown();               \
    return 0;                            \
  }                                      \
  int main(int, char**)
