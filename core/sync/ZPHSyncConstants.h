#pragma once

// The names the sync client shares with the application: its notifications,
// its settings (user-defaults keys) and its errors. Every notification name
// and key is its own name as text, e.g. "ZPHSyncDataImportedNotification".

#include <QtCore/QString>

// --- Notifications.

// Posted on the main thread when a sync cycle starts; object: the manager
// (QObject*).
extern const QString ZPHSyncDownloadingFeedsAndFoldersListNotification;
// Posted on a sync thread after the server's feeds and folders were merged;
// object: the reply's "data" object (QVariantMap), null without one.
extern const QString ZPHSyncDataImportedNotification;
// Posted on a sync thread after the local feeds and folders were sent and
// the server accepted them; object: the parsed reply (QVariantMap).
extern const QString ZPHSyncDataExportedNotification;
// The same two for article states; object: the parsed reply (QVariantMap).
extern const QString ZPHSyncArticleDataImportedNotification;
extern const QString ZPHSyncArticleDataExportedNotification;

// The first sync of an account found feeds and folders on both sides.
// Posted on the main thread, no object; the application asks the user and
// answers with ZPHSyncMergeOrPurgeDataResponse, user info
// {ZPHSyncMergeOrPurgeResponseKey: "merge", "purge" or "cancel"}.
extern const QString ZPHSyncMergeOrPurgeDataRequest;
extern const QString ZPHSyncMergeOrPurgeDataResponse;
extern const QString ZPHSyncMergeOrPurgeResponseKey;  // "response"
extern const QString ZPHSyncMergeResponse;            // "merge"
extern const QString ZPHSyncPurgeResponse;            // "purge"
extern const QString ZPHSyncCancelResponse;           // "cancel"

// The server asked for a login and no usable credentials are stored.
// Posted on the main thread; object: the waiting call
// (std::shared_ptr<CBOperation>). The application answers on the main
// thread with ZPHSyncServiceLoginCredentialsProvided (object: a
// ZPHCredentialsResult) or ZPHSyncServiceAccountCreationRequested.
extern const QString ZPHSyncServiceLoginCredentialsRequired;
extern const QString ZPHSyncServiceLoginCredentialsProvided;
// Object: a ZPHCredentialsResult with user name, password and repeated
// password. The waiting call gives up and the manager creates the account.
extern const QString ZPHSyncServiceAccountCreationRequested;
// Posted on the main thread after an account creation call; object: the
// server's parsed reply (QVariantMap; "status" is "ok" on success), null
// when there was no readable reply.
extern const QString ZPHSyncServiceAccountCreationResponse;
// Posted when a new sync password was stored; no object.
extern const QString ZPHSyncServicePasswordDidChangeNotification;

// Posted on the main thread (through the account's throttler) for a feed or
// folder that the server added: object the local account (QObject*), user
// info ZPHFolderOrFeedKey -> the feed (ZPHManagedObject*), CBURLKey -> its
// address (QUrl), "description" -> the same address.
extern const QString ZPHRemoteFeedAddedNotification;
// Object: the folder's identifier (ZPHManagedObjectID); no user info.
extern const QString ZPHRemoteFolderAddedNotification;
// No object: the server changed the tree (posted after every merge of feeds
// and folders) / replaced the local data (after a purge).
extern const QString ZPHRemoteFeedOrFolderReorderingNotification;
extern const QString ZPHRemoteFeedOrFolderMetadataNotification;

// --- Settings (user-defaults keys).

// The sync server's base address, e.g. "https://sync.example.com/api", without
// a trailing slash. https is required for any server not on the loopback.
extern const QString ZPHSyncServiceBaseURL;
// The sync user name ("" after a reset).
extern const QString ZPHSyncServiceUsernameKey;
// Set to true to reset the sync account and (re)start the client; the client
// sets it back to false.
extern const QString ZPHSyncResetAccountInfo;
// True after the first completed feeds-and-folders pass for this user.
extern const QString ZPHSyncDataHasBeenSynced;
// The user name of that first completed pass.
extern const QString ZPHLastValidUserNameKey;
// The number sent as "tag" with every call.
extern const QString ZPHSyncURLTagIndex;
// The newest server dates seen (seconds since 1970); what the next list
// calls ask changes since.
extern const QString ZPHSyncLastFeedsAndFolderModTimeStamp;
extern const QString ZPHSyncLastArticleModTimeStamp;

// --- The sync password in the secret store: this service, the user name as
// account.
extern const QString ZPHSyncKeychainServiceName;  // "Zephlin: ZPHSyncService"

// --- Errors of the sync calls.
extern const QString ZPHSyncErrorDomain;  // "ZPHSyncErrorDomain"
enum ZPHSyncErrorCode : qint64 {
  // No server address is set, or it is not a usable http or https address.
  ZPHSyncErrorNoServer = 1,
  // A plain http address for a server that is not on the loopback.
  ZPHSyncErrorInsecureServer = 2,
  // The server answered with a status other than 2xx.
  ZPHSyncErrorBadStatus = 3,
  // The reply is not a JSON object.
  ZPHSyncErrorBadReply = 4,
  // The user closed the first sync's merge-or-purge question unanswered.
  ZPHSyncErrorNoAnswer = 5,
  // The request body could not be made.
  ZPHSyncErrorBodyNotWritten = 6,
  // The store could not be read or written.
  ZPHSyncErrorStore = 7,
  // The call was cancelled (the client stopped, or the user declined).
  ZPHSyncErrorCancelled = 8,
};
