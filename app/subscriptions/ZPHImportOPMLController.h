#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHError.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>

#include <functional>
#include <memory>

class CBFeed;
class QWidget;
class ZPHDeterminateProgressStatusItem;
class ZPHOPMLImporter;

// The user's side of an OPML import: the open sheet, "Importing OPML…" with
// its progress in the status area, the error alert, and the import-finished
// notification (the main window's bezel). One import at a time per
// controller.
//
// The importer's completion ends the import at once; an error alert opens
// after it has returned, so the store queue never waits for the user.
//
// Main thread.
class ZPHImportOPMLController : public QObject {
  Q_OBJECT
public:
  // With the imported feeds (empty when none, or for a cancelled sheet).
  using CompletionHandler = std::function<void(const QList<CBFeed*>& imported)>;

  explicit ZPHImportOPMLController(QObject* parent = nullptr);
  ~ZPHImportOPMLController() override;

  // Asks for a file in a sheet on the window, then imports it.
  void runOPMLImportWithBackgroundWindow(QWidget* window, CompletionHandler completion);
  // Imports the file at once.
  void runOPMLImportWithFileURL(const QString& path, QWidget* window, CompletionHandler completion);
  bool isImporting() const { return m_busy; }

  // The open sheet, the error alert (while shown); the status item (while
  // the import runs).
  QFileDialog* openSheet() const { return m_openSheet; }
  QMessageBox* errorAlert() const { return m_errorAlert; }
  std::shared_ptr<ZPHDeterminateProgressStatusItem> statusItem() const { return m_statusItem; }

  // The alert's informative text for an import error.
  static QString informativeTextForError(const ZPHError& error);
  static QString statusItemIdentifierForPath(const QString& path);

private:
  void importFinished(const QList<CBFeed*>& imported, const QList<CBFeed*>& duplicates, const ZPHError& error);
  void end(const QList<CBFeed*>& imported, const QList<CBFeed*>& duplicates, bool errorShown);

  QPointer<QWidget> m_backgroundWindow;
  CompletionHandler m_completionHandler;
  bool m_busy = false;
  std::shared_ptr<ZPHOPMLImporter> m_importer;
  std::shared_ptr<ZPHDeterminateProgressStatusItem> m_statusItem;
  QPointer<QFileDialog> m_openSheet;
  QPointer<QMessageBox> m_errorAlert;
};
