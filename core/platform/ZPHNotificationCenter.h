#pragma once

#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtCore/QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QObject;

// One notification: a name (one of the exported string constants), the
// object it concerns or that sent it, and a payload.
struct ZPHNotification {
  QString name;
  QVariant object;
  QVariantMap userInfo;
};

class ZPHNotificationCenter;

// Keeps an observer registered for as long as it lives. Destroying or
// resetting the token removes the observer; a token is move-only. Once the
// removal returns, the handler never runs again and no longer runs on any
// other thread (see ZPHNotificationCenter).
class ZPHObserverToken {
public:
  ZPHObserverToken() = default;
  ZPHObserverToken(ZPHObserverToken&& other) noexcept;
  ZPHObserverToken& operator=(ZPHObserverToken&& other) noexcept;
  ZPHObserverToken(const ZPHObserverToken&) = delete;
  ZPHObserverToken& operator=(const ZPHObserverToken&) = delete;
  ~ZPHObserverToken();

  bool isValid() const { return m_center != nullptr && m_id != 0; }
  void reset();

private:
  friend class ZPHNotificationCenter;
  ZPHObserverToken(ZPHNotificationCenter* center, std::uint64_t id) : m_center(center), m_id(id) {}
  ZPHNotificationCenter* m_center = nullptr;
  std::uint64_t m_id = 0;
};

// A small notification center: observers register for a name (empty: every
// name) and optionally for one object (a null QVariant: any object).
// Posting is synchronous on the posting thread, unless an observer asked for
// main-thread delivery, in which case posts from other threads reach it on a
// later turn of the main event loop. Observers may be added, removed and
// posted to from any thread.
//
// Removing an observer waits until deliveries to it that run on other
// threads have ended, so whatever the handler uses may go away right after
// the removal. A handler must therefore never wait for a thread that may be
// removing its observer meanwhile. A removal from inside the handler itself
// does not wait.
class ZPHNotificationCenter {
public:
  using Handler = std::function<void(const ZPHNotification&)>;
  enum class Delivery { PostingThread, MainThread };

  ZPHNotificationCenter();
  ~ZPHNotificationCenter();
  ZPHNotificationCenter(const ZPHNotificationCenter&) = delete;
  ZPHNotificationCenter& operator=(const ZPHNotificationCenter&) = delete;

  // The process-wide center that the library posts to.
  static ZPHNotificationCenter& defaultCenter();

  [[nodiscard]] ZPHObserverToken addObserver(const QString& name, const QVariant& object, Handler handler,
                                             Delivery delivery = Delivery::PostingThread);

  // Like addObserver, but the observer also goes away when `context` is
  // destroyed, so the handler never runs for a dead receiver.
  [[nodiscard]] ZPHObserverToken addObserver(const QString& name, const QVariant& object, QObject* context,
                                             Handler handler, Delivery delivery = Delivery::PostingThread);

  void removeObserver(ZPHObserverToken& token) { token.reset(); }

  // Delivers at once to every matching observer on this thread (observers that
  // asked for the main thread get it queued when this is not the main thread).
  void post(const ZPHNotification& notification);
  void post(const QString& name, const QVariant& object = {}, const QVariantMap& userInfo = {});

  // Always delivers on the main thread at a later turn of its event loop, also
  // when called on the main thread. Never waits.
  void postOnMainThread(const ZPHNotification& notification);
  void postOnMainThread(const QString& name, const QVariant& object = {}, const QVariantMap& userInfo = {});

  // Number of registered observers (for tests and leak checks).
  int observerCount() const;

private:
  friend class ZPHObserverToken;
  struct Observer;
  void remove(std::uint64_t id);

  mutable QMutex m_mutex;
  std::vector<std::shared_ptr<Observer>> m_observers;
  std::uint64_t m_nextID = 1;
};
