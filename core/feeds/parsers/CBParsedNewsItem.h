#pragma once

// One article as it stood in a feed: filled by the RSS and Atom parsers (or
// by an importer through the setters) and turned into a stored article by
// the article saver. Strings and dates are null when absent. Derived values
// are computed on first read and then kept, also when the fields they come
// from change later.

#include "feeds/parsers/CBParsedEnclosure.h"

#include <QtCore/QByteArray>
#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariantList>
#include <QtCore/QVariantMap>

#include <memory>

class CBParsedNewsItem {
public:
  QString guid() const { return m_guid; }
  void setGuid(const QString& value) { m_guid = value; }
  bool guidIsPermalink() const { return m_guidIsPermalink; }
  void setGuidIsPermalink(bool value) { m_guidIsPermalink = value; }
  QString title() const { return m_title; }
  void setTitle(const QString& value) { m_title = value; }
  QString link() const { return m_link; }
  void setLink(const QString& value) { m_link = value; }
  QString permalink() const { return m_permalink; }
  void setPermalink(const QString& value) { m_permalink = value; }
  QString content() const { return m_content; }
  void setContent(const QString& value) { m_content = value; }
  QString xmlBaseURLForContent() const { return m_xmlBaseURLForContent; }
  void setXmlBaseURLForContent(const QString& value) { m_xmlBaseURLForContent = value; }
  QString summary() const { return m_summary; }
  void setSummary(const QString& value) { m_summary = value; }
  QString xmlBaseURLForSummary() const { return m_xmlBaseURLForSummary; }
  void setXmlBaseURLForSummary(const QString& value) { m_xmlBaseURLForSummary = value; }
  QString author() const { return m_author; }
  void setAuthor(const QString& value) { m_author = value; }
  QString authorEmail() const { return m_authorEmail; }
  void setAuthorEmail(const QString& value) { m_authorEmail = value; }
  QString authorURL() const { return m_authorURL; }
  void setAuthorURL(const QString& value) { m_authorURL = value; }
  QDateTime pubDate() const { return m_pubDate; }
  void setPubDate(const QDateTime& value) { m_pubDate = value; }
  QDateTime dateModified() const { return m_dateModified; }
  void setDateModified(const QDateTime& value) { m_dateModified = value; }
  QStringList categories() const { return m_categories; }
  void setCategories(const QStringList& value) { m_categories = value; }
  QList<std::shared_ptr<CBParsedEnclosure>> enclosures() const { return m_enclosures; }
  void setEnclosures(const QList<std::shared_ptr<CBParsedEnclosure>>& value) { m_enclosures = value; }
  QString mediaThumbnailURL() const { return m_mediaThumbnailURL; }
  void setMediaThumbnailURL(const QString& value) { m_mediaThumbnailURL = value; }
  QString mediaTitle() const { return m_mediaTitle; }
  void setMediaTitle(const QString& value) { m_mediaTitle = value; }
  QString mediaCredit() const { return m_mediaCredit; }
  void setMediaCredit(const QString& value) { m_mediaCredit = value; }
  bool mediaCreditRoleIsPhotographer() const { return m_mediaCreditRoleIsPhotographer; }
  void setMediaCreditRoleIsPhotographer(bool value) { m_mediaCreditRoleIsPhotographer = value; }
  QString originalSourceName() const { return m_originalSourceName; }
  void setOriginalSourceName(const QString& value) { m_originalSourceName = value; }
  QString originalSourceURL() const { return m_originalSourceURL; }
  void setOriginalSourceURL(const QString& value) { m_originalSourceURL = value; }
  QString itunesSummary() const { return m_itunesSummary; }
  void setItunesSummary(const QString& value) { m_itunesSummary = value; }
  QString itunesSubtitle() const { return m_itunesSubtitle; }
  void setItunesSubtitle(const QString& value) { m_itunesSubtitle = value; }
  QString audioURL() const { return m_audioURL; }
  void setAudioURL(const QString& value) { m_audioURL = value; }
  QString movieURL() const { return m_movieURL; }
  void setMovieURL(const QString& value) { m_movieURL = value; }
  QVariantList links() const { return m_links; }
  void setLinks(const QVariantList& value) { m_links = value; }
  bool read() const { return m_read; }
  void setRead(bool value) { m_read = value; }
  QString googleSourceID() const { return m_googleSourceID; }
  void setGoogleSourceID(const QString& value) { m_googleSourceID = value; }
  QString googleOriginalID() const { return m_googleOriginalID; }
  void setGoogleOriginalID(const QString& value) { m_googleOriginalID = value; }
  QString googleCrawlTimestampString() const { return m_googleCrawlTimestampString; }
  void setGoogleCrawlTimestampString(const QString& value) { m_googleCrawlTimestampString = value; }
  bool googleReadStateLocked() const { return m_googleReadStateLocked; }
  void setGoogleReadStateLocked(bool value) { m_googleReadStateLocked = value; }
  bool googleSynced() const { return m_googleSynced; }
  void setGoogleSynced(bool value) { m_googleSynced = value; }
  double googleCrawlTimestamp() const { return m_googleCrawlTimestamp; }
  void setGoogleCrawlTimestamp(double value) { m_googleCrawlTimestamp = value; }

  // Append, skipping null.
  void addCategory(const QString& category);
  void addEnclosure(const std::shared_ptr<CBParsedEnclosure>& enclosure);

  // content when not empty, else summary (not cached).
  QString htmlText() const;
  // xmlBaseURLForContent when not empty, else xmlBaseURLForSummary.
  QString xmlBaseURL() const;
  // The title made plain text; cached.
  QString plainTextTitle() const;
  void setPlainTextTitle(const QString& value) { m_plainTextTitle = value; }
  // Tag-free text of the summary (else the content), style and script
  // contents removed, entities decoded, white space collapsed; null while
  // there is no source text. Cached once computed.
  QString preview() const;
  void setPreview(const QString& value) { m_preview = value; }
  // mediaThumbnailURL, else the first image of htmlText() made absolute
  // against the permalink (or link); searched at most once.
  QString thumbnailURL() const;
  // MD5 (16 raw bytes) of guid, title, link, content, summary, author,
  // googleSourceID and the joined categories; cached.
  QByteArray hashOfReadOnlyAttributes() const;

  // Null without enclosures, else their dictionary representations.
  QVariantList enclosuresPlist() const;
  QVariantMap dictionaryRepresentation() const;

private:
  QString m_guid;
  bool m_guidIsPermalink = false;
  QString m_title;
  QString m_link;
  QString m_permalink;
  QString m_content;
  QString m_xmlBaseURLForContent;
  QString m_summary;
  QString m_xmlBaseURLForSummary;
  QString m_author;
  QString m_authorEmail;
  QString m_authorURL;
  QDateTime m_pubDate;
  QDateTime m_dateModified;
  QStringList m_categories;
  QList<std::shared_ptr<CBParsedEnclosure>> m_enclosures;
  QString m_mediaThumbnailURL;
  QString m_mediaTitle;
  QString m_mediaCredit;
  bool m_mediaCreditRoleIsPhotographer = false;
  QString m_originalSourceName;
  QString m_originalSourceURL;
  QString m_itunesSummary;
  QString m_itunesSubtitle;
  QString m_audioURL;
  QString m_movieURL;
  QVariantList m_links;
  bool m_read = false;
  QString m_googleSourceID;
  QString m_googleOriginalID;
  QString m_googleCrawlTimestampString;
  bool m_googleReadStateLocked = false;
  bool m_googleSynced = false;
  double m_googleCrawlTimestamp = 0;

  mutable QString m_plainTextTitle;
  mutable QString m_preview;
  mutable QString m_thumbnailURL;
  mutable bool m_didCalculateThumbnailURL = false;
  mutable QByteArray m_hashOfReadOnlyAttributes;
};
