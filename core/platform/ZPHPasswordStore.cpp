#include "platform/ZPHPasswordStore.h"

#include "platform/ZPHFilePasswordStore.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHSecretServicePasswordStore.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QJsonValue>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QWaitCondition>

#include <atomic>
#include <thread>

const QString ZPHPasswordStoreErrorDomain = QStringLiteral("ZPHPasswordStoreErrorDomain");

namespace {

// How long the secret service may take to answer the first question of a run.
constexpr int kSecretServiceProbeTimeoutMs = 5000;

QString pathOrEmpty(const QString& path) { return path.isNull() ? QStringLiteral("") : path; }

QString dateString(const QDateTime& date)
{
  return date.isValid() ? date.toUTC().toString(Qt::ISODateWithMs) : QString();
}

bool readString(const QJsonObject& record, const QString& name, bool required, QString* value)
{
  const QJsonValue json = record.value(name);
  if (json.isUndefined() && !required)
    return true;
  if (!json.isString())
    return false;
  *value = json.toString();
  if (value->isNull())
    *value = QStringLiteral("");
  return true;
}

bool readDate(const QJsonObject& record, const QString& name, QDateTime* date)
{
  QString text;
  if (!readString(record, name, false, &text))
    return false;
  if (!text.isEmpty()) {
    *date = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!date->isValid())
      return false;
    *date = date->toUTC();
  }
  return true;
}

}  // namespace

ZPHPasswordItem ZPHPasswordItem::internetKey(const QString& server, const QString& path, const QString& account,
                                             quint32 protocol)
{
  ZPHPasswordItem item;
  item.kind = Internet;
  item.server = server;
  item.path = pathOrEmpty(path);
  item.account = account;
  item.protocol = protocol;
  return item;
}

ZPHPasswordItem ZPHPasswordItem::genericKey(const QString& service, const QString& account)
{
  ZPHPasswordItem item;
  item.kind = Generic;
  item.service = service;
  item.account = account;
  return item;
}

bool ZPHPasswordItem::hasSameKey(const ZPHPasswordItem& other) const
{
  if (kind != other.kind || account != other.account)
    return false;
  if (kind == Generic)
    return service == other.service;
  return server == other.server && pathOrEmpty(path) == pathOrEmpty(other.path) && protocol == other.protocol;
}

bool ZPHPasswordItem::matchesQuery(const ZPHPasswordItem& query) const
{
  if (kind != query.kind)
    return false;
  if (kind == Generic)
    return (query.service.isNull() || service == query.service) && (query.account.isNull() || account == query.account);
  return server == query.server && pathOrEmpty(path) == pathOrEmpty(query.path) && account == query.account &&
         (query.protocol == 0 || protocol == query.protocol);
}

ZPHPasswordStore::~ZPHPasswordStore() = default;

namespace {

// The choice of the process's store: the secret service is probed once, on
// a thread of its own; the store is made by the first caller that asks for
// it after that (the file store asks the application for its data folder,
// which only a live application can answer).
struct DefaultStoreChoice {
  QMutex mutex;
  QWaitCondition probed;
  quint64 generation = 0;  // a probe under way for an older one is dropped
  bool probing = false;
  bool hasAnswer = false;
  bool answered = false;
  QString whyNot;
  std::thread prober;
  bool joinsAtExit = false;
  std::shared_ptr<ZPHPasswordStore> store;
};

DefaultStoreChoice& defaultStoreChoice()
{
  static DefaultStoreChoice* choice = new DefaultStoreChoice;  // lives for the process
  return *choice;
}

// The prober never outlives the application object.
void joinProber()
{
  DefaultStoreChoice& choice = defaultStoreChoice();
  QMutexLocker locker(&choice.mutex);
  std::thread prober = std::move(choice.prober);
  locker.unlock();
  if (prober.joinable())
    prober.join();
}

// Starts the probe unless the store is chosen, or the probe is done or under
// way; the mutex is held.
void startProbe(DefaultStoreChoice& choice)
{
  if (choice.store || choice.hasAnswer || choice.probing)
    return;
  choice.probing = true;
  if (choice.prober.joinable())
    choice.prober.join();  // a dropped one that has ended
  const quint64 generation = choice.generation;
  choice.prober = std::thread([&choice, generation] {
    ZPHSecretServicePasswordStore secretService;
    QString whyNot;
    const bool answered = secretService.probe(kSecretServiceProbeTimeoutMs, &whyNot);
    QMutexLocker locker(&choice.mutex);
    choice.probing = false;
    if (choice.generation == generation) {
      choice.hasAnswer = true;
      choice.answered = answered;
      choice.whyNot = whyNot;
      qCDebug(zphCore).noquote() << (answered ? QStringLiteral("The secret service answered its probe")
                                              : "The secret service did not answer its probe (" + whyNot + ")");
    }
    choice.probed.wakeAll();
  });
  if (!choice.joinsAtExit && QCoreApplication::instance() != nullptr) {
    choice.joinsAtExit = true;
    qAddPostRoutine(&joinProber);
  }
}

}  // namespace

void ZPHPasswordStore::prepareDefaultStore()
{
  DefaultStoreChoice& choice = defaultStoreChoice();
  QMutexLocker locker(&choice.mutex);
  startProbe(choice);
}

std::shared_ptr<ZPHPasswordStore> ZPHPasswordStore::defaultStore()
{
  DefaultStoreChoice& choice = defaultStoreChoice();
  QMutexLocker locker(&choice.mutex);
  // Normally probed since start-up; a call that comes earlier waits for the
  // one probe under way rather than starting another.
  while (!choice.store && !choice.hasAnswer) {
    startProbe(choice);
    choice.probed.wait(&choice.mutex);
  }
  if (!choice.store) {
    if (choice.answered) {
      qCInfo(zphCore) << "Passwords are kept by the secret service";
      choice.store = std::make_shared<ZPHSecretServicePasswordStore>();
    } else {
      auto file = std::make_shared<ZPHFilePasswordStore>(ZPHFilePasswordStore::defaultFolder());
      qCWarning(zphCore).noquote() << "No secret service answered (" + choice.whyNot + "); passwords are kept in"
                                   << file->filePath() << "readable by this user only";
      choice.store = std::move(file);
    }
  }
  return choice.store;
}

void ZPHPasswordStore::setDefaultStore(std::shared_ptr<ZPHPasswordStore> store)
{
  DefaultStoreChoice& choice = defaultStoreChoice();
  QMutexLocker locker(&choice.mutex);
  ++choice.generation;
  choice.hasAnswer = false;
  choice.store = std::move(store);
}

ZPHPasswordStore::Place ZPHPasswordStore::defaultStorePlace()
{
  DefaultStoreChoice& choice = defaultStoreChoice();
  QMutexLocker locker(&choice.mutex);
  if (choice.store)
    return dynamic_cast<ZPHSecretServicePasswordStore*>(choice.store.get()) != nullptr ? Place::SecretService
                                                                                       : Place::File;
  if (choice.hasAnswer)
    return choice.answered ? Place::SecretService : Place::File;
  return Place::NotYetKnown;
}

QString ZPHPasswordStore::messageForStatus(int status)
{
  switch (status) {
    case Success:
      return QStringLiteral("No error.");
    case UserCanceled:
      return QStringLiteral("The user canceled the operation.");
    case IOFailed:
      return QStringLiteral("The password file could not be read or written.");
    case BadParameter:
      return QStringLiteral("One or more parameters passed to the password store were not valid.");
    case Failed:
      return QStringLiteral("The secret service reported an error.");
    case NotAvailable:
      return QStringLiteral("No password store is available.");
    case AuthFailed:
      return QStringLiteral("Access to the password store was denied.");
    case DuplicateItem:
      return QStringLiteral("The item already exists in the password store.");
    case ItemNotFound:
      return QStringLiteral("The item could not be found in the password store.");
    case Corrupt:
      return QStringLiteral("The password store's data could not be read: it is damaged.");
    default:
      return QStringLiteral("Unknown password store status %1.").arg(status);
  }
}

ZPHError ZPHPasswordStore::errorWithStatus(int status)
{
  if (status == Success)
    return {};
  return ZPHError(ZPHPasswordStoreErrorDomain, status, {{ZPHLocalizedDescriptionKey, messageForStatus(status)}});
}

bool ZPHPasswordStore::hasCompleteKey(const ZPHPasswordItem& item)
{
  if (item.account.isNull())
    return false;
  if (item.kind == ZPHPasswordItem::Generic)
    return !item.service.isNull();
  return !item.server.isNull();
}

QJsonObject ZPHPasswordStore::recordFromItem(const ZPHPasswordItem& item, bool withPassword)
{
  QJsonObject record;
  if (item.kind == ZPHPasswordItem::Internet) {
    record.insert(QStringLiteral("server"), item.server);
    record.insert(QStringLiteral("path"), pathOrEmpty(item.path));
    record.insert(QStringLiteral("protocol"), static_cast<qint64>(item.protocol));
  } else {
    record.insert(QStringLiteral("service"), item.service);
    if (!item.label.isNull())
      record.insert(QStringLiteral("label"), item.label);
  }
  record.insert(QStringLiteral("account"), item.account);
  if (item.created.isValid())
    record.insert(QStringLiteral("created"), dateString(item.created));
  if (item.modified.isValid())
    record.insert(QStringLiteral("modified"), dateString(item.modified));
  if (withPassword)
    record.insert(QStringLiteral("password"), QString::fromLatin1(item.password.toBase64()));
  return record;
}

bool ZPHPasswordStore::itemFromRecord(const QJsonObject& record, ZPHPasswordItem::Kind kind, ZPHPasswordItem* item)
{
  ZPHPasswordItem parsed;
  parsed.kind = kind;
  if (!readString(record, QStringLiteral("account"), true, &parsed.account))
    return false;
  if (kind == ZPHPasswordItem::Internet) {
    if (!readString(record, QStringLiteral("server"), true, &parsed.server) ||
        !readString(record, QStringLiteral("path"), true, &parsed.path))
      return false;
    const QJsonValue protocol = record.value(QStringLiteral("protocol"));
    const qint64 code = protocol.toInteger(-1);
    if (code < 0 || code > 0xFFFFFFFFLL)
      return false;
    parsed.protocol = static_cast<quint32>(code);
  } else {
    if (!readString(record, QStringLiteral("service"), true, &parsed.service) ||
        !readString(record, QStringLiteral("label"), false, &parsed.label))
      return false;
  }
  if (!readDate(record, QStringLiteral("created"), &parsed.created) ||
      !readDate(record, QStringLiteral("modified"), &parsed.modified))
    return false;
  const QJsonValue password = record.value(QStringLiteral("password"));
  if (!password.isUndefined()) {
    if (!password.isString())
      return false;
    auto decoded =
        QByteArray::fromBase64Encoding(password.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
      return false;
    parsed.password = *decoded;
  }
  *item = std::move(parsed);
  return true;
}
