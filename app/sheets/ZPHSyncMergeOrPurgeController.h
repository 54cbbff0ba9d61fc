#pragma once

// Qt kind: QObject that owns widgets.

#include "sheets/ZPHSheetWindowController.h"

#include <QtCore/QString>

#include <functional>

class QLabel;
class QPushButton;

// The sheet that asks, at the first sync of a computer that has sites of
// its own, whether to merge them with the sync account's or to replace them
// ("purge"). Choosing either asks again in plain words ("Are you sure?"),
// where "Woah! What was I thinking?" goes back to the choice and the other
// button gives the answer. The handler gets exactly one answer: "merge",
// "purge", or "cancel" when the sheet is closed (Escape, the close button,
// abort(), the controller going) without one. Main thread.
class ZPHSyncMergeOrPurgeController : public ZPHSheetWindowController {
  Q_OBJECT

public:
  using Handler = std::function<void(const QString& response)>;

  explicit ZPHSyncMergeOrPurgeController(ZPHSheetHost host = {}, QObject* parent = nullptr);
  ~ZPHSyncMergeOrPurgeController() override;

  bool beginSheet(QWidget* parent, Handler handler);

  // The first state's buttons: left purge, right merge.
  void merge();
  void purge();
  // Back to the first state.
  void resetControls();
  // Gives the chosen answer and ends the sheet.
  void sendResponse();
  // Ends the sheet with "cancel".
  void abort();

  QString responseString() const { return m_responseString; }
  bool isConfirming() const { return m_confirming; }
  QLabel* messageTextField() const { return m_messageTextField; }
  QLabel* commentaryTextField() const { return m_commentaryTextField; }
  QPushButton* leftButton() const { return m_leftButton; }
  QPushButton* rightButton() const { return m_rightButton; }

protected:
  void sheetWindowRejected() override { abort(); }
  void sheetWindowWentAway() override;

private:
  void cacheOldCopyAndActions();
  void answer(const QString& response);

  QLabel* m_messageTextField = nullptr;
  QLabel* m_commentaryTextField = nullptr;
  QPushButton* m_leftButton = nullptr;
  QPushButton* m_rightButton = nullptr;
  QString m_responseString;
  bool m_confirming = false;
  QString m_oldMessage;
  QString m_oldComment;
  QString m_oldLeftButtonTitle;
  QString m_oldRightButtonTitle;
  QString m_oldWindowTitle;
  Handler m_handler;
};
