#pragma once

// The text of the first element with a given local name in a small XML
// document.

#include "feeds/parsers/ZPHStreamingXMLParser.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <memory>

class ZPHSingleStringParser : public ZPHStreamingXMLParser {
public:
  static std::unique_ptr<ZPHSingleStringParser> xmlParser() { return std::make_unique<ZPHSingleStringParser>(); }

  QString tagName() const { return m_tagName; }
  void setTagName(const QString& tagName) { m_tagName = tagName; }
  QString returnedString() const { return m_returnedString; }

protected:
  void xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                       const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes) override;
  void xmlEndElement(const QString& localName, const QString& prefix, const QString& uri) override;

private:
  QString m_tagName;
  QString m_returnedString;
};

// The trimmed text of the first element named `tagName` (case-sensitive);
// null when there is none. XML errors are ignored.
QString ZPHParseSingleStringWithTag(const QByteArray& data, const QString& tagName);
