// The program's one name to the desktop and its icon.

#include "app/shell/AppHarness.h"
#include "foundation/CBFiles.h"
#include "shell/ZPHDesktopIdentity.h"
#include "shell/ZPHInstanceLock.h"

#include <QtCore/QDirIterator>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>

namespace {

const QString AppID = QStringLiteral(ZEPHLIN_APP_ID);

QString dataFile(const QString& name) { return QStringLiteral(ZPH_DATA_DIR "/") + name; }

QByteArray readAll(const QString& path)
{
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(DesktopIdentity, TheDelegateGivesTheApplicationItsIdAndIcon)
{
  ZPHTestTempDir dir;
  ZPHAppDelegate::Environment environment;
  environment.dataFolder = dir.filePath(QStringLiteral("data"));
  environment.cacheFolder = ZPHSharedTestCacheFolder();
  ZPHAppDelegate delegate(std::move(environment));

  // One id: the core's error domain, the desktop file name (the window's
  // application id on Wayland) and the instance socket.
  EXPECT_EQ(CBAppIdentifier(), AppID);
  EXPECT_EQ(QGuiApplication::desktopFileName(), AppID);
  QDir().mkpath(dir.filePath(QStringLiteral("lock")));
  const ZPHInstanceLock lock(dir.filePath(QStringLiteral("lock")));
  EXPECT_TRUE(QFileInfo(lock.serverName()).fileName().startsWith(AppID + QStringLiteral("-")))
      << lock.serverName().toStdString();

  // Every size the icon theme gets, each picture as large as its folder says.
  const QIcon icon = QGuiApplication::windowIcon();
  ASSERT_FALSE(icon.isNull());
  QList<int> sizes;
  for (const QSize& size : icon.availableSizes()) {
    EXPECT_EQ(size.width(), size.height());
    sizes.append(size.width());
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (QList<int>{16, 22, 24, 32, 48, 64, 128, 256, 512}));
  const QImage small = icon.pixmap(QSize(16, 16)).toImage();
  ASSERT_EQ(small.size(), QSize(16, 16));
  EXPECT_EQ(qAlpha(small.pixel(8, 8)), 255) << "the tile is opaque in its middle";
  EXPECT_EQ(qAlpha(small.pixel(0, 0)), 0) << "its corners are rounded off";

  QDirIterator pictures(QStringLiteral(ZPH_DATA_DIR "/icons/hicolor"), {AppID + QStringLiteral(".png")}, QDir::Files,
                        QDirIterator::Subdirectories);
  int pictureCount = 0;
  while (pictures.hasNext()) {
    const QString path = pictures.next();
    const QString folder = QFileInfo(path).dir().path().section(u'/', -2, -2);  // "<n>x<n>"
    const QImage image(path);
    EXPECT_EQ(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), folder) << path.toStdString();
    ++pictureCount;
  }
  EXPECT_EQ(pictureCount, sizes.size());
  EXPECT_TRUE(QFileInfo::exists(dataFile(QStringLiteral("icons/hicolor/scalable/apps/%1.svg").arg(AppID))));
}

TEST(DesktopIdentity, TheDesktopEntryAndAppStreamDataNameTheId)
{
  const QStringList entry = QString::fromUtf8(readAll(dataFile(AppID + QStringLiteral(".desktop")))).split(u'\n');
  EXPECT_TRUE(entry.contains(QStringLiteral("Icon=") + AppID));
  // Qt's X11 windows are of the class of the application name.
  EXPECT_TRUE(entry.contains(QStringLiteral("StartupWMClass=Zephlin")));

  const QString metainfo = QString::fromUtf8(readAll(dataFile(AppID + QStringLiteral(".metainfo.xml"))));
  EXPECT_TRUE(metainfo.contains(QStringLiteral("<id>%1</id>").arg(AppID)));
  EXPECT_TRUE(metainfo.contains(QStringLiteral("<launchable type=\"desktop-id\">%1.desktop</launchable>").arg(AppID)));
  // The kinds of address and file the desktop entry takes, and nothing else.
  QStringList mediaTypes;
  const QRegularExpression mediaType(QStringLiteral("<mediatype>([^<]+)</mediatype>"));
  for (const QRegularExpressionMatch& match : mediaType.globalMatch(metainfo)) mediaTypes.append(match.captured(1));
  QStringList declared;
  for (const QString& line : entry)
    if (line.startsWith(QStringLiteral("MimeType=")))
      declared = line.mid(9).split(u';', Qt::SkipEmptyParts);
  EXPECT_FALSE(declared.isEmpty());
  EXPECT_EQ(mediaTypes, declared);
}
