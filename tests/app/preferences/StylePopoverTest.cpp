// The style popover and its font selector, with the installed families and
// the screen's scale given by the test: the stack of font buttons, the
// Helvetica button, the check mark, the modes, the size control's segments
// and the dark-theme switch, which sends its command only when the user
// flips it.

#include "articleview/ZPHStyleSheetController.h"
#include "kit/TMSliderControl.h"
#include "kit/ZPHPopoverKeyEventView.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "preferences/ZPHFontSelector.h"
#include "preferences/ZPHStylePopoverViewController.h"
#include "support/ZPHTestSupport.h"
#include "themes/ZPHFontSizeSegmentedControl.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTheme.h"

#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFrame>

#include <gtest/gtest.h>

namespace {

const QStringList MacFamilies = {"Avenir",    "Bitter",         "Georgia",  "Gill Sans",
                                 "Helvetica", "Helvetica Neue", "Palatino", "Times New Roman"};

ZPHFontSelector::FamilyInstalled installed(QStringList families)
{
  return [families](const QString& family) { return families.contains(family); };
}

QStringList buttonFamilies(const ZPHFontSelector& selector)
{
  QStringList families;
  for (ZPHFontSelectorButton* button : selector.arrayOfButtons()) families.append(button->fontName());
  return families;
}

TEST(FontSelector, OneButtonPerInstalledFontStackedEvery26Points)
{
  struct Case {
    const char* name;
    QStringList installed;
    QStringList buttons;
  };
  QStringList withoutBitter = MacFamilies;
  withoutBitter.removeAll(QStringLiteral("Bitter"));
  QStringList oneHelvetica = MacFamilies;
  oneHelvetica.removeAll(QStringLiteral("Helvetica Neue"));
  const QList<Case> cases = {
      {"every font",
       MacFamilies,
       {"Avenir", "Bitter", "Georgia", "Gill Sans", "Helvetica", "Palatino", "Times New Roman"}},
      {"no Bitter", withoutBitter, {"Avenir", "Georgia", "Gill Sans", "Helvetica", "Palatino", "Times New Roman"}},
      {"Helvetica without Neue: no Helvetica button",
       oneHelvetica,
       {"Avenir", "Bitter", "Georgia", "Gill Sans", "Palatino", "Times New Roman"}},
      {"a Linux desktop",
       {"DejaVu Serif", "DejaVu Sans", "Liberation Serif"},
       {"DejaVu Serif", "DejaVu Sans", "Liberation Serif"}},
      {"no font at all", {}, {}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ZPHFontSelector selector(installed(test.installed), [] { return 1.0; });
    selector.resize(240, selector.sizeToFit().height());
    EXPECT_EQ(buttonFamilies(selector), test.buttons);
    const QList<ZPHFontSelectorButton*> buttons = selector.arrayOfButtons();
    for (int i = 0; i < buttons.size(); ++i) {
      EXPECT_EQ(buttons[i]->y(), i == 0 ? 1 : 26 * i);
      EXPECT_EQ(buttons[i]->height(), 26);
      EXPECT_EQ(buttons[i]->styleType(), i == 0 ? 0 : 1);
    }
    // The size control directly under the last button.
    EXPECT_EQ(selector.fontSizeControl()->y(), 26 * int(buttons.size()));
    EXPECT_EQ(selector.sizeToFit().height(), 26 * int(buttons.size()) + 26);
    EXPECT_EQ(selector.fontSizeControl()->segmentCount(), 4);
    EXPECT_EQ(selector.fontSizeControl()->hardDividers(), QList<int>{1});
  }
}

TEST(FontSelector, TheCheckMarkTheHelveticaFaceAndDisabling)
{
  qreal scale = 1.0;
  ZPHFontSelector selector(installed(MacFamilies), [&] { return scale; });
  ASSERT_NE(selector.helveticaButton(), nullptr);
  EXPECT_EQ(selector.helveticaButton()->fontName(), QStringLiteral("Helvetica"));
  EXPECT_EQ(selector.helveticaButton()->manualVerticalAlignmentTweak(), 0);

  selector.selectFontFamily(QStringLiteral("Georgia"));
  ASSERT_NE(selector.selectedFont(), nullptr);
  EXPECT_EQ(selector.selectedFont()->fontName(), QStringLiteral("Georgia"));
  int checked = 0;
  for (ZPHFontSelectorButton* button : selector.arrayOfButtons()) checked += button->isChecked() ? 1 : 0;
  EXPECT_EQ(checked, 1);

  // A family no button stands for: nothing checked.
  selector.selectFontFamily(QStringLiteral("Comic Neue"));
  EXPECT_EQ(selector.selectedFont(), nullptr);
  for (ZPHFontSelectorButton* button : selector.arrayOfButtons()) EXPECT_FALSE(button->isChecked());

  // A click chooses and tells.
  QString told;
  QObject::connect(&selector, &ZPHFontSelector::didSelectFont, [&](const QString& family) { told = family; });
  selector.arrayOfButtons().at(2)->click();
  EXPECT_EQ(told, QStringLiteral("Georgia"));

  // On a screen of scale 2 the Helvetica button becomes Helvetica Neue, and
  // a check on it goes.
  selector.selectFontFamily(QStringLiteral("Helvetica"));
  ASSERT_EQ(selector.selectedFont(), selector.helveticaButton());
  scale = 2.0;
  selector.updateView();
  EXPECT_EQ(selector.helveticaButton()->fontName(), QStringLiteral("Helvetica Neue"));
  EXPECT_EQ(selector.helveticaButton()->manualVerticalAlignmentTweak(), 1);
  EXPECT_EQ(selector.selectedFont(), nullptr);
  EXPECT_FALSE(selector.helveticaButton()->isChecked());
  // A scale of neither 1 nor 2 changes nothing.
  scale = 1.5;
  selector.updateView();
  EXPECT_EQ(selector.helveticaButton()->fontName(), QStringLiteral("Helvetica Neue"));

  selector.setFontButtonsEnabled(false);
  for (ZPHFontSelectorButton* button : selector.arrayOfButtons()) EXPECT_FALSE(button->isEnabled());
  EXPECT_TRUE(selector.fontSizeControl()->isEnabled());  // enabled on its own
}

class StylePopoverTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHRegisterThemes();
    defaults().setInteger(ZPHSubthemeStyleIndexKey, 0);
    style = std::make_unique<ZPHStyleSheetController>(
        defaults(), [](const QString&) { return true; }, 1.0, folder.filePath(QStringLiteral("themes")));
    style->setDefaultFontSize(16);
  }
  void TearDown() override { defaults().removeObject(ZPHSubthemeStyleIndexKey); }

  static ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

  std::unique_ptr<ZPHStylePopoverViewController> makePopover()
  {
    ZPHStylePopoverViewController::Window window;
    window.validate = [this](const QString& selector) { return allowed.contains(selector); };
    window.send = [this](const QString& selector) {
      sent.append(selector);
      return true;
    };
    window.showsBrowserTab = [this] { return browserTab; };
    return std::make_unique<ZPHStylePopoverViewController>(window, style.get(), installed(MacFamilies),
                                                           [] { return 1.0; });
  }

  // A shown window with the Style button the popover opens under.
  QWidget* showButtonWindow()
  {
    buttonWindow.resize(600, 400);
    auto* button = new QWidget(&buttonWindow);
    button->setGeometry(200, 10, 40, 30);
    buttonWindow.show();
    return button;
  }

  ZPHTestTempDir folder;
  std::unique_ptr<ZPHStyleSheetController> style;
  QStringList allowed;
  QStringList sent;
  bool browserTab = false;
  QWidget buttonWindow;
};

TEST_F(StylePopoverTest, ModesAndTheSizeSegments)
{
  enum { Narrower, Wider, Smaller, Larger };
  struct Case {
    const char* name;
    int mode;
    bool tab;
    int size;
    QStringList allowed;
    bool fonts;
    QList<bool> segments;  // 0..3
    bool control;
  };
  const QList<Case> cases = {
      {"an article shown",
       1,
       false,
       16,
       {"makeMarginsNarrower:", "makeMarginsWider:"},
       true,
       {true, true, true, true},
       true},
      {"nothing adjustable", 0, false, 16, {}, false, {false, false, true, true}, false},
      {"the largest size", 1, false, 30, {"makeMarginsWider:"}, true, {false, true, true, false}, true},
      {"the smallest size", 1, false, 9, {"makeMarginsNarrower:"}, true, {true, false, false, true}, true},
      {"a browser tab: its own zoom",
       0,
       true,
       16,
       {"zph_makeTextSmaller:", "makeMarginsNarrower:", "makeMarginsWider:"},
       false,
       {false, false, true, false},
       true},
      {"a browser tab that can't zoom", 1, true, 16, {}, true, {false, false, false, false}, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    style->setMinimumFontSize(9);
    style->setDefaultFontSize(test.size);
    allowed = test.allowed;
    browserTab = test.tab;
    std::unique_ptr<ZPHStylePopoverViewController> popover = makePopover();
    popover->setMode(test.mode);
    popover->popoverWillShow();
    for (ZPHFontSelectorButton* button : popover->fontSelector()->arrayOfButtons())
      EXPECT_EQ(button->isEnabled(), test.fonts);
    ZPHFontSizeSegmentedControl* control = popover->fontSelector()->fontSizeControl();
    for (int segment = 0; segment < 4; ++segment)
      EXPECT_EQ(control->isEnabledForSegment(segment), test.segments[segment]) << "segment " << segment;
    EXPECT_EQ(control->isEnabled(), test.control);
    popover->closePopOver();
  }
}

TEST_F(StylePopoverTest, TheSizeControlSendsTheWindowsCommands)
{
  allowed = {"zph_makeTextLarger:"};
  std::unique_ptr<ZPHStylePopoverViewController> popover = makePopover();
  for (int segment = 0; segment < 4; ++segment) popover->fontSizeClicked(segment);
  popover->fontSizeClicked(-1);
  // The column commands go through the chain; the text ones only when they
  // would run.
  EXPECT_EQ(sent, (QStringList{"makeMarginsNarrower:", "makeMarginsWider:", "zph_makeTextLarger:"}));

  // A font button sets the article's family.
  popover->fontSelector()->arrayOfButtons().at(0)->click();
  EXPECT_EQ(style->standardFontFamily(), QStringLiteral("Avenir"));
  EXPECT_EQ(popover->fontSelector()->selectedFont()->fontName(), QStringLiteral("Avenir"));
}

TEST_F(StylePopoverTest, TheSwitchFollowsTheThemeAndOnlyTheUsersFlipSendsTheCommand)
{
  defaults().setInteger(ZPHSubthemeStyleIndexKey, 1);
  std::unique_ptr<ZPHStylePopoverViewController> popover = makePopover();
  EXPECT_TRUE(popover->sliderControl()->state());
  EXPECT_TRUE(sent.isEmpty());

  // The theme switched from the menu: the switch follows, nothing is sent.
  defaults().setInteger(ZPHSubthemeStyleIndexKey, 0);
  ZPHNotificationCenter::defaultCenter().post(ZPHThemeChangedNotification);
  EXPECT_FALSE(popover->sliderControl()->state());
  EXPECT_TRUE(sent.isEmpty());

  // The user's flip sends toggleDarkMode: once.
  popover->sliderControl()->toggleControl();
  EXPECT_EQ(sent, QStringList{"toggleDarkMode:"});
}

TEST_F(StylePopoverTest, InTheDarkThemeThePopoverAndItsControlsAreDark)
{
  std::unique_ptr<ZPHStylePopoverViewController> popover = makePopover();
  popover->popover()->adjustSize();
  // The share of the popover's pixels lighter than the dark theme's text.
  const auto lightShare = [&] {
    const QImage image = popover->popover()->grab().toImage();
    qint64 light = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) light += qGray(image.pixel(x, y)) > 200 ? 1 : 0;
    return double(light) / double(std::max(1, image.width() * image.height()));
  };
  ZPHTheme::switchToThemeWithIdentifier(ZPHLightThemeIdentifier);
  EXPECT_GT(lightShare(), 0.6);
  ZPHTheme::switchToThemeWithIdentifier(ZPHDarkThemeIdentifier);
  EXPECT_LT(lightShare(), 0.05);
  // The font buttons and the size control, on their own.
  const QImage selector = popover->fontSelector()->grab().toImage();
  EXPECT_LT(qGray(selector.pixel(selector.width() / 2, 3)), 128);
  ZPHTheme::switchToThemeWithIdentifier(ZPHLightThemeIdentifier);
  EXPECT_GT(lightShare(), 0.6);
}

TEST_F(StylePopoverTest, ThePopoverOpensUnderItsButtonAndClosesOnTheSecondPress)
{
  QWidget* button = showButtonWindow();
  std::unique_ptr<ZPHStylePopoverViewController> popover = makePopover();
  style->setStandardFontFamily(QStringLiteral("Palatino"));
  popover->togglePopoverRelativeTo(button);
  ASSERT_TRUE(popover->popover()->isVisible());
  EXPECT_EQ(popover->fontSelector()->selectedFont()->fontName(), QStringLiteral("Palatino"));
  const QPoint below = button->mapToGlobal(QPoint(button->width() / 2, button->height()));
  EXPECT_NEAR(popover->popover()->geometry().center().x(), below.x(), 2);
  EXPECT_GE(popover->popover()->y(), below.y());
  popover->togglePopoverRelativeTo(button);
  EXPECT_FALSE(popover->popover()->isVisible());
}

TEST_F(StylePopoverTest, ReturnEnterAndEscapeCloseThePopover)
{
  QWidget* button = showButtonWindow();
  std::unique_ptr<ZPHStylePopoverViewController> popover = makePopover();
  const struct {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool closes;
  } keys[] = {
      {"a letter", Qt::Key_A, Qt::NoModifier, false},
      {"Return", Qt::Key_Return, Qt::NoModifier, true},
      {"Enter", Qt::Key_Enter, Qt::KeypadModifier, true},
      {"Escape", Qt::Key_Escape, Qt::NoModifier, true},
  };
  for (const auto& k : keys) {
    popover->togglePopoverRelativeTo(button);
    ASSERT_TRUE(popover->popover()->isVisible()) << k.name;
    // The key goes where the popover's keys go: its focus.
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << k.name;
    EXPECT_TRUE(focus == popover->keyView() || popover->keyView()->isAncestorOf(focus)) << k.name;
    QTest::keyClick(focus, k.key, k.modifiers);
    EXPECT_EQ(popover->popover()->isVisible(), !k.closes) << k.name;
    if (popover->popover()->isVisible())
      popover->closePopOver();
  }
  // Return on a control that does not take it reaches the key view too.
  popover->togglePopoverRelativeTo(button);
  popover->sliderControl()->setFocus();
  QTest::keyClick(popover->sliderControl(), Qt::Key_Return);
  EXPECT_FALSE(popover->popover()->isVisible());
}

}  // namespace
