#include "kit/TMSliderControl.h"
#include "kit/TMSliderControlSmall.h"
#include "support/ZPHTestSupport.h"

#include <QtGui/QAccessible>
#include <QtGui/QMouseEvent>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

namespace {

void sendMouse(QWidget& widget, QEvent::Type type, qreal x, Qt::MouseButtons buttons)
{
  const QPointF local(x, widget.height() / 2.0);
  QMouseEvent event(type, local, widget.mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                    buttons, Qt::NoModifier);
  QApplication::sendEvent(&widget, &event);
}

// Presses at `from`, drags through `through` (if any) and releases there.
void dragSwitch(TMSliderControl& control, qreal from, std::initializer_list<qreal> through)
{
  sendMouse(control, QEvent::MouseButtonPress, from, Qt::LeftButton);
  qreal last = from;
  for (const qreal x : through) {
    sendMouse(control, QEvent::MouseMove, x, Qt::LeftButton);
    last = x;
  }
  sendMouse(control, QEvent::MouseButtonRelease, last, Qt::NoButton);
}

class SliderSwitchTest : public ::testing::Test {
protected:
  void SetUp() override { control.resize(60, 27); }

  qreal offCentre() const { return control.handleControlRectOff().center().x(); }
  qreal onCentre() const { return control.handleControlRectOn().center().x(); }

  TMSliderControl control;
  QSignalSpy clicks{&control, &TMSliderControl::clicked};
};

TEST_F(SliderSwitchTest, HandleFramesFollowTheWidth)
{
  EXPECT_EQ(control.handleControlRectOn(), QRectF(34, 0, 25, 27));
  EXPECT_EQ(control.handleControlRectOff(), QRectF(1, 0, 25, 27));
  TMSliderControlSmall small;
  small.resize(60, 18);
  EXPECT_EQ(small.handleControlRectOn(), QRectF(33, 0, 27, 18));
  EXPECT_EQ(small.handleControlRectOff(), QRectF(0, 0, 27, 18));
  EXPECT_NE(small.currentWellImage(), small.sliderWellOn());
  small.setState(true);
  EXPECT_EQ(small.currentWellImage(), small.sliderWellOn());
}

TEST_F(SliderSwitchTest, ClicksAndDragsFlipTheSwitchByTheirRules)
{
  // A click on the track away from the handle flips it on release.
  dragSwitch(control, 50, {});
  EXPECT_TRUE(control.state());
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_EQ(control.handleCenterX(), onCentre());

  // An on switch dragged 5 points left stays on; 15 points left turns off.
  dragSwitch(control, onCentre(), {onCentre() - 5});
  EXPECT_TRUE(control.state());
  EXPECT_EQ(clicks.count(), 1);
  dragSwitch(control, onCentre(), {onCentre() - 15});
  EXPECT_FALSE(control.state());
  EXPECT_EQ(clicks.count(), 2);

  // An off switch dragged anywhere, even back to where it was, turns on.
  dragSwitch(control, offCentre(), {offCentre() + 8, offCentre()});
  EXPECT_TRUE(control.state());
  EXPECT_EQ(clicks.count(), 3);
  EXPECT_EQ(clicks.last().at(0).toBool(), true);
}

TEST_F(SliderSwitchTest, DraggingBeyondAnEndKeepsTheHandleAtThatEndsCentre)
{
  sendMouse(control, QEvent::MouseButtonPress, offCentre(), Qt::LeftButton);
  sendMouse(control, QEvent::MouseMove, -40, Qt::LeftButton);
  EXPECT_EQ(control.handleCenterX(), offCentre());
  sendMouse(control, QEvent::MouseMove, 200, Qt::LeftButton);
  EXPECT_EQ(control.handleCenterX(), onCentre());
  sendMouse(control, QEvent::MouseButtonRelease, 200, Qt::NoButton);
  EXPECT_TRUE(control.state());
}

TEST_F(SliderSwitchTest, KeysChangeTheStateAndNotifyLikeAClick)
{
  QTest::keyClick(&control, Qt::Key_Right);
  EXPECT_TRUE(control.state());
  ASSERT_EQ(clicks.count(), 1);
  EXPECT_TRUE(clicks.last().at(0).toBool());
  QTest::keyClick(&control, Qt::Key_Right);  // already on: nothing to tell
  EXPECT_EQ(clicks.count(), 1);
  QTest::keyClick(&control, Qt::Key_Left);
  EXPECT_FALSE(control.state());
  QTest::keyClick(&control, Qt::Key_Space);
  EXPECT_TRUE(control.state());
  EXPECT_EQ(clicks.count(), 3);

  // A change made in code is no click.
  QSignalSpy toggles(&control, &TMSliderControl::toggled);
  control.setState(false);
  EXPECT_EQ(toggles.count(), 1);
  EXPECT_EQ(clicks.count(), 3);
}

TEST_F(SliderSwitchTest, ADisabledSwitchIgnoresMouseAndKeys)
{
  control.setEnabled(false);
  dragSwitch(control, 50, {});
  dragSwitch(control, offCentre(), {onCentre()});
  for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Space}) QTest::keyClick(&control, key);
  EXPECT_FALSE(control.state());
  EXPECT_EQ(clicks.count(), 0);
  EXPECT_EQ(control.handleCenterX(), offCentre());
}

TEST_F(SliderSwitchTest, AccessibilitySeesACheckBoxThatPressFlips)
{
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&control);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->role(), QAccessible::CheckBox);
  ASSERT_NE(accessible->actionInterface(), nullptr);
  accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return control.state(); }));  // pressed like a button: after a moment
  EXPECT_TRUE(accessible->state().checked);
  EXPECT_EQ(clicks.count(), 1);
}

}  // namespace
