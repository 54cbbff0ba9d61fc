#pragma once

#include <QtWidgets/QDialog>

class QListWidget;
class QPushButton;

// "Customize Toolbar…": the items the toolbar shows, in order (drag to
// reorder), beside the items it may show. Add puts the chosen item before
// the current one, Remove takes it out, "Use Default Set" puts the default
// arrangement back; Done hands the arrangement over. Window-modal over the
// main window.
class ZPHToolbarCustomizationSheet : public QDialog {
  Q_OBJECT

public:
  explicit ZPHToolbarCustomizationSheet(QWidget* parent = nullptr);

  void setItems(const QStringList& shown, const QStringList& allowed, const QStringList& defaults);
  QStringList shownItems() const;
  QListWidget* shownList() const { return m_shown; }
  QListWidget* allowedList() const { return m_allowed; }

  void addSelectedItem();
  void removeSelectedItem();
  void useDefaultSet();

Q_SIGNALS:
  void itemsChosen(const QStringList& identifiers);

private:
  void appendShown(const QString& identifier, int row = -1);

  QListWidget* m_shown;
  QListWidget* m_allowed;
  QStringList m_defaults;
};
