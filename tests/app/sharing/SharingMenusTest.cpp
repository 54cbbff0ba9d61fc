// The sharing part of the main window's menus, over commands of the test's
// own: the groups and their order, what does not validate, and running a
// command from its menu item.

#include "sharing/ZPHSharingMenuBuilder.h"
#include "sharing/ZPHSharingPluginCommand.h"

#include <QtGui/QAction>
#include <QtWidgets/QMenu>

#include <gtest/gtest.h>

namespace {

class FakeCommand : public ZPHSharingPluginCommand {
public:
  FakeCommand(QString title, int type, bool valid = true) : m_title(std::move(title)), m_type(type), m_valid(valid) {}
  QString commandID() const override { return m_title; }
  QString title() const override { return m_title; }
  int type() const override { return m_type; }
  bool validateWithItems(const QList<CBSharableItem>& items) const override { return m_valid && items.size() == 1; }
  void runWithItems(const QList<CBSharableItem>& items, QWidget* view) override
  {
    Q_UNUSED(view);
    runs += int(items.size());
  }
  int runs = 0;

private:
  QString m_title;
  int m_type;
  bool m_valid;
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
    command->runWithItems({item}, nullptr);
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
