// The real program keeps the browser tabs a user had: started and quit
// twice on one data folder, its stored tabs and their pictures stay, and a
// picture of no open tab goes.

#include "app/shell/AppHarness.h"
#include "app/shell/ZephlinProgram.h"
#include "browser/ZPHTabThumbnailCache.h"
#include "store/entities/AbstractTab.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QFileInfo>
#include <QtGui/QImage>

namespace {

struct StoredTab {
  QString url;
  QString title;
  bool operator==(const StoredTab& other) const { return url == other.url && title == other.title; }
};

// The tabs stored in the data folder's store, in their order.
QList<StoredTab> storedTabs(const QString& dataFolder, const QList<StoredTab>& add = {})
{
  ZPHTestApplicationDelegate reader;
  reader.setDataFolder(dataFolder);
  CBDataController controller;
  reader.useDataController(&controller);
  ZPHError error;
  EXPECT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
  ZPHManagedObjectContext* main = controller.mainThreadManagedObjectContext();
  int index = 1;
  for (const StoredTab& tab : add) {
    auto* stored = static_cast<AbstractTab*>(main->insertNewObject(CBDataEntityNameBrowserTab));
    stored->setGuid(QStringLiteral("guid-%1").arg(index));
    stored->setUrl(tab.url);
    stored->setTitle(tab.title);
    stored->setIndex(index++);
  }
  if (!add.isEmpty()) {
    EXPECT_TRUE(main->save());
  }
  QList<StoredTab> tabs;
  ZPHFetchRequest request(CBDataEntityNameBrowserTab);
  request.sortDescriptors = {{QStringLiteral("index"), true}};
  for (ZPHManagedObject* object : main->executeFetchRequest(request)) {
    const auto* stored = static_cast<AbstractTab*>(object);
    tabs.append({stored->url(), stored->title()});
  }
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
  reader.useDataController(nullptr);
  return tabs;
}

TEST(ZephlinProgramTabs, TabsAndTheirPicturesSurviveTwoRunsAndStrayPicturesGo)
{
  ASSERT_TRUE(QFileInfo(Program::programPath()).isExecutable()) << "build the zephlin target first";
  ZPHTestTempDir dir;
  const QString home = dir.filePath(QStringLiteral("home"));
  const QList<StoredTab> tabs{{QStringLiteral("http://127.0.0.1:9/first"), QStringLiteral("First page")},
                              {QStringLiteral("http://127.0.0.1:9/second"), QStringLiteral("Second page")}};
  EXPECT_EQ(storedTabs(QDir(home).filePath(QStringLiteral("data")), tabs), tabs);

  const QString thumbnails = QDir(home).filePath(QStringLiteral("cache/TabThumbnails.noindex"));
  ASSERT_TRUE(QDir().mkpath(thumbnails));
  QImage picture(113, 72, QImage::Format_RGB32);
  picture.fill(Qt::darkCyan);
  QStringList kept;
  for (const StoredTab& tab : tabs) {
    kept.append(QDir(thumbnails).filePath(ZPHTabThumbnailCache::filenameForURL(QUrl(tab.url))));
    ASSERT_TRUE(picture.save(kept.last(), "TIFF"));
  }
  const QString stray = QDir(thumbnails).filePath(QStringLiteral("127_0_0_1_9_closed_long_ago.tiff"));
  ASSERT_TRUE(picture.save(stray, "TIFF"));

  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    Program program(home);
    ASSERT_TRUE(program.waitForLog("start-up complete", 120000)) << program.log().toStdString();
    // Tabs are not loaded at start: nothing asks the address of either.
    program.signal(SIGTERM);
    ASSERT_TRUE(program.waitForExit(120000));
    EXPECT_EQ(program.exitCode(), 0) << program.log().toStdString();
  }
  EXPECT_EQ(storedTabs(QDir(home).filePath(QStringLiteral("data"))), tabs);
  for (const QString& file : kept) EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
  EXPECT_FALSE(QFileInfo::exists(stray));
}

}  // namespace
