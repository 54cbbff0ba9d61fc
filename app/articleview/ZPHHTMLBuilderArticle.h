#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QHash>
#include <QtCore/QString>

class CBDataArticle;
class ZPHArticleTheme;
class ZPHUserDefaults;

// What the article page is built from, other than the article: the theme,
// the article width and the search whose results are shown.
struct ZPHArticlePageSettings {
  // Column width in em (ZPHStyleSheetController::marginAtCurrentIndex()).
  double articleWidth = 34.0;
  // The shown search's term, and what it searched: 0 the text, 1 the author,
  // 2 the title. No highlighting without a term.
  QString searchTerm;
  int searchScope = 0;
};

// A rendered article page: the HTML to serve, and the search-highlight call
// to run in the page's application world once it has loaded ("" for none).
struct ZPHArticlePage {
  QString html;
  QString searchHighlightScript;
};

// The article page of one article, for the article layouts (main thread).
class ZPHHTMLBuilderArticle {
public:
  ZPHHTMLBuilderArticle(const CBDataArticle* article, const QString& htmlTemplate, const QString& styleSheetPath);

  const CBDataArticle* article() const { return m_article; }
  QString htmlTemplate() const { return m_htmlTemplate; }
  QString styleSheetPath() const { return m_styleSheetPath; }

  void setIncludeHTMLHeader(bool include) { m_includeHTMLHeader = include; }
  void setIncludeHTMLFooter(bool include) { m_includeHTMLFooter = include; }
  void setIncludeSearchHighlightScript(bool include) { m_includeSearchHighlightScript = include; }
  void setIncludeAuthorSearchHighlightScript(bool include) { m_includeAuthorSearchHighlightScript = include; }
  void setIncludeTitleSearchHighlightScript(bool include) { m_includeTitleSearchHighlightScript = include; }
  void setSearchHighlightTerm(const QString& term) { m_searchHighlightTerm = term; }
  void setPageValues(const QHash<QString, QString>& values) { m_pageValues = values; }

  // A CBHTMLDataSourceArticle for the article and a CBHTMLBuilder with it and
  // the template, the flags, term, page values and style sheet path copied
  // across: the builder's page.
  QString renderedHTML();
  // The search-highlight call of the last render.
  QString searchHighlightScript() const { return m_searchHighlightScript; }

  // The "{{…}}" values of the article page: news_item_flag_state,
  // stylesheet_url, subtheme_stylesheet_url, article_width ("%.0f") and
  // photo_setting (from ZPHPictureLayoutKey in `defaults`, the standard user
  // defaults when null).
  static QHash<QString, QString> pageValuesForArticle(const CBDataArticle* article, const ZPHArticleTheme& theme,
                                                      double articleWidth, ZPHUserDefaults* defaults = nullptr);

  // The load step's page: the theme's template and style sheet, the page
  // values, highlighting for the search, then the image transform of
  // short-message articles.
  static ZPHArticlePage articlePage(const CBDataArticle* article, ZPHArticleTheme& theme,
                                    const ZPHArticlePageSettings& settings, ZPHUserDefaults* defaults = nullptr);

private:
  const CBDataArticle* m_article;
  QString m_htmlTemplate;
  QString m_styleSheetPath;
  QString m_searchHighlightTerm;
  QString m_searchHighlightScript;
  QHash<QString, QString> m_pageValues;
  bool m_includeHTMLHeader = false;
  bool m_includeHTMLFooter = false;
  bool m_includeSearchHighlightScript = false;
  bool m_includeAuthorSearchHighlightScript = false;
  bool m_includeTitleSearchHighlightScript = false;
};
