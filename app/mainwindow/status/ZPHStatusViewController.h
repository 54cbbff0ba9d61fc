#pragma once

// Qt kind: QObject that owns widgets.

#include "feeds/refresh/ZPHStatusItem.h"
#include "kit/ZPHClock.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSet>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QVariantAnimation;
class QWidget;
class ZPHStatusItemViewController;

// The one-line status area under the source list, where every part of the
// program shows what it is doing ("Refreshing Sites…", "Importing OPML…")
// and what went wrong ("No Internet Connection"). The application delegate
// forwards the core's status calls here.
//
// One item is shown at a time. Several items take turns every 2.0 s, in the
// order they were added; each change slides the new item up into place
// while the old one slides up and out. A new item, and the removal of the
// last one, wait until the item on screen has been shown for 2.0 s.
//
// Every call becomes a step in a first-in, first-out list on the main
// thread, and a step ends only when the change it started has finished
// (including its wait and its slide), so changes never overlap. Every step
// ends exactly once: when its slide is done, at once when the view has been
// destroyed, or, when the controller itself goes away, by being dropped, in
// which case the removal handlers still pending run.
//
// Owns its view, a ZPHSimpleColorView that the main window places in the
// status container of the source list.
class ZPHStatusViewController : public QObject {
  Q_OBJECT

public:
  using StatusItem = std::shared_ptr<ZPHStatusItem>;

  // How long an item stays before the next takes its turn, and before a new
  // item or the removal of the last one may slide.
  static constexpr qint64 SwitchInterval = 2000;    // ms
  static constexpr int DefaultSlideDuration = 650;  // ms

  // The clock (the system clock when null) must outlive the controller.
  explicit ZPHStatusViewController(ZPHClock* clock = nullptr, QObject* parent = nullptr);
  // Drops the steps still waiting; runs the removal handlers still pending.
  ~ZPHStatusViewController() override;

  QWidget* view() const;

  // Any thread (calls from other threads are carried to the main thread).
  //
  // Adds the item (its text must not be empty). `addCompletionHandler` runs
  // once, when the item has first slid in. An item whose identifier an item
  // present (and not on its way out) already has is dropped, and its
  // handler never runs.
  void addStatusItem(StatusItem item, std::function<void()> addCompletionHandler = {});
  // Takes the item out. `removalCompletionHandler` runs once, when the item
  // has really gone; at once for an item that is not present; and when the
  // status area goes away before that.
  void removeStatusItem(StatusItem item, std::function<void()> removalCompletionHandler = {});
  // Takes out the item present with that identifier (not empty), if any.
  void removeAnyStatusItemWithIdentifier(const QString& identifier);

  int slideDuration() const { return m_slideDuration; }
  // 0 or less: changes happen without a slide.
  void setSlideDuration(int milliseconds) { m_slideDuration = milliseconds; }

  // What the area holds now: every item present in turn order, the item on
  // screen first.
  QList<StatusItem> orderedStatusItems() const { return m_orderedStatusItems; }
  StatusItem currentStatusItem() const { return m_currentStatusItem; }
  QWidget* currentStatusItemView() const { return m_currentStatusItemView; }
  ZPHStatusItemViewController* viewControllerForStatusItem(const ZPHStatusItem* item) const;
  bool isMarkedForRemoval(const ZPHStatusItem* item) const { return m_statusItemsMarkedForRemoval.contains(item); }
  bool isAnimating() const { return m_isAnimating; }
  bool isInLiveResize() const { return m_isInLiveResize; }
  bool isSwitchTimerRunning() const { return m_statusItemSwitchTimer != 0; }
  // Steps waiting, plus the one running.
  int pendingStepCount() const { return static_cast<int>(m_steps.size()) + (m_stepRunning ? 1 : 0); }

  // The turn timer's action: replaces any tick still waiting with a new one.
  void statusItemSwitchTimerFired();

private:
  enum class StepKind { Add, Remove, RemoveByIdentifier, Tick };
  struct Step {
    StepKind kind = StepKind::Tick;
    StatusItem item;
    QString identifier;
    std::function<void()> handler;
  };
  using Completion = std::function<void()>;

  void enqueue(Step step);
  void runSteps();
  void finishStep(quint64 step);
  void performStep(Step step, Completion completion);

  void operationAddStatusItem(const StatusItem& item, std::function<void()> addHandler, Completion completion);
  void operationRemoveStatusItem(const StatusItem& item, std::function<void()> removalHandler, Completion completion);
  void operationRemoveStatusItemWithIdentifier(const QString& identifier, Completion completion);
  void operationTimerTick(Completion completion);
  void operationActuallyRemoveStatusItem(const StatusItem& item, Completion completion);
  void operationSwitchToStatusItem(const StatusItem& item, Completion completion);
  void operationShowStatusItem(const StatusItem& item, Completion completion);
  void operationShowStatusItemView(QWidget* incoming, Completion completion);
  void finishSlide();
  QWidget* operationViewForStatusItem(const StatusItem& item);
  StatusItem operationNextStatusItemAfterStatusItem(const StatusItem& item) const;
  void operationStartOrStopSwitchTimerAsNeeded(bool forcingReset);
  void operationClearStatusSwitchItemTimer();
  void operationRestartStatusItemSwitchTimer();
  void scheduleSwitchTimer();
  void cancelAllTimerTickSteps();

  bool isPresent(const StatusItem& item) const { return m_orderedStatusItems.contains(item); }
  qint64 timeSinceLastSwitch() const;
  void setAnimating(bool animating);
  void setInLiveResize(bool inLiveResize);
  void updateViewVisibility();
  void layOutCurrentView();
  void runRemovalHandlers(const ZPHStatusItem* item);

  ZPHClock* m_clock;
  int m_slideDuration = DefaultSlideDuration;
  QPointer<QWidget> m_view;

  QList<StatusItem> m_orderedStatusItems;
  StatusItem m_currentStatusItem;
  QPointer<QWidget> m_currentStatusItemView;
  std::map<const ZPHStatusItem*, std::unique_ptr<ZPHStatusItemViewController>> m_viewControllersByStatusItem;
  ZPHClock::TimerID m_statusItemSwitchTimer = 0;
  QSet<const ZPHStatusItem*> m_statusItemsMarkedForRemoval;
  QSet<const ZPHStatusItem*> m_statusItemsNeverShown;
  std::optional<qint64> m_lastSwitchTime;
  bool m_isAnimating = false;
  bool m_isInLiveResize = false;
  bool m_hiddenDuringLiveResize = false;

  // Handlers of items present: the add handler until the item has slid in,
  // and the removal handlers of the requests made so far, in request order.
  std::map<const ZPHStatusItem*, std::function<void()>> m_addHandlers;
  std::vector<std::pair<const ZPHStatusItem*, std::function<void()>>> m_removalHandlers;

  std::deque<Step> m_steps;
  bool m_stepRunning = false;
  bool m_runningSteps = false;
  quint64 m_stepSerial = 0;
  bool m_goingAway = false;

  // The slide running now.
  QPointer<QVariantAnimation> m_slideAnimation;
  QPointer<QWidget> m_slideIncoming;
  QPointer<QWidget> m_slideOutgoing;
  Completion m_slideCompletion;

  ZPHObserverToken m_liveResizeStartedObserver;
  ZPHObserverToken m_liveResizeEndedObserver;
};
