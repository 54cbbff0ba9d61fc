#include "articlelist/ZPHArticleListSelectionModel.h"

#include <climits>

ZPHArticleListSelectionModel::ZPHArticleListSelectionModel(QAbstractItemModel* model, QObject* parent)
    : QItemSelectionModel(model, parent)
{
}

ZPHArticleListSelectionModel::Verdict ZPHArticleListSelectionModel::judge(int firstProposedRow, int* redirectRow) const
{
  if (firstProposedRow >= 0 && isGroupRow(firstProposedRow)) {
    if (redirectRow != nullptr)
      *redirectRow = m_nextRowAfterRow ? m_nextRowAfterRow(firstProposedRow) : firstProposedRow + 1;
    return Verdict::Redirect;
  }
  if (m_clickedRow >= 0 && isGroupRow(m_clickedRow))
    return Verdict::Keep;
  return Verdict::Take;
}

int ZPHArticleListSelectionModel::firstRowOfProposal(const QItemSelection& selection,
                                                     QItemSelectionModel::SelectionFlags command) const
{
  int first = INT_MAX;
  for (const QItemSelectionRange& range : selection) first = qMin(first, range.top());
  // An extension keeps what is selected: the proposal starts at its top.
  if (!(command & QItemSelectionModel::Clear) && (command & QItemSelectionModel::Select)) {
    for (const QItemSelectionRange& range : this->selection()) first = qMin(first, range.top());
  }
  return first == INT_MAX ? -1 : first;
}

void ZPHArticleListSelectionModel::select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command)
{
  QItemSelection selection;
  if (index.isValid())
    selection.select(index, index);
  select(selection, command);
}

void ZPHArticleListSelectionModel::select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command)
{
  if (m_programmatic > 0 || !(command & (QItemSelectionModel::Select | QItemSelectionModel::Toggle)) ||
      selection.isEmpty()) {
    QItemSelectionModel::select(selection, command);
    return;
  }
  int redirect = -1;
  switch (judge(firstRowOfProposal(selection, command), &redirect)) {
    case Verdict::Take:
      QItemSelectionModel::select(selection, command);
      return;
    case Verdict::Keep:
      return;
    case Verdict::Redirect: {
      const QModelIndex target = model()->index(redirect, 0);
      if (!target.isValid())
        return;
      QItemSelectionModel::select(QItemSelection(target, model()->index(redirect, model()->columnCount() - 1)),
                                  QItemSelectionModel::ClearAndSelect);
      // The current row follows, so the next key starts from there.
      QItemSelectionModel::setCurrentIndex(target, QItemSelectionModel::NoUpdate);
      return;
    }
  }
}

void ZPHArticleListSelectionModel::setCurrentIndex(const QModelIndex& index,
                                                   QItemSelectionModel::SelectionFlags command)
{
  if (m_programmatic > 0 || !index.isValid() || !isGroupRow(index.row())) {
    QItemSelectionModel::setCurrentIndex(index, command);
    return;
  }
  // The user's cursor on a header: the selection rule decides, and the
  // current row goes where the selection went.
  if (command & (QItemSelectionModel::Select | QItemSelectionModel::Toggle)) {
    select(index, command);
    return;
  }
  QItemSelectionModel::setCurrentIndex(index, command);
}
