#pragma once

// CBEventThrottler turns a burst of triggers of one event into a single call
// made on the main thread a fixed time after the burst. While the burst lasts
// it can collect notifications, and when it fires it posts each distinct one
// once through the default notification center.
//
// Triggers and notifications may come from any thread. All throttlers of the
// process share one recursive lock; their timers live on the main event loop.
//
// A collected notification is a record (QVariantMap) with the keys "name"
// (always), "object" (only when an object was given) and "userInfo" (only
// when a payload was given).

#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtCore/QVariantList>
#include <QtCore/QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class QObject;

class CBEventThrottler {
public:
  // Called on the main thread when the throttler fires, with the records
  // collected during the burst in order of collection (possibly none).
  using Selector = std::function<void(const QVariantList& notifications)>;
  // Asked on the main thread before every re-arming; may change the timeout.
  using TimeoutCalculator = std::function<void(CBEventThrottler& throttler)>;

  // The selector is called only while `target` lives; a null target makes
  // every delivery a no-op.
  CBEventThrottler(QObject* target, Selector selector, double timeout);
  // The selector alone is the target: the owner keeps it valid for as long
  // as the throttler lives.
  CBEventThrottler(Selector selector, double timeout);
  // Pending timers and deliveries that have not run yet are dropped.
  ~CBEventThrottler();
  CBEventThrottler(const CBEventThrottler&) = delete;
  CBEventThrottler& operator=(const CBEventThrottler&) = delete;

  QObject* target() const;
  Selector selector() const;

  // Records a trigger (callers pass true). The first trigger starts a burst;
  // every trigger restarts the delay. Thread-safe.
  void setEventTriggered(bool eventTriggered);
  bool eventTriggered() const;

  // Collects a notification to be posted when the throttler fires; one equal
  // to a notification already collected in this burst (same name, object and
  // payload) is dropped. Thread-safe.
  void addNotification(const QString& name, const QVariant& object = QVariant(),
                       const std::optional<QVariantMap>& userInfo = std::nullopt);

  // Seconds between the last re-arming and the firing.
  double timeout() const;
  void setTimeout(double timeout);

  TimeoutCalculator timeoutCalculator() const;
  void setTimeoutCalculator(TimeoutCalculator calculator);

  // Fire only after a full timeout without any trigger. Setting it to true
  // clears fireAfterMaxPostpones.
  bool bumpUntilIdle() const;
  void setBumpUntilIdle(bool bumpUntilIdle);

  // Fire at once when a burst has more than maxPostPones + 1 repeated
  // triggers.
  bool fireAfterMaxPostpones() const;
  void setFireAfterMaxPostpones(bool fireAfterMaxPostpones);
  int maxPostPones() const;
  void setMaxPostPones(int maxPostPones);
  int numberOfPostpones() const;

  // A trigger arrived while the bump-until-idle timer was pending.
  bool bumped() const;

  // Hand the records to the selector only, without posting them.
  bool passNotifications() const;
  void setPassNotifications(bool passNotifications);

  // Names the throttler in log lines; a null tag logs nothing.
  QString tag() const;
  void setTag(const QString& tag);

  // The records collected so far in this burst, and the same records by
  // de-duplication key.
  QVariantList notifications() const;
  QVariantMap notificationDictionary() const;

  // A timer is armed on the main event loop.
  bool hasEventTimer() const;

  // Nothing of the triggers so far is still on its way: no burst under way
  // (not even one whose timer is still to be armed on the main thread) and
  // no firing whose selector has yet to run. Thread-safe.
  bool isIdle() const;

  // The firing: ends the burst and queues the delivery. The timer's action;
  // also run at once when the postpone limit is passed.
  void eventTimerDidFire();

private:
  // Posts each record through the default notification center, in order.
  void fireNotifications(const QVariantList& notifications) const;
  // Re-arms the timer while a burst is under way. Main thread only.
  void scheduleEventTimer();

  struct Private;
  std::shared_ptr<Private> d;
};
