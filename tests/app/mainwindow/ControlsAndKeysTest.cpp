// Controls that do nothing look like it, and every key of both shortcut
// sets reaches its command or is bound to nothing, in the running
// application: the table of every key of "Zephlin 4" and "Zephlin 3"
// against the commands that exist; the toolbar's Add Site control, the
// source list's add button and menu, the placeholder's buttons and the
// article page's menu, off without a command and on, doing it, with one.

#include "app/shell/AppHarness.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHEmptyContentsViewController.h"
#include "articlelist/ZPHReadingLayoutViewController.h"
#include "articleview/ZPHArticleDetailViewController.h"
#include "articleview/ZPHStyleSheetController.h"
#include "articleview/ZPHWebArticleDetailPane.h"
#include "foundation/CBPrefs.h"
#include "keys/ZPHKeyMappingController.h"
#include "kit/CBPopupButton.h"
#include "mainwindow/ZPHMainWindow.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/toolbar/ZPHMainWindowToolbarController.h"
#include "sourcelist/ZPHSourceListCommands.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/accounts/ZPHArticleListController.h"
#include "store/entities/CBDataArticle.h"
#include "themes/ZPHEmptyContentsViewButton.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHWebElement.h"

#include <QtCore/QFile>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtGui/QAction>
#include <QtGui/QShortcutEvent>
#include <QtTest/QTest>
#include <QtWidgets/QMenu>

#include <iostream>
#include <memory>

namespace {

// Takes every shortcut that reaches an action while it lives, and keeps it
// from running the command.
class ShortcutCatcher : public QObject {
public:
  ShortcutCatcher() { qApp->installEventFilter(this); }
  ~ShortcutCatcher() override { qApp->removeEventFilter(this); }

  struct Caught {
    QPointer<QAction> action;
    bool ambiguous = false;
  };
  QList<Caught> caught;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override
  {
    if (event->type() == QEvent::Shortcut) {
      if (auto* action = qobject_cast<QAction*>(watched)) {
        caught.append({action, static_cast<QShortcutEvent*>(event)->isAmbiguous()});
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// A command of the application's, put in where the application has none.
class CommandStandIn : public QAction {
public:
  CommandStandIn(const QString& selector, QObject* owner) : QAction(owner)
  {
    setObjectName(selector);
    connect(this, &QAction::triggered, this, [this] { ++runs; });
  }
  int runs = 0;
};

class ControlsAndKeysTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ASSERT_TRUE(server.start());
    ZPHServeTestFeed(server, 3);
  }
  void TearDown() override
  {
    app.stop();
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHKeyMapSetName);
  }

  // The application on a store with the loopback feed, its articles listed.
  void startWithFeed()
  {
    ASSERT_NO_FATAL_FAILURE(
        ZPHSeedStoreWithFeed(dir.filePath(QStringLiteral("data")), server.url(QStringLiteral("/feed.xml"))));
    RefreshSessionCounter sessions;
    ASSERT_NO_FATAL_FAILURE(startEmpty());
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished > 0; }, 30000));
    app.settle();
    controller->sourceListViewController()->selectRow(1);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return list() != nullptr && list()->count() == 3; }));
  }

  void startEmpty()
  {
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    controller = app.delegate->mainWindowController();
    window = qobject_cast<ZPHMainWindow*>(controller->window());
    ASSERT_NE(window, nullptr);
    window->activateWindow();
  }

  ZPHArticleListController* list() const { return controller->articleListDelegate()->articleListController(); }
  ZPHReadingLayoutViewController* layout() const
  {
    return controller->articleListDelegate()->currentLayoutViewController();
  }
  // The command of that name wherever the window finds it: its focused
  // views' controllers, the window's controller, the application.
  QAction* command(const QString& selector) const
  {
    if (QAction* action = controller->responderChain().actionForSelector(selector, window->focusWidget()))
      return action;
    for (QAction* action : window->findChildren<QAction*>(selector)) return action;
    return app.delegate->commandAction(selector);
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  AppHarness app{dir.filePath(QStringLiteral("data"))};
  ZPHMainWindowController* controller = nullptr;
  ZPHMainWindow* window = nullptr;
};

}  // namespace

TEST_F(ControlsAndKeysTest, EveryKeyOfBothShortcutSetsReachesItsCommandOrIsBoundToNothing)
{
  ASSERT_NO_FATAL_FAILURE(startWithFeed());
  ZPHKeyMappingController* mapping = ZPHKeyMappingController::sharedMappingController();
  QStringList table;
  int reached = 0;
  int unbound = 0;
  for (const QString& set : {ZPHKeyMappingController::Zephlin4SetName, ZPHKeyMappingController::Zephlin3SetName}) {
    ZPHUserDefaults::standardUserDefaults().setString(ZPHKeyMapSetName, set);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return mapping->keySetName() == set; }));
    QFile file(QStringLiteral(":/KeyMappings/%1.json").arg(set));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject mappings =
        QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("Mappings")).toObject();
    ASSERT_GT(mappings.size(), 20);

    for (auto entry = mappings.begin(); entry != mappings.end(); ++entry) {
      const QString selector = entry.key();
      const QJsonObject key = entry.value().toObject();
      const QKeySequence sequence = mapping->keySequenceForKeyEquivalent(
          key.value(QStringLiteral("key")).toInt(-1), quint64(key.value(QStringLiteral("modifier")).toDouble()));
      SCOPED_TRACE((set + QStringLiteral(" ") + sequence.toString() + QStringLiteral(" ") + selector).toStdString());
      ASSERT_EQ(sequence.count(), 1);
      const QKeyCombination pressed = sequence[0];

      // From the source list and from the article list.
      for (QWidget* focus : {static_cast<QWidget*>(controller->sourceListViewController()->sourceListOutlineView()),
                             layout()->controlView()}) {
        focus->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(ZPHTestWaitUntil([&] { return window->focusWidget() == focus; }));
        QAction* action = command(selector);
        // Ctrl+W closes the window while no browser tab is open: the key
        // sits on Close Window then, and moves to Close Tab with the tabs.
        if (action != nullptr && selector == QLatin1String("closeTab:") && action->shortcut().isEmpty())
          action = command(QStringLiteral("performClose:"));
        // Enabled for the press: whether the command may run now is its
        // own business; the key has to reach it.
        const bool wasEnabled = action != nullptr && action->isEnabled();
        if (action != nullptr)
          action->setEnabled(true);
        ShortcutCatcher catcher;
        // Pressed on the focused view: the window's form of the press serves
        // the event loop after each modifier, and a validation waiting there
        // would turn the command off again before its key comes.
        QTest::keyClick(focus, pressed.key(), pressed.keyboardModifiers());
        if (action != nullptr)
          action->setEnabled(wasEnabled);

        ASSERT_NE(action, nullptr) << "a key whose command is missing";
        // The set's key, beside a key of the desktop (F11 for full screen).
        EXPECT_TRUE(action->shortcuts().contains(sequence));
        ASSERT_EQ(catcher.caught.size(), 1) << "the key reached " << catcher.caught.size() << " commands";
        EXPECT_EQ(catcher.caught.first().action, action);
        EXPECT_FALSE(catcher.caught.first().ambiguous);
      }
      QAction* action = command(selector);
      const QString owner = action != nullptr ? QString::fromLatin1(action->parent()->metaObject()->className())
                                              : QStringLiteral("not bound");
      table.append(
          QStringLiteral("%1  %2  %3  %4").arg(set, -10).arg(sequence.toString(), -16).arg(selector, -32).arg(owner));
      (action != nullptr ? reached : unbound) += 1;
    }
  }
  std::cout << "Keys of the shortcut sets (" << reached << " reach a command, " << unbound << " not bound):\n"
            << table.join(QLatin1Char('\n')).toStdString() << std::endl;
}

TEST_F(ControlsAndKeysTest, AddSiteAndTheAddButtonAreOffWithoutTheirCommandsAndRunThem)
{
  ASSERT_NO_FATAL_FAILURE(startWithFeed());
  using Toolbar = ZPHMainWindowToolbarController;
  QWidget* addSite = controller->toolbarController()->controlForItemIdentifier(Toolbar::AddRemoveItemIdentifier);
  ASSERT_NE(addSite, nullptr);
  ZPHSourceListViewController* sourceList = controller->sourceListViewController();
  CBPopupButton* addButton = sourceList->addMenuPopUpButton();
  const auto validated = [&] {
    controller->validateCommands();
    return true;
  };

  // As the application has them now.
  validated();
  const bool hasAddFeed = ZPHAppServices::enabledCommandAction(QStringLiteral("addFeed:")) != nullptr;
  const bool hasAddFolder = ZPHAppServices::enabledCommandAction(QStringLiteral("addFolder:")) != nullptr;
  EXPECT_EQ(addSite->isEnabled(), hasAddFeed);
  EXPECT_EQ(addButton->isEnabled(), hasAddFeed || hasAddFolder);
  {
    std::unique_ptr<QMenu> menu(sourceList->commands()->addButtonMenu(nullptr));
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().at(0)->isEnabled(), hasAddFeed);
    EXPECT_EQ(menu->actions().at(1)->isEnabled(), hasAddFolder);
  }

  // With the application's commands of its own (stand-ins where the
  // application has none) they are on and run them.
  std::unique_ptr<CommandStandIn> addFeed;
  std::unique_ptr<CommandStandIn> addFolder;
  if (!hasAddFeed)
    addFeed = std::make_unique<CommandStandIn>(QStringLiteral("addFeed:"), app.delegate.get());
  if (!hasAddFolder)
    addFolder = std::make_unique<CommandStandIn>(QStringLiteral("addFolder:"), app.delegate.get());
  validated();
  EXPECT_TRUE(addSite->isEnabled());
  EXPECT_TRUE(addButton->isEnabled());
  std::unique_ptr<QMenu> menu(sourceList->commands()->addButtonMenu(nullptr));
  for (QAction* item : menu->actions()) EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
  if (addFeed != nullptr) {
    controller->toolbarController()->addRemoveSegmentedControlClicked(0);
    EXPECT_EQ(addFeed->runs, 1);
  }
  if (addFolder != nullptr) {
    menu->actions().at(1)->trigger();
    EXPECT_EQ(addFolder->runs, 1);
  }

  // Taken away again: off again.
  if (addFeed == nullptr || addFolder == nullptr)
    return;
  addFeed.reset();
  addFolder.reset();
  validated();
  EXPECT_FALSE(addSite->isEnabled());
  EXPECT_FALSE(addButton->isEnabled());
}

TEST_F(ControlsAndKeysTest, ThePlaceholdersButtonIsOffWithoutItsCommandAndRunsIt)
{
  // Nothing subscribed: "No Sites" and its "Add Some Sites" button.
  ASSERT_NO_FATAL_FAILURE(startEmpty());
  ZPHEmptyContentsViewController* placeholder = controller->articleListDelegate()->overallEmptyContentsViewController();
  ASSERT_NE(placeholder, nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] { return placeholder->buttonAction() == ZPHEmptyContentsViewController::ButtonAction::AddSites; }));
  ZPHEmptyContentsViewButton* button = placeholder->button();
  const bool hasCommand = ZPHAppServices::enabledCommandAction(QStringLiteral("addPopularSites:")) != nullptr;
  EXPECT_EQ(button->isEnabled(), hasCommand);
  if (hasCommand)
    return;

  auto addPopularSites = std::make_unique<CommandStandIn>(QStringLiteral("addPopularSites:"), app.delegate.get());
  placeholder->configureForNoSelection();
  EXPECT_TRUE(button->isEnabled());
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(addPopularSites->runs, 1);
}

TEST_F(ControlsAndKeysTest, ThePagesMenuMakesTheTextLargerAndSmallerThroughTheWindow)
{
  ASSERT_NO_FATAL_FAILURE(startWithFeed());
  ZPHStyleSheetController::sharedController()->resetFontSizes();
  controller->articleListDelegate()->navigateToArticleInCurrentList(list()->articleAtIndex(0));
  auto* pane = dynamic_cast<ZPHWebArticleDetailPane*>(layout()->detailViewController());
  ASSERT_NE(pane, nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] { return pane->webView() != nullptr && !layout()->awaitingMainFrameLoadingComplete(); }, 20000));
  controller->validateCommands();

  const auto itemTitled = [](QMenu* menu, const QString& title) -> QAction* {
    for (QAction* action : menu->actions())
      if (action->text() == title)
        return action;
    return nullptr;
  };
  const int size = ZPHStyleSheetController::sharedController()->defaultFontSize();
  std::unique_ptr<QMenu> menu(pane->detailViewController()->contextualMenuForWebView(pane->webView(), ZPHWebElement{}));
  QAction* larger = itemTitled(menu.get(), QStringLiteral("Make Text Larger"));
  QAction* smaller = itemTitled(menu.get(), QStringLiteral("Make Text Smaller"));
  ASSERT_NE(larger, nullptr);
  ASSERT_NE(smaller, nullptr);
  EXPECT_TRUE(larger->isEnabled());
  EXPECT_TRUE(smaller->isEnabled());
  larger->trigger();
  EXPECT_EQ(ZPHStyleSheetController::sharedController()->defaultFontSize(), size + 1);
  smaller->trigger();
  EXPECT_EQ(ZPHStyleSheetController::sharedController()->defaultFontSize(), size);
  ZPHStyleSheetController::sharedController()->resetFontSizes();
}
