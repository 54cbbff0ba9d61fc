#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtWebEngineCore/QWebEngineUrlSchemeHandler>

// Serves the article page to the article view: "zph-article://<render id>/"
// answers the page of the current render, and nothing else does (another
// render id, another path, a query, a method other than GET). Each page
// gets a new random render id, so a request meant for an earlier page finds
// nothing. The page is served whole, whatever its size (unlike setHtml()).
//
// One handler per article view, installed on the article profile only
// (QWebEngineProfile::installUrlSchemeHandler(scheme(), handler)).
// registerScheme() must run before the application object is made.
class ZPHArticleSchemeHandler : public QWebEngineUrlSchemeHandler {
  Q_OBJECT

public:
  // "zph-article".
  static QByteArray scheme();
  // Declares the scheme to the web engine: host syntax, no port, and not
  // secure (a secure page would refuse the article's http images).
  static void registerScheme();

  explicit ZPHArticleSchemeHandler(QObject* parent = nullptr);

  // Makes `html` the page served, under a new render id; answers its
  // address.
  QUrl setCurrentPage(const QString& html);
  // The current page's address; empty without one.
  QUrl currentPageURL() const { return m_pageURL; }
  void clearCurrentPage();

  void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
  QByteArray m_page;
  QUrl m_pageURL;
};
