#pragma once

// Qt kind: QObject that owns widgets.

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>

#include <functional>

class CBDataAccount;
class QWidget;

// The Export command: a save sheet on the window proposing "Zephlin Sites
// <yyyy-MM-dd> at <h.mm.ss AM>.opml", then the accounts' subscription list
// (ZPHOPMLExporter) written there. A write that fails is shown in an alert
// that names the file and the reason.
//
// Main thread.
class ZPHExportOPMLController : public QObject {
  Q_OBJECT
public:
  explicit ZPHExportOPMLController(QObject* parent = nullptr);
  ~ZPHExportOPMLController() override;

  QWidget* backgroundWindow() const { return m_backgroundWindow; }
  void setBackgroundWindow(QWidget* window) { m_backgroundWindow = window; }
  // The accounts written (set by exportOPMLForAccounts).
  void setAccounts(const QList<CBDataAccount*>& accounts) { m_accounts = accounts; }
  // Nothing for no accounts; else the save sheet.
  void exportOPMLForAccounts(const QList<CBDataAccount*>& accounts);
  // Writes the list to the file; `done` hears whether it was written.
  void exportToPath(const QString& path, std::function<void(bool written)> done = {});

  // The name the save sheet proposes.
  static QString proposedFileName(const QDateTime& date);
  // Where the export and import sheets open: the documents folder, or home
  // where there is none.
  static QString sheetFolder();

  QFileDialog* saveSheet() const { return m_saveSheet; }
  QMessageBox* failureAlert() const { return m_failureAlert; }

private:
  QPointer<QWidget> m_backgroundWindow;
  QList<CBDataAccount*> m_accounts;
  QPointer<QFileDialog> m_saveSheet;
  QPointer<QMessageBox> m_failureAlert;
};
