#include "platform/ZPHNotificationCenter.h"

#include "platform/ZPHMainThread.h"

#include <QtCore/QMutexLocker>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QThread>
#include <QtCore/QWaitCondition>

#include <algorithm>
#include <atomic>

struct ZPHNotificationCenter::Observer {
  std::uint64_t id = 0;
  QString name;
  QVariant object;
  Handler handler;
  bool hasContext = false;
  QPointer<QObject> context;
  QMetaObject::Connection contextConnection;
  Delivery delivery = Delivery::PostingThread;
  std::atomic<bool> removed{false};
  // Deliveries running now, by thread (a handler may post again, so one
  // thread can run several).
  QMutex deliveryMutex;
  QWaitCondition deliveryEnded;
  std::vector<Qt::HANDLE> deliveringThreads;

  bool matches(const ZPHNotification& n) const
  {
    if (!name.isEmpty() && name != n.name)
      return false;
    if (object.isValid() && !(object == n.object))
      return false;
    return true;
  }

  bool alive() const { return !removed.load() && (!hasContext || !context.isNull()); }

  // Runs the handler unless the observer is gone; a removal waits for it.
  void deliver(const ZPHNotification& notification)
  {
    const Qt::HANDLE self = QThread::currentThreadId();
    {
      QMutexLocker locker(&deliveryMutex);
      if (!alive())
        return;
      deliveringThreads.push_back(self);
    }
    struct End {
      Observer* observer;
      Qt::HANDLE thread;
      ~End()
      {
        QMutexLocker locker(&observer->deliveryMutex);
        auto& threads = observer->deliveringThreads;
        threads.erase(std::find(threads.begin(), threads.end(), thread));
        observer->deliveryEnded.wakeAll();
      }
    } end{this, self};
    handler(notification);
  }

  // Marks the observer removed and waits until no other thread runs its
  // handler (a removal from inside the handler does not wait for itself).
  void retire()
  {
    const Qt::HANDLE self = QThread::currentThreadId();
    QMutexLocker locker(&deliveryMutex);
    removed = true;
    while (std::any_of(deliveringThreads.begin(), deliveringThreads.end(),
                       [self](Qt::HANDLE thread) { return thread != self; }))
      deliveryEnded.wait(&deliveryMutex);
  }
};

ZPHObserverToken::ZPHObserverToken(ZPHObserverToken&& other) noexcept
    : m_center(std::exchange(other.m_center, nullptr)), m_id(std::exchange(other.m_id, 0))
{
}

ZPHObserverToken& ZPHObserverToken::operator=(ZPHObserverToken&& other) noexcept
{
  if (this != &other) {
    reset();
    m_center = std::exchange(other.m_center, nullptr);
    m_id = std::exchange(other.m_id, 0);
  }
  return *this;
}

ZPHObserverToken::~ZPHObserverToken() { reset(); }

void ZPHObserverToken::reset()
{
  if (m_center != nullptr && m_id != 0)
    m_center->remove(m_id);
  m_center = nullptr;
  m_id = 0;
}

ZPHNotificationCenter::ZPHNotificationCenter() = default;

ZPHNotificationCenter::~ZPHNotificationCenter()
{
  QMutexLocker locker(&m_mutex);
  for (auto& observer : m_observers) {
    observer->removed = true;
    if (observer->contextConnection)
      QObject::disconnect(observer->contextConnection);
  }
}

ZPHNotificationCenter& ZPHNotificationCenter::defaultCenter()
{
  // Lives for the whole process: observers may still be removed during exit.
  static ZPHNotificationCenter* center = new ZPHNotificationCenter;
  return *center;
}

ZPHObserverToken ZPHNotificationCenter::addObserver(const QString& name, const QVariant& object, Handler handler,
                                                    Delivery delivery)
{
  return addObserver(name, object, nullptr, std::move(handler), delivery);
}

ZPHObserverToken ZPHNotificationCenter::addObserver(const QString& name, const QVariant& object, QObject* context,
                                                    Handler handler, Delivery delivery)
{
  auto observer = std::make_shared<Observer>();
  observer->name = name;
  observer->object = object;
  observer->handler = std::move(handler);
  observer->delivery = delivery;
  // Filled in whole before a post on another thread can find it.
  std::uint64_t id = 0;
  {
    QMutexLocker locker(&m_mutex);
    id = m_nextID++;
  }
  observer->id = id;
  if (context != nullptr) {
    observer->hasContext = true;
    observer->context = context;
    observer->contextConnection = QObject::connect(context, &QObject::destroyed, [this, id] { remove(id); });
  }
  {
    QMutexLocker locker(&m_mutex);
    m_observers.push_back(observer);
  }
  return ZPHObserverToken(this, id);
}

void ZPHNotificationCenter::remove(std::uint64_t id)
{
  std::shared_ptr<Observer> removed;
  {
    QMutexLocker locker(&m_mutex);
    auto it = std::find_if(m_observers.begin(), m_observers.end(),
                           [id](const std::shared_ptr<Observer>& o) { return o->id == id; });
    if (it == m_observers.end())
      return;
    removed = *it;
    m_observers.erase(it);
  }
  if (removed->contextConnection)
    QObject::disconnect(removed->contextConnection);
  removed->retire();
}

void ZPHNotificationCenter::post(const ZPHNotification& notification)
{
  std::vector<std::shared_ptr<Observer>> matching;
  {
    QMutexLocker locker(&m_mutex);
    for (const auto& observer : m_observers) {
      if (observer->matches(notification))
        matching.push_back(observer);
    }
  }
  const bool onMain = ZPHMainThread::isMainThread();
  for (const auto& observer : matching) {
    if (!observer->alive())
      continue;
    if (observer->delivery == Delivery::MainThread && !onMain) {
      ZPHMainThread::async([observer, notification] { observer->deliver(notification); });
      continue;
    }
    observer->deliver(notification);
  }
}

void ZPHNotificationCenter::post(const QString& name, const QVariant& object, const QVariantMap& userInfo)
{
  post(ZPHNotification{name, object, userInfo});
}

void ZPHNotificationCenter::postOnMainThread(const ZPHNotification& notification)
{
  ZPHMainThread::async([this, notification] { post(notification); });
}

void ZPHNotificationCenter::postOnMainThread(const QString& name, const QVariant& object, const QVariantMap& userInfo)
{
  postOnMainThread(ZPHNotification{name, object, userInfo});
}

int ZPHNotificationCenter::observerCount() const
{
  QMutexLocker locker(&m_mutex);
  return static_cast<int>(m_observers.size());
}
