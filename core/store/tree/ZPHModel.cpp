#include "store/tree/ZPHModel.h"

#include "platform/ZPHMainThread.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalAccount.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBFeed.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"

#include <QtCore/QPointer>

#include <functional>

const QString ZPHModelHasFeedsOtherThanGlobalFeedsKey = QStringLiteral("hasFeedsOtherThanGlobalFeeds");
const QString ZPHModelHasFeedsFavoriteFeedsKey = QStringLiteral("hasFavoriteFeeds");

ZPHModel* ZPHModel::sharedModel()
{
  ZPH_ASSERT_MAIN_THREAD();
  static ZPHModel* model = new ZPHModel;  // lives for the process
  return model;
}

ZPHModel::ZPHModel()
{
  updateHasFeedsOtherThanGlobalFeeds();
  updateHasFavoriteFeeds();
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  auto observe = [&](const QString& name, void (ZPHModel::*handler)(const ZPHNotification&)) {
    m_observers.push_back(center.addObserver(
        name, QVariant(), this, [this, handler](const ZPHNotification& n) { (this->*handler)(n); },
        ZPHNotificationCenter::Delivery::MainThread));
  };
  observe(ZPHFeedsAddedNotification, &ZPHModel::feedsAdded);
  observe(CBFeedFavoriteDidChangeNotification, &ZPHModel::favoriteStatusChanged);
  observe(ZPHFeedsOrFoldersDeletedNotification, &ZPHModel::feedsOrFoldersDeleted);
}

ZPHModel::~ZPHModel() = default;

void ZPHModel::updateHasFeedsOtherThanGlobalFeeds()
{
  // The rows of feeds at any depth, Favorites' too, counted without
  // putting the rows in order.
  const std::function<quint64(const CBTreeNode*)> feedRows = [&feedRows](const CBTreeNode* node) {
    quint64 count = 0;
    for (const CBTreeNode::Pointer& child : node->children()) {
      if (!child->isGroup() && child->representsFeed())
        ++count;
      count += feedRows(child.get());
    }
    return count;
  };
  quint64 number = 0;
  if (ZPHSourceListTreeBuilder* builder = ZPHSourceListTreeBuilder::sharedTreeBuilder()) {
    if (const std::shared_ptr<CBTree> tree = builder->tree()) {
      for (const CBTreeNode::Pointer& topLevel : tree->children()) {
        if (!topLevel->isGroup())
          number += topLevel->representsFeed() ? 1 : 0;
        else
          number += feedRows(topLevel.get());
      }
    }
  }
  m_numberOfFeedsOtherThanGlobalFeeds = number;
  const bool hasFeeds = number > 0;
  if (hasFeeds != m_hasFeedsOtherThanGlobalFeeds) {
    m_hasFeedsOtherThanGlobalFeeds = hasFeeds;
    Q_EMIT hasFeedsOtherThanGlobalFeedsChanged(hasFeeds);
  }
}

void ZPHModel::updateHasFavoriteFeeds()
{
  CBGlobalAccount* global = CBGlobalAccount::globalAccount();
  ZPHGlobalFavoritesGroup* group = global ? global->favoritesGroup() : nullptr;
  const bool hasFavorites = group != nullptr && group->treeNode() && group->treeNode()->hasChildren();
  if (hasFavorites != m_hasFavoriteFeeds) {
    m_hasFavoriteFeeds = hasFavorites;
    Q_EMIT hasFavoriteFeedsChanged(hasFavorites);
  }
}

void ZPHModel::feedsAdded(const ZPHNotification& notification)
{
  Q_UNUSED(notification);
  updateHasFeedsOtherThanGlobalFeeds();
}

// The Favorites group rebuilds its children on the same notifications; the
// flags are read on the next turn of the main loop, once it has, whichever
// of the two observers was registered first.
void ZPHModel::favoriteStatusChanged(const ZPHNotification& notification)
{
  Q_UNUSED(notification);
  QPointer<ZPHModel> guard(this);
  ZPHMainThread::async([guard] {
    if (guard)
      guard->updateHasFavoriteFeeds();
  });
}

void ZPHModel::feedsOrFoldersDeleted(const ZPHNotification& notification)
{
  Q_UNUSED(notification);
  QPointer<ZPHModel> guard(this);
  ZPHMainThread::async([guard] {
    if (!guard)
      return;
    guard->updateHasFeedsOtherThanGlobalFeeds();
    guard->updateHasFavoriteFeeds();
  });
}
