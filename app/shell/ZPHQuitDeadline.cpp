#include "shell/ZPHQuitDeadline.h"

#include <chrono>
#include <cstdio>
#include <string>

#include <unistd.h>

ZPHQuitDeadline::ZPHQuitDeadline(int deadlineMs) : m_deadlineMs(deadlineMs) {}

ZPHQuitDeadline::~ZPHQuitDeadline()
{
  {
    std::lock_guard<std::mutex> locker(m_mutex);
    m_done = true;
  }
  m_disarmed.notify_all();
  if (m_watch.joinable())
    m_watch.join();
}

ZPHQuitDeadline& ZPHQuitDeadline::forTheProcess(int deadlineMs)
{
  static ZPHQuitDeadline* const deadline = new ZPHQuitDeadline(deadlineMs);
  return *deadline;
}

void ZPHQuitDeadline::arm()
{
  std::lock_guard<std::mutex> locker(m_mutex);
  if (m_armed || m_done)
    return;
  m_armed = true;
  m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_deadlineMs);
  m_watch = std::thread([this] {
    std::unique_lock<std::mutex> locker(m_mutex);
    // Woken by the end, a hold and a release: the time to wait is worked
    // out again each time.
    while (!m_done) {
      const auto until = m_heldSince ? m_holdEnds : m_deadline;
      if (std::chrono::steady_clock::now() >= until)
        break;
      m_disarmed.wait_until(locker, until);
    }
    if (m_done)
      return;
    // Nothing of Qt is asked: it may be half torn down by now.
    const int completed = m_completedStatus;
    const std::string line = completed >= 0
                                 ? "zephlin.shell: the quit completed, but the libraries did not finish within " +
                                       std::to_string(m_deadlineMs) + " ms; the program ends now\n"
                                 : "zephlin.shell: the quit did not end within its deadline of " +
                                       std::to_string(m_deadlineMs) + " ms; the program ends now\n";
    std::fflush(stderr);
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
    ::_exit(completed >= 0 ? completed : 1);
  });
}

void ZPHQuitDeadline::hold(int atMostMs)
{
  {
    std::lock_guard<std::mutex> locker(m_mutex);
    if (!m_armed || m_heldSince)
      return;
    const auto now = std::chrono::steady_clock::now();
    m_heldSince = now;
    m_holdEnds = now + std::chrono::milliseconds(atMostMs);
  }
  m_disarmed.notify_all();
}

void ZPHQuitDeadline::release()
{
  {
    std::lock_guard<std::mutex> locker(m_mutex);
    if (!m_heldSince)
      return;
    m_deadline += std::chrono::steady_clock::now() - *m_heldSince;
    m_heldSince.reset();
  }
  m_disarmed.notify_all();
}

void ZPHQuitDeadline::quitCompleted(int status)
{
  std::lock_guard<std::mutex> locker(m_mutex);
  m_completedStatus = status < 0 ? 1 : status;
}
