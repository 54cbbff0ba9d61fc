#include "sharing/ZPHWebSharePage.h"

#include "common/ZPHAppServices.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

const QString ZPHWebSharePage::Resource = QStringLiteral(":/Sharing/WebSharePages.json");

namespace {

QJsonObject pages()
{
  static const QJsonObject loaded = [] {
    QFile file(ZPHWebSharePage::Resource);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
  }();
  return loaded;
}

QString encoded(const QString& value) { return QString::fromLatin1(QUrl::toPercentEncoding(value)); }

}  // namespace

QUrl ZPHWebSharePage::shareURL(const QString& service, const QUrl& address, const QString& title)
{
  const QJsonObject page = pages().value(service).toObject();
  QUrl url(page.value(QStringLiteral("page")).toString(), QUrl::StrictMode);
  if (!ZPHSharingCommandBase::isWebAddress(url) || !ZPHSharingCommandBase::isWebAddress(address))
    return {};
  // Each value is encoded in full ("+", "&", "#" and the rest), so the
  // page reads back exactly the address and title given.
  QStringList query;
  const QString urlParameter = page.value(QStringLiteral("urlParameter")).toString();
  const QString titleParameter = page.value(QStringLiteral("titleParameter")).toString();
  if (!urlParameter.isEmpty())
    query.append(encoded(urlParameter) + u'=' + encoded(QString::fromUtf8(address.toEncoded())));
  if (!titleParameter.isEmpty())
    query.append(encoded(titleParameter) + u'=' + encoded(title));
  url.setQuery(query.join(u'&'), QUrl::StrictMode);
  return url.isValid() ? url : QUrl();
}

bool ZPHWebSharePage::openShareURL(const QString& service, const QUrl& address, const QString& title)
{
  const QUrl url = shareURL(service, address, title);
  if (!url.isValid())
    return false;
  return ZPHAppServices::current().openLink(url, {ZPHAppServices::LinkPlace::ExternalBrowser, false, false}) !=
         ZPHAppServices::LinkOutcome::Refused;
}

// MARK: - Facebook

ZPHPluginCommandSendToFacebook::ZPHPluginCommandSendToFacebook()
    : ZPHSharingCommandBase(CommandIDPrefix + QStringLiteral("SendToFacebook"),
                            QCoreApplication::translate("Facebook", "Share on Facebook"), QStringLiteral("Facebook"),
                            Sharing, QStringLiteral("toolbar_share_facebook"))
{
}

bool ZPHPluginCommandSendToFacebook::validateWithItems(const QList<CBSharableItem>& items) const
{
  return validateOneItemWithAddress(items) && isWebAddress(addressOfItem(items.first()));
}

bool ZPHPluginCommandSendToFacebook::performCommandWithArray(const QList<CBSharableItem>& items,
                                                             const CBUserInterfaceContext& context,
                                                             CBPluginHelper* helper, ZPHError* error)
{
  Q_UNUSED(context);
  Q_UNUSED(helper);
  Q_UNUSED(error);
  if (items.isEmpty())
    return false;
  m_item = items.first();
  return ZPHWebSharePage::openShareURL(QStringLiteral("Facebook"), addressOfItem(m_item), m_item.title());
}
