#pragma once

// Qt kind: none (an interface: an abstract class).

#include <QtCore/QString>

// What fills the "[[key]]" placeholders of a page template: for each key, an
// HTML fragment that is safe to put into the page as it is (every value from
// outside escaped or sanitised by the data source).
class CBHTMLDataSource {
public:
  virtual ~CBHTMLDataSource() = default;
  // The fragment for the key; null or "" for nothing.
  virtual QString valueForPlaceholderKey(const QString& key) const = 0;
};
