// The find bar's slide into and out of the view that hosts it above a web
// content: where the bar and the content end, what is hidden, the focus.

#include "support/ZPHTestSupport.h"
#include "themes/ZPHRegisterThemes.h"
#include "web/ZPHFindBarSearchField.h"
#include "web/ZPHMacWebViewFindBarViewController.h"
#include "web/ZPHSlidingFindBar.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>

#include <gtest/gtest.h>

#include <memory>

namespace {

class SlidingFindBarTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHRegisterThemes();
    host = std::make_unique<QWidget>();
    host->resize(400, 300);
    content = new QLineEdit(host.get());
    content->setGeometry(host->rect());
    slide = new ZPHSlidingFindBar(host.get());
    host->show();
    QApplication::setActiveWindow(host.get());
    const int height = bar.view()->height();
    frames = {QRect(0, 0, 400, height), QRect(0, -height, 400, height), QRect(0, height, 400, 300 - height),
              QRect(0, 0, 400, 300)};
  }

  ZPHMacWebViewFindBarViewController bar;
  std::unique_ptr<QWidget> host;
  QLineEdit* content = nullptr;
  ZPHSlidingFindBar* slide = nullptr;
  ZPHSlidingFindBar::Frames frames;
};

TEST_F(SlidingFindBarTest, SlidesInAboveTheContentAndThenRunsWhatFollows)
{
  for (const bool animated : {false, true}) {
    SCOPED_TRACE(animated ? "animated" : "at once");
    slide->slideOut(bar.view(), content, frames, false, true);
    bool followed = false;
    slide->slideIn(&bar, content, frames, animated, [&followed] { followed = true; });
    EXPECT_EQ(bar.view()->parentWidget(), host.get());
    EXPECT_TRUE(bar.view()->isVisible());
    // Under the host's other views, so that it comes out from behind them.
    EXPECT_EQ(host->children().indexOf(bar.view()), 0);
    EXPECT_EQ(slide->isSliding(), animated);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return followed; }));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !slide->isSliding(); }));
    EXPECT_EQ(bar.view()->geometry(), frames.barShown);
    EXPECT_EQ(content->geometry(), frames.contentShown);
  }
}

TEST_F(SlidingFindBarTest, SlidesOutAndHidesTheBarOnlyWhenAsked)
{
  const struct {
    bool animated;
    bool hide;
  } cases[] = {{false, false}, {false, true}, {true, false}, {true, true}};
  for (const auto& test : cases) {
    SCOPED_TRACE(QStringLiteral("animated %1, hide %2").arg(test.animated).arg(test.hide).toStdString());
    slide->slideIn(&bar, content, frames, false, {});
    slide->slideOut(bar.view(), content, frames, test.animated, test.hide);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !slide->isSliding(); }));
    EXPECT_EQ(bar.view()->geometry(), frames.barHidden);
    EXPECT_EQ(content->geometry(), frames.contentHidden);
    EXPECT_EQ(bar.view()->isVisible(), !test.hide);
  }
  // Without a content only the bar moves.
  slide->slideIn(&bar, content, frames, false, {});
  slide->slideOut(bar.view(), nullptr, frames, false, false);
  EXPECT_EQ(bar.view()->geometry(), frames.barHidden);
  EXPECT_EQ(content->geometry(), frames.contentShown);
}

TEST_F(SlidingFindBarTest, StoppingASlideLeavesItWhereItIs)
{
  slide->slideIn(&bar, content, frames, true, {});
  ASSERT_TRUE(slide->isSliding());
  slide->stop();
  EXPECT_FALSE(slide->isSliding());
  // A slide out right after starts from there and ends out of sight.
  slide->slideOut(bar.view(), content, frames, true, true);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !bar.view()->isVisible(); }));
  EXPECT_EQ(bar.view()->geometry(), frames.barHidden);
}

TEST_F(SlidingFindBarTest, TheFocusLeavesTheBarForTheContent)
{
  slide->slideIn(&bar, content, frames, false, {});
  bar.searchField()->setFocus();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return bar.searchField()->hasFocus(); }));
  ZPHSlidingFindBar::moveFocusOutOf(bar.view(), nullptr);
  EXPECT_TRUE(bar.searchField()->hasFocus()) << "no target: the focus stays";
  ZPHSlidingFindBar::moveFocusOutOf(bar.view(), content);
  EXPECT_TRUE(content->hasFocus());
  // Focus elsewhere is left alone.
  auto* other = new QLineEdit(host.get());
  other->show();
  other->setFocus();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return other->hasFocus(); }));
  ZPHSlidingFindBar::moveFocusOutOf(bar.view(), content);
  EXPECT_TRUE(other->hasFocus());
}

}  // namespace
