#pragma once

#include "store/graph/ZPHManagedObject.h"

class CBDataArticle;

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

protected:
  // Relays read and flagged changes to the article as its own keys.
  void didChangeValueForKey(const QString& key) override;
};
