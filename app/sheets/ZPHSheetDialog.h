#pragma once

// Qt kind: QWidget (QDialog).

#include <QtWidgets/QDialog>
#include <QtWidgets/QStyle>

#include <functional>

// The window of a sheet of this room: Escape and the window's close button
// ask its controller (rejected()) instead of closing it, so the controller
// answers its question first and then closes the sheet (finishSheet()).
class QLabel;
class QPushButton;
class QVBoxLayout;

class ZPHSheetDialog : public QDialog {
  Q_OBJECT

public:
  explicit ZPHSheetDialog(QWidget* parent = nullptr);

  // Called instead of closing on Escape and on the close button; without
  // one the dialog closes as usual.
  void setRejectHandler(std::function<void()> handler) { m_rejectHandler = std::move(handler); }
  // Closes the sheet and gives it back to no parent.
  void finishSheet();

  void reject() override;

  // The layout of a question sheet: `icon` at the top left and a column
  // right of it for the texts, fields and buttons; returns the column.
  // Called once, on a dialog without a layout.
  QVBoxLayout* setQuestionLayout(QStyle::StandardPixmap icon);
  // A button of the sheet named `name`: the default one (Return) or one
  // Return passes over.
  QPushButton* makeButton(const QString& title, const QString& name, bool isDefault);
  // A line of fine print (the keyring's note, a warning's details): the
  // dialog's type a size smaller.
  QLabel* makeFinePrint(const QString& text);
  // The fine print of a sheet that asks for a password: where the password
  // is kept, as the password store knows it (the keyring only when the
  // secret service answered).
  static QString passwordPlaceText();

private:
  std::function<void()> m_rejectHandler;
};
