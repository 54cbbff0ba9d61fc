#include "feeds/metadata/CBSQLiteDatabaseController.h"

#include "foundation/CBFiles.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QHash>
#include <QtCore/QMutexLocker>
#include <QtCore/QRegularExpression>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

#include <atomic>
#include <exception>
#include <memory>

namespace {

// One thread's connection to one file with its prepared statements. The
// statements are declared last so they are finalized before the connection
// closes.
struct ThreadConnection {
  std::unique_ptr<SQLite::Database> database;
  QHash<QString, std::shared_ptr<SQLite::Statement>> statements;
};

// What a thread keeps for every database it uses; freed when the thread
// ends.
struct ThreadDictionary {
  QHash<QString, std::shared_ptr<ThreadConnection>> connections;
  QHash<QString, int> refcounts;
};

ThreadDictionary& threadDictionary()
{
  thread_local ThreadDictionary dictionary;
  return dictionary;
}

std::atomic<quint64> nextSerial{1};

// Resets a statement after use, so no statement keeps a read lock on the
// file between calls, and clears its arguments.
class StatementReset {
public:
  explicit StatementReset(SQLite::Statement& statement) : m_statement(statement) {}
  ~StatementReset()
  {
    m_statement.tryReset();
    try {
      m_statement.clearBindings();
    } catch (...) {
    }
  }
  StatementReset(const StatementReset&) = delete;
  StatementReset& operator=(const StatementReset&) = delete;

private:
  SQLite::Statement& m_statement;
};

void bindArguments(SQLite::Statement& statement, const QVariantList& arguments)
{
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QVariant& value = arguments.at(i);
    const int index = int(i) + 1;
    if (!value.isValid()) {
      statement.bind(index);
      continue;
    }
    switch (value.typeId()) {
      case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        statement.bind(index, static_cast<const void*>(bytes.constData()), int(bytes.size()));
        break;
      }
      case QMetaType::Bool:
      case QMetaType::Int:
      case QMetaType::UInt:
      case QMetaType::LongLong:
      case QMetaType::ULongLong:
        statement.bind(index, int64_t(value.toLongLong()));
        break;
      case QMetaType::Double:
        statement.bind(index, value.toDouble());
        break;
      default:
        statement.bind(index, value.toString().toStdString());
        break;
    }
  }
}

QVariant columnValue(const SQLite::Column& column)
{
  switch (column.getType()) {
    case SQLITE_INTEGER:
      return qint64(column.getInt64());
    case SQLITE_FLOAT:
      return column.getDouble();
    case SQLITE_TEXT: {
      const char* text = column.getText();
      return QString::fromUtf8(text, column.getBytes());
    }
    case SQLITE_BLOB: {
      const char* bytes = static_cast<const char*>(column.getBlob());
      // An empty blob reads back as empty (not null) data.
      return QByteArray(bytes != nullptr ? bytes : "", column.getBytes());
    }
    default:
      return QVariant();
  }
}

std::unique_ptr<SQLite::Database> openDatabaseWithPath(const QString& path)
{
  if (path.isEmpty())
    return nullptr;
  std::unique_ptr<SQLite::Database> database;
  try {
    database = std::make_unique<SQLite::Database>(QFile::encodeName(path).toStdString(),
                                                  SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, 100);
  } catch (const std::exception& exception) {
    qCWarning(zphFeeds) << "can't open database" << path << ":" << exception.what();
    return nullptr;
  } catch (...) {
    qCWarning(zphFeeds) << "can't open database" << path;
    return nullptr;
  }
  // The rollback journal is kept between writes and emptied by truncation:
  // a journal made and deleted for every write costs the file system a new
  // file each time (the feed metadata database takes two writes a feed on
  // every refresh that downloads it).
  try {
    database->exec("PRAGMA synchronous = 0; PRAGMA journal_mode = TRUNCATE;");
  } catch (const std::exception& exception) {
    qCWarning(zphFeeds) << "PRAGMA synchronous failed for" << path << ":" << exception.what();
  } catch (...) {
    qCWarning(zphFeeds) << "PRAGMA synchronous failed for" << path;
  }
  return database;
}

}  // namespace

CBSQLiteDatabaseController::CBSQLiteDatabaseController(const QString& databaseFileName,
                                                       const QString& createTableStatement)
    : CBSQLiteDatabaseController(DeferredSetUp{}, databaseFileName, QString())
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  const QString folder = delegate != nullptr ? delegate->pathToDataFolder() : QString();
  if (!folder.isEmpty())
    setDatabaseFilePath(QDir(folder).filePath(databaseFileName));
  ensureDatabaseFileExists(createTableStatement);
}

CBSQLiteDatabaseController::CBSQLiteDatabaseController(DeferredSetUp, const QString& databaseFileName,
                                                       const QString& databaseFilePath)
    : m_databaseFilePath(databaseFilePath),
      m_databaseKey(QStringLiteral("%1_cachedDatabaseKey").arg(databaseFileName)),
      m_refcountKey(QStringLiteral("%1_cachedRefCountKey").arg(databaseFileName)),
      m_serial(nextSerial.fetch_add(1))
{
}

CBSQLiteDatabaseController::~CBSQLiteDatabaseController() = default;

QString CBSQLiteDatabaseController::threadConnectionKey() const
{
  return m_databaseKey + QLatin1Char('#') + QString::number(m_serial);
}

QString CBSQLiteDatabaseController::threadRefcountKey() const
{
  return m_refcountKey + QLatin1Char('#') + QString::number(m_serial);
}

void CBSQLiteDatabaseController::ensureDatabaseFileExists(const QString& createTableStatement)
{
  QMutexLocker locker(&m_objectLock);
  if (m_databaseFilePath.isEmpty())
    return;
  if (!CBFileExists(m_databaseFilePath))
    m_databaseIsNew = true;
  createTableIfMissing(createTableStatement);
}

SQLite::Database* CBSQLiteDatabaseController::database()
{
  ThreadDictionary& dictionary = threadDictionary();
  const QString key = threadConnectionKey();
  const auto found = dictionary.connections.constFind(key);
  if (found != dictionary.connections.constEnd())
    return found.value()->database.get();
  return newDatabase();
}

SQLite::Database* CBSQLiteDatabaseController::newDatabase()
{
  ThreadDictionary& dictionary = threadDictionary();
  const QString key = threadConnectionKey();
  std::unique_ptr<SQLite::Database> opened = openDatabaseWithPath(m_databaseFilePath);
  if (!opened) {
    dictionary.connections.remove(key);
    return nullptr;
  }
  auto connection = std::make_shared<ThreadConnection>();
  connection->database = std::move(opened);
  dictionary.connections.insert(key, connection);
  return connection->database.get();
}

void CBSQLiteDatabaseController::beginTransaction()
{
  QMutexLocker locker(&m_objectLock);
  int& depth = threadDictionary().refcounts[threadRefcountKey()];
  if (depth < 0)
    depth = 0;
  ++depth;
  if (depth == 1)
    executeUpdate(QStringLiteral("begin exclusive transaction"));
}

void CBSQLiteDatabaseController::endTransaction()
{
  QMutexLocker locker(&m_objectLock);
  int& depth = threadDictionary().refcounts[threadRefcountKey()];
  const int previous = depth;
  depth = depth < 2 ? 0 : depth - 1;
  if (previous == 1)
    executeUpdate(QStringLiteral("commit transaction"));
}

bool CBSQLiteDatabaseController::runStatement(const QString& sql, const QVariantList& arguments,
                                              const std::function<void(SQLite::Statement&)>& step)
{
  if (database() == nullptr)
    return false;
  const std::shared_ptr<ThreadConnection> connection = threadDictionary().connections.value(threadConnectionKey());
  try {
    std::shared_ptr<SQLite::Statement>& statement = connection->statements[sql];
    if (!statement)
      statement = std::make_shared<SQLite::Statement>(*connection->database, sql.toStdString());
    StatementReset reset(*statement);
    bindArguments(*statement, arguments);
    step(*statement);
    return true;
  } catch (const std::exception& exception) {
    connection->statements.remove(sql);
    qCWarning(zphFeeds) << "statement failed in" << m_databaseFilePath << ":" << sql << ":" << exception.what();
  } catch (...) {
    connection->statements.remove(sql);
    qCWarning(zphFeeds) << "statement failed in" << m_databaseFilePath << ":" << sql;
  }
  return false;
}

bool CBSQLiteDatabaseController::executeUpdate(const QString& sql, const QVariantList& arguments)
{
  return runStatement(sql, arguments, [](SQLite::Statement& statement) {
    while (statement.executeStep()) {
    }
  });
}

std::optional<QVariantList> CBSQLiteDatabaseController::executeQueryForFirstRow(const QString& sql,
                                                                                const QVariantList& arguments)
{
  std::optional<QVariantList> row;
  runStatement(sql, arguments, [&row](SQLite::Statement& statement) {
    if (!statement.executeStep())
      return;
    QVariantList values;
    const int columns = statement.getColumnCount();
    values.reserve(columns);
    for (int i = 0; i < columns; ++i) values.append(columnValue(statement.getColumn(i)));
    row = std::move(values);
  });
  return row;
}

bool CBSQLiteDatabaseController::executeQuery(const QString& sql, const QVariantList& arguments,
                                              const std::function<void(const QVariantList& row)>& onRow)
{
  return runStatement(sql, arguments, [&onRow](SQLite::Statement& statement) {
    const int columns = statement.getColumnCount();
    QVariantList values;
    while (statement.executeStep()) {
      values.clear();
      values.reserve(columns);
      for (int i = 0; i < columns; ++i) values.append(columnValue(statement.getColumn(i)));
      onRow(values);
    }
  });
}

bool CBSQLiteDatabaseController::createTableIfMissing(const QString& createTableStatement)
{
  static const QRegularExpression tableName(
      QStringLiteral(R"(^\s*CREATE\s+TABLE\s+(?:IF\s+NOT\s+EXISTS\s+)?["`\[]?(\w+))"),
      QRegularExpression::CaseInsensitiveOption);
  SQLite::Database* connection = database();
  if (connection == nullptr)
    return false;
  const QRegularExpressionMatch match = tableName.match(createTableStatement);
  if (match.hasMatch()) {
    try {
      if (connection->tableExists(match.captured(1).toStdString()))
        return true;
    } catch (const std::exception& exception) {
      qCWarning(zphFeeds) << "can't read the tables of" << m_databaseFilePath << ":" << exception.what();
      return false;
    } catch (...) {
      qCWarning(zphFeeds) << "can't read the tables of" << m_databaseFilePath;
      return false;
    }
  }
  return executeUpdate(createTableStatement);
}
