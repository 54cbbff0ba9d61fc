#include "keys/FRNHKeyMappingController.h"

#include "keys/SRKeyCodeTransformer.h"
#include "kit/ZPHInterfaceLog.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QJsonDocument>

const QString FRNHKeyMappingSetNameDidChangeNotification = QStringLiteral("FRNHKeyMappingSetNameDidChangeNotification");

namespace {

// A shortcut set is a small file; anything larger is not one.
constexpr qint64 LargestSetBytes = 256 * 1024;

QJsonObject readSet(const QString& path)
{
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > LargestSetBytes)
    return {};
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(file.read(LargestSetBytes), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject())
    return {};
  return document.object();
}

}  // namespace

FRNHKeyMappingController::FRNHKeyMappingController(const QString& resourceFolder, QObject* parent)
    : QObject(parent), m_resourceFolder(resourceFolder)
{
}

FRNHKeyMappingController::~FRNHKeyMappingController() = default;

void FRNHKeyMappingController::setKeySetName(const QString& name)
{
  Q_ASSERT_X(!name.isEmpty(), Q_FUNC_INFO, "invalid keyset name");
  if (name.isEmpty() || name == m_keySetName)
    return;
  m_keySetName = name;
  const QString path = QDir(m_resourceFolder).filePath(name + QStringLiteral(".json"));
  const QJsonObject set = readSet(path);
  if (set.isEmpty()) {
    qCWarning(zphInterface).noquote() << "cannot read the shortcut set" << path << "; the shortcuts stay";
    return;
  }
  m_keyMapping = set;
  setupMenus();
  ZPHNotificationCenter::defaultCenter().post(FRNHKeyMappingSetNameDidChangeNotification);
}

QList<QAction*> FRNHKeyMappingController::menuItems() const
{
  QList<QAction*> items;
  for (const QPointer<QAction>& item : m_menuItems) {
    if (item)
      items.append(item);
  }
  return items;
}

void FRNHKeyMappingController::setMenuItems(const QList<QAction*>& items)
{
  m_menuItems.clear();
  for (QAction* item : items) m_menuItems.append(item);
}

QVariantMap FRNHKeyMappingController::keyEquivalentDictionaryForString(const QString& name) const
{
  Q_ASSERT_X(!name.isEmpty(), Q_FUNC_INFO, "invalid selector supplied");
  return mappingsDictionary().value(name).toObject().toVariantMap();
}

int FRNHKeyMappingController::keyEquivalentForString(const QString& name) const
{
  const QJsonValue key = mappingsDictionary().value(name).toObject().value(QStringLiteral("key"));
  return key.isDouble() ? key.toInt(-1) : -1;
}

quint64 FRNHKeyMappingController::keyEquivalentModifierMaskForString(const QString& name) const
{
  const QJsonValue mask = mappingsDictionary().value(name).toObject().value(QStringLiteral("modifier"));
  return mask.isDouble() && mask.toDouble() >= 0 ? quint64(mask.toDouble()) : 0;
}

void FRNHKeyMappingController::setupMenus()
{
  const QJsonObject mappings = mappingsDictionary();
  const QList<QAction*> items = menuItems();
  for (QAction* item : items) {
    if (mappings.contains(item->objectName()))
      item->setShortcut(QKeySequence());
  }
  for (QAction* item : items) {
    if (mappings.contains(item->objectName()))
      setupMenuItem(item);
    else if (const QList<QKeySequence> desktop = desktopKeysForIdentifier(item->objectName()); !desktop.isEmpty())
      item->setShortcuts(desktop);
  }
}

QList<QKeySequence> FRNHKeyMappingController::desktopKeysForIdentifier(const QString&) const { return {}; }

void FRNHKeyMappingController::setupMenuItem(QAction* item)
{
  if (item != nullptr)
    setupMenuItemWithIdentifier(item, item->objectName());
}

void FRNHKeyMappingController::setupMenuItemWithIdentifier(QAction* item, const QString& identifier)
{
  if (item == nullptr || identifier.isEmpty())
    return;
  const QJsonObject entry = mappingsDictionary().value(identifier).toObject();
  const QJsonValue key = entry.value(QStringLiteral("key"));
  const QJsonValue modifier = entry.value(QStringLiteral("modifier"));
  if (!key.isDouble() || !modifier.isDouble())
    return;
  setupMenuItemWithKeyEquivalent(item, key.toInt(-1), keyEquivalentModifierMaskForString(identifier));
}

void FRNHKeyMappingController::setupMenuItemWithKeyEquivalent(QAction* item, int keyCode, quint64 modifierMask)
{
  if (item == nullptr)
    return;
  const QKeySequence sequence = keySequenceForKeyEquivalent(keyCode, modifierMask);
  if (sequence.isEmpty()) {
    qCWarning(zphInterface).noquote() << item->objectName() << item->shortcut().toString() << modifierMask
                                      << "(key code" << keyCode << "makes no key)";
    return;
  }
  QList<QKeySequence> keys = desktopKeysForIdentifier(item->objectName());
  if (!keys.contains(sequence))
    keys.append(sequence);
  item->setShortcuts(keys);
}

QKeySequence FRNHKeyMappingController::keySequenceForKeyEquivalent(int keyCode, quint64 modifierMask) const
{
  const std::optional<QKeyCombination> key = SRKeyCodeTransformer::keyForKeyCode(keyCode);
  if (!key)
    return {};
  return QKeySequence(QKeyCombination(key->keyboardModifiers() | modifiersForMask(modifierMask), key->key()));
}

Qt::KeyboardModifiers FRNHKeyMappingController::modifiersForMask(quint64 modifierMask)
{
  Qt::KeyboardModifiers modifiers;
  if (modifierMask & ShiftKeyMask)
    modifiers |= Qt::ShiftModifier;
  if (modifierMask & ControlKeyMask)
    modifiers |= Qt::MetaModifier;
  if (modifierMask & OptionKeyMask)
    modifiers |= Qt::AltModifier;
  if (modifierMask & CommandKeyMask)
    modifiers |= Qt::ControlModifier;
  return modifiers;
}
