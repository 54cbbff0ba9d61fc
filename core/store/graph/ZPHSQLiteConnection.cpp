#include "store/graph/ZPHSQLiteConnection.h"

#include "platform/ZPHLog.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHPredicate.h"
#include "store/graph/ZPHSQLiteLogVFS.h"

#include <QtCore/QDateTime>
#include <QtCore/QStringEncoder>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <utility>

// ---------------------------------------------------------------- statement

ZPHSQLiteStatement::ZPHSQLiteStatement(ZPHSQLiteConnection* connection, sqlite3_stmt* statement, bool owned)
    : m_connection(connection), m_statement(statement), m_owned(owned)
{
}

ZPHSQLiteStatement::~ZPHSQLiteStatement() { release(); }

ZPHSQLiteStatement::ZPHSQLiteStatement(ZPHSQLiteStatement&& other) noexcept
    : m_connection(std::exchange(other.m_connection, nullptr)),
      m_statement(std::exchange(other.m_statement, nullptr)),
      m_owned(other.m_owned),
      m_textBlocks(std::move(other.m_textBlocks)),
      m_textFree(std::exchange(other.m_textFree, nullptr)),
      m_textFreeBytes(std::exchange(other.m_textFreeBytes, 0))
{
}

ZPHSQLiteStatement& ZPHSQLiteStatement::operator=(ZPHSQLiteStatement&& other) noexcept
{
  if (this != &other) {
    release();
    m_connection = std::exchange(other.m_connection, nullptr);
    m_statement = std::exchange(other.m_statement, nullptr);
    m_owned = other.m_owned;
    m_textBlocks = std::move(other.m_textBlocks);
    m_textFree = std::exchange(other.m_textFree, nullptr);
    m_textFreeBytes = std::exchange(other.m_textFreeBytes, 0);
  }
  return *this;
}

void ZPHSQLiteStatement::release()
{
  if (m_statement == nullptr)
    return;
  if (m_owned) {
    sqlite3_finalize(m_statement);
  } else {
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    if (m_connection)
      m_connection->m_borrowed.remove(m_statement);
  }
  m_statement = nullptr;
  // Only now that SQLite no longer points into them.
  for (TextBlock& block : m_textBlocks) {
    if (m_connection != nullptr && block.size == ZPHSQLiteConnection::TextBlockBytes)
      m_connection->giveBackTextBlock(std::move(block.bytes));
  }
  m_textBlocks.clear();
  m_textFree = nullptr;
  m_textFreeBytes = 0;
  m_connection = nullptr;
}

void ZPHSQLiteStatement::bindNull(int index) { sqlite3_bind_null(m_statement, index); }

void ZPHSQLiteStatement::bindInt64(int index, qint64 value) { sqlite3_bind_int64(m_statement, index, value); }

void ZPHSQLiteStatement::bindDouble(int index, double value) { sqlite3_bind_double(m_statement, index, value); }

char* ZPHSQLiteStatement::textRoom(qsizetype bytes)
{
  if (bytes > m_textFreeBytes) {
    TextBlock block;
    if (bytes <= ZPHSQLiteConnection::TextBlockBytes) {
      block.size = ZPHSQLiteConnection::TextBlockBytes;
      if (m_connection != nullptr)
        block.bytes = m_connection->takeTextBlock();
    } else {
      block.size = bytes;
    }
    if (block.bytes == nullptr)
      block.bytes.reset(new char[size_t(block.size)]);
    m_textFree = block.bytes.get();
    m_textFreeBytes = block.size;
    m_textBlocks.push_back(std::move(block));
  }
  return m_textFree;
}

void ZPHSQLiteStatement::bindText(int index, QStringView value)
{
  if (value.isNull()) {
    sqlite3_bind_null(m_statement, index);
    return;
  }
  if (value.isEmpty()) {
    sqlite3_bind_text(m_statement, index, "", 0, SQLITE_STATIC);
    return;
  }
  // The store keeps UTF-8; Qt's encoder is the faster of the two. SQLite
  // reads the bytes in place (no copy) while the statement holds them.
  QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
  char* const start = textRoom(encoder.requiredSpace(value.size()));
  char* const end = encoder.appendToBuffer(start, value);
  const qsizetype bytes = end - start;
  m_textFree = end;
  m_textFreeBytes -= bytes;
  sqlite3_bind_text(m_statement, index, start, int(bytes), SQLITE_STATIC);
}

void ZPHSQLiteStatement::bindVariant(int index, const QVariant& value)
{
  if (!value.isValid() || value.isNull()) {
    bindNull(index);
    return;
  }
  switch (value.typeId()) {
    case QMetaType::QString:
      // Read in place: no copy of the string.
      bindText(index, *static_cast<const QString*>(value.constData()));
      return;
    case QMetaType::Bool:
      bindInt64(index, value.toBool() ? 1 : 0);
      return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::UShort:
      bindInt64(index, value.toLongLong());
      return;
    case QMetaType::ULongLong:
    case QMetaType::ULong:
      bindInt64(index, qint64(value.toULongLong()));
      return;
    case QMetaType::Double:
    case QMetaType::Float:
      bindDouble(index, value.toDouble());
      return;
    case QMetaType::QDateTime:
      bindDouble(index, double(value.toDateTime().toMSecsSinceEpoch()) / 1000.0);
      return;
    default:
      bindText(index, value.toString());
      return;
  }
}

int ZPHSQLiteStatement::step()
{
  const int rc = sqlite3_step(m_statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE && m_connection)
    m_connection->noteError(rc);
  return rc;
}

bool ZPHSQLiteStatement::execute()
{
  int rc;
  while ((rc = step()) == SQLITE_ROW) {
  }
  return rc == SQLITE_DONE;
}

void ZPHSQLiteStatement::reset() { sqlite3_reset(m_statement); }

bool ZPHSQLiteStatement::isNull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }

qint64 ZPHSQLiteStatement::columnInt64(int column) const { return sqlite3_column_int64(m_statement, column); }

double ZPHSQLiteStatement::columnDouble(int column) const { return sqlite3_column_double(m_statement, column); }

QString ZPHSQLiteStatement::columnText(int column) const
{
  const unsigned char* text = sqlite3_column_text(m_statement, column);
  if (text == nullptr)
    return QString();
  const int bytes = sqlite3_column_bytes(m_statement, column);
  return QString::fromUtf8(reinterpret_cast<const char*>(text), bytes);
}

QVariant ZPHSQLiteStatement::columnVariant(int column) const
{
  switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
      return QVariant(columnInt64(column));
    case SQLITE_FLOAT:
      return QVariant(columnDouble(column));
    case SQLITE_NULL:
      return QVariant();
    default:
      return QVariant(columnText(column));
  }
}

// --------------------------------------------------------------- connection

namespace {

// zph_contains(text, folded, options): whether the text, folded with the
// options (ZPHPredicate::ComparisonOptions), holds the already folded text.
// Null for a null text, so a comparison with nothing is not true.
void containsFunction(sqlite3_context* context, int, sqlite3_value** arguments)
{
  if (sqlite3_value_type(arguments[0]) == SQLITE_NULL || sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return;
  }
  const auto* text = static_cast<const QChar*>(sqlite3_value_text16(arguments[0]));
  const qsizetype textLength = sqlite3_value_bytes16(arguments[0]) / 2;
  const auto* folded = static_cast<const QChar*>(sqlite3_value_text16(arguments[1]));
  const qsizetype foldedLength = sqlite3_value_bytes16(arguments[1]) / 2;
  if (text == nullptr || folded == nullptr) {
    sqlite3_result_error_nomem(context);
    return;
  }
  const auto options = ZPHPredicate::ComparisonOptions::fromInt(sqlite3_value_int(arguments[2]));
  sqlite3_result_int(
      context,
      ZPHPredicate::foldedContains(QStringView(text, textLength), QStringView(folded, foldedLength), options) ? 1 : 0);
}

}  // namespace

std::unique_ptr<ZPHSQLiteConnection> ZPHSQLiteConnection::open(const QString& path, bool create, ZPHError* error)
{
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, ZPHSQLiteLogVFSName());
  std::unique_ptr<ZPHSQLiteConnection> connection(new ZPHSQLiteConnection(db));
  if (rc != SQLITE_OK) {
    connection->noteError(rc);
    if (error)
      *error = connection->lastError();
    return nullptr;
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, BusyTimeoutMs);
  sqlite3_create_function_v2(db, "zph_contains", 3, SQLITE_UTF16 | SQLITE_DETERMINISTIC, nullptr, containsFunction,
                             nullptr, nullptr, nullptr);
  // Upstream SQLite's parameter limit, also where a distribution raised it,
  // so a statement that would fail elsewhere fails in every build.
  sqlite3_limit(db, SQLITE_LIMIT_VARIABLE_NUMBER,
                std::min(sqlite3_limit(db, SQLITE_LIMIT_VARIABLE_NUMBER, -1), MaxStatementParameters));
  // The first statement reads the file header: a file that is not a
  // database fails here.
  // The page size applies to a new file only, before it enters WAL mode.
  // Statement journals (a multi-row insert keeps one) stay in memory.
  if (!connection->exec(
          "PRAGMA page_size=8192; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; PRAGMA "
          "temp_store=MEMORY; PRAGMA cache_size=-32768;")) {
    if (error)
      *error = connection->lastError();
    // A file that is no store keeps what lies beside it.
    connection->keepLogOnClose();
    return nullptr;
  }
  // No checkpoint inside a commit (SQLite's automatic one runs before the
  // committing thread can let other writers in): the log's size is noted
  // here, and the store runs checkpoints itself, in the background.
  sqlite3_wal_hook(
      db,
      [](void* self, sqlite3*, const char*, int frames) {
        static_cast<ZPHSQLiteConnection*>(self)->m_walFrames = frames;
        return SQLITE_OK;
      },
      connection.get());
  return connection;
}

ZPHSQLiteConnection::~ZPHSQLiteConnection() { close(); }

std::unique_ptr<char[]> ZPHSQLiteConnection::takeTextBlock()
{
  if (m_spareTextBlocks.empty())
    return nullptr;
  std::unique_ptr<char[]> block = std::move(m_spareTextBlocks.back());
  m_spareTextBlocks.pop_back();
  return block;
}

void ZPHSQLiteConnection::giveBackTextBlock(std::unique_ptr<char[]> block)
{
  // A few are kept: as many as a large statement of a save uses.
  constexpr size_t SpareBlocks = 8;
  if (m_spareTextBlocks.size() < SpareBlocks)
    m_spareTextBlocks.push_back(std::move(block));
}

void ZPHSQLiteConnection::keepLogOnClose()
{
  if (m_db != nullptr)
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

void ZPHSQLiteConnection::close()
{
  if (m_db == nullptr)
    return;
  Q_ASSERT_X(m_borrowed.isEmpty(), Q_FUNC_INFO, "statements still in use");
  for (sqlite3_stmt* statement : std::as_const(m_statements)) sqlite3_finalize(statement);
  m_statements.clear();
  sqlite3_close_v2(m_db);
  m_db = nullptr;
}

ZPHSQLiteStatement ZPHSQLiteConnection::prepare(const QByteArray& sql)
{
  if (m_db == nullptr)
    return {};
  sqlite3_stmt* cached = m_statements.value(sql);
  ++m_preparedCount;
  if (cached != nullptr && !m_borrowed.contains(cached)) {
    m_borrowed.insert(cached);
    return ZPHSQLiteStatement(this, cached, false);
  }
  sqlite3_stmt* statement = nullptr;
  const int rc =
      sqlite3_prepare_v3(m_db, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
  if (rc != SQLITE_OK) {
    noteError(rc);
    qCWarning(zphStore) << "cannot prepare" << sql << ":" << m_lastErrorMessage;
    return {};
  }
  if (cached != nullptr)  // the cached one is busy (a nested use): this one is single-use
    return ZPHSQLiteStatement(this, statement, true);
  m_statements.insert(sql, statement);
  m_borrowed.insert(statement);
  return ZPHSQLiteStatement(this, statement, false);
}

bool ZPHSQLiteConnection::exec(const QByteArray& sql)
{
  if (m_db == nullptr)
    return false;
  char* message = nullptr;
  const int rc = sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, &message);
  sqlite3_free(message);
  if (rc != SQLITE_OK) {
    noteError(rc);
    return false;
  }
  return true;
}

void ZPHSQLiteConnection::noteError(int code)
{
  m_lastErrorCode = code;
  m_lastErrorMessage = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(code));
  const int failedWrite = ZPHSQLiteLogVFSTakeFailedWriteErrno();
  m_lastSystemErrno = failedWrite != 0 ? failedWrite : (m_db ? sqlite3_system_errno(m_db) : 0);
}

ZPHError ZPHSQLiteConnection::lastError() const
{
  ZPHObjectGraphErrorCode code = ZPHObjectGraphSQLiteError;
  QString text = QStringLiteral("The store could not be read or written.");
  switch (m_lastErrorCode & 0xff) {
    case SQLITE_NOTADB:
      code = ZPHObjectGraphNotADatabaseError;
      text = QStringLiteral("The store file is not a database.");
      break;
    case SQLITE_CORRUPT:
      code = ZPHObjectGraphIntegrityCheckError;
      text = QStringLiteral("The store file is damaged.");
      break;
    case SQLITE_CONSTRAINT:
      code = ZPHObjectGraphConstraintError;
      text = QStringLiteral("The changes break a rule of the store (a link to an object that no longer exists).");
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      code = ZPHObjectGraphBusyError;
      text = QStringLiteral("The store is in use.");
      break;
    case SQLITE_FULL:
      code = ZPHObjectGraphDiskFullError;
      text = QStringLiteral("The disk is full.");
      break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
      code = ZPHObjectGraphReadOnlyError;
      text = QStringLiteral("The store’s file or folder can’t be written to.");
      break;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
      // A write the disk refused for want of room (a quota, a file size
      // limit) comes as an I/O error.
      if (m_lastSystemErrno == ENOSPC || m_lastSystemErrno == EDQUOT || m_lastSystemErrno == EFBIG) {
        code = ZPHObjectGraphDiskFullError;
        text = QStringLiteral("The disk is full.");
      } else if (m_lastSystemErrno == EROFS || m_lastSystemErrno == EACCES || m_lastSystemErrno == EPERM) {
        code = ZPHObjectGraphReadOnlyError;
        text = QStringLiteral("The store’s file or folder can’t be written to.");
      } else {
        code = ZPHObjectGraphIOError;
        text = QStringLiteral("The disk could not read or write the store.");
      }
      break;
    default:
      break;
  }
  QVariantMap extra{{ZPHSQLiteErrorCodeKey, m_lastErrorCode}, {ZPHSQLiteErrorMessageKey, m_lastErrorMessage}};
  if (m_lastSystemErrno != 0)
    extra.insert(ZPHSystemErrnoKey, m_lastSystemErrno);
  return ZPHObjectGraphError(code, text, extra);
}

int ZPHSQLiteConnection::changes() const { return sqlite3_changes(m_db); }
