#include "feeds/network/ZPHNetworkController.h"

#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "foundation/ZPHErrors.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"

#include <QtNetwork/QNetworkInformation>

const QString ZPHNetworkControllerInternetConnectivityChangedNotification =
    QStringLiteral("ZPHNetworkControllerInternetConnectivityChangedNotification");
const QString ZPHNetworkControllerHasInternetConnectivityKey =
    QStringLiteral("ZPHNetworkControllerHasInternetConnectivityKey");

const QString ZPHNetworkController::StatusItemIdentifier =
    QStringLiteral("com.fernhollow.zephlin.status.networkConnectivityStatus");
const QString ZPHNetworkController::StatusItemText = QStringLiteral("No Internet Connection");

namespace {

quint32 flagsForReachability(QNetworkInformation::Reachability reachability)
{
  switch (reachability) {
    case QNetworkInformation::Reachability::Disconnected:
    case QNetworkInformation::Reachability::Local:
      return 0;
    case QNetworkInformation::Reachability::Unknown:
    case QNetworkInformation::Reachability::Site:
    case QNetworkInformation::Reachability::Online:
      break;
  }
  return ZPHNetworkController::ReachabilityFlagReachable;
}

// The process's network information with reachability, loaded on first use
// on the main thread; nullptr when no backend offers it.
QNetworkInformation* reachabilityBackend()
{
  static bool tried = false;
  if (!tried) {
    tried = true;
    if (QNetworkInformation::instance() == nullptr && !QNetworkInformation::loadDefaultBackend())
      QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    QNetworkInformation* information = QNetworkInformation::instance();
    if (information == nullptr || !information->supports(QNetworkInformation::Feature::Reachability))
      qCInfo(zphNetwork) << "no network information backend reports reachability; the network counts as reachable";
  }
  QNetworkInformation* information = QNetworkInformation::instance();
  if (information == nullptr || !information->supports(QNetworkInformation::Feature::Reachability))
    return nullptr;
  return information;
}

class SystemReachabilitySource : public ZPHNetworkController::ReachabilitySource {
public:
  bool setCallback(FlagsHandler handler) override
  {
    ZPH_ASSERT_MAIN_THREAD();
    QNetworkInformation* information = reachabilityBackend();
    if (information == nullptr)
      return true;  // nothing will change: always reachable
    QObject::connect(
        information, &QNetworkInformation::reachabilityChanged, &m_context,
        [handler](QNetworkInformation::Reachability reachability) { handler(flagsForReachability(reachability)); });
    return true;
  }

  std::optional<quint32> currentFlags() override
  {
    ZPH_ASSERT_MAIN_THREAD();
    QNetworkInformation* information = reachabilityBackend();
    if (information == nullptr)
      return quint32(ZPHNetworkController::ReachabilityFlagReachable);
    return flagsForReachability(information->reachability());
  }

private:
  QObject m_context;  // ends the connection with the source
};

}  // namespace

ZPHNetworkController::ReachabilitySource::~ReachabilitySource() = default;

std::unique_ptr<ZPHNetworkController::ReachabilitySource> ZPHNetworkController::makeSystemReachabilitySource()
{
  return std::make_unique<SystemReachabilitySource>();
}

ZPHNetworkController* ZPHNetworkController::sharedController()
{
  ZPH_ASSERT_MAIN_THREAD();
  static ZPHNetworkController* controller = new ZPHNetworkController;  // lives for the process
  return controller;
}

ZPHNetworkController::ZPHNetworkController(std::unique_ptr<ReachabilitySource> source, QObject* parent)
    : QObject(parent), m_source(source ? std::move(source) : makeSystemReachabilitySource())
{
  ZPH_ASSERT_MAIN_THREAD();
  configureNetworkMonitoring();
  m_connectivityObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHNetworkControllerInternetConnectivityChangedNotification, QVariant::fromValue(this), this,
      [this](const ZPHNotification& notification) { networkConnectivityChanged(notification); });
  // Shows the state found at start, also when nothing changed (no
  // notification then).
  QMetaObject::invokeMethod(
      this, [this] { updateForChangedConnectivity(m_hasInternetConnectivity); }, Qt::QueuedConnection);
}

ZPHNetworkController::~ZPHNetworkController()
{
  m_connectivityObserver.reset();
  m_source.reset();
}

bool ZPHNetworkController::isConnectedWithFlags(quint32 flags)
{
  return (flags & ReachabilityFlagReachable) != 0 && (flags & ReachabilityFlagConnectionRequired) == 0;
}

void ZPHNetworkController::configureNetworkMonitoring()
{
  // Changes may arrive on any thread; they are handled on the main thread
  // for as long as this controller lives.
  const bool watching = m_source->setCallback([this](quint32 flags) {
    QMetaObject::invokeMethod(
        this, [this, flags] { processUpdatedReachabilityFlags(flags); }, Qt::QueuedConnection);
  });
  if (!watching) {
    qCCritical(zphNetwork) << "Can't set callback on reachability source:" << static_cast<void*>(m_source.get());
    return;
  }
  const std::optional<quint32> flags = m_source->currentFlags();
  if (!flags) {
    qCCritical(zphNetwork) << "Can't get flags on reachability source:" << static_cast<void*>(m_source.get());
    return;
  }
  processUpdatedReachabilityFlags(*flags);
}

void ZPHNetworkController::processUpdatedReachabilityFlags(quint32 flags)
{
  ZPH_ASSERT_MAIN_THREAD();
  const bool connected = isConnectedWithFlags(flags);
  if (connected == m_hasInternetConnectivity)
    return;
  m_hasInternetConnectivity = connected;
  ZPHNotificationCenter::defaultCenter().post(ZPHNetworkControllerInternetConnectivityChangedNotification,
                                              QVariant::fromValue(this),
                                              {{ZPHNetworkControllerHasInternetConnectivityKey, connected}});
}

void ZPHNetworkController::networkConnectivityChanged(const ZPHNotification& notification)
{
  const QVariant connected = notification.userInfo.value(ZPHNetworkControllerHasInternetConnectivityKey);
  Q_ASSERT_X(connected.isValid(), Q_FUNC_INFO, "connectivity value is required");
  if (!connected.isValid())
    return;
  updateForChangedConnectivity(connected.toBool());
}

void ZPHNetworkController::updateForChangedConnectivity(bool connected)
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (connected) {
    if (delegate != nullptr)
      delegate->removeAnyStatusItemWithIdentifier(StatusItemIdentifier);
    CBOperationController::sharedDownloadOperationController()->cancelAllOperations();
    return;
  }
  const ZPHError error = ZPHErrors::errorWithCode(
      ConnectionErrorCode, QStringLiteral("Connection Error"),
      {{ZPHLocalizedRecoverySuggestionKey,
        QStringLiteral("Zephlin isn't connected to the internet. Check your connection and try again.")}});
  std::shared_ptr<ZPHStatusItem> item =
      ZPHStatusItem::statusItemWithLocalizedDescription(StatusItemText, StatusItemIdentifier, error);
  if (delegate != nullptr)
    delegate->addStatusItem(item, {});
}
