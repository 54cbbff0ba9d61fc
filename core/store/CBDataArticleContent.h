#pragma once

#include "store/graph/ZPHManagedObject.h"

class CBDataArticle;

// An article's HTML, its folded plain text for search and its base address
// (entity "ArticleContent").
class CBDataArticleContent : public ZPHManagedObject {
public:
  // Attribute indexes (inherited attributes come first).
  enum AttributeIndex { PropertyHtmlText, PropertyNormalizedText, PropertyXmlBaseURL, AttributeCount };

  QString htmlText() const { return primitiveValue(PropertyHtmlText).toString(); }
  void setHtmlText(const QString& value) { setPrimitiveValue(PropertyHtmlText, value); }
  QString normalizedText() const { return primitiveValue(PropertyNormalizedText).toString(); }
  void setNormalizedText(const QString& value) { setPrimitiveValue(PropertyNormalizedText, value); }
  QString xmlBaseURL() const { return primitiveValue(PropertyXmlBaseURL).toString(); }
  void setXmlBaseURL(const QString& value) { setPrimitiveValue(PropertyXmlBaseURL, value); }

  CBDataArticle* article() const;
};
