#pragma once

// Qt kind: QObject.

#include "keys/FRNHKeyMappingController.h"

// The program's shortcut sets: "Zephlin 4" (this version's) and "Zephlin 3"
// (the previous major version's, which also turns single keys without
// modifiers into commands in the main window).
//
// Where the first language of the user interface is English, a shifted
// "=", "[" or "]" in a set becomes "+", "{" or "}" without Shift, the key
// those keys type shifted on English keyboards.
class ZPHKeyMappingController : public FRNHKeyMappingController {
  Q_OBJECT

public:
  static const QString Zephlin4SetName;  // "Zephlin 4"
  static const QString Zephlin3SetName;  // "Zephlin 3"

  // `firstUILanguage`: the first language of the user interface ("en-US");
  // null for the system's.
  explicit ZPHKeyMappingController(const QString& firstUILanguage = QString(),
                                   const QString& resourceFolder = QStringLiteral(":/KeyMappings"),
                                   QObject* parent = nullptr);

  // The process's one controller, made on first use.
  static ZPHKeyMappingController* sharedMappingController();

  // Whether the first language's language part is "en".
  bool englishUserInterface() const { return m_english; }

  QKeySequence keySequenceForKeyEquivalent(int keyCode, quint64 modifierMask) const override;
  // True exactly for "Zephlin 3".
  bool shouldSupportUnmodifiedSingleKeyShortcuts() const override;
  // F11 for full screen, as on every Linux desktop; no set gives F11
  // another command.
  QList<QKeySequence> desktopKeysForIdentifier(const QString& identifier) const override;

private:
  bool m_english;
};
