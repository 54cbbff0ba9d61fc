#pragma once

// Reads an OPML subscription list into feed and folder stubs under one root
// folder, "OPML Imports". Only "outline" elements count. An outline nested
// inside a feed outline lands, with its own children, in the folder that
// holds that feed (a feed holds no children). A reference to an entity
// that is neither XML's nor HTML's ends the parse with an error.

#include "feeds/parsers/ZPHStreamingXMLParser.h"
#include "store/entities/ZPHFolderStub.h"

#include <QtCore/QList>

#include <memory>

class ZPHOPMLParser : public ZPHStreamingXMLParser {
public:
  ZPHOPMLParser();
  static std::unique_ptr<ZPHOPMLParser> xmlParser() { return std::make_unique<ZPHOPMLParser>(); }

  std::shared_ptr<ZPHFolderStub> rootFolder() const { return m_rootFolder; }

protected:
  void xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                       const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes) override;
  void xmlEndElement(const QString& localName, const QString& prefix, const QString& uri) override;

private:
  std::shared_ptr<ZPHFolderStub> m_rootFolder;
  QList<ZPHStubItem> m_folderItemStack;
};
