#include "articleview/ZPHHTMLEscaping.h"

#include <QtCore/QUrl>

namespace {

QString escaped(const QString& text, bool quotes)
{
  QString result;
  result.reserve(text.size() + text.size() / 8);
  for (const QChar c : text) {
    switch (c.unicode()) {
      case u'&':
        result += QLatin1String("&amp;");
        break;
      case u'<':
        result += QLatin1String("&lt;");
        break;
      case u'>':
        result += QLatin1String("&gt;");
        break;
      case u'"':
        if (quotes)
          result += QLatin1String("&quot;");
        else
          result += c;
        break;
      default:
        result += c;
    }
  }
  return result;
}

}  // namespace

QString ZPHHTMLEscaping::escapedText(const QString& text) { return escaped(text, false); }

QString ZPHHTMLEscaping::escapedAttribute(const QString& text) { return escaped(text, true); }

QString ZPHHTMLEscaping::linkTarget(const QString& urlString)
{
  const QUrl url(urlString.trimmed());
  if (!url.isValid() || url.isRelative())
    return {};
  const QString scheme = url.scheme();
  const bool web = (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
  if (!web && scheme != QLatin1String("mailto"))
    return {};
  return escapedAttribute(QString::fromLatin1(url.toEncoded()));
}

QString ZPHHTMLEscaping::link(const QString& text, const QString& urlString)
{
  const QString target = linkTarget(urlString);
  if (target.isEmpty())
    return escapedText(text);
  return QStringLiteral("<a href=\"") + target + QStringLiteral("\">") + escapedText(text) + QStringLiteral("</a>");
}
