#pragma once

// Qt kind: QWidget (QDialog).

#include <QtWidgets/QDialog>

#include <functional>

// The window of a sheet of this room: Escape and the window's close button
// ask its controller (rejected()) instead of closing it, so the controller
// answers its question first and then closes the sheet (finishSheet()).
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

private:
  std::function<void()> m_rejectHandler;
};
