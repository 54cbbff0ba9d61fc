#include "SubscriptionsAppFixture.h"

#include "kit/ZPHElidingLabel.h"
#include "subscribe/ZPHSubscriber.h"
#include "subscriptions/ZPHAddSiteAddressContentViewController.h"
#include "subscriptions/ZPHAddSiteAddressSubscriptionListViewController.h"
#include "subscriptions/ZPHAddSiteOrFolderTextView.h"
#include "subscriptions/ZPHAddSitePopularSitesContentViewController.h"
#include "subscriptions/ZPHAddSiteSubscriptionListTableView.h"
#include "subscriptions/ZPHAddSiteWindowController.h"
#include "subscriptions/ZPHAddSitesSubscriptionErrorViewController.h"

#include <QtGui/QClipboard>
#include <QtNetwork/QTcpServer>
#include <QtTest/QTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>

namespace {

class AddSiteWindow : public SubscriptionsAppFixture {
protected:
  void SetUp() override
  {
    SubscriptionsAppFixture::SetUp();
    serveFeed(QStringLiteral("/b.xml"), "<b>Bold</b> & Co");
    serveFeed(QStringLiteral("/c.xml"), "Gamma");
    servePage(QStringLiteral("/site.html"), "Three Feeds",
              {QStringLiteral("/a.xml"), QStringLiteral("/b.xml"), QStringLiteral("/c.xml")});
    seedStore();
  }

  ZPHAddSiteWindowController* openAddSite()
  {
    commands->addSite(QString(), false, true);
    ZPHAddSiteWindowController* controller = commands->addSiteWindowController();
    EXPECT_NE(controller, nullptr);
    if (controller != nullptr) {
      EXPECT_TRUE(ZPHTestWaitUntil([&] { return controller->window()->isVisible(); }, 10000));
      activate(controller->window());
    }
    return controller;
  }
  // Types the address and starts the search.
  static void search(ZPHAddSiteAddressContentViewController* pane, const QString& address)
  {
    pane->urlStringTextView()->setPlainText(address);
    pane->addSitesAction();
  }
  static bool waitForState(ZPHAddSiteAddressContentViewController* pane, int state, int timeoutMs = 30000)
  {
    return ZPHTestWaitUntil([&] { return pane->state() == state; }, timeoutMs);
  }
};

}  // namespace

TEST_F(AddSiteWindow, APageWithThreeFeedsOneAddedSubscribesTheOthersIntoTheHeadersFolder)
{
  start();
  CBFolder* news = folderNamed(QStringLiteral("News"));
  ASSERT_NE(news, nullptr);
  ZPHAddSiteWindowController* window = openAddSite();
  ASSERT_NE(window, nullptr);
  ZPHAddSiteAddressContentViewController* pane = window->addressContentViewController();
  EXPECT_EQ(pane->state(), 1);
  EXPECT_FALSE(window->addSiteButton()->isEnabled());

  search(pane, server.url(QStringLiteral("/site.html")).toString());
  ASSERT_TRUE(waitForState(pane, 5));
  ZPHAddSiteAddressSubscriptionListViewController* list = pane->subscriptionListViewController();
  ASSERT_EQ(list->allSubscribeRequests().size(), 3);
  ASSERT_NE(list->headerRow(), nullptr);
  EXPECT_EQ(list->headerRow()->nameTextField()->text(), "Three Feeds");
  // The subscribed one: checked, disabled, "Already Added".
  int added = -1;
  for (int i = 0; i < 3; ++i) {
    if (list->allSubscribeRequests().at(i)->feedURL().path() == QLatin1String("/a.xml"))
      added = i;
  }
  ASSERT_GE(added, 0);
  ZPHAddSiteTableCellView* addedRow = list->rowForRequestAtIndex(added);
  EXPECT_TRUE(addedRow->checkbox()->isChecked());
  EXPECT_FALSE(addedRow->checkbox()->isEnabled());
  EXPECT_EQ(addedRow->folderChooserPopUpButton()->currentText(), "Already Added");
  EXPECT_FALSE(addedRow->folderChooserPopUpButton()->isEnabled());
  EXPECT_EQ(list->checkedRequests().size(), 2);
  EXPECT_TRUE(window->addSiteButton()->isEnabled());
  // A title with markup shows as it is written.
  bool sawMarkup = false;
  for (int i = 0; i < 3; ++i) {
    ZPHElidingLabel* name = list->rowForRequestAtIndex(i)->nameTextField();
    if (name->text() == QLatin1String("<b>Bold</b> & Co")) {
      sawMarkup = true;
      EXPECT_EQ(name->textFormat(), Qt::PlainText);
    }
  }
  EXPECT_TRUE(sawMarkup);

  // The header's folder goes to every request.
  QComboBox* headerFolder = list->headerRow()->folderChooserPopUpButton();
  const int newsIndex = ZPHIndexOfFolderTarget(headerFolder, ZPHFolderTarget{account(), news});
  ASSERT_GE(newsIndex, 0);
  headerFolder->setCurrentIndex(newsIndex);
  Q_EMIT headerFolder->activated(newsIndex);
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : list->allSubscribeRequests())
    EXPECT_EQ(request->parentFolder(), news);

  // Clicking the header unchecks both, again checks both.
  QTest::mouseClick(list->headerRow(), Qt::LeftButton);
  EXPECT_FALSE(list->hasValidRequestsToSubscribe());
  EXPECT_FALSE(window->addSiteButton()->isEnabled());
  QTest::mouseClick(list->headerRow(), Qt::LeftButton);
  EXPECT_EQ(list->checkedRequests().size(), 2);

  window->addSiteButton()->click();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return commands->addSiteWindowController() == nullptr; }, 60000));
  app.settle();
  EXPECT_EQ(feedPathsIn(news),
            (QStringList{QStringLiteral("/a.xml"), QStringLiteral("/b.xml"), QStringLiteral("/c.xml")}));
  // The first added is selected.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !sourceList()->selectedOutlineItems().isEmpty(); }, 10000));
  const CBTreeNode::Pointer selected = sourceList()->selectedOutlineItems().first();
  ASSERT_NE(selected->representedNode(), nullptr);
  EXPECT_FALSE(selected->representedNode()->isFolder());
  EXPECT_NE(static_cast<CBFeed*>(selected->representedNode())->URL().path(), QLatin1String("/a.xml"));
}

TEST_F(AddSiteWindow, AddressesThatFindNothingShowTheirErrorAndStayEditable)
{
  // Accepts and never answers.
  QTcpServer silent;
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  QList<QTcpSocket*> held;
  QObject::connect(&silent, &QTcpServer::newConnection, [&] {
    while (QTcpSocket* socket = silent.nextPendingConnection()) held.append(socket);
  });
  servePage(QStringLiteral("/nothing.html"), "No Feeds Here", {});
  start();
  ZPHAddSiteWindowController* window = openAddSite();
  ASSERT_NE(window, nullptr);
  ZPHAddSiteAddressContentViewController* pane = window->addressContentViewController();
  pane->setFeedFinderTimeoutMs(1500);

  struct Case {
    const char* what;
    QString address;
    QString error;  // empty: any
  };
  const QList<Case> cases = {
      {"a 404", server.url(QStringLiteral("/missing.xml")).toString(), {}},
      {"a page without feeds", server.url(QStringLiteral("/nothing.html")).toString(), {}},
      {"a silent socket", QStringLiteral("http://127.0.0.1:%1/feed").arg(silent.serverPort()),
       ZPHAddSiteAddressContentViewController::generalFeedFinderErrorString()},
      {"a file: address", QStringLiteral("file:///etc/passwd"),
       ZPHAddSiteAddressContentViewController::invalidAddressErrorString()},
      {"javascript:", QStringLiteral("javascript:alert(1)"),
       ZPHAddSiteAddressContentViewController::invalidAddressErrorString()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    search(pane, c.address);
    ASSERT_TRUE(waitForState(pane, 3));
    EXPECT_FALSE(pane->errorString().isEmpty());
    EXPECT_FALSE(pane->errorString().contains(QLatin1String("ZPH_FEED_FINDER")));
    if (!c.error.isEmpty()) {
      EXPECT_EQ(pane->errorString(), c.error);
    }
    EXPECT_TRUE(pane->errorStringTextField()->isVisibleTo(pane->view()));
    EXPECT_FALSE(pane->urlStringTextView()->isReadOnly());
    EXPECT_TRUE(window->window()->isVisible());
  }
  // A new search from the error keeps it on show until the outcome.
  search(pane, QStringLiteral("http://127.0.0.1:%1/again").arg(silent.serverPort()));
  EXPECT_EQ(pane->state(), 4);
  EXPECT_TRUE(pane->errorStringTextField()->isVisibleTo(pane->view()));
  ASSERT_TRUE(waitForState(pane, 3));
}

TEST_F(AddSiteWindow, APastedLineBreakIsRefusedAndEscapeStopsTheSearch)
{
  QTcpServer silent;
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  start();
  ZPHAddSiteWindowController* window = openAddSite();
  ASSERT_NE(window, nullptr);
  ZPHAddSiteAddressContentViewController* pane = window->addressContentViewController();
  ZPHAddSiteOrFolderTextView* text = pane->urlStringTextView();
  text->setPlainText(QStringLiteral("example.org"));
  QGuiApplication::clipboard()->setText(QStringLiteral("/feed\nmore"));
  text->paste();
  EXPECT_EQ(text->toPlainText(), "example.org");
  QGuiApplication::clipboard()->setText(QStringLiteral("/feed"));
  text->moveCursor(QTextCursor::End);
  text->paste();
  EXPECT_EQ(text->toPlainText(), "example.org/feed");

  // Escape while searching: back to editing, the window stays.
  search(pane, QStringLiteral("http://127.0.0.1:%1/slow").arg(silent.serverPort()));
  ASSERT_EQ(pane->state(), 2);
  activate(window->window());
  QTest::keyClick(window->window(), Qt::Key_Escape);
  EXPECT_EQ(pane->state(), 1);
  EXPECT_FALSE(pane->isFindingFeeds());
  EXPECT_TRUE(window->window()->isVisible());
  // Escape while editing closes the window.
  QTest::keyClick(text, Qt::Key_Escape);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return commands->addSiteWindowController() == nullptr; }, 10000));
}

TEST_F(AddSiteWindow, EscapeOrCancelWhileSubscribingAddsNothing)
{
  // The feed answers the finder at once and the subscriber never.
  std::atomic<int> asked{0};
  server.route(QStringLiteral("/slow.xml"), [&](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.headers = {{"Content-Type", "application/rss+xml"}};
    response.body = ZPHTestSubscriptionFeed(server.url(), "Slow");
    if (asked++ > 0)
      response.delayBeforeBodyMs = 20000;
    return response;
  });
  start();
  const QStringList before = feedPathsIn(nullptr);
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Escape" : "Cancel");
    asked = 0;
    ZPHAddSiteWindowController* window = openAddSite();
    ASSERT_NE(window, nullptr);
    ZPHAddSiteAddressContentViewController* pane = window->addressContentViewController();
    search(pane, server.url(QStringLiteral("/slow.xml")).toString());
    ASSERT_TRUE(waitForState(pane, 5));
    window->addSiteButton()->click();
    EXPECT_EQ(pane->state(), 6);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return asked.load() >= 2; }, 10000));
    if (escape) {
      activate(window->window());
      QTest::keyClick(window->window(), Qt::Key_Escape);
      EXPECT_EQ(pane->state(), 5);
      EXPECT_EQ(window->currentSubscriber(), nullptr);
      window->cancel();
    } else {
      window->leftCancelButton()->click();
    }
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return commands->addSiteWindowController() == nullptr; }, 10000));
  }
  ZPHTestSpinEventLoop(500);
  app.settle();
  EXPECT_EQ(feedPathsIn(nullptr), before);
  EXPECT_EQ(account()->feedWithURL(server.url(QStringLiteral("/slow.xml"))), nullptr);
}

TEST_F(AddSiteWindow, WhenEverySiteFailsTheWindowStaysAndEightFailuresShowSevenRows)
{
  // Feeds the finder finds once and that are gone when the subscriber asks.
  QStringList paths;
  for (int i = 0; i < 8; ++i) {
    const QString path = QStringLiteral("/once%1.xml").arg(i);
    paths.append(path);
    auto asked = std::make_shared<std::atomic<int>>(0);
    server.route(path, [this, asked, i](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      if ((*asked)++ > 0) {
        response.status = 404;
        return response;
      }
      response.headers = {{"Content-Type", "application/rss+xml"}};
      response.body = ZPHTestSubscriptionFeed(server.url(), "Once &lt;i&gt;" + QByteArray::number(i) + "&lt;/i&gt;");
      return response;
    });
  }
  servePage(QStringLiteral("/eight.html"), "Eight", paths);
  start();
  ZPHAddSiteWindowController* window = openAddSite();
  ASSERT_NE(window, nullptr);
  ZPHAddSiteAddressContentViewController* pane = window->addressContentViewController();
  search(pane, server.url(QStringLiteral("/eight.html")).toString());
  ASSERT_TRUE(waitForState(pane, 5));
  EXPECT_EQ(pane->subscriptionListViewController()->checkedRequests().size(), 8);
  window->addSiteButton()->click();
  ASSERT_TRUE(
      ZPHTestWaitUntil([] { return ZPHAddSitesSubscriptionErrorViewController::currentSheet() != nullptr; }, 60000));
  QDialog* sheet = ZPHAddSitesSubscriptionErrorViewController::currentSheet();
  auto* list = sheet->findChild<QListWidget*>(QStringLiteral("errorList"));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count(), 8);
  const int rowHeight = list->sizeHintForRow(0);
  ASSERT_GT(rowHeight, 0);
  EXPECT_LT(list->height(), 8 * rowHeight);
  EXPECT_GE(list->height(), 7 * rowHeight);
  // The names in the rows are text, not markup.
  auto* row = qobject_cast<QLabel*>(list->itemWidget(list->item(0)));
  ASSERT_NE(row, nullptr);
  EXPECT_TRUE(row->text().contains(QLatin1String("&lt;i&gt;"))) << row->text().toStdString();
  sheet->accept();
  ASSERT_TRUE(waitForState(pane, 5));
  EXPECT_TRUE(window->window()->isVisible());
  EXPECT_EQ(commands->addSiteWindowController(), window);
  window->cancel();
}

TEST_F(AddSiteWindow, TheToolbarSwitchesPanesByItsKeys)
{
  struct Case {
    int key;
    Qt::KeyboardModifiers modifiers;
    const char* text;
    int selected;
    int count;
    std::optional<int> index;
  };
  const Case cases[] = {
      {Qt::Key_BraceRight, Qt::ControlModifier | Qt::ShiftModifier, "}", 0, 2, 1},
      {Qt::Key_BraceRight, Qt::ControlModifier | Qt::ShiftModifier, "}", 1, 2, std::nullopt},
      {Qt::Key_BraceLeft, Qt::ControlModifier | Qt::ShiftModifier, "{", 1, 2, 0},
      {Qt::Key_BraceLeft, Qt::ControlModifier | Qt::ShiftModifier, "{", 0, 2, std::nullopt},
      // Another layout: the key's text decides.
      {Qt::Key_BracketRight, Qt::ControlModifier | Qt::ShiftModifier, "}", 0, 2, 1},
      {Qt::Key_2, Qt::ControlModifier, "2", 0, 2, 1},
      {Qt::Key_3, Qt::ControlModifier, "3", 0, 2, std::nullopt},
      {Qt::Key_2, Qt::NoModifier, "2", 0, 2, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(
        ZPHSelectableToolbar::indexSelectedByKey(c.key, c.modifiers, QString::fromLatin1(c.text), c.selected, c.count),
        c.index)
        << c.text << " from " << c.selected;

  start();
  ZPHAddSiteWindowController* window = openAddSite();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->currentContentViewController(), window->addressContentViewController());
  QTest::keyClick(window->addressContentViewController()->urlStringTextView(), Qt::Key_2, Qt::ControlModifier);
  EXPECT_EQ(window->currentContentViewController(), window->popularSitesContentViewController());
  EXPECT_EQ(window->toolbar()->indexOfSelectedItem(), 1);
  QTest::keyClick(window->window(), Qt::Key_BraceLeft, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(window->currentContentViewController(), window->addressContentViewController());
  // Selecting the selected item changes nothing.
  window->toolbar()->selectItemAtIndex(0);
  EXPECT_EQ(window->currentContentViewController(), window->addressContentViewController());
  window->cancel();
}

TEST(AddSiteWindowRules, AddressStatesAndFrames)
{
  using Pane = ZPHAddSiteAddressContentViewController;
  struct Case {
    int state;
    Pane::StateLayout layout;
    bool addWithAddress;
    bool addWithCheckedFeed;
  };
  const Case cases[] = {
      {1, {true, true, false, false, false}, true, false},  {2, {true, false, false, true, false}, false, false},
      {3, {true, true, true, false, false}, true, false},   {4, {true, false, true, true, false}, false, false},
      {5, {false, false, false, false, true}, false, true}, {6, {false, false, false, false, true}, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Pane::layoutForState(c.state), c.layout) << c.state;
    EXPECT_EQ(Pane::allowsAddSitesInState(c.state, QStringLiteral(" x "), true),
              c.addWithAddress || c.addWithCheckedFeed)
        << c.state;
    EXPECT_FALSE(Pane::allowsAddSitesInState(c.state, QStringLiteral(" \n "), false)) << c.state;
  }
  // The top edge and the horizontal centre stay.
  EXPECT_EQ(ZPHAddSiteWindowController::frameForContentSize(QRect(100, 50, 400, 300), 200, QSize(480, 260)),
            QRect(60, 50, 480, 360));
}

TEST(AddSiteWindowRules, FaviconCandidatesFromTheFeedToTheHost)
{
  using List = ZPHAddSiteAddressSubscriptionListViewController;
  EXPECT_EQ(List::orderedFavIconHomePageURLsForFeedURL(QUrl(QStringLiteral("https://a.b.c.d/feed"))),
            (QList<QUrl>{QUrl(QStringLiteral("https://a.b.c.d/feed")), QUrl(QStringLiteral("https://c.d/")),
                         QUrl(QStringLiteral("https://b.c.d/")), QUrl(QStringLiteral("https://a.b.c.d/"))}));
  EXPECT_EQ(List::orderedFavIconHomePageURLsForFeedURL(QUrl(QStringLiteral("http://intranet/rss"))),
            QList<QUrl>{QUrl(QStringLiteral("http://intranet/rss"))});
  EXPECT_EQ(List::orderedFavIconHomePageURLsForFeedURL(QUrl(QStringLiteral("http://intranet/"))), QList<QUrl>{});
  // The feed's own host keeps its port; an IP address is not split into labels.
  EXPECT_EQ(List::orderedFavIconHomePageURLsForFeedURL(QUrl(QStringLiteral("http://news.example.org:8080/rss"))),
            (QList<QUrl>{QUrl(QStringLiteral("http://news.example.org:8080/rss")),
                         QUrl(QStringLiteral("http://example.org/")),
                         QUrl(QStringLiteral("http://news.example.org:8080/"))}));
  EXPECT_EQ(
      List::orderedFavIconHomePageURLsForFeedURL(QUrl(QStringLiteral("http://127.0.0.1:8080/rss"))),
      (QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:8080/rss")), QUrl(QStringLiteral("http://127.0.0.1:8080/"))}));
  EXPECT_EQ(List::orderedFavIconHomePageURLsForFeedURL(QUrl(QStringLiteral("http://[::1]/"))),
            QList<QUrl>{QUrl(QStringLiteral("http://[::1]/"))});
}

TEST(AddSiteWindowRules, RowStates)
{
  struct Case {
    int state;
    bool hasCheckbox;
    bool hasFolder;
    ZPHAddSiteCellAppearance appearance;
  };
  const Case cases[] = {
      {0, true, true, {true, false, true, false, false}},    {1, true, true, {true, true, true, true, false}},
      {2, true, false, {false, true, false, true, true}},    {3, false, true, {true, false, true, true, false}},
      {4, false, false, {true, false, false, false, false}}, {4, false, true, {true, false, false, true, false}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ZPHAddSiteCellAppearanceForState(c.state, c.hasCheckbox, c.hasFolder), c.appearance) << c.state;
}
