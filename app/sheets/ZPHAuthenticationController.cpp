#include "sheets/ZPHAuthenticationController.h"

#include "common/ZPHShellLog.h"
#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHTerminationCancelingOperation.h"
#include "sheets/ZPHCredentialsWindowController.h"
#include "sheets/ZPHTrustSelfSignedCertWindowController.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "subscribe/ZPHFeedFinderHTTPOperation.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>

namespace {

// Deletes a finished sheet's controller after its handler has returned.
template <class Controller>
void dispose(std::unique_ptr<Controller>& controller)
{
  if (Controller* finished = controller.release())
    finished->deleteLater();
}

}  // namespace

ZPHAuthenticationController::ZPHAuthenticationController(ZPHSheetHost host, QObject* parent)
    : QObject(parent), m_host(std::move(host))
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  using D = ZPHNotificationCenter::Delivery;
  m_observers.push_back(center.addObserver(
      ZPHFeedFinderShouldAuthenticateHTTPBasicAuthNotification, QVariant(), this,
      [this](const ZPHNotification& notification) { shouldAuthenticateHTTPBasicAuth(notification); }, D::MainThread));
  m_observers.push_back(center.addObserver(
      ZPHFeedFinderShouldAuthenticateSelfSignedCertNotification, QVariant(), this,
      [this](const ZPHNotification& notification) { shouldAuthenticateSelfSignedCert(notification); }, D::MainThread));
  m_observers.push_back(center.addObserver(
      ZPHFeedRefreshChallengeReceivedNotification, QVariant(), this,
      [this](const ZPHNotification& notification) { handleFeedChallengeEvent(notification); }, D::MainThread));
  m_observers.push_back(center.addObserver(
      ZPHApplicationWillTerminateNotification, QVariant(), this, [this](const ZPHNotification&) { cancelAllPrompts(); },
      D::MainThread));
}

ZPHAuthenticationController::~ZPHAuthenticationController()
{
  m_observers.clear();
  cancelAllPrompts();
}

QString ZPHAuthenticationController::quotedUsernameAndPasswordStringForMessageTextField(const QString& name)
{
  return tr("Enter username and password for \u201c%1.\u201d").arg(name);
}

bool ZPHAuthenticationController::isWaitingForBasicHTTPAuthentication() const
{
  return m_credentials != nullptr && m_credentials->isRunning();
}

bool ZPHAuthenticationController::isAskingAboutCertificate() const
{
  return m_trust != nullptr && m_trust->isRunning();
}

bool ZPHAuthenticationController::promptIsUp() const
{
  return isWaitingForBasicHTTPAuthentication() || isAskingAboutCertificate();
}

ZPHCredentialsWindowController* ZPHAuthenticationController::currentCredentialsWindowController() const
{
  return isWaitingForBasicHTTPAuthentication() && m_credentialsAreTheFinders ? m_credentials.get() : nullptr;
}

ZPHCredentialsWindowController* ZPHAuthenticationController::credentialsSheet() const
{
  return isWaitingForBasicHTTPAuthentication() ? m_credentials.get() : nullptr;
}

ZPHTrustSelfSignedCertWindowController* ZPHAuthenticationController::currentTrustWindowController() const
{
  return isAskingAboutCertificate() ? m_trust.get() : nullptr;
}

void ZPHAuthenticationController::cancelCurrentCredentialsRequest()
{
  if (ZPHCredentialsWindowController* sheet = currentCredentialsWindowController())
    sheet->abort();
}

void ZPHAuthenticationController::cancelAllPrompts()
{
  if (m_credentials != nullptr)
    m_credentials->abort();
  if (m_trust != nullptr)
    m_trust->abort();
}

void ZPHAuthenticationController::shouldAuthenticateHTTPBasicAuth(const ZPHNotification& notification)
{
  const QString token = notification.userInfo.value(ZPHFeedFinderAuthenticationTokenKey).toString();
  QWidget* window = m_host.windowForSheets();
  if (promptIsUp() || window == nullptr) {
    qCInfo(zphShell) << "a login question of the feed finder is answered at once: another prompt is up or no window";
    ZPHFeedFinderHTTPOperation::postBasicAuthAnswer(token, ZPHCredentialsResult::cancelled());
    return;
  }
  const QUrl url = notification.userInfo.value(CBURLKey).toUrl();
  m_credentials = std::make_unique<ZPHCredentialsWindowController>(m_host);
  m_credentialsAreTheFinders = true;
  m_credentials->setMessage(
      quotedUsernameAndPasswordStringForMessageTextField(url.toDisplayString(QUrl::RemoveUserInfo)));
  m_credentials->beginSheet(window, [this, token](const ZPHCredentialsResult& result, bool) {
    m_credentialsAreTheFinders = false;
    dispose(m_credentials);
    ZPHFeedFinderHTTPOperation::postBasicAuthAnswer(token, result);
  });
}

void ZPHAuthenticationController::shouldAuthenticateSelfSignedCert(const ZPHNotification& notification)
{
  const QString token = notification.userInfo.value(ZPHFeedFinderAuthenticationTokenKey).toString();
  QWidget* window = m_host.windowForSheets();
  if (promptIsUp() || window == nullptr) {
    qCInfo(zphShell) << "a certificate question is answered at once (not trusted): another prompt is up or no window";
    ZPHFeedFinderHTTPOperation::postSelfSignedCertAnswer(token, false);
    return;
  }
  m_trust = std::make_unique<ZPHTrustSelfSignedCertWindowController>(m_host);
  m_trust->setCertificateSummary(
      notification.userInfo.value(ZPHFeedFinderSelfSignedCertSummaryKey).toString(),
      notification.userInfo.value(ZPHFeedFinderSelfSignedCertificateKey).value<QSslCertificate>());
  m_trust->beginSheet(window, [this, token](bool trust) {
    dispose(m_trust);
    ZPHFeedFinderHTTPOperation::postSelfSignedCertAnswer(token, trust);
  });
}

void ZPHAuthenticationController::handleFeedChallengeEvent(const ZPHNotification& notification)
{
  const QVariant urlObject = notification.object;
  QVariantMap answer = notification.userInfo;
  const auto answerCancelled = [urlObject](QVariantMap userInfo) {
    userInfo.remove(ZPHAuthenticationUsernameKey);
    userInfo.remove(ZPHAuthenticationPasswordKey);
    userInfo.insert(ZPHAuthenticationUserCancelKey, true);
    ZPHNotificationCenter::defaultCenter().post(ZPHFeedRefreshChallengeCredentialsReadyNotification, urlObject,
                                                userInfo);
  };

  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  CBDataController* data = delegate != nullptr ? delegate->dataController() : nullptr;
  CBDataAccount* account = nullptr;
  if (data != nullptr) {
    const QString identifier = answer.value(QStringLiteral("accountIdentifier")).toString();
    account = identifier.isEmpty() ? data->localAccount() : data->accountWithID(identifier);
  }
  const QUrl url = answer.value(CBURLKey).toUrl().isValid() ? answer.value(CBURLKey).toUrl() : urlObject.toUrl();
  CBFeed* feed = account != nullptr ? account->feedWithURL(url) : nullptr;
  if (feed == nullptr) {
    qCInfo(zphShell) << "a login question for a feed no account has is answered at once as cancelled";
    answerCancelled(answer);
    return;
  }
  QWidget* window = m_host.windowForSheets();
  if (promptIsUp() || window == nullptr) {
    qCInfo(zphShell) << "a refresh's login question is answered at once: another prompt is up or no window";
    answerCancelled(answer);
    return;
  }
  const QString name =
      !feed->nameForDisplay().isEmpty() ? feed->nameForDisplay() : url.toDisplayString(QUrl::RemoveUserInfo);
  m_credentials = std::make_unique<ZPHCredentialsWindowController>(m_host);
  m_credentialsAreTheFinders = false;
  m_credentials->setMessage(quotedUsernameAndPasswordStringForMessageTextField(name));
  if (!feed->username().isEmpty())
    m_credentials->setUsername(feed->username());
  const ZPHManagedObjectID feedID = feed->objectID();
  m_credentials->beginSheet(window, [this, answer, feedID, urlObject, answerCancelled](
                                        const ZPHCredentialsResult& result, bool) mutable {
    dispose(m_credentials);
    if (result.didCancel()) {
      answerCancelled(answer);
      return;
    }
    // The feed as it is now (it may have gone while the sheet was up).
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    ZPHManagedObjectContext* context = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
    auto* answered = context != nullptr ? dynamic_cast<CBFeed*>(context->existingObjectWithID(feedID)) : nullptr;
    if (answered != nullptr && answered->isDeleted())
      answered = nullptr;
    answer.remove(ZPHAuthenticationUsernameKey);
    answer.remove(ZPHAuthenticationPasswordKey);
    if (!result.username().isEmpty()) {
      if (answered != nullptr)
        answered->setUsername(result.username());
      answer.insert(ZPHAuthenticationUsernameKey, result.username());
      if (!result.password().isEmpty()) {
        if (answered != nullptr) {
          answered->setPassword(result.password());
          answered->savePasswordInKeychain();
        }
        answer.insert(ZPHAuthenticationPasswordKey, result.password());
      }
      if (answered != nullptr)
        answered->markAsNeedsToBeSaved();
    }
    ZPHNotificationCenter::defaultCenter().post(ZPHFeedRefreshChallengeCredentialsReadyNotification, urlObject, answer);
  });
}
