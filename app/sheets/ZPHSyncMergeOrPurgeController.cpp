#include "sheets/ZPHSyncMergeOrPurgeController.h"

#include "sync/ZPHSyncConstants.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

ZPHSyncMergeOrPurgeController::ZPHSyncMergeOrPurgeController(ZPHSheetHost host, QObject* parent)
    : ZPHSheetWindowController(std::move(host), parent)
{
  ZPHSheetDialog* window = sheetWindow();
  window->setObjectName(QStringLiteral("ZPHSyncMergeOrPurgeWindow"));
  window->setWindowTitle(tr("First Sync"));
  QVBoxLayout* column = window->setQuestionLayout(QStyle::SP_MessageBoxQuestion);
  m_messageTextField = new QLabel(tr("This computer and your sync account both have sites."), window);
  m_messageTextField->setObjectName(QStringLiteral("messageTextField"));
  QFont bold = m_messageTextField->font();
  bold.setBold(true);
  m_messageTextField->setFont(bold);
  m_messageTextField->setWordWrap(true);
  m_messageTextField->setMinimumWidth(380);
  m_commentaryTextField =
      new QLabel(tr("Merge them, and keep the sites of both; or replace the sites of this computer with the sync "
                    "account's?"),
                 window);
  m_commentaryTextField->setObjectName(QStringLiteral("commentaryTextField"));
  m_commentaryTextField->setWordWrap(true);
  column->addWidget(m_messageTextField);
  column->addWidget(m_commentaryTextField);
  auto* buttons = new QHBoxLayout();
  m_leftButton = window->makeButton(tr("Replace This Computer\u2019s Sites"), QStringLiteral("leftButton"), false);
  m_rightButton = window->makeButton(tr("Merge"), QStringLiteral("rightButton"), true);
  buttons->addStretch();
  buttons->addWidget(m_leftButton);
  buttons->addWidget(m_rightButton);
  column->addSpacing(6);
  column->addLayout(buttons);

  connect(m_leftButton, &QPushButton::clicked, this, [this] {
    if (m_confirming)
      resetControls();
    else
      purge();
  });
  connect(m_rightButton, &QPushButton::clicked, this, [this] {
    if (m_confirming)
      sendResponse();
    else
      merge();
  });
}

ZPHSyncMergeOrPurgeController::~ZPHSyncMergeOrPurgeController() { abort(); }

bool ZPHSyncMergeOrPurgeController::beginSheet(QWidget* parent, Handler handler)
{
  if (!beginSheetOn(parent))
    return false;
  m_handler = std::move(handler);
  return true;
}

void ZPHSyncMergeOrPurgeController::cacheOldCopyAndActions()
{
  m_oldMessage = m_messageTextField->text();
  m_oldComment = m_commentaryTextField->text();
  m_oldLeftButtonTitle = m_leftButton->text();
  m_oldRightButtonTitle = m_rightButton->text();
  m_oldWindowTitle = sheetWindow()->windowTitle();
}

void ZPHSyncMergeOrPurgeController::merge()
{
  if (m_confirming)
    return;
  cacheOldCopyAndActions();
  m_confirming = true;
  m_responseString = ZPHSyncMergeResponse;
  sheetWindow()->setWindowTitle(tr("Are you sure?"));
  m_messageTextField->setText(tr("Just to be clear:"));
  m_commentaryTextField->setText(
      tr("Any data on this computer will be uploaded to the server, and any data on the "
         "server will be downloaded to this computer."));
  m_leftButton->setText(tr("Woah! What was I thinking?"));
  m_rightButton->setText(tr("Yes, that\u2019s what I wanted"));
}

void ZPHSyncMergeOrPurgeController::purge()
{
  if (m_confirming)
    return;
  cacheOldCopyAndActions();
  m_confirming = true;
  m_responseString = ZPHSyncPurgeResponse;
  sheetWindow()->setWindowTitle(tr("Are you sure?"));
  m_messageTextField->setText(tr("Just to be clear:"));
  m_commentaryTextField->setText(
      tr("You are about to delete all the data on this computer, then import all your data from the sync server"));
  m_leftButton->setText(tr("Woah! What was I thinking?"));
  m_rightButton->setText(tr("I really don\u2019t want my local data"));
}

void ZPHSyncMergeOrPurgeController::resetControls()
{
  if (!m_confirming)
    return;
  m_confirming = false;
  m_responseString.clear();
  sheetWindow()->setWindowTitle(m_oldWindowTitle);
  m_messageTextField->setText(m_oldMessage);
  m_commentaryTextField->setText(m_oldComment);
  m_leftButton->setText(m_oldLeftButtonTitle);
  m_rightButton->setText(m_oldRightButtonTitle);
}

void ZPHSyncMergeOrPurgeController::sendResponse()
{
  if (m_confirming && !m_responseString.isEmpty())
    answer(m_responseString);
}

void ZPHSyncMergeOrPurgeController::abort() { answer(ZPHSyncCancelResponse); }

void ZPHSyncMergeOrPurgeController::answer(const QString& response)
{
  if (!endSheet())
    return;
  if (Handler handler = std::exchange(m_handler, {}))
    handler(response);
}

void ZPHSyncMergeOrPurgeController::sheetWindowWentAway()
{
  if (Handler handler = std::exchange(m_handler, {}))
    handler(ZPHSyncCancelResponse);
}
