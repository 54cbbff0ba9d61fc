#include "kit/CBSolidColorView.h"
#include "kit/ZPHBottomBorderView.h"
#include "kit/ZPHInnerGlowClipView.h"
#include "kit/ZPHSimpleColorView.h"
#include "support/ZPHTestSupport.h"

#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

namespace {

// Counts the paints of a widget class.
template <class Base>
class Counting : public Base {
public:
  using Base::Base;
  int paints = 0;

protected:
  void paintEvent(QPaintEvent* event) override
  {
    ++paints;
    Base::paintEvent(event);
  }
};

// Shows the widget and waits until its first paints are over.
template <class View>
void showAndSettle(View& view)
{
  view.resize(60, 40);
  view.show();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return view.paints > 0; }));
  ZPHTestSpinEventLoop(30);
  view.paints = 0;
}

}  // namespace

TEST(SmallDrawingViews, ColourViewsRepaintOnlyForANewColour)
{
  Counting<ZPHSimpleColorView> simple;
  EXPECT_FALSE(simple.backgroundColor().isValid());
  EXPECT_FALSE(simple.isOpaque());
  simple.setShouldBeOpaque(true);
  EXPECT_TRUE(simple.isOpaque());
  simple.setShouldBeOpaque(false);
  showAndSettle(simple);
  simple.setBackgroundColor(Qt::red);
  simple.setBackgroundColor(Qt::red);
  ZPHTestSpinEventLoop(30);
  EXPECT_EQ(simple.paints, 1);

  Counting<CBSolidColorView> solid;
  EXPECT_TRUE(solid.testAttribute(Qt::WA_OpaquePaintEvent));
  const QColor lightBlue = QColor::fromRgbF(0.607843137255, 0.788235294118, 1.0);
  EXPECT_EQ(solid.backgroundColor(), lightBlue);
  showAndSettle(solid);
  solid.setBackgroundColor(lightBlue);
  ZPHTestSpinEventLoop(30);
  EXPECT_EQ(solid.paints, 0);
  solid.setBackgroundColor(Qt::green);
  ZPHTestSpinEventLoop(30);
  EXPECT_EQ(solid.paints, 1);
}

TEST(SmallDrawingViews, TheBottomBorderNeedsAColourAndAHeight)
{
  ZPHBottomBorderView view;
  view.resize(100, 30);
  EXPECT_TRUE(view.borderRect().isEmpty());
  view.setBorderHeight(2);
  EXPECT_TRUE(view.borderRect().isEmpty());
  view.setBorderColor(Qt::gray);
  EXPECT_EQ(view.borderRect(), QRectF(0, 28, 100, 2));
  view.setBorderHeight(0);
  EXPECT_TRUE(view.borderRect().isEmpty());
}

TEST(SmallDrawingViews, TheInnerGlowFollowsItsColour)
{
  Counting<ZPHInnerGlowClipView> view;
  EXPECT_FALSE(view.shouldDrawInnerGlow());
  EXPECT_EQ(view.backgroundColor(), view.palette().color(QPalette::Base));
  showAndSettle(view);

  view.setInnerGlowColor(Qt::blue);
  EXPECT_EQ(view.innerGlowShadow().color(), QColor(Qt::blue));
  EXPECT_EQ(view.innerGlowShadow().blurRadius(), 2.5);
  EXPECT_EQ(view.innerGlowShadow().offset(), QPointF(0, 0));
  view.setShouldDrawInnerGlow(true);
  ZPHTestSpinEventLoop(30);
  EXPECT_EQ(view.paints, 1);
  view.setShouldDrawInnerGlow(true);
  ZPHTestSpinEventLoop(30);
  EXPECT_EQ(view.paints, 1);
}
