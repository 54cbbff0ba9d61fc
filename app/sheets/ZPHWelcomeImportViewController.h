#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHError.h"
#include "sheets/ZPHWelcomeViewController.h"

#include <QtCore/QVariantList>

class QPushButton;
class ZPHIndeterminateProgressIndicator;

// The common part of the welcome window's import steps: an import runs
// under the window's progress overlay, and its end is announced
// (ZPHImportDidFinishNotification, the bezel only when the window was
// opened for the import and it worked), then the window closes (an import
// window) or moves on to the stay-informed step with the success or failure
// text (a first run). Skip (first run only, never while importing) moves
// on with the skipped text. Subclasses give the texts and the import.
class ZPHWelcomeImportViewController : public ZPHWelcomeViewController {
  Q_OBJECT

public:
  explicit ZPHWelcomeImportViewController(ZPHWelcomeWindowController* windowController);

  bool importInProgress() const { return m_importInProgress; }
  bool isImportButtonEnabled() const { return true; }
  // Not while importing; only in the first-run window.
  bool showSkipButton() const;

  virtual QString successText() const { return {}; }
  virtual QString failureText() const { return {}; }
  virtual QString skippedText() const { return {}; }

  // The import: under the overlay, then (next turn of the event loop)
  // runImport(), which checks again that an import is possible.
  void import();
  void skip();
  // The end of an import (also of one that could not start).
  void completeImport(bool success, const QVariantList& importedFeeds, const QVariantList& duplicateFeeds);

  QPushButton* importButton() const { return m_importButton; }
  QPushButton* skipButton() const { return m_skipButton; }
  ZPHIndeterminateProgressIndicator* importingProgressIndicator() const { return m_importingProgressIndicator; }

Q_SIGNALS:
  void importInProgressChanged(bool inProgress);

protected:
  virtual void runImport() = 0;
  void setImportInProgress(bool inProgress);
  void updateSkipButton();

  QPushButton* m_importButton = nullptr;
  QPushButton* m_skipButton = nullptr;
  ZPHIndeterminateProgressIndicator* m_importingProgressIndicator = nullptr;

private:
  bool m_importInProgress = false;
};
