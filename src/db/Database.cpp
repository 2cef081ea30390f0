#include "db/Database.h"

#include "db/DatabaseTarget.h"
#include "db/Postgres.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <optional>
#include <set>
#include <sqlite3.h>
#include <vector>

namespace rv {

namespace {

[[noreturn]] void throwSqlite(sqlite3* db, int rc)
{
    const int code = db ? sqlite3_extended_errcode(db) : rc;
    // The connection's last error can be stale when rc came from elsewhere.
    const bool matches = db && (code & 0xff) == (rc & 0xff);
    const QString message = QString::fromUtf8(matches ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    throw RvError(matches ? code : rc, message);
}

void check(sqlite3* db, int rc)
{
    if (rc != SQLITE_OK)
        throwSqlite(db, rc);
}

// An SQLite database file starts with this header; anything else is refused before
// SQLite gets the chance to look for (and roll back) a journal beside it.
bool hasSqliteHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    static const char kHeader[] = "SQLite format 3";
    return file.read(sizeof kHeader) == QByteArray(kHeader, sizeof kHeader);
}

} // namespace

// --- Statement ---

namespace detail {
// What a connection shares with the statements it handed out: the idle statements by SQL text,
// and the tables changed by the open transaction.
struct StatementPool {
    std::unordered_multimap<std::string, sqlite3_stmt*> idle;
    std::function<void(const QStringList&)> listener;
    std::set<std::string> pending;                // changed by the open transaction
    std::vector<std::set<std::string>> savepoints; // pending as each open savepoint began
    std::set<std::string> committed;              // changed by a commit not yet announced
    std::string lastTable;                        // spares a set lookup per row
    bool commitSeen = false;
    std::optional<RvError> functionError;         // thrown by a registered function
    // Rows added or deleted per table, and rollbacks: a count or a key read stays true while
    // these and the data_version stay as they were.
    std::unordered_map<std::string, quint64> rowChanges;
    std::string lastChangedTable;
    quint64* lastChanges = nullptr;
    quint64 rollbacks = 0;
    struct Count {
        qint64 rows;
        quint64 changes;
    };
    std::unordered_map<std::string, Count> counts;
    // Rows written per table by this connection's statements on a server, updates included.
    std::unordered_map<std::string, quint64> rowWrites;
    struct Answer {
        bool yes;
        quint64 changes, writes;
    };
    std::unordered_map<std::string, Answer> nulls; // hasNull's, by table and column
    // The server's kept counts: whether its functions are known to be there (-1: not asked yet), and the
    // tables this role may not make them for.
    int keptCounts = -1;
    std::set<std::string> uncounted;
    std::unique_ptr<PgConnection> pg; // the server connection, on PostgreSQL

    void clearPending()
    {
        pending.clear();
        savepoints.clear();
        lastTable.clear();
        commitSeen = false;
    }
    ~StatementPool()
    {
        for (auto& entry : idle)
            sqlite3_finalize(entry.second);
    }
};

namespace {
void rowChanged(void* pool, int op, const char*, const char* table, sqlite3_int64)
{
    auto* p = static_cast<StatementPool*>(pool);
    if (op != SQLITE_UPDATE) {
        if (!p->lastChanges || p->lastChangedTable != table) {
            p->lastChangedTable = table;
            p->lastChanges = &p->rowChanges[table];
        }
        ++*p->lastChanges;
    }
    if (!p->listener || p->lastTable == table)
        return;
    p->lastTable = table;
    p->pending.insert(table);
}
int committing(void* pool)
{
    static_cast<StatementPool*>(pool)->commitSeen = true;
    return 0;
}
void rolledBack(void* pool)
{
    ++static_cast<StatementPool*>(pool)->rollbacks;
    static_cast<StatementPool*>(pool)->clearPending();
}
// The server's commands reported as SQLite's hooks report rows and commits.
void pgRowsChanged(void* pool, const std::string& table, bool addedOrDeleted, qint64 rows)
{
    auto* p = static_cast<StatementPool*>(pool);
    if (addedOrDeleted)
        p->rowChanges[table] += quint64(rows);
    p->rowWrites[table] += quint64(rows);
    p->pending.insert(table); // told to the other programs, with or without a listener here
}
void pgCommitted(void* pool)
{
    auto* p = static_cast<StatementPool*>(pool);
    p->committed.insert(p->pending.begin(), p->pending.end());
    p->clearPending();
}
} // namespace
} // namespace detail

Statement::Statement(std::shared_ptr<detail::StatementPool> pool, sqlite3* db, sqlite3_stmt* stmt, std::string key,
                     bool keep)
    : m_pool(pool), m_db(db), m_stmt(stmt), m_key(std::move(key)), m_keep(keep)
{
}

Statement::Statement(std::shared_ptr<detail::StatementPool> pool, std::unique_ptr<detail::PgStatement> pg)
    : m_pool(pool), m_pg(std::move(pg))
{
}

Statement::Statement() = default;

Statement::~Statement()
{
    release();
}

Statement::Statement(Statement&& other) noexcept
    : m_pool(std::move(other.m_pool)), m_db(other.m_db), m_stmt(other.m_stmt), m_key(std::move(other.m_key)),
      m_keep(other.m_keep), m_pg(std::move(other.m_pg))
{
    other.m_stmt = nullptr;
}

detail::PgStatement* Statement::pg() const
{
    if (m_pool.expired())
        m_pg->detach();
    return m_pg.get();
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        release();
        m_pool = std::move(other.m_pool);
        m_db = other.m_db;
        m_stmt = other.m_stmt;
        m_key = std::move(other.m_key);
        m_keep = other.m_keep;
        m_pg = std::move(other.m_pg);
        other.m_stmt = nullptr;
    }
    return *this;
}

void Statement::release()
{
    if (m_pg) {
        if (auto pool = m_pool.lock(); pool && pool->pg) {
            pool->pg->release(std::move(m_pg));
        } else {
            m_pg->detach(); // the connection is gone: only the memory is left to free
            m_pg.reset();
        }
        return;
    }
    if (!m_stmt)
        return;
    if (auto pool = m_pool.lock()) {
        settleCommit(sqlite3_reset(m_stmt));
        if (m_keep) {
            sqlite3_clear_bindings(m_stmt);
            pool->idle.emplace(std::move(m_key), m_stmt);
        } else {
            sqlite3_finalize(m_stmt);
        }
    } else {
        sqlite3_finalize(m_stmt); // the connection is closing or gone
    }
    m_stmt = nullptr;
}

void Statement::reset()
{
    if (m_pg)
        return pg()->reset();
    // Its return code repeats the last step's error, already reported; or is a commit's.
    settleCommit(sqlite3_reset(m_stmt));
    sqlite3_clear_bindings(m_stmt);
}

void Statement::bind(int index, const QVariant& value)
{
    if (m_pg)
        return bindServer(index, value);
    int rc;
    if (value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        const int type = value.typeId();
        switch (type) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(m_stmt, index, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(m_stmt, index, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()),
                                     SQLITE_TRANSIENT);
            break;
        }
        default: {
            if (Database::isNumberType(type)) {
                rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
                break;
            }
            QString text;
            if (value.typeId() == QMetaType::QDateTime)
                text = value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            else if (value.typeId() == QMetaType::QDate)
                text = value.toDate().toString(QStringLiteral("yyyy/MM/dd"));
            else
                text = value.toString();
            const QByteArray utf8 = text.toUtf8();
            rc = sqlite3_bind_text64(m_stmt, index, utf8.constData(), static_cast<sqlite3_uint64>(utf8.size()),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }
    check(m_db, rc);
}

void Statement::bindAll(const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
}

void Statement::bindNumber(int index, double value)
{
    if (m_pg)
        return m_pg->bindNumber(index, value);
    check(m_db, sqlite3_bind_double(m_stmt, index, value));
}

void Statement::bindInteger(int index, qint64 value)
{
    if (m_pg)
        return m_pg->bindInteger(index, value);
    check(m_db, sqlite3_bind_int64(m_stmt, index, value));
}

void Statement::bindUtf8(int index, QByteArrayView text)
{
    if (m_pg)
        return m_pg->bindText(index, text.toByteArray());
    // A null pointer would bind Null, not an empty text.
    check(m_db, sqlite3_bind_text64(m_stmt, index, text.data() ? text.data() : "",
                                    static_cast<sqlite3_uint64>(text.size()), SQLITE_STATIC, SQLITE_UTF8));
}

void Statement::settleCommit(int rc)
{
    auto pool = m_pool.lock();
    if (!pool || !pool->commitSeen)
        return;
    // The commit went through (or failed and the transaction stays open or rolled back).
    if (rc == SQLITE_OK || rc == SQLITE_DONE) {
        pool->committed.insert(pool->pending.begin(), pool->pending.end());
        pool->clearPending();
    }
    pool->commitSeen = false;
}

bool Statement::step()
{
    if (m_pg)
        return pg()->step();
    const int rc = sqlite3_step(m_stmt);
    // A transaction commits only where a statement halts (its last step, or a reset before
    // it), never on a step that yields a row: rows go by without touching the pool.
    if (rc == SQLITE_ROW)
        return true;
    settleCommit(rc);
    if (rc == SQLITE_DONE)
        return false;
    if (auto pool = m_pool.lock(); pool && pool->functionError) {
        const RvError e = *pool->functionError;
        pool->functionError.reset();
        throw e;
    }
    throwSqlite(m_db, rc);
}

int Statement::columnCount() const
{
    if (m_pg)
        return m_pg->columnCount();
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int col) const
{
    if (m_pg)
        return m_pg->columnName(col);
    return QString::fromUtf8(sqlite3_column_name(m_stmt, col));
}

QVariant Statement::column(int col) const
{
    if (m_pg)
        return m_pg->column(col);
    switch (sqlite3_column_type(m_stmt, col)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qint64>(sqlite3_column_int64(m_stmt, col)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, col));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, col)));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, col));
        return QVariant(QByteArray(data, sqlite3_column_bytes(m_stmt, col)));
    }
    default:
        return QVariant();
    }
}

Statement::Kind Statement::columnNumber(int col, double* number) const
{
    if (m_pg)
        return m_pg->columnNumber(col, number);
    // One call into the statement (the column calls each take the connection's mutex).
    sqlite3_value* v = sqlite3_column_value(m_stmt, col);
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return Kind::Null;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        *number = sqlite3_value_double(v);
        return Kind::Number;
    default:
        return Kind::Text;
    }
}

QByteArrayView Statement::columnUtf8(int col) const
{
    if (m_pg)
        return m_pg->columnUtf8(col);
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
    return text ? QByteArrayView(text, sqlite3_column_bytes(m_stmt, col)) : QByteArrayView();
}

QByteArrayView Statement::columnBlob(int col) const
{
    if (m_pg)
        return m_pg->columnBlob(col);
    const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, col));
    return data ? QByteArrayView(data, sqlite3_column_bytes(m_stmt, col)) : QByteArrayView();
}

qint64 Statement::columnInteger(int col) const
{
    if (m_pg)
        return m_pg->columnInteger(col);
    return sqlite3_column_int64(m_stmt, col);
}

Statement::Source Statement::source(int col) const
{
    if (m_pg)
        return pg()->columnSource(col);
    const char* decl = sqlite3_column_decltype(m_stmt, col);
    const char* origin = sqlite3_column_origin_name(m_stmt, col);
    const char* table = sqlite3_column_table_name(m_stmt, col);
    return Source{decl ? QString::fromUtf8(decl) : QString(), origin ? QString::fromUtf8(origin) : QString(),
                  table ? QString::fromUtf8(table) : QString()};
}

bool Statement::readOnly() const
{
    return m_pg ? m_pg->readOnly() : sqlite3_stmt_readonly(m_stmt) != 0;
}

void Statement::bindServer(int index, const QVariant& value)
{
    // As text, which the server reads as the type the statement gives the parameter.
    if (value.isNull())
        return m_pg->bindNull(index);
    const int type = value.typeId();
    if (type == QMetaType::Bool)
        return m_pg->bindInteger(index, value.toBool() ? 1 : 0);
    if (type == QMetaType::Double || type == QMetaType::Float)
        return m_pg->bindNumber(index, value.toDouble());
    if (type == QMetaType::QByteArray)
        return m_pg->bindBytes(index, value.toByteArray());
    if (Database::isNumberType(type))
        return m_pg->bindInteger(index, value.toLongLong());
    if (type == QMetaType::QDateTime)
        return m_pg->bindText(index, value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8());
    if (type == QMetaType::QDate)
        return m_pg->bindText(index, value.toDate().toString(QStringLiteral("yyyy/MM/dd")).toUtf8());
    m_pg->bindText(index, value.toString().toUtf8());
}

// --- Database ---

Database::Database(sqlite3* db, const QString& path)
    : m_db(db), m_path(path), m_pool(std::make_shared<detail::StatementPool>())
{
    sqlite3_update_hook(m_db, detail::rowChanged, m_pool.get());
    sqlite3_commit_hook(m_db, detail::committing, m_pool.get());
    sqlite3_rollback_hook(m_db, detail::rolledBack, m_pool.get());
}

Database::Database(std::unique_ptr<detail::PgConnection> pg, const QString& display)
    : m_db(nullptr), m_path(display), m_pool(std::make_shared<detail::StatementPool>()), m_pg(pg.get())
{
    pg->setHooks({m_pool.get(), detail::pgRowsChanged, detail::pgCommitted, detail::rolledBack});
    m_pool->pg = std::move(pg);
}

Database::~Database()
{
    if (m_pg) {
        // The server rolls back what is left open when the connection goes.
        m_pool.reset();
        return;
    }
    sqlite3_update_hook(m_db, nullptr, nullptr);
    sqlite3_commit_hook(m_db, nullptr, nullptr);
    sqlite3_rollback_hook(m_db, nullptr, nullptr);
    m_pool.reset(); // idle statements are finalized before the connection closes
    if (m_depth > 0)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    // A handle still held elsewhere keeps the connection until it finalizes itself.
    sqlite3_close_v2(m_db);
}

std::unique_ptr<Database> Database::connect(const QString& path, int flags)
{
    sqlite3* handle = nullptr;
    // A connection is used by the one thread that opened it: no lock around each call, which
    // a read of a million rows would take ten million times.
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QString::fromUtf8(sqlite3_errstr(rc));
        const int code = handle ? sqlite3_extended_errcode(handle) : rc;
        sqlite3_close(handle);
        throw RvError(code, message);
    }
    std::unique_ptr<Database> db(new Database(handle, path));
    sqlite3_extended_result_codes(handle, 1);
    // Before the first read: a writer busy for a moment is waited for, not taken for a broken file.
    check(handle, sqlite3_busy_timeout(handle, 5000));
    // Reads the schema: fails on a file that is not a database, before anything is written.
    db->query(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    return db;
}

void Database::configure()
{
    if (m_db) {
        if (sqlite3_db_readonly(m_db, "main") == 1)
            throw RvError(SQLITE_READONLY, QStringLiteral("attempt to write a readonly database"));
        query(QStringLiteral("PRAGMA journal_mode=DELETE"));
        exec(QStringLiteral("PRAGMA synchronous=FULL"));
    }
    for (const auto& setUp : connectionSetUps())
        setUp(*this);
}

std::vector<std::function<void(Database&)>>& Database::connectionSetUps()
{
    static std::vector<std::function<void(Database&)>> setUps;
    return setUps;
}

bool Database::addConnectionSetUp(std::function<void(Database&)> setUp)
{
    connectionSetUps().push_back(std::move(setUp));
    return true;
}

namespace {

void requireSqliteFile(const QString& path)
{
    if (!QFileInfo(path).isFile())
        throw RvError(SQLITE_CANTOPEN, QStringLiteral("unable to open database file"));
    if (!hasSqliteHeader(path))
        throw RvError(SQLITE_NOTADB, QStringLiteral("file is not a database"));
}

} // namespace

std::unique_ptr<Database> Database::open(const QString& path)
{
    requireSqliteFile(path);
    auto db = connect(path, SQLITE_OPEN_READWRITE);
    db->configure();
    return db;
}

std::unique_ptr<Database> Database::openSupplied(const QString& path)
{
    requireSqliteFile(path);
    auto db = connect(path, SQLITE_OPEN_READWRITE);
    if (!db->hasSuppliedTables())
        throw RvError(3078, QStringLiteral("The database lacks the tables of a Rockvista database."));
    db->configure();
    // A write that is rolled back proves the journal can be made and the file written, without
    // changing it: better refused now than every save failing later.
    db->exec(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        db->exec(QStringLiteral("CREATE TABLE \"rockvista write check\" (x)"));
    } catch (...) {
        sqlite3_exec(db->m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    db->exec(QStringLiteral("ROLLBACK"));
    return db;
}

std::unique_ptr<Database> Database::open(const DatabaseTarget& target)
{
    if (!target.isServer())
        return open(target.sqlitePath());
    std::unique_ptr<Database> db(new Database(detail::PgConnection::connect(target), target.display()));
    db->configure();
    return db;
}

std::unique_ptr<Database> Database::openSupplied(const DatabaseTarget& target)
{
    if (!target.isServer())
        return openSupplied(target.sqlitePath());
    std::unique_ptr<Database> db(new Database(detail::PgConnection::connect(target), target.display()));
    if (!db->hasSuppliedTables())
        throw RvError(3078, QStringLiteral("The database lacks the tables of a Rockvista database."));
    db->configure();
    return db;
}

std::unique_ptr<Database> Database::openReadOnly(const QString& path)
{
    requireSqliteFile(path);
    return connect(path, SQLITE_OPEN_READONLY);
}

std::unique_ptr<Database> Database::create(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || info.size() > 0))
        throw RvError(SQLITE_CANTOPEN, QStringLiteral("file already exists: ") + path);
    auto db = connect(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    db->configure();
    return db;
}

void Database::fail(int rc) const
{
    throwSqlite(m_db, rc);
}

Statement Database::prepare(const QString& sql)
{
    if (m_pg)
        return Statement(m_pool, m_pg->prepare(sql, true));
    const QByteArray utf8 = sql.toUtf8();
    std::string key(utf8.constData(), static_cast<size_t>(utf8.size()));
    auto it = m_pool->idle.find(key);
    if (it != m_pool->idle.end()) {
        sqlite3_stmt* stmt = it->second;
        m_pool->idle.erase(it);
        return Statement(m_pool, m_db, stmt, std::move(key));
    }
    return Statement(m_pool, m_db, compile(sql, utf8, SQLITE_PREPARE_PERSISTENT), std::move(key));
}

Statement Database::prepareTransient(const QString& sql)
{
    if (m_pg)
        return Statement(m_pool, m_pg->prepare(sql, false));
    return Statement(m_pool, m_db, compile(sql, sql.toUtf8(), 0), {}, false);
}

int Database::cachedStatements() const
{
    if (m_pg)
        return m_pg->idleCount();
    return int(m_pool->idle.size());
}

sqlite3_stmt* Database::compile(const QString& sql, const QByteArray& utf8, unsigned flags)
{
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v3(m_db, utf8.constData(), utf8.size(), flags, &stmt, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        fail(rc);
    }
    if (!stmt) // only blanks or a comment
        throw RvError(SQLITE_MISUSE, QStringLiteral("empty SQL statement"));
    if (tail && QByteArray(tail).trimmed().size() > 0 && QByteArray(tail).trimmed() != ";") {
        sqlite3_finalize(stmt);
        throw RvError(SQLITE_MISUSE, QStringLiteral("only one SQL statement at a time: ") + sql);
    }
    return stmt;
}

void Database::exec(const QString& sql, const QVariantList& params)
{
    Statement st = prepare(sql);
    st.bindAll(params);
    try {
        while (st.step()) {
        }
    } catch (...) {
        st.reset();
        throw;
    }
    st.reset();
    // A changed schema makes the column lists stale.
    if (!st.readOnly() && !sql.trimmed().startsWith(QLatin1String("INSERT"), Qt::CaseInsensitive)
        && !sql.trimmed().startsWith(QLatin1String("UPDATE"), Qt::CaseInsensitive)
        && !sql.trimmed().startsWith(QLatin1String("DELETE"), Qt::CaseInsensitive))
        schemaChanged();
    announceCommitted();
}

void Database::setCommitListener(std::function<void(const QStringList&)> listener)
{
    m_pool->listener = std::move(listener);
}

void Database::touch(const QString& table)
{
    ++m_pool->rowChanges[table.toStdString()];
    m_tables.remove(table.toLower());
    if (!m_pool->listener && !m_pg)
        return;
    const QByteArray name = table.toUtf8();
    if (m_depth > 0) {
        m_pool->pending.insert(name.toStdString());
    } else {
        m_pool->committed.insert(name.toStdString());
        announceCommitted();
    }
}

void Database::schemaChanged()
{
    m_columnCache.clear();
    m_leadCache.clear();
    m_tables.clear();
    m_triggers.clear();
    if (m_pg)
        m_pg->schemaChanged();
}

bool Database::autocommit()
{
    return m_pg ? !m_pg->inTransaction() : sqlite3_get_autocommit(m_db) != 0;
}

namespace {

quint64 countFor(const std::unordered_map<std::string, quint64>& counts, const QString& table)
{
    const auto it = counts.find(table.toStdString());
    return it == counts.end() ? 0 : it->second;
}

} // namespace

quint64 Database::ownChangesOf(const QString& table) const
{
    return m_pool->rollbacks + countFor(m_pool->rowChanges, table);
}

quint64 Database::changesOf(const QString& table)
{
    if (m_pg)
        return quint64(m_pg->changeMark()) + ownChangesOf(table);
    Statement version = prepare(QStringLiteral("SELECT data_version FROM pragma_data_version"));
    version.step();
    const quint64 otherCommits = static_cast<quint64>(version.column(0).toLongLong());
    version.reset();
    return otherCommits + ownChangesOf(table);
}

QString Database::changesColumn() const
{
    return m_pg ? QStringLiteral(", pg_current_snapshot()::text") : QString();
}

quint64 Database::changesOfAt(const QString& table, const QVariant& value)
{
    if (!m_pg)
        return changesOf(table);
    return quint64(m_pg->changeMarkAt(value.toByteArray())) + ownChangesOf(table);
}

qint64 Database::rowCount(const QString& table, quint64* changesAt)
{
    if (!keptCountColumn(table).isEmpty()) { // one read tells the count and its changes
        quint64 at = 0;
        const qint64 rows = countRows(table, 0, &at);
        if (changesAt)
            *changesAt = at;
        return rows;
    }
    const quint64 changes = changesOf(table);
    quint64 at = changes;
    const qint64 rows = rowCountAt(table, changes, &at);
    if (changesAt)
        *changesAt = at;
    return rows;
}

qint64 Database::rowCountAt(const QString& table, quint64 changes, quint64* changesAt)
{
    *changesAt = changes;
    if (const auto it = m_pool->counts.find(table.toStdString()); it != m_pool->counts.end() && it->second.changes == changes)
        return it->second.rows;
    return countRows(table, changes, changesAt);
}

qint64 Database::countRows(const QString& table, quint64 changes, quint64* changesAt)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString kept = keptCountColumn(table);
        if (kept.isEmpty())
            break;
        Statement read = prepare(QStringLiteral("SELECT 0") + kept + changesColumn());
        read.step();
        const QVariant rows = read.column(1);
        const QVariant at = read.column(2);
        read.reset();
        if (!rows.isNull()) {
            *changesAt = changesOfAt(table, at);
            return rows.toLongLong();
        }
        if (attempt > 0 || !keepCounted(table))
            break;
    }
    // Where the count tells its own changes, they are those of the rows it counted.
    Statement count = prepare(QStringLiteral("SELECT count(*)") + changesColumn() + QStringLiteral(" FROM ") + quoteId(table));
    count.step();
    const qint64 rows = count.column(0).toLongLong();
    if (!changesColumn().isEmpty())
        changes = changesOfAt(table, count.column(1));
    count.reset();
    *changesAt = changes;
    // An open transaction may still take back what it counted.
    if (autocommit())
        m_pool->counts[table.toStdString()] = {rows, changes};
    return rows;
}

namespace {

// A count of each reading table kept on the server: a row per writing statement (the rows it added or
// deleted), so that writers never wait on one another for a counter; the count is the sum a reader's
// snapshot sees. A table's many rows are summed into one by whoever writes next, leaving the rows
// another writer holds for it. The functions run as the role that made them, so that every role that
// writes or reads the tables keeps and reads the count without rights to its table.
const char* const kCountFunctions[][2] = {
    {"rv_rows_compact(oid)",
     "CREATE OR REPLACE FUNCTION rv_rows_compact(t oid) RETURNS void LANGUAGE plpgsql SECURITY DEFINER "
     "SET search_path FROM CURRENT AS $$ "
     "BEGIN "
     "IF (SELECT count(*) FROM (SELECT 1 FROM RowCounts WHERE rel = t LIMIT 32) AS few) < 32 THEN RETURN; END IF; "
     "WITH gone AS (DELETE FROM RowCounts WHERE ctid = ANY (ARRAY(SELECT ctid FROM RowCounts WHERE rel = t "
     "FOR UPDATE SKIP LOCKED)) RETURNING delta) "
     "INSERT INTO RowCounts (rel, delta) SELECT t, sum(delta) FROM gone HAVING count(*) > 0; "
     "END $$"},
    {"rv_rows_added()",
     "CREATE OR REPLACE FUNCTION rv_rows_added() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
     "SET search_path FROM CURRENT AS $$ "
     "BEGIN "
     "INSERT INTO RowCounts (rel, delta) SELECT TG_RELID, count(*) FROM added HAVING count(*) > 0; "
     "PERFORM rv_rows_compact(TG_RELID); "
     "RETURN NULL; "
     "END $$"},
    {"rv_rows_gone()",
     "CREATE OR REPLACE FUNCTION rv_rows_gone() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
     "SET search_path FROM CURRENT AS $$ "
     "BEGIN "
     "INSERT INTO RowCounts (rel, delta) SELECT TG_RELID, -count(*) FROM gone HAVING count(*) > 0; "
     "PERFORM rv_rows_compact(TG_RELID); "
     "RETURN NULL; "
     "END $$"},
    // Emptied whole: no other writer can hold the table meanwhile.
    {"rv_rows_emptied()",
     "CREATE OR REPLACE FUNCTION rv_rows_emptied() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
     "SET search_path FROM CURRENT AS $$ "
     "BEGIN "
     "INSERT INTO RowCounts (rel, delta) SELECT TG_RELID, -sum(delta) FROM RowCounts WHERE rel = TG_RELID "
     "HAVING sum(delta) <> 0; "
     "RETURN NULL; "
     "END $$"},
    // Stable: read in the snapshot of the statement that asks. Null unless every trigger is in place.
    {"rv_rows_kept(regclass)",
     "CREATE OR REPLACE FUNCTION rv_rows_kept(t regclass) RETURNS bigint LANGUAGE plpgsql STABLE SECURITY DEFINER "
     "SET search_path FROM CURRENT AS $$ "
     "BEGIN "
     "IF (SELECT count(*) FROM pg_trigger WHERE tgrelid = t AND tgenabled <> 'D' "
     "AND tgname IN ('counted_insert', 'counted_delete', 'counted_truncate')) < 3 THEN RETURN NULL; END IF; "
     "RETURN (SELECT sum(delta) FROM RowCounts WHERE rel = t); "
     "EXCEPTION WHEN undefined_table OR insufficient_privilege THEN RETURN NULL; "
     "END $$"},
};

QString literal(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

QString Database::keptCountColumn(const QString& table)
{
    if (!m_pg || m_pool->uncounted.count(table.toStdString()))
        return QString();
    if (m_pool->keptCounts < 0) {
        const bool made = query(QStringLiteral("SELECT to_regprocedure('rv_rows_kept(regclass)') IS NOT NULL")).value(0).value(0).toBool();
        if (made)
            m_pool->keptCounts = 1;
        else if (!keepCounted(table))
            return QString();
    }
    // A subquery: asked once however many rows the read gives.
    return QStringLiteral(", (SELECT rv_rows_kept(CAST(") + literal(quoteId(table)) + QStringLiteral(" AS regclass)))");
}

bool Database::keepCounted(const QString& table)
{
    // Not inside another's transaction: the table stays locked until the end of it.
    if (!m_pg || !autocommit())
        return false;
    const QString quoted = quoteId(table);
    try {
        Transaction tx(*this);
        // A writer of the table holding it long (an import) is not waited for: counted next time.
        query(QStringLiteral("SET LOCAL lock_timeout = '500ms'"));
        lockTable(quoted); // writers wait from here: the count taken below stays true
        const QVariantList was = query(QStringLiteral("SELECT count(*) FROM pg_trigger WHERE tgrelid = CAST(? AS regclass) "
                                                      "AND tgname IN ('counted_insert', 'counted_delete', 'counted_truncate')"),
                                       {quoted})
                                     .value(0);
        const bool made = was.value(0).toLongLong() == 3;
        if (!made) {
            // Another program making the shared functions and table at once would collide on the catalog.
            holdName(QStringLiteral("rows kept"));
            for (const auto& [signature, sql] : kCountFunctions)
                if (query(QStringLiteral("SELECT to_regprocedure(?) IS NULL"), {QString::fromLatin1(signature)}).value(0).value(0).toBool())
                    exec(QString::fromLatin1(sql));
            exec(QStringLiteral("CREATE TABLE IF NOT EXISTS RowCounts (rel oid NOT NULL, delta bigint NOT NULL)"));
            exec(QStringLiteral("CREATE INDEX IF NOT EXISTS RowCounts_rel ON RowCounts (rel)"));
            for (const char* name : {"counted_insert", "counted_delete", "counted_truncate"})
                exec(QStringLiteral("DROP TRIGGER IF EXISTS ") + QLatin1String(name) + QStringLiteral(" ON ") + quoted);
            exec(QStringLiteral("CREATE TRIGGER counted_insert AFTER INSERT ON ") + quoted
                 + QStringLiteral(" REFERENCING NEW TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION rv_rows_added()"));
            exec(QStringLiteral("CREATE TRIGGER counted_delete AFTER DELETE ON ") + quoted
                 + QStringLiteral(" REFERENCING OLD TABLE AS gone FOR EACH STATEMENT EXECUTE FUNCTION rv_rows_gone()"));
            exec(QStringLiteral("CREATE TRIGGER counted_truncate AFTER TRUNCATE ON ") + quoted
                 + QStringLiteral(" FOR EACH STATEMENT EXECUTE FUNCTION rv_rows_emptied()"));
            // What a dropped table of the same oid left is not this one's.
            exec(QStringLiteral("DELETE FROM RowCounts WHERE rel = CAST(? AS regclass)"), {quoted});
            exec(QStringLiteral("INSERT INTO RowCounts (rel, delta) SELECT CAST(? AS regclass), count(*) FROM ") + quoted,
                 {quoted});
        }
        tx.commit();
        m_pool->keptCounts = 1;
        return true;
    } catch (const RvError& e) {
        if (e.state == QLatin1String("42501")) // not the owner: counted as before, not asked again
            m_pool->uncounted.insert(table.toStdString());
        return false;
    }
}

bool Database::hasNull(const QString& table, const QString& column, quint64 changes)
{
    const auto ask = [&] {
        return !query(QStringLiteral("SELECT 1 FROM ") + quoteId(table) + QStringLiteral(" WHERE ") + quoteId(column)
                      + QStringLiteral(" IS NULL LIMIT 1"))
                    .isEmpty();
    };
    if (!m_pg)
        return ask(); // no round trip to spare
    const std::string key = (table + QChar(0) + column).toStdString();
    const auto writes = [&] { return countFor(m_pool->rowWrites, table); };
    const quint64 written = writes();
    if (const auto it = m_pool->nulls.find(key);
        it != m_pool->nulls.end() && it->second.changes == changes && it->second.writes == written)
        return it->second.yes;
    const bool yes = ask();
    if (autocommit() && writes() == written)
        m_pool->nulls[key] = {yes, changes, written};
    return yes;
}

void Database::announceCommitted()
{
    if (m_depth > 0 || m_pool->committed.empty())
        return;
    QStringList tables;
    for (const std::string& t : m_pool->committed)
        tables << QString::fromStdString(t);
    m_pool->committed.clear();
    if (m_pg)
        m_pg->publish(tables);
    if (m_pool->listener)
        m_pool->listener(tables);
}

void Database::setOthersListener(std::function<void(const QStringList&)> listener)
{
    if (m_pg)
        m_pg->listen(std::move(listener));
}

QString Database::holdingRows()
{
    if (!m_pg || m_depth == 0)
        return {};
    m_pg->holdsRows();
    return QStringLiteral(" FOR UPDATE");
}

void Database::lockTable(const QString& table)
{
    // Other writers wait; readers do not, and neither does this connection's own next lock. Not
    // through exec(), which takes a statement it does not know for a change of the schema.
    if (m_pg)
        query(QStringLiteral("LOCK TABLE ") + table + QStringLiteral(" IN SHARE ROW EXCLUSIVE MODE"));
}

void Database::holdTable(const QString& table)
{
    // A lock of the server's own for the table (by its oid), taken by no other statement: the
    // table itself stays open to every other writer (a save, a chart pass) while one imports.
    if (m_pg)
        query(QStringLiteral("SELECT pg_advisory_xact_lock(CAST(CAST(CAST(? AS regclass) AS oid) AS bigint))"), {table});
}

void Database::holdName(const QString& name)
{
    // Two keys: a space of its own, apart from the tables' holds (one key).
    if (m_pg)
        query(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('rockvista'), hashtext(?))"), {name});
}

void Database::makeTable(const QString& name, const QString& columns)
{
    if (tableExists(name))
        return;
    const QString sql = QStringLiteral("CREATE TABLE IF NOT EXISTS ") + name + QStringLiteral(" (") + columns + QLatin1Char(')');
    if (!m_pg) {
        exec(sql);
        return;
    }
    Transaction tx(*this);
    holdName(QStringLiteral("table ") + name.toLower());
    exec(sql);
    tx.commit();
}

void Database::learnValues(const QString& table)
{
    if (!m_pg)
        return;
    // VACUUM is refused inside a transaction, and its refusal would end that transaction. A table
    // another holds (an import) is left to the server's own cleaner: nobody waits for a clearing.
    exec((autocommit() ? QStringLiteral("VACUUM (SKIP_LOCKED, ANALYZE) ") : QStringLiteral("ANALYZE ")) + table);
}

void Database::clearOldRows(const QString& table)
{
    if (m_pg && autocommit())
        exec(QStringLiteral("VACUUM (SKIP_LOCKED) ") + table);
}

QVector<QVariantList> Database::query(const QString& sql, const QVariantList& params)
{
    Statement st = prepare(sql);
    st.bindAll(params);
    QVector<QVariantList> rows;
    try {
        int n = -1;
        while (st.step()) {
            // Counted after the first step: a statement kept from before its table changed
            // columns is prepared again by it.
            if (n < 0)
                n = st.columnCount();
            QVariantList row;
            row.reserve(n);
            for (int c = 0; c < n; ++c)
                row.append(st.column(c));
            rows.append(row);
        }
    } catch (...) {
        st.reset();
        throw;
    }
    st.reset();
    return rows;
}

QVector<QVariantList> Database::queryEach(const QString& sql)
{
    if (m_pg) {
        QVector<QVariantList> rows;
        for (const QString& statement : detail::PgConnection::splitStatements(sql)) {
            rows += query(statement);
            if (!statement.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive))
                schemaChanged();
            announceCommitted();
        }
        return rows;
    }
    const QByteArray utf8 = sql.toUtf8();
    const char* tail = utf8.constData();
    const char* const end = tail + utf8.size();
    QVector<QVariantList> rows;
    while (tail < end) {
        // Only to find where the next statement ends: it runs as any other, through prepare().
        sqlite3_stmt* stmt = nullptr;
        const char* next = nullptr;
        const int rc = sqlite3_prepare_v2(m_db, tail, static_cast<int>(end - tail), &stmt, &next);
        const bool readOnly = stmt && sqlite3_stmt_readonly(stmt) != 0;
        sqlite3_finalize(stmt);
        if (rc != SQLITE_OK)
            fail(rc);
        if (!next || next <= tail)
            break;
        if (stmt) {
            rows += query(QString::fromUtf8(tail, next - tail));
            if (!readOnly)
                schemaChanged(); // the schema may have changed
            announceCommitted();
        }
        tail = next; // past a statement, or past a lone ";"
    }
    return rows;
}

qint64 Database::lastInsertRowid() const
{
    if (m_pg)
        return m_pg->lastInsertRowid();
    return sqlite3_last_insert_rowid(m_db);
}

int Database::changes() const
{
    if (m_pg)
        return m_pg->changes();
    return sqlite3_changes(m_db);
}

qint64 Database::dataVersion()
{
    if (m_pg)
        return m_pg->changeMark();
    return query(QStringLiteral("PRAGMA data_version")).value(0).value(0).toLongLong();
}

namespace {
// The tables of the schema a server connection works in (its search path's first).
const QString kServerTables = QStringLiteral("SELECT c.oid, c.relname FROM pg_class c WHERE c.relkind IN ('r', 'p') "
                                             "AND c.relnamespace = current_schema()::regnamespace");
} // namespace

QStringList Database::tableNames()
{
    QStringList names;
    const auto rows = m_pg ? query(QStringLiteral("SELECT relname FROM (") + kServerTables
                                   + QStringLiteral(") t ORDER BY lower(relname), relname"))
                           : query(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                                  "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name COLLATE NOCASE"));
    for (const QVariantList& row : rows)
        names.append(row[0].toString());
    return names;
}

quint64 Database::catalogKeptAt()
{
    const quint64 mark = m_pg->catalogMark();
    if (mark != m_tablesMark) {
        m_tables.clear();
        m_triggers.clear();
        m_tablesMark = mark;
    }
    return mark;
}

bool Database::tableExists(const QString& name)
{
    // Table names are matched without regard to case, as SQLite itself does.
    if (m_pg) {
        // A round trip each on a server: the answers are kept until a table may have come or gone.
        const quint64 mark = catalogKeptAt();
        const QString key = name.toLower();
        if (const auto it = m_tables.find(key); mark != 0 && it != m_tables.end())
            return it.value();
        const bool found = !query(QStringLiteral("SELECT 1 FROM (") + kServerTables
                                      + QStringLiteral(") t WHERE lower(relname) = lower(?)"),
                                  {name})
                                .isEmpty();
        if (mark != 0 && mark == m_pg->catalogMark())
            m_tables.insert(key, found);
        return found;
    }
    return !query(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"), {name})
                .isEmpty();
}

QStringList Database::triggersOn(const QString& table)
{
    QStringList names;
    if (m_pg) {
        // Asked by every chart pass and chart read: kept as tableExists' answers are, though only
        // outside a transaction (one making triggers reads them afresh once it holds the table).
        const quint64 mark = m_depth == 0 ? catalogKeptAt() : 0;
        if (const auto it = m_triggers.find(table); mark != 0 && it != m_triggers.end())
            return it.value();
        for (const QVariantList& row : query(QStringLiteral("SELECT tgname FROM pg_trigger WHERE tgrelid = to_regclass(?) "
                                                           "AND NOT tgisinternal ORDER BY tgname"),
                                             {quoteId(table)}))
            names.append(row[0].toString());
        if (mark != 0 && mark == m_pg->catalogMark())
            m_triggers.insert(table, names);
        return names;
    }
    for (const QVariantList& row : query(QStringLiteral("SELECT name FROM (SELECT name, tbl_name FROM sqlite_master WHERE type = "
                                                        "'trigger' UNION ALL SELECT name, tbl_name FROM sqlite_temp_master WHERE "
                                                        "type = 'trigger') WHERE tbl_name = ? COLLATE NOCASE ORDER BY name"),
                                         {table}))
        names.append(row[0].toString());
    return names;
}

bool Database::indexLeadsWith(const QString& table, const QString& column)
{
    // Asked at every opening of a record set: answered once until the schema changes here.
    const std::string key = (table + QChar(0) + column).toStdString();
    if (const auto it = m_leadCache.find(key); it != m_leadCache.end())
        return it->second;
    return m_leadCache[key] = indexLeads(table, column);
}

bool Database::indexLeads(const QString& table, const QString& column)
{
    if (m_pg)
        return !query(QStringLiteral("SELECT 1 FROM pg_index i JOIN pg_attribute a ON a.attrelid = i.indrelid "
                                     "AND a.attnum = i.indkey[0] WHERE i.indrelid = (SELECT oid FROM (")
                          + kServerTables
                          + QStringLiteral(") t WHERE lower(relname) = lower(?) ORDER BY relname = ? DESC LIMIT 1) "
                                           "AND lower(a.attname) = lower(?) AND i.indpred IS NULL LIMIT 1"),
                      {table, table, column})
                    .isEmpty();
    return !query(QStringLiteral("SELECT 1 FROM pragma_index_list(?) AS l, pragma_index_info(l.name) "
                                 "AS i WHERE i.seqno = 0 AND i.name = ? COLLATE NOCASE AND l.partial = 0 LIMIT 1"),
                  {table, column})
                .isEmpty();
}

bool Database::hasSuppliedTables()
{
    for (const char* name : {"Configuration", "Prefs", "Sensors", "NetworkConfig", "sensordata"}) {
        if (!tableExists(QString::fromLatin1(name)))
            return false;
    }
    return true;
}

void Database::begin()
{
    if (m_depth == 0) {
        exec(m_pg ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    } else {
        exec(QStringLiteral("SAVEPOINT rv_%1").arg(m_depth));
        m_pool->savepoints.push_back(m_pool->pending);
    }
    ++m_depth;
}

void Database::commit()
{
    if (m_depth == 0)
        throw RvError(SQLITE_ERROR, QStringLiteral("cannot commit - no transaction is active"));
    if (m_depth == 1) {
        exec(QStringLiteral("COMMIT"));
    } else {
        exec(QStringLiteral("RELEASE rv_%1").arg(m_depth - 1));
        if (!m_pool->savepoints.empty())
            m_pool->savepoints.pop_back();
    }
    --m_depth;
    announceCommitted(); // only the outermost commit announces
}

void Database::rollback()
{
    if (m_depth == 0)
        throw RvError(SQLITE_ERROR, QStringLiteral("cannot rollback - no transaction is active"));
    --m_depth;
    if (autocommit()) {
        // SQLite rolled the whole transaction back itself after a severe error (or a failed
        // commit ended it).
        m_depth = 0;
        return;
    }
    if (m_depth == 0) {
        exec(QStringLiteral("ROLLBACK"));
    } else {
        exec(QStringLiteral("ROLLBACK TO rv_%1").arg(m_depth));
        exec(QStringLiteral("RELEASE rv_%1").arg(m_depth));
        if (!m_pool->savepoints.empty()) {
            m_pool->pending = std::move(m_pool->savepoints.back());
            m_pool->savepoints.pop_back();
            m_pool->lastTable.clear();
        }
    }
}

bool Database::isNumericType(const QString& declaredType)
{
    const QString t = declaredType.toUpper();
    for (const char* part : {"INT", "REAL", "FLOA", "DOUB", "NUM", "DEC", "BOOL"}) {
        if (t.contains(QLatin1String(part)))
            return true;
    }
    return false;
}

bool Database::isNumberType(int metaTypeId)
{
    switch (metaTypeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QVector<Database::Column> Database::columns(const QString& table)
{
    const QByteArray utf8 = table.toUtf8();
    const std::string key(utf8.constData(), static_cast<size_t>(utf8.size()));
    auto it = m_columnCache.find(key);
    if (it != m_columnCache.end())
        return it->second;
    QVector<Column> cols;
    const auto rows = m_pg ? query(QStringLiteral("SELECT a.attnum, a.attname, format_type(a.atttypid, a.atttypmod) "
                                                  "FROM pg_attribute a WHERE a.attrelid = (SELECT oid FROM (")
                                   + kServerTables
                                   + QStringLiteral(") t WHERE lower(relname) = lower(?) ORDER BY relname = ? DESC LIMIT 1) "
                                                    "AND a.attnum > 0 AND NOT a.attisdropped AND a.attname <> 'rowid' "
                                                    "ORDER BY a.attnum"),
                                   {table, table})
                           : query(QStringLiteral("PRAGMA table_info(") + quoteId(table) + QLatin1Char(')'));
    for (const QVariantList& row : rows) {
        const QString type = row[2].toString();
        cols.append(Column{row[1].toString(), type, isNumericType(type)});
    }
    if (!cols.isEmpty())
        m_columnCache[key] = cols;
    return cols;
}

QString Database::quoteId(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString Database::columnType(const QString& declaredType) const
{
    if (!m_pg)
        return declaredType;
    // SQLite's affinity rules, in its order; the server's REAL would keep only single precision.
    const QString t = declaredType.toUpper();
    const auto has = [&t](const char* part) { return t.contains(QLatin1String(part)); };
    if (has("INT"))
        return QStringLiteral("bigint");
    if (has("NUM") && (has("TEXT") || has("CHAR")))
        return QStringLiteral("numeric_text");
    if (has("CHAR") || has("CLOB") || has("TEXT") || t.trimmed().isEmpty())
        return QStringLiteral("text");
    if (has("BLOB") || has("BYTEA"))
        return QStringLiteral("bytea");
    return QStringLiteral("double precision");
}

void Database::defineColumnTypes()
{
    if (m_pg)
        exec(QStringLiteral("DO $$ BEGIN CREATE DOMAIN numeric_text AS text; "
                            "EXCEPTION WHEN duplicate_object THEN NULL; END $$"));
}

QString Database::textOf(const QString& expression) const
{
    return m_pg ? QStringLiteral("CAST(") + expression + QStringLiteral(" AS TEXT)") : expression;
}

QString Database::rowidColumn() const
{
    return m_pg ? QStringLiteral("rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY") : QString();
}

// --- Transaction ---

Transaction::~Transaction()
{
    if (m_done)
        return;
    try {
        m_db.rollback();
    } catch (const std::exception&) {
        // Leaving by an error already; the original error is the one to report.
    }
}

void Transaction::commit()
{
    m_db.commit();
    m_done = true;
}

// --- SQL functions ---

namespace {

struct FunctionContext {
    Database::SqlFunction body;
    std::weak_ptr<detail::StatementPool> pool;
};

QVariant argumentValue(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qint64>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(v));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v)));
    default:
        return QVariant();
    }
}

void callFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* f = static_cast<FunctionContext*>(sqlite3_user_data(ctx));
    QVariantList args;
    args.reserve(argc);
    for (int i = 0; i < argc; ++i)
        args.append(argumentValue(argv[i]));
    try {
        const QVariant r = f->body(args);
        if (r.isNull()) {
            sqlite3_result_null(ctx);
        } else if (r.typeId() == QMetaType::Double || r.typeId() == QMetaType::Float) {
            sqlite3_result_double(ctx, r.toDouble());
        } else if (Database::isNumberType(r.typeId()) || r.typeId() == QMetaType::Bool) {
            sqlite3_result_int64(ctx, r.toLongLong());
        } else {
            const QByteArray utf8 = r.toString().toUtf8();
            sqlite3_result_text64(ctx, utf8.constData(), static_cast<sqlite3_uint64>(utf8.size()), SQLITE_TRANSIENT,
                                  SQLITE_UTF8);
        }
    } catch (const RvError& e) {
        if (auto pool = f->pool.lock())
            pool->functionError = e;
        sqlite3_result_error(ctx, e.description.toUtf8().constData(), -1);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

void destroyFunction(void* p)
{
    delete static_cast<FunctionContext*>(p);
}

} // namespace

Database::FunctionRegistration Database::registerFunction(const QString& name, int argCount, SqlFunction body)
{
    if (m_pg)
        throw RvError(SQLITE_MISUSE, QStringLiteral("The function %1 of the program cannot run inside a PostgreSQL server.")
                                         .arg(name));
    QByteArray utf8 = name.toUtf8();
    auto* context = new FunctionContext{std::move(body), m_pool};
    const int rc = sqlite3_create_function_v2(m_db, utf8.constData(), argCount, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                              context, callFunction, nullptr, nullptr, destroyFunction);
    if (rc != SQLITE_OK) // SQLite has destroyed the context already
        fail(rc);
    return FunctionRegistration(this, std::move(utf8), argCount);
}

Database::FunctionRegistration::FunctionRegistration(FunctionRegistration&& other) noexcept
    : m_db(other.m_db), m_name(std::move(other.m_name)), m_argCount(other.m_argCount)
{
    other.m_db = nullptr;
}

Database::FunctionRegistration::~FunctionRegistration()
{
    if (m_db)
        sqlite3_create_function_v2(m_db->m_db, m_name.constData(), m_argCount, SQLITE_UTF8, nullptr, nullptr, nullptr,
                                   nullptr, nullptr);
}

} // namespace rv
