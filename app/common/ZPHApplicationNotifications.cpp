#include "common/ZPHApplicationNotifications.h"

const QString ZPHSelectedURLDidUpdateNotification = QStringLiteral("ZPHSelectedURLDidUpdateNotification");
const QString ZPHMouseOverURLDidUpdateNotification = QStringLiteral("ZPHMouseOverURLDidUpdateNotification");
const QString ZPHURLNotificationViewKey = QStringLiteral("view");
const QString ZPHPresentedSharableItemDidChangeNotification =
    QStringLiteral("ZPHPresentedSharableItemDidChangeNotification");
const QString ZPHSharableItemKey = QStringLiteral("sharableItem");
const QString ZPHImportDidFinishNotification = QStringLiteral("ZPHImportDidSucceedNotification");
const QString ZPHImportedFeedsKey = QStringLiteral("ZPHImportedFeeds");
const QString ZPHDuplicateFeedsKey = QStringLiteral("ZPHDuplicateFeeds");
const QString ZPHShouldShowBezelKey = QStringLiteral("ZPHShouldShowBezel");
const QString ZPHFolderAddedNotification = QStringLiteral("ZPHFolderAddedNotification");
const QString ZPHSendToInstapaperClientDidStartNotification =
    QStringLiteral("ZPHSendToInstapaperClientDidStartNotification");
const QString ZPHSendToInstapaperClientDidSucceedNotification =
    QStringLiteral("ZPHSendToInstapaperClientDidSucceedNotification");
const QString ZPHSendToInstapaperClientDidFailNotification =
    QStringLiteral("ZPHSendToInstapaperClientDidFailNotification");
const QString ZPHAppDelegateDidOpenURLInExternalWebBrowserNotification =
    QStringLiteral("ZPHAppDelegateDidOpenURLInExternalWebBrowserNotification");
const QString ZPHAppDelegateBackgroundTabOpenedNotification =
    QStringLiteral("ZPHAppDelegateBackgroundTabOpenedNotification");
const QString ZPHMainWindowChildWindowWillAddNotification =
    QStringLiteral("ZPHMainWindowChildWindowWillAddNotification");
const QString ZPHMainWindowChildWindowDidAddNotification = QStringLiteral("ZPHMainWindowChildWindowDidAddNotification");
const QString ZPHMainWindowChildWindowKey = QStringLiteral("ZPHMainwWindowChildWindowKey");
const QString ZPHTabsTableViewControllerTabsNeedsDisplayNotification =
    QStringLiteral("ZPHTabsTableViewControllerTabsNeedsDisplayNotification");
const QString ZPHShouldUpdateNewsItemsThumbnailKey = QStringLiteral("shouldUpdateNewsItemsThumbnail");
