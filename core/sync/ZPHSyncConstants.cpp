#include "sync/ZPHSyncConstants.h"

#define ZPH_SYNC_NAME(name) const QString name = QStringLiteral(#name)

ZPH_SYNC_NAME(ZPHSyncDownloadingFeedsAndFoldersListNotification);
ZPH_SYNC_NAME(ZPHSyncDataImportedNotification);
ZPH_SYNC_NAME(ZPHSyncDataExportedNotification);
ZPH_SYNC_NAME(ZPHSyncArticleDataImportedNotification);
ZPH_SYNC_NAME(ZPHSyncArticleDataExportedNotification);
ZPH_SYNC_NAME(ZPHSyncMergeOrPurgeDataRequest);
ZPH_SYNC_NAME(ZPHSyncMergeOrPurgeDataResponse);
const QString ZPHSyncMergeOrPurgeResponseKey = QStringLiteral("response");
const QString ZPHSyncMergeResponse = QStringLiteral("merge");
const QString ZPHSyncPurgeResponse = QStringLiteral("purge");
const QString ZPHSyncCancelResponse = QStringLiteral("cancel");
ZPH_SYNC_NAME(ZPHSyncServiceLoginCredentialsRequired);
ZPH_SYNC_NAME(ZPHSyncServiceLoginCredentialsProvided);
ZPH_SYNC_NAME(ZPHSyncServiceAccountCreationRequested);
ZPH_SYNC_NAME(ZPHSyncServiceAccountCreationResponse);
ZPH_SYNC_NAME(ZPHSyncServicePasswordDidChangeNotification);
ZPH_SYNC_NAME(ZPHRemoteFeedAddedNotification);
ZPH_SYNC_NAME(ZPHRemoteFolderAddedNotification);
ZPH_SYNC_NAME(ZPHRemoteFeedOrFolderReorderingNotification);
ZPH_SYNC_NAME(ZPHRemoteFeedOrFolderMetadataNotification);

ZPH_SYNC_NAME(ZPHSyncServiceBaseURL);
ZPH_SYNC_NAME(ZPHSyncServiceUsernameKey);
ZPH_SYNC_NAME(ZPHSyncResetAccountInfo);
ZPH_SYNC_NAME(ZPHSyncDataHasBeenSynced);
ZPH_SYNC_NAME(ZPHLastValidUserNameKey);
ZPH_SYNC_NAME(ZPHSyncURLTagIndex);
ZPH_SYNC_NAME(ZPHSyncLastFeedsAndFolderModTimeStamp);
ZPH_SYNC_NAME(ZPHSyncLastArticleModTimeStamp);

const QString ZPHSyncKeychainServiceName = QStringLiteral("Zephlin: ZPHSyncService");

ZPH_SYNC_NAME(ZPHSyncErrorDomain);

#undef ZPH_SYNC_NAME
