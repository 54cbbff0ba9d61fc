#include "foundation/CBCache.h"

#include <QtCore/QHash>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtGui/QGuiApplication>

#include <utility>

struct CBCache::Store {
  mutable QMutex lock;
  QHash<QString, QVariant> objects;

  void clear()
  {
    // Values are released after the lock: their destructors may be slow.
    QHash<QString, QVariant> released;
    {
      QMutexLocker locker(&lock);
      released.swap(objects);
    }
  }
};

CBCache::CBCache() : m_store(std::make_shared<Store>())
{
  if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    // The store, not the cache, is captured, so a cache destroyed on another
    // thread while the signal is being delivered is never touched.
    std::weak_ptr<Store> weakStore = m_store;
    m_applicationStateConnection = QObject::connect(
        application, &QGuiApplication::applicationStateChanged, application, [weakStore](Qt::ApplicationState state) {
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
  return m_store->objects.value(key);
}

void CBCache::setObject(const QVariant& object, const QString& key)
{
  QVariant previous;  // released after the lock, as the locker goes first
  QMutexLocker locker(&m_store->lock);
  previous = std::exchange(m_store->objects[key], object);
}

void CBCache::setObjectIfNotNil(const QVariant& object, const QString& key)
{
  if (object.isValid())
    setObject(object, key);
}

void CBCache::removeObjectForKey(const QString& key)
{
  QVariant removed;
  QMutexLocker locker(&m_store->lock);
  removed = m_store->objects.take(key);
}

void CBCache::removeAllObjects() { m_store->clear(); }

void CBCache::didReceiveMemoryWarning() { removeAllObjects(); }
