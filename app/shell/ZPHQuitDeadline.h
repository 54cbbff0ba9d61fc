#pragma once

// Qt kind: none (a plain class with a watchdog thread).

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// The last guard of the quit. Armed when a quit begins, it ends the process
// at once (status 1, logged) if it is still running `deadlineMs` later,
// whatever it waits for; the time the quit spends on the user's changes
// (hold()) does not count. Every step of the quit has a bound of its own
// well within the deadline, so it is reached only when something ignores
// its cancel. The instance lock stays behind then, so the next start checks
// the store; the store itself is safe, as after any sudden end.
//
// Destroying it disarms it: main() takes the process's own
// (forTheProcess()) before the application object, so it covers the
// object's teardown and whatever runs after main() returns. Once the quit has completed (the store closed,
// the lock given back), what is left is the libraries' teardown, which may
// wait on work of their own (a name lookup of a page that was being
// fetched, threads joined at exit): the deadline then ends the process with
// the quit's own status.
class ZPHQuitDeadline {
public:
  explicit ZPHQuitDeadline(int deadlineMs);
  ~ZPHQuitDeadline();
  // The process's own, made on first use and never destroyed: once armed it
  // also covers what runs after main() returns, to the end of the process.
  static ZPHQuitDeadline& forTheProcess(int deadlineMs);
  ZPHQuitDeadline(const ZPHQuitDeadline&) = delete;
  ZPHQuitDeadline& operator=(const ZPHQuitDeadline&) = delete;

  // Starts the clock; later calls do nothing. Any thread.
  void arm();
  // The quit waits for work that must not be lost (the user's changes on
  // the store queue): the clock stops until release(), for at most
  // `atMostMs` (then the deadline is reached), and goes on afterwards with
  // the time it had left. Any thread.
  void hold(int atMostMs);
  void release();
  // The quit completed with `status`: the deadline, if it is reached, ends
  // the process with that status.
  void quitCompleted(int status);

private:
  const int m_deadlineMs;
  std::mutex m_mutex;
  std::condition_variable m_disarmed;
  bool m_armed = false;
  bool m_done = false;
  int m_completedStatus = -1;
  std::chrono::steady_clock::time_point m_deadline;
  // While held: since when, and until when at most.
  std::optional<std::chrono::steady_clock::time_point> m_heldSince;
  std::chrono::steady_clock::time_point m_holdEnds;
  std::thread m_watch;
};
