#pragma once

// Qt kind: QObject that owns widgets.

#include "sheets/ZPHSheetDialog.h"
#include "sheets/ZPHSheetHost.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

class QWidget;

// The common part of the sheets that answer a question: the window (a
// ZPHSheetDialog), opened window-modal on a window with open(), the
// application's "a sheet runs" flag set while it runs and put back as it
// was, and an end that comes exactly once: from the sheet's own buttons
// (endSheet()) or, when the window goes with its parent while it runs,
// through sheetWindowWentAway(). Escape and the close button call
// sheetWindowRejected(). Main thread.
class ZPHSheetWindowController : public QObject {
  Q_OBJECT

public:
  explicit ZPHSheetWindowController(ZPHSheetHost host, QObject* parent = nullptr);
  // Deletes the window. A subclass whose sheet may still run when it goes
  // answers its question in its own destructor (the base cannot).
  ~ZPHSheetWindowController() override;

  ZPHSheetDialog* sheetWindow() const { return m_window.data(); }
  bool isRunning() const { return m_running; }
  const ZPHSheetHost& host() const { return m_host; }

protected:
  // Opens the window on `parent`; false when there is no parent or window,
  // or it runs already.
  bool beginSheetOn(QWidget* parent);
  // Closes the window and puts the flag back; false when it was not running
  // (the question has had its answer).
  bool endSheet();
  // Escape or the close button.
  virtual void sheetWindowRejected() = 0;
  // The window went while running (the flag is back already).
  virtual void sheetWindowWentAway() = 0;

private:
  ZPHSheetHost m_host;
  QPointer<ZPHSheetDialog> m_window;
  bool m_running = false;
  bool m_previousRunningModalSheet = false;
};
