#include "articlelist/ZPHArticleListBookmarkView.h"
#include "articlelist/ZPHClassicLayoutBookmarkView.h"
#include "support/ZPHTestSupport.h"

#include <QtTest/QSignalSpy>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

TEST(BookmarkViewTest, TheMarkerSlidesBetweenItsFramesAndTellsOfEveryCall)
{
  const QSizeF size = ZPHArticleListBookmarkView::sizeToFit();
  ASSERT_FALSE(size.isEmpty());
  ZPHArticleListBookmarkView view(QRect(QPoint(0, 0), size.toSize()));
  // No shadow image: no shadow view.
  EXPECT_EQ(view.shadowView(), nullptr);
  // Hidden just below the bounds (starting offset 0), or at the offset.
  EXPECT_EQ(view.imageViewFrameForBookmarkShown(false).top(), size.height());
  EXPECT_EQ(QRectF(view.imageView()->geometry()).top(), size.height());
  view.setStartingOffset(5);
  EXPECT_EQ(view.imageViewFrameForBookmarkShown(false).top(), 5);
  EXPECT_EQ(view.imageViewFrameForBookmarkShown(true), QRectF(view.rect()));

  QSignalSpy told(&view, &ZPHArticleListBookmarkView::bookmarkShown);
  int handled = 0;
  // Not on screen: at once, and the handler is not called.
  view.setBookmarkShown(true, true, [&] { ++handled; });
  EXPECT_TRUE(view.isBookmarkShown());
  EXPECT_EQ(QRectF(view.imageView()->geometry()), view.imageViewFrameForBookmarkShown(true));
  view.setBookmarkShown(true, false, [&] { ++handled; });
  EXPECT_EQ(told.count(), 2);  // also when nothing changed
  EXPECT_EQ(handled, 0);

  // On screen, animated: the handler runs when the slide ends.
  view.show();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return view.isVisible(); }));
  view.setBookmarkShown(false, true, [&] { ++handled; });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return handled == 1; }, 2000));
  EXPECT_EQ(QRectF(view.imageView()->geometry()), view.imageViewFrameForBookmarkShown(false));
  EXPECT_EQ(told.count(), 3);
}

TEST(BookmarkViewTest, TheClassicRibbonFadesItsShadowWithIt)
{
  ZPHClassicLayoutBookmarkView view(QRect(QPoint(0, 0), ZPHClassicLayoutBookmarkView::sizeToFit().toSize()));
  ASSERT_NE(view.shadowView(), nullptr);
  EXPECT_EQ(view.shadowOpacity(), 0.0);
  view.setBookmarkShown(true, false, {});
  EXPECT_EQ(view.shadowOpacity(), 1.0);
  view.setBookmarkShown(false, false, {});
  EXPECT_EQ(view.shadowOpacity(), 0.0);
}
