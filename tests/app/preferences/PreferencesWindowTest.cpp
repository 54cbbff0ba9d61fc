// The preferences window: the pane remembered across openings and starts,
// the window's title and top-left corner, and the Reading and General
// panes on the real settings.

#include "app/ZPHAppTestSchemes.h"
#include "articlelist/ZPHArticleListSettings.h"
#include "articleview/ZPHStyleSheetController.h"
#include "foundation/CBPrefs.h"
#include "keys/ZPHKeyMappingController.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "preferences/CBFontLabelView.h"
#include "preferences/ZPHPreferenceWindowController.h"
#include "preferences/ZPHPreferencesFontsViewController.h"
#include "preferences/ZPHPreferencesGeneralViewController.h"
#include "support/ZPHTestSupport.h"
#include "web/ZPHExternalPagesProfile.h"
#include "web/ZPHInternalPagesProfile.h"

#include <QtGui/QAction>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineSettings>
#include <QtWidgets/QApplication>
#include <QtWidgets/QButtonGroup>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QToolBar>
#include <QtWidgets/QToolButton>

#include <gtest/gtest.h>

namespace {

ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

class PreferencesWindowTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    for (const QString& key :
         {FRNHPreferencesWindowSelectedIdentifier, ZPHContentLayoutMode, ZPHNumberOfLinesInArticleListPreviewsKey,
          ZPHShowPicturesInArticleListDefaultsKey, ZPHPluginsEnabled, ZPHKeyMapSetName, ZPHUnreadCountSelection,
          ZPHAllUnreadFeedsSelection, ZPHTodayFeedSelection})
      defaults().removeObject(key);
    ZPHPreferenceWindowController::registerDefaults();
    // What the application and the accounts register.
    defaults().registerDefaults({{ZPHPluginsEnabled, true},
                                 {ZPHUnreadCountSelection, 1},
                                 {ZPHAllUnreadFeedsSelection, 1},
                                 {ZPHTodayFeedSelection, 1}});
  }

  // Shows the window and waits for the change of panes to end.
  static void settle(ZPHPreferenceWindowController& controller)
  {
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.isTransitionRunning(); }, 20000));
    ZPHTestSpinEventLoop(20);
  }
};

TEST_F(PreferencesWindowTest, ThePaneChosenLastComesBackAfterReopeningAndRestarting)
{
  {
    ZPHPreferenceWindowController first;
    first.showWindow();
    // No stored pane: General, remembered.
    EXPECT_EQ(first.currentViewController(), first.generalViewController());
    EXPECT_EQ(defaults().stringForKey(FRNHPreferencesWindowSelectedIdentifier),
              QStringLiteral("ZPHPreferencesGeneralViewController"));
    EXPECT_EQ(first.window()->windowTitle(), QStringLiteral("Preferences - General"));
    first.selectItemWithIdentifier(QStringLiteral("ZPHPreferencesFontsViewController"));
    settle(first);
    EXPECT_EQ(first.window()->windowTitle(), QStringLiteral("Preferences - Reading"));
    EXPECT_EQ(defaults().stringForKey(FRNHPreferencesWindowSelectedIdentifier),
              QStringLiteral("ZPHPreferencesFontsViewController"));
    // The toolbar item of the pane shown is the checked one.
    QAction* reading = nullptr;
    for (QAction* item : first.toolbar()->actions())
      if (item->objectName() == QLatin1String("ZPHPreferencesFontsViewController"))
        reading = item;
    ASSERT_NE(reading, nullptr);
    EXPECT_TRUE(reading->isChecked());
    first.window()->close();
  }
  // Opened again (a new controller, as the application does), and after a
  // restart (the setting read back from its file).
  defaults().synchronize();
  ZPHPreferenceWindowController again;
  again.showWindow();
  EXPECT_EQ(again.currentViewController(), again.fontsViewController());
  EXPECT_EQ(again.window()->windowTitle(), QStringLiteral("Preferences - Reading"));

  // An identifier that names no pane any more: the first pane.
  again.window()->close();
  defaults().setString(FRNHPreferencesWindowSelectedIdentifier, QStringLiteral("ZPHPreferencesAccountsViewController"));
  ZPHPreferenceWindowController stale;
  stale.showWindow();
  EXPECT_EQ(stale.currentViewController(), stale.generalViewController());
  // A name of no pane, or an index past them, changes nothing.
  stale.selectItemWithIdentifier(QStringLiteral("NoSuchPane"));
  stale.selectItemAtIndex(7);
  EXPECT_EQ(stale.currentViewController(), stale.generalViewController());
  EXPECT_EQ(defaults().stringForKey(FRNHPreferencesWindowSelectedIdentifier),
            QStringLiteral("ZPHPreferencesGeneralViewController"));
}

TEST_F(PreferencesWindowTest, CtrlWAndEscapeCloseTheWindow)
{
  ZPHPreferenceWindowController controller;
  for (const QKeyCombination keys :
       {QKeyCombination(Qt::ControlModifier, Qt::Key_W), QKeyCombination(Qt::Key_Escape)}) {
    controller.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller.window()));
    QTest::keyClick(controller.window()->windowHandle(), keys.key(), keys.keyboardModifiers());
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.window()->isVisible(); }, 5000))
        << QKeySequence(keys).toString().toStdString();
  }
}

TEST_F(PreferencesWindowTest, EscapeInAnOpenDropDownClosesTheDropDownOnly)
{
  ZPHPreferenceWindowController controller;
  controller.showWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(controller.window()));
  controller.selectItemWithIdentifier(QStringLiteral("ZPHPreferencesGeneralViewController"));
  settle(controller);
  QComboBox* sets = controller.generalViewController()->keyboardShortcutsPopupButton();
  ASSERT_TRUE(sets->isVisible());
  sets->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(sets, Qt::Key_F4);  // the desktop's key that opens a drop-down
  QWidget* popup = nullptr;
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return (popup = QApplication::activePopupWidget()) != nullptr; }));
  // The desktop hands the key to the window that has the keyboard.
  QTest::keyClick(controller.window()->windowHandle(), Qt::Key_Escape);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return QApplication::activePopupWidget() == nullptr; }));
  ZPHTestSpinEventLoop(50);
  EXPECT_TRUE(controller.window()->isVisible());
  // Escape again, in the window: it closes.
  QTest::keyClick(controller.window()->windowHandle(), Qt::Key_Escape);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.window()->isVisible(); }, 5000));
}

TEST_F(PreferencesWindowTest, TheWindowKeepsItsTopLeftCornerAndShiftSlowsTheChange)
{
  ZPHPreferenceWindowController controller;
  bool shift = false;
  controller.setKeyboardModifiersProvider([&] { return shift ? Qt::ShiftModifier : Qt::NoModifier; });
  controller.showWindow();
  controller.window()->move(120, 90);
  settle(controller);
  const QPoint corner = controller.window()->pos();
  const QSize generalSize = controller.window()->size();

  controller.selectItemAtIndex(1);
  EXPECT_NE(controller.imageOverlayView(), nullptr);
  EXPECT_EQ(controller.lastTransitionDuration(), FRNHPreferenceWindowController::TransitionMs);
  settle(controller);
  EXPECT_EQ(controller.window()->pos(), corner);
  EXPECT_EQ(controller.imageOverlayView(), nullptr);
  const QSize readingSize = controller.window()->size();
  EXPECT_NE(readingSize, generalSize);
  EXPECT_EQ(controller.window()->centralWidget()->height(), controller.fontsViewController()->preferredSize().height());

  // The pane already shown: no overlay, no change.
  controller.selectItemAtIndex(1);
  EXPECT_EQ(controller.imageOverlayView(), nullptr);
  EXPECT_FALSE(controller.isTransitionRunning());

  shift = true;
  controller.selectItemAtIndex(0);
  EXPECT_EQ(controller.lastTransitionDuration(), FRNHPreferenceWindowController::SlowTransitionMs);
  settle(controller);
  EXPECT_EQ(controller.window()->pos(), corner);
  EXPECT_EQ(controller.window()->size(), generalSize);
}

TEST_F(PreferencesWindowTest, TheClassicLayoutTurnsThePreviewControlsOffAlsoWhenSetElsewhere)
{
  ZPHPreferencesFontsViewController pane(nullptr, [](const QString&) { return true; });
  pane.view();
  EXPECT_TRUE(pane.previewNumberOfLinesPopUpButton()->isEnabled());
  EXPECT_TRUE(pane.showPicturesCheckBox()->isEnabled());
  EXPECT_EQ(pane.previewNumberOfLinesPopUpButton()->currentIndex(), 1);  // 2 lines

  pane.layoutControl()->button(1)->click();
  EXPECT_EQ(defaults().integerForKey(ZPHContentLayoutMode), 1);
  EXPECT_FALSE(pane.previewNumberOfLinesPopUpButton()->isEnabled());
  EXPECT_FALSE(pane.showPicturesCheckBox()->isEnabled());

  // The View menu (or anything else) switches the layout back.
  defaults().setInteger(ZPHContentLayoutMode, 0);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return pane.previewNumberOfLinesPopUpButton()->isEnabled(); }));
  EXPECT_TRUE(pane.showPicturesCheckBox()->isEnabled());
  EXPECT_TRUE(pane.layoutControl()->button(0)->isChecked());
}

TEST_F(PreferencesWindowTest, ThreeLinesAreStoredAndTheListIsToldOnce)
{
  ZPHPreferencesFontsViewController pane(nullptr, [](const QString&) { return true; });
  pane.view();
  int posts = 0;
  ZPHObserverToken observer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHArticleListPrefsDidChangeNotification, QVariant(), [&](const ZPHNotification&) { ++posts; });
  Q_EMIT pane.previewNumberOfLinesPopUpButton()->activated(2);
  EXPECT_EQ(defaults().integerForKey(ZPHNumberOfLinesInArticleListPreviewsKey), 3);
  EXPECT_EQ(posts, 1);
  pane.changeNumberOfLinesInPreviewInArticlesList(-1);  // no item chosen: nothing
  EXPECT_EQ(posts, 1);
  pane.showPicturesCheckBox()->click();
  EXPECT_FALSE(defaults().boolForKey(ZPHShowPicturesInArticleListDefaultsKey));
  EXPECT_EQ(posts, 2);
}

TEST_F(PreferencesWindowTest, TheFontPanelsChoiceSetsFamilyAndWholePointsAndTheSameFontChangesNothing)
{
  ZPHStyleSheetController* style = ZPHStyleSheetController::sharedController();
  style->setStandardFontFamily(QStringLiteral("Sample Serif"));
  style->setDefaultFontSize(16);
  ZPHPreferencesFontsViewController pane(style, [](const QString&) { return true; });
  pane.view();
  EXPECT_EQ(pane.htmlStandardFont().family(), QStringLiteral("Sample Serif"));
  int posts = 0;
  ZPHObserverToken observer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHStylesDidChangeNotification, QVariant(), [&](const ZPHNotification&) { ++posts; });

  QFont same(QStringLiteral("Sample Serif"));
  same.setPointSizeF(16);
  pane.chooseHTMLStandardFont();
  pane.changeFont(same);
  EXPECT_EQ(posts, 0);

  QFont other(QStringLiteral("Other Serif"));
  other.setPointSizeF(19.7);
  pane.changeFont(other);
  EXPECT_EQ(style->standardFontFamily(), QStringLiteral("Other Serif"));
  EXPECT_EQ(style->defaultFontSize(), 19);
  EXPECT_GT(posts, 0);
  if (pane.fontPanel() != nullptr)
    pane.fontPanel()->close();

  // A family that is not installed shows the default font instead.
  ZPHPreferencesFontsViewController missing(style, [](const QString&) { return false; });
  EXPECT_EQ(missing.htmlStandardFont().family(), style->defaultFont().family());
  style->resetFontDefaults();
}

TEST(FontLabelView, ALargeFontIsDrawnAt13PointsAndStillNamedWithItsSize)
{
  QFont large(QStringLiteral("Georgia"));
  large.setPointSizeF(24);
  EXPECT_EQ(CBFontLabelView::sampleTextForFont(large), QStringLiteral("Georgia 24"));
  EXPECT_EQ(CBFontLabelView::sampleFontForFont(large).pointSizeF(), 13.0);
  QFont small(QStringLiteral("Georgia"));
  small.setPointSizeF(11.5);
  EXPECT_EQ(CBFontLabelView::sampleTextForFont(small), QStringLiteral("Georgia 11"));
  EXPECT_EQ(CBFontLabelView::sampleFontForFont(small).pointSizeF(), 11.5);
}

TEST_F(PreferencesWindowTest, PluginsOffReachBothProfilesAtOnceAndAfterARestart)
{
  ZPHInternalPagesProfile internal;
  ZPHTestTempDir folder;
  ZPHExternalPagesProfile external(folder.filePath(QStringLiteral("data")), folder.filePath(QStringLiteral("cache")));
  QWebEngineSettings* article = internal.profile()->settings();
  QWebEngineSettings* browser = external.profile()->settings();
  EXPECT_TRUE(article->testAttribute(QWebEngineSettings::PluginsEnabled));
  EXPECT_TRUE(browser->testAttribute(QWebEngineSettings::PluginsEnabled));

  ZPHPreferencesGeneralViewController pane;
  pane.view();
  EXPECT_TRUE(pane.allowPluginsButton()->isChecked());
  pane.allowPluginsButton()->click();
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    return !article->testAttribute(QWebEngineSettings::PluginsEnabled) &&
           !browser->testAttribute(QWebEngineSettings::PluginsEnabled);
  }));
  // The next start's profiles read the stored setting.
  defaults().synchronize();
  ZPHInternalPagesProfile restarted;
  EXPECT_FALSE(restarted.profile()->settings()->testAttribute(QWebEngineSettings::PluginsEnabled));
}

TEST_F(PreferencesWindowTest, TheShortcutSetChangesAtOnceAndIsStoredForTheNextStart)
{
  ZPHKeyMappingController* mapping = ZPHKeyMappingController::sharedMappingController();
  mapping->setKeySetName(ZPHKeyMappingController::Zephlin4SetName);
  ZPHPreferencesGeneralViewController pane;
  pane.view();
  QComboBox* sets = pane.keyboardShortcutsPopupButton();
  const int previous = sets->findData(2);
  ASSERT_GE(previous, 0);
  Q_EMIT sets->activated(previous);
  EXPECT_EQ(mapping->keySetName(), ZPHKeyMappingController::Zephlin3SetName);
  EXPECT_TRUE(mapping->shouldSupportUnmodifiedSingleKeyShortcuts());
  EXPECT_EQ(defaults().stringForKey(ZPHKeyMapSetName), ZPHKeyMappingController::Zephlin3SetName);
  // A new pane (after a restart) shows the stored set.
  ZPHPreferencesGeneralViewController reopened;
  reopened.view();
  EXPECT_EQ(reopened.keyboardShortcutsPopupButton()->currentData().toInt(), 2);
  Q_EMIT sets->activated(sets->findData(1));
  EXPECT_EQ(mapping->keySetName(), ZPHKeyMappingController::Zephlin4SetName);
}

TEST_F(PreferencesWindowTest, TheUnreadBoxesStoreTheirValues)
{
  defaults().setInteger(ZPHUnreadCountSelection, 2);
  defaults().setInteger(ZPHTodayFeedSelection, 0);
  ZPHPreferencesGeneralViewController pane;
  pane.view();
  EXPECT_FALSE(pane.badgeUnreadCountButton()->isChecked());  // 2: no badge
  EXPECT_FALSE(pane.allUnreadFavoritesOnlyButton()->isChecked());
  EXPECT_TRUE(pane.todayFavoritesOnlyButton()->isChecked());  // 0: favourites only

  pane.badgeUnreadCountButton()->click();
  EXPECT_EQ(defaults().integerForKey(ZPHUnreadCountSelection), 1);
  pane.badgeUnreadCountButton()->click();
  EXPECT_EQ(defaults().integerForKey(ZPHUnreadCountSelection), 2);
  pane.allUnreadFavoritesOnlyButton()->click();
  EXPECT_EQ(defaults().integerForKey(ZPHAllUnreadFeedsSelection), 0);
  pane.todayFavoritesOnlyButton()->click();
  EXPECT_EQ(defaults().integerForKey(ZPHTodayFeedSelection), 1);
  // A change made elsewhere (the tray's menu) shows.
  defaults().setInteger(ZPHUnreadCountSelection, 0);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return pane.badgeUnreadCountButton()->isChecked(); }));
}

}  // namespace
