#include "browser/ZPHTabCommands.h"

#include "browser/ZPHTabsController.h"
#include "browser/ZPHTabsControllerHost.h"
#include "common/ZPHApplicationNotifications.h"
#include "foundation/CBPrefs.h"
#include "keys/FRNHKeyMappingController.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"

#include <QtGui/QAction>
#include <QtWidgets/QWidget>

const QStringList& ZPHTabCommands::selectors()
{
  static const QStringList names{
      QStringLiteral("newTab:"),
      QStringLiteral("closeTab:"),
      QStringLiteral("performClose:"),
      QStringLiteral("actuallyCloseAllTabs:"),
      QStringLiteral("showTabBar:"),
      QStringLiteral("hideTabBar:"),
      QStringLiteral("automaticallyShowHideTabBar:"),
      QStringLiteral("selectNextTab:"),
      QStringLiteral("selectPreviousTab:"),
      QStringLiteral("selectNewsItemsTab:"),
  };
  return names;
}

ZPHTabCommands::ZPHTabCommands(QObject* owner, std::function<void()> showMainWindow, ZPHUserDefaults* defaults)
    : QObject(owner),
      m_owner(owner),
      m_showMainWindow(std::move(showMainWindow)),
      m_defaults(defaults != nullptr ? defaults : &ZPHUserDefaults::standardUserDefaults())
{
  makeAction(QStringLiteral("newTab:"), tr("New Tab"), [this] { openNewTab(); });
  makeAction(QStringLiteral("closeTab:"), tr("Close Tab"), [this] {
    if (m_tabs)
      m_tabs->closeTab();
  });
  makeAction(QStringLiteral("performClose:"), tr("Close Window"), [this] {
    QWidget* window = m_tabs && m_tabs->host() ? m_tabs->host()->window() : nullptr;
    if (window != nullptr)
      window->close();
  });
  makeAction(QStringLiteral("actuallyCloseAllTabs:"), tr("Close All Tabs"), [this] {
    if (m_tabs)
      m_tabs->closeTabsOtherThanNewsItemsTab();
  });
  makeAction(QStringLiteral("showTabBar:"), tr("Always Show Tabs"), [this] { setTabsVisibility(1); });
  makeAction(QStringLiteral("hideTabBar:"), tr("Never Show Tabs"), [this] { setTabsVisibility(2); });
  makeAction(QStringLiteral("automaticallyShowHideTabBar:"), tr("Show Tabs Automatically"),
             [this] { setTabsVisibility(0); });
  makeAction(QStringLiteral("selectNextTab:"), tr("Select Next Tab"), [this] {
    if (m_tabs)
      m_tabs->selectNextTab();
  });
  makeAction(QStringLiteral("selectPreviousTab:"), tr("Select Previous Tab"), [this] {
    if (m_tabs)
      m_tabs->selectPreviousTab();
  });
  makeAction(QStringLiteral("selectNewsItemsTab:"), tr("Select News Items Tab"), [this] {
    if (m_tabs)
      m_tabs->selectNewsItemsTab();
  });
  for (const char* mode : {"showTabBar:", "hideTabBar:", "automaticallyShowHideTabBar:"})
    action(QString::fromLatin1(mode))->setCheckable(true);
  m_defaults->observe(ZPHBrowserTabsVisibility, this, [this](const QVariant&) { validateCommands(); });
  // A shortcut set gives Close Tab its key again; the tabs decide who has it.
  m_keySetObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      FRNHKeyMappingSetNameDidChangeNotification, QVariant(), this, [this](const ZPHNotification&) {
        if (m_tabs)
          m_tabs->updateKeyboardShortcuts();
      });
  validateCommands();
}

ZPHTabCommands::~ZPHTabCommands() = default;

ZPHTabsController* ZPHTabCommands::tabsController() const { return m_tabs; }

QAction* ZPHTabCommands::makeAction(const QString& selector, const QString& title, std::function<void()> run)
{
  auto* item = new QAction(title, m_owner);
  item->setObjectName(selector);
  connect(item, &QAction::triggered, this, [this, item, run = std::move(run)] {
    // A command that does not validate now does nothing (a shortcut may
    // still reach it).
    if (validateCommand(item))
      run();
    validateCommands();
  });
  m_actions.append(item);
  return item;
}

QAction* ZPHTabCommands::action(const QString& selector) const
{
  for (const QPointer<QAction>& item : m_actions)
    if (item && item->objectName() == selector)
      return item;
  return nullptr;
}

void ZPHTabCommands::setTabsController(ZPHTabsController* tabs)
{
  if (m_tabs)
    disconnect(m_tabs, nullptr, this, nullptr);
  m_tabs = tabs;
  if (tabs == nullptr) {
    validateCommands();
    return;
  }
  // The menu hand-over: Close Tab and Close Window share Ctrl+W.
  tabs->setCloseTabMenuItem(action(QStringLiteral("closeTab:")));
  tabs->setCloseWindowMenuItem(action(QStringLiteral("performClose:")));
  connect(tabs, &ZPHTabsController::selectedTabIndexChanged, this, &ZPHTabCommands::validateCommands);
  connect(tabs, &ZPHTabsController::numberOfTabsChanged, this, &ZPHTabCommands::validateCommands);
  // The column as the setting stored it, without animation.
  tabs->changeTabsVisibility(int(m_defaults->integerForKey(ZPHBrowserTabsVisibility)), false);
  tabs->updateKeyboardShortcuts();
  validateCommands();
}

bool ZPHTabCommands::validateCommand(QAction* item)
{
  if (item == nullptr || !m_actions.contains(item))
    return false;
  const QString selector = item->objectName();
  const qint64 visibility = m_defaults->integerForKey(ZPHBrowserTabsVisibility);
  bool enabled = false;
  if (selector == QLatin1String("showTabBar:")) {
    item->setChecked(visibility == 1);
    enabled = true;
  } else if (selector == QLatin1String("hideTabBar:")) {
    item->setChecked(visibility == 2);
    enabled = true;
  } else if (selector == QLatin1String("automaticallyShowHideTabBar:")) {
    item->setChecked(visibility != 1 && visibility != 2);
    enabled = true;
  } else if (m_tabs) {
    if (selector == QLatin1String("newTab:"))
      enabled = true;
    else if (selector == QLatin1String("closeTab:"))
      enabled = m_tabs->validateMenuItem(item) && !m_tabs->isNewsItemsTabSelected();
    else if (selector == QLatin1String("performClose:"))
      enabled = m_tabs->validateMenuItem(item);
    else if (selector == QLatin1String("actuallyCloseAllTabs:") || selector == QLatin1String("selectNextTab:") ||
             selector == QLatin1String("selectPreviousTab:"))
      enabled = m_tabs->numberOfTabs() > 1;
    else if (selector == QLatin1String("selectNewsItemsTab:"))
      enabled = !m_tabs->isNewsItemsTabSelected();
  } else if (selector == QLatin1String("performClose:")) {
    enabled = true;
  }
  item->setEnabled(enabled);
  return enabled;
}

void ZPHTabCommands::validateCommands()
{
  for (const QPointer<QAction>& item : std::as_const(m_actions))
    if (item)
      validateCommand(item);
}

bool ZPHTabCommands::openURLInTab(const QUrl& url, bool selectNewTab)
{
  if (!m_tabs || !url.isValid())
    return false;
  const qsizetype index = m_tabs->openURLStringInNewTab(url.toString(QUrl::FullyEncoded), selectNewTab, false);
  if (index == ZPHTabsController::NotFound)
    return false;
  if (!selectNewTab)
    ZPHNotificationCenter::defaultCenter().post(ZPHAppDelegateBackgroundTabOpenedNotification);
  return true;
}

bool ZPHTabCommands::openNewTab()
{
  if (!m_tabs)
    return false;
  if (m_showMainWindow)
    m_showMainWindow();
  m_tabs->openEmptyPageInNewTab();
  validateCommands();
  return true;
}

void ZPHTabCommands::saveTabs()
{
  if (m_tabs)
    m_tabs->saveTabsToDiskIfNeeded();
}

void ZPHTabCommands::setTabsVisibility(int mode)
{
  m_defaults->setInteger(ZPHBrowserTabsVisibility, mode);
  if (m_tabs)
    m_tabs->changeTabsVisibility(mode, true);
  validateCommands();
}
