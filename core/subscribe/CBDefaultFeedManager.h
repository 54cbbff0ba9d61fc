#pragma once

#include "store/CBDefaultFeedsCatalogue.h"
#include "subscribe/CBDefaultFeedEntry.h"

#include <QtCore/QList>
#include <QtCore/QMap>
#include <QtCore/QMetaType>
#include <QtCore/QString>

#include <memory>

class CBDataAccount;
class ZPHManagedObjectContext;
class ZPHSubscriber;

// The catalogue of suggested sites grouped by category, and subscribing the
// local account to all of them, one top-level folder per category.
// Main thread.
class CBDefaultFeedManager {
public:
  static CBDefaultFeedManager* sharedDefaultFeedManager();
  // Reads the catalogue at `cataloguePath` (tests).
  explicit CBDefaultFeedManager(const QString& cataloguePath = CBDefaultFeedsCatalogue::ResourcePath);
  ~CBDefaultFeedManager();
  CBDefaultFeedManager(const CBDefaultFeedManager&) = delete;
  CBDefaultFeedManager& operator=(const CBDefaultFeedManager&) = delete;

  // Localized category name -> its entries in catalogue order. Read on first
  // use and kept; a catalogue that cannot be read is empty, and is not read
  // again. Broken entries are left out (and logged).
  QMap<QString, QList<CBDefaultFeedEntry>> defaultFeedEntriesByCategoryName();

  // Subscribes the local account to every entry, each category's entries
  // into the top-level folder of the category's name (made when missing).
  // The subscriber runs on its own; nullptr when there is nothing to add.
  std::shared_ptr<ZPHSubscriber> addAllDefaultFeeds();

  CBDataAccount* accountToAddFeedsTo() const;
  ZPHManagedObjectContext* managedObjectContext() const;

private:
  void parseDefaultFeedEntries();

  const QString m_cataloguePath;
  bool m_parsed = false;
  QMap<QString, QList<CBDefaultFeedEntry>> m_defaultFeedEntriesByCategoryName;
};

Q_DECLARE_METATYPE(CBDefaultFeedManager*)
