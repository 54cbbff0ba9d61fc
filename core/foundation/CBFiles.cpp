#include "foundation/CBFiles.h"

#include "foundation/CBData.h"
#include "foundation/CBString.h"
#include "platform/ZPHLog.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QUuid>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QMutex& appNameLock()
{
  static QMutex lock;
  return lock;
}

QString& cachedAppName()
{
  static QString name;
  return name;
}

QString appendPathComponent(const QString& folder, const QString& name)
{
  if (folder.endsWith(QLatin1Char('/')))
    return folder + name;
  return folder + QLatin1Char('/') + name;
}

bool startsWithDot(const QString& name) { return name.startsWith(QLatin1Char('.')); }

// A fresh hidden name beside `path`, for staging and setting aside.
QString siblingTemporaryPath(const QString& path, const char* purpose)
{
  const QFileInfo info(path);
  return appendPathComponent(info.absolutePath(), QStringLiteral(".%1.%2-%3")
                                                      .arg(info.fileName(), QLatin1String(purpose),
                                                           QUuid::createUuid().toString(QUuid::Id128).left(12)));
}

// Copies one item to `target`, which must not exist: a regular file with its
// permissions, a symbolic link as a link, a folder with everything in it.
bool copyItem(const QString& source, const QString& target)
{
  const QFileInfo info(source);
  if (info.isSymLink()) {
    QByteArray linkTarget(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(QFile::encodeName(source).constData(), linkTarget.data(), linkTarget.size());
    if (length < 0 || length >= linkTarget.size())
      return false;
    linkTarget.truncate(length);
    return ::symlink(linkTarget.constData(), QFile::encodeName(target).constData()) == 0;
  }
  if (info.isDir()) {
    if (::mkdir(QFile::encodeName(target).constData(), 0700) != 0)
      return false;
    const QStringList names =
        QDir(source).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
      if (!copyItem(appendPathComponent(source, name), appendPathComponent(target, name)))
        return false;
    }
    return QFile::setPermissions(target, info.permissions());
  }
  if (info.isFile())
    return QFile::copy(source, target);
  return false;  // devices, pipes and sockets are not copied
}

// Puts `staged` in the place of `destination`, whatever is there. A plain
// rename replaces a file; a folder, or a file replaced by a folder or the
// reverse, is set aside first and removed once the new item is in place.
bool replaceItem(const QString& staged, const QString& destination)
{
  const QByteArray stagedName = QFile::encodeName(staged);
  const QByteArray destinationName = QFile::encodeName(destination);
  if (std::rename(stagedName.constData(), destinationName.constData()) == 0)
    return true;
  if (errno != EISDIR && errno != ENOTDIR && errno != ENOTEMPTY && errno != EEXIST)
    return false;
  const QByteArray aside = QFile::encodeName(siblingTemporaryPath(destination, "old"));
  if (std::rename(destinationName.constData(), aside.constData()) != 0)
    return false;
  if (std::rename(stagedName.constData(), destinationName.constData()) != 0) {
    std::rename(aside.constData(), destinationName.constData());
    return false;
  }
  CBFileDelete(QFile::decodeName(aside));
  return true;
}

}  // namespace

QString CBAppName()
{
  QMutexLocker locker(&appNameLock());
  QString& name = cachedAppName();
  if (name.isNull())
    name = QCoreApplication::applicationName();
  return name;
}

void CBSetAppName(const QString& name)
{
  QMutexLocker locker(&appNameLock());
  cachedAppName() = name;
}

QString CBAppIdentifier()
{
  static const QString identifier = [] {
    QStringList parts = QCoreApplication::organizationDomain().toLower().split(QLatin1Char('.'), Qt::SkipEmptyParts);
    std::reverse(parts.begin(), parts.end());
    const QString name = QCoreApplication::applicationName().toLower();
    if (!name.isEmpty())
      parts.append(name);
    return parts.join(QLatin1Char('.'));
  }();
  return identifier;
}

QString CBUserDirectoryPath(QStandardPaths::StandardLocation kind)
{
  const QStringList paths = QStandardPaths::standardLocations(kind);
  return paths.isEmpty() ? QString() : paths.first();
}

QString CBAppSupportFolderPath()
{
  static const QString path = [] {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!folder.isEmpty())
      QDir().mkpath(folder);
    return folder;
  }();
  return path;
}

QString CBAppSupportFilePath(const QString& filename)
{
  return appendPathComponent(CBAppSupportFolderPath(), filename);
}

QString CBAppNameWithAppSuffixStripped(const QString& name)
{
  if (name.endsWith(QLatin1String(".app")))
    return name.left(name.size() - 4);
  return name;
}

QString CBFileDisplayNameAtPath(const QString& path, bool stripAppSuffix)
{
  if (path.isEmpty())
    return path;
  QString name = QFileInfo(QDir::cleanPath(path)).fileName();
  if (name.isEmpty())
    name = path;
  return stripAppSuffix ? CBAppNameWithAppSuffixStripped(name) : name;
}

bool CBFileExists(const QString& path) { return !path.isEmpty() && QFileInfo::exists(path); }

bool CBFileExistsAndIsNotFolder(const QString& path)
{
  if (path.isEmpty())
    return false;
  const QFileInfo info(path);
  return info.exists() && !info.isDir();
}

bool CBFileIsFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

bool CBFolderCreate(const QString& path)
{
  if (path.isEmpty())
    return false;
  if (CBFileExists(path))
    return CBFileIsFolder(path);
  return QDir().mkdir(path);
}

bool CBSureFolder(const QString& path)
{
  if (path.isEmpty())
    return false;
  if (CBFileExists(path))
    return true;
  return CBFolderCreate(path);
}

QString CBSubFolderInFolder(const QString& folder, const QString& name, bool create)
{
  if (folder.isNull())
    return {};
  const QString path = appendPathComponent(folder, name);
  if (create)
    CBSureFolder(path);
  return path;
}

bool CBFolderHasAtLeastOneVisibleFile(const QString& folder)
{
  // Every entry deeper down lies inside a top-level entry, and its relative
  // path starts with that entry's name: looking at the top level is enough.
  const std::optional<QStringList> names = CBFilenameArrayForFolder(folder);
  if (!names)
    return false;
  return std::any_of(names->cbegin(), names->cend(), [](const QString& name) { return !startsWithDot(name); });
}

std::optional<QStringList> CBFilenameArrayForFolder(const QString& folder)
{
  if (folder.isEmpty())
    return std::nullopt;
  const QFileInfo info(folder);
  if (!info.isDir() || !info.isReadable() || !info.isExecutable())
    return std::nullopt;
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

std::optional<QStringList> CBFilePathArrayForFolder(const QString& folder, bool includeFolders)
{
  const std::optional<QStringList> names = CBFilenameArrayForFolder(folder);
  if (!names)
    return std::nullopt;
  QStringList paths;
  for (const QString& name : *names) {
    if (startsWithDot(name))
      continue;
    const QString path = appendPathComponent(folder, name);
    if (!includeFolders && CBFileIsFolder(path))
      continue;
    paths.append(path);
  }
  return paths;
}

bool CBFileCopy(const QString& source, const QString& destination)
{
  if (source.isEmpty() || destination.isEmpty())
    return false;
  const QFileInfo sourceInfo(source);
  if (!sourceInfo.exists() && !sourceInfo.isSymLink())
    return false;
  const QString staged = siblingTemporaryPath(destination, "copy");
  if (!copyItem(source, staged) || !replaceItem(staged, destination)) {
    qCWarning(zphCore) << "cannot copy" << source << "to" << destination;
    CBFileDelete(staged);
    return false;
  }
  return true;
}

bool CBFileDelete(const QString& path)
{
  if (path.isEmpty())
    return true;
  const QFileInfo info(path);
  if (info.isSymLink() || !info.isDir()) {
    if (!info.exists() && !info.isSymLink())
      return true;
    return QFile::remove(path);
  }
  return QDir(path).removeRecursively();
}

bool CBFileCopyFilesInFolder(const QString& sourceFolder, const QString& destinationFolder)
{
  if (!CBFileIsFolder(sourceFolder) || !CBFileIsFolder(destinationFolder))
    return false;
  const std::optional<QStringList> names = CBFilenameArrayForFolder(sourceFolder);
  if (!names)
    return false;
  for (const QString& name : *names) {
    if (startsWithDot(name))
      continue;
    if (!CBFileCopy(appendPathComponent(sourceFolder, name), appendPathComponent(destinationFolder, name)))
      return false;
  }
  return true;
}

bool CBFileSetPermissionsToOwnerReadAndWriteOnly(const QString& path)
{
  return !path.isEmpty() && QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

qint64 CBFileSize(const QString& path)
{
  if (path.isEmpty())
    return 0;
  const QFileInfo info(path);
  return info.exists() ? info.size() : 0;
}

QString CBTempDirectory()
{
  QString base = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  if (base.isEmpty()) {
    base = QDir::homePath() + QStringLiteral("/.tmp");
    ::mkdir(QFile::encodeName(base).constData(), 0700);
  }
  const QString name = CBAppName();
  if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String("..") || name == QLatin1String("."))
    return {};
  const QString path = appendPathComponent(base, name);
  const QByteArray nativePath = QFile::encodeName(path);
  if (::mkdir(nativePath.constData(), 0700) != 0 && errno != EEXIST) {
    qCWarning(zphCore) << "cannot make" << path << ":" << qt_error_string(errno);
    return {};
  }
  // Opened without following a link, so the checks and the mode change
  // apply to the very folder whose path is answered.
  const int fd = ::open(nativePath.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    qCWarning(zphCore) << "refusing" << path << "(not a folder of ours):" << qt_error_string(errno);
    return {};
  }
  struct stat status {};
  bool ok = ::fstat(fd, &status) == 0 && status.st_uid == ::geteuid();
  if (!ok)
    qCWarning(zphCore) << "refusing" << path << "(belongs to another user)";
  else if ((status.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0) {
    qCWarning(zphCore) << "cannot set the mode of" << path << ":" << qt_error_string(errno);
    ok = false;
  }
  ::close(fd);
  return ok ? path : QString();
}

QString CBTempFilePathWithFilename(const QString& filename)
{
  const QString folder = CBTempDirectory();
  if (folder.isNull())
    return {};
  return appendPathComponent(folder, filename);
}

bool CBFileIsPNG(const QString& path)
{
  if (path.isEmpty())
    return false;
  // The line reads "CBFileIsPNG: error reading <path>" (the log handler
  // puts the function's name first).
  const auto readingFailed = [&path] {
    qCWarning(zphCore).noquote() << QStringLiteral("error reading %1").arg(path);
    return false;
  };
  // A folder opens but cannot be read; a missing or unreadable file is no PNG.
  if (QFileInfo(path).isDir())
    return readingFailed();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return false;
  const QByteArray head = file.read(8);
  if (file.error() != QFileDevice::NoError)
    return readingFailed();
  return dataIsPNG(head);
}

QString cb_pathForResourceWithSuffix(const QString& filenameWithSuffix)
{
  QString filename;
  QString suffix;
  cb_splitFilenameWithSuffix(filenameWithSuffix, &filename, &suffix);
  if (filename.isEmpty())
    return {};
  const QString path = QStringLiteral(":/") + filename + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
  return QFileInfo::exists(path) ? path : QString();
}

bool CBFileManagerDeleteHandler::fileManagerShouldProcessAfterError(const QString& errorDescription)
{
  qCWarning(zphCore).noquote() << QStringLiteral("File delete error: %1").arg(errorDescription);
  return false;
}
