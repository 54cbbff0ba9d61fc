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
  // Stores the HTML (scrubbed) and, from the same HTML, normalizedText, so
  // the two never disagree.
  void setHtmlText(const QString& value);
  QString normalizedText() const { return primitiveValue(PropertyNormalizedText).toString(); }
  void setNormalizedText(const QString& value) { zph_setValueForKeyWithScrubbing(PropertyNormalizedText, value, true); }
  QString xmlBaseURL() const { return primitiveValue(PropertyXmlBaseURL).toString(); }
  void setXmlBaseURL(const QString& value) { setPrimitiveValue(PropertyXmlBaseURL, value); }

  CBDataArticle* article() const;

  // The text search compares with: scripts and style sheets dropped,
  // entities decoded, markup stripped, canonically decomposed, lower-cased,
  // folded without regard to diacritics and character width. Null for null.
  static QString normalizedTextFromHtmlText(const QString& html);
  // The same fold of a plain text (no entities decoded, no markup taken
  // out): what a search looks for in normalizedText. Null for null.
  static QString normalizedTextFromPlainText(const QString& text);

  // Stores a string attribute; with scrubbing every unpaired UTF-16
  // surrogate becomes U+FFFD first.
  void zph_setValueForKeyWithScrubbing(int index, const QString& value, bool scrubbing);
};
