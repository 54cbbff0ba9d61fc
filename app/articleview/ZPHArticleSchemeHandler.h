#pragma once

// Qt kind: URL scheme handler (QWebEngineUrlSchemeHandler).

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtWebEngineCore/QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

// Serves the article page to the article view: "zph-article://<render id>/"
// answers the page of the current render, and nothing else does (another
// render id, another path, a query, a method other than GET). Each page
// gets a new random render id, so a request meant for an earlier page finds
// nothing. The page is served whole, whatever its size (unlike setHtml()).
//
// The scheme is one of the application's internal schemes: local, so its
// pages may load the local style sheets, favicons and cached images, and not
// secure. registerScheme() must run in main() before the application object
// (after ZPHInternalSchemes::registerSchemes()); installOnProfile() makes a
// profile the article profile (the internal pages' profile): one handler,
// one article view.
class ZPHArticleSchemeHandler : public QWebEngineUrlSchemeHandler {
  Q_OBJECT

public:
  // "zph-article".
  static QByteArray scheme();
  // Declares the scheme to the web engine (path syntax; local, may load
  // local resources, not secure) and to the internal schemes' registry.
  static void registerScheme();
  // The article profile's settings (page scripts off; a link of an unknown
  // scheme is never handed to the desktop; local pages, as the article page
  // is, may load images from the web) and a new handler, owned by the
  // profile, installed for the scheme.
  static ZPHArticleSchemeHandler* installOnProfile(QWebEngineProfile* profile);

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
