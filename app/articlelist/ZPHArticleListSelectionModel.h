#pragma once

// Qt kind: selection model (QItemSelectionModel).

#include <QtCore/QItemSelectionModel>

#include <functional>

// The selection of an article table. What the user proposes (clicks,
// drags, keys) passes one rule before it is taken, where the list has
// header rows:
// - a proposal that starts on a header selects the first article under it
//   instead (the next article row, or the last row);
// - else, a click on a header (one that would only extend a selection
//   starting at an article) keeps the selection as it is;
// - else the proposal is taken.
// Selections made by the program (inside a ProgrammaticChange) are taken as
// they are.
class ZPHArticleListSelectionModel : public QItemSelectionModel {
  Q_OBJECT

public:
  // Answers whether a row is a header; none without it.
  using GroupRowTest = std::function<bool(int row)>;
  // The row the rule selects for a proposal starting at a header.
  using NextRow = std::function<int(int row)>;

  explicit ZPHArticleListSelectionModel(QAbstractItemModel* model, QObject* parent = nullptr);

  void setGroupRowTest(GroupRowTest test) { m_isGroupRow = std::move(test); }
  void setNextRowAfterRow(NextRow next) { m_nextRowAfterRow = std::move(next); }
  // The row the user's click hit, -1 outside a click.
  void setClickedRow(int row) { m_clickedRow = row; }
  int clickedRow() const { return m_clickedRow; }

  // While one lives, selections are taken as they are.
  class ProgrammaticChange {
  public:
    explicit ProgrammaticChange(ZPHArticleListSelectionModel* model) : m_model(model)
    {
      if (m_model)
        ++m_model->m_programmatic;
    }
    ~ProgrammaticChange()
    {
      if (m_model)
        --m_model->m_programmatic;
    }
    ProgrammaticChange(const ProgrammaticChange&) = delete;
    ProgrammaticChange& operator=(const ProgrammaticChange&) = delete;

  private:
    ZPHArticleListSelectionModel* m_model;
  };
  bool isChangingProgrammatically() const { return m_programmatic > 0; }

  enum class Verdict { Take, Redirect, Keep };
  // The rule, on the proposal's first row and the clicked row; with
  // Redirect, `redirectRow` is the row to select alone.
  Verdict judge(int firstProposedRow, int* redirectRow) const;

  void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
  void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;
  void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;

private:
  int firstRowOfProposal(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) const;
  bool isGroupRow(int row) const { return m_isGroupRow && m_isGroupRow(row); }

  GroupRowTest m_isGroupRow;
  NextRow m_nextRowAfterRow;
  int m_clickedRow = -1;
  int m_programmatic = 0;
};
