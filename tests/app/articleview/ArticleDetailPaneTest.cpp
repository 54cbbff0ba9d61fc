// The article detail pane with plain views (no page): content changes, the
// inactive-window overlay, and whose views they stay.

#include "support/ZPHTestSupport.h"

#include "articleview/ZPHArticleDetailPaneView.h"
#include "kit/ZPHSimpleColorView.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "platform/ZPHNotificationCenter.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTheme.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

class ArticleDetailPaneTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHRegisterThemes();
    ZPHTheme::switchToTheme(ZPHTheme::lightTheme());
    window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    pane = new ZPHArticleDetailPaneView(window.get());
    layout->addWidget(pane);
    window->resize(500, 400);
    window->show();
  }

  void TearDown() override
  {
    window.reset();
    ZPHTheme::switchToTheme(ZPHTheme::lightTheme());
  }

  void setWindowActive(bool active)
  {
    window->setProperty("zph_windowShouldDrawActive", active);
    ZPHNotificationCenter::defaultCenter().post(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification,
                                                QVariant::fromValue<QObject*>(window.get()));
  }

  bool overlayShown() const
  {
    return pane->inactiveWindowOverlayView() && pane->inactiveWindowOverlayView()->isVisible();
  }

  std::unique_ptr<QWidget> window;
  ZPHArticleDetailPaneView* pane = nullptr;
  QWidget first;
  QWidget second;
};

TEST_F(ArticleDetailPaneTest, TheFirstContentFadesInOnlyWhenAskedAndLaterOnesReplaceIt)
{
  pane->setShouldAnimateIn(true);
  pane->setDetailContentView(&first);
  EXPECT_EQ(pane->detailContentView(), &first);
  EXPECT_EQ(first.parentWidget(), pane);
  EXPECT_EQ(first.geometry(), pane->rect());
  ASSERT_NE(pane->screenshotView(), nullptr);
  EXPECT_TRUE(pane->screenshotView()->isVisible()) << "the empty pane laid over it, fading";
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return !pane->screenshotView()->isVisible(); }, 3000));

  pane->setDetailContentView(&second);
  EXPECT_FALSE(pane->screenshotView()->isVisible());
  EXPECT_EQ(first.parentWidget(), nullptr) << "handed back, not deleted";
  EXPECT_EQ(second.parentWidget(), pane);
  EXPECT_TRUE(second.isVisible());

  // A temporary view shows in place of the content, which comes back.
  QWidget temporary;
  pane->setDetailTemporaryView(&temporary);
  EXPECT_TRUE(temporary.isVisible());
  EXPECT_FALSE(second.isVisible());
  pane->setDetailContentView(&second);
  EXPECT_EQ(pane->detailTemporaryView(), nullptr);
  EXPECT_EQ(temporary.parentWidget(), nullptr);
  EXPECT_TRUE(second.isVisible());

  // Without the fade the first content simply shows.
  ZPHArticleDetailPaneView plain;
  plain.resize(200, 200);
  plain.show();
  plain.setDetailContentView(&first);
  EXPECT_EQ(plain.screenshotView(), nullptr);
  plain.setDetailContentView(nullptr);
}

TEST_F(ArticleDetailPaneTest, AnInactiveWindowDimsThePaneOnlyInAThemeWithAnOverlayColour)
{
  pane->setDetailContentView(&first);
  setWindowActive(false);
  EXPECT_FALSE(overlayShown()) << "the light theme has no overlay colour";

  ZPHTheme::switchToTheme(ZPHTheme::darkTheme());
  ASSERT_TRUE(overlayShown());
  EXPECT_EQ(pane->inactiveWindowOverlayView()->geometry(), pane->rect());
  EXPECT_EQ(pane->inactiveWindowOverlayView()->backgroundColor(), ZPHTheme::darkTheme()->detailWebViewOverlayColor());
  EXPECT_TRUE(pane->inactiveWindowOverlayView()->testAttribute(Qt::WA_TransparentForMouseEvents));
  setWindowActive(true);
  EXPECT_FALSE(overlayShown());
  setWindowActive(false);
  EXPECT_TRUE(overlayShown());
  ZPHTheme::switchToTheme(ZPHTheme::lightTheme());
  EXPECT_EQ(pane->inactiveWindowOverlayView(), nullptr);
}

TEST_F(ArticleDetailPaneTest, ThePaneNeverDeletesTheViewsItShows)
{
  auto content = std::make_unique<QLabel>(QStringLiteral("content"));
  pane->setDetailContentView(content.get());
  window.reset();
  EXPECT_EQ(content->parentWidget(), nullptr);
  EXPECT_EQ(content->text(), QStringLiteral("content"));
}

}  // namespace
