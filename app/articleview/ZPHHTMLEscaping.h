#pragma once

// Qt kind: none (static functions).

#include <QtCore/QString>

// Escaping of values written into the HTML of our pages.
class ZPHHTMLEscaping {
public:
  ZPHHTMLEscaping() = delete;

  // "&", "<" and ">" as references: for text between tags.
  static QString escapedText(const QString& text);
  // The same and '"': for a double-quoted attribute value.
  static QString escapedAttribute(const QString& text);

  // The address as a link target: trimmed, read by the URL parser and
  // written back encoded (so the page gets the address that was checked),
  // escaped for an attribute. Null unless it is an http or https address
  // with a host, or a mailto address.
  static QString linkTarget(const QString& urlString);

  // "<a href="TARGET">TEXT</a>" with the text escaped; the escaped text
  // alone when the address cannot be a link.
  static QString link(const QString& text, const QString& urlString);
};
