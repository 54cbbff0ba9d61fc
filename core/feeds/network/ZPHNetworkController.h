#pragma once

#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QObject>
#include <QtCore/QString>

#include <functional>
#include <memory>
#include <optional>

// Object: the network controller (ZPHNetworkController*). Posted on the main
// thread each time the connectivity changes.
extern const QString ZPHNetworkControllerInternetConnectivityChangedNotification;
// User-info key of that notification: the new connectivity (bool).
extern const QString ZPHNetworkControllerHasInternetConnectivityKey;

// Watches whether the internet can be reached. Keeps hasInternetConnectivity
// (false at creation), posts the notification above when it changes, shows a
// "No Internet Connection" error item in the status area while there is no
// connectivity, and cancels the shared download operations when
// connectivity returns, so downloads stuck while offline start over.
//
// Reachability comes from a source: by default the system's network
// information (QNetworkInformation); where no backend for it loads, the
// network counts as reachable. Made and used on the main thread.
class ZPHNetworkController : public QObject {
  Q_OBJECT

public:
  // Reachability flags: connected when reachable without a connection that
  // must first be established.
  enum ReachabilityFlag : quint32 {
    ReachabilityFlagReachable = 1u << 1,
    ReachabilityFlagConnectionRequired = 1u << 2,
  };

  // Where reachability comes from. The controller registers one callback;
  // the source may call it on any thread, as often as it likes.
  class ReachabilitySource {
  public:
    using FlagsHandler = std::function<void(quint32 flags)>;
    virtual ~ReachabilitySource();
    // Starts delivering changes; false when the source cannot watch.
    virtual bool setCallback(FlagsHandler handler) = 0;
    // The flags now; nullopt when they cannot be read.
    virtual std::optional<quint32> currentFlags() = 0;
  };

  // The system's network information: Online and Site (a default route)
  // and Unknown count as reachable, Local and Disconnected do not; without a
  // backend that reports reachability, always reachable.
  static std::unique_ptr<ReachabilitySource> makeSystemReachabilitySource();

  static const QString StatusItemIdentifier;  // "com.fernhollow.zephlin.status.networkConnectivityStatus"
  static const QString StatusItemText;        // "No Internet Connection"
  static constexpr qint64 ConnectionErrorCode = 1000;

  // The shared controller over the system source, made on first use (main
  // thread) and kept for the process.
  static ZPHNetworkController* sharedController();

  // Main thread only. Starts watching `source` (the system's when null) and
  // reads its flags at once; the status area is brought up to date on a
  // later turn of the main event loop.
  explicit ZPHNetworkController(std::unique_ptr<ReachabilitySource> source = {}, QObject* parent = nullptr);
  ~ZPHNetworkController() override;

  static bool isConnectedWithFlags(quint32 flags);

  bool hasInternetConnectivity() const { return m_hasInternetConnectivity; }
  void setHasInternetConnectivity(bool connected) { m_hasInternetConnectivity = connected; }
  ReachabilitySource* networkReachabilitySource() const { return m_source.get(); }

  // Main thread: stores a changed connectivity and posts the notification.
  void processUpdatedReachabilityFlags(quint32 flags);
  // Main thread: connected removes the status item and cancels the shared
  // downloads; not connected shows the error item.
  void updateForChangedConnectivity(bool connected);

private:
  void configureNetworkMonitoring();
  void networkConnectivityChanged(const ZPHNotification& notification);

  std::unique_ptr<ReachabilitySource> m_source;
  bool m_hasInternetConnectivity = false;
  ZPHObserverToken m_connectivityObserver;
};
