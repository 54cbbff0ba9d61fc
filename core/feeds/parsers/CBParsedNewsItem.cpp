#include "feeds/parsers/CBParsedNewsItem.h"

#include "feeds/parsers/ZPHMarkupParser.h"
#include "foundation/CBCollections.h"
#include "foundation/CBData.h"
#include "foundation/CBString.h"

#include <QtCore/QUrl>

void CBParsedNewsItem::addCategory(const QString& category) { cb_safeAddObject(m_categories, category); }

void CBParsedNewsItem::addEnclosure(const std::shared_ptr<CBParsedEnclosure>& enclosure)
{
  if (enclosure)
    m_enclosures.append(enclosure);
}

QString CBParsedNewsItem::htmlText() const { return m_content.isEmpty() ? m_summary : m_content; }

QString CBParsedNewsItem::xmlBaseURL() const
{
  return m_xmlBaseURLForContent.isEmpty() ? m_xmlBaseURLForSummary : m_xmlBaseURLForContent;
}

QString CBParsedNewsItem::plainTextTitle() const
{
  if (m_plainTextTitle.isNull() && !m_title.isNull())
    m_plainTextTitle = cb_stringByMakingPlainTextTitle(m_title);
  return m_plainTextTitle;
}

QString CBParsedNewsItem::preview() const
{
  if (!m_preview.isNull())
    return m_preview;
  const QString source = m_summary.isEmpty() ? m_content : m_summary;
  if (source.isEmpty())
    return {};
  QString text = cb_stringByFilteringHTMLTagContentsWithinTagsWithNames(
      source, {QStringLiteral("style"), QStringLiteral("script")});
  text = cb_mutableStringWithStrippedHTML(text, 0);
  text = ZPHMarkupParser::stringFromMarkup(QStringLiteral("<html><body>%1</body></html>").arg(text));
  cb_collapseWhitespace(text);
  m_preview = text;
  return m_preview;
}

QString CBParsedNewsItem::thumbnailURL() const
{
  if (!m_mediaThumbnailURL.isNull())
    return m_mediaThumbnailURL;
  if (m_didCalculateThumbnailURL)
    return m_thumbnailURL;
  m_didCalculateThumbnailURL = true;
  QString found = cb_firstImgURLStringInHTML(htmlText());
  if (!found.isEmpty() && !found.startsWith(QLatin1String("http"))) {
    const QString baseString = m_permalink.isEmpty() ? m_link : m_permalink;
    const QUrl base(baseString, QUrl::StrictMode);
    if (!baseString.isEmpty() && base.isValid()) {
      const QUrl resolved = base.resolved(QUrl(found));
      if (resolved.isValid() && !resolved.isRelative())
        found = resolved.toString();
    }
  }
  m_thumbnailURL = found;
  return m_thumbnailURL;
}

QByteArray CBParsedNewsItem::hashOfReadOnlyAttributes() const
{
  if (!m_hashOfReadOnlyAttributes.isNull())
    return m_hashOfReadOnlyAttributes;
  QString string;
  for (const QString* part : {&m_guid, &m_title, &m_link, &m_content, &m_summary, &m_author, &m_googleSourceID}) {
    if (!part->isNull())
      string.append(*part);
  }
  if (!m_categories.isEmpty())
    string.append(m_categories.join(QString()));
  m_hashOfReadOnlyAttributes = cb_md5HashWithString(string);
  return m_hashOfReadOnlyAttributes;
}

QVariantList CBParsedNewsItem::enclosuresPlist() const
{
  if (m_enclosures.isEmpty())
    return {};
  QVariantList list;
  for (const auto& enclosure : m_enclosures) list.append(enclosure->dictionaryRepresentation());
  return list;
}

QVariantMap CBParsedNewsItem::dictionaryRepresentation() const
{
  QVariantMap map;
  auto put = [&map](const char* key, const QVariant& value) {
    if (!CBIsNil(value) && !(value.typeId() == QMetaType::QString && value.toString().isNull()) &&
        !(value.typeId() == QMetaType::QDateTime && !value.toDateTime().isValid()) &&
        !(value.typeId() == QMetaType::QByteArray && value.toByteArray().isNull()))
      map.insert(QString::fromLatin1(key), value);
  };
  put("starred", m_read);
  put("guid", m_guid);
  put("title", m_title);
  put("link", m_link);
  put("permalink", m_permalink);
  put("content", m_content);
  put("summary", m_summary);
  put("author", m_author);
  put("authorEmail", m_authorEmail);
  put("authorURL", m_authorURL);
  put("audioURL", m_audioURL);
  put("movieURL", m_movieURL);
  put("mediaThumbnailURL", m_mediaThumbnailURL);
  if (!m_categories.isEmpty())
    put("categories", m_categories);
  if (!m_links.isEmpty())
    put("links", m_links);
  put("googleSourceID", m_googleSourceID);
  put("googleCrawlTimestampString", m_googleCrawlTimestampString);
  put("googleOriginalID", m_googleOriginalID);
  put("originalSourceName", m_originalSourceName);
  put("originalSourceURL", m_originalSourceURL);
  put("itunesSummary", m_itunesSummary);
  put("itunesSubtitle", m_itunesSubtitle);
  put("pubDate", m_pubDate);
  put("xmlBaseURLForContent", m_xmlBaseURLForContent);
  put("xmlBaseURLForSummary", m_xmlBaseURLForSummary);
  put("guidIsPermalink", m_guidIsPermalink);
  put("googleReadStateLocked", m_googleReadStateLocked);
  put("googleSynced", m_googleSynced);
  if (!m_enclosures.isEmpty())
    put("enclosures", enclosuresPlist());
  put("htmlText", htmlText());
  put("xmlBaseURL", xmlBaseURL());
  put("preview", preview());
  put("plainTextTitle", plainTextTitle());
  put("thumbnailURL", thumbnailURL());
  put("hashOfReadOnlyAttributes", hashOfReadOnlyAttributes());
  put("dateUpdated", m_dateModified);
  put("googleCrawlTimestamp", m_googleCrawlTimestamp);
  return map;
}
