#pragma once

// Qt kind: none (a plain class).

#include "articleview/CBHTMLDataSource.h"

#include <QtCore/QString>

class CBDataArticle;
class CBFeed;

// The placeholders of an article page, for one stored article (main thread;
// the article must outlive the data source). Every value is HTML safe to put
// into the page: text escaped, links only to http, https or mailto
// addresses, the content sanitised. Without an article every key answers "".
//
// Keys: newsitem_title, newsitem_plaintitle, newsitem_dateline, author_link,
// newsitem_description, newsitem_extralinks, feedlink_nofavicon,
// feedlink_withfavicon, date_long, by_if_author_link, comma_if_author_link,
// comma_if_feedlink_nofavicon. Any other key answers "".
class CBHTMLDataSourceArticle : public CBHTMLDataSource {
public:
  explicit CBHTMLDataSourceArticle(const CBDataArticle* article);

  const CBDataArticle* article() const { return m_article; }

  QString valueForPlaceholderKey(const QString& key) const override;

  // The title every display shows (plainTextTitleForDisplay), as text,
  // linked to the best link when that is an http, https or mailto address.
  QString newsItemTitle() const;
  // The title as text alone.
  QString newsItemPlainTitle() const;
  // The date (short text, the ISO date as tooltip) and the author line, each
  // in its span followed by a blank; what is missing is left out.
  QString newsItemDateline() const;
  // Author name, the e-mail (linked to the address found in it) and the
  // author's page, trimmed.
  QString authorLink() const;
  // The content: short links made links, then sanitised against the
  // article's base URL, cached images pointing at the image cache.
  QString newsItemDescription() const;
  // The address the page loads a picture from by the content's rule (an
  // http or https image, resolved against the article's base URL, a cached
  // one from the image cache); null when the page may not show it.
  QString pageImageSource(const QString& address) const;
  QString newsItemExtraLinks() const;
  // The feed's name linked to its home page; "" without a feed or home page.
  QString feedLinkNoFavicon() const;
  // The favicon link, the feed link and ", "; without a favicon only the
  // feed link.
  QString feedLinkWithFavicon() const;
  QString dateLong() const;
  QString byIfAuthorLink() const;
  QString commaIfAuthorLink() const;
  QString commaIfFeedLinkNoFavicon() const;

  // The favicon of the feed, linked to its home page; "" without a home page,
  // a cached favicon or a name.
  static QString faviconLinkForFeed(const CBFeed* feed);

private:
  const CBFeed* feed() const;

  const CBDataArticle* m_article;
};
