// What the article page may send the application ("ArticleWebConsole"),
// checked before anything acts on it; and the column-width limits the
// article view computes from the widths the page reports. No web engine.

#include "articleview/ZPHArticleDetailViewController.h"
#include "articleview/ZPHArticleWebConsole.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QMetaMethod>

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace {

struct Recorder {
  int flagToggles = 0;
  QList<int> layouts;
  QList<QRectF> shares;
  int ready = 0;
  QStringList asked;

  ZPHArticleWebConsole::Handlers handlers()
  {
    ZPHArticleWebConsole::Handlers handlers;
    handlers.toggleFlagged = [this] { ++flagToggles; };
    handlers.setImageLayout = [this](int layout) { layouts.append(layout); };
    handlers.viewSize = [] { return QSizeF(800, 600); };
    handlers.share = [this](const QRectF& rect) { shares.append(rect); };
    handlers.webViewReady = [this] { ++ready; };
    handlers.publicURLForImageCachedURL = [this](const QString& url) {
      asked.append(url);
      return QStringLiteral("http://example.com/a.png");
    };
    return handlers;
  }
};

TEST(ArticleWebConsoleTest, OffersItsFiveCallsAndNothingElse)
{
  // What the web channel publishes is every member of the meta-object: the
  // five calls, and none of QObject's (objectName, deleteLater, destroyed).
  Recorder recorder;
  ZPHArticleWebConsole console(recorder.handlers());
  QStringList all;
  const QMetaObject* meta = console.metaObject();
  EXPECT_EQ(meta->superClass(), nullptr);
  for (int i = 0; i < meta->methodCount(); ++i) {
    const QMetaMethod method = meta->method(i);
    EXPECT_EQ(method.access(), QMetaMethod::Public) << method.name().constData();
    EXPECT_EQ(method.methodType(), QMetaMethod::Method) << method.name().constData();
    all.append(QString::fromLatin1(method.name()));
  }
  all.sort();
  EXPECT_EQ(
      all, (QStringList{"publicURLForImageCachedURL", "shareSelectedArticleFromClientXClientYElementWidthElementHeight",
                        "toggleFlaggedForSelectedArticle", "toggleImageLayout", "webViewReady"}));
  EXPECT_EQ(meta->propertyCount(), 0);
  EXPECT_EQ(meta->enumeratorCount(), 0);
  EXPECT_EQ(meta->indexOfMethod("deleteLater()"), -1);
  EXPECT_EQ(meta->indexOfSignal("destroyed()"), -1);
  EXPECT_EQ(meta->indexOfProperty("objectName"), -1);
  EXPECT_EQ(ZPHArticleWebConsole::channelName(), QStringLiteral("ArticleWebConsole"));

  // The calls work through the meta-object, as the channel makes them.
  const QMetaMethod toggle = meta->method(meta->indexOfMethod("toggleImageLayout(QJsonValue)"));
  ASSERT_TRUE(toggle.isValid());
  EXPECT_TRUE(toggle.invoke(&console, Qt::DirectConnection, Q_ARG(QJsonValue, QJsonValue(1))));
  EXPECT_EQ(recorder.layouts, QList<int>{1});
  const QMetaMethod lookUp = meta->method(meta->indexOfMethod("publicURLForImageCachedURL(QJsonValue)"));
  QString answer;
  EXPECT_TRUE(lookUp.invoke(&console, Qt::DirectConnection, Q_RETURN_ARG(QString, answer),
                            Q_ARG(QJsonValue, QJsonValue(QStringLiteral("zph-image-cache:x")))));
  EXPECT_EQ(answer, QStringLiteral("http://example.com/a.png"));
  EXPECT_EQ(recorder.asked, QStringList{"zph-image-cache:x"});
  const QMetaMethod flag = meta->method(meta->indexOfMethod("toggleFlaggedForSelectedArticle()"));
  EXPECT_TRUE(QMetaObject::metacall(&console, QMetaObject::InvokeMetaMethod, flag.methodIndex(), nullptr) < 0);
  EXPECT_EQ(recorder.flagToggles, 1);
  EXPECT_EQ(console.callCount(), 3);
}

TEST(ArticleWebConsoleTest, ImageLayoutTakesOnlyZeroOrOne)
{
  const struct {
    QJsonValue value;
    std::optional<int> layout;
  } cases[] = {
      {QJsonValue(0), 0},
      {QJsonValue(1), 1},
      {QJsonValue(1.0), 1},
      {QJsonValue(true), 1},
      {QJsonValue(false), 0},
      {QJsonValue(2), std::nullopt},
      {QJsonValue(-1), std::nullopt},
      {QJsonValue(0.5), std::nullopt},
      {QJsonValue(1e300), std::nullopt},
      {QJsonValue(QStringLiteral("1")), std::nullopt},
      {QJsonValue(QJsonValue::Null), std::nullopt},
      {QJsonValue(QJsonValue::Undefined), std::nullopt},
      {QJsonValue(QJsonArray{1}), std::nullopt},
      {QJsonValue(QJsonObject{{QStringLiteral("valueOf"), 1}}), std::nullopt},
  };
  for (const auto& test : cases) {
    Recorder recorder;
    ZPHArticleWebConsole console(recorder.handlers());
    console.toggleImageLayout(test.value);
    if (test.layout) {
      EXPECT_EQ(recorder.layouts, QList<int>{*test.layout}) << test.value.toVariant().toString().toStdString();
      EXPECT_EQ(console.refusedCallCount(), 0);
    } else {
      EXPECT_TRUE(recorder.layouts.isEmpty()) << test.value.toVariant().toString().toStdString();
      EXPECT_EQ(console.refusedCallCount(), 1);
    }
  }
}

TEST(ArticleWebConsoleTest, TheShareRectangleMustBeFourFiniteNumbersAndIsClampedToTheView)
{
  const struct {
    QJsonArray arguments;
    std::optional<QRectF> rect;
  } cases[] = {
      {{10, 20, 30, 40}, QRectF(10, 20, 30, 40)},
      {{-50, -50, 100, 100}, QRectF(0, 0, 50, 50)},
      {{790, 590, 100, 100}, QRectF(790, 590, 10, 10)},
      {{5000, 5000, 10, 10}, QRectF(800, 600, 0, 0)},
      {{10, 10, -30, 40}, QRectF(10, 10, 0, 40)},
      {{1e308, 1e308, 1e308, 1e308}, QRectF(800, 600, 0, 0)},
      {{QStringLiteral("10"), 20, 30, 40}, std::nullopt},
      {{10, QJsonValue(), 30, 40}, std::nullopt},
      {{10, 20, true, 40}, std::nullopt},
      {{10, 20, 30, QJsonArray{40}}, std::nullopt},
  };
  for (const auto& test : cases) {
    Recorder recorder;
    ZPHArticleWebConsole console(recorder.handlers());
    console.shareSelectedArticleFromClientXClientYElementWidthElementHeight(test.arguments.at(0), test.arguments.at(1),
                                                                            test.arguments.at(2), test.arguments.at(3));
    const QByteArray shown = QJsonDocument(test.arguments).toJson(QJsonDocument::Compact);
    if (test.rect)
      EXPECT_EQ(recorder.shares, QList<QRectF>{*test.rect}) << shown.constData();
    else
      EXPECT_TRUE(recorder.shares.isEmpty()) << shown.constData();
  }

  // Without a view to clamp to, nothing is shared.
  Recorder recorder;
  ZPHArticleWebConsole::Handlers handlers = recorder.handlers();
  handlers.viewSize = [] { return QSizeF(); };
  ZPHArticleWebConsole console(std::move(handlers));
  console.shareSelectedArticleFromClientXClientYElementWidthElementHeight(1, 2, 3, 4);
  EXPECT_TRUE(recorder.shares.isEmpty());
}

TEST(ArticleWebConsoleTest, OnlyAStringIsLookedUpAsACachedImage)
{
  Recorder recorder;
  ZPHArticleWebConsole console(recorder.handlers());
  EXPECT_EQ(
      console.publicURLForImageCachedURL(QStringLiteral("zph-image-cache://0123456789abcdef0123456789abcdef.png")),
      QStringLiteral("http://example.com/a.png"));
  for (const QJsonValue& value : {QJsonValue(12), QJsonValue(QJsonValue::Null), QJsonValue(QJsonArray{"x"}),
                                  QJsonValue(QString(10000, QLatin1Char('a')))})
    EXPECT_EQ(console.publicURLForImageCachedURL(value), QString());
  EXPECT_EQ(recorder.asked.size(), 1);
  EXPECT_EQ(console.refusedCallCount(), 4);

  console.toggleFlaggedForSelectedArticle();
  console.webViewReady();
  EXPECT_EQ(recorder.flagToggles, 1);
  EXPECT_EQ(recorder.ready, 1);
  EXPECT_EQ(console.callCount(), 7);
}

TEST(ArticleWebConsoleTest, ColumnWidthLimitsFollowTheReportedWidths)
{
  // View width, the column's left margin, four em; then whether the column
  // may become narrower (the margin grows by half a step, staying under 45 %
  // of the view) and wider (it shrinks by half a step, staying over 68 and
  // 5 % of the view).
  const struct {
    double view, margin, step;
    bool narrower, wider;
  } cases[] = {
      {1000, 300, 64, true, true}, {1000, 430, 64, false, true}, {1000, 90, 64, true, false},
      {400, 100, 64, true, false}, {1600, 130, 64, true, true},  {1600, 110, 64, true, false},
      {100, 40, 64, false, false},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(ZPHArticleDetailViewController::allowsArticleWidthDecrease(test.view, test.margin, test.step),
              test.narrower)
        << test.view << " " << test.margin;
    EXPECT_EQ(ZPHArticleDetailViewController::allowsArticleWidthIncrease(test.view, test.margin, test.step), test.wider)
        << test.view << " " << test.margin;
  }
}

}  // namespace
