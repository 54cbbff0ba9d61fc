#include "subscribe/ZPHURLAdditions.h"

#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>

namespace {

const QString kHTTP = QStringLiteral("http");
const QString kHTTPS = QStringLiteral("https");

bool isWebAddressWithHost(const QUrl& url)
{
  return url.isValid() && zph_urlIsHTTPOrHTTPS(url) && !url.host().isEmpty();
}

// "host:8080" or "host:8080/path": the text before the first "/" ends in a
// port, so the "scheme" QUrl reads there is a host.
bool startsWithHostAndPort(const QString& text)
{
  static const QRegularExpression pattern(QStringLiteral("^[^/:?#]+:[0-9]+(?:[/?#]|$)"));
  return pattern.match(text).hasMatch();
}

// RFC 3986's removal of "." and ".." segments; other segments, empty ones
// included, stay as they are.
QString withoutDotSegments(const QString& path)
{
  QStringView input(path);
  QString output;
  while (!input.isEmpty()) {
    if (input.startsWith(u"../")) {
      input = input.mid(3);
    } else if (input.startsWith(u"./") || input.startsWith(u"/./")) {
      input = input.mid(2);
    } else if (input == u"/.") {
      input = u"/";
    } else if (input.startsWith(u"/../") || input == u"/..") {
      input = input.size() == 3 ? QStringView(u"/") : input.mid(3);
      const qsizetype slash = output.lastIndexOf(u'/');
      output.truncate(slash < 0 ? 0 : slash);
    } else if (input == u"." || input == u"..") {
      input = {};
    } else {
      const qsizetype next = input.indexOf(u'/', input.startsWith(u'/') ? 1 : 0);
      const qsizetype length = next < 0 ? input.size() : next;
      output += input.left(length);
      input = input.mid(length);
    }
  }
  return output;
}

}  // namespace

QUrl zph_cleanedUpAbsoluteStandardizedURL(const QUrl& url)
{
  if (!url.isValid())
    return {};
  const QString path = url.path(QUrl::FullyEncoded);
  if (!path.contains(u'.'))
    return url;
  QUrl cleaned = url;
  cleaned.setPath(withoutDotSegments(path), QUrl::TolerantMode);
  return cleaned.isValid() ? cleaned : url;
}

bool zph_urlIsHTTPOrHTTPS(const QUrl& url)
{
  const QString scheme = url.scheme();
  return scheme.compare(kHTTP, Qt::CaseInsensitive) == 0 || scheme.compare(kHTTPS, Qt::CaseInsensitive) == 0;
}

QUrl zph_cleanedUpURLWithUserInputString(const QString& string)
{
  const QString text = string.trimmed();
  if (text.isEmpty())
    return {};

  QUrl url;
  if (startsWithHostAndPort(text)) {
    url = QUrl(QStringLiteral("http://") + text, QUrl::TolerantMode);
  } else {
    url = QUrl(text, QUrl::TolerantMode);
    if (!url.isValid())
      return {};
    const QString scheme = url.scheme().toLower();
    if (scheme == kHTTP || scheme == kHTTPS) {
      // kept
    } else if (scheme == QLatin1String("feed") || scheme == QLatin1String("rss")) {
      url = zph_urlWithRationalizedSchemeForFeed(url);
    } else if (!scheme.isEmpty()) {
      return {};
    } else {
      // No scheme: the host is the text before the first "/".
      QString host = url.host();
      QString path = url.path();
      if (!path.isEmpty() && host.isEmpty()) {
        const qsizetype slash = path.indexOf(u'/');
        if (slash >= 0) {
          host = path.left(slash);
          path = path.mid(slash);
        } else {
          host = path;
          path.clear();
        }
      }
      if (host.isEmpty())
        return {};
      if (!host.contains(u'.'))
        host += QStringLiteral(".com");
      QString rebuilt = QStringLiteral("http://") + host + (path.isEmpty() ? QStringLiteral("/") : path);
      if (url.hasQuery())
        rebuilt += u'?' + url.query(QUrl::FullyEncoded);
      if (url.hasFragment())
        rebuilt += u'#' + url.fragment(QUrl::FullyEncoded);
      url = QUrl(rebuilt, QUrl::TolerantMode);
    }
  }
  if (!isWebAddressWithHost(url))
    return {};
  return zph_scrubDuplicateSlashes(url);
}

QUrl zph_scrubDuplicateSlashes(const QUrl& url)
{
  const QUrl cleaned = zph_cleanedUpAbsoluteStandardizedURL(url);
  if (!cleaned.isValid())
    return {};
  QString path = cleaned.path(QUrl::FullyEncoded);
  static const QRegularExpression slashes(QStringLiteral("/{2,}"));
  path.replace(slashes, QStringLiteral("/"));
  QUrl squeezed = cleaned;
  squeezed.setPath(path, QUrl::StrictMode);
  return squeezed.isValid() ? squeezed : cleaned;
}

QUrl zph_urlWithRationalizedSchemeForFeedCheckingForScheme(const QUrl& url, const QString& scheme)
{
  if (scheme.isEmpty() || !url.isValid())
    return {};
  const QString text = zph_cleanedUpAbsoluteStandardizedURL(url).toString(QUrl::FullyEncoded);
  const struct {
    QString prefix;
    QString replacement;
  } rewrites[] = {
      {QStringLiteral("https:%1://").arg(scheme), QStringLiteral("https://")},
      {QStringLiteral("%1:https://").arg(scheme), QStringLiteral("https://")},
      {QStringLiteral("http:%1://").arg(scheme), QStringLiteral("http://")},
      {QStringLiteral("%1:http://").arg(scheme), QStringLiteral("http://")},
      {QStringLiteral("%1://").arg(scheme), QStringLiteral("http://")},
  };
  for (const auto& rewrite : rewrites) {
    if (!text.startsWith(rewrite.prefix, Qt::CaseInsensitive))
      continue;
    const QUrl result(rewrite.replacement + text.mid(rewrite.prefix.size()), QUrl::StrictMode);
    return isWebAddressWithHost(result) ? result : QUrl();
  }
  return {};
}

QUrl zph_urlWithRationalizedSchemeForFeed(const QUrl& url)
{
  if (zph_urlIsHTTPOrHTTPS(url))
    return url;
  for (const QString& scheme : {QStringLiteral("feed"), QStringLiteral("rss")}) {
    const QUrl rationalized = zph_urlWithRationalizedSchemeForFeedCheckingForScheme(url, scheme);
    if (rationalized.isValid())
      return rationalized;
  }
  return {};
}

QString zph_userPresentableStringFromURL(const QUrl& url)
{
  const QUrl rationalized = zph_urlWithRationalizedSchemeForFeed(url);
  QString text = (rationalized.isValid() ? rationalized : url).toString(QUrl::RemoveUserInfo);
  text.remove(QStringLiteral("http://"));
  text.remove(QStringLiteral("https://"));
  return text;
}

bool zph_isRelativeURLThatWillLikelyFail(const QUrl& url)
{
  return url.isLocalFile() && !QFileInfo::exists(url.toLocalFile());
}
