#pragma once

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QVariantMap>

// One feed of the catalogue of suggested sites: its dictionary as written
// ("rss", "home", "name", "description") and the localized name of its
// category.
struct CBDefaultFeedsCatalogueFeed {
  QString categoryName;
  QVariantMap dictionary;
};

// Reads the catalogue of suggested sites, a JSON document shipped in the
// library's resources:
//   {"categories": {identifier: full name, ...},
//    "feeds": [{"category": identifier, "rss": ..., "home": ..., "name": ...,
//               "description": ...}, ...]}
// A category's full name is the key its localized name is looked up under.
//
// An unreadable or unparsable catalogue, or one without categories or
// feeds, reads as empty; a feed whose category is missing, unknown or has
// an empty name is skipped. Each is logged as an error. Any thread.
class CBDefaultFeedsCatalogue {
public:
  // ":/core/DefaultFeeds.json"
  static const QString ResourcePath;

  // The feeds in file order.
  static QList<CBDefaultFeedsCatalogueFeed> readFeeds(const QString& path = ResourcePath);
};
