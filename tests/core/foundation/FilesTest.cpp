#include "foundation/CBFiles.h"
#include "platform/ZPHLog.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString& path)
{
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

mode_t modeOf(const QString& path)
{
  struct stat status {};
  if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
    return 0;
  return status.st_mode & 07777;
}

// Points the temporary location at `path` for one test.
class ScopedTempLocation {
public:
  explicit ScopedTempLocation(const QString& path) : m_old(qgetenv("TMPDIR")) { qputenv("TMPDIR", path.toUtf8()); }
  ~ScopedTempLocation() { qputenv("TMPDIR", m_old); }
  ScopedTempLocation(const ScopedTempLocation&) = delete;
  ScopedTempLocation& operator=(const ScopedTempLocation&) = delete;

private:
  QByteArray m_old;
};

}  // namespace

TEST(Files, ApplicationIdentityAndDataFolder)
{
  EXPECT_EQ(CBAppIdentifier(), "com.fernhollow.zephlin");
  EXPECT_EQ(CBAppName(), "Zephlin");
  CBSetAppName("Other");
  EXPECT_EQ(CBAppName(), "Other");
  CBSetAppName("Zephlin");

  const QString folder = CBAppSupportFolderPath();
  EXPECT_EQ(folder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
  EXPECT_TRUE(folder.endsWith("/Zephlin"));
  EXPECT_FALSE(folder.contains("Zephlin/Zephlin"));
  EXPECT_TRUE(QFileInfo(folder).isDir());
  EXPECT_EQ(CBAppSupportFilePath("Articles"), folder + "/Articles");
  EXPECT_EQ(CBUserDirectoryPath(QStandardPaths::GenericDataLocation),
            QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation).first());
}

TEST(Files, Names)
{
  const struct {
    const char* input;
    const char* stripped;
  } cases[] = {{"Zephlin.app", "Zephlin"}, {"Zephlin.APP", "Zephlin.APP"}, {".app", ""}, {"app", "app"}};
  for (const auto& c : cases) EXPECT_EQ(CBAppNameWithAppSuffixStripped(c.input), c.stripped) << c.input;

  EXPECT_EQ(CBFileDisplayNameAtPath("/opt/Zephlin.app", true), "Zephlin");
  EXPECT_EQ(CBFileDisplayNameAtPath("/opt/Zephlin.app/", false), "Zephlin.app");
  EXPECT_EQ(CBFileDisplayNameAtPath("/", false), "/");
  EXPECT_TRUE(CBFileDisplayNameAtPath(QString(), false).isNull());
  EXPECT_TRUE(cb_pathForResourceWithSuffix("no-such-resource.html").isNull());
  EXPECT_TRUE(cb_pathForResourceWithSuffix(QString()).isNull());
}

TEST(Files, ExistenceAndFolders)
{
  ZPHTestTempDir dir;
  const QString file = dir.writeFile("file.txt", "x");
  const QString folder = dir.filePath("folder");

  EXPECT_FALSE(CBFileExists(QString()));
  EXPECT_TRUE(CBFileExists(file));
  EXPECT_TRUE(CBFileExistsAndIsNotFolder(file));
  EXPECT_FALSE(CBFileIsFolder(file));

  EXPECT_TRUE(CBSureFolder(folder));
  EXPECT_TRUE(CBFileIsFolder(folder));
  EXPECT_FALSE(CBFileExistsAndIsNotFolder(folder));
  EXPECT_TRUE(CBFolderCreate(folder));

  // A file in the way counts for CBSureFolder, not for CBFolderCreate.
  EXPECT_TRUE(CBSureFolder(file));
  EXPECT_TRUE(CBFileExistsAndIsNotFolder(file));
  EXPECT_FALSE(CBFolderCreate(file));

  // No parent folders are made.
  EXPECT_FALSE(CBSureFolder(dir.filePath("a/b")));
  EXPECT_FALSE(CBFileExists(dir.filePath("a")));
  EXPECT_FALSE(CBSureFolder(QString()));

  EXPECT_EQ(CBSubFolderInFolder(dir.path(), "sub", false), dir.path() + "/sub");
  EXPECT_FALSE(CBFileExists(dir.filePath("sub")));
  EXPECT_EQ(CBSubFolderInFolder(dir.path() + "/", "sub", true), dir.path() + "/sub");
  EXPECT_TRUE(CBFileIsFolder(dir.filePath("sub")));
  EXPECT_TRUE(CBSubFolderInFolder(QString(), "sub", true).isNull());

  EXPECT_EQ(CBFileSize(file), 1);
  EXPECT_EQ(CBFileSize(dir.filePath("missing")), 0);
}

TEST(Files, Listings)
{
  ZPHTestTempDir dir;
  dir.writeFile("b.txt", "b");
  dir.writeFile("a.txt", "a");
  dir.writeFile(".hidden", "h");
  QDir(dir.path()).mkdir("folder");
  QDir(dir.path()).mkdir(".git");

  EXPECT_EQ(CBFilenameArrayForFolder(dir.path()), (QStringList{".git", ".hidden", "a.txt", "b.txt", "folder"}));
  EXPECT_EQ(CBFilePathArrayForFolder(dir.path(), false), (QStringList{dir.filePath("a.txt"), dir.filePath("b.txt")}));
  EXPECT_EQ(CBFilePathArrayForFolder(dir.path(), true),
            (QStringList{dir.filePath("a.txt"), dir.filePath("b.txt"), dir.filePath("folder")}));
  EXPECT_FALSE(CBFilenameArrayForFolder(dir.filePath("missing")).has_value());
  EXPECT_FALSE(CBFilePathArrayForFolder(dir.filePath("a.txt"), true).has_value());
  EXPECT_EQ(CBFilenameArrayForFolder(dir.filePath("folder")), QStringList());

  EXPECT_TRUE(CBFolderHasAtLeastOneVisibleFile(dir.path()));
  ZPHTestTempDir hiddenOnly;
  hiddenOnly.writeFile(".git/config", "x");
  hiddenOnly.writeFile(".DS_Store", "x");
  EXPECT_FALSE(CBFolderHasAtLeastOneVisibleFile(hiddenOnly.path()));
  QDir(hiddenOnly.path()).mkdir("empty");
  EXPECT_TRUE(CBFolderHasAtLeastOneVisibleFile(hiddenOnly.path()));
  EXPECT_FALSE(CBFolderHasAtLeastOneVisibleFile(dir.filePath("missing")));
}

TEST(Files, DeleteRemovesLinksNotTheirTargets)
{
  ZPHTestTempDir dir;
  EXPECT_TRUE(CBFileDelete(QString()));
  EXPECT_TRUE(CBFileDelete(dir.filePath("missing")));

  const QString kept = dir.writeFile("target/kept.txt", "k");
  ASSERT_TRUE(QFile::link(dir.filePath("target"), dir.filePath("link")));
  ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath("dangling")));
  EXPECT_TRUE(CBFileDelete(dir.filePath("link")));
  EXPECT_TRUE(CBFileDelete(dir.filePath("dangling")));
  EXPECT_FALSE(QFileInfo(dir.filePath("dangling")).isSymLink());
  EXPECT_TRUE(QFile::exists(kept));

  dir.writeFile("tree/a/b/c.txt", "c");
  EXPECT_TRUE(CBFileDelete(dir.filePath("tree")));
  EXPECT_FALSE(CBFileExists(dir.filePath("tree")));
}

TEST(Files, CopyReplacesTheDestinationOnlyWhenTheCopyWorked)
{
  ZPHTestTempDir dir;
  const QString source = dir.writeFile("source.txt", "new");
  const QString destination = dir.writeFile("out/destination.txt", "old");
  QFile::setPermissions(source, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

  EXPECT_FALSE(CBFileCopy(QString(), destination));
  EXPECT_FALSE(CBFileCopy(source, QString()));
  EXPECT_FALSE(CBFileCopy(dir.filePath("missing"), destination));
  EXPECT_EQ(contents(destination), "old");

  ASSERT_TRUE(CBFileCopy(source, destination));
  EXPECT_EQ(contents(destination), "new");
  EXPECT_EQ(modeOf(destination), 0700u);

  // A folder, deep, with hidden entries and a link kept as a link, over an
  // existing folder and over a file.
  dir.writeFile("tree/.hidden", "h");
  dir.writeFile("tree/sub/leaf.txt", "leaf");
  ASSERT_TRUE(QFile::link("sub/leaf.txt", dir.filePath("tree/link")));
  dir.writeFile("out/tree/stale.txt", "stale");
  ASSERT_TRUE(CBFileCopy(dir.filePath("tree"), dir.filePath("out/tree")));
  EXPECT_EQ(contents(dir.filePath("out/tree/sub/leaf.txt")), "leaf");
  EXPECT_EQ(contents(dir.filePath("out/tree/.hidden")), "h");
  EXPECT_EQ(QFileInfo(dir.filePath("out/tree/link")).symLinkTarget(), dir.filePath("out/tree/sub/leaf.txt"));
  EXPECT_FALSE(CBFileExists(dir.filePath("out/tree/stale.txt")));
  ASSERT_TRUE(CBFileCopy(dir.filePath("tree"), destination));
  EXPECT_TRUE(CBFileIsFolder(destination));

  // A folder holding something that cannot be copied (a pipe) fails, and
  // the earlier destination stays whole.
  dir.writeFile("broken/a.txt", "a");
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("broken/pipe")).constData(), 0600), 0);
  const QString oldFile = dir.writeFile("out/kept.txt", "old");
  EXPECT_FALSE(CBFileCopy(dir.filePath("broken"), oldFile));
  EXPECT_EQ(contents(oldFile), "old");
  EXPECT_FALSE(CBFileCopy(dir.filePath("broken"), dir.filePath("out/tree")));
  EXPECT_EQ(contents(dir.filePath("out/tree/sub/leaf.txt")), "leaf");
  EXPECT_FALSE(CBFileCopy(source, dir.filePath("no-such-folder/x.txt")));

  // Nothing staged is left behind.
  EXPECT_EQ(CBFilenameArrayForFolder(dir.filePath("out")), (QStringList{"destination.txt", "kept.txt", "tree"}));
}

TEST(Files, CopyFilesInFolder)
{
  ZPHTestTempDir dir;
  dir.writeFile("from/a.txt", "a");
  dir.writeFile("from/.hidden", "h");
  dir.writeFile("from/sub/b.txt", "b");
  QDir(dir.path()).mkdir("to");
  dir.writeFile("to/a.txt", "old");

  EXPECT_FALSE(CBFileCopyFilesInFolder(dir.filePath("from"), dir.filePath("missing")));
  EXPECT_FALSE(CBFileCopyFilesInFolder(dir.filePath("from/a.txt"), dir.filePath("to")));
  ASSERT_TRUE(CBFileCopyFilesInFolder(dir.filePath("from"), dir.filePath("to")));
  EXPECT_EQ(CBFilenameArrayForFolder(dir.filePath("to")), (QStringList{"a.txt", "sub"}));
  EXPECT_EQ(contents(dir.filePath("to/a.txt")), "a");
  EXPECT_EQ(contents(dir.filePath("to/sub/b.txt")), "b");

  QDir(dir.path()).mkdir("empty");
  EXPECT_TRUE(CBFileCopyFilesInFolder(dir.filePath("empty"), dir.filePath("to")));
}

TEST(Files, PermissionsAndPNG)
{
  ZPHTestTempDir dir;
  const QString secret = dir.writeFile("secret", "s");
  ASSERT_TRUE(QFile::setPermissions(secret, QFile::permissions(secret) | QFileDevice::ReadOther));
  ASSERT_TRUE(CBFileSetPermissionsToOwnerReadAndWriteOnly(secret));
  EXPECT_EQ(modeOf(secret), 0600u);
  EXPECT_FALSE(CBFileSetPermissionsToOwnerReadAndWriteOnly(dir.filePath("missing")));

  EXPECT_TRUE(CBFileIsPNG(dir.writeFile("image.png", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16))));
  EXPECT_FALSE(CBFileIsPNG(dir.writeFile("short.png", QByteArray("\x89PNG", 4))));
  EXPECT_FALSE(CBFileIsPNG(dir.writeFile("text.png", "<html></html>")));
  EXPECT_FALSE(CBFileIsPNG(dir.filePath("missing.png")));
  EXPECT_FALSE(CBFileIsPNG(dir.path()));
}

namespace {
// The lines as the program's log handler writes them: the function's name,
// then the message.
QStringList g_logLines;
void recordLogLine(QtMsgType, const QMessageLogContext& context, const QString& message)
{
  g_logLines.append(QString::fromUtf8(ZPHShortFunctionName(context.function)) + QStringLiteral(": ") + message);
}
}  // namespace

TEST(Files, AFileThatCannotBeReadForThePNGTestIsLogged)
{
  ZPHTestTempDir dir;
  const QString folder = dir.filePath("folder.png");
  ASSERT_TRUE(QDir().mkpath(folder));
  g_logLines.clear();
  const QtMessageHandler previous = qInstallMessageHandler(&recordLogLine);
  const bool folderIsPNG = CBFileIsPNG(folder);
  const bool missingIsPNG = CBFileIsPNG(dir.filePath("missing.png"));
  qInstallMessageHandler(previous);
  EXPECT_FALSE(folderIsPNG);
  EXPECT_FALSE(missingIsPNG);
  // The folder could not be read; a missing file is simply no PNG.
  EXPECT_EQ(g_logLines, QStringList{QStringLiteral("CBFileIsPNG: error reading ") + folder});
}

TEST(Files, TempDirectoryIsPrivateToTheUser)
{
  ZPHTestTempDir dir;
  ScopedTempLocation location(dir.path());
  const QString expected = dir.filePath("Zephlin");

  ASSERT_EQ(CBTempDirectory(), expected);
  EXPECT_EQ(modeOf(expected), 0700u);
  EXPECT_EQ(CBTempFilePathWithFilename("thumb.tiff"), expected + "/thumb.tiff");

  // A folder of ours with a wider mode is narrowed again.
  ASSERT_EQ(::chmod(QFile::encodeName(expected).constData(), 0755), 0);
  EXPECT_EQ(CBTempDirectory(), expected);
  EXPECT_EQ(modeOf(expected), 0700u);

  // A folder of another user is refused.
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(QFile::encodeName(expected).constData(), 65534, 65534), 0);
    EXPECT_TRUE(CBTempDirectory().isNull());
    EXPECT_TRUE(CBTempFilePathWithFilename("x").isNull());
  }

  // So are a link to a folder and a plain file under the name.
  ASSERT_TRUE(QDir(expected).removeRecursively());
  QDir(dir.path()).mkdir("elsewhere");
  ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("elsewhere")).constData(), 0755), 0);
  ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), expected));
  EXPECT_TRUE(CBTempDirectory().isNull());
  EXPECT_EQ(modeOf(dir.filePath("elsewhere")), 0755u);
  ASSERT_TRUE(QFile::remove(expected));
  dir.writeFile("Zephlin", "not a folder");
  EXPECT_TRUE(CBTempDirectory().isNull());
}

TEST(Files, DeleteHandlerStopsAtTheFirstError)
{
  EXPECT_FALSE(CBFileManagerDeleteHandler::fileManagerShouldProcessAfterError(QStringLiteral("permission denied")));
}
