#include "platform/ZPHFilePasswordStore.h"

#include "platform/ZPHApplicationState.h"
#include "platform/ZPHLog.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QMutexLocker>
#include <QtCore/QSaveFile>
#include <QtCore/QStandardPaths>

namespace {

const QString kFileName = QStringLiteral("Passwords.json");
const QString kInternetKey = QStringLiteral("internetPasswords");
const QString kGenericKey = QStringLiteral("genericPasswords");
constexpr int kFormatVersion = 1;
// A password file is small; anything larger is not one of ours.
constexpr qint64 kMaximumFileSize = 16 * 1024 * 1024;

}  // namespace

ZPHFilePasswordStore::ZPHFilePasswordStore(const QString& folder)
    : m_folder(folder), m_filePath(QDir(folder).filePath(kFileName))
{
}

QString ZPHFilePasswordStore::defaultFolder()
{
  if (const QString folder = ZPHApplicationState::dataFolder(); !folder.isEmpty())
    return folder;
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

int ZPHFilePasswordStore::findPassword(const ZPHPasswordItem& query, ZPHPasswordItem* found)
{
  QMutexLocker locker(&m_mutex);
  QList<ZPHPasswordItem> items;
  if (const int status = load(&items); status != Success)
    return status;
  for (const ZPHPasswordItem& item : std::as_const(items)) {
    if (item.matchesQuery(query)) {
      if (found)
        *found = item;
      return Success;
    }
  }
  return ItemNotFound;
}

int ZPHFilePasswordStore::listItems(const ZPHPasswordItem& query, QList<ZPHPasswordItem>* items)
{
  QMutexLocker locker(&m_mutex);
  QList<ZPHPasswordItem> all;
  if (const int status = load(&all); status != Success)
    return status;
  QList<ZPHPasswordItem> matching;
  for (ZPHPasswordItem& item : all) {
    if (item.matchesQuery(query)) {
      item.password.clear();
      matching.append(std::move(item));
    }
  }
  if (matching.isEmpty())
    return ItemNotFound;
  if (items)
    *items = std::move(matching);
  return Success;
}

int ZPHFilePasswordStore::addItem(const ZPHPasswordItem& item)
{
  if (!hasCompleteKey(item))
    return BadParameter;
  QMutexLocker locker(&m_mutex);
  QList<ZPHPasswordItem> items;
  if (const int status = load(&items); status != Success)
    return status;
  for (const ZPHPasswordItem& existing : std::as_const(items)) {
    if (existing.hasSameKey(item))
      return DuplicateItem;
  }
  ZPHPasswordItem added = item;
  added.created = added.modified = QDateTime::currentDateTimeUtc();
  if (added.kind == ZPHPasswordItem::Internet)
    added.label = QString();
  items.append(added);
  return save(items);
}

int ZPHFilePasswordStore::updatePassword(const ZPHPasswordItem& key, const QByteArray& password)
{
  QMutexLocker locker(&m_mutex);
  QList<ZPHPasswordItem> items;
  if (const int status = load(&items); status != Success)
    return status;
  for (ZPHPasswordItem& existing : items) {
    if (existing.hasSameKey(key)) {
      existing.password = password;
      existing.modified = QDateTime::currentDateTimeUtc();
      return save(items);
    }
  }
  return ItemNotFound;
}

int ZPHFilePasswordStore::deleteItem(const ZPHPasswordItem& key)
{
  QMutexLocker locker(&m_mutex);
  QList<ZPHPasswordItem> items;
  if (const int status = load(&items); status != Success)
    return status;
  const auto removed = items.removeIf([&](const ZPHPasswordItem& existing) { return existing.hasSameKey(key); });
  if (removed == 0)
    return ItemNotFound;
  return save(items);
}

int ZPHFilePasswordStore::load(QList<ZPHPasswordItem>* items) const
{
  items->clear();
  QFile file(m_filePath);
  if (!file.exists())
    return Success;
  // A file that others may read (one restored from a backup, say) is made
  // private again before its secrets are read.
  const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                          QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
  if (file.permissions() & others) {
    if (file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
      qCWarning(zphCore) << "The password file" << m_filePath << "was readable by others; it is private again";
    else
      qCWarning(zphCore) << "The password file" << m_filePath << "is readable by others and cannot be made private";
  }
  if (!file.open(QIODevice::ReadOnly)) {
    qCWarning(zphCore) << "Cannot read the password file" << m_filePath << ":" << file.errorString();
    return IOFailed;
  }
  if (file.size() > kMaximumFileSize) {
    qCWarning(zphCore) << "The password file" << m_filePath << "is too large to be a password file; left untouched";
    return Corrupt;
  }
  const QByteArray bytes = file.read(kMaximumFileSize + 1);
  if (bytes.size() > kMaximumFileSize) {
    qCWarning(zphCore) << "The password file" << m_filePath << "is too large to be a password file; left untouched";
    return Corrupt;
  }
  const int status = parse(bytes, items);
  if (status != Success) {
    items->clear();
    qCWarning(zphCore) << "The password file" << m_filePath << "is damaged; left untouched";
  }
  return status;
}

int ZPHFilePasswordStore::parse(const QByteArray& bytes, QList<ZPHPasswordItem>* items) const
{
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError || !document.isObject())
    return Corrupt;
  const QJsonObject root = document.object();
  if (root.value(QStringLiteral("version")).toInt(-1) != kFormatVersion)
    return Corrupt;
  for (const auto& [key, kind] :
       {std::pair{kInternetKey, ZPHPasswordItem::Internet}, std::pair{kGenericKey, ZPHPasswordItem::Generic}}) {
    const QJsonValue records = root.value(key);
    if (records.isUndefined())
      continue;
    if (!records.isArray())
      return Corrupt;
    if (const int status = parseArray(records.toArray(), kind, items); status != Success)
      return status;
  }
  return Success;
}

int ZPHFilePasswordStore::parseArray(const QJsonArray& records, ZPHPasswordItem::Kind kind,
                                     QList<ZPHPasswordItem>* items) const
{
  for (const QJsonValue& record : records) {
    ZPHPasswordItem item;
    if (!record.isObject() || !itemFromRecord(record.toObject(), kind, &item))
      return Corrupt;
    items->append(std::move(item));
  }
  return Success;
}

int ZPHFilePasswordStore::save(const QList<ZPHPasswordItem>& items) const
{
  QJsonArray internet;
  QJsonArray generic;
  for (const ZPHPasswordItem& item : items)
    (item.kind == ZPHPasswordItem::Internet ? internet : generic).append(recordFromItem(item, true));
  QJsonObject root;
  root.insert(QStringLiteral("version"), kFormatVersion);
  root.insert(kInternetKey, internet);
  root.insert(kGenericKey, generic);
  const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);

  if (!QDir().mkpath(m_folder)) {
    qCWarning(zphCore) << "Cannot make the folder" << m_folder << "for the password file";
    return IOFailed;
  }
  // The new contents go to a temporary file beside the old one, which is
  // made private before the first byte is written, then replace it.
  QSaveFile file(m_filePath);
  if (!file.open(QIODevice::WriteOnly)) {
    qCWarning(zphCore) << "Cannot write the password file" << m_filePath << ":" << file.errorString();
    return IOFailed;
  }
  if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
    qCWarning(zphCore) << "Cannot make the password file" << m_filePath << "private:" << file.errorString();
    file.cancelWriting();
    return IOFailed;
  }
  if (file.write(bytes) != bytes.size() || !file.commit()) {
    qCWarning(zphCore) << "Cannot write the password file" << m_filePath << ":" << file.errorString();
    return IOFailed;
  }
  return Success;
}
