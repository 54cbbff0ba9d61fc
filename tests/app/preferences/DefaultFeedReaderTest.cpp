// The feed readers the General pane lists and the default it sets, on XDG
// folders of the test's own, with desktop entries written here and the real
// xdg-mime.

#include "common/ZPHDesktopEntries.h"
#include "common/ZPHDesktopEntry.h"
#include "preferences/ZPHPreferencesGeneralViewController.h"
#include "support/ZPHTestSupport.h"
#include "support/ZPHTestXdgFolders.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>
#include <QtTest/QSignalSpy>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QMessageBox>

#include <gtest/gtest.h>

namespace {

using XdgFolders = ZPHTestXdgFolders;

QStringList ids(const QList<ZPHPreferencesGeneralViewController::FeedReader>& readers)
{
  QStringList list;
  for (const auto& reader : readers) list.append(reader.bundleId);
  return list;
}

TEST(DefaultFeedReader, ReadersInFolderOrderThenByNameWithoutTheBrokenOnes)
{
  XdgFolders xdg;
  xdg.reader(xdg.home(), QStringLiteral("b-reader.desktop"), QStringLiteral("B Reader"));
  xdg.reader(xdg.home(), QStringLiteral("a-reader.desktop"), QStringLiteral("A Reader"));
  xdg.entry(xdg.home(), QStringLiteral("nameless.desktop"),
            QStringLiteral("Exec=/bin/true\nMimeType=x-scheme-handler/feed;\n"));
  xdg.entry(xdg.home(), QStringLiteral("gone.desktop"),
            QStringLiteral("Name=Gone\nExec=/no/such/program %u\nMimeType=x-scheme-handler/feed;\n"));
  xdg.entry(xdg.home(), QStringLiteral("browser.desktop"),
            QStringLiteral("Name=Browser\nExec=/bin/true\nMimeType=text/html;\n"));
  xdg.entry(xdg.home(), QStringLiteral("hidden.desktop"),
            QStringLiteral("Name=Hidden\nExec=/bin/true\nMimeType=x-scheme-handler/feed;\nHidden=true\n"));
  // The user's own entry of an id hides the system's.
  xdg.reader(xdg.system(), QStringLiteral("a-reader.desktop"), QStringLiteral("System A"));
  xdg.reader(xdg.system(), QStringLiteral("hidden.desktop"), QStringLiteral("System Hidden"));
  xdg.reader(xdg.system(), QStringLiteral("c-reader.desktop"), QStringLiteral("C Reader"));
  xdg.reader(xdg.system(), QStringLiteral("vendor/sub.desktop"), QStringLiteral("Vendor Sub"));

  // Zephlin, its entry not installed (run from its build folder), is
  // offered first all the same.
  const QList<ZPHPreferencesGeneralViewController::FeedReader> readers =
      ZPHPreferencesGeneralViewController::allFeedReaders();
  EXPECT_EQ(ids(readers), (QStringList{ZPHDesktopEntries::ownDesktopFileID(), "a-reader.desktop", "b-reader.desktop",
                                       "c-reader.desktop", "vendor-sub.desktop"}));
  ASSERT_FALSE(readers.isEmpty());
  EXPECT_EQ(readers.first().appTitle, QStringLiteral("Zephlin"));
  EXPECT_EQ(readers.at(1).appTitle, QStringLiteral("A Reader"));

  // Zephlin's own entry, once installed and listing feed: addresses, takes
  // its place in the order and is not added twice.
  xdg.reader(xdg.system(), ZPHDesktopEntries::ownDesktopFileID(), QStringLiteral("Zephlin"));
  EXPECT_EQ(ids(ZPHPreferencesGeneralViewController::allFeedReaders()),
            (QStringList{"a-reader.desktop", "b-reader.desktop", "c-reader.desktop",
                         ZPHDesktopEntries::ownDesktopFileID(), "vendor-sub.desktop"}));
  // Installed without listing them, it comes first.
  xdg.entry(xdg.system(), ZPHDesktopEntries::ownDesktopFileID(), QStringLiteral("Name=Zephlin\nExec=/bin/true\n"));
  EXPECT_EQ(ids(ZPHPreferencesGeneralViewController::allFeedReaders()).first(), ZPHDesktopEntries::ownDesktopFileID());
}

TEST(DefaultFeedReader, SetAsDefaultMakesXdgMimeAnswerZephlin)
{
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
    GTEST_SKIP() << "xdg-mime is not installed (scripts/deps.sh installs xdg-utils)";
  XdgFolders xdg;
  xdg.reader(xdg.home(), QStringLiteral("other-reader.desktop"), QStringLiteral("Other Reader"));
  xdg.reader(xdg.system(), ZPHDesktopEntries::ownDesktopFileID(), QStringLiteral("Zephlin"));

  ZPHPreferencesGeneralViewController pane;
  QSignalSpy answers(&pane, &ZPHPreferencesGeneralViewController::defaultFeedReaderChanged);
  pane.view();
  ASSERT_TRUE(answers.wait(20000));
  // Whatever the desktop answers first is what the pop-up shows.
  EXPECT_EQ(pane.defaultFeedReaderPopupButton()->currentIndex(),
            pane.defaultFeedReaderPopupButton()->findData(pane.defaultFeedReaderBundleId()));

  pane.setDefaultFeedReaderBundleId(QStringLiteral("other-reader.desktop"));
  ASSERT_TRUE(answers.wait(20000));
  EXPECT_EQ(pane.defaultFeedReaderBundleId(), QStringLiteral("other-reader.desktop"));
  EXPECT_EQ(pane.defaultFeedReaderPopupButton()->currentData().toString(), QStringLiteral("other-reader.desktop"));

  // Choosing Zephlin in the pop-up.
  QComboBox* popup = pane.defaultFeedReaderPopupButton();
  const int own = popup->findData(ZPHDesktopEntries::ownDesktopFileID());
  ASSERT_GE(own, 0);
  popup->setCurrentIndex(own);
  Q_EMIT popup->activated(own);
  ASSERT_TRUE(answers.wait(20000));
  EXPECT_EQ(pane.defaultFeedReaderBundleId(), ZPHDesktopEntries::ownDesktopFileID());
  // What the desktop now answers.
  QString answered;
  QObject context;
  ZPHDesktopEntries::queryDefaultApplication(QStringLiteral("x-scheme-handler/feed"), &context,
                                             [&](const QString& id) { answered = id; });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !answered.isEmpty(); }, 20000));
  EXPECT_EQ(answered, ZPHDesktopEntries::ownDesktopFileID());
  // An empty choice is ignored; an id that is not a desktop file's is
  // refused before xdg-mime hears of it.
  pane.setDefaultFeedReaderBundleId(QString());
  bool refused = false;
  ZPHDesktopEntries::setDefaultApplication(QStringLiteral("x; rm -rf ~"), QStringLiteral("x-scheme-handler/feed"),
                                           &context, [&](bool ok) { refused = !ok; });
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return refused; }));
}

TEST(DefaultFeedReader, ChoosingZephlinWithoutItsEntryInstallsItForTheUserOrSaysWhatFailed)
{
  // The program as an Exec line's first word, whatever its path holds.
  for (const QString& path : {QStringLiteral("/opt/zephlin/bin/zephlin"), QStringLiteral("/home/a b/build/zephlin"),
                              QStringLiteral("/tmp/x\"$`\\y/50%/zephlin")}) {
    const std::optional<QStringList> words =
        ZPHDesktopEntry::splitExecLine(ZPHDesktopEntries::execLineProgram(path) + QStringLiteral(" %U"));
    ASSERT_TRUE(words.has_value()) << path.toStdString();
    EXPECT_EQ(words->value(0), QString(path).replace(u'%', QStringLiteral("%%"))) << path.toStdString();
  }
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
    GTEST_SKIP() << "xdg-mime is not installed (scripts/deps.sh installs xdg-utils)";
  const QString own = ZPHDesktopEntries::ownDesktopFileID();
  {
    XdgFolders xdg;
    xdg.reader(xdg.home(), QStringLiteral("other-reader.desktop"), QStringLiteral("Other Reader"));
    ASSERT_TRUE(ZPHDesktopEntries::entryWithID(own).isNull());
    ZPHPreferencesGeneralViewController pane;
    QSignalSpy answers(&pane, &ZPHPreferencesGeneralViewController::defaultFeedReaderChanged);
    pane.view();
    ASSERT_TRUE(answers.wait(20000));
    QComboBox* popup = pane.defaultFeedReaderPopupButton();
    ASSERT_TRUE(popup->isEnabled());
    ASSERT_EQ(popup->itemData(0).toString(), own);
    popup->setCurrentIndex(0);
    Q_EMIT popup->activated(0);
    ASSERT_TRUE(answers.wait(20000));
    EXPECT_EQ(pane.defaultFeedReaderBundleId(), own);
    EXPECT_EQ(pane.failureAlert(), nullptr);
    // The user's entry starts this program with the addresses.
    const ZPHDesktopEntry entry = ZPHDesktopEntries::entryWithID(own);
    ASSERT_FALSE(entry.isNull());
    EXPECT_EQ(entry.name, QStringLiteral("Zephlin"));
    EXPECT_EQ(ZPHDesktopEntry::splitExecLine(entry.exec)->value(0), QCoreApplication::applicationFilePath());
    EXPECT_TRUE(QFileInfo::exists(xdg.home() + QStringLiteral("/applications/") + own));
  }
  {
    // Where the entry cannot be written, an alert says so and what to do.
    XdgFolders xdg;
    QDir(xdg.home() + QStringLiteral("/applications")).removeRecursively();
    QFile blocker(xdg.home() + QStringLiteral("/applications"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ZPHPreferencesGeneralViewController pane;
    QWidget window;
    QSignalSpy answers(&pane, &ZPHPreferencesGeneralViewController::defaultFeedReaderChanged);
    pane.view()->setParent(&window);
    ASSERT_TRUE(answers.wait(20000));
    pane.setDefaultFeedReaderBundleId(own);
    ASSERT_NE(pane.failureAlert(), nullptr);
    EXPECT_EQ(pane.failureAlert()->text(), QStringLiteral("The default news reader could not be set."));
    EXPECT_TRUE(pane.failureAlert()->informativeText().contains(QStringLiteral("cmake --install")))
        << pane.failureAlert()->informativeText().toStdString();
    EXPECT_TRUE(ZPHDesktopEntries::entryWithID(own).isNull());
  }
}

}  // namespace
