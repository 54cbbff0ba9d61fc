#include "sync/ZPHSyncDeletedNodeLog.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QMutexLocker>
#include <QtCore/QSaveFile>

namespace {

const QString FileName = QStringLiteral("SyncDeletions.json");
const QString GuidKey = QStringLiteral("guid");
const QString ModDateKey = QStringLiteral("modDate");

// Far more than MaximumCount records take.
constexpr qint64 MaximumFileSize = 32 * 1024 * 1024;

thread_local bool t_ownDeletions = false;

}  // namespace

ZPHSyncDeletedNodeLog::ZPHSyncDeletedNodeLog(const QString& folder) : m_folder(folder), m_followsDelegate(false) {}

ZPHSyncDeletedNodeLog::ZPHSyncDeletedNodeLog() : m_followsDelegate(true) {}

ZPHSyncDeletedNodeLog& ZPHSyncDeletedNodeLog::sharedLog()
{
  static ZPHSyncDeletedNodeLog log;
  return log;
}

QString ZPHSyncDeletedNodeLog::filePath() const
{
  QString folder = m_folder;
  if (m_followsDelegate) {
    if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
      folder = delegate->pathToDataFolder();
  }
  return folder.isEmpty() ? QString() : QDir(folder).filePath(FileName);
}

QList<QJsonObject> ZPHSyncDeletedNodeLog::load() const
{
  const QString path = filePath();
  if (path.isEmpty())
    return m_memory;
  QFile file(path);
  if (!file.exists())
    return {};
  if (file.size() > MaximumFileSize || !file.open(QIODevice::ReadOnly)) {
    qCWarning(zphSync).noquote() << "cannot read the pending sync deletions in" << path;
    return {};
  }
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
  QList<QJsonObject> nodes;
  for (const QJsonValue& value : document.array()) {
    if (value.isObject() && value.toObject().value(GuidKey).isString())
      nodes.append(value.toObject());
  }
  return nodes;
}

void ZPHSyncDeletedNodeLog::save(const QList<QJsonObject>& nodes)
{
  const QString path = filePath();
  if (path.isEmpty()) {
    m_memory = nodes;
    return;
  }
  if (nodes.isEmpty()) {
    QFile::remove(path);
    return;
  }
  QJsonArray array;
  for (const QJsonObject& node : nodes) array.append(node);
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(array).toJson(QJsonDocument::Compact)) < 0 ||
      !file.commit())
    qCWarning(zphSync).noquote() << "cannot write the pending sync deletions to" << path;
}

void ZPHSyncDeletedNodeLog::record(const QJsonObject& node)
{
  const QString guid = node.value(GuidKey).toString();
  if (guid.isEmpty())
    return;
  QMutexLocker locker(&m_mutex);
  QList<QJsonObject> nodes = load();
  nodes.removeIf([&](const QJsonObject& other) { return other.value(GuidKey).toString() == guid; });
  nodes.append(node);
  if (nodes.size() > MaximumCount) {
    qCWarning(zphSync) << "too many deletions wait for the sync server; the oldest are dropped";
    nodes = nodes.mid(nodes.size() - MaximumCount);
  }
  save(nodes);
}

QList<QJsonObject> ZPHSyncDeletedNodeLog::pendingNodes() const
{
  QMutexLocker locker(&m_mutex);
  return load();
}

void ZPHSyncDeletedNodeLog::remove(const QList<QJsonObject>& sent)
{
  if (sent.isEmpty())
    return;
  QMutexLocker locker(&m_mutex);
  QList<QJsonObject> nodes = load();
  const qsizetype before = nodes.size();
  nodes.removeIf([&](const QJsonObject& node) {
    for (const QJsonObject& other : sent) {
      if (other.value(GuidKey) == node.value(GuidKey) &&
          node.value(ModDateKey).toDouble() <= other.value(ModDateKey).toDouble())
        return true;
    }
    return false;
  });
  if (nodes.size() != before)
    save(nodes);
}

void ZPHSyncDeletedNodeLog::clear()
{
  QMutexLocker locker(&m_mutex);
  save({});
}

ZPHSyncDeletedNodeLog::OwnDeletionsScope::OwnDeletionsScope() : m_previous(t_ownDeletions) { t_ownDeletions = true; }

ZPHSyncDeletedNodeLog::OwnDeletionsScope::~OwnDeletionsScope() { t_ownDeletions = m_previous; }

bool ZPHSyncDeletedNodeLog::OwnDeletionsScope::isActive() { return t_ownDeletions; }
