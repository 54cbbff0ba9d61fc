#include "browser/ZPHTypedAddress.h"

#include "web/ZPHNavigationPolicy.h"

#include <QtCore/QRegularExpression>

bool ZPHTypedAddress::hasScheme(const QString& text)
{
  // A colon followed by digits alone (up to the path) is a port, not a
  // scheme's.
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]*:(?!\\d+(?:[/?#]|$))"));
  return scheme.match(text).hasMatch();
}

QString ZPHTypedAddress::urlStringForTypedString(const QString& typed)
{
  QString address = typed.trimmed();
  if (address.isEmpty())
    return {};
  if (hasScheme(address))
    return address;
  const bool bareWord =
      !address.contains(QLatin1Char('.')) && !address.contains(QLatin1Char('/')) && !address.contains(QLatin1Char(':'));
  if (bareWord && address.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
    address += QLatin1String(".com");
  return QLatin1String("http://") + address;
}

ZPHTypedAddress::Use ZPHTypedAddress::useForURL(const QUrl& url)
{
  if (!url.isValid() || url.isEmpty())
    return Use::Refuse;
  const QString scheme = url.scheme().toLower();
  if (ZPHNavigationPolicy::isWebScheme(scheme))
    return url.host().isEmpty() ? Use::Refuse : Use::Load;
  if (scheme == QLatin1String("file"))
    return Use::Load;
  if (scheme == QLatin1String("about"))
    return url.path() == QLatin1String("blank") ? Use::Load : Use::Refuse;
  if (ZPHNavigationPolicy::isFeedScheme(scheme))
    return Use::Subscribe;
  return Use::Refuse;
}

QUrl ZPHTypedAddress::urlForString(const QString& string)
{
  if (string.isEmpty())
    return {};
  QUrl url(string, QUrl::StrictMode);
  if (!url.isValid()) {
    QString escaped = string;
    escaped.replace(QLatin1Char('^'), QLatin1String("%5E")).replace(QLatin1Char('~'), QLatin1String("%7E"));
    url = QUrl(escaped, QUrl::StrictMode);
  }
  return url.isValid() ? url : QUrl();
}
