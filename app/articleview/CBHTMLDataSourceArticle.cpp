#include "articleview/CBHTMLDataSourceArticle.h"

#include "articleview/ZPHHTMLEscaping.h"
#include "feeds/images/CBFaviconController.h"
#include "feeds/images/CBWebCacheController.h"
#include "feeds/images/ZPHArticleImageCacheController.h"
#include "feeds/parsers/ZPHHTMLSanitizer.h"
#include "foundation/CBDates.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBFeed.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QRegularExpression>

#include <functional>

namespace {

const QRegularExpression& emailAddressPattern()
{
  static const QRegularExpression pattern(
      QStringLiteral("[a-z0-9!#$%&'*+/=?^_`{|}~-]+(?:\\.[a-z0-9!#$%&'*+/=?^_`{|}~-]+)*@(?:[A-Z0-9-_]+\\.)+[A-Z]{2,6}"),
      QRegularExpression::CaseInsensitiveOption);
  return pattern;
}

// A cached article image is shown from the image cache.
QUrl cachedImageURL(const QUrl& imageURL)
{
  if (!CBWebCacheController::sharedController()->isObjectAtURLCached(imageURL))
    return {};
  return ZPHArticleImageCacheController::imageCacheURLForURL(imageURL);
}

// What the page may show of an article: the rule of its content.
ZPHHTMLSanitizer::Options sanitizerOptions(const CBDataArticle* article)
{
  ZPHHTMLSanitizer::Options options;
  options.baseURL = article->baseURL();
  options.imageSourceMapper = cachedImageURL;
  return options;
}

}  // namespace

CBHTMLDataSourceArticle::CBHTMLDataSourceArticle(const CBDataArticle* article) : m_article(article) {}

QString CBHTMLDataSourceArticle::valueForPlaceholderKey(const QString& key) const
{
  using Value = QString (CBHTMLDataSourceArticle::*)() const;
  static const QHash<QString, Value> values = {
      {QStringLiteral("newsitem_title"), &CBHTMLDataSourceArticle::newsItemTitle},
      {QStringLiteral("newsitem_plaintitle"), &CBHTMLDataSourceArticle::newsItemPlainTitle},
      {QStringLiteral("newsitem_dateline"), &CBHTMLDataSourceArticle::newsItemDateline},
      {QStringLiteral("author_link"), &CBHTMLDataSourceArticle::authorLink},
      {QStringLiteral("newsitem_description"), &CBHTMLDataSourceArticle::newsItemDescription},
      {QStringLiteral("newsitem_extralinks"), &CBHTMLDataSourceArticle::newsItemExtraLinks},
      {QStringLiteral("feedlink_nofavicon"), &CBHTMLDataSourceArticle::feedLinkNoFavicon},
      {QStringLiteral("feedlink_withfavicon"), &CBHTMLDataSourceArticle::feedLinkWithFavicon},
      {QStringLiteral("date_long"), &CBHTMLDataSourceArticle::dateLong},
      {QStringLiteral("by_if_author_link"), &CBHTMLDataSourceArticle::byIfAuthorLink},
      {QStringLiteral("comma_if_author_link"), &CBHTMLDataSourceArticle::commaIfAuthorLink},
      {QStringLiteral("comma_if_feedlink_nofavicon"), &CBHTMLDataSourceArticle::commaIfFeedLinkNoFavicon},
  };
  const auto found = values.constFind(key);
  if (found == values.constEnd() || m_article == nullptr)
    return QStringLiteral("");
  return (this->*found.value())();
}

// The page shows the title every other display shows, as text.
QString CBHTMLDataSourceArticle::newsItemPlainTitle() const
{
  if (m_article == nullptr)
    return QStringLiteral("");
  return ZPHHTMLEscaping::escapedText(m_article->plainTextTitleForDisplay());
}

QString CBHTMLDataSourceArticle::newsItemTitle() const
{
  if (m_article == nullptr)
    return QStringLiteral("");
  QString link;
  m_article->bestSharingTitle(nullptr, &link);
  return ZPHHTMLEscaping::link(m_article->plainTextTitleForDisplay(), link);
}

QString CBHTMLDataSourceArticle::newsItemDateline() const
{
  if (m_article == nullptr)
    return QStringLiteral("");
  QString dateline;
  const QDateTime date = m_article->dateForDisplay();
  const QString shortText = date.isValid() ? cb_shortDateAndTimeString(date) : QString();
  if (!shortText.isEmpty()) {
    dateline += QStringLiteral("<span class=\"newsItemDate\" title=\"") +
                ZPHHTMLEscaping::escapedAttribute(cb_isoString(date)) + QStringLiteral("\">") +
                ZPHHTMLEscaping::escapedText(shortText) + QStringLiteral("</span> ");
  }
  const QString author = authorLink();
  if (!author.isEmpty())
    dateline += QStringLiteral("<span class=\"newsItemCreator\">") + author + QStringLiteral("</span> ");
  return dateline;
}

QString CBHTMLDataSourceArticle::authorLink() const
{
  if (m_article == nullptr)
    return QStringLiteral("");
  QString line;
  const QString name = m_article->authorName();
  if (!name.isEmpty())
    line += ZPHHTMLEscaping::escapedText(name) + QLatin1Char(' ');
  const QString email = m_article->authorEmail();
  if (!email.isEmpty()) {
    const QString match = email.size() < 3 ? QString() : emailAddressPattern().match(email).captured(0);
    const QString target = match.isEmpty() ? QString() : ZPHHTMLEscaping::linkTarget(QStringLiteral("mailto:") + match);
    if (target.isEmpty())
      line += ZPHHTMLEscaping::escapedText(email);
    else
      line += QStringLiteral("<a href=\"") + target + QStringLiteral("\">") + ZPHHTMLEscaping::escapedText(email) +
              QStringLiteral("</a>");
    line += QLatin1Char(' ');
  }
  const QString address = m_article->authorURL();
  if (!address.isEmpty())
    line += ZPHHTMLEscaping::link(address, address);
  return line.trimmed();
}

QString CBHTMLDataSourceArticle::newsItemDescription() const
{
  if (m_article == nullptr)
    return QStringLiteral("");
  const CBDataArticleContent* content = m_article->content();
  const QString html = content != nullptr ? content->htmlText() : QString();
  if (html.isEmpty())
    return QStringLiteral("");
  return ZPHHTMLSanitizer::sanitizedHTML(m_article->injectShortLinkTransform(html), sanitizerOptions(m_article));
}

QString CBHTMLDataSourceArticle::pageImageSource(const QString& address) const
{
  if (m_article == nullptr)
    return {};
  return ZPHHTMLSanitizer::imageSource(address, sanitizerOptions(m_article));
}

QString CBHTMLDataSourceArticle::newsItemExtraLinks() const { return QStringLiteral(""); }

const CBFeed* CBHTMLDataSourceArticle::feed() const
{
  if (m_article == nullptr || m_article->feedURL().isEmpty())
    return nullptr;
  return CBFeed::feedWithURL(m_article->feedURL());
}

QString CBHTMLDataSourceArticle::feedLinkNoFavicon() const
{
  const CBFeed* feed = this->feed();
  if (feed == nullptr)
    return QStringLiteral("");
  const QString name = feed->nameForDisplay();
  const QString homePage = feed->homePageURL().toString();
  if (name.isEmpty() || homePage.isEmpty())
    return QStringLiteral("");
  return ZPHHTMLEscaping::link(name, homePage);
}

QString CBHTMLDataSourceArticle::faviconLinkForFeed(const CBFeed* feed)
{
  if (feed == nullptr)
    return QStringLiteral("");
  const QString homePage = ZPHHTMLEscaping::linkTarget(feed->homePageURL().toString());
  const QString name = feed->nameForDisplay();
  if (homePage.isEmpty() || name.isEmpty())
    return QStringLiteral("");
  const QString filename =
      CBFaviconController::sharedController()->filenameForFavicon(feed->homePageURL(), feed->faviconURL());
  if (filename.isEmpty())
    return QStringLiteral("");
  return QStringLiteral("<a class=\"favicon\" href=\"") + homePage + QStringLiteral("\"><img src=\"cbfavicon:") +
         ZPHHTMLEscaping::escapedAttribute(QString::fromLatin1(QUrl::toPercentEncoding(filename))) +
         QStringLiteral("\" class=\"news-item-favicon\" alt=\"\" title=\"") + ZPHHTMLEscaping::escapedAttribute(name) +
         QStringLiteral("\" ></a>");
}

QString CBHTMLDataSourceArticle::feedLinkWithFavicon() const
{
  const QString feedLink = feedLinkNoFavicon();
  if (feedLink.isEmpty())
    return QStringLiteral("");
  const QString favicon = faviconLinkForFeed(feed());
  if (favicon.isEmpty())
    return feedLink;
  return favicon + feedLink + QStringLiteral(", ");
}

QString CBHTMLDataSourceArticle::dateLong() const
{
  if (m_article == nullptr || !m_article->dateForDisplay().isValid())
    return QStringLiteral("");
  return ZPHHTMLEscaping::escapedText(cb_monthDayYearHourMinuteString(m_article->dateForDisplay()));
}

QString CBHTMLDataSourceArticle::byIfAuthorLink() const
{
  return authorLink().isEmpty() ? QStringLiteral("") : QCoreApplication::translate("CBHTMLDataSourceArticle", "by");
}

QString CBHTMLDataSourceArticle::commaIfAuthorLink() const
{
  return authorLink().isEmpty() ? QStringLiteral("") : QStringLiteral(",");
}

QString CBHTMLDataSourceArticle::commaIfFeedLinkNoFavicon() const
{
  return feedLinkNoFavicon().isEmpty() ? QStringLiteral("") : QStringLiteral(",");
}
