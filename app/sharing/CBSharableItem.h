#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariant>

class CBDataArticle;

// What a sharing command acts on: an article, a link or a page, with its
// addresses, title and HTML. A plain value, copied freely.
//
// Its type identifier is one of the fixed strings below (or, for an audio
// or video file, its MIME type when the extension names one).
class CBSharableItem {
public:
  static const QString TypeURL;                 // "public.url"
  static const QString TypeText;                // "public.text"
  static const QString TypeHTML;                // "public.html"
  static const QString TypeAudiovisualContent;  // "public.audiovisual-content"

  CBSharableItem() = default;

  // URL only; type URL.
  static CBSharableItem sharableItemWithURL(const QUrl& url);
  // URL, permalink and title; a missing URL is the permalink; type text.
  static CBSharableItem sharableItemWithURL(const QUrl& url, const QUrl& permalink, const QString& title);
  // An article: its link, its best link as permalink ("|" escaped when the
  // link does not parse otherwise), its plain title (else its title), its
  // HTML; type HTML. Main thread.
  static CBSharableItem sharableItemWithArticle(const CBDataArticle* article);
  static QList<CBSharableItem> arrayOfOneSharableItemWithArticle(const CBDataArticle* article);
  // An audio or video file: the URL, the type from the extension (query
  // ignored), else audio-visual content.
  static CBSharableItem sharableItemWithTimeBasedMedia(const QUrl& url);

  QString uti() const { return m_uti; }
  void setUti(const QString& uti) { m_uti = uti; }
  QUrl URL() const { return m_url; }
  void setURL(const QUrl& url) { m_url = url; }
  QByteArray itemData() const { return m_itemData; }
  void setItemData(const QByteArray& data) { m_itemData = data; }
  QUrl permalink() const { return m_permalink; }
  void setPermalink(const QUrl& permalink) { m_permalink = permalink; }
  QString selectedText() const { return m_selectedText; }
  void setSelectedText(const QString& text) { m_selectedText = text; }
  QString title() const { return m_title; }
  void setTitle(const QString& title) { m_title = title; }
  QString htmlText() const { return m_htmlText; }
  void setHtmlText(const QString& html) { m_htmlText = html; }
  void setHTML(const QString& html) { m_htmlText = html; }
  // The feed of the item (no maker fills it).
  QVariant feed() const { return m_feed; }
  void setFeed(const QVariant& feed) { m_feed = feed; }

  bool isEmpty() const { return m_url.isEmpty() && m_permalink.isEmpty() && m_title.isEmpty(); }

private:
  QString m_uti;
  QUrl m_url;
  QByteArray m_itemData;
  QUrl m_permalink;
  QString m_selectedText;
  QString m_title;
  QString m_htmlText;
  QVariant m_feed;
};

Q_DECLARE_METATYPE(CBSharableItem)
