#pragma once

// Qt kind: QObject.

#include "platform/ZPHNotificationCenter.h"
#include "sheets/ZPHSheetHost.h"

#include <QtCore/QObject>

#include <memory>
#include <vector>

class ZPHCredentialsWindowController;
class ZPHSyncMergeOrPurgeController;
class ZPHSyncServerCreationWindowController;

// Answers the sync client's questions with sheets on the main window, each
// exactly once:
// - a login (ZPHSyncServiceLoginCredentialsRequired): the credentials sheet
//   with its account button; its answer goes back as
//   ZPHSyncServiceLoginCredentialsProvided. The account button opens the
//   account sheet instead (ZPHSyncServerCreationWindowController), whose
//   requests answer the waiting call; cancelling it answers the call as
//   cancelled;
// - the first sync's merge or purge (ZPHSyncMergeOrPurgeDataRequest): the
//   merge-or-purge sheet; its answer, "cancel" when it is closed, goes back
//   as ZPHSyncMergeOrPurgeDataResponse on the next turn of the event loop.
// A question that arrives while another sheet runs, or without a visible
// main window, is answered at once (cancelled, "cancel"); at quit, an open
// sheet is answered the same way. Main thread.
class ZPHSyncQuestionsController : public QObject {
  Q_OBJECT

public:
  explicit ZPHSyncQuestionsController(ZPHSheetHost host, QObject* parent = nullptr);
  ~ZPHSyncQuestionsController() override;

  ZPHCredentialsWindowController* loginSheet() const { return m_login.get(); }
  ZPHSyncServerCreationWindowController* accountSheet() const { return m_account.get(); }
  ZPHSyncMergeOrPurgeController* mergeOrPurgeSheet() const { return m_mergeOrPurge.get(); }
  // Answers every open sheet as cancelled.
  void cancelAllSheets();

  void loginCredentialsRequired();
  void mergeOrPurgeDataRequest();

private:
  bool mayAsk() const;
  void openAccountSheet();

  ZPHSheetHost m_host;
  std::unique_ptr<ZPHCredentialsWindowController> m_login;
  std::unique_ptr<ZPHSyncServerCreationWindowController> m_account;
  std::unique_ptr<ZPHSyncMergeOrPurgeController> m_mergeOrPurge;
  std::vector<ZPHObserverToken> m_observers;
};
