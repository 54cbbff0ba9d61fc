#include "subscriptions/ZPHSubscriptionCommands.h"

#include "common/CBPasteboard.h"
#include "common/ZPHAppServices.h"
#include "store/accounts/CBDataAccount.h"
#include "subscriptions/ZPHAddFolderWindowController.h"
#include "subscriptions/ZPHAddSiteWindowController.h"
#include "subscriptions/ZPHExportOPMLController.h"
#include "subscriptions/ZPHImportOPMLController.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtWidgets/QDialog>

ZPHSubscriptionCommands::ZPHSubscriptionCommands(Host host, QObject* actionsParent, QObject* parent)
    : QObject(parent), m_host(std::move(host))
{
  QObject* owner = actionsParent != nullptr ? actionsParent : this;
  makeAction(owner, tr("New Site\u2026"), QStringLiteral("addFeed:"), [this] {
    if (m_host.showReaderWindow)
      m_host.showReaderWindow();
    if (m_host.addFeed)
      m_host.addFeed(CBURLStringFromGeneralPasteboard(true), false, true);
  });
  makeAction(owner, tr("Popular Sites\u2026"), QStringLiteral("addPopularSites:"), [this] { addPopularSites(); });
  makeAction(owner, tr("New Folder\u2026"), QStringLiteral("addFolder:"), [this] { addFolder(); });
  makeAction(owner, tr("Import Sites\u2026"), QStringLiteral("importFeedsFromOPML:"),
             [this] { importFeedsFromOPML(); });
  QAction* importFile =
      makeAction(owner, tr("Import Sites from File"), QStringLiteral("importFeedsFromOPMLFileAtPath:"), {});
  connect(importFile, &QAction::triggered, this,
          [this, importFile] { importFeedsFromOPMLFileAtPath(importFile->data().toString()); });
  makeAction(owner, tr("Export Sites\u2026"), QStringLiteral("exportFeeds:"), [this] { exportFeeds(); });
}

ZPHSubscriptionCommands::~ZPHSubscriptionCommands()
{
  for (const QPointer<QAction>& action : std::as_const(m_actions)) delete action.data();
}

QAction* ZPHSubscriptionCommands::makeAction(QObject* parent, const QString& title, const QString& selector,
                                             std::function<void()> run)
{
  auto* action = new QAction(title, parent);
  action->setObjectName(selector);
  if (run)
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
  m_actions.append(action);
  return action;
}

bool ZPHSubscriptionCommands::runAddSiteWindowController(std::unique_ptr<ZPHAddSiteWindowController> controller,
                                                         std::function<void(const QList<CBFeed*>&)> added)
{
  if (controller == nullptr || m_addSiteWindowController != nullptr)
    return false;
  if (m_host.showReaderWindow)
    m_host.showReaderWindow();
  ZPHAddSiteWindowController* running = controller.get();
  m_addSiteWindowController = std::move(controller);
  connect(running, &ZPHAddSiteWindowController::finished, this, [this, running, added] {
    const QList<CBFeed*> feeds = running->feedsAdded();
    // Let go of the window once its last event is through.
    if (m_addSiteWindowController.get() == running) {
      QObject* gone = m_addSiteWindowController.release();
      QTimer::singleShot(0, gone, [gone] { delete gone; });
    }
    if (added)
      added(feeds);
  });
  if (!ZPHAppServices::current().runModalSheet(running->window(), {})) {
    qCInfo(zphSubscriptions) << "the Add Site window cannot open now";
    m_addSiteWindowController.reset();
    return false;
  }
  return true;
}

void ZPHSubscriptionCommands::addSite(const QString& address, bool searchImmediately,
                                      bool useCurrentlySelectedContainer)
{
  if (m_addSiteWindowController != nullptr)
    return;
  const QUrl url(address, QUrl::TolerantMode);
  std::unique_ptr<ZPHAddSiteWindowController> controller =
      address.isEmpty() || !url.isValid()
          ? std::make_unique<ZPHAddSiteWindowController>()
          : std::make_unique<ZPHAddSiteWindowController>(url, searchImmediately, useCurrentlySelectedContainer);
  runAddSiteWindowController(std::move(controller), [this](const QList<CBFeed*>& feeds) {
    if (!feeds.isEmpty() && m_host.selectAddedFeeds)
      m_host.selectAddedFeeds(feeds, false);
  });
}

QList<CBFeed*> ZPHSubscriptionCommands::addFeedsWithSubscribeRequest(std::shared_ptr<ZPHSubscribeRequest> request)
{
  if (request == nullptr || request->feedURL().isEmpty() || m_addSiteWindowController != nullptr)
    return {};
  const bool favorite = request->markAsFavorite();
  runAddSiteWindowController(std::make_unique<ZPHAddSiteWindowController>(request),
                             [this, favorite](const QList<CBFeed*>& feeds) {
                               if (!feeds.isEmpty() && m_host.selectAddedFeeds)
                                 m_host.selectAddedFeeds(feeds, favorite);
                             });
  // The window runs on; what it adds is selected when it ends.
  return {};
}

void ZPHSubscriptionCommands::addPopularSites()
{
  if (m_addSiteWindowController != nullptr)
    return;
  runAddSiteWindowController(ZPHAddSiteWindowController::showingPopularSites(), [this](const QList<CBFeed*>& feeds) {
    if (!feeds.isEmpty() && m_host.selectAddedFeeds)
      m_host.selectAddedFeeds(feeds, false);
  });
}

void ZPHSubscriptionCommands::addFolder()
{
  if (m_host.showReaderWindow)
    m_host.showReaderWindow();
  auto controller = std::make_unique<ZPHAddFolderWindowController>();
  controller->setFolderAddedHandler([this](CBFolder* folder) {
    if (m_host.selectAddedFolder)
      m_host.selectAddedFolder(folder);
  });
  if (!ZPHAppServices::current().runModalSheet(controller->window(), {})) {
    if (m_host.beep)
      m_host.beep();
    return;
  }
  // Kept until the next one.
  m_addFolderWindowController = std::move(controller);
}

void ZPHSubscriptionCommands::importFeedsFromOPML()
{
  QWidget* window = m_host.window ? m_host.window() : nullptr;
  if ((m_importOPMLController != nullptr && m_importOPMLController->isImporting()) || window == nullptr) {
    if (m_host.beep)
      m_host.beep();
    return;
  }
  m_importOPMLController = std::make_unique<ZPHImportOPMLController>();
  m_importOPMLController->runOPMLImportWithBackgroundWindow(
      window, [this](const QList<CBFeed*>&) { importNextWaitingOPMLFile(); });
}

void ZPHSubscriptionCommands::importFeedsFromOPMLFileAtPath(const QString& path)
{
  QWidget* window = m_host.window ? m_host.window() : nullptr;
  if (path.isEmpty() || window == nullptr || m_waitingOPMLFiles.size() >= MostWaitingOPMLFiles) {
    if (m_host.beep)
      m_host.beep();
    return;
  }
  const QString absolute = QFileInfo(path).absoluteFilePath();
  if (m_importOPMLController != nullptr && m_importOPMLController->isImporting()) {
    // Lists opened together (or while one imports) import one after the
    // other.
    qCInfo(zphSubscriptions).noquote() << "the subscription list" << absolute << "waits for the import under way";
    m_waitingOPMLFiles.append(absolute);
    return;
  }
  m_importOPMLController = std::make_unique<ZPHImportOPMLController>();
  m_importOPMLController->runOPMLImportWithFileURL(absolute, window,
                                                   [this](const QList<CBFeed*>&) { importNextWaitingOPMLFile(); });
}

void ZPHSubscriptionCommands::importNextWaitingOPMLFile()
{
  // Once the controller that finished has returned.
  QPointer<ZPHSubscriptionCommands> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self == nullptr || self->m_waitingOPMLFiles.isEmpty() ||
        (self->m_importOPMLController != nullptr && self->m_importOPMLController->isImporting()))
      return;
    self->importFeedsFromOPMLFileAtPath(self->m_waitingOPMLFiles.takeFirst());
  });
}

void ZPHSubscriptionCommands::exportFeeds()
{
  CBDataAccount* account = CBDataAccount::localAccount();
  if (account == nullptr)
    return;
  if (m_exportOPMLController == nullptr)
    m_exportOPMLController = std::make_unique<ZPHExportOPMLController>();
  m_exportOPMLController->setBackgroundWindow(m_host.window ? m_host.window() : nullptr);
  m_exportOPMLController->exportOPMLForAccounts({account});
}
