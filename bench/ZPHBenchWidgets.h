// Shared by the benchmark programs that measure the application's widgets
// (bench_sourcelist, bench_articlelist, bench_browsertabs, bench_subscriptions);
// they link the application's library.

#pragma once

#include "themes/ZPHRegisterThemes.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <time.h>

// The CPU time the calling thread has used, in milliseconds.
inline double zphBenchThreadMilliseconds()
{
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Serves the main event loop, asleep while there is nothing to do, until
// `done` answers true. A steady timer wakes it now and then for conditions
// met on other threads; no loop or timer is made per turn, so the serving
// costs the main thread about what the program's own event loop would.
// Two minutes without the answer end the program: `what` did not answer.
inline void zphBenchServeUntil(const std::function<bool()>& done, const char* what)
{
  QElapsedTimer deadline;
  deadline.start();
  QTimer wake;
  wake.start(2);
  while (!done()) {
    if (deadline.elapsed() > 120000) {
      std::fprintf(stderr, "%s did not answer in two minutes\n", what);
      std::exit(2);
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

// Times one operation: the main thread's CPU time as the iteration's time,
// the wall time as a counter.
struct ZPHBenchTiming {
  double cpu = 0;
  QElapsedTimer wall;
  void start()
  {
    cpu = zphBenchThreadMilliseconds();
    wall.start();
  }
  double mainMilliseconds() const { return zphBenchThreadMilliseconds() - cpu; }
};

// The main of a widgets benchmark: off screen unless a display is asked
// for, the settings the widgets write in a folder of the run's own, the
// interface themes registered.
#define ZPH_WIDGETS_BENCHMARK_MAIN()                      \
  int main(int argc, char** argv)                         \
  {                                                       \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))   \
      qputenv("QT_QPA_PLATFORM", "offscreen");            \
    QTemporaryDir settings;                               \
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8()); \
    QApplication app(argc, argv);                         \
    ZPHRegisterThemes();                                  \
    benchmark::Initialize(&argc, argv);                   \
    benchmark::RunSpecifiedBenchmarks();                  \
    benchmark::Shutdown();                                \
    return 0;                                             \
  }                                                       \
  int main(int, char**)
