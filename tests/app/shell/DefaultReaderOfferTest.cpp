// The offer to become the desktop's default feed reader, in the running
// application with XDG folders of the test's own and the real xdg-mime:
// made at a later launch when Zephlin is installed and not the default;
// never on a first run, when suppressed, or while a sheet runs.

#include "app/shell/AppHarness.h"
#include "common/ZPHDesktopEntries.h"
#include "shell/ZPHApplicationCommands.h"
#include "support/ZPHTestXdgFolders.h"

#include <QtCore/QStandardPaths>
#include <QtTest/QSignalSpy>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

namespace {

ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

class DefaultReaderOfferTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
      GTEST_SKIP() << "xdg-mime is not installed (scripts/deps.sh installs xdg-utils)";
    ZPHResetApplicationSettings();
    defaults().removeObject(ZPHSuppressDefaultAggregatorPromptKey);
    xdg.reader(xdg.home(), QStringLiteral("other-reader.desktop"), QStringLiteral("Other Reader"));
    xdg.reader(xdg.system(), ZPHDesktopEntries::ownDesktopFileID(), QStringLiteral("Zephlin"));
    // The other reader is the default.
    QObject context;
    bool set = false;
    ZPHDesktopEntries::setDefaultApplication(QStringLiteral("other-reader.desktop"),
                                             QStringLiteral("x-scheme-handler/feed"), &context,
                                             [&](bool) { set = true; });
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return set; }, 20000));
  }
  void TearDown() override
  {
    app.stop();
    defaults().removeObject(ZPHSuppressDefaultAggregatorPromptKey);
  }

  // Starts (past the first run unless asked) and answers whether the offer
  // was made, once the desktop has answered.
  bool startAndOffer(bool firstRun = false)
  {
    if (!firstRun)
      defaults().setObject(ZPHFirstRunDateKey, QDateTime(QDate(2026, 1, 1), QTime(9, 0)));
    bool checked = false;
    bool offered = false;
    app.beforeLaunch = [&](ZPHAppDelegate* delegate) {
      QObject::connect(delegate->applicationCommands(), &ZPHApplicationCommands::defaultFeedReaderChecked,
                       [&](bool offer) {
                         checked = true;
                         offered = offer;
                       });
    };
    app.start();
    if (firstRun) {
      ZPHTestSpinEventLoop(300);
      EXPECT_FALSE(checked);
      return false;
    }
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return checked; }, 20000));
    return offered;
  }

  QString defaultReader()
  {
    QObject context;
    QString answer;
    bool answered = false;
    ZPHDesktopEntries::queryDefaultApplication(QStringLiteral("x-scheme-handler/feed"), &context,
                                               [&](const QString& id) {
                                                 answer = id;
                                                 answered = true;
                                               });
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return answered; }, 20000));
    return answer;
  }

  ZPHTestXdgFolders xdg;
  ZPHTestTempDir dir;
  AppHarness app{dir.filePath(QStringLiteral("data"))};
};

TEST_F(DefaultReaderOfferTest, SetAsDefaultMakesZephlinTheDefault)
{
  ASSERT_TRUE(startAndOffer());
  QMessageBox* sheet = app.delegate->applicationCommands()->defaultAggregatorSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->text(), QStringLiteral("Set Zephlin as your default newsreader?"));
  EXPECT_TRUE(app.delegate->runningModalSheet());
  EXPECT_EQ(sheet->parentWidget(), app.delegate->mainWindow());
  sheet->defaultButton()->click();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return defaultReader() == ZPHDesktopEntries::ownDesktopFileID(); }, 20000));
  EXPECT_FALSE(defaults().boolForKey(ZPHSuppressDefaultAggregatorPromptKey));
  // Zephlin being the default, the next launch asks nothing.
  app.stop();
  EXPECT_FALSE(startAndOffer());
}

TEST_F(DefaultReaderOfferTest, NoOfferOnAFirstRunWhenSuppressedOrDuringASheet)
{
  EXPECT_FALSE(startAndOffer(true));
  EXPECT_EQ(app.delegate->applicationCommands()->defaultAggregatorSheet(), nullptr);
  app.stop();

  // "Don't ask again" with "Don't Set": stored, nothing set.
  ASSERT_TRUE(startAndOffer());
  QMessageBox* sheet = app.delegate->applicationCommands()->defaultAggregatorSheet();
  ASSERT_NE(sheet, nullptr);
  sheet->checkBox()->setChecked(true);
  sheet->reject();
  EXPECT_TRUE(defaults().boolForKey(ZPHSuppressDefaultAggregatorPromptKey));
  EXPECT_EQ(defaultReader(), QStringLiteral("other-reader.desktop"));
  app.stop();
  EXPECT_TRUE(startAndOffer());  // the desktop still says another reader...
  EXPECT_EQ(app.delegate->applicationCommands()->defaultAggregatorSheet(), nullptr);  // ...but no sheet
  app.stop();

  // While another sheet runs, none.
  defaults().removeObject(ZPHSuppressDefaultAggregatorPromptKey);
  ASSERT_TRUE(startAndOffer());
  app.delegate->applicationCommands()->defaultAggregatorSheet()->reject();
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    return !app.delegate->runningModalSheet() &&
           app.delegate->applicationCommands()->defaultAggregatorSheet() == nullptr;
  }));
  defaults().removeObject(ZPHSuppressDefaultAggregatorPromptKey);
  app.delegate->setRunningModalSheet(true);
  app.delegate->applicationCommands()->runDefaultAggregatorSheet();
  EXPECT_EQ(app.delegate->applicationCommands()->defaultAggregatorSheet(), nullptr);
  app.delegate->setRunningModalSheet(false);
}

}  // namespace
