// The link status bar on its own: where it goes, in which theme, and its
// fade.

#include "support/ZPHTestSupport.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTheme.h"
#include "web/CBShadowTextField.h"
#include "web/ZPHMacWebViewStatusBarContentView.h"
#include "web/ZPHMacWebViewStatusBarWindow.h"
#include "web/ZPHMacWebViewStatusBarWindowController.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

class StatusBarTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHRegisterThemes();
    ZPHTheme::switchToTheme(ZPHTheme::lightTheme());
    window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(20, 30, 40, 50);
    webView = new QWidget(window.get());
    layout->addWidget(webView);
    window->resize(700, 500);
    window->show();
  }

  void TearDown() override
  {
    ZPHTheme::switchToTheme(ZPHTheme::lightTheme());
    bar.reset();
    window.reset();
  }

  std::unique_ptr<ZPHMacWebViewStatusBarWindowController> bar =
      std::make_unique<ZPHMacWebViewStatusBarWindowController>();
  std::unique_ptr<QWidget> window;
  QWidget* webView = nullptr;
};

TEST_F(StatusBarTest, SitsOnTheWebViewsBottomEdgeOnlyWithAText)
{
  const QRect before = bar->window()->geometry();
  EXPECT_FALSE(bar->positionAtBottomOfWebView(webView));
  EXPECT_EQ(bar->window()->geometry(), before);

  bar->textField()->setText(QStringLiteral("https://example.com/a"));
  auto hidden = std::make_unique<QWidget>();
  EXPECT_FALSE(bar->positionAtBottomOfWebView(hidden.get())) << "a view in no visible window";

  ASSERT_TRUE(bar->positionAtBottomOfWebView(webView));
  const int height = ZPHMacWebViewStatusBarWindow::BarHeight;
  EXPECT_EQ(bar->window()->geometry(), QRect(20, 30 + webView->height() - height, webView->width(), height));
  EXPECT_EQ(bar->window()->parentWidget(), window.get());
  EXPECT_FALSE(bar->isShown());
  bar->show();
  EXPECT_TRUE(bar->isShown());
  EXPECT_TRUE(bar->window()->testAttribute(Qt::WA_TransparentForMouseEvents));

  // It fades in every time it shows.
  EXPECT_LT(bar->window()->opacity(), 0.5);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return bar->window()->opacity() == 1.0; }, 2000));
  bar->hide();
  EXPECT_FALSE(bar->isShown());
  ASSERT_TRUE(bar->positionAtBottomOfWebView(webView));
  bar->show();
  EXPECT_LT(bar->window()->opacity(), 0.5);
}

TEST_F(StatusBarTest, OverAWebPageTheBarIsNeverDark)
{
  ZPHTheme::switchToTheme(ZPHTheme::darkTheme());
  EXPECT_EQ(bar->currentTheme(), ZPHTheme::darkTheme());
  EXPECT_EQ(bar->contentView()->currentTheme(), ZPHTheme::darkTheme());
  EXPECT_EQ(bar->textField()->palette().color(QPalette::WindowText),
            ZPHTheme::darkTheme()->browserStatusBarTextColor());

  bar->setAllowDarkTheme(false);
  EXPECT_EQ(bar->currentTheme(), ZPHTheme::lightTheme());
  EXPECT_EQ(bar->contentView()->currentTheme(), ZPHTheme::lightTheme());
  EXPECT_EQ(bar->textField()->palette().color(QPalette::WindowText),
            ZPHTheme::lightTheme()->browserStatusBarTextColor());
  bar->setAllowDarkTheme(false);
  EXPECT_EQ(bar->currentTheme(), ZPHTheme::lightTheme());

  // A theme switch keeps a bar over a web page out of the dark theme; a bar
  // that allows it follows the switch.
  ZPHTheme::switchToTheme(ZPHTheme::lightTheme());
  ZPHTheme::switchToTheme(ZPHTheme::darkTheme());
  EXPECT_EQ(bar->currentTheme(), ZPHTheme::lightTheme());
  EXPECT_EQ(bar->textField()->palette().color(QPalette::WindowText),
            ZPHTheme::lightTheme()->browserStatusBarTextColor());
  ZPHMacWebViewStatusBarWindowController articleBar;
  EXPECT_EQ(articleBar.currentTheme(), ZPHTheme::darkTheme());
  ZPHTheme::switchToTheme(ZPHTheme::lightTheme());
  ZPHTheme::switchToTheme(ZPHTheme::darkTheme());
  EXPECT_EQ(articleBar.currentTheme(), ZPHTheme::darkTheme());
}

}  // namespace
