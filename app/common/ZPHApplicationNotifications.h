#pragma once

// Qt kind: none (settings keys and notification names).

#include <QtCore/QString>

// Notifications that parts of the application still to be written post and
// the main window and the source list already observe. Each is defined
// here once; the part that posts it uses this name.

// The article views: the link selected in (under the mouse over) a web
// view; userInfo "view" -> the web view (QObject*), "url" (CBURLKey) -> the
// address, absent for none.
extern const QString ZPHSelectedURLDidUpdateNotification;   // "ZPHSelectedURLDidUpdateNotification"
extern const QString ZPHMouseOverURLDidUpdateNotification;  // "ZPHMouseOverURLDidUpdateNotification"
extern const QString ZPHURLNotificationViewKey;             // "view"

// The article list: the item the sharing commands act on; userInfo
// "sharableItem" -> the item, or a null QVariant for none.
extern const QString ZPHPresentedSharableItemDidChangeNotification;  // "ZPHPresentedSharableItemDidChangeNotification"
extern const QString ZPHSharableItemKey;                             // "sharableItem"

// An import of a subscription list finished; userInfo "ZPHImportedFeeds" and
// "ZPHDuplicateFeeds" -> lists of feeds, optional "ZPHShouldShowBezel" ->
// bool (false: no bezel).
extern const QString ZPHImportDidFinishNotification;  // "ZPHImportDidSucceedNotification"
extern const QString ZPHImportedFeedsKey;             // "ZPHImportedFeeds"
extern const QString ZPHDuplicateFeedsKey;            // "ZPHDuplicateFeeds"
extern const QString ZPHShouldShowBezelKey;           // "ZPHShouldShowBezel"

// The New Folder sheet added a folder; userInfo "name" -> its name.
extern const QString ZPHFolderAddedNotification;  // "ZPHFolderAddedNotification"

// The read-later client: sending started, succeeded, failed (userInfo
// ZPHUnderlyingErrorKey -> the error, a ZPHError).
extern const QString ZPHSendToInstapaperClientDidStartNotification;    // same text
extern const QString ZPHSendToInstapaperClientDidSucceedNotification;  // same text
extern const QString ZPHSendToInstapaperClientDidFailNotification;     // same text

// The application delegate handed an address to the desktop's browser;
// object: the address (QUrl).
extern const QString ZPHAppDelegateDidOpenURLInExternalWebBrowserNotification;  // same text

// A link opened in a browser tab that was not selected (the tab indicator
// shows it); no object.
extern const QString ZPHAppDelegateBackgroundTabOpenedNotification;  // same text

// A view laid over the main window (the link status bar) is about to be
// put above the window's other views, and was; object: the window
// (QWidget*), userInfo ZPHMainWindowChildWindowKey: the view (QWidget*).
// The tab indicator stays above it.
extern const QString ZPHMainWindowChildWindowWillAddNotification;  // same text
extern const QString ZPHMainWindowChildWindowDidAddNotification;   // same text
extern const QString ZPHMainWindowChildWindowKey;                  // "ZPHMainwWindowChildWindowKey"

// A tab's row needs drawing again. Object: the tab (QObject*), or none for
// the news-items tab (the article page finished or failed loading); userInfo
// "shouldUpdateNewsItemsThumbnail" (bool, true when missing). The tabs list
// redraws the row and, for the news-items tab, its picture.
extern const QString ZPHTabsTableViewControllerTabsNeedsDisplayNotification;  // same text
extern const QString ZPHShouldUpdateNewsItemsThumbnailKey;                    // "shouldUpdateNewsItemsThumbnail"
