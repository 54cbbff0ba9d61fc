#include "keys/SRKeyCodeTransformer.h"
#include "keys/ZPHKeyMappingController.h"
#include "platform/ZPHNotificationCenter.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QSet>
#include <QtGui/QAction>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr quint64 Shift = FRNHKeyMappingController::ShiftKeyMask;
constexpr quint64 Control = FRNHKeyMappingController::ControlKeyMask;
constexpr quint64 Option = FRNHKeyMappingController::OptionKeyMask;
constexpr quint64 Command = FRNHKeyMappingController::CommandKeyMask;

QKeySequence keys(QKeyCombination combination) { return QKeySequence(combination); }

// Counts the set-changed notifications.
struct SetChanges {
  SetChanges()
  {
    token = ZPHNotificationCenter::defaultCenter().addObserver(FRNHKeyMappingSetNameDidChangeNotification, QVariant(),
                                                               [this](const ZPHNotification&) { ++count; });
  }
  int count = 0;
  ZPHObserverToken token;
};

}  // namespace

TEST(KeyCodeTransformerTest, KeyCodesAreUSKeyPositions)
{
  struct Case {
    int keyCode;
    std::optional<QKeyCombination> key;
  };
  const Case cases[] = {
      {0, QKeyCombination(Qt::Key_A)},
      {15, QKeyCombination(Qt::Key_R)},
      {24, QKeyCombination(Qt::Key_Equal)},
      {29, QKeyCombination(Qt::Key_0)},
      {30, QKeyCombination(Qt::Key_BracketRight)},
      {36, QKeyCombination(Qt::Key_Return)},
      {49, QKeyCombination(Qt::Key_Space)},
      {51, QKeyCombination(Qt::Key_Backspace)},
      {117, QKeyCombination(Qt::Key_Delete)},
      {122, QKeyCombination(Qt::Key_F1)},
      {123, QKeyCombination(Qt::Key_Left)},
      {126, QKeyCombination(Qt::Key_Up)},
      {83, QKeyCombination(Qt::KeypadModifier, Qt::Key_1)},
      {76, QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter)},
      {-1, std::nullopt},
      {10, std::nullopt},  // no such key on US keyboards
      {56, std::nullopt},  // Shift itself
      {55, std::nullopt},  // Command itself
      {128, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyCode);
    EXPECT_EQ(SRKeyCodeTransformer::keyForKeyCode(c.keyCode), c.key);
  }
}

TEST(KeyCodeTransformerTest, DisplaysKeysAndReadsThemBack)
{
  EXPECT_EQ(SRKeyCodeTransformer::transformedValue(15), QStringLiteral("R"));
  EXPECT_EQ(SRKeyCodeTransformer::transformedValue(49), QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText));
  EXPECT_EQ(SRKeyCodeTransformer::transformedValue(83),
            keys(QKeyCombination(Qt::KeypadModifier, Qt::Key_1)).toString(QKeySequence::NativeText));
  EXPECT_NE(SRKeyCodeTransformer::transformedValue(83), SRKeyCodeTransformer::transformedValue(18));
  EXPECT_TRUE(SRKeyCodeTransformer::transformedValue(-3).isNull());
  EXPECT_TRUE(SRKeyCodeTransformer::transformedValue(QStringLiteral("15")).isNull());
  EXPECT_TRUE(SRKeyCodeTransformer::transformedValue(QVariant()).isNull());

  for (const int keyCode : {0, 15, 24, 36, 49, 83, 96, 123}) {
    SCOPED_TRACE(keyCode);
    EXPECT_EQ(SRKeyCodeTransformer::reverseTransformedValue(SRKeyCodeTransformer::transformedValue(keyCode)), keyCode);
  }
  EXPECT_EQ(SRKeyCodeTransformer::reverseTransformedValue(QStringLiteral("no such key")), std::nullopt);
  EXPECT_EQ(SRKeyCodeTransformer::reverseTransformedValue(QString()), std::nullopt);
}

TEST(KeyMappingControllerTest, ModifiersAndShiftedPunctuation)
{
  struct Case {
    const char* language;
    int keyCode;
    quint64 mask;
    QKeySequence expected;
  };
  const Case cases[] = {
      // Command, Option, Control and Shift become Ctrl, Alt, Meta and Shift.
      {"en-US", 15, Command, keys(Qt::CTRL | Qt::Key_R)},
      {"en-US", 15, Option, keys(Qt::ALT | Qt::Key_R)},
      {"en-US", 15, Control, keys(Qt::META | Qt::Key_R)},
      {"en-US", 15, Command | Shift, keys(Qt::CTRL | Qt::SHIFT | Qt::Key_R)},
      {"en-US", 15, Command | Option | Control | Shift, keys(Qt::CTRL | Qt::ALT | Qt::META | Qt::SHIFT | Qt::Key_R)},
      {"en-US", 15, 0, keys(QKeyCombination(Qt::Key_R))},
      // English: shifted "=", "[" and "]" are "+", "{" and "}".
      {"en-US", 24, Command | Shift, keys(Qt::CTRL | Qt::Key_Plus)},
      {"en_GB", 33, Command | Shift, keys(Qt::CTRL | Qt::Key_BraceLeft)},
      {"en", 30, Shift, keys(QKeyCombination(Qt::Key_BraceRight))},
      {"EN-au", 24, Shift | Option, keys(Qt::ALT | Qt::Key_Plus)},
      {"en-US", 24, Command, keys(Qt::CTRL | Qt::Key_Equal)},
      {"en-US", 18, Command | Shift, keys(Qt::CTRL | Qt::SHIFT | Qt::Key_1)},
      {"en-US", 81, Shift,
       keys(QKeyCombination(Qt::ShiftModifier | Qt::KeypadModifier, Qt::Key_Equal))},  // the keypad's "=" stays
      // Elsewhere they stay shifted.
      {"de-DE", 24, Command | Shift, keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal)},
      {"eng", 30, Shift, keys(Qt::SHIFT | Qt::Key_BracketRight)},
      // No key: nothing.
      {"en-US", 300, Command, QKeySequence()},
      {"en-US", 56, Command, QKeySequence()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.language) + " " + std::to_string(c.keyCode) + " " + std::to_string(c.mask));
    ZPHKeyMappingController controller(QString::fromLatin1(c.language));
    EXPECT_EQ(controller.keySequenceForKeyEquivalent(c.keyCode, c.mask), c.expected);
  }
}

TEST(KeyMappingControllerTest, SwitchingSetsRewritesTheNamedActionsOnly)
{
  SetChanges changes;
  QObject owner;
  auto action = [&](const char* name, const QKeySequence& shortcut = {}) {
    auto* item = new QAction(&owner);
    item->setObjectName(QString::fromLatin1(name));
    item->setShortcut(shortcut);
    return item;
  };
  QAction* refresh = action("refreshAll:");
  QAction* markAll = action("markAllAsRead:", keys(Qt::CTRL | Qt::Key_M));
  QAction* larger = action("zph_makeTextLarger:");
  QAction* unnamed = action("stubAction:", keys(Qt::CTRL | Qt::Key_9));
  ZPHKeyMappingController controller(QStringLiteral("en-US"));
  controller.setMenuItems({refresh, markAll, larger, unnamed});

  controller.setKeySetName(ZPHKeyMappingController::Zephlin4SetName);
  EXPECT_EQ(changes.count, 1);
  EXPECT_EQ(refresh->shortcut(), keys(Qt::CTRL | Qt::Key_R));
  EXPECT_EQ(markAll->shortcut(), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
  EXPECT_EQ(larger->shortcut(), keys(Qt::CTRL | Qt::Key_Plus));
  EXPECT_EQ(unnamed->shortcut(), keys(Qt::CTRL | Qt::Key_9));
  EXPECT_FALSE(controller.shouldSupportUnmodifiedSingleKeyShortcuts());
  EXPECT_EQ(controller.keyEquivalentForString(QStringLiteral("refreshAll:")), 15);
  EXPECT_EQ(controller.keyEquivalentModifierMaskForString(QStringLiteral("refreshAll:")), Command);
  EXPECT_EQ(controller.keyEquivalentForString(QStringLiteral("stubAction:")), -1);

  // The same set again: nothing happens.
  refresh->setShortcut(keys(Qt::CTRL | Qt::Key_F12));
  controller.setKeySetName(ZPHKeyMappingController::Zephlin4SetName);
  EXPECT_EQ(changes.count, 1);
  EXPECT_EQ(refresh->shortcut(), keys(Qt::CTRL | Qt::Key_F12));

  // The previous version's set: other keys, and single keys.
  controller.setKeySetName(ZPHKeyMappingController::Zephlin3SetName);
  EXPECT_EQ(changes.count, 2);
  EXPECT_EQ(refresh->shortcut(), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
  EXPECT_EQ(markAll->shortcut(), keys(Qt::CTRL | Qt::ALT | Qt::Key_K));
  EXPECT_TRUE(controller.shouldSupportUnmodifiedSingleKeyShortcuts());

  // A set that is not there: the shortcuts stay, nothing is posted, but the
  // name (and with it the single keys) has changed.
  controller.setKeySetName(QStringLiteral("Zephlin 9"));
  EXPECT_EQ(controller.keySetName(), QStringLiteral("Zephlin 9"));
  EXPECT_EQ(changes.count, 2);
  EXPECT_EQ(refresh->shortcut(), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
  EXPECT_FALSE(controller.shouldSupportUnmodifiedSingleKeyShortcuts());

  // Back to this version's set: single keys are off at once.
  controller.setKeySetName(ZPHKeyMappingController::Zephlin4SetName);
  EXPECT_EQ(refresh->shortcut(), keys(Qt::CTRL | Qt::Key_R));
  EXPECT_FALSE(controller.shouldSupportUnmodifiedSingleKeyShortcuts());

  // A command's identifier (a sharing command) works as its name.
  auto* command = new QAction(&owner);
  controller.setupMenuItemWithIdentifier(command, QStringLiteral("openInBrowser:"));
  EXPECT_EQ(command->shortcut(), keys(Qt::CTRL | Qt::Key_B));
  // Actions that went away are dropped.
  delete larger;
  EXPECT_EQ(controller.menuItems().size(), 3);
}

TEST(KeyMappingControllerTest, AnEntryWithoutAKeyLeavesItsActionWithout)
{
  ZPHTestTempDir dir;
  const QJsonObject set{
      {QStringLiteral("Mappings"),
       QJsonObject{
           {QStringLiteral("refreshAll:"), QJsonObject{{"key", 999}, {"modifier", double(Command)}}},
           {QStringLiteral("toggleRead:"), QJsonObject{{"key", 32}}},
           {QStringLiteral("nextUnread:"), QJsonObject{{"key", 38}, {"modifier", double(Command)}}},
       }},
  };
  dir.writeFile(QStringLiteral("Odd.json"), QJsonDocument(set).toJson());
  dir.writeFile(QStringLiteral("Broken.json"), "{\"Mappings\": ");
  QObject owner;
  QList<QAction*> items;
  for (const char* name : {"refreshAll:", "toggleRead:", "nextUnread:"}) {
    auto* item = new QAction(&owner);
    item->setObjectName(QString::fromLatin1(name));
    item->setShortcut(keys(Qt::CTRL | Qt::Key_F5));
    items.append(item);
  }
  ZPHKeyMappingController controller(QStringLiteral("en-US"), dir.path());
  controller.setMenuItems(items);
  controller.setKeySetName(QStringLiteral("Broken"));
  EXPECT_EQ(items[0]->shortcut(), keys(Qt::CTRL | Qt::Key_F5));
  controller.setKeySetName(QStringLiteral("Odd"));
  EXPECT_TRUE(items[0]->shortcut().isEmpty());  // key code 999 makes no key
  EXPECT_TRUE(items[1]->shortcut().isEmpty());  // no modifier
  EXPECT_EQ(items[2]->shortcut(), keys(Qt::CTRL | Qt::Key_J));
}

TEST(KeyMappingControllerTest, BothSetsGiveEveryCommandAKeyOfItsOwn)
{
  for (const QString& name : {ZPHKeyMappingController::Zephlin4SetName, ZPHKeyMappingController::Zephlin3SetName}) {
    SCOPED_TRACE(name.toStdString());
    QFile file(QStringLiteral(":/KeyMappings/%1.json").arg(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject mappings = QJsonDocument::fromJson(file.readAll()).object().value("Mappings").toObject();
    ASSERT_GT(mappings.size(), 20);
    ZPHKeyMappingController controller(QStringLiteral("en-US"));
    QSet<QString> shortcuts;
    for (auto it = mappings.begin(); it != mappings.end(); ++it) {
      SCOPED_TRACE(it.key().toStdString());
      EXPECT_TRUE(it.key().endsWith(u':'));
      const QJsonObject entry = it.value().toObject();
      const QKeySequence sequence = controller.keySequenceForKeyEquivalent(entry.value("key").toInt(-1),
                                                                           quint64(entry.value("modifier").toDouble()));
      EXPECT_FALSE(sequence.isEmpty());
      EXPECT_FALSE(shortcuts.contains(sequence.toString())) << sequence.toString().toStdString();
      shortcuts.insert(sequence.toString());
    }
  }
}
