#include "foundation/CBCache.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtGui/QGuiApplication>

#include <iterator>
#include <list>
#include <utility>

struct CBCache::Store {
  using Order = std::list<QString>;
  struct Entry {
    QVariant value;
    Order::iterator position;  // in `order`, most recently used last
  };

  mutable QMutex lock;
  QHash<QString, Entry> objects;
  mutable Order order;
  unsigned countLimit = 0;

  void clear()
  {
    // Values are released after the lock: their destructors may be slow.
    QHash<QString, Entry> released;
    {
      QMutexLocker locker(&lock);
      released.swap(objects);
      order.clear();
    }
  }

  // Under the lock: moves the entry to the most recently used end.
  void touch(const Entry& entry) const { order.splice(order.end(), order, entry.position); }

  // Under the lock: drops the least recently used entries past the limit
  // into `dropped`, to be released after the lock.
  void trim(QList<QVariant>& dropped)
  {
    while (countLimit > 0 && static_cast<unsigned>(objects.size()) > countLimit) {
      dropped.append(objects.take(order.front()).value);
      order.pop_front();
    }
  }
};

CBCache::CBCache() : m_store(std::make_shared<Store>())
{
  if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    // The store, not the cache, is captured, so a cache destroyed on another
    // thread while the signal is being delivered is never touched.
    std::weak_ptr<Store> weakStore = m_store;
    m_applicationStateConnection = QObject::connect(application, &QGuiApplication::applicationStateChanged, application,
                                                    [weakStore](Qt::ApplicationState state) {
                                                      if (state == Qt::ApplicationActive)
                                                        return;
                                                      if (std::shared_ptr<Store> store = weakStore.lock())
                                                        store->clear();
                                                    });
  }
}

CBCache::~CBCache() { QObject::disconnect(m_applicationStateConnection); }

std::unique_ptr<CBCache> CBCache::cache() { return std::make_unique<CBCache>(); }

QVariant CBCache::objectForKey(const QString& key) const
{
  QMutexLocker locker(&m_store->lock);
  const auto it = m_store->objects.constFind(key);
  if (it == m_store->objects.cend())
    return {};
  m_store->touch(*it);
  return it->value;
}

void CBCache::setObject(const QVariant& object, const QString& key)
{
  // Values that leave the cache are released after the lock: the locker is
  // declared last, so it goes first.
  QVariant previous;
  QList<QVariant> dropped;
  QMutexLocker locker(&m_store->lock);
  auto it = m_store->objects.find(key);
  if (it != m_store->objects.end()) {
    previous = std::exchange(it->value, object);
    m_store->touch(*it);
    return;
  }
  m_store->order.push_back(key);
  m_store->objects.insert(key, Store::Entry{object, std::prev(m_store->order.end())});
  m_store->trim(dropped);
}

void CBCache::setObjectIfNotNil(const QVariant& object, const QString& key)
{
  if (object.isValid())
    setObject(object, key);
}

void CBCache::removeObjectForKey(const QString& key)
{
  Store::Entry removed;
  QMutexLocker locker(&m_store->lock);
  auto it = m_store->objects.find(key);
  if (it == m_store->objects.end())
    return;
  m_store->order.erase(it->position);
  removed = std::move(*it);
  m_store->objects.erase(it);
}

unsigned CBCache::countLimit() const
{
  QMutexLocker locker(&m_store->lock);
  return m_store->countLimit;
}

void CBCache::setCountLimit(unsigned limit)
{
  QList<QVariant> dropped;
  QMutexLocker locker(&m_store->lock);
  m_store->countLimit = limit;
  m_store->trim(dropped);
}

void CBCache::removeAllObjects() { m_store->clear(); }

void CBCache::didReceiveMemoryWarning() { removeAllObjects(); }
