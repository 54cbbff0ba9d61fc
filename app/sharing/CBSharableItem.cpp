#include "sharing/CBSharableItem.h"

#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"

#include <QtCore/QMimeDatabase>

const QString CBSharableItem::TypeURL = QStringLiteral("public.url");
const QString CBSharableItem::TypeText = QStringLiteral("public.text");
const QString CBSharableItem::TypeHTML = QStringLiteral("public.html");
const QString CBSharableItem::TypeAudiovisualContent = QStringLiteral("public.audiovisual-content");

namespace {

QUrl parsedURL(const QString& text)
{
  const QUrl url(text, QUrl::StrictMode);
  return url.isValid() && !url.isRelative() ? url : QUrl();
}

}  // namespace

CBSharableItem CBSharableItem::sharableItemWithURL(const QUrl& url)
{
  CBSharableItem item;
  item.m_url = url;
  item.m_uti = TypeURL;
  return item;
}

CBSharableItem CBSharableItem::sharableItemWithURL(const QUrl& url, const QUrl& permalink, const QString& title)
{
  CBSharableItem item;
  item.m_url = url.isEmpty() ? permalink : url;
  item.m_permalink = permalink;
  item.m_title = title;
  item.m_uti = TypeText;
  return item;
}

CBSharableItem CBSharableItem::sharableItemWithArticle(const CBDataArticle* article)
{
  if (article == nullptr)
    return {};
  QUrl url;
  if (!article->link().isEmpty())
    url = parsedURL(article->link());
  const QString bestLink = article->bestLink();
  QUrl permalink = parsedURL(bestLink);
  if (permalink.isEmpty() && !bestLink.isEmpty())
    permalink = parsedURL(QString(bestLink).replace(QLatin1Char('|'), QLatin1String("%7C")));
  const QString title = article->plainTextTitle().isEmpty() ? article->title() : article->plainTextTitle();
  CBSharableItem item = sharableItemWithURL(url, permalink, title);
  if (const CBDataArticleContent* content = article->content())
    item.m_htmlText = content->htmlText();
  item.m_uti = TypeHTML;
  return item;
}

QList<CBSharableItem> CBSharableItem::arrayOfOneSharableItemWithArticle(const CBDataArticle* article)
{
  return {sharableItemWithArticle(article)};
}

CBSharableItem CBSharableItem::sharableItemWithTimeBasedMedia(const QUrl& url)
{
  CBSharableItem item;
  item.m_url = url;
  const QString path = url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment).path();
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const QString extension = dot > slash ? path.mid(dot + 1) : QString();
  if (!extension.isEmpty()) {
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("media.") + extension, QMimeDatabase::MatchExtension);
    if (type.isValid() &&
        (type.name().startsWith(QLatin1String("audio/")) || type.name().startsWith(QLatin1String("video/"))))
      item.m_uti = type.name();
  }
  if (item.m_uti.isEmpty())
    item.m_uti = TypeAudiovisualContent;
  return item;
}
