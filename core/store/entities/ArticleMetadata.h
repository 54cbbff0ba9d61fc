#pragma once

#include "store/graph/ZPHManagedObject.h"

#include <QtCore/QList>

class CBDataArticle;
class ZPHManagedObjectContext;

extern const QString ArticleMetadataReadKey;     // "read"
extern const QString ArticleMetadataFlaggedKey;  // "flagged"

// Read and bookmark state, keyed by the best link of the article it belongs
// to (guid), so that an article stored again finds it (entity
// "ArticleMetadata").
class ArticleMetadata : public ZPHManagedObject {
public:
  // Attribute indexes (inherited attributes come first).
  enum AttributeIndex { PropertyGuid, PropertyRead, PropertyFlagged, AttributeCount };

  QString guid() const { return primitiveValue(PropertyGuid).toString(); }
  void setGuid(const QString& value) { setPrimitiveValue(PropertyGuid, value); }
  bool read() const { return primitiveValue(PropertyRead).toBool(); }
  void setRead(bool value) { setPrimitiveValue(PropertyRead, value); }
  bool flagged() const { return primitiveValue(PropertyFlagged).toBool(); }
  void setFlagged(bool value) { setPrimitiveValue(PropertyFlagged, value); }

  // The article now holding this record; nullptr while none does.
  CBDataArticle* article() const;

  static ArticleMetadata* insertArticleMetadataWithMOC(ZPHManagedObjectContext* context);
  // The guid must not be null.
  static ArticleMetadata* insertArticleMetadataForGUID(const QString& guid, ZPHManagedObjectContext* context);
  static ArticleMetadata* findExistingArticleMetadataWithGUID(const QString& guid, ZPHManagedObjectContext* context);
  static ArticleMetadata* findOrInsertArticleMetadataWithGUID(const QString& guid, ZPHManagedObjectContext* context);
  // The records the articles hold; empty for an empty list.
  static QList<ArticleMetadata*> findExistingArticleMetadataForArticles(const QList<CBDataArticle*>& articles,
                                                                        ZPHManagedObjectContext* context);
  // The records kept for the articles' non-empty best links, held or not.
  static QList<ArticleMetadata*> findArticleMetadataForArticlesByGUID(const QList<CBDataArticle*>& articles,
                                                                      ZPHManagedObjectContext* context);

  // The article that last resolved this record as its metadata: the relay
  // asks it first, sparing a store look-up per change (checked against the
  // article's link before use).
  void setHolderHint(CBDataArticle* article) { m_holderHint = article; }

protected:
  // Relays read and flagged changes to the article as its own keys.
  void didChangeValueForKey(const QString& key) override;

private:
  CBDataArticle* m_holderHint = nullptr;  // same context; never owned
};
