#include "articlelist/ZPHStandardLayoutViewController.h"

#include "articlelist/ZPHArticleListCellView.h"
#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHArticleListTableView.h"
#include "articlelist/ZPHArticleSearchGroupHeaderView.h"
#include "articlelist/ZPHStandardLayoutRowView.h"

#include <QtWidgets/QHeaderView>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStackedWidget>

ZPHStandardLayoutViewController::ZPHStandardLayoutViewController(QObject* parent)
    : ZPHClassicLayoutViewController(parent)
{
}

ZPHStandardLayoutViewController::~ZPHStandardLayoutViewController() = default;

void ZPHStandardLayoutViewController::setupTableHeader()
{
  m_tableView->horizontalHeader()->hide();
  m_tableView->horizontalHeader()->setStretchLastSection(true);
}

QAbstractItemDelegate* ZPHStandardLayoutViewController::makeItemDelegate()
{
  return new ZPHArticleListCellView(m_tableView);
}

void ZPHStandardLayoutViewController::configureSplitView()
{
  m_tableView->setMinimumWidth(MinimumListWidth);
  m_tableView->setMaximumWidth(MaximumListWidth);
  m_articleDetailContainerView->setMinimumWidth(MinimumDetailSize);
  m_splitView->setSizes({320, 600});
}

bool ZPHStandardLayoutViewController::isArticleAtRowLastInGroup(int row) const
{
  return model() != nullptr && model()->isArticleAtRowLastInGroup(row);
}

int ZPHStandardLayoutViewController::heightOfRow(int row) const
{
  ZPHArticleListModel* rows = model();
  if (rows != nullptr && rows->isGroupRow(row))
    return ZPHArticleListCellView::groupRowHeight(delegate() != nullptr && delegate()->showingSearchResultSet());
  if (rows == nullptr || row >= rows->rowCount())
    return 10;
  return ZPHArticleListCellView::rowHeight(ZPHArticleListCellView::numberOfPreviewLines(),
                                           dataSource() != nullptr && dataSource()->showingMultipleFeeds());
}

void ZPHStandardLayoutViewController::applyRowHeights()
{
  ZPHArticleListModel* rows = model();
  if (m_tableView == nullptr || rows == nullptr)
    return;
  const bool multiple = dataSource() != nullptr && dataSource()->showingMultipleFeeds();
  m_tableView->setShowingMultipleFeeds(multiple);
  QHeaderView* header = m_tableView->verticalHeader();
  header->setDefaultSectionSize(
      ZPHArticleListCellView::rowHeight(ZPHArticleListCellView::numberOfPreviewLines(), multiple));
  // Only the headers differ: the work goes with their number.
  const int groupHeight =
      ZPHArticleListCellView::groupRowHeight(delegate() != nullptr && delegate()->showingSearchResultSet());
  for (const int row : rows->groupRows()) header->resizeSection(row, groupHeight);
  if (auto* cells = qobject_cast<ZPHArticleListCellView*>(m_itemDelegate))
    cells->resetBookmarkStates();
}

void ZPHStandardLayoutViewController::tableViewSelectionDidChange()
{
  ZPHArticleListModel* rows = model();
  if (rows != nullptr && rows->isGroupRow(selectedRow()))
    return;  // a header selected by the program: the detail pane stays
  classicSelectionDidChange();
}

void ZPHStandardLayoutViewController::didReloadData()
{
  ZPHArticleListModel* rows = model();
  if (rows == nullptr || m_tableView == nullptr)
    return;
  const bool search = delegate() != nullptr && delegate()->showingSearchResultSet();
  if (!search || !rows->isGroupRow(0))
    return;
  const QModelIndex index = rows->index(0, 0);
  auto* header = qobject_cast<ZPHArticleSearchGroupHeaderView*>(m_tableView->indexWidget(index));
  if (header == nullptr) {
    header = new ZPHArticleSearchGroupHeaderView;
    connect(header, &ZPHArticleSearchGroupHeaderView::searchTypeChosen, this, [this](int type) {
      if (delegate())
        delegate()->searchTypeChosen(type);
    });
    m_tableView->setIndexWidget(index, header);
  }
  header->setTitle(rows->groupItemAtRow(0)->title());
  header->setGroupItem(*rows->groupItemAtRow(0));
  header->setSelectedFeeds(dataSource() ? dataSource()->feeds() : QList<ZPHRepresentedObject>());
  header->setSearchOperation(delegate()->currentSearchOperation());
}

const ZPHClassicLayoutRowView& ZPHStandardLayoutViewController::rowView() const
{
  static const ZPHStandardLayoutRowView standard;
  return standard;
}
