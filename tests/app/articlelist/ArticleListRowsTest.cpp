#include "articlelist/ZPHArticleGroupHeaderView.h"
#include "articlelist/ZPHArticleLinkOpener.h"
#include "articlelist/ZPHArticleListCellView.h"
#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHArticleSearchGroupHeaderView.h"
#include "articlelist/ZPHClassicLayoutBookmarkView.h"
#include "articlelist/ZPHClassicLayoutCellView.h"
#include "articlelist/ZPHClassicLayoutRowView.h"
#include "articlelist/ZPHPlainArticleDetailPane.h"
#include "articlelist/ZPHSearchOperation.h"
#include "articlelist/ZPHSearchScopePopUpButtonCell.h"
#include "articlelist/ZPHStandardLayoutRowView.h"
#include "articlelist/ZPHTableHeaderCell.h"
#include "foundation/CBDateManager.h"
#include "store/accounts/ZPHArticleListController.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QTimeZone>
#include <QtWidgets/QLabel>
#include <QtWidgets/QSplitter>

#include <array>

#include <gtest/gtest.h>

// Found by argument-dependent lookup, so in QRectF's namespace.
static void PrintTo(const QRectF& rect, std::ostream* os)
{
  *os << "(" << rect.x() << ", " << rect.y() << ", " << rect.width() << ", " << rect.height() << ")";
}

namespace {

class ArticleListRowsTest : public ::testing::Test {
protected:
  void SetUp() override { ZPHRegisterThemes(); }
};

ZPHArticleListRow row(const QDateTime& date)
{
  ZPHArticleListRow row;
  row.dateForDisplay = date;
  return row;
}

QDateTime utc(int year, int month, int day, int hour = 12)
{
  return QDateTime(QDate(year, month, day), QTime(hour, 0), Qt::UTC);
}

}  // namespace

TEST_F(ArticleListRowsTest, GeometryOfTheStandardRows)
{
  using C = ZPHArticleListCellView;
  EXPECT_EQ(C::innerBox(QRectF(0, 0, 300, 92)), QRectF(11, 11, 278, 70));
  struct Case {
    bool address;
    qreal width;
    bool pictures;
    int lines;
    qreal expected;
  };
  for (const Case& c : QList<Case>{{false, 300, true, 2, 0},
                                   {true, 152, true, 2, 0},  // under 152.5: no thumbnail
                                   {true, 153, true, 2, 61},
                                   {true, 300, false, 2, 0},
                                   {true, 300, true, 1, 45},
                                   {true, 300, true, 3, 61}})
    EXPECT_EQ(C::thumbnailBoxWidth(c.address, c.width, c.pictures, c.lines), c.expected) << c.width;
  const QRectF inner = C::innerBox(QRectF(0, 0, 300, 92));
  const QRectF thumb = C::thumbnailBox(inner, 61);
  EXPECT_EQ(thumb, QRectF(228, 11, 61, 61));
  EXPECT_EQ(C::textBox(inner, thumb), QRectF(11, 11, 204, 70));
  // Narrow rows give the text the whole inner width.
  EXPECT_EQ(C::textBox(inner, C::thumbnailBox(inner, 0)), inner);
  EXPECT_GE(C::dateTextHeight(true), 16);
  EXPECT_EQ(C::dateBox(QRectF(11, 11, 200, 70), 16), QRectF(11, 81 - 16 + 5, 200, 16));

  // Row heights of the standard layout, by preview lines and feed names.
  EXPECT_EQ(C::rowHeight(1, false), 71);
  EXPECT_EQ(C::rowHeight(1, true), 77);
  EXPECT_EQ(C::rowHeight(2, false), 87);
  EXPECT_EQ(C::rowHeight(2, true), 92);
  EXPECT_EQ(C::rowHeight(3, false), 100);
  EXPECT_EQ(C::rowHeight(3, true), 107);
  EXPECT_EQ(C::rowHeight(7, true), 87);
  EXPECT_EQ(C::groupRowHeight(false), 23);
  EXPECT_EQ(C::groupRowHeight(true), 24);
}

TEST_F(ArticleListRowsTest, ThumbnailsFitTheirSquare)
{
  using C = ZPHArticleListCellView;
  const QRectF box(100, 10, 61, 61);
  // Too small to show: never drawn, never asked for again.
  const C::ThumbnailFit tiny = C::thumbnailFit(QSizeF(10, 10), box);
  EXPECT_TRUE(tiny.tooSmall);
  EXPECT_FALSE(tiny.draw);
  const QString address = QStringLiteral("http://127.0.0.1/tiny.png");
  EXPECT_TRUE(C::isThumbnailAddressUsable(address));
  C::noteThumbnailTooSmall(address);
  EXPECT_FALSE(C::isThumbnailAddressUsable(address));
  EXPECT_FALSE(C::isThumbnailAddressUsable(QString()));
  // Near square: scaled until the shorter side fills the box.
  const C::ThumbnailFit scaled = C::thumbnailFit(QSizeF(100, 80), box);
  EXPECT_TRUE(scaled.draw);
  EXPECT_EQ(scaled.clip, box);
  EXPECT_EQ(scaled.target.height(), 61);
  EXPECT_EQ(scaled.target.width(), 77);  // 76.25, made integral outwards
  // Long (ratio 2): its own size, centred half a point off, cut to the box.
  const C::ThumbnailFit cropped = C::thumbnailFit(QSizeF(200, 100), box);
  EXPECT_EQ(cropped.clip, QRectF(100, 10, 61, 61));
  EXPECT_EQ(cropped.target, QRectF(box.center().x() - 100 + 0.5, box.center().y() - 50 + 0.5, 200, 100));
  // Smaller than the box: clipped to itself.
  EXPECT_EQ(C::thumbnailFit(QSizeF(40, 30), box).clip.size(), QSizeF(40, 30));
}

TEST_F(ArticleListRowsTest, TextsShowAsOneLineOfPlainText)
{
  using C = ZPHArticleListCellView;
  EXPECT_EQ(C::dateLineText(QStringLiteral("Today 10:12"), QStringLiteral("Feed"), true),
            QStringLiteral("Feed, Today 10:12"));
  EXPECT_EQ(C::dateLineText(QStringLiteral("Today 10:12"), QStringLiteral("Feed"), false),
            QStringLiteral("Today 10:12"));
  EXPECT_EQ(C::singleLineText(QStringLiteral("a\nb\r\nc\u2028d\te"), 100), QStringLiteral("a b  c d e"));
  EXPECT_EQ(C::singleLineText(QString(100000, QLatin1Char('x')), 1000).size(), 1000);
  EXPECT_EQ(ZPHArticleListModel::accessibilityLabel(QStringLiteral("<b>T</b>"), QStringLiteral("Today 9:00"),
                                                    QStringLiteral("Site")),
            QStringLiteral("Article: <b>T</b>\n\n\nPublished Today 9:00\n\n\nBy Site\n\n\n"));
  EXPECT_EQ(ZPHArticleListModel::accessibilityLabel(QString(), QStringLiteral("Mar 1, 2026"), QString()),
            QStringLiteral("Published Mar 1, 2026\n\n\n"));
  EXPECT_EQ(ZPHArticleGroupHeaderView::titleForDisplay(QStringLiteral("march 2026")), QStringLiteral("March 2026"));
  EXPECT_EQ(ZPHArticleGroupHeaderView::titleForDisplay(QStringLiteral("sEARCH:")), QStringLiteral("Search:"));
  EXPECT_EQ(ZPHArticleGroupHeaderView::titleForDisplay(QString()), QString());
}

TEST_F(ArticleListRowsTest, HeadersFollowTheDayBoundariesAndTheMonths)
{
  const CBDateManager dates([] { return QDateTime(QDate(2026, 3, 8), QTime(15, 5, 9), Qt::UTC); },
                            [] { return QTimeZone::utc(); });
  const auto titles = [&](const QList<QDateTime>& when) {
    QList<ZPHArticleListRow> rows;
    for (const QDateTime& date : when) rows.append(row(date));
    QStringList shown;
    for (const ZPHArticleListModel::Entry& entry : ZPHArticleListModel::groupedEntries(rows, &dates))
      shown.append(entry.isGroup() ? QStringLiteral("[%1]").arg(entry.group.title())
                                   : rows.at(entry.article).dateForDisplay.toString(QStringLiteral("MM-dd")));
    return shown;
  };
  struct Case {
    QList<QDateTime> dates;
    QStringList expected;
  };
  const QList<Case> cases = {
      // Newest first: the future, today (its first second included),
      // yesterday, then one header per month.
      {{utc(2026, 3, 9, 0), utc(2026, 3, 8, 0), utc(2026, 3, 7), utc(2026, 3, 6), utc(2026, 2, 27), utc(2026, 1, 2)},
       {"[Future]", "03-09", "[Today]", "03-08", "[Yesterday]", "03-07", "[March 2026]", "03-06", "[February 2026]",
        "02-27", "[January 2026]", "01-02"}},
      // Oldest first: day headers after month headers, each tracked apart.
      {{utc(2025, 12, 31), utc(2026, 1, 1), utc(2026, 3, 8)},
       {"[December 2025]", "12-31", "[January 2026]", "01-01", "[Today]", "03-08"}},
      // The first article always gets a header.
      {{utc(2026, 3, 7)}, {"[Yesterday]", "03-07"}},
      {{}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(titles(c.dates), c.expected);
}

TEST_F(ArticleListRowsTest, RowsTakeTheirColoursFromTheTheme)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  using R = ZPHClassicLayoutRowView;
  R::State state;
  state.read = true;
  EXPECT_EQ(R::backgroundColorForTableRow(state), theme->articleListItemReadKeyBackgroundColor());
  state.read = false;
  EXPECT_EQ(R::backgroundColorForTableRow(state), theme->articleListItemUnreadKeyBackgroundColor());
  state.active = false;
  EXPECT_EQ(R::backgroundColorForTableRow(state), theme->articleListItemUnreadKeyInactiveBackgroundColor());
  state.groupRowStyle = true;
  EXPECT_EQ(R::backgroundColorForTableRow(state), theme->splitGroupHeaderBackgroundInactiveColor());
  R::State selected;
  selected.selected = true;
  selected.listFocused = true;
  EXPECT_EQ(R::selectionColorForTableRow(selected), theme->articleListSelectedItemKeyAquaBackgroundColor());
  selected.listFocused = false;
  EXPECT_EQ(R::selectionColorForTableRow(selected), theme->articleListSelectedItemBackgroundColor());
  selected.active = false;
  EXPECT_EQ(R::selectionColorForTableRow(selected), theme->articleListSelectedItemKeyAquaInactiveBackgroundColor());
  EXPECT_EQ(R::separatorRect(QRectF(0, 10, 200, 30)), QRectF(0, 39, 200, 1));
  EXPECT_EQ(R::rightClickHighlightRect(QRectF(0, 0, 100, 30), false), QRectF(2, 2, 96, 25));
  EXPECT_FALSE(R().drawsGrid());
  EXPECT_TRUE(ZPHStandardLayoutRowView().drawsGrid());
  EXPECT_EQ(R().arrowWidthMultiplier(), 16);
  EXPECT_EQ(ZPHStandardLayoutRowView().arrowWidthMultiplier(), 4);
  EXPECT_DOUBLE_EQ(ZPHStandardLayoutRowView().arrowAnimationDuration(), 0.4);

  // The classic cells' texts: a selected read article's date is dimmer.
  EXPECT_EQ(ZPHClassicLayoutCellView::textColor(true, true, true), theme->articleListSelectedItemKeyTextColor());
  EXPECT_EQ(ZPHClassicLayoutCellView::dateTextColor(true, true, true),
            theme->articleListSelectedItemReadKeyTextColor());
  EXPECT_EQ(ZPHClassicLayoutCellView::dateTextColor(false, false, true), theme->articleListItemReadKeyTextColor());
}

TEST_F(ArticleListRowsTest, ClassicCellsAndHeadersPlaceTheirParts)
{
  const QSizeF cell(300, 28);
  EXPECT_EQ(ZPHClassicLayoutCellView::rectForFavIcon(cell), QRectF(11, 6, 16, 16));
  EXPECT_EQ(ZPHClassicLayoutCellView::rectForTitle(cell, 14, true, false).left(), 33);
  EXPECT_EQ(ZPHClassicLayoutCellView::rectForTitle(cell, 14, false, false).left(), 11);
  const QSizeF ribbon = ZPHClassicLayoutBookmarkView::sizeToFit();
  ASSERT_FALSE(ribbon.isEmpty());
  EXPECT_EQ(ZPHClassicLayoutCellView::rectForTitle(cell, 14, true, true).width(),
            ZPHClassicLayoutCellView::rectForTitle(cell, 14, true, false).width() - ribbon.width() - 6);
  EXPECT_EQ(ZPHClassicLayoutCellView::rectForBookmark(cell),
            QRectF(300 - ribbon.width() - 2, 1, ribbon.width(), ribbon.height()));
  EXPECT_EQ(ZPHTableHeaderCell::dividerRectForBounds(QRectF(10, 5, 120, 23)), QRectF(119, 0, 1, 23));
  EXPECT_EQ(ZPHTableHeaderCell::sortIndicatorRectForBounds(QRectF(0, 0, 120, 24)), QRectF(114, 9, 6, 6));
  // The search pop-up: 6 after the title, the room left less 12, at most
  // 300, 20 high.
  const QRectF title(8, 2, 92, 18);
  EXPECT_EQ(ZPHArticleSearchGroupHeaderView::searchTypePopUpButtonFrame(title, QSize(300, 24), false),
            QRect(106, 2, 182, 20));
  EXPECT_EQ(ZPHArticleSearchGroupHeaderView::searchTypePopUpButtonFrame(title, QSize(600, 24), false).width(), 300);
  EXPECT_EQ(ZPHArticleSearchGroupHeaderView::searchTypePopUpButtonFrame(title, QSize(300, 26), true).top(), 3);
}

TEST_F(ArticleListRowsTest, TheSearchHeaderOffersTheTypesOfTheSelection)
{
  ZPHArticleSearchGroupHeaderView header;
  EXPECT_EQ(header.menuTags(), (QList<int>{0, 2, 1}));
  header.setSelectedFeeds({static_cast<CBNode*>(nullptr)});
  EXPECT_EQ(header.menuTags(), (QList<int>{0, 2, 1, -1, 3, 4, 5}));
  auto search = std::make_shared<ZPHSearchOperation>();
  search->setType(4);
  header.setSearchOperation(search);
  EXPECT_EQ(header.searchTypePopUpButton()->currentData().toInt(), 4);
  // Choosing the current type starts nothing; another type asks for it.
  QList<int> chosen;
  QObject::connect(&header, &ZPHArticleSearchGroupHeaderView::searchTypeChosen, [&](int type) { chosen.append(type); });
  Q_EMIT header.searchTypePopUpButton()->activated(header.searchTypePopUpButton()->findData(4));
  Q_EMIT header.searchTypePopUpButton()->activated(header.searchTypePopUpButton()->findData(1));
  EXPECT_EQ(chosen, QList<int>{1});
  EXPECT_EQ(ZPHSearchOperation::scopeForType(5), ZPHSearchOperation::ScopeAuthor);
  EXPECT_EQ(ZPHSearchOperation::scopeForType(4), ZPHSearchOperation::ScopeTitle);
  EXPECT_EQ(ZPHSearchOperation::scopeForType(9), ZPHSearchOperation::ScopeAll);
  EXPECT_TRUE(ZPHSearchOperation::isTypeConstrainedToSelectedFeeds(3));
  EXPECT_FALSE(ZPHSearchOperation::isTypeConstrainedToSelectedFeeds(6));
}

TEST_F(ArticleListRowsTest, OnlyWebAddressesLeaveAndFeedAddressesGoToSubscribing)
{
  using A = ZPHArticleLinkOpener::Action;
  struct Case {
    QString link;
    A expected;
  };
  for (const Case& c : QList<Case>{{QStringLiteral("https://example.com/a"), A::Open},
                                   {QStringLiteral(" HTTP://example.com/a "), A::Open},
                                   {QStringLiteral("http:///nohost"), A::Drop},
                                   {QStringLiteral("feed://example.com/rss"), A::Subscribe},
                                   {QStringLiteral("rss://example.com/rss"), A::Subscribe},
                                   {QStringLiteral("javascript:alert(1)"), A::Drop},
                                   {QStringLiteral("file:///etc/passwd"), A::Drop},
                                   {QStringLiteral("data:text/html,<b>x</b>"), A::Drop},
                                   {QStringLiteral("tag:example.com,2026:1"), A::Drop},
                                   {QStringLiteral("urn:uuid:1234"), A::Drop},
                                   {QStringLiteral("just-a-guid"), A::Drop},
                                   {QString(), A::Drop}})
    EXPECT_EQ(ZPHArticleLinkOpener::actionForLink(c.link), c.expected) << c.link.toStdString();
}

TEST_F(ArticleListRowsTest, ThePlainDetailPaneFollowsTheThemeAlsoUnderAStyleSheet)
{
  // Made in one theme, placed in the other inside a split view with a
  // style sheet, as the layouts hold it.
  ZPHTheme::switchToThemeWithIdentifier(ZPHLightThemeIdentifier);
  ZPHPlainArticleDetailPane pane;
  pane.view();
  ZPHTheme::switchToThemeWithIdentifier(ZPHDarkThemeIdentifier);
  QSplitter window;
  window.setStyleSheet(QStringLiteral("QSplitter::handle { background-color: #808080; }"));
  window.addWidget(pane.view());
  window.resize(400, 200);
  window.show();
  const QList<QLabel*> labels = pane.view()->findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 2);
  for (QLabel* label : labels) label->setText(QStringLiteral("WWWWWWWW"));
  for (const QString& identifier : {ZPHDarkThemeIdentifier, ZPHLightThemeIdentifier, ZPHDarkThemeIdentifier}) {
    ZPHTheme::switchToThemeWithIdentifier(identifier);
    const ZPHTheme* theme = ZPHTheme::currentTheme();
    const QImage picture = window.grab().toImage();
    EXPECT_EQ(picture.pixel(pane.view()->mapTo(&window, QPoint(4, 4))),
              theme->articleListItemUnreadKeyBackgroundColor().rgb())
        << identifier.toStdString();
    // The texts are drawn in the theme's colours: the title's darkest (light
    // theme) or brightest (dark theme) pixel is the text colour.
    const std::array<QColor, 2> expected = {theme->articleListItemUnreadKeyTextColor(),
                                            theme->articleListItemReadKeyTextColor()};
    for (int i = 0; i < 2; ++i) {
      const QRect box(labels.at(i)->mapTo(&window, QPoint(0, 0)), labels.at(i)->size());
      const bool dark = identifier == ZPHDarkThemeIdentifier;
      int extreme = dark ? 0 : 255;
      for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
          const int value = qGray(picture.pixel(x, y));
          extreme = dark ? qMax(extreme, value) : qMin(extreme, value);
        }
      }
      EXPECT_NEAR(extreme, qGray(expected.at(size_t(i)).rgb()), 4) << identifier.toStdString() << " label " << i;
    }
  }
}

TEST_F(ArticleListRowsTest, StateChangesAreAnnouncedByRangesAndABulkChangeAsOne)
{
  const ZPHEntityDescription* entity = CBDataManagedObjectModel()->entity(CBDataEntityNameArticle);
  ASSERT_NE(entity, nullptr);
  ZPHArticleListController controller;
  QList<ZPHArticleListRow> rows;
  for (int i = 0; i < 1000; ++i) {
    ZPHArticleListRow article = row(utc(2026, 3, 1));
    article.objectID = ZPHManagedObjectID(nullptr, entity, i + 1);
    rows.append(article);
  }
  controller.setArticles(rows);
  ZPHArticleListModel model(&controller);
  model.setEntries(ZPHArticleListModel::entriesUnderHeader(controller.count(), QStringLiteral("Search:")));
  QList<QPair<int, int>> announced;
  QObject::connect(&model, &QAbstractItemModel::dataChanged, [&](const QModelIndex& from, const QModelIndex& to) {
    announced.append({from.row(), to.row()});
  });
  struct Case {
    QList<qsizetype> indexes;
    QList<QPair<int, int>> expected;
  };
  QList<qsizetype> scattered;  // every other article: 400 runs
  for (qsizetype i = 100; i < 900; i += 2) scattered.append(i);
  QList<qsizetype> few;  // exactly as many runs as are announced one by one
  for (qsizetype i = 0; i < ZPHArticleListModel::ManyRuns; ++i) few.append(i * 3);
  QList<QPair<int, int>> fewExpected;
  for (const qsizetype i : few) fewExpected.append({int(i) + 1, int(i) + 1});
  const QList<Case> cases = {
      {{}, {}},
      {{5}, {{6, 6}}},
      // Out of order, repeated, neighbours joined; the header row shifts
      // rows by one.
      {{7, 5, 6, 20, 6}, {{6, 8}, {21, 21}}},
      {few, fewExpected},
      {scattered, {{101, 899}}},
  };
  for (const Case& c : cases) {
    announced.clear();
    model.articleStatesChanged(c.indexes);
    EXPECT_EQ(announced, c.expected) << c.indexes.size();
  }
}

TEST_F(ArticleListRowsTest, ANewListOfTheSameSourceMovesRowsInPlace)
{
  const ZPHEntityDescription* entity = CBDataManagedObjectModel()->entity(CBDataEntityNameArticle);
  ASSERT_NE(entity, nullptr);
  // A list as keys: n > 0 the article n, n < 0 the header "H|n|".
  const auto rowsOf = [&](const QList<int>& keys) {
    QList<ZPHArticleListRow> rows;
    for (const int key : keys) {
      if (key > 0) {
        ZPHArticleListRow article = row(utc(2026, 3, 1));
        article.objectID = ZPHManagedObjectID(nullptr, entity, key);
        rows.append(article);
      }
    }
    return rows;
  };
  const auto entriesOf = [](const QList<int>& keys) {
    QList<ZPHArticleListModel::Entry> entries;
    qsizetype article = 0;
    for (const int key : keys) {
      if (key > 0)
        entries.append(ZPHArticleListModel::Entry{article++, {}});
      else
        entries.append(ZPHArticleListModel::Entry{-1, ZPHArticleListGroupItem(QStringLiteral("H%1").arg(-key))});
    }
    return entries;
  };
  const auto keyAt = [](const ZPHArticleListModel& model, int row) {
    return model.isGroupRow(row) ? -model.groupItemAtRow(row)->title().mid(1).toInt()
                                 : int(model.objectIDAtRow(row).rowID());
  };
  QList<int> many;  // every other article of forty goes: forty runs
  QList<int> everyOther;
  for (int key = 1; key <= 80; ++key) {
    many.append(key);
    if (key % 2 == 0)
      everyOther.append(key);
  }
  struct Case {
    const char* what;
    QList<int> before;
    QList<int> after;
    bool inPlace;
  };
  const QList<Case> cases = {
      {"new at the top under a new header", {-2, 1, 2, 3}, {-1, 7, 8, -2, 1, 2, 3}, true},
      {"gone in the middle and at the end", {-2, 1, 2, 3, 4, -3, 5}, {-2, 1, 3, 4}, true},
      {"everything new", {1, 2}, {3, 4}, true},
      {"one moved down", {1, 2, 3, 4}, {2, 3, 1, 4}, true},
      {"one moved up", {-1, 1, 2, 3, 4}, {-1, 4, 1, 2, 3}, true},
      {"moved, gone and new together", {-1, 1, 2, 3, 4, 5}, {6, -1, 4, 1, 2, 5}, true},
      {"reversed", {1, 2, 3, 4, 5}, {5, 4, 3, 2, 1}, true},
      {"from nothing and to nothing", {}, {1}, true},
      {"to nothing", {-1, 1}, {}, true},
      {"too many runs", many, everyOther, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ZPHArticleListController controller;
    controller.setArticles(rowsOf(c.before));
    ZPHArticleListModel model(&controller);
    model.setEntries(entriesOf(c.before));
    QList<QPersistentModelIndex> kept;
    for (int r = 0; r < model.rowCount(); ++r) kept.append(model.index(r, 0));
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });

    controller.setArticles(rowsOf(c.after));
    const std::optional<std::vector<int>> moved = model.updateEntries(entriesOf(c.after));
    ASSERT_EQ(moved.has_value(), c.inPlace);
    EXPECT_EQ(resets, 0);
    if (!c.inPlace) {
      // Nothing changed: the caller resets instead.
      EXPECT_EQ(model.rowCount(), c.before.size());
      continue;
    }
    QList<int> shown;
    for (int r = 0; r < model.rowCount(); ++r) shown.append(keyAt(model, r));
    EXPECT_EQ(shown, c.after);
    // Each row that stayed (also one that changed places) is where the answer
    // and the views' indexes say, so a selection goes with it; the others
    // are gone from both.
    ASSERT_EQ(moved->size(), size_t(c.before.size()));
    for (qsizetype r = 0; r < c.before.size(); ++r) {
      const int to = (*moved)[size_t(r)];
      EXPECT_EQ(kept.at(r).isValid(), to >= 0) << r;
      if (to >= 0) {
        EXPECT_EQ(kept.at(r).row(), to) << r;
        EXPECT_EQ(c.after.at(to), c.before.at(r)) << r;
      }
    }
    // The lookups follow the new list.
    for (qsizetype r = 0; r < c.after.size(); ++r) {
      if (c.after.at(r) > 0) {
        EXPECT_EQ(model.rowForObjectID(ZPHManagedObjectID(nullptr, entity, c.after.at(r))), r);
      }
    }
  }
}
