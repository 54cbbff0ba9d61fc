#include "subscribe/CBDefaultFeedManager.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/CBCoreDataUtilities.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFolder.h"
#include "subscribe/ZPHSubscriber.h"

CBDefaultFeedManager* CBDefaultFeedManager::sharedDefaultFeedManager()
{
  static CBDefaultFeedManager manager;
  return &manager;
}

CBDefaultFeedManager::CBDefaultFeedManager(const QString& cataloguePath) : m_cataloguePath(cataloguePath) {}

CBDefaultFeedManager::~CBDefaultFeedManager() = default;

CBDataAccount* CBDefaultFeedManager::accountToAddFeedsTo() const { return CBDataAccount::localAccount(); }

ZPHManagedObjectContext* CBDefaultFeedManager::managedObjectContext() const
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  return delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
}

QMap<QString, QList<CBDefaultFeedEntry>> CBDefaultFeedManager::defaultFeedEntriesByCategoryName()
{
  if (!m_parsed)
    parseDefaultFeedEntries();
  return m_defaultFeedEntriesByCategoryName;
}

void CBDefaultFeedManager::parseDefaultFeedEntries()
{
  m_parsed = true;
  m_defaultFeedEntriesByCategoryName.clear();
  for (const CBDefaultFeedsCatalogueFeed& feed : CBDefaultFeedsCatalogue::readFeeds(m_cataloguePath)) {
    std::optional<CBDefaultFeedEntry> entry =
        CBDefaultFeedEntry::defaultFeedEntryWithPlistDictionary(feed.dictionary, feed.categoryName);
    if (!entry)
      continue;
    entry->setCateogryLocalizedName(feed.categoryName);
    m_defaultFeedEntriesByCategoryName[feed.categoryName].append(*entry);
  }
}

std::shared_ptr<ZPHSubscriber> CBDefaultFeedManager::addAllDefaultFeeds()
{
  ZPH_ASSERT_MAIN_THREAD();
  CBDataAccount* account = accountToAddFeedsTo();
  ZPHManagedObjectContext* context = managedObjectContext();
  if (account == nullptr || context == nullptr) {
    qCWarning(zphStore) << "no local account to add the default feeds to";
    return nullptr;
  }

  ZPHSubscribeRequests requests;
  const QMap<QString, QList<CBDefaultFeedEntry>> entries = defaultFeedEntriesByCategoryName();
  for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
    CBFolder* folder = nullptr;
    for (CBFolder* candidate : CBFolder::rootFoldersWithMOC(context)) {
      if (candidate->nameForDisplay() == it.key()) {
        folder = candidate;
        break;
      }
    }
    if (folder == nullptr) {
      folder = CBFolder::addFolderWithName(it.key(), nullptr, account, context);
      CBSaveManagedObjectContext(context);
    }
    if (folder == nullptr) {
      qCCritical(zphStore) << "no folder for the default feeds of" << it.key();
      continue;
    }
    for (const CBDefaultFeedEntry& entry : it.value())
      requests.append(entry.subscribeRequestForAccount(account, folder));
  }
  if (requests.isEmpty())
    return nullptr;

  std::shared_ptr<ZPHSubscriber> subscriber = ZPHSubscriber::subscriberWithSubscribeRequests(requests);
  CBDefaultFeedManager* manager = this;
  subscriber->setProgressHandler([manager](bool, const std::shared_ptr<ZPHFeedSubscriptionResult>&) {
    CBDataAccount* local = manager->accountToAddFeedsTo();
    if (local != nullptr)
      local->loadFeedsAndFoldersFromDisk();
    ZPHNotificationCenter::defaultCenter().post(ZPHFeedsAddedNotification, QVariant::fromValue(manager));
    if (ZPHManagedObjectContext* main = manager->managedObjectContext())
      CBSaveManagedObjectContext(main);
  });
  subscriber->subscribe();
  return subscriber;
}
