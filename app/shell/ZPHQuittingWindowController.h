#pragma once

// Qt kind: QObject that owns widgets.

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <QtWidgets/QDialog>
class QProgressBar;
class QWidget;

// The small window that says the application is finishing its work before
// it quits: a sheet on the main window while that is visible (the
// application delegate runs it as one), a window of its own otherwise, so a
// quit never waits unseen.
class ZPHQuittingWindowController : public QObject {
  Q_OBJECT

public:
  explicit ZPHQuittingWindowController(QObject* parent = nullptr);
  ~ZPHQuittingWindowController() override;

  // Made on first use; its progress indicator runs from then on.
  QDialog* window();
  QProgressBar* progressIndicator() const { return m_progressIndicator; }

  // As a window of its own. Never waits.
  void showWindow(QWidget* parent = nullptr);
  void closeWindow();

private:
  QPointer<QDialog> m_window;
  QProgressBar* m_progressIndicator = nullptr;
};
