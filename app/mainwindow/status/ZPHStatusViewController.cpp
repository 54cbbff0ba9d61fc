#include "mainwindow/status/ZPHStatusViewController.h"

#include "common/ZPHLiveResizeNotifications.h"
#include "kit/ZPHInterfaceLog.h"
#include "kit/ZPHSimpleColorView.h"
#include "mainwindow/status/ZPHStatusItemViewController.h"
#include "platform/ZPHMainThread.h"

#include <QtCore/QEasingCurve>
#include <QtCore/QEvent>
#include <QtCore/QVariantAnimation>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <limits>

namespace {

// Keeps the item on screen filling the area when the area is resized.
class ZPHStatusAreaResizeFilter : public QObject {
public:
  ZPHStatusAreaResizeFilter(QObject* parent, std::function<void()> resized)
      : QObject(parent), m_resized(std::move(resized))
  {
  }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override
  {
    if (event->type() == QEvent::Resize)
      m_resized();
    return QObject::eventFilter(watched, event);
  }

private:
  std::function<void()> m_resized;
};

}  // namespace

ZPHStatusViewController::ZPHStatusViewController(ZPHClock* clock, QObject* parent)
    : QObject(parent), m_clock(clock != nullptr ? clock : &ZPHClock::systemClock())
{
  m_view = new ZPHSimpleColorView;
  m_view->setObjectName(QStringLiteral("statusArea"));
  m_view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  // Hiding the area during a live resize must not give its room away.
  QSizePolicy policy = m_view->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  m_view->setSizePolicy(policy);
  m_view->setMinimumHeight(22);
  m_view->installEventFilter(new ZPHStatusAreaResizeFilter(this, [this] { layOutCurrentView(); }));
  // A view destroyed under a slide ends the slide; later changes happen
  // without one.
  connect(m_view, &QObject::destroyed, this, [this] {
    m_view = nullptr;
    finishSlide();
  });

  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  m_liveResizeStartedObserver = center.addObserver(ZPHSourceListLiveResizeStartedNotification, QVariant(), this,
                                                   [this](const ZPHNotification&) { setInLiveResize(true); });
  m_liveResizeEndedObserver = center.addObserver(ZPHSourceListLiveResizeEndedNotification, QVariant(), this,
                                                 [this](const ZPHNotification&) { setInLiveResize(false); });
}

ZPHStatusViewController::~ZPHStatusViewController()
{
  m_goingAway = true;
  m_liveResizeStartedObserver.reset();
  m_liveResizeEndedObserver.reset();
  if (m_statusItemSwitchTimer != 0)
    m_clock->cancel(m_statusItemSwitchTimer);
  m_statusItemSwitchTimer = 0;
  if (m_slideAnimation != nullptr) {
    m_slideAnimation->disconnect(this);
    m_slideAnimation->stop();
  }
  m_slideCompletion = nullptr;

  // The removal handlers still pending: first those of items asked to go,
  // then those of requests still waiting, each in the order asked.
  std::vector<std::function<void()>> handlers;
  for (auto& entry : m_removalHandlers)
    if (entry.second)
      handlers.push_back(std::move(entry.second));
  m_removalHandlers.clear();
  for (Step& step : m_steps)
    if (step.kind == StepKind::Remove && step.handler)
      handlers.push_back(std::move(step.handler));
  m_steps.clear();
  m_addHandlers.clear();

  m_viewControllersByStatusItem.clear();
  delete m_view.data();
  for (const std::function<void()>& handler : handlers) handler();
}

QWidget* ZPHStatusViewController::view() const { return m_view; }

ZPHStatusItemViewController* ZPHStatusViewController::viewControllerForStatusItem(const ZPHStatusItem* item) const
{
  const auto found = m_viewControllersByStatusItem.find(item);
  return found != m_viewControllersByStatusItem.end() ? found->second.get() : nullptr;
}

// MARK: - Calls

void ZPHStatusViewController::addStatusItem(StatusItem item, std::function<void()> addCompletionHandler)
{
  Q_ASSERT_X(item != nullptr, Q_FUNC_INFO, "Invalid parameter not satisfying: item != nullptr");
  if (item == nullptr)
    return;
  if (!ZPHMainThread::isMainThread()) {
    QPointer<ZPHStatusViewController> self(this);
    ZPHMainThread::async([self, item, handler = std::move(addCompletionHandler)]() mutable {
      if (self != nullptr)
        self->addStatusItem(std::move(item), std::move(handler));
    });
    return;
  }
  if (m_goingAway)
    return;
  enqueue(Step{StepKind::Add, std::move(item), QString(), std::move(addCompletionHandler)});
}

void ZPHStatusViewController::removeStatusItem(StatusItem item, std::function<void()> removalCompletionHandler)
{
  Q_ASSERT_X(item != nullptr, Q_FUNC_INFO, "Invalid parameter not satisfying: item != nullptr");
  if (!ZPHMainThread::isMainThread()) {
    QPointer<ZPHStatusViewController> self(this);
    ZPHMainThread::async([self, item, handler = std::move(removalCompletionHandler)]() mutable {
      if (self != nullptr)
        self->removeStatusItem(std::move(item), std::move(handler));
      else if (handler)
        handler();
    });
    return;
  }
  if (item == nullptr || m_goingAway) {
    if (removalCompletionHandler)
      removalCompletionHandler();
    return;
  }
  enqueue(Step{StepKind::Remove, std::move(item), QString(), std::move(removalCompletionHandler)});
}

void ZPHStatusViewController::removeAnyStatusItemWithIdentifier(const QString& identifier)
{
  Q_ASSERT_X(!identifier.isEmpty(), Q_FUNC_INFO, "Invalid parameter not satisfying: identifier.length");
  if (identifier.isEmpty())
    return;
  if (!ZPHMainThread::isMainThread()) {
    QPointer<ZPHStatusViewController> self(this);
    ZPHMainThread::async([self, identifier] {
      if (self != nullptr)
        self->removeAnyStatusItemWithIdentifier(identifier);
    });
    return;
  }
  if (m_goingAway)
    return;
  enqueue(Step{StepKind::RemoveByIdentifier, nullptr, identifier, {}});
}

void ZPHStatusViewController::statusItemSwitchTimerFired()
{
  cancelAllTimerTickSteps();
  enqueue(Step{StepKind::Tick, nullptr, QString(), {}});
}

// MARK: - The list of steps

void ZPHStatusViewController::enqueue(Step step)
{
  m_steps.push_back(std::move(step));
  runSteps();
}

void ZPHStatusViewController::runSteps()
{
  // A step that ends at once ends inside this loop; the loop starts the next.
  if (m_runningSteps)
    return;
  m_runningSteps = true;
  QPointer<ZPHStatusViewController> self(this);
  while (self != nullptr && !m_goingAway && !m_stepRunning && !m_steps.empty()) {
    Step step = std::move(m_steps.front());
    m_steps.pop_front();
    m_stepRunning = true;
    const quint64 serial = ++m_stepSerial;
    performStep(std::move(step), [this, serial] { finishStep(serial); });
  }
  if (self != nullptr)
    m_runningSteps = false;
}

void ZPHStatusViewController::finishStep(quint64 step)
{
  // Each step ends once: a second call, or a call for an older step, does
  // nothing.
  if (!m_stepRunning || step != m_stepSerial)
    return;
  m_stepRunning = false;
  runSteps();
}

void ZPHStatusViewController::performStep(Step step, Completion completion)
{
  switch (step.kind) {
    case StepKind::Add:
      operationAddStatusItem(step.item, std::move(step.handler), std::move(completion));
      return;
    case StepKind::Remove:
      operationRemoveStatusItem(step.item, std::move(step.handler), std::move(completion));
      return;
    case StepKind::RemoveByIdentifier:
      operationRemoveStatusItemWithIdentifier(step.identifier, std::move(completion));
      return;
    case StepKind::Tick:
      operationTimerTick(std::move(completion));
      return;
  }
}

void ZPHStatusViewController::cancelAllTimerTickSteps()
{
  std::erase_if(m_steps, [](const Step& step) { return step.kind == StepKind::Tick; });
}

// MARK: - Steps

void ZPHStatusViewController::operationAddStatusItem(const StatusItem& item, std::function<void()> addHandler,
                                                     Completion completion)
{
  const QString identifier = item->identifier();
  const bool duplicate = isPresent(item) || std::any_of(m_orderedStatusItems.cbegin(), m_orderedStatusItems.cend(),
                                                        [this, &identifier](const StatusItem& present) {
                                                          // An item on its way out leaves its identifier free.
                                                          return present->identifier() == identifier &&
                                                                 !m_statusItemsMarkedForRemoval.contains(present.get());
                                                        });
  if (duplicate) {
    completion();
    return;
  }
  Q_ASSERT_X(!item->localizedDescription().isEmpty(), Q_FUNC_INFO, "a status item has a text");
  if (addHandler)
    m_addHandlers[item.get()] = std::move(addHandler);
  m_statusItemsNeverShown.insert(item.get());
  m_orderedStatusItems.append(item);

  auto switchToIt = [this, item, completion] {
    const StatusItem previous = m_currentStatusItem;
    operationSwitchToStatusItem(item, [this, previous, completion] {
      // An item asked to go that the new one pushed off the screen goes now,
      // rather than coming back for another turn.
      if (previous != nullptr && m_statusItemsMarkedForRemoval.contains(previous.get()) && isPresent(previous)) {
        operationActuallyRemoveStatusItem(previous, [this, completion] {
          operationStartOrStopSwitchTimerAsNeeded(true);
          completion();
        });
        return;
      }
      operationStartOrStopSwitchTimerAsNeeded(true);
      completion();
    });
  };
  if (m_orderedStatusItems.size() == 1) {
    switchToIt();
    return;
  }
  const qint64 shownFor = timeSinceLastSwitch();
  if (shownFor >= SwitchInterval) {
    switchToIt();
    return;
  }
  operationClearStatusSwitchItemTimer();
  m_clock->schedule(SwitchInterval - shownFor, this, switchToIt);
}

void ZPHStatusViewController::operationRemoveStatusItem(const StatusItem& item, std::function<void()> removalHandler,
                                                        Completion completion)
{
  if (!isPresent(item)) {
    qCWarning(zphInterface) << "Couldn't find statusItem to schedule remove!"
                            << (item != nullptr ? item->description() : QStringLiteral("null"));
    // The caller waits for its handler whether or not the item was here.
    if (removalHandler)
      removalHandler();
    completion();
    return;
  }
  m_statusItemsMarkedForRemoval.insert(item.get());
  if (removalHandler)
    m_removalHandlers.emplace_back(item.get(), std::move(removalHandler));

  if (item == m_currentStatusItem) {
    if (m_orderedStatusItems.size() > 1) {
      // The next tick takes it out.
      if (!isSwitchTimerRunning())
        operationRestartStatusItemSwitchTimer();
      completion();
      return;
    }
    auto removeIt = [this, item, completion] {
      operationActuallyRemoveStatusItem(item, [this, completion] {
        operationStartOrStopSwitchTimerAsNeeded(false);
        completion();
      });
    };
    const qint64 shownFor = timeSinceLastSwitch();
    if (shownFor >= SwitchInterval) {
      removeIt();
      return;
    }
    operationClearStatusSwitchItemTimer();
    m_clock->schedule(SwitchInterval - shownFor, this, removeIt);
    return;
  }
  if (m_statusItemsNeverShown.contains(item.get())) {
    // It comes up in its turn and goes with the tick after that.
    m_orderedStatusItems.removeAll(item);
    m_orderedStatusItems.insert(std::min<qsizetype>(1, m_orderedStatusItems.size()), item);
    completion();
    return;
  }
  operationActuallyRemoveStatusItem(item, completion);
}

void ZPHStatusViewController::operationRemoveStatusItemWithIdentifier(const QString& identifier, Completion completion)
{
  // The item still staying; one already on its way out goes anyway.
  const auto found = std::find_if(
      m_orderedStatusItems.cbegin(), m_orderedStatusItems.cend(), [this, &identifier](const StatusItem& item) {
        return item->identifier() == identifier && !m_statusItemsMarkedForRemoval.contains(item.get());
      });
  if (found == m_orderedStatusItems.cend()) {
    completion();
    return;
  }
  operationRemoveStatusItem(*found, {}, std::move(completion));
}

void ZPHStatusViewController::operationTimerTick(Completion completion)
{
  const StatusItem current = m_currentStatusItem;
  if (current == nullptr) {
    completion();
    return;
  }
  if (m_statusItemsMarkedForRemoval.contains(current.get())) {
    operationActuallyRemoveStatusItem(current, [this, current, completion] {
      m_statusItemsMarkedForRemoval.remove(current.get());
      operationStartOrStopSwitchTimerAsNeeded(true);
      completion();
    });
    return;
  }
  if (m_orderedStatusItems.size() > 1) {
    const StatusItem last = m_orderedStatusItems.takeLast();
    m_orderedStatusItems.prepend(last);
    operationSwitchToStatusItem(last, [this, completion] {
      operationStartOrStopSwitchTimerAsNeeded(false);
      completion();
    });
    return;
  }
  operationClearStatusSwitchItemTimer();
  completion();
}

void ZPHStatusViewController::operationActuallyRemoveStatusItem(const StatusItem& item, Completion completion)
{
  if (!isPresent(item)) {
    qCWarning(zphInterface) << "Couldn't find statusItem to remove!"
                            << (item != nullptr ? item->description() : QStringLiteral("null"));
    completion();
    return;
  }
  auto removal = [this, item, completion] {
    m_orderedStatusItems.removeAll(item);
    m_statusItemsMarkedForRemoval.remove(item.get());
    m_statusItemsNeverShown.remove(item.get());
    m_addHandlers.erase(item.get());
    m_viewControllersByStatusItem.erase(item.get());
    QPointer<ZPHStatusViewController> self(this);
    runRemovalHandlers(item.get());
    if (self != nullptr)
      completion();
  };
  if (item == m_currentStatusItem) {
    const StatusItem next = operationNextStatusItemAfterStatusItem(item);
    operationClearStatusSwitchItemTimer();
    operationSwitchToStatusItem(next, removal);
    return;
  }
  removal();
}

void ZPHStatusViewController::runRemovalHandlers(const ZPHStatusItem* item)
{
  std::vector<std::function<void()>> handlers;
  for (auto entry = m_removalHandlers.begin(); entry != m_removalHandlers.end();) {
    if (entry->first == item) {
      handlers.push_back(std::move(entry->second));
      entry = m_removalHandlers.erase(entry);
    } else {
      ++entry;
    }
  }
  for (const std::function<void()>& handler : handlers) handler();
}

void ZPHStatusViewController::operationSwitchToStatusItem(const StatusItem& item, Completion completion)
{
  if (item == nullptr) {
    operationShowStatusItem(nullptr, std::move(completion));
    return;
  }
  Q_ASSERT(isPresent(item));
  if (item == m_currentStatusItem) {
    completion();
    return;
  }
  m_orderedStatusItems.removeAll(item);
  m_orderedStatusItems.prepend(item);
  operationShowStatusItem(item, [this, item, completion] {
    m_statusItemsNeverShown.remove(item.get());
    const auto handler = m_addHandlers.find(item.get());
    if (handler != m_addHandlers.end()) {
      const std::function<void()> addHandler = std::move(handler->second);
      m_addHandlers.erase(handler);
      QPointer<ZPHStatusViewController> self(this);
      addHandler();
      if (self == nullptr)
        return;
    }
    completion();
  });
}

void ZPHStatusViewController::operationShowStatusItem(const StatusItem& item, Completion completion)
{
  QPointer<ZPHStatusItemViewController> outgoing =
      m_currentStatusItem != nullptr ? viewControllerForStatusItem(m_currentStatusItem.get()) : nullptr;
  if (item == nullptr) {
    if (outgoing != nullptr)
      outgoing->viewWillDissapear();
    operationShowStatusItemView(nullptr, [this, completion] {
      m_currentStatusItem = nullptr;
      completion();
    });
    return;
  }
  QWidget* incomingView = operationViewForStatusItem(item);
  QPointer<ZPHStatusItemViewController> incoming = viewControllerForStatusItem(item.get());
  m_lastSwitchTime.reset();
  if (outgoing != nullptr)
    outgoing->viewWillDissapear();
  if (incoming != nullptr)
    incoming->viewWillAppear();
  operationShowStatusItemView(incomingView, [this, item, outgoing, incoming, completion] {
    m_currentStatusItem = item;
    m_lastSwitchTime = m_clock->now();
    if (outgoing != nullptr)
      outgoing->viewDidDissapear();
    if (incoming != nullptr)
      incoming->viewDidAppear();
    completion();
  });
}

QWidget* ZPHStatusViewController::operationViewForStatusItem(const StatusItem& item)
{
  ZPHStatusItemViewController* controller = viewControllerForStatusItem(item.get());
  if (controller == nullptr) {
    std::unique_ptr<ZPHStatusItemViewController> made =
        ZPHStatusItemViewController::controllerForStatusItemType(item->statusItemType());
    if (made == nullptr) {
      qCWarning(zphInterface) << "a status item of unknown type" << item->statusItemType() << item->description();
      return nullptr;
    }
    made->configureForStatusItem(item);
    controller = made.get();
    m_viewControllersByStatusItem[item.get()] = std::move(made);
  }
  return controller->view();
}

void ZPHStatusViewController::operationShowStatusItemView(QWidget* incoming, Completion completion)
{
  QWidget* container = m_view;
  QWidget* outgoing = m_currentStatusItemView;
  if (container == nullptr) {
    // Nothing left to draw in.
    m_currentStatusItemView = nullptr;
    completion();
    return;
  }
  const QRect bounds = container->rect();
  const int distance = std::max(1, bounds.height());
  if (incoming != nullptr) {
    if (incoming->parentWidget() != container)
      incoming->setParent(container);
    incoming->setGeometry(bounds.translated(0, distance));
    incoming->show();
  }
  m_slideIncoming = incoming;
  m_slideOutgoing = outgoing;
  m_slideCompletion = std::move(completion);
  if (m_slideDuration <= 0) {
    finishSlide();
    return;
  }
  auto* animation = new QVariantAnimation(this);
  animation->setStartValue(0.0);
  animation->setEndValue(1.0);
  animation->setDuration(m_slideDuration);
  animation->setEasingCurve(QEasingCurve::InOutQuad);
  connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
    if (m_view == nullptr)
      return;
    const QRect area = m_view->rect();
    const int height = std::max(1, area.height());
    const qreal progress = value.toReal();
    if (m_slideIncoming != nullptr)
      m_slideIncoming->setGeometry(area.translated(0, qRound(height * (1 - progress))));
    if (m_slideOutgoing != nullptr && m_slideOutgoing != m_slideIncoming)
      m_slideOutgoing->setGeometry(area.translated(0, -qRound(height * progress)));
  });
  connect(animation, &QVariantAnimation::finished, this, &ZPHStatusViewController::finishSlide);
  m_slideAnimation = animation;
  setAnimating(true);
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void ZPHStatusViewController::finishSlide()
{
  if (m_slideAnimation != nullptr) {
    QVariantAnimation* animation = m_slideAnimation;
    m_slideAnimation = nullptr;
    animation->disconnect(this);
    animation->stop();
  }
  if (!m_slideCompletion)
    return;
  if (m_view != nullptr) {
    if (m_slideIncoming != nullptr)
      m_slideIncoming->setGeometry(m_view->rect());
    if (m_slideOutgoing != nullptr && m_slideOutgoing != m_slideIncoming)
      m_slideOutgoing->hide();
  }
  m_currentStatusItemView = m_slideIncoming;
  m_slideIncoming = nullptr;
  m_slideOutgoing = nullptr;
  setAnimating(false);
  const Completion completion = std::move(m_slideCompletion);
  m_slideCompletion = nullptr;
  completion();
}

ZPHStatusViewController::StatusItem ZPHStatusViewController::operationNextStatusItemAfterStatusItem(
    const StatusItem& item) const
{
  if (m_orderedStatusItems.size() < 2)
    return nullptr;
  const qsizetype index = m_orderedStatusItems.indexOf(item);
  if (index < 0 || index == m_orderedStatusItems.size() - 1)
    return m_orderedStatusItems.constFirst();
  return m_orderedStatusItems.at(index + 1);
}

// MARK: - The turn timer

void ZPHStatusViewController::operationStartOrStopSwitchTimerAsNeeded(bool forcingReset)
{
  if (m_orderedStatusItems.size() < 2 && m_statusItemsMarkedForRemoval.isEmpty()) {
    operationClearStatusSwitchItemTimer();
    return;
  }
  if (!isSwitchTimerRunning() || forcingReset)
    operationRestartStatusItemSwitchTimer();
}

void ZPHStatusViewController::operationClearStatusSwitchItemTimer()
{
  if (m_statusItemSwitchTimer != 0)
    m_clock->cancel(m_statusItemSwitchTimer);
  m_statusItemSwitchTimer = 0;
  cancelAllTimerTickSteps();
}

void ZPHStatusViewController::operationRestartStatusItemSwitchTimer()
{
  operationClearStatusSwitchItemTimer();
  scheduleSwitchTimer();
}

void ZPHStatusViewController::scheduleSwitchTimer()
{
  // Repeats every interval until cleared.
  m_statusItemSwitchTimer = m_clock->schedule(SwitchInterval, this, [this] {
    scheduleSwitchTimer();
    statusItemSwitchTimerFired();
  });
}

qint64 ZPHStatusViewController::timeSinceLastSwitch() const
{
  if (!m_lastSwitchTime.has_value())
    return std::numeric_limits<qint64>::max();
  return m_clock->now() - *m_lastSwitchTime;
}

// MARK: - The view

void ZPHStatusViewController::layOutCurrentView()
{
  if (m_view != nullptr && m_slideAnimation == nullptr && m_currentStatusItemView != nullptr)
    m_currentStatusItemView->setGeometry(m_view->rect());
}

void ZPHStatusViewController::setAnimating(bool animating)
{
  if (m_isAnimating == animating)
    return;
  m_isAnimating = animating;
  updateViewVisibility();
}

void ZPHStatusViewController::setInLiveResize(bool inLiveResize)
{
  m_isInLiveResize = inLiveResize;
  updateViewVisibility();
}

void ZPHStatusViewController::updateViewVisibility()
{
  // A slide during a live resize of the source list is not drawn.
  if (m_view == nullptr)
    return;
  if (m_isAnimating && m_isInLiveResize) {
    if (!m_view->isHidden()) {
      m_view->hide();
      m_hiddenDuringLiveResize = true;
    }
  } else if (m_hiddenDuringLiveResize) {
    m_hiddenDuringLiveResize = false;
    m_view->show();
  }
}
