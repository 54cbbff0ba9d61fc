#pragma once

// Qt kind: model (QAbstractTableModel).

#include "articlelist/ZPHArticleListGroupItem.h"
#include "store/accounts/ZPHArticleListController.h"

#include <QtCore/QAbstractTableModel>
#include <QtCore/QHash>
#include <QtCore/QList>

#include <limits>
#include <optional>
#include <vector>

class CBDataArticle;
class CBDateManager;

// The rows of the article list: the articles of the article list
// controller, in its order, with the header rows of date groups (or of
// search results) in between when the layout shows them.
//
// An article is loaded when a row asks for it, together with the rows
// around it (PageSize at a time, one statement). Read and bookmark changes
// come from the controller and are announced by ranges of rows.
//
// A new list of the same source comes in place (updateEntries): rows that
// stay are not touched, the others are removed and inserted, so the views
// keep their selection and scroll position. A list of another source (or
// one that changed too much) resets the model (setEntries).
//
// Column 0 is the title (the standard layout's only column); column 1 the
// date, when the layout asks for two columns. Main thread only.
class ZPHArticleListModel : public QAbstractTableModel {
  Q_OBJECT

public:
  static constexpr int PageSize = 64;

  enum Column { TitleColumn = 0, DateColumn = 1 };
  enum Role {
    // The article (ZPHManagedObject*), loaded; null for a header or a gone
    // article.
    ArticleRole = Qt::UserRole + 1,
    ObjectIDRole,        // ZPHManagedObjectID
    IsGroupRowRole,      // bool
    GroupTitleRole,      // the header's title
    ReadRole,            // bool
    FlaggedRole,         // bool
    DateForDisplayRole,  // QDateTime (UTC)
    // The next row is a header (bool).
    IsLastArticleInGroupRole,
  };

  // One row: an article (the index of a row of the controller) or a header.
  struct Entry {
    qsizetype article = -1;
    ZPHArticleListGroupItem group;
    bool isGroup() const { return article < 0; }
  };

  explicit ZPHArticleListModel(ZPHArticleListController* controller, QObject* parent = nullptr);
  ~ZPHArticleListModel() override;

  ZPHArticleListController* controller() const { return m_controller; }

  // 1 (standard) or 2 (classic); a change resets the model.
  void setColumns(int columns);
  int columns() const { return m_columns; }

  // The rows; resets the model.
  void setEntries(const QList<Entry>& entries);
  // At most this many runs of neighbouring rows are removed and inserted,
  // and rows moved, in place; a larger change resets the model.
  static constexpr qsizetype MaxInPlaceRuns = 32;
  // The rows, moved there in place: `entries` index the controller's
  // articles now, while the rows shown were made of the articles it had
  // before. A row whose article (or header title) is in both lists stays:
  // the longest run of them in the same order stays put, each other one
  // moves (rowsMoved). The rows of neither list go and come as runs
  // (rowsRemoved bottom to top, then rowsInserted top to bottom). Answers
  // where each row went (-1: removed), or nothing, changing nothing, when
  // more than MaxInPlaceRuns runs and moves would be needed.
  std::optional<std::vector<int>> updateEntries(const QList<Entry>& entries);
  const QList<Entry>& entries() const { return m_entries; }
  // The controller's articles, one row each.
  static QList<Entry> entriesForArticles(qsizetype count);
  // The controller's articles under date headers: "Today", "Yesterday",
  // "Future" and one per month ("MMMM yyyy") as the date manager groups
  // their display dates. The first article always gets a header; month and
  // day headers are tracked apart.
  static QList<Entry> groupedEntries(const QList<ZPHArticleListRow>& rows, const CBDateManager* dateManager);
  // One header titled `title` in front of the articles.
  static QList<Entry> entriesUnderHeader(qsizetype count, const QString& title);

  bool isGroupRow(int row) const;
  bool isArticleRow(int row) const { return row >= 0 && row < m_entries.size() && !m_entries.at(row).isGroup(); }
  // Null past the end or for an article row.
  const ZPHArticleListGroupItem* groupItemAtRow(int row) const;
  // The article of a row (loading its page); nullptr for a header, a gone
  // article or past the end.
  CBDataArticle* articleAtRow(int row) const;
  ZPHManagedObjectID objectIDAtRow(int row) const;
  // -1 when not listed.
  int rowForObjectID(const ZPHManagedObjectID& objectID) const;
  int rowForArticleIndex(qsizetype index) const;
  // The next row is a header; false on the last row.
  bool isArticleAtRowLastInGroup(int row) const;
  // The header rows, in order.
  const QList<int>& groupRows() const { return m_groupRows; }
  // The article rows, first and last; -1 without articles.
  int firstArticleRow() const;
  int lastArticleRow() const;

  // The controller's rows at these indexes changed state. Up to ManyRuns
  // runs of neighbouring rows are announced one by one, more as one range.
  static constexpr qsizetype ManyRuns = 64;
  void articleStatesChanged(const QList<qsizetype>& indexes);
  // Every row may show something else (the same rows in the same places).
  void allRowsChanged();

  // QAbstractItemModel
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // "Article: %1\n\n\n" (when titled), "Published %2\n\n\n", "By %3\n\n\n"
  // (when the feed has its own name): what a screen reader says of a row.
  static QString accessibilityLabel(const QString& title, const QString& published, const QString& feedName);
  // The display date of a row: the published date, else the modified one,
  // else the arrival, else now.
  static QDateTime displayDateForArticle(const CBDataArticle* article);
  // "Today 10:12", "Yesterday 9:01" or the medium date.
  static QString relativeDateString(const QDateTime& date, const CBDateManager* dateManager);

  void setDateManager(const CBDateManager* dateManager) { m_dateManager = dateManager; }
  const CBDateManager* dateManager() const;

private:
  // An article row whose article left the controller's list, until the row
  // goes.
  static constexpr qsizetype GoneArticle = std::numeric_limits<qsizetype>::max();

  void loadPageOfRow(int row) const;
  void rebuildRowIndexes();

  ZPHArticleListController* m_controller;
  const CBDateManager* m_dateManager = nullptr;
  int m_columns = 1;
  QList<Entry> m_entries;
  // The article of each row (none for a header), as it was when the row
  // was made: what an update finds the row by.
  QList<ZPHManagedObjectID> m_objectIDs;
  // The row of each article of the controller.
  std::vector<int> m_rowOfArticle;
  QList<int> m_groupRows;
  mutable std::vector<bool> m_loadedPages;
};
