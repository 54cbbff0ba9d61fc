#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>

// The text that grows while the parser walks a document.
class ZPHMarkupParserContext {
public:
  void appendText(const char* utf8) { m_text.append(utf8); }
  QString text() const { return QString::fromUtf8(m_text); }

private:
  QByteArray m_text;
};

// HTML to plain text with libxml2's HTML parser: the text nodes below the
// body element, in document order, joined without separators. References are
// read with HTML's whole table of names (CBMarkupWithDecodedEntities), as
// feed text is everywhere. Nothing is ever loaded from the network and no
// external entity is read.
class ZPHMarkupParser {
public:
  ZPHMarkupParser() = delete;

  // The empty string when the markup gives no document or has no body
  // element. The text is not trimmed.
  static QString stringFromMarkup(const QString& markup);
};
