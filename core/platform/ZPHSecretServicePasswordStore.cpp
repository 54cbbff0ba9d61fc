#include "platform/ZPHSecretServicePasswordStore.h"

#include "platform/ZPHLog.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QMutexLocker>
#include <QtCore/QThread>
#include <QtCore/QWaitCondition>

#include <qt6keychain/keychain.h>

namespace {

const QString kInternetService = QStringLiteral("Zephlin Internet Password");
const QString kIndexService = QStringLiteral("Zephlin Password Index");
const QString kIndexKey = QStringLiteral("index");
const QString kProbeService = QStringLiteral("Zephlin");
const QString kProbeKey = QStringLiteral("secret service probe");

// The one thread on which every QtKeychain job of the process runs.
// QtKeychain runs its jobs one after another through an object that lives on
// the thread of the first job, so all jobs must come from one thread that
// lives as long as the process.
class KeychainThread {
public:
  static KeychainThread& instance()
  {
    static KeychainThread thread;
    return thread;
  }

  QObject* context() { return m_context; }

private:
  KeychainThread() : m_thread(new QThread), m_context(new QObject)
  {
    m_thread->setObjectName(QStringLiteral("ZPH keychain"));
    m_context->moveToThread(m_thread);
    m_thread->start();
  }
  ~KeychainThread()
  {
    // At exit. A thread still stuck in a request is left to the end of the
    // process rather than destroyed while it runs.
    m_thread->quit();
    if (m_thread->wait(QDeadlineTimer(2000))) {
      delete m_context;
      delete m_thread;
    }
  }

  QThread* m_thread;
  QObject* m_context;
};

int statusForError(QKeychain::Error error)
{
  switch (error) {
    case QKeychain::NoError:
      return ZPHPasswordStore::Success;
    case QKeychain::EntryNotFound:
      return ZPHPasswordStore::ItemNotFound;
    case QKeychain::AccessDeniedByUser:
      return ZPHPasswordStore::UserCanceled;
    case QKeychain::AccessDenied:
      return ZPHPasswordStore::AuthFailed;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
      return ZPHPasswordStore::NotAvailable;
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::OtherError:
      break;
  }
  return ZPHPasswordStore::Failed;
}

// The QtKeychain service and key of an item.
QString serviceFor(const ZPHPasswordItem& item)
{
  return item.kind == ZPHPasswordItem::Internet ? kInternetService : item.service;
}

QString keyFor(const ZPHPasswordItem& item)
{
  if (item.kind == ZPHPasswordItem::Generic)
    return item.account;
  const QJsonArray key{item.server, item.path.isNull() ? QStringLiteral("") : item.path, item.account,
                       static_cast<qint64>(item.protocol)};
  return QString::fromUtf8(QJsonDocument(key).toJson(QJsonDocument::Compact));
}

}  // namespace

struct ZPHSecretServicePasswordStore::Request {
  enum Kind { Read, Write, Delete } kind;
  QString service;
  QString key;
  QByteArray data;
};

struct ZPHSecretServicePasswordStore::Answer {
  int status = NotAvailable;
  QString message;
  QByteArray data;
};

ZPHSecretServicePasswordStore::ZPHSecretServicePasswordStore(int timeoutMs) : m_timeoutMs(timeoutMs) {}

ZPHSecretServicePasswordStore::Answer ZPHSecretServicePasswordStore::run(const Request& request, int timeoutMs) const
{
  struct Shared {
    QMutex mutex;
    QWaitCondition answered;
    bool done = false;
    Answer answer;
  };
  auto shared = std::make_shared<Shared>();
  // A read that takes too long is given up: it changed nothing. A write or
  // delete is waited for to its end, as it may still take effect after any
  // time limit, and its caller must learn what happened.
  const QDeadlineTimer deadline =
      request.kind == Request::Read ? QDeadlineTimer(timeoutMs) : QDeadlineTimer(QDeadlineTimer::Forever);

  QMetaObject::invokeMethod(
      KeychainThread::instance().context(),
      [shared, request] {
        QKeychain::Job* job = nullptr;
        switch (request.kind) {
          case Request::Read:
            job = new QKeychain::ReadPasswordJob(request.service);
            break;
          case Request::Write: {
            auto* write = new QKeychain::WritePasswordJob(request.service);
            write->setBinaryData(request.data);
            job = write;
            break;
          }
          case Request::Delete:
            job = new QKeychain::DeletePasswordJob(request.service);
            break;
        }
        job->setKey(request.key);
        job->setInsecureFallback(false);
        job->setAutoDelete(true);
        QObject::connect(job, &QKeychain::Job::finished, job, [shared](QKeychain::Job* finished) {
          Answer answer;
          answer.status = statusForError(finished->error());
          answer.message = finished->errorString();
          if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished); read && answer.status == Success)
            answer.data = read->binaryData();
          QMutexLocker locker(&shared->mutex);
          shared->answer = std::move(answer);
          shared->done = true;
          shared->answered.wakeAll();
        });
        job->start();
      },
      Qt::QueuedConnection);

  QMutexLocker locker(&shared->mutex);
  while (!shared->done) {
    if (!shared->answered.wait(&shared->mutex, deadline))
      break;
  }
  if (!shared->done) {
    Answer late;
    late.status = NotAvailable;
    late.message = QStringLiteral("no answer within %1 ms").arg(timeoutMs);
    return late;
  }
  return shared->answer;
}

bool ZPHSecretServicePasswordStore::probe(int timeoutMs, QString* whyNot)
{
  const Answer answer = run({Request::Read, kProbeService, kProbeKey, {}}, timeoutMs);
  // Refusing access is an answer too: the service is there.
  switch (answer.status) {
    case Success:
    case ItemNotFound:
    case UserCanceled:
    case AuthFailed:
      return true;
    default:
      if (whyNot)
        *whyNot = answer.message.isEmpty() ? messageForStatus(answer.status) : answer.message;
      return false;
  }
}

int ZPHSecretServicePasswordStore::readSecret(const ZPHPasswordItem& key, QByteArray* secret) const
{
  const Answer answer = run({Request::Read, serviceFor(key), keyFor(key), {}}, m_timeoutMs);
  if (answer.status == Success && secret)
    *secret = answer.data;
  if (answer.status != Success && answer.status != ItemNotFound)
    qCWarning(zphCore) << "The secret service could not read a password:" << answer.message;
  return answer.status;
}

int ZPHSecretServicePasswordStore::writeSecret(const ZPHPasswordItem& key, const QByteArray& secret) const
{
  const Answer answer = run({Request::Write, serviceFor(key), keyFor(key), secret}, m_timeoutMs);
  if (answer.status != Success)
    qCWarning(zphCore) << "The secret service could not store a password:" << answer.message;
  return answer.status;
}

int ZPHSecretServicePasswordStore::deleteSecret(const ZPHPasswordItem& key) const
{
  const Answer answer = run({Request::Delete, serviceFor(key), keyFor(key), {}}, m_timeoutMs);
  if (answer.status != Success && answer.status != ItemNotFound)
    qCWarning(zphCore) << "The secret service could not delete a password:" << answer.message;
  return answer.status;
}

int ZPHSecretServicePasswordStore::readIndex(QList<ZPHPasswordItem>* items) const
{
  items->clear();
  const Answer answer = run({Request::Read, kIndexService, kIndexKey, {}}, m_timeoutMs);
  if (answer.status == ItemNotFound)
    return Success;
  if (answer.status != Success) {
    qCWarning(zphCore) << "The secret service could not read the password index:" << answer.message;
    return answer.status;
  }
  const QJsonDocument document = QJsonDocument::fromJson(answer.data);
  bool wellFormed = document.isObject();
  for (const auto& [name, kind] : {std::pair{QStringLiteral("internet"), ZPHPasswordItem::Internet},
                                   std::pair{QStringLiteral("generic"), ZPHPasswordItem::Generic}}) {
    const QJsonArray records = document.object().value(name).toArray();
    for (const QJsonValue& record : records) {
      ZPHPasswordItem item;
      if (record.isObject() && itemFromRecord(record.toObject(), kind, &item))
        items->append(item);
      else
        wellFormed = false;
    }
  }
  if (!wellFormed)
    qCWarning(zphCore) << "The password index in the secret service is damaged; it is rebuilt as items change";
  return Success;
}

int ZPHSecretServicePasswordStore::writeIndex(const QList<ZPHPasswordItem>& items) const
{
  QJsonArray internet;
  QJsonArray generic;
  for (const ZPHPasswordItem& item : items)
    (item.kind == ZPHPasswordItem::Internet ? internet : generic).append(recordFromItem(item, false));
  const QJsonObject root{{QStringLiteral("internet"), internet}, {QStringLiteral("generic"), generic}};
  const Answer answer =
      run({Request::Write, kIndexService, kIndexKey, QJsonDocument(root).toJson(QJsonDocument::Compact)}, m_timeoutMs);
  if (answer.status != Success)
    qCWarning(zphCore) << "The secret service could not store the password index:" << answer.message;
  return answer.status;
}

void ZPHSecretServicePasswordStore::recordInIndex(const ZPHPasswordItem& item, bool isNew) const
{
  QList<ZPHPasswordItem> index;
  if (readIndex(&index) != Success)
    return;
  const QDateTime now = QDateTime::currentDateTimeUtc();
  ZPHPasswordItem record = item;
  record.password.clear();
  record.created = now;
  record.modified = now;
  for (qsizetype i = 0; i < index.size(); ++i) {
    if (index[i].hasSameKey(item)) {
      if (!isNew) {
        record.label = index[i].label;
        if (index[i].created.isValid())
          record.created = index[i].created;
      }
      index.removeAt(i);
      break;
    }
  }
  index.append(record);
  writeIndex(index);
}

int ZPHSecretServicePasswordStore::findPassword(const ZPHPasswordItem& query, ZPHPasswordItem* found)
{
  QMutexLocker locker(&m_mutex);
  if (!hasCompleteKey(query))
    return BadParameter;

  // A query for any protocol looks for an item stored with protocol 0 first,
  // then for the items the index knows.
  QList<ZPHPasswordItem> candidates{query};
  if (query.kind == ZPHPasswordItem::Internet && query.protocol == 0) {
    QList<ZPHPasswordItem> index;
    readIndex(&index);
    for (const ZPHPasswordItem& item : std::as_const(index)) {
      if (item.protocol != 0 && item.matchesQuery(query))
        candidates.append(item);
    }
  }
  for (const ZPHPasswordItem& candidate : std::as_const(candidates)) {
    QByteArray secret;
    const int status = readSecret(candidate, &secret);
    if (status == ItemNotFound)
      continue;
    if (status != Success)
      return status;
    if (found) {
      *found = candidate;
      found->password = secret;
    }
    return Success;
  }
  return ItemNotFound;
}

int ZPHSecretServicePasswordStore::listItems(const ZPHPasswordItem& query, QList<ZPHPasswordItem>* items)
{
  QMutexLocker locker(&m_mutex);
  QList<ZPHPasswordItem> index;
  if (const int status = readIndex(&index); status != Success)
    return status;
  index.removeIf([&](const ZPHPasswordItem& item) { return !item.matchesQuery(query); });
  if (index.isEmpty())
    return ItemNotFound;
  if (items)
    *items = std::move(index);
  return Success;
}

int ZPHSecretServicePasswordStore::addItem(const ZPHPasswordItem& item)
{
  if (!hasCompleteKey(item))
    return BadParameter;
  QMutexLocker locker(&m_mutex);
  const int existing = readSecret(item, nullptr);
  if (existing == Success)
    return DuplicateItem;
  if (existing != ItemNotFound)
    return existing;
  if (const int status = writeSecret(item, item.password); status != Success)
    return status;
  ZPHPasswordItem record = item;
  if (record.kind == ZPHPasswordItem::Internet)
    record.label = QString();
  recordInIndex(record, true);
  return Success;
}

int ZPHSecretServicePasswordStore::updatePassword(const ZPHPasswordItem& key, const QByteArray& password)
{
  if (!hasCompleteKey(key))
    return BadParameter;
  QMutexLocker locker(&m_mutex);
  if (const int status = readSecret(key, nullptr); status != Success)
    return status;
  if (const int status = writeSecret(key, password); status != Success)
    return status;
  recordInIndex(key, false);
  return Success;
}

int ZPHSecretServicePasswordStore::deleteItem(const ZPHPasswordItem& key)
{
  if (!hasCompleteKey(key))
    return BadParameter;
  QMutexLocker locker(&m_mutex);
  if (const int status = readSecret(key, nullptr); status != Success)
    return status;
  if (const int status = deleteSecret(key); status != Success)
    return status;
  QList<ZPHPasswordItem> index;
  if (readIndex(&index) == Success &&
      index.removeIf([&](const ZPHPasswordItem& item) { return item.hasSameKey(key); }) > 0)
    writeIndex(index);
  return Success;
}
