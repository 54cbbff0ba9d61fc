#include "sheets/ZPHSheetWindowController.h"

#include "sheets/ZPHSheetDialog.h"

ZPHSheetWindowController::ZPHSheetWindowController(ZPHSheetHost host, QObject* parent)
    : QObject(parent), m_host(std::move(host)), m_window(new ZPHSheetDialog())
{
  m_window->setRejectHandler([this] { sheetWindowRejected(); });
  connect(m_window, &QObject::destroyed, this, [this] {
    if (!m_running)
      return;
    m_running = false;
    m_host.markRunningModalSheet(m_previousRunningModalSheet);
    sheetWindowWentAway();
  });
}

ZPHSheetWindowController::~ZPHSheetWindowController()
{
  if (m_running)
    endSheet();
  if (m_window != nullptr) {
    m_window->disconnect(this);
    delete m_window.data();
  }
}

bool ZPHSheetWindowController::beginSheetOn(QWidget* parent)
{
  if (parent == nullptr || m_window == nullptr || m_running)
    return false;
  m_running = true;
  m_previousRunningModalSheet = m_host.isRunningModalSheet();
  m_host.markRunningModalSheet(true);
  m_window->setParent(parent, Qt::Sheet);
  m_window->setWindowModality(Qt::WindowModal);
  m_window->open();
  return true;
}

bool ZPHSheetWindowController::endSheet()
{
  if (!m_running)
    return false;
  m_running = false;
  if (m_window != nullptr)
    m_window->finishSheet();
  m_host.markRunningModalSheet(m_previousRunningModalSheet);
  return true;
}
