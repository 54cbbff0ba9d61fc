#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QHash>
#include <QtCore/QString>

#include <memory>

class CBHTMLDataSource;

// Fills a page template from a data source. The template has two kinds of
// placeholder: "[[key]]", answered by the data source, and "{{key}}",
// answered by the page values (the settings of the page: style sheets, width,
// flags). Both are filled in one pass from the end of the template to its
// start, so text a value brings in is never read as a placeholder.
//
// The page gets a Content-Security-Policy as the first element of its head
// (see contentSecurityPolicy()), with a nonce new for every render that the
// template's own style elements carry.
//
// Search highlighting is not part of the page (its scripts do not run):
// searchHighlightScript() is the call for the application to run in the
// page's application world once it has loaded.
class CBHTMLBuilder {
public:
  CBHTMLBuilder(std::shared_ptr<const CBHTMLDataSource> dataSource, const QString& htmlTemplate);

  std::shared_ptr<const CBHTMLDataSource> dataSource() const { return m_dataSource; }
  void setDataSource(std::shared_ptr<const CBHTMLDataSource> dataSource) { m_dataSource = std::move(dataSource); }
  QString htmlTemplate() const { return m_htmlTemplate; }
  void setHtmlTemplate(const QString& htmlTemplate) { m_htmlTemplate = htmlTemplate; }
  // An address for the header's style element (used with includeHTMLHeader).
  QString styleSheetPath() const { return m_styleSheetPath; }
  void setStyleSheetPath(const QString& path) { m_styleSheetPath = path; }

  bool includeHTMLHeader() const { return m_includeHTMLHeader; }
  void setIncludeHTMLHeader(bool include) { m_includeHTMLHeader = include; }
  bool includeHTMLFooter() const { return m_includeHTMLFooter; }
  void setIncludeHTMLFooter(bool include) { m_includeHTMLFooter = include; }
  bool includeSearchHighlightScript() const { return m_includeSearchHighlightScript; }
  void setIncludeSearchHighlightScript(bool include) { m_includeSearchHighlightScript = include; }
  bool includeAuthorSearchHighlightScript() const { return m_includeAuthorSearchHighlightScript; }
  void setIncludeAuthorSearchHighlightScript(bool include) { m_includeAuthorSearchHighlightScript = include; }
  bool includeTitleSearchHighlightScript() const { return m_includeTitleSearchHighlightScript; }
  void setIncludeTitleSearchHighlightScript(bool include) { m_includeTitleSearchHighlightScript = include; }

  // The term of the search whose results are shown; empty when none is.
  QString searchHighlightTerm() const { return m_searchHighlightTerm; }
  void setSearchHighlightTerm(const QString& term) { m_searchHighlightTerm = term; }

  // The "{{key}}" values. They are written escaped for an attribute value;
  // a "{{key}}" without a value stays as it is.
  QHash<QString, QString> pageValues() const { return m_pageValues; }
  void setPageValues(const QHash<QString, QString>& values) { m_pageValues = values; }

  // Builds the page (the default template when the template is empty) and
  // answers it; it is kept as renderedHTMLResult().
  QString renderedHTML();
  QString renderedHTMLResult() const { return m_renderedHTML; }
  // The nonce of the last render.
  QString contentSecurityPolicyNonce() const { return m_nonce; }

  // Substitution only. An unmatched "]]" or "}}" ends it: the text before
  // stays as it is.
  QString buildHTMLUsingTemplate(const QString& htmlTemplate) const;

  // "doHighlight(ELEMENT, "highlightedtext", TERM)" with JSON-encoded
  // arguments, for the first highlight flag that is set (body
  // "detailViewBody", author "author", title "title"); "" without a flag or
  // a term.
  QString searchHighlightScript() const;

  static QString defaultTemplate();
  // default-src 'none'; script-src 'none'; style-src cbstylesheet: 'nonce-N';
  // img-src http: https: cbfavicon: zph-image-cache: cbstylesheet:;
  // media-src http: https:; font-src cbstylesheet:; base-uri 'none';
  // form-action 'none'
  static QString contentSecurityPolicy(const QString& nonce);
  // 128 random bits, base64url.
  static QString newNonce();

private:
  QString withSecurityPolicy(const QString& htmlTemplate, const QString& nonce) const;
  QString header(const QString& nonce) const;

  std::shared_ptr<const CBHTMLDataSource> m_dataSource;
  QString m_htmlTemplate;
  QString m_styleSheetPath;
  QString m_renderedHTML;
  QString m_nonce;
  QString m_searchHighlightTerm;
  QHash<QString, QString> m_pageValues;
  bool m_includeHTMLHeader = false;
  bool m_includeHTMLFooter = false;
  bool m_includeSearchHighlightScript = false;
  bool m_includeAuthorSearchHighlightScript = false;
  bool m_includeTitleSearchHighlightScript = false;
};
