#include "kit/CBControlExtras.h"
#include "kit/CBImageExtras.h"
#include "kit/CBItemViewExtras.h"
#include "kit/CBMenuExtras.h"
#include "kit/CBViewExtras.h"
#include "support/ZPHTestSupport.h"

#include <QtGui/QPainter>
#include <QtGui/QStandardItemModel>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QSlider>
#include <QtWidgets/QTableView>
#include <QtWidgets/QTreeView>

#include <gtest/gtest.h>

namespace {

// A tree of three top-level rows, the second with two children.
void fillModel(QStandardItemModel& model)
{
  for (const char* name : {"a", "b", "c"}) model.appendRow(new QStandardItem(QString::fromLatin1(name)));
  model.item(1)->appendRow(new QStandardItem("b1"));
  model.item(1)->appendRow(new QStandardItem("b2"));
}

}  // namespace

TEST(ViewCategories, TextFieldsAndLabels)
{
  QLineEdit field;
  field.setText("old");
  cb_safeSetStringValue(&field, QString());
  EXPECT_TRUE(field.text().isEmpty());

  // A label never takes its text as markup.
  QLabel label;
  cb_safeSetStringValue(&label, "<b>feed title</b>");
  EXPECT_EQ(label.textFormat(), Qt::PlainText);
  EXPECT_EQ(label.text(), "<b>feed title</b>");

  cb_setDrawAsEnabled(&field, false);
  EXPECT_EQ(field.palette().color(QPalette::Active, QPalette::Text),
            QApplication::palette(&field).color(QPalette::Disabled, QPalette::Text));
  EXPECT_TRUE(field.isEnabled());
  cb_setDrawAsEnabled(&field, true);
  EXPECT_EQ(field.palette().color(QPalette::Active, QPalette::Text),
            QApplication::palette(&field).color(QPalette::Active, QPalette::Text));
}

TEST(ViewCategories, Menus)
{
  QMenu menu;
  cb_addSeparatorItemIfLastItemIsNotSeparator(&menu);
  cb_addSeparatorItemIfLastItemIsNotSeparator(&menu);
  EXPECT_EQ(menu.actions().size(), 1);
  EXPECT_TRUE(cb_lastItemIsSeparatorItem(&menu));

  int triggered = 0;
  QObject receiver;
  QAction* item = cb_addItemWithTitle(
      &menu, "Open", &receiver, [&] { ++triggered; }, QKeySequence(), QVariant(QStringLiteral("represented")));
  EXPECT_FALSE(cb_lastItemIsSeparatorItem(&menu));
  EXPECT_EQ(item->data().toString(), "represented");
  EXPECT_TRUE(item->shortcut().isEmpty());
  item->trigger();
  EXPECT_EQ(triggered, 1);

  QAction* tagged = cb_menuItemWithTitle(
      &menu, "Tagged", &receiver, [] {}, QVariant(), 1005);
  EXPECT_EQ(cb_tag(tagged), 1005);
  cb_setStateWithBoolean(tagged, true);
  EXPECT_TRUE(tagged->isChecked());

  cb_removeAllItems(&menu);
  EXPECT_TRUE(menu.actions().isEmpty());
  EXPECT_FALSE(cb_lastItemIsSeparatorItem(&menu));
}

TEST(ViewCategories, ScaledImagesFillAndCrop)
{
  // Left half red, right half blue, top quarter green.
  QImage wide(200, 100, QImage::Format_ARGB32);
  wide.fill(Qt::red);
  {
    QPainter painter(&wide);
    painter.fillRect(100, 0, 100, 100, Qt::blue);
  }
  // Keeping the aspect ratio takes the middle square of a wide image.
  const QImage middle = cb_imageScaledToSize(wide, QSizeF(50, 50), true);
  EXPECT_EQ(middle.size(), QSize(50, 50));
  EXPECT_EQ(middle.pixelColor(5, 25), QColor(Qt::red));
  EXPECT_EQ(middle.pixelColor(45, 25), QColor(Qt::blue));
  EXPECT_EQ(cb_imageScaledToSize(wide, QSizeF(50, 50)).pixelColor(20, 25), QColor(Qt::red));

  // ... and the top square of a tall one.
  QImage tall(100, 200, QImage::Format_ARGB32);
  tall.fill(Qt::red);
  {
    QPainter painter(&tall);
    painter.fillRect(0, 100, 100, 100, Qt::blue);
  }
  const QImage top = cb_imageScaledToSize(tall, QSizeF(50, 50), true);
  EXPECT_EQ(top.pixelColor(25, 45), QColor(Qt::red));

  EXPECT_FALSE(cb_canBeDrawn(QImage()));
  EXPECT_FALSE(cb_canBeDrawn(QImage(0, 10, QImage::Format_ARGB32)));
  EXPECT_TRUE(cb_canBeDrawn(wide));
}

TEST(ViewCategories, OutlineSelection)
{
  QStandardItemModel model;
  fillModel(model);
  QTreeView outline;
  outline.setModel(&model);
  outline.setSelectionMode(QAbstractItemView::ExtendedSelection);
  outline.expandAll();
  const QModelIndex a = model.index(0, 0);
  const QModelIndex b2 = model.index(1, 0, model.index(1, 0));
  const QModelIndex c = model.index(2, 0);

  cb_selectItemsWithArray(&outline, {c, b2, a});
  EXPECT_EQ(cb_selectedItems(&outline), (QModelIndexList{a, b2, c}));  // in the order shown
  EXPECT_TRUE(cb_isItemSelected(&outline, b2));
  EXPECT_FALSE(cb_isItemSelected(&outline, model.index(1, 0)));

  // Items that are not in the outline deselect everything.
  QStandardItemModel other;
  fillModel(other);
  cb_selectItemsWithArray(&outline, {other.index(0, 0)});
  EXPECT_TRUE(cb_selectedItems(&outline).isEmpty());
}

TEST(ViewCategories, TableRowsAndTheirMenus)
{
  QStandardItemModel model(5, 2);
  QTableView table;
  table.setModel(&model);
  table.setSelectionBehavior(QAbstractItemView::SelectRows);
  table.resize(300, 300);
  table.show();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return table.isVisible(); }));

  table.selectRow(1);
  cb_goToRow(&table, 3);
  EXPECT_EQ(cb_absoluteSelectedRowIndexes(&table), QList<int>{3});
  EXPECT_EQ(cb_absoluteSelectedRow(&table), 3);
  EXPECT_EQ(cb_absoluteSelectedRow(nullptr), -1);

  QMenu menu;
  int askedColumn = -1;
  int askedRow = -1;
  const auto menuFor = [&](int column, int row) {
    askedColumn = column;
    askedRow = row;
    return &menu;
  };
  const QRect second = table.visualRect(model.index(2, 1));
  EXPECT_EQ(cb_menuForEvent(&table, second.center(), menuFor), &menu);
  EXPECT_EQ(askedColumn, 1);
  EXPECT_EQ(askedRow, 2);
  EXPECT_EQ(cb_absoluteSelectedRow(&table), 2);
  // Below the last row, or without a menu source: no menu.
  EXPECT_EQ(cb_menuForEvent(&table, QPoint(5, 290), menuFor), nullptr);
  EXPECT_EQ(cb_menuForEvent(&table, second.center(), {}), nullptr);
}

TEST(ViewCategories, FirstResponderSubviewsAndWindows)
{
  QWidget window;
  auto* field = new QLineEdit(&window);
  auto* label = new QLabel(&window);
  EXPECT_EQ(cb_firstSubview(&window), field);
  EXPECT_EQ(cb_firstSubviewOfClass<QLabel>(&window), label);
  EXPECT_EQ(cb_firstSubviewOfClass<QTableView>(&window), nullptr);

  EXPECT_FALSE(cb_isOpen(&window));
  window.show();
  QApplication::setActiveWindow(&window);
  field->setFocus();
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    return window.isActiveWindow() && field->hasFocus() && QGuiApplication::applicationState() == Qt::ApplicationActive;
  }));
  EXPECT_TRUE(cb_isOpen(&window));
  EXPECT_TRUE(cb_isOrIsDescendedFromFirstResponder(field));
  EXPECT_FALSE(cb_isOrIsDescendedFromFirstResponder(label));
  cb_closeWindow(&window);
  EXPECT_FALSE(cb_isOpen(&window));
  EXPECT_FALSE(cb_isOpen(nullptr));

  const QFont font = QApplication::font();
  const QSizeF one = cb_sizeWithFont("word", font, 500);
  const QSizeF wrapped = cb_sizeWithFont("many words that wrap at a narrow width", font, 60);
  EXPECT_GT(one.width(), 0);
  EXPECT_LE(wrapped.width(), 60);
  EXPECT_GT(wrapped.height(), one.height());
  EXPECT_EQ(cb_sizeWithFont(QString(), font, 100), QSizeF());
}

TEST(ViewCategories, TableColumnsRowsAndControls)
{
  QStandardItemModel model(4, 3);
  QTableView table;
  table.setModel(&model);
  table.setSelectionBehavior(QAbstractItemView::SelectRows);
  table.setSelectionMode(QAbstractItemView::ExtendedSelection);

  // One column's indicator, with or without the others'.
  QPixmap up(8, 8);
  up.fill(Qt::black);
  QPixmap down(8, 8);
  down.fill(Qt::gray);
  cb_setIndicatorImage(&table, QIcon(up), 0, false);
  cb_setIndicatorImage(&table, QIcon(down), 2, false);
  EXPECT_TRUE(model.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());
  EXPECT_TRUE(model.headerData(2, Qt::Horizontal, Qt::DecorationRole).isValid());
  cb_setIndicatorImage(&table, QIcon(up), 1, true);
  EXPECT_FALSE(model.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());
  EXPECT_TRUE(model.headerData(1, Qt::Horizontal, Qt::DecorationRole).isValid());
  EXPECT_FALSE(model.headerData(2, Qt::Horizontal, Qt::DecorationRole).isValid());

  // The rows take the font; the header keeps its own.
  const QFont headerFont = table.horizontalHeader()->font();
  QFont rows = table.font();
  rows.setPointSizeF(rows.pointSizeF() + 5);
  cb_setFontForAllColumns(&table, rows);
  EXPECT_EQ(table.font().pointSizeF(), rows.pointSizeF());
  EXPECT_EQ(table.horizontalHeader()->font().pointSizeF(), headerFont.pointSizeF());

  // Deselecting every row; going to a row as cb_goToRow does.
  table.selectionModel()->select(model.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  table.selectionModel()->select(model.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  EXPECT_EQ(cb_absoluteSelectedRowIndexes(&table), (QList<int>{0, 2}));
  cb_deselectAllRows(&table);
  EXPECT_TRUE(cb_absoluteSelectedRowIndexes(&table).isEmpty());
  cb_deselectAllRows(nullptr);
  cb_goToAbsoluteRow(&table, 3);
  EXPECT_EQ(cb_absoluteSelectedRowIndexes(&table), QList<int>{3});
  EXPECT_EQ(table.currentIndex().row(), 3);

  // A control's value as a flag.
  QCheckBox box;
  setBoolValue(&box, true);
  EXPECT_TRUE(box.isChecked());
  setBoolValue(&box, false);
  EXPECT_FALSE(box.isChecked());
  QSlider slider;
  slider.setRange(0, 1);
  setBoolValue(&slider, true);
  EXPECT_EQ(slider.value(), 1);
  setBoolValue(&slider, false);
  EXPECT_EQ(slider.value(), 0);
}

TEST(ViewCategories, RedrawAndTheFirstBitmap)
{
  // Marked for drawing, a shown view paints again.
  struct Counting : QWidget {
    int paints = 0;
    void paintEvent(QPaintEvent*) override { ++paints; }
  } view;
  view.resize(20, 20);
  view.show();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return view.paints > 0; }));
  const int before = view.paints;
  setNeedsDisplayToYes(&view);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return view.paints > before; }));

  // The first bitmap added, whatever the sizes; none for an empty icon.
  QImage small(16, 16, QImage::Format_ARGB32);
  small.fill(Qt::red);
  QImage large(32, 32, QImage::Format_ARGB32);
  large.fill(Qt::blue);
  QIcon icon;
  icon.addPixmap(QPixmap::fromImage(large));
  icon.addPixmap(QPixmap::fromImage(small));
  const QImage first = cb_firstBitmapImageRep(icon);
  EXPECT_EQ(first.size(), QSize(32, 32));
  EXPECT_EQ(first.pixelColor(5, 5), QColor(Qt::blue));
  EXPECT_TRUE(cb_firstBitmapImageRep(QIcon()).isNull());
}
