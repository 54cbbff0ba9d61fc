#include "store/CBDefaultFeedsCatalogue.h"

#include "platform/ZPHLog.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

const QString CBDefaultFeedsCatalogue::ResourcePath = QStringLiteral(":/core/DefaultFeeds.json");

namespace {

// The catalogue is a few kilobytes; anything far larger is not it.
constexpr qint64 kLargestCatalogue = 4 * 1024 * 1024;

}  // namespace

QList<CBDefaultFeedsCatalogueFeed> CBDefaultFeedsCatalogue::readFeeds(const QString& path)
{
  QList<CBDefaultFeedsCatalogueFeed> feeds;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestCatalogue) {
    qCCritical(zphStore) << "Error reading default feeds plist:" << path << file.errorString();
    return feeds;
  }
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
  if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
    qCCritical(zphStore) << "Error parsing default feeds plist:" << path
                         << (parseError.error != QJsonParseError::NoError
                                 ? parseError.errorString()
                                 : QStringLiteral("the root is not an object"));
    return feeds;
  }
  const QJsonObject root = document.object();
  const QJsonObject categories = root.value(QLatin1String("categories")).toObject();
  if (categories.isEmpty()) {
    qCCritical(zphStore) << "Couldn't find categories in default feeds plist.";
    return feeds;
  }
  const QJsonArray entries = root.value(QLatin1String("feeds")).toArray();
  if (entries.isEmpty()) {
    qCCritical(zphStore) << "No default feeds in feeds dictionary";
    return feeds;
  }

  for (const QJsonValue& entry : entries) {
    const QJsonObject feed = entry.toObject();
    const QString identifier = feed.value(QLatin1String("category")).toString();
    if (identifier.isEmpty()) {
      qCCritical(zphStore).noquote() << "Couldn't find category identifier for feed plist dictionary"
                                     << QJsonDocument(feed).toJson(QJsonDocument::Compact);
      continue;
    }
    if (!categories.contains(identifier)) {
      qCCritical(zphStore) << "Invalid category identifier" << identifier;
      continue;
    }
    const QString fullName = categories.value(identifier).toString();
    if (fullName.isEmpty()) {
      qCCritical(zphStore) << "Category full name should be non-empty:" << identifier;
      continue;
    }
    const QByteArray key = fullName.toUtf8();
    feeds.append({QCoreApplication::translate("DefaultFeeds", key.constData()), feed.toVariantMap()});
  }
  return feeds;
}
