#pragma once

// Qt kind: none (a value type).

#include <QtCore/QString>

// The header row of a date group (or of search results) in the article
// list. Two group items are equal when their titles are.
class ZPHArticleListGroupItem {
public:
  ZPHArticleListGroupItem() = default;
  explicit ZPHArticleListGroupItem(const QString& title) : m_title(title) {}

  QString title() const { return m_title; }
  void setTitle(const QString& title) { m_title = title; }

  friend bool operator==(const ZPHArticleListGroupItem& a, const ZPHArticleListGroupItem& b)
  {
    return a.m_title == b.m_title;
  }
  friend bool operator!=(const ZPHArticleListGroupItem& a, const ZPHArticleListGroupItem& b) { return !(a == b); }

private:
  QString m_title;
};
