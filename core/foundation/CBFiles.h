#pragma once

// Application identity, standard folders, null-safe file helpers and the
// paths of compiled-in resources, for the core library. Every function answers false, a null string, nullopt or 0
// rather than failing loudly; none of them passes an error on.

#include <QtCore/QStandardPaths>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <optional>

// The application's name (QCoreApplication::applicationName() on first
// use), kept for the process; CBSetAppName replaces it.
QString CBAppName();
void CBSetAppName(const QString& name);

// The application's identifier in reverse-domain form: the organisation
// domain's labels in reverse order and the application name, lower-cased
// ("fernhollow.com" and "Zephlin" give "com.fernhollow.zephlin"). Kept for
// the process. Error domains use it.
QString CBAppIdentifier();

// The first folder of that kind for the user, or null when there is none.
QString CBUserDirectoryPath(QStandardPaths::StandardLocation kind);

// The application's data folder: QStandardPaths::AppDataLocation, which
// already ends with the organisation and application names (nothing more is
// appended). Made with its parent folders on first use (a failure is
// ignored; the path is still answered); kept for the process.
QString CBAppSupportFolderPath();
// `filename` inside CBAppSupportFolderPath().
QString CBAppSupportFilePath(const QString& filename);

// The name without a final ".app" (case-sensitive), else the name.
QString CBAppNameWithAppSuffixStripped(const QString& name);

// The last component of the path as shown to the user; with
// `stripAppSuffix`, without a final ".app".
QString CBFileDisplayNameAtPath(const QString& path, bool stripAppSuffix);

// Whether a file or folder exists at the path (a symbolic link counts when
// its target exists).
bool CBFileExists(const QString& path);
bool CBFileExistsAndIsNotFolder(const QString& path);
bool CBFileIsFolder(const QString& path);

// When something exists at the path: whether it is a folder. Otherwise
// makes the folder, without parent folders, and answers whether that
// worked.
bool CBFolderCreate(const QString& path);

// True when something (a file counts) already exists at the path, else
// CBFolderCreate; false for an empty path.
bool CBSureFolder(const QString& path);

// folder/name; with `create`, CBSureFolder on it first (its result is not
// reported). Null for a null folder.
QString CBSubFolderInFolder(const QString& folder, const QString& name, bool create);

// Whether the folder holds, at any depth, an entry whose path relative to
// the folder does not start with ".".
bool CBFolderHasAtLeastOneVisibleFile(const QString& folder);

// The names in the folder (hidden ones too, not deep, by name); nullopt
// when the folder cannot be read.
std::optional<QStringList> CBFilenameArrayForFolder(const QString& folder);

// Full paths of the entries whose names do not start with "."; folders only
// with `includeFolders`. By name; nullopt when the folder cannot be read.
std::optional<QStringList> CBFilePathArrayForFolder(const QString& folder, bool includeFolders);

// Copies a file or a folder (deep; symbolic links as links) to
// `destination`, replacing what is there. The copy is made under a
// temporary name beside the destination and then renamed over it, so a
// failed copy leaves an earlier destination untouched. False when either
// path is empty, the source does not exist or the copy failed.
bool CBFileCopy(const QString& source, const QString& destination);

// Removes a file, a symbolic link or a folder with its contents; true for an
// empty path or when nothing is there.
bool CBFileDelete(const QString& path);

// Answers a file operation's error: logs "File delete error: <description>"
// and answers false, so the operation stops at its first error.
class CBFileManagerDeleteHandler {
public:
  static bool fileManagerShouldProcessAfterError(const QString& errorDescription);
};

// Copies every entry of `sourceFolder` whose name does not start with "."
// into `destinationFolder` with CBFileCopy, stopping with false at the first
// failure. False unless both are folders; true when all were copied (also
// when there were none).
bool CBFileCopyFilesInFolder(const QString& sourceFolder, const QString& destinationFolder);

// Sets the item's permissions to 0600 (owner read and write only).
bool CBFileSetPermissionsToOwnerReadAndWriteOnly(const QString& path);

// The size in bytes; 0 when it cannot be read.
qint64 CBFileSize(const QString& path);

// The user's temporary folder for this application: the application name
// inside QStandardPaths::TempLocation, made with mode 0700 when missing and
// set back to 0700 when it exists and is ours. Null when it cannot be made,
// or when the name is taken by a symbolic link, something that is not a
// folder, or a folder of another user.
QString CBTempDirectory();
// `filename` inside CBTempDirectory(); null when that is null.
QString CBTempFilePathWithFilename(const QString& filename);

// Whether the file starts with the 8-byte PNG signature.
bool CBFileIsPNG(const QString& path);

// The path of a resource compiled into the program: ":/" and the file name
// (name and extension), or null when there is no such resource.
QString cb_pathForResourceWithSuffix(const QString& filenameWithSuffix);
