#pragma once

// Qt kind: QObject (times the quit's waits on the event loop).

#include "shell/ZPHAppDelegate.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QObject>

#include <functional>
#include <memory>

// The quit, from the first request to the answer that ends the event loop,
// with a bound on each of its waits; and the bounded steps that let go of
// the refresh and data controllers (the delegate's destructor, the store's
// failure path). The steps are told in ZPHQuitSequence.cpp.
//
// Made by the application delegate and owned by it; it acts on the objects
// the delegate owns and answers through the delegate's Environment
// (exitApplication, quitBegan, holdQuitDeadline). Main thread only.
class ZPHQuitSequence : public QObject {
  Q_OBJECT

public:
  enum class TerminateReply { TerminateNow, TerminateLater };

  // The program's bounds of the quit's waits, and the deadline after which
  // main() ends a quit that did not end by itself. The steps together stay
  // well within the deadline.
  static constexpr int QuitBackgroundWorkBoundMs = 300;
  static constexpr int QuitStoreQueueBoundMs = 600;
  // Past QuitStoreQueueBoundMs: the cancelled savers stop, and the rest of
  // the store queue (the user's changes) runs, with main()'s deadline held,
  // for as long as it moves on: QuitUsersChangesBoundMs count from its last
  // step forward (an operation ended, a batch of a deletion saved).
  static constexpr int QuitCancelledSaversBoundMs = 2000;
  static constexpr int QuitUsersChangesBoundMs = 10000;
  static constexpr int QuitStoreQueueCancelBoundMs = 300;
  static constexpr int QuitBackupBoundMs = 300;
  static constexpr int QuitTeardownBoundMs = 200;
  static constexpr int QuitDeadlineMs = 1900;

  // The bounds this quit keeps (the program's unless set).
  struct Bounds {
    int backgroundWorkMs = QuitBackgroundWorkBoundMs;
    int storeQueueMs = QuitStoreQueueBoundMs;
    int cancelledSaversMs = QuitCancelledSaversBoundMs;
    int usersChangesMs = QuitUsersChangesBoundMs;
    int storeQueueCancelMs = QuitStoreQueueCancelBoundMs;
    int backupMs = QuitBackupBoundMs;
    int teardownMs = QuitTeardownBoundMs;
  };

  ZPHQuitSequence(ZPHAppDelegate& delegate, const ZPHAppDelegate::Environment& environment);

  const Bounds& bounds() const { return m_bounds; }
  void setBounds(const Bounds& bounds) { m_bounds = bounds; }

  // The first request starts the quit; later ones do nothing.
  void requestTermination();
  TerminateReply applicationShouldTerminate();
  // At once, without the quit: for a launch that never touched the store.
  void quitWithoutTheStore(int status);
  // The store's failure path: its end, and the closing of the store before
  // it (see ZPHAppDelegate::closeStoreThen()).
  void terminateAfterCoreDataFailure();
  void closeStoreThen(std::function<void()> then);
  // Let go of the controllers, the refresh controller within
  // Bounds::teardownMs after its cancel.
  void releaseRefreshController();
  void releaseDataController();

private:
  void terminateAsynchronously();
  void stopRefreshTimers();
  // Serves the event loop until `done` answers true or `boundMs` have
  // passed (logged), then calls `then` with whether it ended. With
  // `progressed` (asked at each turn), the bound counts from the last turn
  // it answered true.
  void waitForQuitStep(const QString& what, int boundMs, std::function<bool()> done,
                       std::function<void(bool ended)> then, std::function<bool()> progressed = {});
  int refreshOperationsLeft() const;
  void runFinishingSteps(bool modal);
  void finishAfterStoreQueue(bool modal);
  // Past the store queue's bound: the savers are dropped, the rest runs.
  void finishAfterTheUsersChanges(bool modal, std::shared_ptr<bool> written);
  // Past their bound too: the whole store queue is cancelled.
  void finishAfterCancellingTheStoreQueue(bool modal, std::shared_ptr<bool> written);
  void writeBackAndClose(bool modal);
  // The last step: the quitting window goes and the quit is answered.
  void endQuit(bool modal);
  void replyToApplicationShouldTerminate(bool shouldTerminate);

  ZPHAppDelegate& m_delegate;
  const ZPHAppDelegate::Environment& m_environment;
  Bounds m_bounds;
  bool m_terminationRequested = false;
  bool m_terminationReplied = false;
  QElapsedTimer m_quitClock;
  int m_quitStoreQueueChecks = 0;
};
