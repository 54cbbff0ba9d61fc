#pragma once

// Qt kind: selection model (QItemSelectionModel).

#include <QtCore/QItemSelectionModel>
#include <QtCore/QList>

#include <optional>

class ZPHSourceListModel;

// The source list's selection. Every selection the view or the program
// proposes passes the source list's rules before it takes effect:
// - one row stays selected unless it is a section header (then the
//   selection stays as it was);
// - two or more rows that are all feeds under Favorites stay as proposed;
// - two or more rows otherwise keep only the feeds and folders of the
//   account: section headers, smart feeds, the Favorites group and the feeds
//   under it drop out;
// - no row stays no row.
// Rows are whole rows of the one column. Main thread only.
class ZPHSourceListSelectionModel : public QItemSelectionModel {
  Q_OBJECT

public:
  // What the rules look at in a row.
  enum class RowKind { Header, SmartFeed, FavoritesGroup, FavoritesChild, FeedOrFolder };

  explicit ZPHSourceListSelectionModel(ZPHSourceListModel* model, QObject* parent = nullptr);

  // The rules: the positions (into `proposed`) of the rows that stay
  // selected; nullopt when the selection is to stay as it was.
  static std::optional<QList<int>> selectionIndexesForProposedSelection(const QList<RowKind>& proposed);

  static RowKind rowKindForIndex(const QModelIndex& index);

  using QItemSelectionModel::select;
  void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;

private:
  ZPHSourceListModel* m_sourceListModel;
  // The selection a sequence of Current commands (a drag, a shift-extension)
  // started from.
  QList<QPersistentModelIndex> m_committed;
};
