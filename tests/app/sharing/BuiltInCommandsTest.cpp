// The built-in commands with real desktop entries (a recording script stands
// in for the programs), the desktop's URL handlers replaced by a recorder,
// and hostile items: only web addresses reach a browser, and titles and
// addresses arrive exactly as written, as one argument each.

#include "app/sharing/SharingTestSupport.h"
#include "common/ZPHDesktopEntry.h"
#include "sharing/CBPluginHelper.h"
#include "sharing/CBUserInterfaceContext.h"
#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSendToApp.h"
#include "sharing/ZPHSharingBrowserCommands.h"
#include "sharing/ZPHSharingCommandEmailLink.h"
#include "sharing/ZPHWebSharePage.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QUrlQuery>

#include <gtest/gtest.h>

namespace {

// Every character that has cut or split a shared value somewhere.
const QString HostileTitle =
    QStringLiteral("A + B & C = D # E % F ? \" ; $(touch /tmp/x) `id`\nline two \u00e9\u4e2d\U0001F600");
const QUrl HostileAddress(QStringLiteral("https://example.com/a b?x=1&y=%2B+2#frag"));

QList<CBSharableItem> itemsFor(const QUrl& address, const QString& title = HostileTitle)
{
  return {CBSharableItem::sharableItemWithURL(address, QUrl(), title)};
}

template <class T>
T* commandOf(const ZPHPluginManager& manager)
{
  T* command = manager.pluginCommandOfClass<T>();
  EXPECT_NE(command, nullptr);
  return command;
}

}  // namespace

TEST(DesktopEntries, WhatIsOfferedAndHowItsLineSplits)
{
  SharingTestEnvironment& environment = SharingTestEnvironment::shared();
  const QString apps = environment.systemApplications();
  const QString browser = QStringLiteral("MimeType=x-scheme-handler/http;\nCategories=WebBrowser;\n");
  struct Case {
    const char* id;
    QByteArray contents;
    bool usable;
    bool webBrowser;
  };
  const QList<Case> cases = {
      {"plain-browser.desktop", environment.entry(QStringLiteral("Plain"), QStringLiteral("%u"), browser), true, true},
      {"hidden-browser.desktop",
       environment.entry(QStringLiteral("Hidden"), QStringLiteral("%u"), browser + QStringLiteral("Hidden=true\n")),
       false, true},
      {"nodisplay-browser.desktop",
       environment.entry(QStringLiteral("NoDisplay"), QStringLiteral("%u"),
                         browser + QStringLiteral("NoDisplay=true\n")),
       false, true},
      {"tryexec-browser.desktop",
       environment.entry(QStringLiteral("TryExec"), QStringLiteral("%u"),
                         browser + QStringLiteral("TryExec=/nonexistent/zephlin-test-program\n")),
       false, true},
      {"files-only.desktop", environment.entry(QStringLiteral("Files"), QStringLiteral("%f"), browser), true, false},
      {"no-category.desktop",
       environment.entry(QStringLiteral("Viewer"), QStringLiteral("%u"),
                         QStringLiteral("MimeType=x-scheme-handler/http;\n")),
       true, false},
      {"not-an-app.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.com/\n", false, false},
      {"missing-program.desktop",
       QStringLiteral("[Desktop Entry]\nType=Application\nName=Gone\nExec=/nonexistent/zephlin-test-browser %u\n%1")
           .arg(browser)
           .toUtf8(),
       false, true},
      {"quoted-browser.desktop",
       QStringLiteral("[Desktop Entry]\nType=Application\nName=Quoted\nExec=sh -c \"browser %u\"\n%1")
           .arg(browser)
           .toUtf8(),
       true, false},
  };
  for (const Case& c : cases) {
    SharingTestEnvironment::writeFile(apps + u'/' + QLatin1String(c.id), c.contents);
    const ZPHDesktopEntry entry = ZPHDesktopEntry::entryWithID(QLatin1String(c.id));
    EXPECT_FALSE(entry.isNull()) << c.id;
    EXPECT_EQ(entry.isUsable(), c.usable) << c.id;
    EXPECT_EQ(entry.isWebBrowser(), c.webBrowser) << c.id;
  }
  // An ID is not a path.
  EXPECT_TRUE(ZPHDesktopEntry::entryWithID(QStringLiteral("../applications/plain-browser.desktop")).isNull());

  // One ID in two folders: the user's entry wins; "vendor-x" finds
  // "vendor/x".
  SharingTestEnvironment::writeFile(environment.userApplications() + QStringLiteral("/plain-browser.desktop"),
                                    environment.entry(QStringLiteral("Mine"), QStringLiteral("%u"), browser));
  EXPECT_EQ(ZPHDesktopEntry::entryWithID(QStringLiteral("plain-browser.desktop")).name, QStringLiteral("Mine"));
  EXPECT_EQ(ZPHDesktopEntry::entryWithID(QStringLiteral("vendor-alpha.desktop")).name, QStringLiteral("alpha browser"));
  int plain = 0;
  for (const ZPHDesktopEntry& entry : ZPHDesktopEntry::allEntries())
    plain += entry.desktopFileID == QLatin1String("plain-browser.desktop") ? 1 : 0;
  EXPECT_EQ(plain, 1);

  // Quoting: blanks inside quotes stay, the four escapes inside quotes
  // give their character, the general escapes come first; an open quote
  // gives nothing.
  struct Split {
    QString exec;
    std::optional<QStringList> words;
  };
  const QList<Split> splits = {
      {QStringLiteral("prog --a %u"), QStringList{"prog", "--a", "%u"}},
      {QStringLiteral("\"/opt/My Browser/run\" \"--x=a b\" %U"), QStringList{"/opt/My Browser/run", "--x=a b", "%U"}},
      {QStringLiteral("prog \"a\\\\\\\\\\\"b\\\\$c\\\\`d\""), QStringList{"prog", "a\\\"b$c`d"}},
      // "\s" is a blank before the words are split.
      {QStringLiteral("prog\\sx"), QStringList{"prog", "x"}},
      {QStringLiteral("prog \"open"), std::nullopt},
  };
  for (const Split& split : splits)
    EXPECT_EQ(ZPHDesktopEntry::splitExecLine(split.exec), split.words) << split.exec.toStdString();

  ZPHDesktopEntry entry;
  entry.exec = QStringLiteral("prog --name=%c %i %f --url=%u %%");
  entry.name = QStringLiteral("N");
  EXPECT_EQ(entry.commandLineForURL(QUrl(QStringLiteral("https://x/"))),
            (QStringList{"prog", "--name=N", "--url=https://x/", "%"}));
  // The address is one argument of its own, or part of one word for a
  // program that is no shell; never a field code inside quotes (a shell
  // would read the address as commands), never split.
  const QUrl shellWords(QStringLiteral("https://x/;touch$IFS/tmp/owned;"));
  const QString encoded = QString::fromUtf8(shellWords.toEncoded());
  struct Line {
    QString exec;
    std::optional<QStringList> arguments;
  };
  const QList<Line> lines = {
      {QStringLiteral("prog %f"), std::nullopt},
      {QStringLiteral("sh -c \"browser %u\""), std::nullopt},
      {QStringLiteral("prog \"--url=%u\""), std::nullopt},
      {QStringLiteral("prog \"%U\""), std::nullopt},
      {QStringLiteral("sh -c browser%u"), std::nullopt},
      {QStringLiteral("/usr/bin/env bash -c x%u"), std::nullopt},
      {QStringLiteral("prog --urls=%U"), std::nullopt},
      {QStringLiteral("prog \"100%% sure\" %u"), QStringList{"prog", "100% sure", encoded}},
      {QStringLiteral("sh -c \"browser \\\"\\$1\\\"\" sh %u"),
       QStringList{"sh", "-c", "browser \"$1\"", "sh", encoded}},
      {QStringLiteral("prog %u %u"), QStringList{"prog", encoded}},
  };
  for (const Line& line : lines) {
    entry.exec = line.exec;
    EXPECT_EQ(entry.commandLineForURL(shellWords), line.arguments) << line.exec.toStdString();
    EXPECT_EQ(entry.takesURLs(), line.arguments.has_value()) << line.exec.toStdString();
  }

  // The name in the user's language, the best match first.
  const QString names = apps + QStringLiteral("/names.desktop");
  SharingTestEnvironment::writeFile(names,
                                    "[Desktop Entry]\nType=Application\nExec=prog %u\nName=Browser\n"
                                    "Name[de]=Browser DE\nName[de_CH]=Browser CH\nName[sr@latin]=Pregledac\n"
                                    "Name[fr]=\n[Other Group]\nName[it]=Not this one\n");
  const QList<std::pair<const char*, const char*>> locales = {
      {"de_CH.UTF-8", "Browser CH"},
      {"de_AT.UTF-8@euro", "Browser DE"},
      {"de", "Browser DE"},
      {"sr_RS@latin", "Pregledac"},
      {"fr_FR", "Browser"},
      {"it_IT", "Browser"},
      {"C", "Browser"},
      {"", "Browser"},
  };
  for (const auto& [locale, name] : locales) {
    const std::optional<ZPHDesktopEntry> read =
        ZPHDesktopEntry::fromFile(names, QStringLiteral("names.desktop"), QString::fromLatin1(locale));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->name, QString::fromUtf8(name)) << locale;
  }
}

TEST(BuiltInCommands, AnAddressThatHoldsShellWordsRunsNothing)
{
  SharingTestEnvironment& environment = SharingTestEnvironment::shared();
  ZPHTestTempDir folder;
  const QString owned = folder.filePath(QStringLiteral("owned"));
  const QString received = folder.filePath(QStringLiteral("received"));
  const QString browser = QStringLiteral("MimeType=x-scheme-handler/http;\nCategories=WebBrowser;\n");
  // A browser entry that wraps %u in a shell's quoted words, and one that
  // hands it to the shell as an argument of its own.
  SharingTestEnvironment::writeFile(
      environment.userApplications() + QStringLiteral("/shell-wrapped.desktop"),
      QStringLiteral("[Desktop Entry]\nType=Application\nName=Shell Wrapped\nExec=sh -c \"browser %u\"\n%1")
          .arg(browser)
          .toUtf8());
  SharingTestEnvironment::writeFile(environment.userApplications() + QStringLiteral("/shell-argument.desktop"),
                                    QStringLiteral("[Desktop Entry]\nType=Application\nName=Shell Argument\n"
                                                   "Exec=sh -c \"printf %%s \\\"\\$1\\\" > '%1'\" sh %u\n%2")
                                        .arg(received, browser)
                                        .toUtf8());
  const QUrl link(QStringLiteral("https://example.com/a;touch$IFS") + owned + QStringLiteral(";b"));

  QStringList names;
  for (const ZPHDesktopEntry& entry : ZPHSharingPluginOpenInAnyBrowser::installedBrowsers()) names.append(entry.name);
  EXPECT_FALSE(names.contains(QStringLiteral("Shell Wrapped")));
  EXPECT_TRUE(names.contains(QStringLiteral("Shell Argument")));
  const ZPHDesktopEntry wrapped = ZPHDesktopEntry::entryWithID(QStringLiteral("shell-wrapped.desktop"));
  EXPECT_FALSE(ZPHPluginCommandOpenInAnyBrowser(wrapped).performCommandWithArray(
      itemsFor(link), CBUserInterfaceContext(), nullptr, nullptr));
  ASSERT_TRUE(ZPHPluginCommandOpenInAnyBrowser(ZPHDesktopEntry::entryWithID(QStringLiteral("shell-argument.desktop")))
                  .performCommandWithArray(itemsFor(link), CBUserInterfaceContext(), nullptr, nullptr));
  // The address arrived whole, as data; the shell ran none of it.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return QFileInfo(received).size() > 0; }, 10000));
  QFile file(received);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), link.toEncoded());
  EXPECT_FALSE(QFileInfo::exists(owned));
  QFile::remove(environment.userApplications() + QStringLiteral("/shell-wrapped.desktop"));
  QFile::remove(environment.userApplications() + QStringLiteral("/shell-argument.desktop"));
}

TEST(BuiltInCommands, BrowsersAreListedByNameAndGetTheAddressAsOneArgument)
{
  SharingTestEnvironment& environment = SharingTestEnvironment::shared();
  QStringList names;
  for (const ZPHDesktopEntry& entry : ZPHSharingPluginOpenInAnyBrowser::installedBrowsers()) names.append(entry.name);
  EXPECT_EQ(names.mid(0, 3), (QStringList{"alpha browser", "Beta Browser 9", "Beta Browser 10"}));
  EXPECT_FALSE(names.contains(QStringLiteral("Hidden Browser")));

  ZPHPluginManager* manager = ZPHPluginManager::sharedManager();
  ZPHPluginCommandOpenInAnyBrowser* beta = nullptr;
  for (ZPHSharingPluginCommand* command : manager->commandsOfType(ZPHSharingPluginCommand::OpenInBrowser))
    if (command->title() == QLatin1String("Open in Beta Browser 10"))
      beta = dynamic_cast<ZPHPluginCommandOpenInAnyBrowser*>(command);
  ASSERT_NE(beta, nullptr);
  EXPECT_EQ(beta->shortTitle(), QStringLiteral("Beta Browser 10"));

  environment.clearRecordedRuns();
  ASSERT_TRUE(beta->validateWithItems(itemsFor(HostileAddress)));
  ASSERT_TRUE(beta->performCommandWithArray(itemsFor(HostileAddress), CBUserInterfaceContext(), manager->pluginHelper(),
                                            nullptr));
  const QList<QStringList> runs = environment.recordedRuns(1);
  ASSERT_EQ(runs.size(), 1);
  EXPECT_EQ(runs.first(), (QStringList{"--new-window", QString::fromUtf8(HostileAddress.toEncoded())}));
}

TEST(BuiltInCommands, LinksThatAreNoWebAddressesReachNoBrowser)
{
  SharingTestEnvironment& environment = SharingTestEnvironment::shared();
  ZPHPluginManager* manager = ZPHPluginManager::sharedManager();
  SharingURLRecorder desktop;
  const QList<QUrl> hostile = {QUrl(QStringLiteral("javascript:alert(1)")),
                               QUrl(QStringLiteral("file:///etc/passwd")),
                               QUrl(QStringLiteral("data:text/html,<script>x</script>")),
                               QUrl(QStringLiteral("smb://host/share")),
                               QUrl(QStringLiteral("tag:example.com,2024:1")),
                               QUrl(QStringLiteral("https:///nohost"))};
  QList<ZPHSharingPluginCommand*> webCommands = manager->commandsOfType(ZPHSharingPluginCommand::OpenInBrowser);
  webCommands.append(manager->pluginCommandOfClass<ZPHPluginCommandSendToFacebook>());
  for (ZPHSharingPluginCommand* command : manager->commandsOfType(ZPHSharingPluginCommand::SendToApplication))
    if (command->title() == QLatin1String("Share on Twitter"))
      webCommands.append(command);
  ASSERT_GE(webCommands.size(), 5);
  environment.clearRecordedRuns();
  for (const QUrl& url : hostile) {
    for (ZPHSharingPluginCommand* command : webCommands) {
      // Grey where offered, and refused again if run all the same.
      EXPECT_FALSE(command->validateWithItems(itemsFor(url)))
          << command->title().toStdString() << url.toString().toStdString();
      command->performCommandWithArray(itemsFor(url), CBUserInterfaceContext(), manager->pluginHelper(), nullptr);
    }
  }
  ZPHTestSpinEventLoop(300);
  EXPECT_TRUE(desktop.opened.isEmpty());
  EXPECT_TRUE(environment.recordedRuns(1, 200).isEmpty());
}

TEST(BuiltInCommands, MailAndSharePagesCarryTitleAndAddressExactly)
{
  SharingTestEnvironment::shared();
  ZPHPluginManager* manager = ZPHPluginManager::sharedManager();
  SharingURLRecorder desktop;
  const CBUserInterfaceContext context;

  // Mail: subject and body decode to the title and the permalink.
  auto items = itemsFor(QUrl(QStringLiteral("https://example.com/url")));
  items.first().setPermalink(HostileAddress);
  ZPHSharingPluginCommand* mail = commandOf<ZPHSharingCommandEmailLink>(*manager);
  ASSERT_TRUE(mail->performCommandWithArray(items, context, manager->pluginHelper(), nullptr));
  ASSERT_EQ(desktop.opened.size(), 1);
  const QUrlQuery mailQuery(desktop.opened.first());
  EXPECT_EQ(desktop.opened.first().scheme(), QStringLiteral("mailto"));
  EXPECT_EQ(mailQuery.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), HostileTitle);
  EXPECT_EQ(mailQuery.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
            QString::fromUtf8(HostileAddress.toEncoded()) + u'\n');
  EXPECT_TRUE(desktop.opened.first().fragment().isEmpty());

  // Without a title, the default subject; a template of the user's, any
  // case of the placeholder.
  const QString templates = QDir(manager->pluginHelper()->pathToDataFolder()).filePath(QStringLiteral("Templates"));
  SharingTestEnvironment::writeFile(templates + QStringLiteral("/EmailLinkTitleTemplate"), "Read: [[TITLE]]");
  desktop.opened.clear();
  ASSERT_TRUE(
      mail->performCommandWithArray(itemsFor(HostileAddress, QString()), context, manager->pluginHelper(), nullptr));
  ASSERT_EQ(desktop.opened.size(), 1);
  EXPECT_EQ(QUrlQuery(desktop.opened.first()).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
            QStringLiteral("Read: A link from Zephlin"));
  QFile::remove(templates + QStringLiteral("/EmailLinkTitleTemplate"));

  // The share pages: address and title as parameters, decoded exactly.
  struct Page {
    ZPHSharingPluginCommand* command;
    QString urlKey;
    QString titleKey;
  };
  ZPHSharingPluginCommand* twitter = nullptr;
  for (ZPHSharingPluginCommand* command : manager->commandsOfType(ZPHSharingPluginCommand::SendToApplication))
    if (command->title() == QLatin1String("Share on Twitter"))
      twitter = command;
  ASSERT_NE(twitter, nullptr);
  for (const Page& page :
       {Page{commandOf<ZPHPluginCommandSendToFacebook>(*manager), "u", "t"}, Page{twitter, "url", "text"}}) {
    desktop.opened.clear();
    ASSERT_TRUE(
        page.command->performCommandWithArray(itemsFor(HostileAddress), context, manager->pluginHelper(), nullptr));
    ASSERT_EQ(desktop.opened.size(), 1);
    const QUrl opened = desktop.opened.first();
    EXPECT_EQ(opened.scheme(), QStringLiteral("https"));
    const QUrlQuery query(opened);
    EXPECT_EQ(query.queryItemValue(page.urlKey, QUrl::FullyDecoded), QString::fromUtf8(HostileAddress.toEncoded()));
    EXPECT_EQ(query.queryItemValue(page.titleKey, QUrl::FullyDecoded), HostileTitle);
    EXPECT_EQ(query.queryItems().size(), 2);
  }
}

TEST(BuiltInCommands, SendToAppFillsItsTemplateAndStartsItsEntry)
{
  SharingTestEnvironment& environment = SharingTestEnvironment::shared();
  ZPHPluginManager* manager = ZPHPluginManager::sharedManager();
  QStringList titles;
  ZPHPluginCommandSendToApp* notes = nullptr;
  for (ZPHSharingPluginCommand* command : manager->commandsOfType(ZPHSharingPluginCommand::SendToApplication)) {
    titles.append(command->title());
    if (command->title() == QLatin1String("Send to Notes"))
      notes = dynamic_cast<ZPHPluginCommandSendToApp*>(command);
  }
  // Not installed: no command; an event record: no command; the short-message
  // service always.
  EXPECT_EQ(titles, (QStringList{"Send to Notes", "Share on Twitter"}));
  ASSERT_NE(notes, nullptr);
  EXPECT_EQ(notes->shortTitle(), QStringLiteral("Notes"));

  environment.clearRecordedRuns();
  ASSERT_TRUE(notes->performCommandWithArray(itemsFor(HostileAddress), CBUserInterfaceContext(),
                                             manager->pluginHelper(), nullptr));
  const QList<QStringList> runs = environment.recordedRuns(1);
  ASSERT_EQ(runs.size(), 1);
  ASSERT_EQ(runs.first().size(), 1);
  const QUrl sent(runs.first().first());
  EXPECT_EQ(sent.scheme(), QStringLiteral("notes"));
  const QUrlQuery query(sent);
  EXPECT_EQ(query.queryItemValue(QStringLiteral("url"), QUrl::FullyDecoded),
            QString::fromUtf8(HostileAddress.toEncoded()));
  EXPECT_EQ(query.queryItemValue(QStringLiteral("title"), QUrl::FullyDecoded), HostileTitle);

  // A template whose filled value would change its scheme gives nothing.
  EXPECT_FALSE(
      ZPHPluginCommandSendToApp::filledURLTemplate(QStringLiteral("[[url]]"), HostileAddress, QString()).isValid());
  EXPECT_EQ(ZPHPluginCommandSendToApp::filledURLTemplate(QStringLiteral("x://?t=[[title]]"), QUrl(), "A & B")
                .toString(QUrl::FullyEncoded),
            QStringLiteral("x://?t=A%20%26%20B"));
}

TEST(BuiltInCommands, TheUsersListOverridesTheBundledOneByName)
{
  SharingTestEnvironment& environment = SharingTestEnvironment::shared();
  ZPHTestTempDir data;
  SharingTestEnvironment::writeFile(environment.userApplications() + QStringLiteral("/org.example.Chirp.desktop"),
                                    environment.entry(QStringLiteral("Chirp"), QStringLiteral("%u")));
  // "twitter.app", another case and ".app": the same application as the
  // bundled "Twitter", so the user's entry is the one command.
  SharingTestEnvironment::writeFile(data.filePath(QStringLiteral("SendToApps.json")),
                                    R"({"twitter.app": {"BundleID": "org.example.Chirp.desktop",
                                        "URLTemplate": "chirp://post?u=[[url]]"}})");
  const auto commands = ZPHSharingPluginSendToApp::buildCommands(data.path());
  ASSERT_EQ(commands.size(), 1u);
  const ZPHSendToAppSpecifier& specifier = commands.front()->sendToAppSpecifier();
  EXPECT_EQ(specifier.appName(), QStringLiteral("twitter"));
  EXPECT_TRUE(specifier.usesURLScheme());
  EXPECT_EQ(specifier.URLSchemeTemplate(), QStringLiteral("chirp://post?u=[[url]]"));
  EXPECT_EQ(commands.front()->title(), QStringLiteral("Share on Twitter"));
  EXPECT_TRUE(ZPHSharingPluginSendToApp::equalAppNames(QStringLiteral("Notes.APP"), QStringLiteral("notes")));
  EXPECT_FALSE(ZPHSharingPluginSendToApp::equalAppNames(QStringLiteral("Notes2"), QStringLiteral("notes")));
}
