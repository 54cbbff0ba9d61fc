#pragma once

// Qt kind: QWidget (QDialog).

#include <QtWidgets/QDialog>

class QComboBox;
class QListWidget;
class QPushButton;

// "Customize Toolbar…": the items the toolbar shows, in order (drag to
// reorder), beside the items it may show. Add puts the chosen item before
// the current one, Remove takes it out, "Use Default Set" puts the default
// arrangement back; "Show" chooses the display mode (icon and text, icon
// only, text only). Done hands the arrangement and the mode over.
// Window-modal over the main window.
class ZPHToolbarCustomizationSheet : public QDialog {
  Q_OBJECT

public:
  explicit ZPHToolbarCustomizationSheet(QWidget* parent = nullptr);

  void setItems(const QStringList& shown, const QStringList& allowed, const QStringList& defaults);
  QStringList shownItems() const;
  QListWidget* shownList() const { return m_shown; }
  QListWidget* allowedList() const { return m_allowed; }
  // A ZPHMainWindowToolbarController::DisplayMode.
  int displayMode() const;
  void setDisplayMode(int mode);
  QComboBox* displayModeChooser() const { return m_mode; }

  void addSelectedItem();
  void removeSelectedItem();
  void useDefaultSet();

Q_SIGNALS:
  void itemsChosen(const QStringList& identifiers);
  void displayModeChosen(int mode);

private:
  void appendShown(const QString& identifier, int row = -1);

  QListWidget* m_shown;
  QListWidget* m_allowed;
  QComboBox* m_mode;
  QStringList m_defaults;
};
