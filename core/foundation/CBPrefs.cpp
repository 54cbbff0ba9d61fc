#include "foundation/CBPrefs.h"

#include "foundation/CBCalendarDate.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHUserDefaults.h"

#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>

const QString ZPHLastVersionRun = QStringLiteral("ZPHLastVersionRun");
const QString ZPHBrowserShowFaviconsInTabs = QStringLiteral("ZPHMiniBrowserShowFavicons");
const QString ZPHBrowserTabsVisibility = QStringLiteral("ZPHBrowserTabsVisibility");
const QString ZPHVerticalTabs = QStringLiteral("ZPHVerticalTabs");
const QString ZPHBrowserTabsViewState = QStringLiteral("tabsViewState");
const QString ZPHReturnToNewsItemsOnCloseTab = QStringLiteral("ZPHReturnToNewsItemsOnCloseTab");
const QString ZPHAutoHideSubs = QStringLiteral("ZPHAutoHideSubs");
const QString ZPHBrowserOpenLinksInZephlin = QStringLiteral("openLinksInBrowser");
const QString ZPHBrowserSelectNewTabsAsTheyAreCreated = QStringLiteral("ZPHBrowserSelectNewTabsAsTheyAreCreated");
const QString ZPHDisplayCloseAllTabsWarningSheet = QStringLiteral("ZPHDisplayCloseAllTabsWarningSheet");
const QString ZPHHideReadItems = QStringLiteral("ZPHHideReadItems");
const QString ZPHHideReadArticles = QStringLiteral("ZPHHideReadArticles");
const QString ZPHHideFeedsWithNoUnread = QStringLiteral("ZPHHideFeedsWithNoUnread");
const QString ZPHOpenInBrowserInBackgroundDefaultsKey = QStringLiteral("openInBrowserInBackground");
const QString ZPHStyleMarginIndexKey = QStringLiteral("ZPHDefaultMarginIndex");
const QString ZPHStylesDidChangeNotification = QStringLiteral("ZPHStylesDidChangeNotification");
const QString ZPHKeyMapSetName = QStringLiteral("ZPHKeyMapSetName");
const QString ZPHPluginsEnabled = QStringLiteral("ZPHPluginsEnabled");
const QString ZPHAlwaysHideTabIndicatorKey = QStringLiteral("ZPHAlwaysHideTabIndicator");
const QString ZPHPictureLayoutKey = QStringLiteral("ZPHPictureLayout");

const QString ZPHUnreadCountSelection = QStringLiteral("ZPHUnreadCountSelection");
const QString ZPHAllUnreadFeedsSelection = QStringLiteral("ZPHAllUnreadFeedsSelection");
const QString ZPHTodayFeedSelection = QStringLiteral("ZPHTodayFeedSelection");

namespace {

ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

bool isNil(const QVariant& value) { return !value.isValid() || value.isNull(); }

// One CBPrefsAddObserver: its connection to the defaults, and the one that
// forgets it when the observer dies.
struct Observation {
  QObject* observer = nullptr;
  QString key;
  QMetaObject::Connection valueConnection;
  QMetaObject::Connection destroyedConnection;
};

struct Observations {
  QMutex mutex;
  QList<Observation> list;
};

Observations& observations()
{
  static Observations* shared = new Observations;  // kept for the process
  return *shared;
}

void forgetObserver(QObject* observer)
{
  Observations& all = observations();
  QMutexLocker locker(&all.mutex);
  all.list.removeIf([observer](const Observation& o) { return o.observer == observer; });
}

}  // namespace

qint64 CBPrefsGetInt(const QString& key) { return defaults().integerForKey(key); }

bool CBPrefsGetBool(const QString& key) { return defaults().boolForKey(key); }

QString CBPrefsGetString(const QString& key)
{
  const QString value = defaults().stringForKey(key);
  return value.isNull() ? QStringLiteral("") : value;
}

QVariant CBPrefsGetObject(const QString& key) { return defaults().objectForKey(key); }

QDateTime CBPrefsGetCalendarDate(const QString& key)
{
  const QVariant value = defaults().objectForKey(key);
  if (isNil(value))
    return {};
  return CBCalendarDateWithNSDate(value);
}

QDateTime CBPrefsGetCalendarDate(const QString& key, const QDateTime& now)
{
  const QVariant value = defaults().objectForKey(key);
  if (isNil(value))
    return {};
  return CBCalendarDateWithNSDate(value, now);
}

void CBPrefsSetInt(qint64 value, const QString& key) { defaults().setInteger(key, value); }

void CBPrefsSetBool(bool value, const QString& key) { defaults().setBool(key, value); }

void CBPrefsToggleBool(const QString& key) { CBPrefsSetBool(!CBPrefsGetBool(key), key); }

void CBPrefsSetString(const QString& value, const QString& key)
{
  if (value.isNull())
    defaults().removeObject(key);
  else
    defaults().setString(key, value);
}

void CBPrefsSetObject(const QVariant& value, const QString& key)
{
  if (isNil(value))
    return;
  defaults().setObject(key, value);
}

void CBPrefsSynchronize() { defaults().synchronize(); }

void CBPrefsSynchronizeOnMainThread(bool wait)
{
  if (wait)
    ZPHMainThread::sync([] { CBPrefsSynchronize(); });
  else
    ZPHMainThread::async([] { CBPrefsSynchronize(); });
}

void CBPrefsSetObjectForKeyOnMainThread(const QVariant& object, const QString& key, bool wait)
{
  // Without an object the dictionary has no "obj", which removes the key.
  QVariantMap dictionary{{QStringLiteral("key"), key}};
  if (!isNil(object))
    dictionary.insert(QStringLiteral("obj"), object);
  if (wait)
    ZPHMainThread::sync([dictionary] { CBPrefs::setObjectForKeyWithDictionary(dictionary); });
  else
    ZPHMainThread::async([dictionary] { CBPrefs::setObjectForKeyWithDictionary(dictionary); });
}

void CBPrefs::setObjectForKeyWithDictionary(const QVariantMap& dictionary)
{
  const QString key = dictionary.value(QStringLiteral("key")).toString();
  if (key.isEmpty())
    return;
  defaults().setObject(key, dictionary.value(QStringLiteral("obj")));
}

QString CBUserDefaultsPathWithKey(const QString& key) { return QStringLiteral("values.") + key; }

void CBPrefsAddObserver(QObject* observer, const QString& key, std::function<void(const QString& keyPath)> callback)
{
  if (observer == nullptr || !callback)
    return;
  const QString keyPath = CBUserDefaultsPathWithKey(key);
  Observation observation{observer, key, {}, {}};
  observation.valueConnection = defaults().observe(
      key, observer, [keyPath, callback = std::move(callback)](const QVariant&) { callback(keyPath); });
  observation.destroyedConnection =
      QObject::connect(observer, &QObject::destroyed, [observer] { forgetObserver(observer); });

  Observations& all = observations();
  QMutexLocker locker(&all.mutex);
  all.list.append(observation);
}

void CBPrefsRemoveObserver(QObject* observer, const QString& key)
{
  Observation observation;
  {
    Observations& all = observations();
    QMutexLocker locker(&all.mutex);
    // The latest matching observation: each removal balances one addition.
    qsizetype index = all.list.size() - 1;
    while (index >= 0 && !(all.list[index].observer == observer && all.list[index].key == key)) --index;
    if (index < 0)
      return;
    observation = all.list.takeAt(index);
  }
  QObject::disconnect(observation.valueConnection);
  QObject::disconnect(observation.destroyedConnection);
}
