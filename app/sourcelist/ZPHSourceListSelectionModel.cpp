#include "sourcelist/ZPHSourceListSelectionModel.h"

#include "sourcelist/ZPHSourceListModel.h"

#include <algorithm>

ZPHSourceListSelectionModel::ZPHSourceListSelectionModel(ZPHSourceListModel* model, QObject* parent)
    : QItemSelectionModel(model, parent), m_sourceListModel(model)
{
  connect(model, &QAbstractItemModel::modelReset, this, [this] { m_committed.clear(); });
}

ZPHSourceListSelectionModel::RowKind ZPHSourceListSelectionModel::rowKindForIndex(const QModelIndex& index)
{
  const auto* model = qobject_cast<const ZPHSourceListModel*>(index.model());
  const CBTreeNode* node = model != nullptr ? model->nodeForIndex(index) : nullptr;
  switch (ZPHSourceListModel::kindOfNode(node)) {
    case ZPHSourceListModel::Kind::SmartFeed:
      return RowKind::SmartFeed;
    case ZPHSourceListModel::Kind::FavoritesGroup:
      return RowKind::FavoritesGroup;
    case ZPHSourceListModel::Kind::Feed:
      return ZPHSourceListModel::isFavoritesChild(node) ? RowKind::FavoritesChild : RowKind::FeedOrFolder;
    case ZPHSourceListModel::Kind::Folder:
      return RowKind::FeedOrFolder;
    default:
      return RowKind::Header;
  }
}

std::optional<QList<int>> ZPHSourceListSelectionModel::selectionIndexesForProposedSelection(
    const QList<RowKind>& proposed)
{
  QList<int> kept;
  if (proposed.isEmpty())
    return kept;
  if (proposed.size() == 1) {
    if (proposed.constFirst() == RowKind::Header)
      return std::nullopt;
    kept.append(0);
    return kept;
  }
  const bool allFavorites =
      std::all_of(proposed.cbegin(), proposed.cend(), [](RowKind kind) { return kind == RowKind::FavoritesChild; });
  for (int index = 0; index < proposed.size(); ++index) {
    if (allFavorites || proposed.at(index) == RowKind::FeedOrFolder)
      kept.append(index);
  }
  return kept;
}

void ZPHSourceListSelectionModel::select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command)
{
  const QItemSelectionModel::SelectionFlags change = command & (Clear | Select | Deselect | Toggle);
  if (change == NoUpdate)
    return;

  // What the command proposes, from the selection it applies to.
  QList<QPersistentModelIndex> proposed;
  if (!(command & Clear)) {
    if (command & Current) {
      proposed = m_committed;
    } else {
      for (const QModelIndex& row : selectedRows()) proposed.append(row);
    }
  }
  QList<QModelIndex> incoming;
  for (const QItemSelectionRange& range : selection) {
    if (!range.isValid())
      continue;
    for (int row = range.top(); row <= range.bottom(); ++row) {
      const QModelIndex index = m_sourceListModel->index(row, 0, range.parent());
      if (index.isValid() && !incoming.contains(index))
        incoming.append(index);
    }
  }
  for (const QModelIndex& index : std::as_const(incoming)) {
    const qsizetype at = proposed.indexOf(QPersistentModelIndex(index));
    if (command & Toggle) {
      if (at >= 0)
        proposed.removeAt(at);
      else
        proposed.append(index);
    } else if (command & Deselect) {
      if (at >= 0)
        proposed.removeAt(at);
    } else if (command & Select) {
      if (at < 0)
        proposed.append(index);
    }
  }
  proposed.removeIf([](const QPersistentModelIndex& index) { return !index.isValid(); });

  QList<RowKind> kinds;
  kinds.reserve(proposed.size());
  for (const QPersistentModelIndex& index : std::as_const(proposed)) kinds.append(rowKindForIndex(index));
  const std::optional<QList<int>> kept = selectionIndexesForProposedSelection(kinds);
  if (!kept)
    return;

  QList<QPersistentModelIndex> result;
  QItemSelection final;
  for (int position : *kept) {
    const QPersistentModelIndex& index = proposed.at(position);
    result.append(index);
    final.select(index, index);
  }
  if (!(command & Current))
    m_committed = result;
  QItemSelectionModel::select(final, ClearAndSelect | Rows);
}
