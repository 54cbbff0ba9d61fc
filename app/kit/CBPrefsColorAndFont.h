#pragma once

// Qt kind: none (functions).

#include <QtCore/QString>
#include <QtGui/QColor>
#include <QtGui/QFont>

// Settings that hold a colour or a font, beside the core's CBPrefs
// functions (the value first, the key second). A colour is stored as the
// bytes of a QDataStream of the QColor; a font as two entries: its family
// under one key and its point size (a double) under another.

// The stored colour; white when none (or nothing readable) is stored.
QColor CBPrefsGetColor(const QString& key);
void CBPrefsSetColor(const QColor& color, const QString& key);

// The font named under `nameKey` at the size under `sizeKey`. A size below
// 6.0 (an absent one reads as 0) becomes 11.0. A name that no installed
// family has, or none, gives the system font at that size.
QFont CBPrefsGetFont(const QString& nameKey, const QString& sizeKey);
// Stores the name under `nameKey`, then the size under `sizeKey`.
void CBPrefsSetFont(const QString& fontName, const QString& nameKey, const QString& sizeKey, double size);
