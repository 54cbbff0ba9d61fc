#pragma once

#include "platform/CBOperation.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>

#include <list>
#include <memory>

class ZPHOperationQueue;

// Object: the controller (CBOperationController*). Posted on the main thread
// when a tracking controller's list fills and empties.
extern const QString CBOperationControllerDidBeginOperationsNotification;
extern const QString CBOperationControllerDidEndOperationsNotification;

// A named operation queue that tracks its operations from their addition to
// their completion notification, answers whether an operation of a type for
// an object is queued, and announces when its list fills and empties.
//
// Only CBOperations are accepted: they are the operations that post the
// completion notification that empties the list, so a tracked list always
// empties again, also while the application quits (nothing is added and
// nothing announced then, but ended operations still leave the list). Used on the main thread only, except
// numberOfOperationsOfType(); every controller made stays in a process-wide
// list until it is destroyed.
//
// It wraps a ZPHOperationQueue; use the bare queue where nobody but its owner
// looks at the work.
class CBOperationController {
public:
  CBOperationController();
  ~CBOperationController();
  CBOperationController(const CBOperationController&) = delete;
  CBOperationController& operator=(const CBOperationController&) = delete;

  // "com.fernhollow.zephlin.sharedOperationControllerQueue", unbounded; first
  // asked for on the main thread.
  static CBOperationController* sharedController();
  // "com.fernhollow.zephlin.sharedOperationControllerDownloadQueue", 12 at
  // once; may first be asked for on any thread.
  static CBOperationController* sharedDownloadOperationController();

  // The process-wide list of controllers.
  static void addOperationController(CBOperationController* controller);
  static void setSuspendedInAllQueues(bool suspended);
  static void cancelAllOperationsInAllQueues();
  static void waitUntilAllOperationsAreFinishedInAllQueues();

  int queueWidth() const { return m_queueWidth; }
  void setQueueWidth(int width);

  void addOperation(const std::shared_ptr<CBOperation>& operation);
  // Adds nothing and answers false when a tracked, uncancelled operation has
  // the same type and an equal object.
  bool addOperationIfNotInQueue(const std::shared_ptr<CBOperation>& operation);
  void cancelOperation(const std::shared_ptr<CBOperation>& operation);
  void setSuspended(bool suspended);
  void cancelAllOperations();
  void waitUntilAllOperationsAreFinished();

  int operationCount() const { return numberOfOperations(); }
  int numberOfDownloadOperations() const;
  bool hasDownloadOperationsScheduled() const { return numberOfDownloadOperations() > 0; }
  int numberOfOperationsOfType(qint64 type) const;
  bool hasOperationsScheduledOfType(qint64 type) const;
  bool hasOperationWithType(qint64 type, const QVariant& object) const;

  // "<queue> - <name>"
  QString description() const;

  QString name() const;
  void setName(const QString& name);
  bool tracksOperations() const { return m_tracksOperations; }
  void setTracksOperations(bool tracks) { m_tracksOperations = tracks; }
  QList<std::shared_ptr<CBOperation>> operations() const;
  int numberOfOperations() const { return int(m_operations.size()); }
  ZPHOperationQueue* operationQueue() const { return m_operationQueue.get(); }
  // How many operations were ever added: a caller that noted it can tell
  // whether anybody added one since.
  quint64 operationsAdded() const { return m_operationsAdded; }
  // Expires when the controller is destroyed: work posted for later asks it
  // whether the controller is still there.
  std::weak_ptr<const void> lifetime() const { return m_lifetime; }

private:
  void operationDidComplete(const ZPHNotification& notification);

  std::unique_ptr<ZPHOperationQueue> m_operationQueue;
  int m_queueWidth = -1;
  bool m_tracksOperations = true;
  // The tracked operations in the order added, and where each is in that
  // list: a completion among thousands is found at once.
  std::list<std::shared_ptr<CBOperation>> m_operations;
  QHash<const CBOperation*, std::list<std::shared_ptr<CBOperation>>::iterator> m_positions;
  ZPHObserverToken m_completionObserver;
  std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
  quint64 m_operationsAdded = 0;
};

// Adds the operation to the shared controller if not already queued: at once
// on the main thread, else later on the main thread (the answer is then lost
// and false is returned).
bool CBAddOperationIfNotInQueue(const std::shared_ptr<CBOperation>& operation);

Q_DECLARE_METATYPE(CBOperationController*)
