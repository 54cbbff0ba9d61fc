#include "feeds/images/ZPHFaviconURLFinderOperation.h"

#include "foundation/CBMimeTypes.h"
#include "foundation/CBString.h"

#include <QtCore/QRegularExpression>

namespace {

const QRegularExpression& whiteSpace()
{
  static const QRegularExpression pattern(QStringLiteral("\\s+"));
  return pattern;
}

bool relNamesIcon(const QString& tag)
{
  const QStringList words =
      cb_htmlTagAttributeValue(tag, QStringLiteral("rel")).split(whiteSpace(), Qt::SkipEmptyParts);
  for (const QString& word : words) {
    if (word.compare(QLatin1String("icon"), Qt::CaseInsensitive) == 0)
      return true;
  }
  return false;
}

QUrl hrefURL(const QString& tag, const QUrl& homePageURL)
{
  const QString href = cb_htmlTagAttributeValue(tag, QStringLiteral("href"));
  if (href.isEmpty())
    return {};
  const QUrl url =
      href.startsWith(QLatin1String("http"), Qt::CaseInsensitive) ? QUrl(href) : homePageURL.resolved(QUrl(href));
  // A page may name any scheme; only web addresses are fetched.
  return CBURLIsWebURL(url) ? url : QUrl();
}

int declaredSize(const QString& tag)
{
  const QStringList words =
      cb_htmlTagAttributeValue(tag, QStringLiteral("sizes")).split(whiteSpace(), Qt::SkipEmptyParts);
  int size = 16;
  for (const QString& word : words)
    size = word.compare(QLatin1String("any"), Qt::CaseInsensitive) == 0 ? 256 : CBStringIntValue(word);
  return size;
}

}  // namespace

ZPHFaviconURLFinderOperation::ZPHFaviconURLFinderOperation(const QUrl& homePageURL)
    : CBDownloadOperation(homePageURL, nullptr, {}, false), m_homePageURL(homePageURL)
{
  setMaximumBodySize(MaximumHomePageSize);
}

void ZPHFaviconURLFinderOperation::download()
{
  CBDownloadOperation::download();
  if (!okResponse() || responseBody().isEmpty())
    return;
  m_faviconURL = faviconURLInHTML(responseBodyString(), m_homePageURL);
}

QUrl ZPHFaviconURLFinderOperation::faviconURLInHTML(const QString& html, const QUrl& homePageURL)
{
  QUrl best;
  int bestSize = 0;
  bool found = false;
  bool upperCase = false;
  qsizetype from = 0;
  qsizetype tagEnd = -1;  // the next ">" at or after the current match
  while (from < html.size()) {
    qsizetype at = upperCase ? -1 : html.indexOf(QLatin1String("<link"), from);
    if (at < 0) {
      upperCase = true;
      at = html.indexOf(QLatin1String("LINK"), from);
      if (at < 0)
        break;
    }
    if (tagEnd < at)
      tagEnd = html.indexOf(u'>', at);
    if (tagEnd < 0)
      break;
    from = at + 1;
    if (tagEnd - at + 1 > MaximumTagLength)
      continue;
    const QString tag = html.mid(at, tagEnd - at + 1);
    if (!relNamesIcon(tag))
      continue;
    const QUrl url = hrefURL(tag, homePageURL);
    if (url.isEmpty())
      continue;
    const int size = declaredSize(tag);
    if (!found || size > bestSize) {
      best = url;
      bestSize = size;
      found = true;
    }
  }
  return best;
}
