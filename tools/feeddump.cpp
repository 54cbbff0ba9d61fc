// feeddump FILE...
//
// Reads each file, runs it through the feed parser proxy and writes one JSON
// object per file to standard output, one line each (compact, UTF-8), in the
// order the files were named. The developers' window into the parsers and the
// input of outside conformance checks: keep this format stable.
//
// The object of a file:
//   type          number: the feed type, 0 RSS (RSS and RDF), 1 Atom, 2 not a feed
//   title         string or null: the feed's title
//   homePageURL   string or null: the feed's home page
//   error         string or null: the XML error that ended the parse (the
//                 items before it are still listed); null for a document
//                 read to its end and for one that is not a feed
//   items         array, in document order, of objects:
//     guid, title, plainTextTitle, link, permalink, content, summary,
//     xmlBaseURL, author, authorEmail, mediaThumbnailURL, thumbnailURL,
//     mediaCredit, preview
//                 string or null (null when absent, "" when present but empty)
//     guidIsPermalink
//                 boolean
//     pubDate, dateModified
//                 string or null: ISO 8601 in UTC ending in "Z", to the
//                 second ("2003-06-10T04:00:00Z"), with milliseconds only
//                 when they are not 0 ("2003-06-10T04:00:00.250Z")
//     categories  array of strings
//     enclosures  array of objects:
//       urlString, mimeType, medium   string or null (mimeType guessed from
//                                     the address when the feed gives none)
//       fileSize, width, height       number, 0 when absent
// Keys come out in alphabetical order; a value is never left out, it is null
// instead. plainTextTitle, xmlBaseURL, thumbnailURL and preview are the
// values the parsed item derives (the title made plain text; the content's
// xml:base, else the summary's; the media thumbnail, else the first image of
// the body; the tag-free text of the body).
//
// A file that cannot be read gives a line on standard error and nothing on
// standard output. Exit status: 0 when every file was read (whatever it
// held: a broken document or one that is not a feed is still a result), 2
// when a file could not be read or no file was named.

#include "feeds/parsers/CBFeedParserProxy.h"
#include "feeds/parsers/CBFeedType.h"
#include "feeds/parsers/ZPHAtomFeedParser.h"
#include "feeds/parsers/ZPHRSSFeedParser.h"
#include "platform/ZPHLog.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QJsonValue>

#include <cstdio>

namespace {

constexpr int ExitFileNotRead = 2;

QJsonValue stringValue(const QString& string)
{
  return string.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(string);
}

QJsonValue dateValue(const QDateTime& date)
{
  if (!date.isValid())
    return QJsonValue::Null;
  const QDateTime utc = date.toUTC();
  const QString text = utc.toString(utc.time().msec() == 0 ? Qt::ISODate : Qt::ISODateWithMs);
  // Years outside 0 to 9999 have no ISO 8601 form here.
  return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonObject enclosureObject(const CBParsedEnclosure& enclosure)
{
  return {
      {QStringLiteral("urlString"), stringValue(enclosure.urlString())},
      {QStringLiteral("mimeType"), stringValue(enclosure.mimeType())},
      {QStringLiteral("medium"), stringValue(enclosure.medium())},
      {QStringLiteral("fileSize"), QJsonValue(enclosure.fileSize())},
      {QStringLiteral("width"), QJsonValue(enclosure.width())},
      {QStringLiteral("height"), QJsonValue(enclosure.height())},
  };
}

QJsonObject itemObject(const CBParsedNewsItem& item)
{
  QJsonArray categories;
  for (const QString& category : item.categories()) categories.append(category);
  QJsonArray enclosures;
  for (const auto& enclosure : item.enclosures()) {
    if (enclosure)
      enclosures.append(enclosureObject(*enclosure));
  }
  return {
      {QStringLiteral("guid"), stringValue(item.guid())},
      {QStringLiteral("guidIsPermalink"), item.guidIsPermalink()},
      {QStringLiteral("title"), stringValue(item.title())},
      {QStringLiteral("plainTextTitle"), stringValue(item.plainTextTitle())},
      {QStringLiteral("link"), stringValue(item.link())},
      {QStringLiteral("permalink"), stringValue(item.permalink())},
      {QStringLiteral("content"), stringValue(item.content())},
      {QStringLiteral("summary"), stringValue(item.summary())},
      {QStringLiteral("xmlBaseURL"), stringValue(item.xmlBaseURL())},
      {QStringLiteral("author"), stringValue(item.author())},
      {QStringLiteral("authorEmail"), stringValue(item.authorEmail())},
      {QStringLiteral("pubDate"), dateValue(item.pubDate())},
      {QStringLiteral("dateModified"), dateValue(item.dateModified())},
      {QStringLiteral("categories"), categories},
      {QStringLiteral("enclosures"), enclosures},
      {QStringLiteral("mediaThumbnailURL"), stringValue(item.mediaThumbnailURL())},
      {QStringLiteral("thumbnailURL"), stringValue(item.thumbnailURL())},
      {QStringLiteral("mediaCredit"), stringValue(item.mediaCredit())},
      {QStringLiteral("preview"), stringValue(item.preview())},
  };
}

QJsonObject feedObject(const QByteArray& data)
{
  CBFeedParserProxy proxy;
  ZPHError error;
  CBFeedType type = CBFeedTypeNotAFeed;
  if (proxy.parseData(data, &error)) {
    if (dynamic_cast<ZPHAtomFeedParser*>(proxy.actualParser()) != nullptr)
      type = CBFeedTypeAtom;
    else if (dynamic_cast<ZPHRSSFeedParser*>(proxy.actualParser()) != nullptr)
      type = CBFeedTypeRSS;
  }
  QJsonArray items;
  for (const auto& item : proxy.newsItems()) {
    if (item)
      items.append(itemObject(*item));
  }
  return {
      {QStringLiteral("type"), int(type)},
      {QStringLiteral("title"), stringValue(proxy.feedTitle())},
      {QStringLiteral("homePageURL"), stringValue(proxy.feedHomePageURL())},
      {QStringLiteral("error"),
       error.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(error.localizedDescription())},
      {QStringLiteral("items"), items},
  };
}

}  // namespace

int main(int argc, char** argv)
{
  QCoreApplication app(argc, argv);
  ZPHInstallLogHandler("feeddump", false);

  const QStringList paths = QCoreApplication::arguments().mid(1);
  if (paths.isEmpty()) {
    std::fprintf(stderr, "usage: feeddump FILE...\n");
    return ExitFileNotRead;
  }

  int status = 0;
  for (const QString& path : paths) {
    QFile file(path);
    QByteArray data;
    bool read = file.open(QIODevice::ReadOnly);
    if (read) {
      data = file.readAll();
      read = file.error() == QFileDevice::NoError;
    }
    if (!read) {
      std::fprintf(stderr, "feeddump: cannot read %s: %s\n", qUtf8Printable(path), qUtf8Printable(file.errorString()));
      status = ExitFileNotRead;
      continue;
    }
    const QByteArray line = QJsonDocument(feedObject(data)).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
  }
  return status;
}
