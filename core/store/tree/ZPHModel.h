#pragma once

#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QObject>

#include <vector>

extern const QString ZPHModelHasFeedsOtherThanGlobalFeedsKey;  // "hasFeedsOtherThanGlobalFeeds"
extern const QString ZPHModelHasFeedsFavoriteFeedsKey;         // "hasFavoriteFeeds"

// Model-wide flags that views follow: whether the source list holds any
// feed besides the smart feeds, and whether any feed is a favourite. They
// are recomputed when feeds are added or deleted and when a favourite mark
// changes. One shared instance, made on the main thread on first use, lives
// for the process.
class ZPHModel : public QObject {
  Q_OBJECT
public:
  static ZPHModel* sharedModel();

  bool hasFeedsOtherThanGlobalFeeds() const { return m_hasFeedsOtherThanGlobalFeeds; }
  // Feeds below the shared tree builder's top-level nodes; a favourite feed
  // counts under Favorites and in its account.
  quint64 numberOfFeedsOtherThanGlobalFeeds() const { return m_numberOfFeedsOtherThanGlobalFeeds; }
  bool hasFavoriteFeeds() const { return m_hasFavoriteFeeds; }

  // From the shared tree builder's tree.
  void updateHasFeedsOtherThanGlobalFeeds();
  // From the global account's Favorites node.
  void updateHasFavoriteFeeds();

Q_SIGNALS:
  // The observable "hasFeedsOtherThanGlobalFeeds" and "hasFavoriteFeeds".
  void hasFeedsOtherThanGlobalFeedsChanged(bool hasFeeds);
  void hasFavoriteFeedsChanged(bool hasFavoriteFeeds);

private:
  ZPHModel();
  ~ZPHModel() override;

  void feedsAdded(const ZPHNotification& notification);
  void favoriteStatusChanged(const ZPHNotification& notification);
  void feedsOrFoldersDeleted(const ZPHNotification& notification);

  bool m_hasFeedsOtherThanGlobalFeeds = false;
  quint64 m_numberOfFeedsOtherThanGlobalFeeds = 0;
  bool m_hasFavoriteFeeds = false;
  std::vector<ZPHObserverToken> m_observers;
};
