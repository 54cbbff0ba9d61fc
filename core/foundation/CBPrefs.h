#pragma once

// Preferences access: plain functions over the standard user defaults
// (ZPHUserDefaults::standardUserDefaults()), the keys under which the
// settings are stored, and observation of one setting. Every setter takes
// the value first and the key second. A null QString / invalid QVariant is
// "null".

#include <QtCore/QDateTime>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtCore/QVariantMap>

#include <functional>

// Keys of the core library's settings.
extern const QString ZPHLastVersionRun;
extern const QString ZPHBrowserShowFaviconsInTabs;
extern const QString ZPHBrowserTabsVisibility;
extern const QString ZPHVerticalTabs;
extern const QString ZPHBrowserTabsViewState;
extern const QString ZPHReturnToNewsItemsOnCloseTab;
extern const QString ZPHAutoHideSubs;
extern const QString ZPHBrowserOpenLinksInZephlin;
extern const QString ZPHBrowserSelectNewTabsAsTheyAreCreated;
extern const QString ZPHDisplayCloseAllTabsWarningSheet;
extern const QString ZPHHideReadItems;
extern const QString ZPHHideReadArticles;
extern const QString ZPHHideFeedsWithNoUnread;
extern const QString ZPHOpenInBrowserInBackgroundDefaultsKey;
extern const QString ZPHStyleMarginIndexKey;
extern const QString ZPHKeyMapSetName;
extern const QString ZPHPluginsEnabled;
extern const QString ZPHAlwaysHideTabIndicatorKey;
extern const QString ZPHPictureLayoutKey;

// Posted by the article style settings, with no object and no user info,
// whenever a font family, a font size or the margin index changes.
extern const QString ZPHStylesDidChangeNotification;  // "ZPHStylesDidChangeNotification"

// Selection identifiers (not keys).
extern const QString ZPHUnreadCountSelection;
extern const QString ZPHAllUnreadFeedsSelection;
extern const QString ZPHTodayFeedSelection;

// The stored integer; 0 when absent.
qint64 CBPrefsGetInt(const QString& key);
// The stored boolean; false when absent.
bool CBPrefsGetBool(const QString& key);
// The stored string; "" (never null) when there is none.
QString CBPrefsGetString(const QString& key);
// The stored object, or null.
QVariant CBPrefsGetObject(const QString& key);
// Null when nothing is stored, else the stored object (a date, or a string
// read as a date phrase) through CBCalendarDateWithNSDate().
QDateTime CBPrefsGetCalendarDate(const QString& key);
// The same with the clock passed in ("now" carries the local zone); tests.
QDateTime CBPrefsGetCalendarDate(const QString& key, const QDateTime& now);

void CBPrefsSetInt(qint64 value, const QString& key);
void CBPrefsSetBool(bool value, const QString& key);
// Reads the boolean and stores its negation, in two steps: not atomic
// against another writer of the same key.
void CBPrefsToggleBool(const QString& key);
// Stores the string; null removes the key.
void CBPrefsSetString(const QString& value, const QString& key);
// Stores the object; null does nothing (the key keeps its value).
void CBPrefsSetObject(const QVariant& value, const QString& key);

// Writes pending changes to disk.
void CBPrefsSynchronize();
// The same on the main thread; with `wait` the caller blocks until it is done
// (at once when called on the main thread).
void CBPrefsSynchronizeOnMainThread(bool wait);
// Sets the key to the object on the main thread, so that observers run
// there; null removes the key. With `wait` the caller blocks until it is done
// (at once when called on the main thread).
void CBPrefsSetObjectForKeyOnMainThread(const QVariant& object, const QString& key, bool wait);

class CBPrefs {
public:
  // Sets the defaults' value for the "key" entry to the "obj" entry; a
  // missing "obj" removes the key, a missing or empty "key" does nothing.
  static void setObjectForKeyWithDictionary(const QVariantMap& dictionary);
};

// "values." followed by the key; "values." for null.
QString CBUserDefaultsPathWithKey(const QString& key);

// Calls `callback` with CBUserDefaultsPathWithKey(key) whenever the setting
// changes, until the matching CBPrefsRemoveObserver or until `observer` is
// destroyed. The callback runs on the observer's thread (for the usual
// main-thread observer: on the main thread, also for writes made on another
// thread) and reads the new value itself. Each call adds one observation;
// balance it with one CBPrefsRemoveObserver. A null observer or callback is
// ignored.
void CBPrefsAddObserver(QObject* observer, const QString& key, std::function<void(const QString& keyPath)> callback);
// Ends one observation that `observer` added for `key`.
void CBPrefsRemoveObserver(QObject* observer, const QString& key);
