#include "common/ZPHFeedbackProgressWindowController.h"
#include "sharing/CBPluginHelper.h"
#include "sharing/CBSharableItem.h"
#include "sharing/CBUserInterfaceContext.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHPersistentStore.h"
#include "support/ZPHTestSupport.h"

#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

TEST(SharableItemTest, ArticlesLinksAndMediaMakeTheirItems)
{
  ZPHTestTempDir folder;
  ZPHPersistentStore store(CBDataManagedObjectModel(), folder.filePath(QStringLiteral("Articles")));
  ASSERT_TRUE(store.open(false, nullptr));
  ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
  CBDataArticle* article = CBDataArticle::insertArticleWithMOC(&context);
  article->setPermalink(QStringLiteral("https://example.com/a|b"));
  article->setLink(QStringLiteral("https://example.com/link"));
  article->setTitle(QStringLiteral("<b>HTML title</b>"));
  article->insertArticleContentWithMOC(&context)->setHtmlText(QStringLiteral("<p>Body</p>"));
  CBSharableItem item = CBSharableItem::sharableItemWithArticle(article);
  EXPECT_EQ(item.uti(), CBSharableItem::TypeHTML);
  EXPECT_EQ(item.URL(), QUrl(QStringLiteral("https://example.com/link")));
  EXPECT_EQ(item.permalink().toString(QUrl::FullyEncoded), QStringLiteral("https://example.com/a%7Cb"));
  // An empty plain title: the HTML title.
  EXPECT_EQ(item.title(), QStringLiteral("<b>HTML title</b>"));
  EXPECT_EQ(item.htmlText(), QStringLiteral("<p>Body</p>"));
  // Without a link, the permalink is the URL too.
  article->setLink(QString());
  EXPECT_EQ(CBSharableItem::sharableItemWithArticle(article).URL(), item.permalink());

  EXPECT_EQ(CBSharableItem::sharableItemWithURL(QUrl(QStringLiteral("https://example.com"))).uti(),
            CBSharableItem::TypeURL);
  EXPECT_EQ(
      CBSharableItem::sharableItemWithTimeBasedMedia(QUrl(QStringLiteral("https://example.com/a.mp3?x=1.png"))).uti(),
      QStringLiteral("audio/mpeg"));
  EXPECT_EQ(CBSharableItem::sharableItemWithTimeBasedMedia(QUrl(QStringLiteral("https://example.com/stream"))).uti(),
            CBSharableItem::TypeAudiovisualContent);
}

TEST(SharableItemTest, AContextFindsItsWindowAndControllersFromTheView)
{
  QObject outer;
  QObject inner;
  QWidget window;
  auto* outerView = new QWidget(&window);
  auto* innerView = new QWidget(outerView);
  auto* button = new QWidget(innerView);
  CBUserInterfaceContext::setViewControllerForView(outerView, &outer);
  CBUserInterfaceContext::setViewControllerForView(innerView, &inner);
  const CBUserInterfaceContext context = CBUserInterfaceContext::contextWithViewController(nullptr, button, nullptr);
  EXPECT_EQ(context.window(), &window);
  EXPECT_EQ(context.hostViewController(), &inner);
  EXPECT_EQ(context.rootViewController(), &outer);
  // A view in no controller has neither.
  QWidget lone;
  const CBUserInterfaceContext none(nullptr, &lone, nullptr);
  EXPECT_EQ(none.rootViewController(), nullptr);
  EXPECT_EQ(none.window(), &lone);
}

TEST(PluginHelperTest, FeedbackShowsAndClosesTheSharedProgressWindow)
{
  CBPluginHelper helper;
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::green);
  helper.stopIndeterminateFeedback();  // nothing shown yet: nothing to close

  helper.startIndeterminateFeedbackWithTitle(QStringLiteral("Sending\u2026"), image);
  ASSERT_TRUE(ZPHFeedbackProgressWindowController::hasSharedController());
  ZPHFeedbackProgressWindowController* progress = ZPHFeedbackProgressWindowController::sharedController();
  EXPECT_TRUE(progress->window()->isVisible());
  EXPECT_TRUE(progress->isSpinning());
  EXPECT_FALSE(progress->showingSuccessMessage());
  EXPECT_EQ(progress->title(), QStringLiteral("Sending\u2026"));
  EXPECT_EQ(progress->image(), image);
  helper.stopIndeterminateFeedback();
  EXPECT_FALSE(progress->window()->isVisible());
  EXPECT_FALSE(progress->isSpinning());
  EXPECT_TRUE(progress->image().isNull());

  // A success message goes away by itself.
  helper.showSuccessMessageWithTitle(QStringLiteral("Saved"), image);
  EXPECT_TRUE(progress->window()->isVisible());
  EXPECT_TRUE(progress->showingSuccessMessage());
  EXPECT_FALSE(progress->isSpinning());
  EXPECT_EQ(progress->title(), QStringLiteral("Saved"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !progress->window()->isVisible(); }, 10000));
  EXPECT_FALSE(progress->showingSuccessMessage());
}
