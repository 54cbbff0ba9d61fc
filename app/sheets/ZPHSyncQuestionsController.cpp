#include "sheets/ZPHSyncQuestionsController.h"

#include "common/ZPHShellLog.h"
#include "platform/ZPHTerminationCancelingOperation.h"
#include "sheets/ZPHCredentialsWindowController.h"
#include "sheets/ZPHSyncMergeOrPurgeController.h"
#include "sheets/ZPHSyncServerCreationWindowController.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncCredentials.h"

#include <QtCore/QTimer>

namespace {

template <class Controller>
void dispose(std::unique_ptr<Controller>& controller)
{
  if (Controller* finished = controller.release())
    finished->deleteLater();
}

void answerLogin(const ZPHCredentialsResult& result)
{
  ZPHNotificationCenter::defaultCenter().post(ZPHSyncServiceLoginCredentialsProvided, QVariant::fromValue(result));
}

void answerMergeOrPurge(const QString& response)
{
  // After the sheet has gone, on the next turn.
  QTimer::singleShot(0, [response] {
    ZPHNotificationCenter::defaultCenter().post(ZPHSyncMergeOrPurgeDataResponse, QVariant(),
                                                {{ZPHSyncMergeOrPurgeResponseKey, response}});
  });
}

}  // namespace

ZPHSyncQuestionsController::ZPHSyncQuestionsController(ZPHSheetHost host, QObject* parent)
    : QObject(parent), m_host(std::move(host))
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  using D = ZPHNotificationCenter::Delivery;
  m_observers.push_back(center.addObserver(
      ZPHSyncServiceLoginCredentialsRequired, QVariant(), this,
      [this](const ZPHNotification&) { loginCredentialsRequired(); }, D::MainThread));
  m_observers.push_back(center.addObserver(
      ZPHSyncMergeOrPurgeDataRequest, QVariant(), this, [this](const ZPHNotification&) { mergeOrPurgeDataRequest(); },
      D::MainThread));
  m_observers.push_back(center.addObserver(
      ZPHApplicationWillTerminateNotification, QVariant(), this, [this](const ZPHNotification&) { cancelAllSheets(); },
      D::MainThread));
}

ZPHSyncQuestionsController::~ZPHSyncQuestionsController()
{
  m_observers.clear();
  cancelAllSheets();
}

void ZPHSyncQuestionsController::cancelAllSheets()
{
  if (m_login != nullptr)
    m_login->abort();
  if (m_account != nullptr)
    m_account->cancel();
  if (m_mergeOrPurge != nullptr)
    m_mergeOrPurge->abort();
}

bool ZPHSyncQuestionsController::mayAsk() const
{
  return m_host.windowForSheets() != nullptr && !m_host.isRunningModalSheet();
}

void ZPHSyncQuestionsController::loginCredentialsRequired()
{
  if (!mayAsk()) {
    qCInfo(zphShell) << "the sync login question is answered at once: another sheet runs or no window";
    answerLogin(ZPHCredentialsResult::cancelled());
    return;
  }
  m_login = std::make_unique<ZPHCredentialsWindowController>(m_host);
  m_login->setMessage(tr("Enter the user name and password of your sync account."));
  m_login->setUsername(ZPHSyncCredentials::username());
  m_login->setShowAccountCreationButton(true);
  m_login->beginSheet(m_host.windowForSheets(),
                      [this](const ZPHCredentialsResult& result, bool accountCreationRequested) {
                        dispose(m_login);
                        if (!accountCreationRequested) {
                          answerLogin(result);
                          return;
                        }
                        // The account sheet follows once this one has gone.
                        QTimer::singleShot(0, this, [this] { openAccountSheet(); });
                      });
}

void ZPHSyncQuestionsController::openAccountSheet()
{
  if (!mayAsk()) {
    answerLogin(ZPHCredentialsResult::cancelled());
    return;
  }
  m_account = std::make_unique<ZPHSyncServerCreationWindowController>(m_host);
  m_account->beginSheet(m_host.windowForSheets(), [this](const ZPHCredentialsResult& result) {
    dispose(m_account);
    // A created account has answered the waiting call with its request.
    if (result.didCancel())
      answerLogin(ZPHCredentialsResult::cancelled());
  });
}

void ZPHSyncQuestionsController::mergeOrPurgeDataRequest()
{
  if (!mayAsk()) {
    qCInfo(zphShell) << "the merge-or-purge question is answered at once: another sheet runs or no window";
    answerMergeOrPurge(ZPHSyncCancelResponse);
    return;
  }
  m_mergeOrPurge = std::make_unique<ZPHSyncMergeOrPurgeController>(m_host);
  m_mergeOrPurge->beginSheet(m_host.windowForSheets(), [this](const QString& response) {
    dispose(m_mergeOrPurge);
    answerMergeOrPurge(response);
  });
}
