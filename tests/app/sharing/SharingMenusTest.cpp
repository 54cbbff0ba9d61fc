// The share menus, over commands and plug-ins of the test's own: the
// groups and their order, what does not validate, running a command from its
// menu item, and the plug-in manager's registration, solo commands and
// groups.

#include "sharing/CBPlugin.h"
#include "sharing/CBUserInterfaceContext.h"
#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSharingMenuBuilder.h"
#include "sharing/ZPHSharingPluginCommand.h"

#include <QtGui/QAction>
#include <QtWidgets/QMenu>

#include <gtest/gtest.h>

namespace {

class FakeCommand : public ZPHSharingPluginCommand {
public:
  FakeCommand(QString title, int type, bool valid = true) : FakeCommand(std::move(title), QList<int>{type}, valid) {}
  FakeCommand(QString title, QList<int> types, bool valid = true, QString shortTitle = {}, QImage image = {})
      : m_title(std::move(title)),
        m_types(std::move(types)),
        m_valid(valid),
        m_shortTitle(std::move(shortTitle)),
        m_image(std::move(image))
  {
  }
  QString commandID() const override { return m_title; }
  QString title() const override { return m_title; }
  QString shortTitle() const override { return m_shortTitle; }
  QImage image() const override { return m_image; }
  QList<int> commandTypes() const override { return m_types; }
  bool validateWithItems(const QList<CBSharableItem>& items) const override { return m_valid && items.size() == 1; }
  bool performCommandWithArray(const QList<CBSharableItem>& items, const CBUserInterfaceContext& context,
                               CBPluginHelper*, ZPHError*) override
  {
    runs += int(items.size());
    lastView = context.view();
    return true;
  }
  int runs = 0;
  QWidget* lastView = nullptr;

private:
  QString m_title;
  QList<int> m_types;
  bool m_valid;
  QString m_shortTitle;
  QImage m_image;
};

QString describe(const QList<ZPHSharingPluginCommand*>& list)
{
  QStringList parts;
  for (ZPHSharingPluginCommand* command : list)
    parts.append(command != nullptr ? command->title() : QStringLiteral("-"));
  return parts.join(QLatin1Char('|'));
}

QString describe(const QMenu& menu)
{
  QStringList parts;
  for (QAction* action : menu.actions()) parts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
  return parts.join(QLatin1Char('|'));
}

}  // namespace

TEST(SharingCommands, GroupsInOrderWithoutLooseSeparators)
{
  using C = ZPHSharingPluginCommand;
  FakeCommand mail(QStringLiteral("Mail"), C::Sharing), later(QStringLiteral("Read Later"), C::ReadLater),
      notes(QStringLiteral("Notes"), C::SendToApplication),
      tweet(QStringLiteral("Share on Twitter"), C::SendToApplication),
      browser(QStringLiteral("Browser"), C::OpenInBrowser), post(QStringLiteral("Post"), C::Sharing);

  struct Case {
    QList<ZPHSharingPluginCommand*> commands;
    QString expected;
  };
  const QList<Case> cases = {
      {{&notes, &later, &mail, &browser, &tweet}, "Mail|Share on Twitter|-|Read Later|-|Notes"},
      {{&mail, &later, &notes}, "Mail|-|Read Later|-|Notes"},
      {{&later, &notes}, "Read Later|-|Notes"},
      {{&mail, &post}, "Mail|Post"},
      {{&mail, &later}, "Mail|-|Read Later"},
      {{&tweet}, "Share on Twitter"},
      {{&browser}, ""},
      {{}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(describe(ZPHSharingMenuBuilder::commandList(c.commands)), c.expected);
}

TEST(SharingCommands, OnlyCommandsThatValidateAreOfferedAndTheirItemsRunThem)
{
  using C = ZPHSharingPluginCommand;
  FakeCommand mail(QStringLiteral("Mail"), C::Sharing, false), later(QStringLiteral("Read Later"), C::ReadLater),
      notes(QStringLiteral("Notes"), C::SendToApplication);
  const QList<ZPHSharingPluginCommand*> list = ZPHSharingMenuBuilder::commandList({&mail, &later, &notes});
  ASSERT_EQ(describe(list), QStringLiteral("Mail|-|Read Later|-|Notes"));

  const CBSharableItem item = CBSharableItem::sharableItemWithURL(QUrl(QStringLiteral("https://example.com/a")));
  QList<ZPHSharingPluginCommand*> performed;
  QMenu menu;
  const auto perform = [&](ZPHSharingPluginCommand* command) {
    performed.append(command);
    command->performCommandWithArray({item}, CBUserInterfaceContext(), nullptr, nullptr);
  };
  // Mail does not validate: no item for it and no separator before the rest.
  EXPECT_EQ(ZPHSharingMenuBuilder::addCommandsToMenu(list, &menu, item, perform), 2);
  EXPECT_EQ(describe(menu), QStringLiteral("Read Later|-|Notes"));
  menu.actions().constLast()->trigger();
  EXPECT_EQ(performed, QList<ZPHSharingPluginCommand*>{&notes});
  EXPECT_EQ(notes.runs, 1);

  // Without an item nothing validates here, so nothing is offered.
  QMenu empty;
  EXPECT_EQ(ZPHSharingMenuBuilder::addCommandsToMenu(list, &empty, std::nullopt, perform), 0);
  EXPECT_TRUE(empty.actions().isEmpty());
}

namespace {

// A plug-in of the test's: its commands, its group title, and whether it
// lets itself be registered; it counts how it was asked.
class FakePlugin : public CBPlugin {
public:
  FakePlugin(QList<FakeCommand*> commands, bool registers = true, QString group = {})
      : m_commands(std::move(commands)), m_registers(registers), m_group(std::move(group))
  {
    ++made;
  }
  bool shouldRegister(ZPHPluginManager* manager) override
  {
    Q_UNUSED(manager);
    return m_registers;
  }
  void didRegister() override { ++registered; }
  QList<ZPHSharingPluginCommand*> allCommands() const override
  {
    QList<ZPHSharingPluginCommand*> list;
    for (FakeCommand* command : m_commands) list.append(command);
    return list;
  }
  QString titleForGroup() const override { return m_group; }
  static inline int made = 0;
  static inline int registered = 0;

private:
  QList<FakeCommand*> m_commands;
  bool m_registers;
  QString m_group;
};

QString describeMenu(const QMenu& menu)
{
  QStringList parts;
  for (QAction* action : menu.actions()) {
    QString part = action->isSeparator() ? QStringLiteral("-") : action->text();
    if (!action->isEnabled())
      part = QLatin1Char('[') + part + QLatin1Char(']');
    if (ZPHPluginManager::indentationLevelOfMenuItem(action) > 0)
      part = QStringLiteral("  ") + part;
    parts.append(part);
  }
  return parts.join(QLatin1Char('|'));
}

}  // namespace

TEST(SharingPluginManager, RegistersEachClassOnceInOrderAndHonoursVetoes)
{
  using C = ZPHSharingPluginCommand;
  FakeCommand mail(QStringLiteral("Mail"), C::Sharing),
      both(QStringLiteral("Both"), QList<int>{C::Sharing, C::ReadLater}), none(QStringLiteral("None"), QList<int>{}),
      vetoed(QStringLiteral("Vetoed"), C::Sharing), browser(QStringLiteral("Browser"), C::OpenInBrowser);
  ZPHPluginManager::registerPluginClass(QStringLiteral("TestMailPlugin"), [&] {
    return std::make_unique<FakePlugin>(QList<FakeCommand*>{&mail, &none});
  });
  ZPHPluginManager::registerPluginClass(QStringLiteral("TestBothPlugin"),
                                        [&] { return std::make_unique<FakePlugin>(QList<FakeCommand*>{&both}); });
  ZPHPluginManager::registerPluginClass(QStringLiteral("TestVetoPlugin"), [&] {
    return std::make_unique<FakePlugin>(QList<FakeCommand*>{&vetoed}, false);
  });
  ZPHPluginManager::registerPluginClass(QStringLiteral("TestBrowserPlugin"),
                                        [&] { return std::make_unique<FakePlugin>(QList<FakeCommand*>{&browser}); });
  ZPHPluginManager::registerPluginClass(QStringLiteral("TestNotAPlugin"), [] { return nullptr; });
  FakePlugin::made = 0;
  FakePlugin::registered = 0;

  ZPHPluginManager manager;
  // Unknown names, names twice, a veto and a class that makes no plug-in.
  manager.registerPluginsWithClassNames({QStringLiteral("TestBothPlugin"), QStringLiteral("NoSuchClass"),
                                         QStringLiteral("TestVetoPlugin"), QStringLiteral("TestMailPlugin"),
                                         QStringLiteral("TestBothPlugin"), QStringLiteral("TestNotAPlugin"),
                                         QStringLiteral("TestBrowserPlugin")});
  manager.registerPluginOfClass(QStringLiteral("TestVetoPlugin"));
  EXPECT_EQ(manager.pluginClasses(),
            (QStringList{QStringLiteral("TestBothPlugin"), QStringLiteral("TestVetoPlugin"),
                         QStringLiteral("TestMailPlugin"), QStringLiteral("TestBrowserPlugin")}));
  EXPECT_EQ(FakePlugin::made, 4);  // the vetoing class is not made again
  EXPECT_EQ(FakePlugin::registered, 3);
  EXPECT_EQ(manager.plugins().size(), 3);
  EXPECT_EQ(manager.commands(), (QList<C*>{&both, &mail, &none, &browser}));

  // A command of two types counts in both; one of none in neither.
  EXPECT_EQ(manager.sharingCommands(), (QList<C*>{&both, &mail}));
  EXPECT_EQ(manager.commandsOfType(C::ReadLater), QList<C*>{&both});
  for (int type : {1, 2, 3, 4}) EXPECT_FALSE(manager.commandsOfType(type).contains(&none));
  EXPECT_EQ(manager.pluginCommandWithCommandID(QStringLiteral("Mail")), &mail);
  EXPECT_EQ(manager.pluginCommandWithCommandID(QString()), nullptr);
  EXPECT_EQ(manager.sharingCommandWithCommandID(QStringLiteral("Browser")), nullptr);
  EXPECT_EQ(manager.pluginCommandOfClass<FakeCommand>(), &both);
}

TEST(SharingPluginManager, OneCommandShowsAloneTwoOrMoreUnderTheirGroup)
{
  using C = ZPHSharingPluginCommand;
  QImage big(32, 32, QImage::Format_ARGB32);
  big.fill(Qt::red);
  FakeCommand solo(QStringLiteral("Solo"), QList<int>{C::SendToApplication}, true, QStringLiteral("S"), big),
      first(QStringLiteral("Send to First"), QList<int>{C::SendToApplication}, true, QStringLiteral("First")),
      second(QStringLiteral("Send to Second"), QList<int>{C::SendToApplication}, true),
      later(QStringLiteral("Later"), C::SendToApplication);
  ZPHPluginManager::registerPluginClass(QStringLiteral("TestGroupPlugin"), [&] {
    return std::make_unique<FakePlugin>(QList<FakeCommand*>{&first, &second}, true, QStringLiteral("Send to App"));
  });
  ZPHPluginManager::registerPluginClass(QStringLiteral("TestSoloPlugin"),
                                        [&] { return std::make_unique<FakePlugin>(QList<FakeCommand*>{&solo}); });
  ZPHPluginManager::registerPluginClass(QStringLiteral("TestLaterPlugin"),
                                        [&] { return std::make_unique<FakePlugin>(QList<FakeCommand*>{&later}); });
  ZPHPluginManager manager;
  manager.registerPluginsWithClassNames(
      {QStringLiteral("TestGroupPlugin"), QStringLiteral("TestSoloPlugin"), QStringLiteral("TestLaterPlugin")});
  const int type = C::SendToApplication;
  // Solo commands of every plug-in come before any group.
  EXPECT_EQ(manager.orderedPluginCommandsOfType(type), (QList<C*>{&solo, &later, &first, &second}));
  EXPECT_EQ(manager.pluginsWithGroupedCommandsOfType(type).size(), 1);
  EXPECT_EQ(manager.pluginsWithSoloCommandsOfType(type).size(), 2);

  // Menus do not indent: a grey label stands above the group's short titles.
  QMenu indented;
  manager.addPluginCommandsOfType(type, &indented, std::nullopt, true);
  EXPECT_EQ(describeMenu(indented), QStringLiteral("Solo|Later|[Send to App]|  First|  Send to Second"));
  QMenu flat;
  manager.addPluginCommandsOfType(type, &flat, std::nullopt, false);
  EXPECT_EQ(describeMenu(flat), QStringLiteral("Solo|Later|Send to First|Send to Second"));

  // A 32-point picture shows at 16 in the menu; the command keeps its own.
  const QList<QSize> sizes = flat.actions().first()->icon().availableSizes();
  ASSERT_FALSE(sizes.isEmpty());
  EXPECT_EQ(sizes.first(), QSize(16, 16));
  EXPECT_EQ(solo.image().size(), QSize(32, 32));
  EXPECT_TRUE(flat.actions().at(1)->icon().isNull());

  // An item with its object runs the command on it; one without runs
  // through the performer the main window installs.
  QMenu withItem;
  const CBSharableItem item = CBSharableItem::sharableItemWithURL(QUrl(QStringLiteral("https://example.com/")));
  QAction* action = manager.addPluginCommandToMenu(&later, &withItem, item, 0);
  ZPHPluginManager::associateMenuItemWithView(action, &withItem);
  action->trigger();
  EXPECT_EQ(later.runs, 1);
  EXPECT_EQ(later.lastView, &withItem);
  QList<C*> performed;
  manager.setPerformerForItemlessMenuItems([&](C* command) { performed.append(command); });
  flat.actions().first()->trigger();
  EXPECT_EQ(performed, QList<C*>{&solo});
  EXPECT_EQ(solo.runs, 0);
}
