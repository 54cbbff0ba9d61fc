// The find bar on its own: what it asks its delegate for, when, and what
// its match label says.

#include "support/ZPHTestSupport.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTheme.h"
#include "web/ZPHFindBarSearchField.h"
#include "web/ZPHMacWebViewFindBarSegmentedControl.h"
#include "web/ZPHMacWebViewFindBarViewController.h"
#include "web/ZPHMacWebViewFindBarViewDelegate.h"

#include <QtGui/QKeyEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

class RecordingDelegate : public ZPHMacWebViewFindBarViewDelegate {
public:
  QStringList calls;

  void webViewFindBarControllerSearchFieldTextChanged(ZPHMacWebViewFindBarViewController*, const QString& text) override
  {
    calls.append(QStringLiteral("text:") + text);
  }
  void webViewFindBarControllerRequestsDismissal(ZPHMacWebViewFindBarViewController*) override
  {
    calls.append(QStringLiteral("dismiss"));
  }
  void webViewFindBarControllerRequestsHighlightPrevious(ZPHMacWebViewFindBarViewController*,
                                                         const QString& text) override
  {
    calls.append(QStringLiteral("previous:") + text);
  }
  void webViewFindBarControllerRequestsHighlightNext(ZPHMacWebViewFindBarViewController*, const QString& text) override
  {
    calls.append(QStringLiteral("next:") + text);
  }
};

class FindBarTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHRegisterThemes();
    window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window.get());
    layout->addWidget(bar.view());
    layout->addStretch();
    bar.setDelegate(&delegate);
    window->resize(600, 200);
    window->show();
    QApplication::setActiveWindow(window.get());
    bar.searchField()->setFocus();
  }

  void TearDown() override
  {
    ZPHTheme::switchToTheme(ZPHTheme::lightTheme());
    window.reset();
  }

  ZPHMacWebViewFindBarViewController bar;
  RecordingDelegate delegate;
  std::unique_ptr<QWidget> window;
};

TEST_F(FindBarTest, TheLabelSaysHowManyMatches)
{
  const struct {
    qint64 count;
    const char* text;
    bool hasMatches;
  } cases[] = {
      {ZPHMacWebViewFindBarViewController::NotFound, "", false},
      {-1, "", false},
      {0, "Not found", false},
      {1, "1 match", true},
      {2, "2 matches", true},
      {1234, "1234 matches", true},
  };
  for (const auto& test : cases) {
    bar.setNumberOfMatches(test.count);
    EXPECT_EQ(bar.matchesTextField()->text(), QString::fromUtf8(test.text)) << test.count;
    EXPECT_EQ(bar.hasMatches(), test.hasMatches) << test.count;
  }

  // The label's colour follows the theme without a new search.
  const QColor light = bar.matchesTextField()->palette().color(QPalette::WindowText);
  EXPECT_EQ(light, ZPHTheme::lightTheme()->browserFindBarDoneButtonFontColor());
  ZPHTheme::switchToTheme(ZPHTheme::darkTheme());
  EXPECT_EQ(bar.matchesTextField()->palette().color(QPalette::WindowText),
            ZPHTheme::darkTheme()->browserFindBarDoneButtonFontColor());
  EXPECT_NE(bar.matchesTextField()->palette().color(QPalette::WindowText), light);
}

TEST_F(FindBarTest, WhatTheUserTypesSearchesAndWhatTheProgramPutsInDoesNot)
{
  QTest::keyClicks(bar.searchField(), QStringLiteral("ab"));
  EXPECT_EQ(delegate.calls, (QStringList{"text:a", "text:ab"}));
  EXPECT_EQ(bar.searchString(), QStringLiteral("ab"));
  bar.setNumberOfMatches(3);

  delegate.calls.clear();
  bar.resetState();
  EXPECT_EQ(bar.searchField()->text(), QString());
  EXPECT_EQ(bar.numberOfMatches(), ZPHMacWebViewFindBarViewController::NotFound);
  EXPECT_EQ(bar.searchString(), QStringLiteral("ab"));
  EXPECT_TRUE(delegate.calls.isEmpty());

  bar.triggerSearchFor(QStringLiteral("cd"));
  EXPECT_EQ(bar.searchField()->text(), QStringLiteral("cd"));
  EXPECT_EQ(delegate.calls, QStringList{"text:cd"});

  // Emptying the field clears the count.
  bar.setNumberOfMatches(2);
  delegate.calls.clear();
  QTest::keyClick(bar.searchField(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(bar.searchField(), Qt::Key_Backspace);
  EXPECT_EQ(delegate.calls, QStringList{"text:"});
  EXPECT_EQ(bar.numberOfMatches(), ZPHMacWebViewFindBarViewController::NotFound);
}

TEST_F(FindBarTest, ReturnStepsOnlyWithTextAndMatches)
{
  // An empty field: Return is the field's own.
  QTest::keyClick(bar.searchField(), Qt::Key_Return);
  EXPECT_TRUE(delegate.calls.isEmpty());

  // Text, before any count came back: next.
  bar.triggerSearchFor(QStringLiteral("river"));
  delegate.calls.clear();
  QTest::keyClick(bar.searchField(), Qt::Key_Return);
  EXPECT_EQ(delegate.calls, QStringList{"next:river"});

  // Text without matches: the field's own.
  delegate.calls.clear();
  bar.setNumberOfMatches(0);
  QTest::keyClick(bar.searchField(), Qt::Key_Return);
  EXPECT_TRUE(delegate.calls.isEmpty());

  // Matches: next, and previous with Shift; the focus stays in the field.
  bar.setNumberOfMatches(4);
  QTest::keyClick(bar.searchField(), Qt::Key_Return);
  QTest::keyClick(bar.searchField(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(delegate.calls, (QStringList{"next:river", "previous:river"}));
  EXPECT_TRUE(bar.searchField()->hasFocus());
}

TEST_F(FindBarTest, TheArrowsStepAndDoneClearsThenAsksToDismiss)
{
  bar.triggerSearchFor(QStringLiteral("river"));
  bar.setNumberOfMatches(4);
  delegate.calls.clear();
  ZPHMacWebViewFindBarSegmentedControl* arrows = bar.backForwardSegmentedControl();
  QTest::mouseClick(arrows, Qt::LeftButton, {}, arrows->rectForSegment(0).center().toPoint());
  QTest::mouseClick(arrows, Qt::LeftButton, {}, arrows->rectForSegment(1).center().toPoint());
  EXPECT_EQ(delegate.calls, (QStringList{"previous:river", "next:river"}));
  EXPECT_FALSE(arrows->isSelectedForSegment(0));
  EXPECT_FALSE(arrows->isSelectedForSegment(1));

  delegate.calls.clear();
  bar.doneAction();
  EXPECT_EQ(delegate.calls, (QStringList{"text:", "dismiss"}));
  EXPECT_EQ(bar.searchField()->text(), QString());
  EXPECT_EQ(bar.searchString(), QStringLiteral("river"));
  EXPECT_FALSE(bar.searchField()->hasFocus());

  // No delegate: nothing is sent, nothing fails.
  bar.setDelegate(nullptr);
  bar.highlightNextSearchResult();
  bar.doneAction();
  EXPECT_EQ(delegate.calls.size(), 2);
}

}  // namespace

TEST(FindBarSearchField, AHiddenFindBarsFieldTakesNoFocus)
{
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* before = new QLineEdit(&window);
  auto* findBar = new QWidget(&window);
  auto* field = new ZPHFindBarSearchField(findBar);
  new QVBoxLayout(findBar);
  findBar->layout()->addWidget(field);
  auto* after = new QLineEdit(&window);
  layout->addWidget(before);
  layout->addWidget(findBar);
  layout->addWidget(after);
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return window.isActiveWindow(); }));

  EXPECT_TRUE(field->acceptsFirstResponder());
  findBar->hide();
  EXPECT_FALSE(field->acceptsFirstResponder());
  before->setFocus();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return before->hasFocus(); }));
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
  QApplication::sendEvent(before, &tab);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return after->hasFocus(); }));
  field->setFocus();
  ZPHTestSpinEventLoop(20);
  EXPECT_FALSE(field->hasFocus());

  findBar->show();
  field->setFocus();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return field->hasFocus(); }));
}
