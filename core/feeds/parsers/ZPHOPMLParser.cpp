#include "feeds/parsers/ZPHOPMLParser.h"

namespace {
QString attributeIgnoringCase(const ZPHXMLAttributes* attributes, const QString& name)
{
  if (attributes == nullptr)
    return {};
  for (auto it = attributes->cbegin(); it != attributes->cend(); ++it) {
    if (it.key().compare(name, Qt::CaseInsensitive) == 0)
      return it.value();
  }
  return {};
}
}  // namespace

ZPHOPMLParser::ZPHOPMLParser() : m_rootFolder(std::make_shared<ZPHFolderStub>(QStringLiteral("OPML Imports")))
{
  // A subscription list names its sites in plain text: an entity of the
  // file's own (or one it never declares) would end up in a name as
  // written.
  setRefusesUnknownEntities(true);
  m_folderItemStack.reserve(200);
  m_folderItemStack.append(m_rootFolder);
}

void ZPHOPMLParser::xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                                    const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes)
{
  ZPHStreamingXMLParser::xmlStartElement(localName, prefix, uri, namespaces, attributes);
  if (localName != QLatin1String("outline"))
    return;

  const ZPHXMLAttributes* current = currentXMLAttributes();
  QString name = attributeIgnoringCase(current, QStringLiteral("title"));
  if (name.isEmpty())
    name = attributeIgnoringCase(current, QStringLiteral("text"));
  const QString xmlUrl = attributeIgnoringCase(current, QStringLiteral("xmlUrl"));
  const bool isFeed =
      attributeIgnoringCase(current, QStringLiteral("type")).toLower() == QLatin1String("rss") || !xmlUrl.isEmpty();

  ZPHStubItem stub;
  if (isFeed) {
    auto feed = std::make_shared<ZPHFeedStub>(xmlUrl);
    feed->setHomePageURLString(attributeIgnoringCase(current, QStringLiteral("htmlUrl")));
    feed->setUserSpecifiedName(name);
    stub = feed;
  } else {
    stub = std::make_shared<ZPHFolderStub>(name);
  }

  // The nearest open folder takes the stub; a feed on top of the stack holds
  // no children, so its nested outlines become its siblings.
  for (qsizetype i = m_folderItemStack.size() - 1; i >= 0; --i) {
    if (const auto* folder = std::get_if<std::shared_ptr<ZPHFolderStub>>(&m_folderItemStack.at(i))) {
      (*folder)->addItem(stub);
      break;
    }
  }
  m_folderItemStack.append(stub);
}

void ZPHOPMLParser::xmlEndElement(const QString& localName, const QString& prefix, const QString& uri)
{
  if (localName == QLatin1String("outline") && m_folderItemStack.size() > 1)
    m_folderItemStack.removeLast();
  ZPHStreamingXMLParser::xmlEndElement(localName, prefix, uri);
}
