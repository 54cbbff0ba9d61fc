#include "foundation/CBEventThrottler.h"

#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDebug>
#include <QtCore/QHash>
#include <QtCore/QMetaType>
#include <QtCore/QMutexLocker>
#include <QtCore/QPointer>
#include <QtCore/QRecursiveMutex>
#include <QtCore/QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kNameKey = QStringLiteral("name");
const QString kObjectKey = QStringLiteral("object");
const QString kUserInfoKey = QStringLiteral("userInfo");

// The one lock of every throttler in the process. It lives for the whole
// process so that throttlers may still be used while static objects go away.
QRecursiveMutex& throttlerLock()
{
  static auto* lock = new QRecursiveMutex;
  return *lock;
}

// A text for a value, equal for equal values, used in de-duplication keys.
// Values carry their type so that 1 and "1" stay apart; a missing value has
// a marker no present value can produce.
QString describe(const QVariant& value)
{
  if (!value.isValid())
    return QStringLiteral("<nil>");
  const QMetaType type = value.metaType();
  const QString typeName = QString::fromLatin1(type.name());
  switch (type.id()) {
    case QMetaType::QVariantMap: {
      const QVariantMap map = value.toMap();
      QString text = QStringLiteral("{");
      for (auto it = map.cbegin(); it != map.cend(); ++it)
        text += QString::number(it.key().size()) + QLatin1Char(':') + it.key() + QLatin1Char('=') +
                describe(it.value()) + QLatin1Char(';');
      return text + QLatin1Char('}');
    }
    case QMetaType::QVariantHash: {
      QVariantMap sorted;
      const QVariantHash hash = value.toHash();
      for (auto it = hash.cbegin(); it != hash.cend(); ++it) sorted.insert(it.key(), it.value());
      return QStringLiteral("hash") + describe(QVariant(sorted));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
      QString text = QStringLiteral("[");
      for (const QVariant& item : value.toList()) text += describe(item) + QLatin1Char(';');
      return text + QLatin1Char(']');
    }
    default:
      break;
  }
  if (type.flags() & (QMetaType::IsPointer | QMetaType::PointerToQObject)) {
    const void* pointer = *static_cast<const void* const*>(value.constData());
    return typeName + QLatin1Char('@') + QString::number(reinterpret_cast<quintptr>(pointer), 16);
  }
  if (value.canConvert<QString>())
    return typeName + QLatin1Char(':') + value.toString();
  if (type.hasRegisteredDebugStreamOperator()) {
    QString text;
    QDebug(&text) << value;
    return text;
  }
  // No text form: the value's bytes. Equal values held by pointer (shared
  // pointers, handles) give equal keys; anything else at worst stays apart.
  const QByteArray bytes(static_cast<const char*>(value.constData()), type.sizeOf());
  return typeName + QLatin1Char('#') + QString::fromLatin1(bytes.toHex());
}

// Length-prefixed parts, so that no two different triples share a key.
QString deduplicationKey(const QString& name, const QVariant& object, const std::optional<QVariantMap>& userInfo)
{
  const QString objectText = describe(object);
  const QString userInfoText = userInfo ? describe(QVariant(*userInfo)) : describe(QVariant());
  return QString::number(name.size()) + QLatin1Char('-') + name + QLatin1Char('-') +
         QString::number(objectText.size()) + QLatin1Char('-') + objectText + QLatin1Char('-') + userInfoText;
}

void postRecords(const QVariantList& notifications)
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  for (const QVariant& item : notifications) {
    const QVariantMap record = item.toMap();
    center.post(record.value(kNameKey).toString(), record.value(kObjectKey), record.value(kUserInfoKey).toMap());
  }
}

}  // namespace

struct CBEventThrottler::Private : std::enable_shared_from_this<CBEventThrottler::Private> {
  // All fields are guarded by throttlerLock(), except `timer`, which only
  // the main thread touches.
  CBEventThrottler* q = nullptr;  // null once the throttler is gone
  bool hasTarget = false;
  QPointer<QObject> target;
  Selector selector;
  double timeout = 0;
  TimeoutCalculator timeoutCalculator;
  bool eventTriggered = false;
  bool bumpUntilIdle = false;
  bool fireAfterMaxPostpones = false;
  int maxPostPones = 0;
  int numberOfPostpones = 0;
  bool bumped = false;
  bool passNotifications = false;
  QString tag;
  QVariantList notifications;
  QHash<QString, QVariantMap> notificationDictionary;
  // Firings whose selector call is still queued on the main thread.
  int deliveriesOnTheirWay = 0;

  // The event timer: `timerPending` says whether it is armed. Cancelling
  // from another thread clears the flag at once and stops the timer later on
  // the main thread; a timer that goes off while not pending is ignored.
  bool timerPending = false;
  QPointer<QTimer> timer;

  ~Private()
  {
    if (!timer.isNull() && QCoreApplication::instance() != nullptr) {
      // May run inside the timer's own timeout, or on another thread.
      ZPHMainThread::async([doomed = timer] { delete doomed.data(); });
    }
  }

  void trigger(bool triggered)
  {
    QMutexLocker locker(&throttlerLock());
    if (eventTriggered != triggered) {
      eventTriggered = triggered;
    } else if (triggered) {
      if (fireAfterMaxPostpones) {
        if (numberOfPostpones <= maxPostPones) {
          ++numberOfPostpones;
        } else {
          numberOfPostpones = 0;
          fire();
        }
      } else if (bumpUntilIdle) {
        bumped = true;
        if (!tag.isNull())
          qCDebug(zphCore).noquote() << QStringLiteral("bump: %1").arg(tag);
      }
    }
    if (eventTriggered) {
      ZPHMainThread::async([weak = weak_from_this()] {
        if (auto self = weak.lock())
          self->scheduleTimer();
      });
    }
  }

  void cancelTimer()
  {
    timerPending = false;
    if (ZPHMainThread::isMainThread()) {
      if (!timer.isNull())
        timer->stop();
      return;
    }
    ZPHMainThread::async([weak = weak_from_this()] {
      auto self = weak.lock();
      if (!self)
        return;
      QMutexLocker locker(&throttlerLock());
      if (!self->timerPending && !self->timer.isNull())
        self->timer->stop();
    });
  }

  void scheduleTimer()
  {
    ZPH_ASSERT_MAIN_THREAD();
    QMutexLocker locker(&throttlerLock());
    // A re-arming queued before the burst ended (an immediate firing, or a
    // firing that took in the trigger which queued it) must not arm a timer
    // for a burst that is over: that would deliver a second time.
    if (!eventTriggered)
      return;
    if (!timer.isNull())
      timer->stop();
    timerPending = false;
    if (timeoutCalculator && q != nullptr)
      timeoutCalculator(*q);
    if (timer.isNull()) {
      timer = new QTimer(QCoreApplication::instance());
      timer->setTimerType(Qt::PreciseTimer);
      QObject::connect(timer.data(), &QTimer::timeout, timer.data(), [weak = weak_from_this()] {
        if (auto self = weak.lock())
          self->timerDidFire();
      });
    }
    double milliseconds = std::ceil(timeout * 1000.0);
    if (!(milliseconds >= 0))  // negative or not a number
      milliseconds = 0;
    milliseconds = std::min(milliseconds, static_cast<double>(std::numeric_limits<int>::max()));
    timer->setSingleShot(!bumpUntilIdle);
    timer->start(static_cast<int>(milliseconds));
    timerPending = true;
  }

  void timerDidFire()
  {
    QMutexLocker locker(&throttlerLock());
    if (!timerPending) {
      if (!timer.isNull())
        timer->stop();
      return;
    }
    fire();
  }

  void fire()
  {
    QMutexLocker locker(&throttlerLock());
    if (bumped) {
      if (!tag.isNull())
        qCDebug(zphCore).noquote() << QStringLiteral("Bumping timer: %1").arg(tag);
      bumped = false;
      eventTriggered = false;
      trigger(true);
      return;
    }
    if (timerPending) {
      if (bumpUntilIdle && !tag.isNull())
        qCDebug(zphCore).noquote() << QStringLiteral("bump complete: %1").arg(tag);
      cancelTimer();
    }
    const QVariantList delivered = notifications;
    numberOfPostpones = 0;
    eventTriggered = false;
    notifications.clear();
    notificationDictionary.clear();
    ++deliveriesOnTheirWay;

    ZPHMainThread::async([weak = weak_from_this(), delivered] {
      auto self = weak.lock();
      if (!self)
        return;
      // The selector runs on a later turn of the main loop, after the records
      // have been posted.
      ZPHMainThread::async([weak, delivered] {
        if (auto self = weak.lock()) {
          self->callSelector(delivered);
          QMutexLocker locker(&throttlerLock());
          --self->deliveriesOnTheirWay;
        }
      });
      bool pass = false;
      {
        QMutexLocker locker(&throttlerLock());
        pass = self->passNotifications;
      }
      if (!pass)
        postRecords(delivered);
    });
  }

  void callSelector(const QVariantList& delivered)
  {
    Selector call;
    {
      QMutexLocker locker(&throttlerLock());
      if (q == nullptr || (hasTarget && target.isNull()))
        return;
      call = selector;
    }
    if (call)
      call(delivered);
  }
};

CBEventThrottler::CBEventThrottler(QObject* target, Selector selector, double timeout)
    : CBEventThrottler(std::move(selector), timeout)
{
  d->hasTarget = true;
  d->target = target;
}

CBEventThrottler::CBEventThrottler(Selector selector, double timeout) : d(std::make_shared<Private>())
{
  d->q = this;
  d->selector = std::move(selector);
  d->timeout = timeout;
}

CBEventThrottler::~CBEventThrottler()
{
  QMutexLocker locker(&throttlerLock());
  d->q = nullptr;
}

QObject* CBEventThrottler::target() const
{
  QMutexLocker locker(&throttlerLock());
  return d->target.data();
}

CBEventThrottler::Selector CBEventThrottler::selector() const
{
  QMutexLocker locker(&throttlerLock());
  return d->selector;
}

void CBEventThrottler::setEventTriggered(bool eventTriggered) { d->trigger(eventTriggered); }

bool CBEventThrottler::eventTriggered() const
{
  QMutexLocker locker(&throttlerLock());
  return d->eventTriggered;
}

void CBEventThrottler::addNotification(const QString& name, const QVariant& object,
                                       const std::optional<QVariantMap>& userInfo)
{
  const QString key = deduplicationKey(name, object, userInfo);
  QVariantMap record;
  record.insert(kNameKey, name);
  if (object.isValid())
    record.insert(kObjectKey, object);
  if (userInfo)
    record.insert(kUserInfoKey, *userInfo);

  QMutexLocker locker(&throttlerLock());
  if (d->notificationDictionary.contains(key))
    return;
  d->notifications.append(record);
  d->notificationDictionary.insert(key, record);
}

double CBEventThrottler::timeout() const
{
  QMutexLocker locker(&throttlerLock());
  return d->timeout;
}

void CBEventThrottler::setTimeout(double timeout)
{
  QMutexLocker locker(&throttlerLock());
  d->timeout = timeout;
}

CBEventThrottler::TimeoutCalculator CBEventThrottler::timeoutCalculator() const
{
  QMutexLocker locker(&throttlerLock());
  return d->timeoutCalculator;
}

void CBEventThrottler::setTimeoutCalculator(TimeoutCalculator calculator)
{
  QMutexLocker locker(&throttlerLock());
  d->timeoutCalculator = std::move(calculator);
}

bool CBEventThrottler::bumpUntilIdle() const
{
  QMutexLocker locker(&throttlerLock());
  return d->bumpUntilIdle;
}

void CBEventThrottler::setBumpUntilIdle(bool bumpUntilIdle)
{
  QMutexLocker locker(&throttlerLock());
  d->bumpUntilIdle = bumpUntilIdle;
  if (bumpUntilIdle)
    d->fireAfterMaxPostpones = false;
}

bool CBEventThrottler::fireAfterMaxPostpones() const
{
  QMutexLocker locker(&throttlerLock());
  return d->fireAfterMaxPostpones;
}

void CBEventThrottler::setFireAfterMaxPostpones(bool fireAfterMaxPostpones)
{
  QMutexLocker locker(&throttlerLock());
  d->fireAfterMaxPostpones = fireAfterMaxPostpones;
}

int CBEventThrottler::maxPostPones() const
{
  QMutexLocker locker(&throttlerLock());
  return d->maxPostPones;
}

void CBEventThrottler::setMaxPostPones(int maxPostPones)
{
  QMutexLocker locker(&throttlerLock());
  d->maxPostPones = maxPostPones;
}

int CBEventThrottler::numberOfPostpones() const
{
  QMutexLocker locker(&throttlerLock());
  return d->numberOfPostpones;
}

bool CBEventThrottler::bumped() const
{
  QMutexLocker locker(&throttlerLock());
  return d->bumped;
}

bool CBEventThrottler::passNotifications() const
{
  QMutexLocker locker(&throttlerLock());
  return d->passNotifications;
}

void CBEventThrottler::setPassNotifications(bool passNotifications)
{
  QMutexLocker locker(&throttlerLock());
  d->passNotifications = passNotifications;
}

QString CBEventThrottler::tag() const
{
  QMutexLocker locker(&throttlerLock());
  return d->tag;
}

void CBEventThrottler::setTag(const QString& tag)
{
  QMutexLocker locker(&throttlerLock());
  d->tag = tag;
}

QVariantList CBEventThrottler::notifications() const
{
  QMutexLocker locker(&throttlerLock());
  return d->notifications;
}

QVariantMap CBEventThrottler::notificationDictionary() const
{
  QMutexLocker locker(&throttlerLock());
  QVariantMap dictionary;
  for (auto it = d->notificationDictionary.cbegin(); it != d->notificationDictionary.cend(); ++it)
    dictionary.insert(it.key(), it.value());
  return dictionary;
}

bool CBEventThrottler::hasEventTimer() const
{
  QMutexLocker locker(&throttlerLock());
  return d->timerPending;
}

bool CBEventThrottler::isIdle() const
{
  QMutexLocker locker(&throttlerLock());
  return !d->eventTriggered && d->deliveriesOnTheirWay == 0;
}

void CBEventThrottler::eventTimerDidFire() { d->fire(); }

void CBEventThrottler::scheduleEventTimer() { d->scheduleTimer(); }

void CBEventThrottler::fireNotifications(const QVariantList& notifications) const { postRecords(notifications); }
