#pragma once

// A keyed in-memory cache of rebuildable objects (decoded images, style
// sheets, predicates), usable from any thread. Values are QVariants, so
// implicitly shared values (QImage, QByteArray, QString) cost a reference
// count to hand out, and a value read stays valid for the reader even when
// another thread removes it right after.
//
// The cache empties itself whenever the application stops being the active
// one (when a QGuiApplication exists at construction) and on
// didReceiveMemoryWarning(). With a count limit, the least recently used
// objects go first once the cache holds more than the limit.

#include <QtCore/QMetaObject>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include <memory>

class CBCache {
public:
  CBCache();
  ~CBCache();
  CBCache(const CBCache&) = delete;
  CBCache& operator=(const CBCache&) = delete;

  // A new cache.
  static std::unique_ptr<CBCache> cache();

  // The cached value, or an invalid QVariant.
  QVariant objectForKey(const QString& key) const;
  void setObject(const QVariant& object, const QString& key);
  // setObject unless the object is invalid (an earlier value stays).
  void setObjectIfNotNil(const QVariant& object, const QString& key);
  void removeObjectForKey(const QString& key);
  void removeAllObjects();

  // The most objects kept; 0 (the default) for no limit.
  unsigned countLimit() const;
  void setCountLimit(unsigned limit);

  // Empties the cache.
  void didReceiveMemoryWarning();

private:
  struct Store;
  std::shared_ptr<Store> m_store;
  QMetaObject::Connection m_applicationStateConnection;
};
