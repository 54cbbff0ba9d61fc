#pragma once

// Qt kind: QObject that owns widgets.

#include "sheets/ZPHWelcomeImportViewController.h"

class QCheckBox;

// The import of the previous version's sites (through the window
// controller's importer), with the choice of keeping that version's
// keyboard shortcuts ("ZPHKeyMapSetName", applied at the next start). The
// Import button checks again that an import is possible: when it is not
// (any more), the step ends with the failure text and imports nothing. A
// failed import shows an alert on the window before it moves on.
class ZPHWelcomeZephlin3ImportViewController : public ZPHWelcomeImportViewController {
  Q_OBJECT

public:
  explicit ZPHWelcomeZephlin3ImportViewController(ZPHWelcomeWindowController* windowController);

  QString successText() const override;
  QString failureText() const override;
  QString skippedText() const override;

  // Whether the stored shortcut set is "Zephlin 3"; the check box writes
  // "Zephlin 3" or "Zephlin 4".
  static bool shouldUseZPH3Shortcuts();
  static void setShouldUseZPH3Shortcuts(bool use);
  QCheckBox* shortcutsCheckBox() const { return m_shortcutsCheckBox; }

protected:
  void runImport() override;

private:
  QCheckBox* m_shortcutsCheckBox = nullptr;
};
