#pragma once

// String, URL and HTML helpers of the core library: C functions over strings
// and URL strings, and the cb_ string methods as free functions. A null
// QString stands for "nil".

#include <QtCore/QByteArray>
#include <QtCore/QString>

// Bytes to text: UTF-16 with a byte-order mark, else the first of UTF-8,
// ISO Latin-1, ... that decodes. Null for null data.
QString CBStringUsefulStringWithData(const QByteArray& data);

// The string without the text from its last "?" on; the string itself when
// it has no "?".
QString cb_stringByStrippingURLQuery(const QString& string);

// For a non-empty name, writes the name without its extension and the
// extension; else leaves both untouched.
void cb_splitFilenameWithSuffix(const QString& filenameWithSuffix, QString* filename, QString* suffix);
