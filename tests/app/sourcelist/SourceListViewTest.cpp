// The source list's view on a plain model: how it takes a change of many
// rows at once.

#include "sourcelist/ZPHSourceListView.h"

#include <QtGui/QPaintEvent>
#include <QtGui/QRegion>
#include <QtGui/QStandardItemModel>
#include <QtTest/QTest>
#include <QtWidgets/QStyledItemDelegate>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Counts what the view asks of an open field's data, per row.
class RecordingDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override
  {
    rowsUpdated.push_back(index.row());
    QStyledItemDelegate::setEditorData(editor, index);
  }
  mutable std::vector<int> rowsUpdated;
};

// What of a widget was painted.
class PaintRecorder : public QObject {
public:
  QRegion painted;
  bool eventFilter(QObject* object, QEvent* event) override
  {
    if (event->type() == QEvent::Paint)
      painted += static_cast<QPaintEvent*>(event)->region();
    return QObject::eventFilter(object, event);
  }
};

}  // namespace

// A change of the rows of one parent, narrower and wider than the view takes
// row by row: the rows shown are drawn again either way, and an open rename
// field in the range takes the change; one outside it does not.
TEST(SourceListView, AChangeOfManyRowsDrawsTheListAgainAndReachesAnOpenField)
{
  constexpr int Rows = 400;
  QStandardItemModel model;
  for (int row = 0; row < Rows; ++row) model.appendRow(new QStandardItem(QStringLiteral("Feed %1").arg(row)));
  ZPHSourceListView view;
  auto* delegate = new RecordingDelegate(&view);
  view.setItemDelegate(delegate);
  view.setModel(&model);
  view.resize(240, 400);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  PaintRecorder recorder;
  view.viewport()->installEventFilter(&recorder);

  const QModelIndex renamed = model.index(5, 0);
  view.setCurrentIndex(renamed);
  view.edit(renamed);
  ASSERT_NE(view.indexWidget(renamed), nullptr);

  struct Case {
    int first;
    int last;
    bool fieldUpdated;
  };
  const QList<Case> cases{
      {0, Rows - 1, true},                              // every row
      {3, 3 + ZPHSourceListView::WideRangeRows, true},  // just wide
      {0, ZPHSourceListView::WideRangeRows - 1, true},  // narrow: the tree view's own way
      {6, Rows - 1, false},                             // wide, below the field
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << ".." << c.last);
    delegate->rowsUpdated.clear();
    QCoreApplication::processEvents();
    recorder.painted = QRegion();
    Q_EMIT model.dataChanged(model.index(c.first, 0), model.index(c.last, 0));
    EXPECT_EQ(delegate->rowsUpdated, c.fieldUpdated ? std::vector<int>{5} : std::vector<int>{});
    // A row in the range, away from the field (whose caret blinks).
    const QRect row = view.visualRect(model.index(c.first + 8, 0));
    ASSERT_TRUE(view.viewport()->rect().contains(row));
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.painted.contains(row); }, 2000));
    EXPECT_NE(view.indexWidget(renamed), nullptr);
  }
}
