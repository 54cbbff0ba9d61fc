// The welcome window: its first step by type, the slides between steps (a
// close waits for the slide), the previous version's import through the
// application's importer, the mailing-list sign-up against a loopback
// service, and the first run and the reminder in the running application.

#include "app/shell/AppHarness.h"
#include "common/ZPHApplicationNotifications.h"
#include "common/ZPHBuildInfo.h"
#include "foundation/CBPrefs.h"
#include "sheets/CSAPI.h"
#include "sheets/ZPHWelcomeEmailTextField.h"
#include "sheets/ZPHWelcomeIntroViewController.h"
#include "sheets/ZPHWelcomeStayInformedViewController.h"
#include "sheets/ZPHWelcomeWindow.h"
#include "sheets/ZPHWelcomeWindowController.h"
#include "sheets/ZPHWelcomeWindowProgressOverlayView.h"
#include "sheets/ZPHWelcomeZephlin3ImportViewController.h"
#include "shell/ZPHApplicationCommands.h"

#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

namespace {

ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

// An importer the test steers.
struct Importer {
  bool possible = true;
  int imports = 0;
  ZPHWelcomeImporter::Completion pending;
  ZPHWelcomeImporter seam()
  {
    return {[this] { return possible; },
            [this](ZPHWelcomeImporter::Completion completion) {
              ++imports;
              pending = std::move(completion);
            }};
  }
};

class WelcomeWindowTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    defaults().removeObject(ZPHHasSubscribedToNewsletter);
    defaults().removeObject(ZPHKeyMapSetName);
    imports = ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHImportDidFinishNotification, QVariant(), [this](const ZPHNotification& n) { finished.append(n.userInfo); });
  }
  void TearDown() override { defaults().removeObject(ZPHHasSubscribedToNewsletter); }

  std::unique_ptr<ZPHWelcomeWindowController> make(unsigned type, bool mailingList = false)
  {
    ZPHWelcomeWindowController::Environment environment;
    environment.importer = importer.seam();
    environment.userFullName = [] { return QStringLiteral("Ada Reader"); };
    environment.hasMailingList = [mailingList] { return mailingList; };
    environment.makeMailingListClient = [this](QObject* parent) {
      return new CSAPI(QStringLiteral("key"), service.url(QStringLiteral("/api/v3/")), QStringLiteral("pw"), parent);
    };
    auto controller = std::make_unique<ZPHWelcomeWindowController>(type, std::move(environment));
    controller->showWindow();
    return controller;
  }
  static bool slideEnds(ZPHWelcomeWindowController& controller)
  {
    return ZPHTestWaitUntil([&] { return !controller.currentlyAnimatingTransition(); }, 20000);
  }

  Importer importer;
  ZPHTestHTTPServer service;
  QList<QVariantMap> finished;
  ZPHObserverToken imports;
};

TEST_F(WelcomeWindowTest, TheFirstStepByTypeAndTitle)
{
  struct Case {
    const char* name;
    unsigned type;
    bool possible;
    unsigned state;
    QString title;
  };
  const QList<Case> cases = {
      {"first run with the old version's sites", 0, true, 1, QStringLiteral("Welcome to Zephlin")},
      {"first run without them", 0, false, 3, QStringLiteral("Welcome to Zephlin")},
      {"the import command", 1, true, 2, QStringLiteral("Zephlin 3 Import")},
      {"the reminder", 2, true, 3, QStringLiteral("Welcome to Zephlin")},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    importer.possible = test.possible;
    std::unique_ptr<ZPHWelcomeWindowController> controller = make(test.type, true);
    EXPECT_EQ(controller->currentState(), test.state);
    EXPECT_EQ(controller->window()->windowTitle(), test.title);
    if (auto* informed = qobject_cast<ZPHWelcomeStayInformedViewController*>(controller->currentViewController())) {
      // The first step says so, and offers "No Thanks".
      EXPECT_EQ(informed->detailStringValue(), QStringLiteral("Keep up to date with Zephlin."));
      EXPECT_TRUE(informed->noThanksButtonVisible());
    }
    if (auto* import = qobject_cast<ZPHWelcomeImportViewController*>(controller->currentViewController())) {
      EXPECT_EQ(import->showSkipButton(), test.type == 0);
    }
  }
}

TEST_F(WelcomeWindowTest, AFirstRunImportsThenStaysInformedAndACloseWaitsForTheSlide)
{
  std::unique_ptr<ZPHWelcomeWindowController> controller = make(0);
  auto* intro = qobject_cast<ZPHWelcomeIntroViewController*>(controller->currentViewController());
  ASSERT_NE(intro, nullptr);
  QTest::mouseClick(intro->nextButton(), Qt::LeftButton);
  EXPECT_TRUE(controller->currentlyAnimatingTransition());
  EXPECT_EQ(controller->currentState(), 2u);
  // The close button during the slide: the window stays until it ends.
  controller->window()->close();
  EXPECT_TRUE(controller->window()->isVisible());
  ASSERT_TRUE(slideEnds(*controller));
  EXPECT_FALSE(controller->window()->isVisible());

  // Again, and import this time.
  controller = make(0);
  static_cast<ZPHWelcomeIntroViewController*>(controller->currentViewController())->next();
  ASSERT_TRUE(slideEnds(*controller));
  auto* import = qobject_cast<ZPHWelcomeZephlin3ImportViewController*>(controller->currentViewController());
  ASSERT_NE(import, nullptr);
  import->shortcutsCheckBox()->click();
  EXPECT_EQ(defaults().stringForKey(ZPHKeyMapSetName), QStringLiteral("Zephlin 3"));
  QTest::mouseClick(import->importButton(), Qt::LeftButton);
  EXPECT_TRUE(import->importInProgress());
  EXPECT_FALSE(import->skipButton()->isVisible());
  EXPECT_TRUE(controller->isProgressOverlayShown());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return importer.imports == 1; }));
  // No closing while the import runs.
  controller->window()->close();
  EXPECT_TRUE(controller->window()->isVisible());

  const QString success = import->successText();  // the step goes after the slide
  importer.pending(QVariantList{1, 2}, QVariantList{3}, ZPHError());
  ASSERT_EQ(finished.size(), 1);
  EXPECT_FALSE(finished[0].value(ZPHShouldShowBezelKey).toBool());  // a first run shows no bezel
  EXPECT_EQ(finished[0].value(ZPHImportedFeedsKey).toList().size(), 2);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller->currentState() == 3; }));
  ASSERT_TRUE(slideEnds(*controller));
  auto* informed = qobject_cast<ZPHWelcomeStayInformedViewController*>(controller->currentViewController());
  ASSERT_NE(informed, nullptr);
  EXPECT_EQ(informed->detailStringValue(), success);
  EXPECT_FALSE(informed->noThanksButtonVisible());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller->isProgressOverlayShown(); }));
}

TEST_F(WelcomeWindowTest, ReturnPressesTheStepsDefaultButtonWhereverTheFocusIs)
{
  // The intro: Return is "Next".
  std::unique_ptr<ZPHWelcomeWindowController> controller = make(0);
  ASSERT_TRUE(QTest::qWaitForWindowActive(controller->window()));
  ASSERT_NE(qobject_cast<ZPHWelcomeIntroViewController*>(controller->currentViewController()), nullptr);
  QTest::keyClick(controller->window()->windowHandle(), Qt::Key_Return);
  EXPECT_EQ(controller->currentState(), 2u);
  ASSERT_TRUE(slideEnds(*controller));

  // A first run without the old version's sites and without a mailing
  // list: Return (or Enter) is "Continue", also with the focus on the
  // website link, and closes the window once.
  importer.possible = false;
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
    controller = make(0);
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller->window()));
    auto* informed = qobject_cast<ZPHWelcomeStayInformedViewController*>(controller->currentViewController());
    ASSERT_NE(informed, nullptr);
    auto* website = controller->window()->findChild<QPushButton*>(QStringLiteral("profileButton"));
    ASSERT_NE(website, nullptr);
    website->setFocus(Qt::TabFocusReason);
    QTest::keyClick(controller->window()->windowHandle(), key);
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller->window()->isVisible(); }, 5000));
  }

  // With a mailing list, Return in the address field signs up once.
  ASSERT_TRUE(service.start());
  service.route(QStringLiteral("/api/v3/subscribers/") + ZPHBuildInfo::mailingListID() + QStringLiteral(".json"),
                [](const ZPHTestHTTPRequest&) {
                  ZPHTestHTTPResponse response;
                  response.headers = {{"Content-Type", "application/json"}};
                  response.body = "\"ok\"";
                  return response;
                });
  controller = make(2, true);
  ASSERT_TRUE(QTest::qWaitForWindowActive(controller->window()));
  auto* informed = qobject_cast<ZPHWelcomeStayInformedViewController*>(controller->currentViewController());
  ASSERT_NE(informed, nullptr);
  informed->emailAddressTextField()->setFocus(Qt::TabFocusReason);
  informed->emailAddressTextField()->setText(QStringLiteral("ada@example.com"));
  QTest::keyClick(controller->window()->windowHandle(), Qt::Key_Return);
  EXPECT_TRUE(informed->isSigningUp());
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller->window()->isVisible(); }, 30000));
  EXPECT_EQ(service.requests().size(), 1);
}

TEST_F(WelcomeWindowTest, TheImportButtonChecksAgainAndTheImportWindowClosesByItself)
{
  // Possible when the step showed, gone when the button is pressed.
  std::unique_ptr<ZPHWelcomeWindowController> controller = make(1);
  auto* import = qobject_cast<ZPHWelcomeZephlin3ImportViewController*>(controller->currentViewController());
  ASSERT_NE(import, nullptr);
  EXPECT_FALSE(import->skipButton()->isVisible());
  importer.possible = false;
  import->import();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return finished.size() == 1; }));
  EXPECT_EQ(importer.imports, 0);
  EXPECT_FALSE(finished[0].value(ZPHShouldShowBezelKey).toBool());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller->window()->isVisible(); }));

  // A successful import of the import window asks for the bezel. It ends
  // while the progress overlay still fades in, as on a busy machine: the
  // window closes once the overlay has faded out.
  importer.possible = true;
  controller = make(1);
  qobject_cast<ZPHWelcomeImportViewController*>(controller->currentViewController())->import();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return importer.imports == 1; }));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller->progressOverlayView()->alpha() > 0; }));
  importer.pending({}, {}, ZPHError());
  ASSERT_EQ(finished.size(), 2);
  EXPECT_TRUE(finished[1].value(ZPHShouldShowBezelKey).toBool());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller->window()->isVisible(); }));
}

TEST_F(WelcomeWindowTest, AFailedImportIsShownThenTheFirstRunMovesOnWithTheFailureText)
{
  std::unique_ptr<ZPHWelcomeWindowController> controller = make(0);
  controller->transitionToState(2);
  ASSERT_TRUE(slideEnds(*controller));
  auto* import = qobject_cast<ZPHWelcomeZephlin3ImportViewController*>(controller->currentViewController());
  ASSERT_NE(import, nullptr);
  import->import();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return importer.imports == 1; }));
  const QString failure = import->failureText();
  importer.pending({}, {}, ZPHError(QStringLiteral("Import"), 3));
  QMessageBox* alert = nullptr;
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    alert = controller->window()->findChild<QMessageBox*>();
    return alert != nullptr && alert->isVisible();
  }));
  EXPECT_EQ(alert->text(), QStringLiteral("There was a problem importing your sites from Zephlin 3."));
  EXPECT_TRUE(finished.isEmpty());
  alert->accept();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller->currentState() == 3; }));
  ASSERT_TRUE(slideEnds(*controller));
  EXPECT_EQ(
      qobject_cast<ZPHWelcomeStayInformedViewController*>(controller->currentViewController())->detailStringValue(),
      failure);
}

TEST_F(WelcomeWindowTest, SigningUpStoresYesOnlyWhenTheServiceAgrees)
{
  ASSERT_TRUE(service.start());
  int status = 500;
  service.route(QStringLiteral("/api/v3/subscribers/") + ZPHBuildInfo::mailingListID() + QStringLiteral(".json"),
                [&status](const ZPHTestHTTPRequest&) {
                  ZPHTestHTTPResponse response;
                  response.status = status;
                  response.headers = {{"Content-Type", "application/json"}};
                  response.body = status == 200 ? QByteArray("\"ok\"") : QByteArray(R"({"Code":1,"Message":"Nope"})");
                  return response;
                });
  std::unique_ptr<ZPHWelcomeWindowController> controller = make(2, true);
  auto* informed = qobject_cast<ZPHWelcomeStayInformedViewController*>(controller->currentViewController());
  ASSERT_NE(informed, nullptr);
  // The name comes from the login when the e-mail field is first entered,
  // and never replaces what the user typed.
  informed->emailAddressTextField()->setFocus();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return informed->name() == QStringLiteral("Ada Reader"); }));
  informed->nameTextField()->setText(QStringLiteral("Ada"));
  informed->emailTextFieldWillBecomeFirstResponder();
  EXPECT_EQ(informed->name(), QStringLiteral("Ada"));

  informed->emailAddressTextField()->setText(QStringLiteral("ada@example.com"));
  QTest::mouseClick(informed->nextButton(), Qt::LeftButton);
  EXPECT_FALSE(informed->nextButton()->isEnabled());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return informed->nextButton()->isEnabled(); }, 30000));
  EXPECT_FALSE(defaults().hasStoredValue(ZPHHasSubscribedToNewsletter));
  EXPECT_TRUE(controller->window()->isVisible());
  auto* alert = controller->window()->findChild<QMessageBox*>(QStringLiteral("signUpErrorAlert"));
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->informativeText(), QStringLiteral("Nope"));
  alert->accept();

  status = 200;
  QTest::mouseClick(informed->nextButton(), Qt::LeftButton);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller->window()->isVisible(); }, 30000));
  EXPECT_TRUE(defaults().boolForKey(ZPHHasSubscribedToNewsletter));
  EXPECT_EQ(service.requests().size(), 2);

  // "No Thanks" after that keeps the yes; without an answer stored, it
  // stores no.
  controller = make(2, true);
  qobject_cast<ZPHWelcomeStayInformedViewController*>(controller->currentViewController())->noThanks();
  EXPECT_TRUE(defaults().boolForKey(ZPHHasSubscribedToNewsletter));
  defaults().removeObject(ZPHHasSubscribedToNewsletter);
  controller = make(2, true);
  qobject_cast<ZPHWelcomeStayInformedViewController*>(controller->currentViewController())->noThanks();
  EXPECT_TRUE(defaults().hasStoredValue(ZPHHasSubscribedToNewsletter));
  EXPECT_FALSE(defaults().boolForKey(ZPHHasSubscribedToNewsletter));
}

// The first run and the reminder in the running application.
class WelcomeInTheApplicationTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    for (const QString& key : {ZPHHasSubscribedToNewsletter, ZPHHasAskedToSignUpToNewsletterKey})
      defaults().removeObject(key);
    app.presentsFirstRunWindows = true;
  }
  void TearDown() override { app.stop(); }

  ZPHWelcomeWindowController* welcome() const { return app.delegate->applicationCommands()->welcomeWindowController(); }

  ZPHTestTempDir dir;
  AppHarness app{dir.filePath(QStringLiteral("data"))};
};

TEST_F(WelcomeInTheApplicationTest, AFirstRunShowsTheWelcomeWindowAndThenTheMainWindow)
{
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  ASSERT_NE(welcome(), nullptr);
  // Without the previous version's sites: "stay informed".
  EXPECT_EQ(welcome()->currentState(), 3u);
  EXPECT_TRUE(welcome()->window()->isVisible());
  EXPECT_FALSE(app.delegate->mainWindow()->isVisible());
  welcome()->closeWindow();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return app.delegate->mainWindow()->isVisible(); }));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return welcome() == nullptr; }));
}

TEST_F(WelcomeInTheApplicationTest, TheReminderComesOnceAtTheTenthLaunch)
{
  defaults().setObject(ZPHFirstRunDateKey, QDateTime(QDate(2026, 1, 1), QTime(9, 0)));
  defaults().setBool(ZPHHasSubscribedToNewsletter, false);  // declined on the first run
  defaults().setInteger(ZPHNumberOfLaunchesKey, 8);
  app.start();
  EXPECT_EQ(welcome(), nullptr);  // the ninth
  app.stop();
  app.start();
  ASSERT_NE(welcome(), nullptr);  // the tenth
  EXPECT_EQ(welcome()->welcomeWindowType(), 2u);
  EXPECT_TRUE(defaults().boolForKey(ZPHHasAskedToSignUpToNewsletterKey));
  app.stop();
  app.start();
  EXPECT_EQ(welcome(), nullptr);  // once

  // Without an answer stored (never asked), no reminder either.
  app.stop();
  defaults().removeObject(ZPHHasAskedToSignUpToNewsletterKey);
  defaults().removeObject(ZPHHasSubscribedToNewsletter);
  app.start();
  EXPECT_EQ(welcome(), nullptr);
}

TEST_F(WelcomeInTheApplicationTest, TheImportCommandIsOnlyEnabledWhenThereIsSomethingToImport)
{
  defaults().setObject(ZPHFirstRunDateKey, QDateTime(QDate(2026, 1, 1), QTime(9, 0)));
  app.start();
  QAction* command = app.delegate->commandAction(QStringLiteral("importFeedsFromZPH3:"));
  EXPECT_FALSE(app.delegate->validateUserInterfaceItem(command));
  EXPECT_FALSE(command->isEnabled());
  // Run all the same while its item still shows enabled: a beep, nothing opens.
  command->setEnabled(true);
  const int beeps = app.beeps;
  command->trigger();
  EXPECT_EQ(app.beeps, beeps + 1);
  EXPECT_EQ(welcome(), nullptr);
  // With the importer's answer, the import window opens.
  Importer importer;
  app.delegate->seams().zephlin3Importer = importer.seam();
  EXPECT_TRUE(app.delegate->validateUserInterfaceItem(command));
  EXPECT_TRUE(command->isEnabled());
  command->trigger();
  ASSERT_NE(welcome(), nullptr);
  EXPECT_EQ(welcome()->currentState(), 2u);
  app.delegate->seams().zephlin3Importer = {};
}

}  // namespace
