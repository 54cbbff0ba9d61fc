#pragma once

#include <QtCore/QDeadlineTimer>
#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QTemporaryDir>

#include <sys/resource.h>

#include <functional>

// A fresh folder for one test, removed with the object.
class ZPHTestTempDir {
public:
  ZPHTestTempDir();
  QString path() const { return m_dir.path(); }
  // path()/name
  QString filePath(const QString& name) const { return m_dir.filePath(name); }
  // Writes `bytes` to path()/name and answers the full path.
  QString writeFile(const QString& name, const QByteArray& bytes) const;

private:
  QTemporaryDir m_dir;
};

// A folder inside `dir` in which no file can be made: made read-only, or,
// for a user whom permissions do not stop (root), a folder of /proc.
QString ZPHTestReadOnlyFolder(const ZPHTestTempDir& dir);

// Serves the main event loop until `done` answers true or `timeoutMs` pass;
// answers the last value of `done`.
bool ZPHTestWaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// As ZPHTestWaitUntil, and `done` still answers true once the main thread
// has run what other threads handed it before that: the completion of an
// operation that has just left its queue, a notification posted on the way.
bool ZPHTestWaitUntilSettled(const std::function<bool()>& done, int timeoutMs = 5000);

// Serves the main event loop for about `ms` milliseconds.
void ZPHTestSpinEventLoop(int ms);

// Records the log lines written, from any thread, while it lives, and
// passes them on to the handler it replaced. One at a time.
class ZPHTestLogCapture {
public:
  ZPHTestLogCapture();
  ~ZPHTestLogCapture();
  ZPHTestLogCapture(const ZPHTestLogCapture&) = delete;
  ZPHTestLogCapture& operator=(const ZPHTestLogCapture&) = delete;

  QStringList lines() const;
  // The lines that contain `text`.
  QStringList linesContaining(const QString& text) const;

private:
  static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);
  mutable QMutex m_mutex;
  QStringList m_lines;
  QtMessageHandler m_previous = nullptr;
};

// Reads a file from tests/fixtures.
QByteArray ZPHTestFixture(const QString& relativePath);

// Work a test program needs done before its application object exists
// (registering URL schemes with the web engine). Installed from a static
// object's constructor, which runs before main():
//   static ZPHTestBeforeApplication registerSchemes(&registerMySchemes);
using ZPHTestBeforeApplicationHook = void (*)();
struct ZPHTestBeforeApplication {
  explicit ZPHTestBeforeApplication(ZPHTestBeforeApplicationHook hook);
};
// Runs the installed hooks once, in order (the test main calls it).
void ZPHTestRunBeforeApplicationHooks();

// While it lives, no file of this process grows past `bytes`, as on a disk
// that is full: a write beyond fails (EFBIG, the signal that goes with it
// ignored).
class ZPHTestFileSizeLimit {
public:
  explicit ZPHTestFileSizeLimit(qint64 bytes);
  ~ZPHTestFileSizeLimit();
  ZPHTestFileSizeLimit(const ZPHTestFileSizeLimit&) = delete;
  ZPHTestFileSizeLimit& operator=(const ZPHTestFileSizeLimit&) = delete;
  bool applied() const { return m_applied; }

private:
  rlimit m_saved{};
  void (*m_handler)(int) = nullptr;
  bool m_applied = false;
};

// A disk of its own for a test: runs this test program again, in a mount
// namespace of its own with a tmpfs of `megabytes` mounted on a new folder,
// with only the test `filter` names (one, by its full name) and the folder
// in the environment variable `variable`. Nothing outside the child sees
// the disk.
struct ZPHTestSmallDiskRun {
  bool ran = false;  // false: no mount namespace with a tmpfs here (output says why)
  int exitCode = -1;
  QByteArray output;
};
ZPHTestSmallDiskRun ZPHTestRunOnASmallDisk(const char* variable, const QString& filter, int megabytes);

// Fills the disk that holds `folder` but for `leaveBytes` (a file named
// "filler" in it); answers the bytes still free then.
qint64 ZPHTestFillDisk(const QString& folder, qint64 leaveBytes = 0);
