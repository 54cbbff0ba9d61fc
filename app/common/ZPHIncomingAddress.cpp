#include "common/ZPHIncomingAddress.h"

#include "common/ZPHShellLog.h"
#include "subscribe/ZPHURLAdditions.h"

#include <QtCore/QRegularExpression>

namespace {

QString ignored(const QString& string, const char* why)
{
  qCWarning(zphShell).noquote() << "ignored the address" << ZPHIncomingAddress::withoutUserInfo(string).left(200) << "-"
                                << why;
  return {};
}

}  // namespace

QString ZPHIncomingAddress::withoutUserInfo(const QString& text)
{
  // The user information runs from "//" to the last "@" before the host
  // ends (a password may hold an unescaped "@"); "/", "?", "#" and spaces
  // end the authority.
  static const QRegularExpression userInfo(QStringLiteral("(//)[^/?#\\s]*@"));
  QString result = text;
  return result.replace(userInfo, QStringLiteral("\\1"));
}

bool ZPHIncomingAddress::isSubscribableURL(const QUrl& url)
{
  return url.isValid() && zph_urlIsHTTPOrHTTPS(url) && !url.host().isEmpty() &&
         url.toString(QUrl::FullyEncoded).size() <= LongestAddress;
}

QString ZPHIncomingAddress::subscriptionAddressForGetURLString(const QString& string)
{
  if (string.isEmpty())
    return {};
  if (string.size() > LongestAddress)
    return ignored(QString(), "too long");
  const QUrl url(string);
  QUrl address;
  const bool ownAddress = url.scheme().compare(QLatin1String("zephlin"), Qt::CaseInsensitive) == 0;
  if (ownAddress) {
    if (url.host().compare(QLatin1String("add"), Qt::CaseInsensitive) != 0)
      return ignored(string, "not an add address");
    const QString prefix = url.scheme() + QStringLiteral("://add/");
    if (!string.startsWith(prefix, Qt::CaseInsensitive))
      return ignored(string, "not an add address");
    QString remainder = string.mid(prefix.size());
    const qsizetype slashes = remainder.indexOf(QLatin1String("//"));
    if (slashes < 0)
      return ignored(string, "no address after the add prefix");
    // A scheme whose colon went missing ("http//host/x").
    if (slashes > 1 && !remainder.contains(QLatin1String("://")))
      remainder = remainder.left(slashes) + QLatin1Char(':') + remainder.mid(slashes);
    address = QUrl(remainder);
  } else {
    address = url;
  }
  const QUrl rationalized = zph_urlWithRationalizedSchemeForFeed(address);
  if (rationalized.isValid())
    address = rationalized;
  address = zph_cleanedUpAbsoluteStandardizedURL(address);
  if (!isSubscribableURL(address))
    return ignored(string, "only http and https addresses with a host are subscribed to");
  // Whoever hands over an add address (any web page can) does not choose
  // the user name and password a feed is fetched with.
  if (ownAddress && !address.userInfo().isEmpty()) {
    qCWarning(zphShell) << "left the user name and password out of the address to add";
    address.setUserInfo(QString());
  }
  return address.toString(QUrl::FullyEncoded);
}
