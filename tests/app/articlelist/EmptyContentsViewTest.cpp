#include "articlelist/ZPHEmptyContentsViewController.h"
#include "foundation/CBPrefs.h"
#include "kit/ZPHElidingLabel.h"
#include "kit/ZPHSimpleColorView.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/tree/ZPHModel.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"
#include "themes/ZPHEmptyContentsViewButton.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTheme.h"

#include <QtTest/QTest>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <functional>

namespace {

using State = ZPHEmptyContentsViewControllerState;
using Action = ZPHEmptyContentsViewController::ButtonAction;

// Remembers which recovery option it was asked for.
class RecordingAttempter : public ZPHErrorRecoveryAttempter {
public:
  bool attemptRecovery(const ZPHError& error, int optionIndex) override
  {
    attempts.append(optionIndex);
    errorDescriptions.append(error.localizedDescription());
    return true;
  }
  QList<int> attempts;
  QStringList errorDescriptions;
};

ZPHError feedError(const QString& description, const QString& suggestion, const QStringList& options,
                   std::shared_ptr<ZPHErrorRecoveryAttempter> attempter)
{
  QVariantMap info{{ZPHLocalizedDescriptionKey, description}};
  if (!suggestion.isEmpty())
    info.insert(ZPHLocalizedRecoverySuggestionKey, suggestion);
  if (!options.isEmpty())
    info.insert(ZPHLocalizedRecoveryOptionsKey, options);
  ZPHError error(QStringLiteral("ZPHRefreshFeedOperationErrorDomain"), 404, info);
  error.setRecoveryAttempter(std::move(attempter));
  return error;
}

// A real store with a folder holding a feed, an empty folder and a feed
// that failed to refresh; the placeholder in a window, light theme.
class EmptyContentsViewTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHRegisterThemes();
    ZPHTheme::switchToThemeWithIdentifier(ZPHLightThemeIdentifier);
    // The model's flags live for the process; an application an earlier
    // test ran may have left them set.
    ZPHModel::sharedModel()->updateHasFeedsOtherThanGlobalFeeds();
    ZPHModel::sharedModel()->updateHasFavoriteFeeds();
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    ZPHManagedObjectContext* main = delegate.mainThreadManagedObjectContext();
    fullFolder = CBFolder::insertFolderWithName("News", main);
    emptyFolder = CBFolder::insertFolderWithName("Nothing", main);
    feed = CBFeed::insertFeedWithURL(QUrl("http://127.0.0.1:1/feed.xml"), main);
    feed->setParent(fullFolder);
    failingFeed = CBFeed::insertFeedWithURL(QUrl("http://127.0.0.1:1/missing.xml"), main);
    failingFeed->setLastFeedRefreshError(feedError("<b>x</b><img src=x>", "The site said <i>404</i>.",
                                                   {"Cancel", "Unsubscribe", "Try Again"}, attempter));
    setHideRead(false);
    window.resize(700, 500);
  }

  void TearDown() override
  {
    placeholder.reset();
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHHideReadArticles);
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHEmptyContentsViewController::ShowNoArticleSelectedTextKey);
    ZPHTheme::switchToThemeWithIdentifier(ZPHLightThemeIdentifier);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 20000));
  }

  static void setHideRead(bool hide) { ZPHUserDefaults::standardUserDefaults().setBool(ZPHHideReadArticles, hide); }

  void showInWindow()
  {
    auto* view = placeholder->view();
    view->setParent(&window);
    view->setGeometry(window.rect());
    window.show();
  }

  QString headline() const { return placeholder->primaryTextField()->text(); }
  QString explanation() const
  {
    return placeholder->secondaryTextField()->isVisible() ? placeholder->secondaryTextField()->text() : QString();
  }
  QString buttonTitle() const { return placeholder->button()->isVisible() ? placeholder->button()->text() : QString(); }
  QImage glyph() const
  {
    return placeholder->imageView()->pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  }
  static QImage themeImage(const QString& name)
  {
    return ZPHTheme::currentTheme()->imageNamed(name).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  }

  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  std::shared_ptr<RecordingAttempter> attempter = std::make_shared<RecordingAttempter>();
  CBFolder* fullFolder = nullptr;
  CBFolder* emptyFolder = nullptr;
  CBFeed* feed = nullptr;
  CBFeed* failingFeed = nullptr;
  QWidget window;
  std::unique_ptr<ZPHEmptyContentsViewController> placeholder = std::make_unique<ZPHEmptyContentsViewController>();
};

TEST_F(EmptyContentsViewTest, EachStateShowsItsTextsGlyphButtonAndLayout)
{
  CBGlobalFeed allUnread(CBGlobalFeedTypeAllUnread);
  CBGlobalFeed today(CBGlobalFeedTypeToday);
  CBGlobalFeed bookmarks(CBGlobalFeedTypeFlagged);
  const ZPHError descriptionOnly = feedError("Not Found", QString(), {}, attempter);
  const ZPHError noOptions = feedError("Not Found", "Check the address.", {}, attempter);

  struct Case {
    const char* name;
    bool hideRead;
    std::function<void(ZPHEmptyContentsViewController&)> enter;
    State state;
    QString headline;
    QString explanation;
    QString button;
    Action action;
    const char* glyph;
    int layout;
  };
  const QList<Case> cases = {
      {"all unread", false, [&](auto& c) { c.configureForNoArticlesWithGlobalFeed(&allUnread); }, State(1),
       "NO UNREAD ARTICLES", "", "", Action::None, "emptyUnread", 3},
      {"today, hide read", true, [&](auto& c) { c.configureForNoArticlesWithGlobalFeed(&today); }, State(2),
       "NO UNREAD ARTICLES TODAY", "", "Show Read Articles", Action::ToggleHideReadArticles, "emptyToday", 3},
      {"today", false, [&](auto& c) { c.configureForNoArticlesWithGlobalFeed(&today); }, State(2), "NO ARTICLES TODAY",
       "", "", Action::None, "emptyToday", 3},
      {"bookmarks", false, [&](auto& c) { c.configureForNoArticlesWithGlobalFeed(&bookmarks); }, State(3),
       "NO BOOKMARKS", "", "", Action::None, "emptyBookmarks", 3},
      {"no favourite sites", false, [](auto& c) { c.configureForNoFeedsInFavoriteFeeds(); }, State(4),
       "NO FAVORITE SITES", "Drag any site into Favorites to add it as a favorite.", "", Action::None, "emptyFavorites",
       4},
      {"favourites, hide read", true, [](auto& c) { c.configureForNoArticlesInFavoriteFeeds(); }, State(5),
       "NO UNREAD FAVORITE ARTICLES", "", "Show Read Articles", Action::ToggleHideReadArticles, "emptyFavorites", 3},
      {"favourites", false, [](auto& c) { c.configureForNoArticlesInFavoriteFeeds(); }, State(5),
       "NO  FAVORITE ARTICLES", "", "", Action::None, "emptyFavorites", 3},
      {"empty folder", false, [&](auto& c) { c.configureForNoArticlesSelectedWithFolder(emptyFolder); }, State(6),
       "EMPTY FOLDER", "Move sites to this folder to read articles.", "", Action::None, "emptyFolder", 4},
      {"folder", false, [&](auto& c) { c.configureForNoArticlesSelectedWithFolder(fullFolder); }, State(7),
       "NO UNREAD ARTICLES", "", "", Action::None, "emptyNoArticles", 3},
      {"feed, no article selected", false, [&](auto& c) { c.configureForNoArticleSelectedWithFeed(feed); }, State(8),
       "", "", "", Action::None, "emptyNoArticles", 2},
      {"nothing selected", false, [](auto& c) { c.configureForState(State(9), nullptr, false); }, State(9), "", "", "",
       Action::None, "emptyAll", 2},
      {"no sites", false, [](auto& c) { c.configureForNoSelection(); }, State(10), "NO SITES", "", "Add Some Sites",
       Action::AddSites, "emptyAll", 3},
      {"search", false, [](auto& c) { c.configureForSearchResultsForQuery("café <b>"); }, State(11),
       "RESULTS FOR \"CAFÉ <B>\"", "", "", Action::None, "emptySearch", 3},
      {"no search results", false, [](auto& c) { c.configureForEmptySearchResults(); }, State(12), "NO SEARCH RESULTS",
       "", "", Action::None, "emptySearch", 3},
      {"feed, hide read", true, [&](auto& c) { c.configureForNoArticlesWithFeed(feed); }, State(13),
       "NO UNREAD ARTICLES", "", "Show Read Articles", Action::ToggleHideReadArticles, "emptyNoArticles", 3},
      {"feed", false, [&](auto& c) { c.configureForNoArticlesWithFeed(feed); }, State(13), "NO ARTICLES", "", "",
       Action::None, "emptyNoArticles", 3},
      {"failed feed", false, [&](auto& c) { c.configureForNoArticlesWithFeed(failingFeed); }, State(14),
       "<B>X</B><IMG SRC=X>", "The site said <i>404</i>.", "Try Again", Action::RecoverFromError, "emptyError", 4},
      // A description without a suggestion: the texts of state 13, the
      // error's glyph, and a button that does what it says.
      {"failed feed, description only, hide read", true,
       [&](auto& c) {
         feed->setLastFeedRefreshError(descriptionOnly);
         c.configureForNoArticlesWithFeed(feed);
       },
       State(14), "NO UNREAD ARTICLES", "", "Show Read Articles", Action::ToggleHideReadArticles, "emptyError", 3},
      // No recovery options: no button.
      {"failed feed, no options", false,
       [&](auto& c) {
         feed->setLastFeedRefreshError(noOptions);
         c.configureForNoArticlesWithFeed(feed);
       },
       State(14), "NOT FOUND", "Check the address.", "", Action::None, "emptyError", 4},
  };

  showInWindow();
  for (const Case& entry : cases) {
    SCOPED_TRACE(entry.name);
    feed->setLastFeedRefreshError(ZPHError());
    setHideRead(entry.hideRead);
    entry.enter(*placeholder);
    EXPECT_EQ(placeholder->state(), entry.state);
    EXPECT_EQ(headline(), entry.headline);
    EXPECT_EQ(explanation(), entry.explanation);
    EXPECT_EQ(buttonTitle(), entry.button);
    EXPECT_EQ(placeholder->buttonAction(), entry.action);
    EXPECT_EQ(glyph(), themeImage(entry.glyph));
    EXPECT_EQ(placeholder->layoutMode(), entry.layout);
    EXPECT_EQ(placeholder->primaryTextField()->textFormat(), Qt::PlainText);
    EXPECT_EQ(placeholder->secondaryTextField()->textFormat(), Qt::PlainText);
  }
}

TEST_F(EmptyContentsViewTest, TheButtonRunsTheRecoveryOptionItShows)
{
  showInWindow();
  placeholder->configureForNoArticlesWithFeed(failingFeed);
  ASSERT_EQ(buttonTitle(), "Try Again");
  EXPECT_EQ(placeholder->secondaryTextFieldMode(), 1);
  QTest::mouseClick(placeholder->button(), Qt::LeftButton);
  EXPECT_EQ(attempter->attempts, QList<int>({2}));
  EXPECT_EQ(attempter->errorDescriptions, QStringList({"<b>x</b><img src=x>"}));

  int toggles = 0;
  int additions = 0;
  QObject::connect(placeholder.get(), &ZPHEmptyContentsViewController::toggleHideReadArticlesRequested,
                   [&toggles] { ++toggles; });
  QObject::connect(placeholder.get(), &ZPHEmptyContentsViewController::addPopularSitesRequested,
                   [&additions] { ++additions; });
  setHideRead(true);
  placeholder->configureForNoArticlesWithFeed(feed);
  QTest::mouseClick(placeholder->button(), Qt::LeftButton);
  placeholder->configureForNoSelection();
  QTest::mouseClick(placeholder->button(), Qt::LeftButton);
  EXPECT_EQ(toggles, 1);
  EXPECT_EQ(additions, 1);
  EXPECT_EQ(attempter->attempts.size(), 1);
}

TEST_F(EmptyContentsViewTest, TheFeedShownTurnsIntoTheErrorViewAndBack)
{
  showInWindow();
  placeholder->configureForNoArticlesWithFeed(feed);
  ASSERT_EQ(placeholder->state(), State(13));
  feed->setLastFeedRefreshError(feedError("Not Found", "Check the address.", {"Cancel", "Unsubscribe"}, attempter));
  EXPECT_EQ(placeholder->state(), State(14));
  EXPECT_EQ(headline(), "NOT FOUND");
  EXPECT_EQ(buttonTitle(), "Unsubscribe");
  feed->setLastFeedRefreshError(ZPHError());
  EXPECT_EQ(placeholder->state(), State(13));
  EXPECT_EQ(headline(), "NO ARTICLES");

  // Another feed shown: the first one is no longer followed.
  placeholder->configureForNoArticlesWithFeed(failingFeed);
  feed->setLastFeedRefreshError(feedError("Gone", "Really.", {}, attempter));
  EXPECT_EQ(placeholder->mostRecentFeedFolderOrGlobalFeed(), failingFeed);
  EXPECT_EQ(headline(), "<B>X</B><IMG SRC=X>");
}

TEST_F(EmptyContentsViewTest, TheSameEntryTwiceChangesNothingButASearchAlwaysRedraws)
{
  CBGlobalFeed today(CBGlobalFeedTypeToday);
  placeholder->configureForNoArticlesWithGlobalFeed(&today);
  const qint64 first = placeholder->tabThumbnailImageForCurrentState().cacheKey();
  placeholder->configureForNoArticlesWithGlobalFeed(&today);
  EXPECT_EQ(placeholder->tabThumbnailImageForCurrentState().cacheKey(), first);

  placeholder->configureForSearchResultsForQuery("x");
  const qint64 search = placeholder->tabThumbnailImageForCurrentState().cacheKey();
  placeholder->configureForSearchResultsForQuery("x");
  EXPECT_NE(placeholder->tabThumbnailImageForCurrentState().cacheKey(), search);

  // The thumbnail: 113 x 72 points at scale 1 and 2.
  const QList<QSize> sizes = placeholder->tabThumbnailImageForCurrentState().availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(113, 72)));
  EXPECT_TRUE(sizes.contains(QSize(226, 144)));
  // No glyph: an empty thumbnail and no glyph on screen, nothing worse.
  EXPECT_TRUE(ZPHEmptyContentsViewController::imageForState(State(0), true).isNull());
  EXPECT_FALSE(ZPHEmptyContentsViewController::tabThumbnailImageForState(State(0)).isNull());
}

TEST_F(EmptyContentsViewTest, AnInactiveWindowGetsInactiveGlyphsAndTheDarkThemesOverlay)
{
  ZPHTheme::switchToThemeWithIdentifier(ZPHDarkThemeIdentifier);
  placeholder->setUsesInactiveOverlay(true);
  showInWindow();
  placeholder->configureForNoArticlesInFavoriteFeeds();
  EXPECT_EQ(glyph(), themeImage("emptyFavorites"));

  window.setProperty("zph_windowShouldDrawActive", false);
  ZPHNotificationCenter::defaultCenter().post(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification,
                                              QVariant::fromValue<QObject*>(&window));
  EXPECT_EQ(glyph(), themeImage("emptyFavoritesInactive"));
  ASSERT_NE(placeholder->inactiveWindowOverlayView(), nullptr);
  EXPECT_TRUE(placeholder->inactiveWindowOverlayView()->isVisible());
  EXPECT_EQ(placeholder->inactiveWindowOverlayView()->backgroundColor(),
            ZPHTheme::currentTheme()->detailWebViewOverlayColor());
  placeholder->view()->resize(300, 200);
  EXPECT_EQ(placeholder->inactiveWindowOverlayView()->geometry(), QRect(0, 0, 300, 200));

  // The light theme has no overlay colour.
  ZPHTheme::switchToThemeWithIdentifier(ZPHLightThemeIdentifier);
  EXPECT_EQ(placeholder->inactiveWindowOverlayView(), nullptr);
  EXPECT_EQ(glyph(), themeImage("emptyFavoritesInactive"));

  // The window goes first: the controller lives on and builds a new view.
  delete placeholder->view();
  EXPECT_FALSE(placeholder->viewHasLoaded());
  ZPHTheme::switchToThemeWithIdentifier(ZPHDarkThemeIdentifier);
  placeholder->configureForNoFeedsInFavoriteFeeds();
  ASSERT_NE(placeholder->view(), nullptr);
  EXPECT_EQ(headline(), "NO FAVORITE SITES");
}

}  // namespace
