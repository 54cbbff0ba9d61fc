#include "shell/ZPHTerminationSignalWatcher.h"

#include "common/ZPHShellLog.h"

#include <QtCore/QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace {

int g_signalSockets[2] = {-1, -1};
const int WatchedSignals[] = {SIGTERM, SIGINT, SIGHUP};

void relaySignal(int signalNumber)
{
  const unsigned char byte = static_cast<unsigned char>(signalNumber);
  // Nothing else may be done in a signal handler; a full socket drops it.
  [[maybe_unused]] const ssize_t written = ::write(g_signalSockets[0], &byte, 1);
}

}  // namespace

ZPHTerminationSignalWatcher::ZPHTerminationSignalWatcher(QObject* parent) : QObject(parent)
{
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalSockets) != 0) {
    qCWarning(zphShell) << "cannot watch termination signals";
    return;
  }
  ::fcntl(g_signalSockets[0], F_SETFL, ::fcntl(g_signalSockets[0], F_GETFL) | O_NONBLOCK);
  m_notifier = new QSocketNotifier(g_signalSockets[1], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, [this] {
    unsigned char byte = 0;
    if (::read(g_signalSockets[1], &byte, 1) == 1) {
      qCInfo(zphShell) << "signal" << int(byte) << "asks the program to quit";
      Q_EMIT terminationRequested(int(byte));
    }
  });
  struct sigaction action {};
  action.sa_handler = relaySignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signalNumber : WatchedSignals) ::sigaction(signalNumber, &action, nullptr);
}

ZPHTerminationSignalWatcher::~ZPHTerminationSignalWatcher()
{
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int signalNumber : WatchedSignals) ::sigaction(signalNumber, &action, nullptr);
  delete m_notifier;
  m_notifier = nullptr;
  for (int& socket : g_signalSockets) {
    if (socket >= 0)
      ::close(socket);
    socket = -1;
  }
}
