#include "ArticleTestSupport.h"

#include "articleview/ZPHArticleDetailChecks.h"
#include "feeds/images/ZPHArticleImageCacheController.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(ArticleDetailChecks, TheImageLayoutIsZeroOrOne)
{
  EXPECT_EQ(ZPHArticleDetailChecks::imageLayoutValue(0), 0);
  EXPECT_EQ(ZPHArticleDetailChecks::imageLayoutValue(1.0), 1);
  EXPECT_EQ(ZPHArticleDetailChecks::imageLayoutValue(true), 1);
  EXPECT_EQ(ZPHArticleDetailChecks::imageLayoutValue(qlonglong(0)), 0);
  for (const QVariant& refused :
       {QVariant(2), QVariant(-1), QVariant(0.5), QVariant(std::numeric_limits<double>::quiet_NaN()),
        QVariant(std::numeric_limits<double>::infinity()), QVariant(QStringLiteral("1")), QVariant(),
        QVariant(QVariantList{1}), QVariant(QVariantMap{{"a", 1}})})
    EXPECT_FALSE(ZPHArticleDetailChecks::imageLayoutValue(refused).has_value()) << text(refused.toString());
}

TEST(ArticleDetailChecks, TheShareRectangleIsFiniteAndInsideTheView)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const QSizeF view(800, 600);
  struct Case {
    double x, y, width, height;
    std::optional<QRectF> rectangle;
  } cases[] = {
      {10, 20, 30, 40, QRectF(10, 20, 30, 40)},
      {-50, -5, 100, 20, QRectF(0, 0, 50, 15)},
      {790, 590, 100, 100, QRectF(790, 590, 10, 10)},
      {900, 700, 10, 10, QRectF(800, 600, 0, 0)},
      {10, 10, -30, -30, QRectF(10, 10, 0, 0)},
      {1e300, -1e300, 1e300, 1e300, QRectF(800, 0, 0, 0)},
      {1e308, 1e308, 1e308, 1e308, QRectF(800, 600, 0, 0)},
      {-1e308, -1e308, 1e308, 1e308, QRectF(0, 0, 0, 0)},
      {nan, 0, 10, 10, std::nullopt},
      {0, inf, 10, 10, std::nullopt},
      {0, 0, -inf, 10, std::nullopt},
      {0, 0, 10, nan, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ZPHArticleDetailChecks::shareRectangle(c.x, c.y, c.width, c.height, view), c.rectangle)
        << c.x << " " << c.y << " " << c.width << " " << c.height;
  EXPECT_FALSE(ZPHArticleDetailChecks::shareRectangle(0, 0, 1, 1, QSizeF(0, 0)).has_value());
  EXPECT_FALSE(ZPHArticleDetailChecks::shareRectangle(0, 0, 1, 1, QSizeF(nan, 10)).has_value());
}

TEST(ArticleDetailChecks, RelativeLinksResolveAgainstTheArticle)
{
  const QUrl base(QStringLiteral("http://example.com/dir/article.html?x=1#top"));
  struct Case {
    const char* link;
    const char* resolved;
  } cases[] = {
      {"page?id=3", "http://example.com/dir/page?id=3"},
      {"../x", "http://example.com/x"},
      {"#f", "http://example.com/dir/article.html?x=1#f"},
      {"?q=a b", "http://example.com/dir/article.html?q=a%20b"},
      {"//other.example.com/y", "http://other.example.com/y"},
      {"/root", "http://example.com/root"},
      {"https://elsewhere.example.com/z", "https://elsewhere.example.com/z"},
      {"mailto:a@example.com", "mailto:a@example.com"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(text(ZPHArticleDetailChecks::urlAdjustedForArticleRelativity(QUrl(QString::fromUtf8(c.link)), base)
                       .toString(QUrl::FullyEncoded)),
              c.resolved)
        << c.link;
  EXPECT_EQ(ZPHArticleDetailChecks::urlAdjustedForArticleRelativity(QUrl(QStringLiteral("x")), QUrl()),
            QUrl(QStringLiteral("x")));
  EXPECT_EQ(ZPHArticleDetailChecks::urlAdjustedForArticleRelativity(QUrl(QStringLiteral("x")), QUrl("rel/base")),
            QUrl(QStringLiteral("x")));
}

TEST(ArticleDetailChecks, OnlyTheShownArticlesImagesHaveAPublicAddress)
{
  const QUrl base(QStringLiteral("http://example.com/dir/post"));
  const QString html = QStringLiteral("<p><img src=\"/dir/a.png\"> <img src=\"http://cdn.example.com/b.jpg\"></p>");
  const QUrl a(QStringLiteral("http://example.com/dir/a.png"));
  const QUrl b(QStringLiteral("http://cdn.example.com/b.jpg"));
  const QString cachedA = ZPHArticleImageCacheController::imageCacheURLForURL(a).toString();
  const QString cachedB = ZPHArticleImageCacheController::imageCacheURLForURL(b).toString();
  EXPECT_EQ(ZPHArticleDetailChecks::publicURLForImageCachedURL(cachedA, html, base), a);
  EXPECT_EQ(ZPHArticleDetailChecks::publicURLForImageCachedURL(cachedB, html, base), b);

  const QString other =
      ZPHArticleImageCacheController::imageCacheURLForURL(QUrl(QStringLiteral("http://example.com/other.png")))
          .toString();
  const QString refused[] = {
      other,                                           // an image of another article
      QStringLiteral("http://example.com/dir/a.png"),  // not an image-cache address
      QString(cachedA).replace(QStringLiteral("zph-image-cache"), QStringLiteral("https")),
      QStringLiteral("zph-image-cache://../../etc/passwd"),
      QStringLiteral("zph-image-cache://not-a-key.png"),
      QStringLiteral(""),
      QStringLiteral("javascript:alert(1)"),
  };
  for (const QString& cached : refused)
    EXPECT_TRUE(ZPHArticleDetailChecks::publicURLForImageCachedURL(cached, html, base).isEmpty()) << text(cached);
  // The shown article's own images only: the same address with another
  // article's HTML finds nothing.
  EXPECT_TRUE(
      ZPHArticleDetailChecks::publicURLForImageCachedURL(cachedA, QStringLiteral("<p>none</p>"), base).isEmpty());
}

}  // namespace
