#pragma once

// Qt kind: QObject that owns widgets.

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QDialog>
#include <QtWidgets/QMessageBox>

class QLabel;
class QProgressBar;
class QPushButton;

// The window shown while the store of an older version is migrated, or
// while the store is checked (after a run that did not end normally, or
// because the last check was stopped before it finished): a
// progress bar and a Cancel button that asks for confirmation before it
// quits. runModalMigrationUI() runs the window application-modal until the
// work ends or the user cancels.
class ZPHCoreDataMigrationWindowController : public QObject {
  Q_OBJECT

public:
  class Delegate {
  public:
    virtual ~Delegate() = default;
    virtual void coreDataMigrationWindowControllerUserDidRequestCancel(
        ZPHCoreDataMigrationWindowController* controller) = 0;
  };

  // What the window says, and the confirmation sheet of its Cancel button.
  struct Texts {
    QString title;
    QString message;
    QString confirmationTitle;
    QString confirmationMessage;
    QString continueButton;
  };
  static Texts migrationTexts();
  // Why the store is checked, which the window tells.
  enum class IntegrityCheckCause {
    UncleanEnd,    // the last run did not end normally
    StoppedCheck,  // the last run ended normally, its check stopped before it finished
  };
  static Texts integrityCheckTexts(IntegrityCheckCause cause);

  explicit ZPHCoreDataMigrationWindowController(Delegate* delegate, QObject* parent = nullptr,
                                                const Texts& texts = migrationTexts());
  ~ZPHCoreDataMigrationWindowController() override;

  QDialog* window() const { return m_window; }
  QPushButton* cancelButton() const { return m_cancelButton; }
  // The "Cancel Migration?" sheet while it is up, else nullptr.
  QMessageBox* confirmationSheet() const { return m_confirmationSheet; }

  // Percent, 0 to 100.
  double migrationProgress() const { return m_migrationProgress; }
  void setMigrationProgress(double percent);
  bool showingConfirmationSheet() const { return m_confirmationSheet != nullptr; }

  // Shows the window and returns when it has ended.
  void runModalMigrationUI();
  // The migration ended: the window ends, not user-initiated.
  void migrationFinished();
  void endMigrationUIUserInitiated(bool userInitiated);

  // The Cancel button: the confirmation sheet ("Continue Updating", or
  // "Continue Checking", or "Quit Zephlin").
  void cancelButtonClicked();
  void showCancelAlert();
  // "Quit Zephlin": tells the delegate, then ends the window two turns of
  // the event loop later.
  void cancelMigration();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  Delegate* m_delegate;
  Texts m_texts;
  QPointer<QDialog> m_window;
  QProgressBar* m_progressBar = nullptr;
  QPushButton* m_cancelButton = nullptr;
  QPointer<QMessageBox> m_confirmationSheet;
  double m_migrationProgress = 0;
  bool m_running = false;
};
