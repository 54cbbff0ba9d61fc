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

void ZPHQuitDeadline::arm()
{
  std::lock_guard<std::mutex> locker(m_mutex);
  if (m_armed || m_done)
    return;
  m_armed = true;
  m_watch = std::thread([this] {
    std::unique_lock<std::mutex> locker(m_mutex);
    if (m_disarmed.wait_for(locker, std::chrono::milliseconds(m_deadlineMs), [this] { return m_done; }))
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

void ZPHQuitDeadline::quitCompleted(int status)
{
  std::lock_guard<std::mutex> locker(m_mutex);
  m_completedStatus = status < 0 ? 1 : status;
}
