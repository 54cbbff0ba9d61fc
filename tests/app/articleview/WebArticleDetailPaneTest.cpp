// The rendered article pane as the reading layouts use it: a real web view
// made with the first article, the page's sub-theme following the
// interface theme, the find commands' keys, and the column width.

#include "ArticleTestSupport.h"

#include "articleview/ZPHArticleDetailPaneView.h"
#include "articleview/ZPHArticleDetailViewController.h"
#include "articleview/ZPHStyleSheetController.h"
#include "articleview/ZPHWebArticleDetailPane.h"
#include "feeds/images/CBLocalStyleSheetProtocol.h"
#include "kit/ZPHManualClock.h"
#include "platform/ZPHUserDefaults.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTheme.h"
#include "web/ZPHFindBarSearchField.h"
#include "web/ZPHInternalPagesProfile.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHMacWebViewFindBarViewController.h"
#include "web/ZPHSearchUIProtocol.h"
#include "web/ZPHWebEnginePage.h"

#include <QtGui/QAction>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWidgets/QApplication>
#include <QtWidgets/QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

class WebArticleDetailPaneTest : public ArticleStoreTest {
protected:
  void SetUp() override
  {
    ArticleStoreTest::SetUp();
    ZPHRegisterThemes();
    ZPHTheme::switchToTheme(ZPHTheme::lightTheme());
    styles = std::make_unique<ZPHStyleSheetController>(defaults, nullptr, 1.0,
                                                       settingsFolder.filePath(QStringLiteral("StyleSheets")));
    for (const QString& folder : styles->styleSheetFolders())
      CBLocalStyleSheetProtocol::registerStyleSheetFolder(folder);
    internalPages = std::make_unique<ZPHInternalPagesProfile>();
    pane = std::make_unique<ZPHWebArticleDetailPane>(internalPages.get(), styles.get(), &defaults, &clock);
    window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pane->view());
    window->resize(900, 700);
    window->show();
    QApplication::setActiveWindow(window.get());
  }

  void TearDown() override
  {
    pane->invalidate();
    pane.reset();
    window.reset();
    internalPages.reset();
    for (const QString& folder : styles->styleSheetFolders())
      CBLocalStyleSheetProtocol::unregisterStyleSheetFolder(folder);
    ZPHTheme::switchToTheme(ZPHTheme::lightTheme());
    ArticleStoreTest::TearDown();
  }

  bool load(CBDataArticle* article, const QString& query = QString())
  {
    QSignalSpy finished(pane.get(), &ZPHArticleDetailPane::mainFrameDidFinishLoading);
    ZPHArticleDetailPane::LoadRequest request;
    request.article = article;
    request.searchQuery = query;
    pane->loadArticle(request);
    EXPECT_EQ(finished.count(), 0) << "the load finishes later, never during the call";
    return ZPHTestWaitUntil([&] { return finished.count() == 1; }, 60000);
  }

  QVariant run(const QString& script)
  {
    bool done = false;
    QVariant result;
    pane->detailViewController()->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                                        [&](const QVariant& value) {
                                                          result = value;
                                                          done = true;
                                                        });
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return done; }, 30000)) << text(script.left(80));
    return result;
  }

  QString subthemeSheet()
  {
    return run(QStringLiteral("document.getElementById('subthemeStylesheet').href")).toString();
  }

  CBDataArticle* article(const QString& title, const QString& html)
  {
    CBDataArticle* made =
        addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://example.com/") + title, html);
    made->setPlainTextTitle(title);
    return made;
  }

  ZPHTestTempDir settingsFolder;
  ZPHUserDefaults defaults{settingsFolder.filePath(QStringLiteral("defaults.conf"))};
  ZPHManualClock clock;
  std::unique_ptr<ZPHStyleSheetController> styles;
  std::unique_ptr<ZPHInternalPagesProfile> internalPages;
  std::unique_ptr<ZPHWebArticleDetailPane> pane;
  std::unique_ptr<QWidget> window;
};

TEST_F(WebArticleDetailPaneTest, TheFirstArticleMakesThePageAndLaterOnesReuseIt)
{
  EXPECT_EQ(pane->detailViewController(), nullptr) << "no web engine before an article";
  EXPECT_FALSE(internalPages->hasProfile());
  pane->updateArticleFlaggedState();
  pane->stopLoading();
  EXPECT_FALSE(pane->shouldAllowArticleWidthIncrease());
  EXPECT_FALSE(pane->shouldAllowArticleWidthDecrease());

  ASSERT_TRUE(load(article(QStringLiteral("First river"), QStringLiteral("<p>One.</p>"))));
  ZPHArticleDetailViewController* controller = pane->detailViewController();
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(pane->paneView()->detailContentView(), controller->view());
  EXPECT_EQ(run(QStringLiteral("document.getElementById('title').innerText")).toString(),
            QStringLiteral("First river"));

  CBDataArticle* second = article(QStringLiteral("Second river"), QStringLiteral("<p>Two rivers.</p>"));
  ASSERT_TRUE(load(second, QStringLiteral("river")));
  EXPECT_EQ(pane->detailViewController(), controller);
  EXPECT_EQ(pane->shownArticle(), second);
  EXPECT_EQ(pane->loads(), 2);
  EXPECT_EQ(run(QStringLiteral("document.getElementById('title').innerText")).toString(),
            QStringLiteral("Second river"));
  // A request without an article leaves the shown one in place.
  pane->loadArticle({});
  EXPECT_EQ(pane->shownArticle(), second);
  EXPECT_EQ(pane->loads(), 2);
}

TEST_F(WebArticleDetailPaneTest, ThePageFollowsTheInterfaceThemesSubtheme)
{
  ASSERT_TRUE(load(article(QStringLiteral("Night"), QStringLiteral("<p>Dark water.</p>"))));
  EXPECT_TRUE(subthemeSheet().endsWith(QLatin1String("/light.css"))) << text(subthemeSheet());

  QSignalSpy changed(pane.get(), &ZPHArticleDetailPane::didFinishChangingTheme);
  defaults.setInteger(ZPHSubthemeStyleIndexKey, 1);
  ZPHTheme::switchToTheme(ZPHTheme::darkTheme());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return changed.count() >= 1; }, 20000));
  EXPECT_TRUE(subthemeSheet().endsWith(QLatin1String("/dark.css"))) << text(subthemeSheet());

  defaults.setInteger(ZPHSubthemeStyleIndexKey, 0);
  ZPHTheme::switchToTheme(ZPHTheme::lightTheme());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return changed.count() >= 2; }, 20000));
  EXPECT_TRUE(subthemeSheet().endsWith(QLatin1String("/light.css"))) << text(subthemeSheet());

  // A stored index past the list: no sub-theme, and the next page has none.
  defaults.setInteger(ZPHSubthemeStyleIndexKey, 7);
  ASSERT_TRUE(load(article(QStringLiteral("Plain"), QStringLiteral("<p>Grey.</p>"))));
  EXPECT_FALSE(subthemeSheet().endsWith(QLatin1String(".css"))) << text(subthemeSheet());
}

TEST_F(WebArticleDetailPaneTest, ItsViewFindsInThePageAndCountsTheMatches)
{
  ASSERT_TRUE(load(article(QStringLiteral("Rivers"), QStringLiteral("<p>A river runs. The river bends.</p>"))));
  // The window's Find commands ask the pane's view; the keys are the
  // window's, so the pane has no shortcuts of its own to collide with them.
  auto* search = dynamic_cast<ZPHSearchUIProtocol*>(pane->view());
  ASSERT_NE(search, nullptr);
  EXPECT_TRUE(pane->findChildren<QAction*>().isEmpty());
  search->showFindPanelAnimated(true);
  ASSERT_TRUE(pane->paneView()->findBarShown());
  ZPHMacWebViewFindBarViewController* bar = pane->paneView()->findBarViewController();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return bar->searchField()->hasFocus(); }, 5000));
  QTest::keyClicks(bar->searchField(), QStringLiteral("river"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return bar->numberOfMatches() == 3; }, 10000)) << bar->numberOfMatches();
  EXPECT_EQ(bar->matchesTextField()->text(), QStringLiteral("3 matches"));
  bar->doneAction();
  EXPECT_FALSE(pane->paneView()->findBarShown());
}

TEST_F(WebArticleDetailPaneTest, TheColumnWidthIsTheOneLastAskedFor)
{
  EXPECT_EQ(pane->articleWidth(), styles->marginAtCurrentIndex());
  ASSERT_TRUE(load(article(QStringLiteral("Wide"), QStringLiteral("<p>Wide water.</p>"))));
  pane->setMarginWidth(41);
  EXPECT_EQ(pane->articleWidth(), 41) << "at once, as the layout's step needs";
  EXPECT_TRUE(ZPHTestWaitUntil(
      [&] { return run(QStringLiteral("document.getElementById('article').style.width")).toString() == "41em"; },
      20000));
  // The limits use the widths the page reported.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return pane->detailViewController()->articleWidth().has_value(); }, 20000));
  EXPECT_TRUE(pane->shouldAllowArticleWidthIncrease() || pane->shouldAllowArticleWidthDecrease());
}

}  // namespace
