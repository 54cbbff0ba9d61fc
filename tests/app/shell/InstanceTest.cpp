// The program itself, started as a process on one data directory, and
// answering --help and --version without a display.

#include "app/ZPHAppTestSchemes.h"
#include "app/shell/ZephlinProgram.h"
#include "support/ZPHTestSupport.h"
#include "support/ZPHTestX11.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtGui/QImage>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

TEST(ZephlinProgram, OneDataDirectoryHasOneRunningProgram)
{
  ASSERT_TRUE(QFileInfo(Program::programPath()).isExecutable()) << "build the zephlin target first";
  ZPHTestTempDir dir;

  auto first = std::make_unique<Program>(dir.path());
  ASSERT_TRUE(first->waitForLog("start-up complete")) << first->log().toStdString();
  ASSERT_TRUE(QFileInfo::exists(dir.path() + "/data/Zephlin.lock"));

  // A second start asks the first to come forward and leaves without
  // opening the store.
  {
    Program second(dir.path());
    ASSERT_TRUE(second.waitForExit()) << second.log().toStdString();
    EXPECT_EQ(second.exitCode(), 0) << second.log().toStdString();
    EXPECT_TRUE(second.log().contains("and is asked to come forward")) << second.log().toStdString();
    EXPECT_FALSE(second.log().contains("opened the store")) << second.log().toStdString();
    EXPECT_TRUE(first->waitForLog("asked this one to come forward")) << first->log().toStdString();
  }

  // Killed, the first leaves its lock; the next start takes it over and
  // checks the store.
  first->signal(SIGKILL);
  ASSERT_TRUE(first->waitForExit());
  first.reset();
  ASSERT_TRUE(QFileInfo::exists(dir.path() + "/data/Zephlin.lock"));
  Program third(dir.path());
  ASSERT_TRUE(third.waitForLog("start-up complete")) << third.log().toStdString();
  EXPECT_TRUE(third.log().contains("the store's integrity is checked")) << third.log().toStdString();

  // SIGTERM takes the ordinary quit: saved, unlocked, status 0.
  third.signal(SIGTERM);
  ASSERT_TRUE(third.waitForExit()) << third.log().toStdString();
  EXPECT_EQ(third.exitCode(), 0) << third.log().toStdString();
  EXPECT_TRUE(third.log().contains("quit complete")) << third.log().toStdString();
  EXPECT_FALSE(QFileInfo::exists(dir.path() + "/data/Zephlin.lock"));

  // A clean quit is no reason for a check.
  Program fourth(dir.path());
  ASSERT_TRUE(fourth.waitForLog("start-up complete")) << fourth.log().toStdString();
  EXPECT_FALSE(fourth.log().contains("integrity")) << fourth.log().toStdString();
  fourth.signal(SIGINT);
  ASSERT_TRUE(fourth.waitForExit());
  EXPECT_EQ(fourth.exitCode(), 0) << fourth.log().toStdString();
}

TEST(ZephlinProgram, ASecondLaunchHandsItsAddressesAndFilesToTheRunningOne)
{
  ZPHTestTempDir dir;
  ZPHTestTempDir folder;
  const QString opml = folder.writeFile(QStringLiteral("subs.opml"), "<opml version=\"1.0\"/>");
  Program first(dir.path());
  ASSERT_TRUE(first.waitForLog("start-up complete")) << first.log().toStdString();

  Program second(dir.path(),
                 {QStringLiteral("feed://127.0.0.1:9/x.xml"), QStringLiteral("zephlin://add/file:///etc/passwd"),
                  QStringLiteral("subs.opml")},
                 folder.path());
  ASSERT_TRUE(second.waitForExit()) << second.log().toStdString();
  EXPECT_EQ(second.exitCode(), 0) << second.log().toStdString();
  EXPECT_TRUE(second.log().contains("the running Zephlin came forward")) << second.log().toStdString();
  EXPECT_FALSE(second.log().contains("opened the store")) << second.log().toStdString();

  ASSERT_TRUE(first.waitForLog("importing " + opml.toUtf8())) << first.log().toStdString();
  EXPECT_TRUE(first.log().contains("handed over 3 arguments")) << first.log().toStdString();
  EXPECT_TRUE(first.log().contains("asked to subscribe to http://127.0.0.1:9/x.xml")) << first.log().toStdString();
  EXPECT_TRUE(first.log().contains("ignored the address zephlin://add/file:///etc/passwd"))
      << first.log().toStdString();
  EXPECT_TRUE(first.log().contains(opml.toUtf8())) << first.log().toStdString();
  EXPECT_FALSE(first.log().contains("subscribe to file:")) << first.log().toStdString();
}

TEST(ZephlinProgram, WritesItsWindowAndQuitsWithAScreenshot)
{
  ZPHTestTempDir dir;
  const QString png = dir.filePath(QStringLiteral("window.png"));
  Program program(dir.filePath(QStringLiteral("home")), {QStringLiteral("--screenshot"), png});
  ASSERT_TRUE(program.waitForExit()) << program.log().toStdString();
  EXPECT_EQ(program.exitCode(), 0) << program.log().toStdString();
  const QImage image(png);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(1100, 700));
  // The settings live below the data directory.
  EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("home/Fernhollow/Zephlin.conf"))));
  EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("home/data/Articles"))));
  EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("home/cache"))).isDir());
}

// Headless while DISPLAY names a live X server (a desktop session's
// environment): the offscreen platform could make OpenGL contexts through
// it, and the main window with its web views crashed in its first flush.
TEST(ZephlinProgram, RunsHeadlessWhileDisplayNamesAnXServer)
{
  ZPHTestX11::Display display;
  ASSERT_TRUE(display.start(false)) << "Xvfb is needed (scripts/deps.sh)";
  const QList<std::pair<QString, QString>> variables{{QStringLiteral("DISPLAY"), display.name}};
  ZPHTestTempDir dir;
  const QString home = dir.filePath(QStringLiteral("home"));
  {
    // The first run; it leaves its settings and store.
    Program first(home, {}, {}, variables);
    ASSERT_TRUE(first.waitForLog("start-up complete")) << first.log().toStdString();
    first.signal(SIGTERM);
    ASSERT_TRUE(first.waitForExit()) << first.log().toStdString();
    EXPECT_EQ(first.exitCode(), 0) << first.log().toStdString();
  }
  // The main window on what the first run left, drawn and written out.
  const QString png = dir.filePath(QStringLiteral("window.png"));
  Program second(home, {QStringLiteral("--screenshot"), png}, {}, variables);
  ASSERT_TRUE(second.waitForExit()) << second.log().toStdString();
  EXPECT_EQ(second.exitCode(), 0) << second.log().toStdString();
  EXPECT_FALSE(QImage(png).isNull());
  EXPECT_TRUE(second.log().contains("web pages are drawn in software")) << second.log().toStdString();
}

// The real program, with no display to connect to: --help and --version are
// answered before anything needs one.
TEST(ZephlinProgram, AnswersHelpAndVersionWithoutADisplay)
{
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "ZEPHLIN_DATA_DIR"})
    environment.remove(QString::fromLatin1(variable));

  struct Case {
    QStringList arguments;
    QStringList printed;  // each is in the standard output
  };
  const QString version = QStringLiteral("Zephlin " ZEPHLIN_VERSION "\n");
  const QStringList help{QStringLiteral("Usage: zephlin [options] [address|file...]\n"),
                         QStringLiteral("--data-dir <DIR>"),
                         QStringLiteral("$ZEPHLIN_DATA_DIR"),
                         QStringLiteral("--screenshot <FILE>"),
                         QStringLiteral("--screenshot-state <STATE>"),
                         QStringLiteral("--version"),
                         QStringLiteral("zephlin://add/"),
                         QStringLiteral("OPML file")};
  ZPHTestTempDir dir;
  const QString unmade = dir.filePath(QStringLiteral("unmade"));
  const QList<Case> cases{
      {{QStringLiteral("--version")}, {version}},
      {{QStringLiteral("--help")}, help},
      {{QStringLiteral("-h")}, help},
      {{QStringLiteral("--data-dir"), unmade, QStringLiteral("--version")}, {version}},
      {{QStringLiteral("feed://example.com/rss"), QStringLiteral("--help")}, help},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(u' ').toStdString());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(Program::programPath(), c.arguments);
    ASSERT_TRUE(program.waitForFinished(120000));
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(program.exitCode(), 0) << err.toStdString();
    for (const QString& text : c.printed)
      EXPECT_TRUE(out.contains(text)) << text.toStdString() << "\n" << out.toStdString();
    if (c.printed.first() == version) {
      EXPECT_EQ(out, version);
    }
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
  }
  EXPECT_FALSE(QFileInfo::exists(unmade)) << "an answer makes no folders";
}
