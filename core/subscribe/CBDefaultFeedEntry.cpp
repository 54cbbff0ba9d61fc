#include "subscribe/CBDefaultFeedEntry.h"

#include "foundation/CBMimeTypes.h"
#include "platform/ZPHLog.h"
#include "subscribe/ZPHSubscribeRequest.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

namespace {

QString dictionaryText(const QVariantMap& dictionary)
{
  return QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(dictionary)).toJson(QJsonDocument::Compact));
}

// A web address written in the dictionary under `key`; invalid when there
// is none.
QUrl webAddress(const QVariantMap& dictionary, const QString& key)
{
  const QString text = dictionary.value(key).toString().trimmed();
  if (text.isEmpty())
    return {};
  const QUrl url(text, QUrl::StrictMode);
  return CBURLIsWebURL(url) ? url : QUrl();
}

}  // namespace

std::optional<CBDefaultFeedEntry> CBDefaultFeedEntry::defaultFeedEntryWithPlistDictionary(const QVariantMap& dictionary,
                                                                                          const QString& categoryName)
{
  if (dictionary.value(QStringLiteral("rss")).toString().trimmed().isEmpty()) {
    qCCritical(zphStore).noquote() << "No RSS URL String specified in default feed dictionary"
                                   << dictionaryText(dictionary);
    return std::nullopt;
  }
  const QUrl rssURL = webAddress(dictionary, QStringLiteral("rss"));
  if (!rssURL.isValid()) {
    qCCritical(zphStore).noquote() << "Couldn't parse RSS URL in default feed dictionary" << dictionaryText(dictionary);
    return std::nullopt;
  }
  const QUrl homeURL = webAddress(dictionary, QStringLiteral("home"));
  if (!homeURL.isValid()) {
    qCCritical(zphStore).noquote() << "Couldn't parse home URL in default feed dictionary"
                                   << dictionaryText(dictionary);
    return std::nullopt;
  }
  const QString name = dictionary.value(QStringLiteral("name")).toString().trimmed();
  if (name.isEmpty()) {
    qCCritical(zphStore).noquote() << "No or empty name string specified in default feed dictionary"
                                   << dictionaryText(dictionary);
    return std::nullopt;
  }
  const QString description = dictionary.value(QStringLiteral("description")).toString().trimmed();
  if (description.isEmpty()) {
    qCCritical(zphStore).noquote() << "Should not have a zero-length description in dictionary"
                                   << dictionaryText(dictionary);
    return std::nullopt;
  }
  if (categoryName.isEmpty()) {
    qCCritical(zphStore).noquote() << "No category name for default feed dictionary" << dictionaryText(dictionary);
    return std::nullopt;
  }
  CBDefaultFeedEntry entry;
  entry.m_name = name;
  entry.m_description = description;
  entry.m_rssURL = rssURL;
  entry.m_homeURL = homeURL;
  return entry;
}

std::shared_ptr<ZPHSubscribeRequest> CBDefaultFeedEntry::subscribeRequestForAccount(CBDataAccount* account,
                                                                                    CBFolder* folder) const
{
  auto request = std::make_shared<ZPHSubscribeRequest>(m_rssURL);
  request->setAccount(account);
  request->setParentFolder(folder);
  request->setTitle(m_name);
  return request;
}

CBDefaultFeedEntry CBDefaultFeedEntry::copy() const
{
  CBDefaultFeedEntry entry = *this;
  entry.m_cateogryLocalizedName.clear();
  return entry;
}
