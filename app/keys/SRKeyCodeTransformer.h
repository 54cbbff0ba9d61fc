#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtGui/QKeySequence>

#include <optional>

// The keys of the shortcut sets. A set names each key by its virtual key
// code: the position of the key on a US keyboard (0 is the key of "A", 49
// the space bar, 123 the left arrow, 83 the "1" of the keypad; codes 0 to
// 127). This turns those codes into Qt keys through one fixed table, so a
// shortcut stands for the same key on every desktop, and into the text
// that shows a key.
class SRKeyCodeTransformer {
public:
  // The Qt key at the position, with Qt::KeypadModifier for a key of the
  // keypad; nullopt for a code without a key (a negative code, a modifier
  // key, a code not in the table).
  static std::optional<QKeyCombination> keyForKeyCode(int keyCode);

  // How a key code shows in a menu ("R", "Space", "Num+1", "F5", "←");
  // null for anything that is not a number of a key in the table.
  static QString transformedValue(const QVariant& value);
  // The key code a display text stands for; nullopt for a text that shows
  // no key of the table.
  static std::optional<int> reverseTransformedValue(const QString& string);
};
