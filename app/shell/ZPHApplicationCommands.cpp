#include "shell/ZPHApplicationCommands.h"

#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHArticleListSettings.h"
#include "articlelist/ZPHSearchWindowController.h"
#include "common/ZPHDesktopEntries.h"
#include "common/ZPHShellLog.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "foundation/CBPrefs.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/ZPHMainWindowSplitView.h"
#include "platform/ZPHUserDefaults.h"
#include "preferences/ZPHPreferenceWindowController.h"
#include "preferences/ZPHPreferencesGeneralViewController.h"
#include "sheets/FRNHAboutWindowController.h"
#include "sheets/ZPHWelcomeStayInformedViewController.h"
#include "sheets/ZPHWelcomeWindowController.h"
#include "shell/ZPHAppDelegate.h"
#include "shell/ZPHFeedbackMailer.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/CBDataController.h"

#include <QtCore/QPointer>
#include <QtCore/QSaveFile>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <algorithm>

const QString ZPHSuppressDefaultAggregatorPromptKey = QStringLiteral("suppressDefaultAggregatorPrompt");

const QStringList ZPHApplicationCommands::Selectors = {
    QStringLiteral("terminate:"),
    QStringLiteral("openPreferencesWindow:"),
    QStringLiteral("showAboutWindow:"),
    QStringLiteral("sendFeedback:"),
    QStringLiteral("importFeedsFromZPH3:"),
    QStringLiteral("toggleHideReadSites:"),
    QStringLiteral("toggleHideReadArticles:"),
    QStringLiteral("gotoAllUnread:"),
    QStringLiteral("gotoToday:"),
    QStringLiteral("gotoBookmarks:"),
    QStringLiteral("gotoFavorites:"),
    QStringLiteral("showReaderWindow:"),
    QStringLiteral("sortByName:"),
    QStringLiteral("sortByManualOrder:"),
    QStringLiteral("sortByPublishDate:"),
    QStringLiteral("sortByUnreadCount:"),
    QStringLiteral("toggleSortInFolders:"),
    QStringLiteral("toggleFullScreen:"),
    QStringLiteral("hideSourceList:"),
    QStringLiteral("useStandardLayout:"),
    QStringLiteral("useClassicLayout:"),
    QStringLiteral("selectFind:"),
    QStringLiteral("closeAllTabs:"),
    QStringLiteral("exportTabs:"),
    QStringLiteral("toggleShowThumbnailsInTabs:"),
};

namespace {

constexpr int AllUnreadRow = 1;
constexpr int TodayRow = 2;
constexpr int BookmarksRow = 3;
constexpr int FavoritesRow = 4;

}  // namespace

ZPHApplicationCommands::ZPHApplicationCommands(ZPHAppDelegate* delegate) : QObject(delegate), m_delegate(delegate) {}

ZPHApplicationCommands::~ZPHApplicationCommands()
{
  if (m_preferenceWindowController != nullptr)
    delete m_preferenceWindowController.data();
  if (m_welcomeWindowController != nullptr)
    m_welcomeWindowController->invalidate();
}

QAction* ZPHApplicationCommands::command(const char* selector, const QString& title,
                                         void (ZPHApplicationCommands::*run)())
{
  auto* action = new QAction(title, m_delegate);
  action->setObjectName(QString::fromLatin1(selector));
  if (run != nullptr)
    connect(action, &QAction::triggered, this, run);
  return action;
}

void ZPHApplicationCommands::makeCommands()
{
  // "terminate:" is the delegate's own (its keys and the quit sequence).
  command("openPreferencesWindow:", tr("Preferences\u2026"), &ZPHApplicationCommands::openPreferencesWindow);
  command("showAboutWindow:", tr("About Zephlin"), &ZPHApplicationCommands::showAboutWindow);
  command("sendFeedback:", tr("Send Feedback\u2026"), &ZPHApplicationCommands::sendFeedback);
  command("importFeedsFromZPH3:", tr("Import from Zephlin 3\u2026"), &ZPHApplicationCommands::importFeedsFromZPH3);
  command("toggleHideReadSites:", tr("Hide Read Sites"), &ZPHApplicationCommands::toggleHideReadSites);
  command("toggleHideReadArticles:", tr("Hide Read Articles"), &ZPHApplicationCommands::toggleHideReadArticles);
  connect(command("gotoAllUnread:", tr("All Unread"), nullptr), &QAction::triggered, this,
          [this] { gotoRow(AllUnreadRow); });
  connect(command("gotoToday:", tr("Today"), nullptr), &QAction::triggered, this, [this] { gotoRow(TodayRow); });
  connect(command("gotoBookmarks:", tr("Bookmarks"), nullptr), &QAction::triggered, this,
          [this] { gotoRow(BookmarksRow); });
  connect(command("gotoFavorites:", tr("Favorites"), nullptr), &QAction::triggered, this,
          [this] { gotoRow(FavoritesRow); });
  command("showReaderWindow:", tr("Reader Window"), &ZPHApplicationCommands::showReaderWindow);
  for (const auto& [selector, title, order] :
       {std::tuple{"sortByName:", tr("By Name"), 0}, std::tuple{"sortByManualOrder:", tr("Manually"), 1},
        std::tuple{"sortByPublishDate:", tr("By Date of the Latest Article"), 2},
        std::tuple{"sortByUnreadCount:", tr("By Unread Count"), 3}}) {
    QAction* action = command(selector, title, nullptr);
    action->setCheckable(true);
    const qint64 chosen = order;
    connect(action, &QAction::triggered, this, [this, chosen] { sortBy(chosen); });
  }
  command("toggleSortInFolders:", tr("Within Folders Only"), &ZPHApplicationCommands::toggleSortInFolders)
      ->setCheckable(true);
  command("toggleFullScreen:", tr("Enter Full Screen"), &ZPHApplicationCommands::toggleFullScreen);
  command("hideSourceList:", tr("Hide Source List"), &ZPHApplicationCommands::hideSourceList);
  QAction* standard = command("useStandardLayout:", tr("Standard Layout"), nullptr);
  QAction* classic = command("useClassicLayout:", tr("Classic Layout"), nullptr);
  standard->setCheckable(true);
  classic->setCheckable(true);
  connect(standard, &QAction::triggered, this, [this] { setLayoutMode(0); });
  connect(classic, &QAction::triggered, this, [this] { setLayoutMode(1); });
  command("selectFind:", tr("Search Articles"), &ZPHApplicationCommands::selectFind);
  command("closeAllTabs:", tr("Close All Tabs\u2026"), &ZPHApplicationCommands::closeAllTabs);
  command("exportTabs:", tr("Export Tabs\u2026"), &ZPHApplicationCommands::exportTabs);
  command("toggleShowThumbnailsInTabs:", tr("Show Thumbnails"), &ZPHApplicationCommands::toggleShowThumbnailsInTabs);
}

bool ZPHApplicationCommands::validate(QAction* item, bool* enabled)
{
  const QString selector = item != nullptr ? item->objectName() : QString();
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  ZPHMainWindowController* main = m_delegate->mainWindowController();
  const bool hasWindow = m_delegate->mainWindow() != nullptr;
  bool on = false;
  if (selector == QLatin1String("refreshAll:")) {
    ZPHRefreshController* refresh = m_delegate->refreshController();
    on = m_delegate->networkController() != nullptr && m_delegate->networkController()->hasInternetConnectivity() &&
         refresh != nullptr && !refresh->visualRefreshInProgress();
  } else if (!Selectors.contains(selector)) {
    return false;
  } else if (selector == QLatin1String("toggleHideReadSites:")) {
    on = hasWindow;
    item->setText(defaults.boolForKey(ZPHHideFeedsWithNoUnread) ? tr("Show Read Sites") : tr("Hide Read Sites"));
  } else if (selector == QLatin1String("toggleHideReadArticles:")) {
    on = hasWindow;
    item->setText(defaults.boolForKey(ZPHHideReadArticles) ? tr("Show Read Articles") : tr("Hide Read Articles"));
  } else if (selector == QLatin1String("toggleFullScreen:")) {
    on = hasWindow;
    item->setText(m_delegate->isInFullScreen() ? tr("Exit Full Screen") : tr("Enter Full Screen"));
  } else if (selector == QLatin1String("hideSourceList:")) {
    on = hasWindow;
    item->setText(isSourceListHidden() ? tr("Show Source List") : tr("Hide Source List"));
  } else if (selector.startsWith(QLatin1String("sortBy"))) {
    // The marks of the stored order.
    const qint64 order = defaults.integerForKey(ZPHSubscriptionsSortOrderKey);
    const qint64 mine = selector == QLatin1String("sortByName:")          ? 0
                        : selector == QLatin1String("sortByPublishDate:") ? 2
                        : selector == QLatin1String("sortByUnreadCount:") ? 3
                                                                          : 1;
    const bool manual = order != 0 && order != 2 && order != 3;
    item->setChecked(mine == 1 ? manual : order == mine);
    on = hasWindow;
  } else if (selector == QLatin1String("toggleSortInFolders:")) {
    const bool manual = defaults.integerForKey(ZPHSubscriptionsSortOrderKey) == 1;
    item->setChecked(!manual && defaults.boolForKey(ZPHSortInGroupsOnly));
    on = hasWindow && !manual;
  } else if (selector == QLatin1String("useStandardLayout:") || selector == QLatin1String("useClassicLayout:")) {
    const bool classic = defaults.integerForKey(ZPHContentLayoutMode) == 1;
    item->setChecked((selector == QLatin1String("useClassicLayout:")) == classic);
    on = hasWindow;
  } else if (selector == QLatin1String("closeAllTabs:")) {
    on = hasWindow && numberOfTabs() > 1;
  } else if (selector == QLatin1String("exportTabs:")) {
    on = hasWindow && numberOfTabs() > 1 && m_delegate->seams().exportTabsText != nullptr;
  } else if (selector == QLatin1String("toggleShowThumbnailsInTabs:")) {
    item->setText(tabsViewState() == 1 ? tr("Hide Thumbnails") : tr("Show Thumbnails"));
    on = hasWindow && m_delegate->seams().numberOfTabs != nullptr;
  } else if (selector == QLatin1String("selectFind:")) {
    on = main != nullptr && main->searchWindowController() != nullptr;
  } else if (selector == QLatin1String("importFeedsFromZPH3:")) {
    // Only while there is something of the previous version to import.
    const ZPHWelcomeImporter& importer = m_delegate->seams().zephlin3Importer;
    on = importer.importIsCurrentlyPossible && importer.import && importer.importIsCurrentlyPossible();
  } else if (selector.startsWith(QLatin1String("goto")) || selector == QLatin1String("showReaderWindow:")) {
    on = hasWindow;
  } else {
    on = true;
  }
  if (item != nullptr)
    item->setEnabled(on);
  if (enabled != nullptr)
    *enabled = on;
  return true;
}

// MARK: - Commands

void ZPHApplicationCommands::openPreferencesWindow()
{
  if (m_preferenceWindowController == nullptr) {
    m_preferenceWindowController = new ZPHPreferenceWindowController(this);
    QPointer<ZPHPreferenceWindowController> controller = m_preferenceWindowController;
    // A new controller with fresh panes the next time.
    connect(controller, &FRNHPreferenceWindowController::windowWillClose, this, [controller] {
      if (controller != nullptr)
        controller->deleteLater();
    });
  }
  m_preferenceWindowController->showWindow();
  // Centred on the main window.
  if (QMainWindow* main = m_delegate->mainWindow(); main != nullptr && main->isVisible()) {
    QWidget* window = m_preferenceWindowController->window();
    const QRect frame = main->frameGeometry();
    const QSize size = window->frameGeometry().size();
    window->move(frame.x() + (frame.width() - size.width()) / 2, frame.y() + (frame.height() - size.height()) / 2);
  }
}

void ZPHApplicationCommands::showAboutWindow()
{
  FRNHAboutWindowController::sharedAboutWindowController()->showWindow();
}

void ZPHApplicationCommands::sendFeedback()
{
  ZPHFeedbackMailer::defaultFeedbackMailer().send([this](const QUrl& url) {
    return m_delegate->openLink(url, ZPHAppServices::LinkPlace::MailProgram) != ZPHAppServices::LinkOutcome::Refused;
  });
}

void ZPHApplicationCommands::importFeedsFromZPH3()
{
  const ZPHWelcomeImporter& importer = m_delegate->seams().zephlin3Importer;
  if (!importer.importIsCurrentlyPossible || !importer.import || !importer.importIsCurrentlyPossible()) {
    m_delegate->environment().beep();
    return;
  }
  showWelcomeWindow(1);
}

void ZPHApplicationCommands::toggleHideReadSites() { CBPrefsToggleBool(ZPHHideFeedsWithNoUnread); }

void ZPHApplicationCommands::toggleHideReadArticles() { CBPrefsToggleBool(ZPHHideReadArticles); }

void ZPHApplicationCommands::showReaderWindow() { m_delegate->makePrimaryWindowKeyAndOrderedFront(); }

void ZPHApplicationCommands::gotoRow(int row)
{
  showReaderWindow();
  ZPHMainWindowController* main = m_delegate->mainWindowController();
  ZPHSourceListViewController* sourceList = main != nullptr ? main->sourceListViewController() : nullptr;
  if (sourceList == nullptr)
    return;
  sourceList->selectRow(row);
  sourceList->makeSourceListOutlineViewFirstResponder();
  // The news-items tab, once there are tabs.
  main->sendAction(QStringLiteral("selectNewsItemsTab:"));
}

void ZPHApplicationCommands::sortBy(qint64 order)
{
  ZPHMainWindowController* main = m_delegate->mainWindowController();
  if (ZPHSourceListViewController* sourceList = main != nullptr ? main->sourceListViewController() : nullptr)
    sourceList->configureForOrder(order);
}

void ZPHApplicationCommands::toggleSortInFolders()
{
  ZPHMainWindowController* main = m_delegate->mainWindowController();
  if (ZPHSourceListViewController* sourceList = main != nullptr ? main->sourceListViewController() : nullptr)
    sourceList->toggleSortInsideFoldersOnly();
}

void ZPHApplicationCommands::toggleFullScreen()
{
  QMainWindow* main = m_delegate->mainWindow();
  if (main == nullptr)
    return;
  if (main->isFullScreen())
    main->showNormal();
  else
    main->showFullScreen();
}

bool ZPHApplicationCommands::isSourceListHidden() const
{
  ZPHMainWindowController* main = m_delegate->mainWindowController();
  ZPHMainWindowSplitView* split = main != nullptr ? main->applicationSplitView() : nullptr;
  QWidget* sourceList = split != nullptr && split->count() > 0 ? split->widget(0) : nullptr;
  return sourceList == nullptr || sourceList->isHidden() || split->sizes().value(0) < 2;
}

void ZPHApplicationCommands::hideSourceList()
{
  ZPHMainWindowController* main = m_delegate->mainWindowController();
  ZPHMainWindowSplitView* split = main != nullptr ? main->applicationSplitView() : nullptr;
  if (split == nullptr || split->count() < 2)
    return;
  QWidget* sourceList = split->widget(0);
  if (!isSourceListHidden()) {
    sourceList->setProperty("zph_widthBeforeHiding", split->sizes().value(0));
    sourceList->hide();
  } else {
    sourceList->show();
    const int width = std::max(ZPHSourceListViewController::MinimumSidebarWidth,
                               sourceList->property("zph_widthBeforeHiding").toInt());
    const int total = split->width() - split->handleWidth();
    split->setSizes({width, std::max(0, total - width)});
  }
  split->update();
}

void ZPHApplicationCommands::setLayoutMode(int mode)
{
  // The article list follows the setting while it runs.
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHContentLayoutMode, mode == 1 ? 1 : 0);
}

void ZPHApplicationCommands::selectFind()
{
  QPointer<ZPHAppDelegate> delegate = m_delegate;
  QTimer::singleShot(0, this, [delegate] {
    ZPHMainWindowController* main = delegate != nullptr ? delegate->mainWindowController() : nullptr;
    if (main != nullptr && main->searchWindowController() != nullptr)
      main->searchWindowController()->revealSearchField();
  });
}

// MARK: - Tabs

int ZPHApplicationCommands::numberOfTabs() const
{
  const auto& count = m_delegate->seams().numberOfTabs;
  return count ? count() : 1;
}

int ZPHApplicationCommands::tabsViewState()
{
  // Read with the tabs' rule until their own function is here: 1, else 0.
  return ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHBrowserTabsViewState) == 1 ? 1 : 0;
}

void ZPHApplicationCommands::toggleShowThumbnailsInTabs()
{
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHBrowserTabsViewState, tabsViewState() == 1 ? 0 : 1);
}

bool ZPHApplicationCommands::shouldDisplayCloseAllTabsWarning() const
{
  return ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHDisplayCloseAllTabsWarningSheet);
}

void ZPHApplicationCommands::setShouldDisplayCloseAllTabsWarning(bool display)
{
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHDisplayCloseAllTabsWarningSheet, display);
}

std::pair<QString, QString> ZPHApplicationCommands::closeAllTabsTexts(int tabs)
{
  if (tabs == 2)
    return {tr("Are you sure you want to close the one open tab?"), tr("Close Tab")};
  return {tr("Are you sure you want to close all %1 tabs?").arg(tabs - 1), tr("Close Tabs")};
}

void ZPHApplicationCommands::closeAllTabs()
{
  ZPHMainWindowController* main = m_delegate->mainWindowController();
  if (main == nullptr || numberOfTabs() < 2)
    return;
  if (!shouldDisplayCloseAllTabsWarning()) {
    main->sendAction(QStringLiteral("actuallyCloseAllTabs:"));
    return;
  }
  m_delegate->makePrimaryWindowKeyAndOrderedFront();
  const auto [message, button] = closeAllTabsTexts(numberOfTabs());
  auto* box = new QMessageBox(m_delegate->mainWindow());
  box->setObjectName(QStringLiteral("closeAllTabsSheet"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setIcon(QMessageBox::Warning);
  box->setTextFormat(Qt::PlainText);
  box->setText(message);
  box->setInformativeText(tr("There is no undo for closing all tabs."));
  QPushButton* close = box->addButton(button, QMessageBox::AcceptRole);
  box->addButton(tr("Cancel"), QMessageBox::RejectRole);
  box->setDefaultButton(close);
  // The small control size: 11 points where the message is in 13, so a
  // little smaller than the desktop's text whatever its size.
  auto* suppress = new QCheckBox(tr("Do not ask me again"), box);
  QFont small = box->font();
  if (small.pointSizeF() > 0)
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 11.0 / 13.0));
  suppress->setFont(small);
  box->setCheckBox(suppress);
  QPointer<ZPHMainWindowController> weakMain = main;
  connect(box, &QMessageBox::finished, this, [this, box, close, suppress, weakMain] {
    if (box->clickedButton() != static_cast<QAbstractButton*>(close))
      return;
    if (suppress->isChecked())
      setShouldDisplayCloseAllTabsWarning(false);
    if (weakMain != nullptr)
      weakMain->sendAction(QStringLiteral("actuallyCloseAllTabs:"));
  });
  m_closeAllTabsSheet = box;
  if (!m_delegate->runModalSheet(box, {})) {
    m_closeAllTabsSheet = nullptr;
    box->deleteLater();
  }
}

QString ZPHApplicationCommands::extensionForTabsExportFormat(int format)
{
  return format == 1 ? QStringLiteral("txt") : format == 2 ? QStringLiteral("opml") : QStringLiteral("html");
}

QString ZPHApplicationCommands::tabsExportFileName(const QDateTime& when, int format)
{
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  return QStringLiteral("Zephlin Tabs %1 at %2.%3")
      .arg(english.toString(when, QStringLiteral("yyyy-MM-dd")), english.toString(when, QStringLiteral("h.mm.ss AP")),
           extensionForTabsExportFormat(format));
}

bool ZPHApplicationCommands::writeTabsExport(const QString& path, int format)
{
  const auto& tabs = m_delegate->seams().tabURLsAndTitles;
  const auto& writer = m_delegate->seams().exportTabsText;
  const QString text = tabs && writer ? writer(tabs(), format) : QString();
  QSaveFile file(path);
  const QByteArray bytes = text.toUtf8();
  QString problem;
  if (text.isEmpty())
    problem = tr("There are no tabs to export.");
  else if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    problem = file.errorString();
  if (problem.isEmpty())
    return true;
  qCWarning(zphShell).noquote() << "could not export the tabs to" << path << problem;
  m_delegate->showAlertSheetWithTitle(tr("The tabs could not be exported."), problem);
  return false;
}

void ZPHApplicationCommands::exportTabs()
{
  QMainWindow* main = m_delegate->mainWindow();
  if (main == nullptr || numberOfTabs() < 2 || !m_delegate->seams().exportTabsText)
    return;
  auto* panel = new QFileDialog(main, tr("Export tabs to file"));
  panel->setObjectName(QStringLiteral("tabsExportPanel"));
  panel->setAttribute(Qt::WA_DeleteOnClose);
  panel->setAcceptMode(QFileDialog::AcceptSave);
  const QStringList filters{tr("Web Page (*.html)"), tr("Plain Text (*.txt)"), tr("OPML (*.opml)")};
  panel->setNameFilters(filters);
  panel->setDefaultSuffix(extensionForTabsExportFormat(0));
  panel->selectFile(tabsExportFileName(m_delegate->now(), 0));
  // Choosing another format changes the name's extension.
  connect(panel, &QFileDialog::filterSelected, panel, [this, panel, filters](const QString& filter) {
    const int format = std::max<int>(0, int(filters.indexOf(filter)));
    panel->setDefaultSuffix(extensionForTabsExportFormat(format));
    panel->selectFile(tabsExportFileName(m_delegate->now(), format));
  });
  connect(panel, &QFileDialog::fileSelected, this, [this, panel, filters](const QString& path) {
    const int format = std::max<int>(0, int(filters.indexOf(panel->selectedNameFilter())));
    QString target = path;
    const QString extension = QStringLiteral(".") + extensionForTabsExportFormat(format);
    if (!target.endsWith(extension, Qt::CaseInsensitive))
      target += extension;
    // After the panel has gone, so the alert can be a sheet.
    QTimer::singleShot(0, this, [this, target, format] { writeTabsExport(target, format); });
  });
  m_tabsExportPanel = panel;
  if (!m_delegate->runModalSheet(panel, {})) {
    m_tabsExportPanel = nullptr;
    panel->deleteLater();
  }
}

// MARK: - Windows

void ZPHApplicationCommands::showWelcomeWindow(unsigned type)
{
  if (m_welcomeWindowController != nullptr) {
    m_welcomeWindowController->showWindow();
    m_welcomeWindowController->switchToWelcomeWindowType(type);
    return;
  }
  ZPHWelcomeWindowController::Environment environment;
  environment.importer = m_delegate->seams().zephlin3Importer;
  m_welcomeWindowController = std::make_unique<ZPHWelcomeWindowController>(type, std::move(environment));
  connect(m_welcomeWindowController.get(), &ZPHWelcomeWindowController::windowWillClose, this, [this] {
    // The main window shows when the welcome window goes; the controller
    // goes two turns later, after the close has run its course.
    m_delegate->makePrimaryWindowKeyAndOrderedFront();
    QTimer::singleShot(0, this, [this] {
      QTimer::singleShot(0, this, [this] {
        if (m_welcomeWindowController != nullptr && !m_welcomeWindowController->window()->isVisible()) {
          m_welcomeWindowController->invalidate();
          m_welcomeWindowController.reset();
        }
      });
    });
  });
  m_welcomeWindowController->showWindow();
}

void ZPHApplicationCommands::pesterAboutNewsLetterIfAppropriate()
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  if (defaults.integerForKey(ZPHNumberOfLaunchesKey) < 10 ||
      ZPHWelcomeStayInformedViewController::userHasSubscribedToNewsletter() ||
      defaults.boolForKey(ZPHHasAskedToSignUpToNewsletterKey))
    return;
  defaults.setBool(ZPHHasAskedToSignUpToNewsletterKey, true);
  showWelcomeWindow(2);
}

void ZPHApplicationCommands::offerToBecomeDefaultFeedReader()
{
  const QString own = ZPHDesktopEntries::ownDesktopFileID();
  // Zephlin has an id only where its desktop entry is installed.
  if (ZPHDesktopEntries::entryWithID(own).isNull()) {
    Q_EMIT defaultFeedReaderChecked(false);
    return;
  }
  ZPHDesktopEntries::queryDefaultApplication(ZPHPreferencesGeneralViewController::FeedMimeType, this,
                                             [this, own](const QString& id) {
                                               const bool offer = id != own;
                                               if (offer)
                                                 runDefaultAggregatorSheet();
                                               Q_EMIT defaultFeedReaderChecked(offer);
                                             });
}

void ZPHApplicationCommands::runDefaultAggregatorSheet()
{
  if (m_delegate->runningModalSheet() ||
      ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHSuppressDefaultAggregatorPromptKey))
    return;
  m_delegate->makePrimaryWindowKeyAndOrderedFront();
  auto* box = new QMessageBox(m_delegate->mainWindow());
  box->setObjectName(QStringLiteral("defaultAggregatorSheet"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setIcon(QMessageBox::Information);
  box->setTextFormat(Qt::PlainText);
  box->setText(tr("Set Zephlin as your default newsreader?"));
  box->setInformativeText(
      tr("When you click on a site\u2019s news feed link in your browser, it will send the link "
         "to Zephlin so you can add it to your sites."));
  QPushButton* set = box->addButton(tr("Set as Default"), QMessageBox::AcceptRole);
  box->addButton(tr("Don\u2019t Set"), QMessageBox::RejectRole);
  box->setDefaultButton(set);
  auto* suppress = new QCheckBox(tr("Do not ask me again"), box);
  box->setCheckBox(suppress);
  connect(box, &QMessageBox::finished, this, [this, box, set, suppress] {
    ZPHUserDefaults::standardUserDefaults().setBool(ZPHSuppressDefaultAggregatorPromptKey, suppress->isChecked());
    if (box->clickedButton() == static_cast<QAbstractButton*>(set))
      ZPHDesktopEntries::setDefaultApplication(ZPHDesktopEntries::ownDesktopFileID(),
                                               ZPHPreferencesGeneralViewController::FeedMimeType, this, {});
  });
  m_defaultAggregatorSheet = box;
  if (!m_delegate->runModalSheet(box, {})) {
    m_defaultAggregatorSheet = nullptr;
    box->deleteLater();
  }
}
