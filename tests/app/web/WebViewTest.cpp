// The web view's own behaviour on a real engine: remembered addresses, the
// user's input, keys, drops and swipes.

#include "app/ZPHAppTestSchemes.h"
#include "keys/ZPHEditableFocusReporter.h"
#include "kit/ZPHManualClock.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHWebContentViewController.h"
#include "web/ZPHWebEnginePage.h"

#include <QtCore/QMimeData>
#include <QtCore/QUuid>
#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class WebViewTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    profile = std::make_unique<QWebEngineProfile>();
    page = std::make_unique<ZPHWebEnginePage>(profile.get());
    page->setNavigationPolicy([this](const QUrl& url, QWebEnginePage::NavigationType, bool) {
      asked.append(url);
      return url.scheme() == QLatin1String("about");
    });
    view = std::make_unique<ZPHMacWebView>();
    view->setWebPage(page.get());
    view->setClock(&clock);
    view->resize(400, 300);
    view->show();
    QApplication::setActiveWindow(view.get());
  }

  void TearDown() override
  {
    view.reset();
    page.reset();
    profile.reset();
  }

  bool loadBlank()
  {
    bool finished = false;
    const auto connection = QObject::connect(page.get(), &QWebEnginePage::loadFinished, [&] { finished = true; });
    view->zph_loadBlankPage();
    const bool done = ZPHTestWaitUntil([&] { return finished && view->focusProxy() != nullptr; }, 30000);
    QObject::disconnect(connection);
    return done;
  }

  void releaseMouse(Qt::MouseButton button, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
  {
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), button,
                        Qt::NoButton, modifiers);
    QApplication::sendEvent(view->focusProxy(), &release);
  }

  ZPHManualClock clock;
  std::unique_ptr<QWebEngineProfile> profile;
  std::unique_ptr<ZPHWebEnginePage> page;
  std::unique_ptr<ZPHMacWebView> view;
  QList<QUrl> asked;
};

TEST_F(WebViewTest, ARestoredTabShowsItsAddressAndTitleUntilItLoads)
{
  view->setInitialRequestedURL(QStringLiteral("https://example.com/restored"));
  view->setInitialTitle(QStringLiteral("Restored"));
  view->setLoadOnSelect(true);
  EXPECT_EQ(view->displayURL(), QStringLiteral("https://example.com/restored"));
  EXPECT_EQ(view->displayTitle(), QStringLiteral("Restored"));

  view->zph_loadURLString(QString());
  view->zph_loadURLString(QStringLiteral("https://exa mple.com/^"));
  EXPECT_TRUE(view->lastRequestedURL().isEmpty()) << "nothing to load";
  EXPECT_TRUE(view->loadOnSelect());

  // "^" and "~" escaped when the address does not parse as typed.
  view->zph_loadURLString(QStringLiteral("https://example.com/a^b~c"));
  EXPECT_EQ(QUrl(view->lastRequestedURL()), QUrl(QStringLiteral("https://example.com/a%5Eb%7Ec")));
  EXPECT_EQ(view->initialRequestedURL(), QStringLiteral("https://example.com/restored"));
  EXPECT_FALSE(view->loadOnSelect());
  EXPECT_TRUE(view->initialLoadAttempted());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !asked.isEmpty(); }, 30000));
  EXPECT_EQ(asked.first(), QUrl(QStringLiteral("https://example.com/a%5Eb%7Ec")));

  // A blank page never counts as a load under way.
  ASSERT_TRUE(loadBlank());
  view->zph_loadBlankPage();
  EXPECT_FALSE(view->zph_loadIsInProgress());
}

TEST_F(WebViewTest, CtrlShortcutsReachTheWindowButEditingOnesStayWithThePage)
{
  ASSERT_TRUE(loadBlank());
  auto* location = new QAction(view.get());
  location->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  view->addAction(location);
  auto* copy = new QAction(view.get());
  copy->setShortcut(QKeySequence::Copy);
  view->addAction(copy);
  int locations = 0;
  int copies = 0;
  QObject::connect(location, &QAction::triggered, [&] { ++locations; });
  QObject::connect(copy, &QAction::triggered, [&] { ++copies; });
  view->focusProxy()->setFocus();
  QTest::keyClick(view->focusProxy(), Qt::Key_L, Qt::ControlModifier);
  QTest::keyClick(view->focusProxy(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(locations, 1);
  EXPECT_EQ(copies, 0);
}

TEST_F(WebViewTest, AClickServesOneNavigationOnItsLink)
{
  ASSERT_TRUE(loadBlank());
  const QUrl link(QStringLiteral("https://example.com/a"));
  Q_EMIT page->linkHovered(link.toString());
  releaseMouse(Qt::LeftButton, Qt::ControlModifier);
  EXPECT_FALSE(view->takeUserInputForURL(QUrl(QStringLiteral("https://example.com/b")))) << "another link";
  const auto input = view->takeUserInputForURL(link);
  ASSERT_TRUE(input.has_value());
  EXPECT_EQ(input->modifiers, Qt::ControlModifier);
  EXPECT_EQ(input->button, Qt::LeftButton);
  EXPECT_FALSE(view->takeUserInputForURL(link)) << "served already";

  // The middle button counts; a click that is too old does not.
  releaseMouse(Qt::MiddleButton);
  clock.advance(ZPHMacWebView::UserInputLifetime + 1);
  EXPECT_FALSE(view->takeUserInputForURL(link));
  // A click off any link serves no link, but a window the page's script
  // opens.
  Q_EMIT page->linkHovered(QString());
  releaseMouse(Qt::LeftButton);
  EXPECT_FALSE(view->takeUserInputForURL(link));
  EXPECT_TRUE(view->takeUserInputForScriptWindow());
  EXPECT_FALSE(view->takeUserInputForScriptWindow()) << "served already";
  // Return counts only on what the user chose, as the page reports it: on
  // a link, for that link.
  ZPHEditableFocusReporter* reporter = ZPHEditableFocusReporter::reporterForPage(page.get());
  ASSERT_NE(reporter, nullptr);
  QTest::keyClick(view->focusProxy(), Qt::Key_Return);
  EXPECT_FALSE(view->takeUserInputForURL(link)) << "not reported";
  Q_EMIT reporter->keyPressReported(false, QString());
  EXPECT_FALSE(view->takeUserInputForURL(link)) << "a focus the page moved";
  EXPECT_FALSE(view->takeUserInputForScriptWindow()) << "a focus the page moved";
  QTest::keyClick(view->focusProxy(), Qt::Key_Return);
  Q_EMIT reporter->keyPressReported(true, link.toString());
  Q_EMIT reporter->keyPressReported(true, QStringLiteral("https://example.com/b"));  // one report a key
  EXPECT_FALSE(view->takeUserInputForURL(QUrl(QStringLiteral("https://example.com/b"))));
  EXPECT_TRUE(view->takeUserInputForURL(link));
  QTest::keyClick(view->focusProxy(), Qt::Key_Space);
  Q_EMIT reporter->keyPressReported(true, QString());
  EXPECT_FALSE(view->takeUserInputForURL(link)) << "a button the user chose";
  EXPECT_TRUE(view->takeUserInputForScriptWindow());

  // A click made as the pointer arrived: the page names the link after the
  // click, and it counts for that link; not once the pointer has moved on.
  Q_EMIT page->linkHovered(QString());
  releaseMouse(Qt::LeftButton);
  Q_EMIT page->linkHovered(link.toString());
  EXPECT_TRUE(view->takeUserInputForURL(link));
  Q_EMIT page->linkHovered(QString());
  releaseMouse(Qt::LeftButton);
  QMouseEvent move(QEvent::MouseMove, QPointF(40, 40), view->mapToGlobal(QPointF(40, 40)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(view->focusProxy(), &move);
  Q_EMIT page->linkHovered(link.toString());
  EXPECT_FALSE(view->takeUserInputForURL(link));
}

TEST_F(WebViewTest, DropsAreRefusedUnlessAllowed)
{
  ASSERT_TRUE(loadBlank());
  QMimeData data;
  data.setUrls({QUrl(QStringLiteral("https://example.com/dropped"))});
  const auto dragEnter = [&] {
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->focusProxy(), &enter);
    return enter.isAccepted();
  };
  EXPECT_FALSE(dragEnter());
  view->setCanBeDragDestination(true);
  EXPECT_TRUE(dragEnter()) << "the engine takes it";
}

TEST(WebViewSwipeTest, OnlyAWideHorizontalSwipeTowardsAnEdgeNavigates)
{
  const struct {
    qreal dx, dy;
    bool canGoBack, canGoForward;
    int direction;
  } cases[] = {
      {0.35, 0, true, true, -1},                               // fingers to the right: back
      {-0.35, 0, true, true, 1},                               // to the left: forward
      {0.25, 0, true, true, 0},                                // too short
      {0.35, 0, false, true, 0},                               // the page was not at its left edge
      {-0.35, 0, true, false, 0}, {0.35, 0.5, true, true, 0},  // mostly vertical
      {0, 0, true, true, 0},
  };
  for (const auto& test : cases)
    EXPECT_EQ(ZPHMacWebView::twoFingerSwipeDirection(test.dx, test.dy, test.canGoBack, test.canGoForward),
              test.direction)
        << test.dx << " " << test.dy;
}

TEST(WebContentViewControllerTest, ImageFileNamesComeFromTheAddress)
{
  const struct {
    const char* url;
    bool deleteExtension;
    const char* name;  // null: a new UUID
  } cases[] = {
      {"http://example.com/pictures/A.JPG", false, "A.JPG"},
      {"http://example.com/pictures/photo.jpeg", true, "photo"},
      {"http://example.com/pictures/a%3Ab.png", false, "a_b.png"},
      {"http://example.com/pictures/..%2F..%2Fsecret.png", false, "secret.png"},
      {"http://example.com/x", false, nullptr},
      {"http://example.com/", false, nullptr},
      {"", false, nullptr},
  };
  for (const auto& test : cases) {
    const QString name =
        ZPHWebContentViewController::filenameForImage(QString::fromUtf8(test.url), test.deleteExtension);
    if (test.name)
      EXPECT_EQ(name, QString::fromUtf8(test.name)) << test.url;
    else
      EXPECT_FALSE(QUuid::fromString(name).isNull()) << test.url << " " << name.toStdString();
    EXPECT_FALSE(name.contains(QLatin1Char('/'))) << test.url;
  }
}

}  // namespace
