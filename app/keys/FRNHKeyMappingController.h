#pragma once

// Qt kind: QObject.

#include <QtCore/QJsonObject>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QVariantMap>
#include <QtGui/QAction>
#include <QtGui/QKeySequence>

// Posted (no object) when a shortcut set was loaded and applied.
extern const QString FRNHKeyMappingSetNameDidChangeNotification;  // same text

// The keyboard shortcuts of the program's commands come from a named
// shortcut set, a JSON resource ":/KeyMappings/<name>.json":
//
//   {"Mappings": {"refreshAll:": {"key": 15, "modifier": 1048576}, ...}}
//
// Each entry is keyed by the name of a command (the objectName of the
// QAction that runs it); "key" is the key's position code (see
// SRKeyCodeTransformer), "modifier" a mask of Shift 0x20000, Control
// 0x40000, Option 0x80000 and Command 0x100000, which become Shift, Meta,
// Alt and Ctrl.
//
// The controller applies a set to the actions it is given: each action
// named in the set gets the set's shortcut; actions the set does not name
// keep theirs. Main thread.
class FRNHKeyMappingController : public QObject {
  Q_OBJECT

public:
  // Modifier bits of a set.
  static constexpr quint64 ShiftKeyMask = 0x20000;
  static constexpr quint64 ControlKeyMask = 0x40000;
  static constexpr quint64 OptionKeyMask = 0x80000;
  static constexpr quint64 CommandKeyMask = 0x100000;

  // `resourceFolder`: where the sets are (":/KeyMappings").
  explicit FRNHKeyMappingController(const QString& resourceFolder = QStringLiteral(":/KeyMappings"),
                                    QObject* parent = nullptr);
  ~FRNHKeyMappingController() override;

  QString keySetName() const { return m_keySetName; }
  // Switches to the set of that name: keeps the name, reads the set and,
  // when it could be read, applies it to menuItems() and posts
  // FRNHKeyMappingSetNameDidChangeNotification. A set that cannot be read
  // leaves the shortcuts as they were (the name is kept all the same). The
  // name of the set in use does nothing. An empty name is a programming
  // error.
  void setKeySetName(const QString& name);

  // The whole set as read, and its "Mappings".
  QJsonObject keyMapping() const { return m_keyMapping; }
  QJsonObject mappingsDictionary() const { return m_keyMapping.value(QStringLiteral("Mappings")).toObject(); }

  // The actions the set is applied to.
  QList<QAction*> menuItems() const;
  void setMenuItems(const QList<QAction*>& items);

  // The entry of a command, its "key" (-1 when none) and its "modifier".
  QVariantMap keyEquivalentDictionaryForString(const QString& name) const;
  int keyEquivalentForString(const QString& name) const;
  quint64 keyEquivalentModifierMaskForString(const QString& name) const;

  // Applies the set to menuItems(): first clears the shortcut of every
  // action the set names, then sets each one's; an action with keys of the
  // desktop (desktopKeysForIdentifier()) has those first, the set's after.
  void setupMenus();
  // Gives the action the shortcut of the entry named by its objectName.
  void setupMenuItem(QAction* item);
  // Gives the action the shortcut of the entry `identifier` (a sharing
  // command's identifier); an entry without "key" or "modifier" leaves it.
  void setupMenuItemWithIdentifier(QAction* item, const QString& identifier);
  // Gives the action the shortcut of the key code with the mask; a code
  // that makes no key is logged and leaves the action as it was.
  void setupMenuItemWithKeyEquivalent(QAction* item, int keyCode, quint64 modifierMask);

  // The shortcut of a key code with a set's mask; empty when the code makes
  // no key.
  virtual QKeySequence keySequenceForKeyEquivalent(int keyCode, quint64 modifierMask) const;
  // Whether single keys without modifiers act as commands in the main window.
  virtual bool shouldSupportUnmodifiedSingleKeyShortcuts() const { return false; }
  // The keys the desktop gives a command whatever the set (F11 for full
  // screen, say); none here.
  virtual QList<QKeySequence> desktopKeysForIdentifier(const QString& identifier) const;

  // Qt's modifiers for a set's mask.
  static Qt::KeyboardModifiers modifiersForMask(quint64 modifierMask);

private:
  QString m_resourceFolder;
  QString m_keySetName;
  QJsonObject m_keyMapping;
  QList<QPointer<QAction>> m_menuItems;
};
