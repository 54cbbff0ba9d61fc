#pragma once

// Qt kind: QObject that owns widgets.

#include "articleview/ZPHHTMLBuilderArticle.h"
#include "platform/ZPHNotificationCenter.h"
#include "web/ZPHWebContentViewController.h"

#include <QtCore/QPointer>
#include <QtCore/QRect>
#include <QtCore/QRectF>

#include <memory>
#include <optional>

class CBFeed;
class QWebChannel;
class ZPHArticleSchemeHandler;
class ZPHArticleWebConsole;
class ZPHImagePreviewWindowController;
class ZPHStyleSheetController;
class ZPHUserDefaults;

// Shows the selected article as a page in a web view, for the detail pane
// of the article layouts. The page is built from the article theme
// (ZPHHTMLBuilderArticle), served through the article scheme of the article
// profile and loaded into the controller's web view; the page's own scripts
// never run. The theme's script and the web channel's script run in the
// application's script world, where the page reaches the application only
// through "ArticleWebConsole" (ZPHArticleWebConsole), whose calls are
// checked. The application calls the theme's page functions (sub-theme,
// flag, picture layout, widths) in the same world with JSON-encoded
// arguments; their answers come back later, so the column-width limits use
// the widths the page last reported.
//
// The article page never goes anywhere: every link the user clicks leaves
// it (the default browser or a tab by preference, the mail client, the
// subscribe flow), relative links resolved against the article's address.
//
// The article comes with the load (loadArticle) and stays the page's until
// the next one. Main thread only; the page-function calls made on another
// thread run again on the main thread.
class ZPHArticleDetailViewController : public ZPHWebContentViewController {
  Q_OBJECT

public:
  // The profile must be the article profile (the internal pages' profile,
  // its internal scheme handlers installed); the controller installs the
  // article scheme on it when it is not there yet and applies the article
  // fonts to its page. Null styles, defaults and clock: the shared ones.
  explicit ZPHArticleDetailViewController(QWebEngineProfile* articleProfile, ZPHStyleSheetController* styles = nullptr,
                                          ZPHUserDefaults* defaults = nullptr, ZPHClock* clock = nullptr,
                                          QObject* parent = nullptr);
  ~ZPHArticleDetailViewController() override;

  ZPHStyleSheetController* styleSheetController() const { return m_styles; }
  ZPHArticleSchemeHandler* schemeHandler() const { return m_schemeHandler; }
  ZPHArticleWebConsole* webConsole() const { return m_webConsole; }
  QWebChannel* webChannel() const { return m_webChannel; }
  // The article of the page loading or shown; null before the first load.
  CBDataArticle* article() const { return m_article; }

  // ---- Style sheets
  static QString stylesheetURLStringForPath(const QString& path);
  // The address of the last sub-theme of the default theme with that name
  // (file name without extension); null when none.
  QString zph_stylesheetURLForSubtheme(const QString& name) const;
  // That of the active sub-theme.
  QString subthemeStylesheetURL() const;
  // Switches the page to the sub-theme; detailViewDidFinishChangingTheme()
  // follows.
  void activateSubthemeStylesheetWithName(const QString& name);

  // ---- Loading
  // The article's page: the default theme, the current column width, the
  // search's highlighting (an empty term: none), served and loaded; the
  // article's images start caching. The article is the page's from now on
  // (article(), and what the image and link actions fall back to). A null
  // article loads nothing and changes nothing.
  void loadArticle(CBDataArticle* article, const ZPHArticlePageSettings& settings);
  // Serves the page and loads it (its search highlighting runs once it has
  // loaded).
  void loadArticlePage(const ZPHArticlePage& page);
  // The page loading or shown; empty before the first.
  QUrl currentPageURL() const { return ownLoadURL(); }
  bool awaitingMainFrameLoad() const { return m_awaitingMainFrameLoad; }

  // ---- Page functions
  // The column width in em ("34.000000em").
  void setMarginWidth(double width);
  void updateArticleFlaggedState();
  void setImageLayout(int layout);
  // The widths the page last reported: its column's distance from the left
  // edge and four em, in pixels; none before the page answered.
  std::optional<double> articleWidth() const { return m_articleWidth; }
  std::optional<double> stepIncrement() const { return m_stepIncrement; }
  // Asks the page for both again; `done` runs once they came back (or not).
  void updateArticleWidths(std::function<void()> done = {});
  bool shouldAllowArticleWidthDecrease() const;
  bool shouldAllowArticleWidthIncrease() const;
  // The limits for a view width W, the column's left margin m and a step s.
  static bool allowsArticleWidthDecrease(double viewWidth, double leftMargin, double step);
  static bool allowsArticleWidthIncrease(double viewWidth, double leftMargin, double step);
  // The local account's feed for the article.
  CBFeed* zph_feedForArticle(const CBDataArticle* article) const;

  // ---- What the page's calls do, once checked
  void zph_toggleFlaggedForSelectedArticle();
  void zph_toggleImageayout(int layout);
  // Opens the sharing popover at the rectangle (in the view), or closes it.
  void zph_shareSelectedArticleFromRect(const QRectF& rect);
  void zph_webViewReady() {}
  // The source address of one of the shown article's cached images; "" for
  // anything else.
  QString zph_publicURLForImageCachedURL(const QString& cachedURL) const;
  // The sharing popover closed: the page's share control goes back.
  void popoverDidClose();
  bool sharingPopoverShown() const { return m_sharingPopoverShown; }

  // ---- Image preview
  // The page's shown images, the clicked one first shown.
  void showQLPreview(const ZPHWebElement& element);
  ZPHImagePreviewWindowController* imagePreviewWindowController();
  // The address to preview an image from: its source address, from the web
  // cache when the cache holds it.
  QUrl zph_previewURLForURL(const QUrl& imageURL) const;

  // ---- Overrides
  void invalidate() override;
  bool pageNeverNavigates() const override { return true; }
  QUrl adjustedURLForClickedLink(const QUrl& url) const override;
  QMenu* contextualMenuForWebView(ZPHMacWebView* webView, const ZPHWebElement& element) override;
  void webViewDidFinishLoad(const QUrl& url) override;
  void webViewDidFailLoad(const QUrl& url) override;

Q_SIGNALS:
  // The article page's main frame has loaded, or failed to (a refused
  // navigation is no failure).
  void detailViewDidFinishLoading();
  void detailViewDidFailLoading();
  void detailViewDidFinishChangingTheme();
  // A context menu opens on the page: for the whole article (no link), or
  // for the element at the rectangle.
  void willPresentContextMenuFromWebViewForFullArticle(bool fullArticle, const QRect& elementRect);
  // articleWidth() and stepIncrement() changed.
  void articleWidthsChanged();

private:
  void installScripts();
  void applyStyles();

  ZPHStyleSheetController* m_styles;
  ZPHUserDefaults* m_defaults;
  CBDataArticle* m_article = nullptr;
  ZPHArticleSchemeHandler* m_schemeHandler = nullptr;
  ZPHArticleWebConsole* m_webConsole = nullptr;
  QWebChannel* m_webChannel = nullptr;
  QString m_searchHighlightScript;
  bool m_awaitingMainFrameLoad = false;
  std::optional<double> m_articleWidth;
  std::optional<double> m_stepIncrement;
  // Sharing: the shared popover is open from the page's share control.
  bool m_sharingPopoverShown = false;
  QMetaObject::Connection m_sharingPopoverClosed;
  std::unique_ptr<ZPHImagePreviewWindowController> m_imagePreview;
  ZPHObserverToken m_stylesObserver;
};
