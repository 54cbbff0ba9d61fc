#pragma once

// Qt kind: QObject that owns widgets.

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QRect>
#include <QtCore/QString>

#include <functional>
#include <memory>

class CBDataArticle;
class QWidget;
class ZPHMacWebView;

// What a reading layout needs of its article view: the detail pane shows
// the article it is asked to load (the page made from the
// article's theme, with the search highlighting asked for, the flag state,
// the style sheets, the margin and the picture setting filled in, loaded
// against the article's base address, and its images cached), marks the
// flag again when it changes, and steps its margins.
//
// ZPHWebArticleDetailPane implements it with the rendered page; the
// application installs it at start. ZPHPlainArticleDetailPane (title and
// date as plain text) stands in where no other is installed. Main thread
// only.
class ZPHArticleDetailPane : public QObject {
  Q_OBJECT

public:
  struct LoadRequest {
    CBDataArticle* article = nullptr;
    // The running search's query and scope (0 all text, 1 author, 2
    // title); empty: no highlighting.
    QString searchQuery;
    int searchScope = 0;
  };

  using Factory = std::function<std::unique_ptr<ZPHArticleDetailPane>()>;

  ~ZPHArticleDetailPane() override;

  virtual QWidget* view() = 0;
  // The web view that shows the article; null for none (yet).
  virtual ZPHMacWebView* webView() const { return nullptr; }
  // Starts loading the request's article, which the pane shows from then
  // on; mainFrameDidFinishLoading() follows when the page is in (later,
  // never during the call). A request without an article changes nothing.
  virtual void loadArticle(const LoadRequest& request) = 0;
  virtual void stopLoading() {}
  virtual void updateArticleFlaggedState() = 0;
  // Margins: whether the page's column can grow or shrink, its width now
  // (the unit is the page's), and a new width in em.
  virtual bool shouldAllowArticleWidthIncrease() const = 0;
  virtual bool shouldAllowArticleWidthDecrease() const = 0;
  virtual double articleWidth() const = 0;
  virtual void setMarginWidth(double width) = 0;
  // Before the layout lets go of it.
  virtual void invalidate() {}

Q_SIGNALS:
  void mainFrameDidFinishLoading();
  void didFinishChangingTheme();
  // Sharing: a context menu of the page is about to show; `elementRect`
  // (in the pane's view) is the element clicked, null for the whole article.
  void willPresentContextMenuForFullArticle(bool fullArticle, const QRect& elementRect);
};
