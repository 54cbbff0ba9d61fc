#pragma once

// Qt kind: QObject.

#include <QtCore/QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (the session ending, a kill, Ctrl+C in a
// terminal) into a signal on the main thread, so that they end the program
// through its ordinary quit. One per process, made on the main thread.
class ZPHTerminationSignalWatcher : public QObject {
  Q_OBJECT

public:
  explicit ZPHTerminationSignalWatcher(QObject* parent = nullptr);
  ~ZPHTerminationSignalWatcher() override;

Q_SIGNALS:
  void terminationRequested(int signalNumber);

private:
  QSocketNotifier* m_notifier = nullptr;
};
