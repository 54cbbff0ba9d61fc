#pragma once

#include "store/graph/ZPHManagedObject.h"

#include <QtCore/QDateTime>
#include <QtCore/QList>

class ArticleMetadata;
class CBDataArticleContent;

extern const QString CBDataArticleReadKey;      // "read"
extern const QString CBDataArticleFlaggedKey;   // "flagged"
extern const QString CBDataArticleMetadataKey;  // "metadata"
extern const QString CBDataArticleFeedURLKey;   // "feedURL"

// A stored article (entity "Article"). It has no link to its feed: feedURL
// names it. Its booleans are stored as numbers (compared with 0 and 1 in
// predicates) and read here as bool; its dates are QDateTime in UTC.
class CBDataArticle : public ZPHManagedObject {
public:
  // Attribute indexes (inherited attributes come first).
  enum AttributeIndex {
    PropertyGuid,
    PropertyFeedURL,
    PropertyLink,
    PropertyPermalink,
    PropertyTitle,
    PropertyPlainTextTitle,
    PropertyPlainTextPreview,
    PropertySummary,
    PropertyAuthorName,
    PropertyAuthorEmail,
    PropertyAuthorURL,
    PropertyOriginalSourceTitle,
    PropertyThumbnailURL,
    PropertyDatePublished,
    PropertyDateModified,
    PropertyDateArrived,
    PropertyDateForDisplay,
    PropertyModDate,
    PropertyNoKillModDate,
    PropertyDeleted,
    PropertyMarkedForDeletion,
    PropertyNeedsSync,
    PropertyNeedsSyncChanged,
    PropertyNoKill,
    PropertyHasAudioEnclosure,
    PropertyHasVideoEnclosure,
    AttributeCount
  };

  QString guid() const { return primitiveValue(PropertyGuid).toString(); }
  void setGuid(const QString& value) { setPrimitiveValue(PropertyGuid, value); }
  QString feedURL() const { return primitiveValue(PropertyFeedURL).toString(); }
  void setFeedURL(const QString& value) { setPrimitiveValue(PropertyFeedURL, value); }
  QString link() const { return primitiveValue(PropertyLink).toString(); }
  void setLink(const QString& value) { setPrimitiveValue(PropertyLink, value); }
  QString permalink() const { return primitiveValue(PropertyPermalink).toString(); }
  void setPermalink(const QString& value) { setPrimitiveValue(PropertyPermalink, value); }
  QString title() const { return primitiveValue(PropertyTitle).toString(); }
  void setTitle(const QString& value) { setPrimitiveValue(PropertyTitle, value); }
  QString plainTextTitle() const { return primitiveValue(PropertyPlainTextTitle).toString(); }
  void setPlainTextTitle(const QString& value) { setPrimitiveValue(PropertyPlainTextTitle, value); }
  QString plainTextPreview() const { return primitiveValue(PropertyPlainTextPreview).toString(); }
  void setPlainTextPreview(const QString& value) { setPrimitiveValue(PropertyPlainTextPreview, value); }
  QString summary() const { return primitiveValue(PropertySummary).toString(); }
  void setSummary(const QString& value) { setPrimitiveValue(PropertySummary, value); }
  QString authorName() const { return primitiveValue(PropertyAuthorName).toString(); }
  void setAuthorName(const QString& value) { setPrimitiveValue(PropertyAuthorName, value); }
  QString authorEmail() const { return primitiveValue(PropertyAuthorEmail).toString(); }
  void setAuthorEmail(const QString& value) { setPrimitiveValue(PropertyAuthorEmail, value); }
  QString authorURL() const { return primitiveValue(PropertyAuthorURL).toString(); }
  void setAuthorURL(const QString& value) { setPrimitiveValue(PropertyAuthorURL, value); }
  QString originalSourceTitle() const { return primitiveValue(PropertyOriginalSourceTitle).toString(); }
  void setOriginalSourceTitle(const QString& value) { setPrimitiveValue(PropertyOriginalSourceTitle, value); }
  QString thumbnailURL() const { return primitiveValue(PropertyThumbnailURL).toString(); }
  void setThumbnailURL(const QString& value) { setPrimitiveValue(PropertyThumbnailURL, value); }
  QDateTime datePublished() const { return primitiveValue(PropertyDatePublished).toDateTime(); }
  void setDatePublished(const QDateTime& value) { setPrimitiveValue(PropertyDatePublished, value); }
  QDateTime dateModified() const { return primitiveValue(PropertyDateModified).toDateTime(); }
  void setDateModified(const QDateTime& value) { setPrimitiveValue(PropertyDateModified, value); }
  QDateTime dateArrived() const { return primitiveValue(PropertyDateArrived).toDateTime(); }
  void setDateArrived(const QDateTime& value) { setPrimitiveValue(PropertyDateArrived, value); }
  QDateTime dateForDisplay() const { return primitiveValue(PropertyDateForDisplay).toDateTime(); }
  void setDateForDisplay(const QDateTime& value) { setPrimitiveValue(PropertyDateForDisplay, value); }
  QDateTime modDate() const { return primitiveValue(PropertyModDate).toDateTime(); }
  void setModDate(const QDateTime& value) { setPrimitiveValue(PropertyModDate, value); }
  QDateTime noKillModDate() const { return primitiveValue(PropertyNoKillModDate).toDateTime(); }
  void setNoKillModDate(const QDateTime& value) { setPrimitiveValue(PropertyNoKillModDate, value); }
  bool deleted() const { return primitiveValue(PropertyDeleted).toBool(); }
  void setDeleted(bool value) { setPrimitiveValue(PropertyDeleted, value); }
  bool markedForDeletion() const { return primitiveValue(PropertyMarkedForDeletion).toBool(); }
  void setMarkedForDeletion(bool value) { setPrimitiveValue(PropertyMarkedForDeletion, value); }
  bool needsSync() const { return primitiveValue(PropertyNeedsSync).toBool(); }
  void setNeedsSync(bool value) { setPrimitiveValue(PropertyNeedsSync, value); }
  bool needsSyncChanged() const { return primitiveValue(PropertyNeedsSyncChanged).toBool(); }
  void setNeedsSyncChanged(bool value) { setPrimitiveValue(PropertyNeedsSyncChanged, value); }
  bool noKill() const { return primitiveValue(PropertyNoKill).toBool(); }
  void setNoKill(bool value) { setPrimitiveValue(PropertyNoKill, value); }
  bool hasAudioEnclosure() const { return primitiveValue(PropertyHasAudioEnclosure).toBool(); }
  void setHasAudioEnclosure(bool value) { setPrimitiveValue(PropertyHasAudioEnclosure, value); }
  bool hasVideoEnclosure() const { return primitiveValue(PropertyHasVideoEnclosure).toBool(); }
  void setHasVideoEnclosure(bool value) { setPrimitiveValue(PropertyHasVideoEnclosure, value); }

  CBDataArticleContent* content() const;
  void setContent(CBDataArticleContent* content);
  ArticleMetadata* metadata() const;
  void setMetadata(ArticleMetadata* metadata);
  QList<ZPHManagedObject*> enclosures() const;

  // The metadata's flags; false without metadata. Changes of the metadata's
  // read and flagged reach this article's observers as "read" and "flagged".
  bool read() const;
  bool flagged() const;

  // Called by the metadata when its read or flagged changed.
  void metadataDidChange(const QString& key);

protected:
  void didChangeValueForKey(const QString& key) override;
};
