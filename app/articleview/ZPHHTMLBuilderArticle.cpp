#include "articleview/ZPHHTMLBuilderArticle.h"

#include "articleview/CBHTMLBuilder.h"
#include "articleview/CBHTMLDataSourceArticle.h"
#include "articleview/ZPHArticleTheme.h"
#include "foundation/CBPrefs.h"
#include "platform/ZPHUserDefaults.h"
#include "store/entities/CBDataArticle.h"

ZPHHTMLBuilderArticle::ZPHHTMLBuilderArticle(const CBDataArticle* article, const QString& htmlTemplate,
                                             const QString& styleSheetPath)
    : m_article(article), m_htmlTemplate(htmlTemplate), m_styleSheetPath(styleSheetPath)
{
}

QString ZPHHTMLBuilderArticle::renderedHTML()
{
  CBHTMLBuilder builder(std::make_shared<CBHTMLDataSourceArticle>(m_article), m_htmlTemplate);
  builder.setIncludeHTMLHeader(m_includeHTMLHeader);
  builder.setIncludeHTMLFooter(m_includeHTMLFooter);
  builder.setIncludeSearchHighlightScript(m_includeSearchHighlightScript);
  builder.setIncludeAuthorSearchHighlightScript(m_includeAuthorSearchHighlightScript);
  builder.setIncludeTitleSearchHighlightScript(m_includeTitleSearchHighlightScript);
  builder.setSearchHighlightTerm(m_searchHighlightTerm);
  builder.setPageValues(m_pageValues);
  builder.setStyleSheetPath(m_styleSheetPath);
  const QString html = builder.renderedHTML();
  m_searchHighlightScript = builder.searchHighlightScript();
  return html;
}

QHash<QString, QString> ZPHHTMLBuilderArticle::pageValuesForArticle(const CBDataArticle* article,
                                                                    const ZPHArticleTheme& theme, double articleWidth,
                                                                    ZPHUserDefaults* defaults)
{
  ZPHUserDefaults& settings = defaults != nullptr ? *defaults : ZPHUserDefaults::standardUserDefaults();
  const bool flagged = article != nullptr && article->flagged();
  return {
      {QStringLiteral("news_item_flag_state"),
       flagged ? QStringLiteral("newsItemFlagActive") : QStringLiteral("newsItemFlagInactive")},
      {QStringLiteral("stylesheet_url"), ZPHArticleTheme::stylesheetURLStringForPath(theme.cssFilePath())},
      {QStringLiteral("subtheme_stylesheet_url"), theme.activeSubthemeStylesheetURLString()},
      {QStringLiteral("article_width"), QString::asprintf("%.0f", articleWidth)},
      {QStringLiteral("photo_setting"),
       settings.integerForKey(ZPHPictureLayoutKey) != 0 ? QStringLiteral("true") : QStringLiteral("false")},
  };
}

ZPHArticlePage ZPHHTMLBuilderArticle::articlePage(const CBDataArticle* article, ZPHArticleTheme& theme,
                                                  const ZPHArticlePageSettings& settings, ZPHUserDefaults* defaults)
{
  ZPHHTMLBuilderArticle builder(article, theme.htmlTemplate(),
                                ZPHArticleTheme::stylesheetURLStringForPath(theme.cssFilePath()));
  if (!settings.searchTerm.isEmpty()) {
    builder.setSearchHighlightTerm(settings.searchTerm);
    builder.setIncludeSearchHighlightScript(settings.searchScope == 0);
    builder.setIncludeAuthorSearchHighlightScript(settings.searchScope == 1);
    builder.setIncludeTitleSearchHighlightScript(settings.searchScope == 2);
  }
  builder.setPageValues(pageValuesForArticle(article, theme, settings.articleWidth, defaults));
  ZPHArticlePage page;
  page.html = builder.renderedHTML();
  // After the placeholders: a value can never be read as the marker this
  // looks for, since every value is escaped.
  if (article != nullptr) {
    const CBHTMLDataSourceArticle dataSource(article);
    page.html = article->injectTwitterImageTransform(
        page.html, [&dataSource](const QString& address) { return dataSource.pageImageSource(address); });
  }
  page.searchHighlightScript = builder.searchHighlightScript();
  return page;
}
