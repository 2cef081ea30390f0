#pragma once
// The one connection of the program: to the SQLite file of the data folder, or to a PostgreSQL
// server (see DatabaseTarget). Every result is checked; a failure throws rv::RvError carrying
// SQLite's extended code and message, or the server's message, its SQLSTATE and SQLite's code for
// the same fault. What differs between the engines is said where it does; above db/ the engine
// is not asked for by name.
#include "db/Errors.h"

#include <QByteArrayView>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace rv {

class DatabaseTarget;

namespace detail {
struct StatementPool;
class PgConnection;
class PgStatement;
}

// A prepared statement, owned by whoever holds it. When the handle goes it is reset and handed
// back to its connection's cache for the next prepare() of the same text; a handle that outlives
// its connection finalizes itself (on PostgreSQL it can no longer be stepped then).
// "?" marks a parameter on both engines. On PostgreSQL a statement is read a row at a time; while
// it is being read, another statement on the connection first takes the rest of its rows into
// memory.
class Statement {
public:
    Statement();
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return m_stmt != nullptr || m_pg != nullptr; }
    void reset();
    void bind(int index, const QVariant& value); // 1-based
    void bindAll(const QVariantList& values);
    // For many-row writes, without a QVariant (a NaN binds Null). The text is not copied: it must stay until the
    // statement has been stepped.
    void bindNumber(int index, double value);
    void bindInteger(int index, qint64 value);
    void bindUtf8(int index, QByteArrayView text);
    bool step(); // true while a row is available
    int columnCount() const;
    QString columnName(int col) const;
    QVariant column(int col) const; // Null, qint64, double or QString
    // For many-row reads, without a QVariant: Null, a stored number (into *number) or text.
    enum class Kind { Null, Number, Text };
    Kind columnNumber(int col, double* number) const;
    // A text value's UTF-8 bytes, valid until the next step (empty for Null).
    QByteArrayView columnUtf8(int col) const;
    // A blob's bytes, valid until the next step (empty for Null).
    QByteArrayView columnBlob(int col) const;
    qint64 columnInteger(int col) const; // a row id or a count, without a QVariant
    // Where a result column comes from: its table, its name there and declared type (empty for
    // an expression).
    struct Source {
        QString declaredType, column, table;
    };
    Source source(int col) const;
    bool readOnly() const; // the statement writes nothing (a read)
    sqlite3_stmt* handle() const { return m_stmt; } // for db/ only; null on PostgreSQL

private:
    friend class Database;
    Statement(std::shared_ptr<detail::StatementPool> pool, sqlite3* db, sqlite3_stmt* stmt, std::string key,
              bool keep = true);
    Statement(std::shared_ptr<detail::StatementPool> pool, std::unique_ptr<detail::PgStatement> pg);
    detail::PgStatement* pg() const; // the server statement, let go of its connection once that is gone
    void release();
    void settleCommit(int rc); // the pool's commit bookkeeping, where the statement halts
    void bindServer(int index, const QVariant& value);

    std::weak_ptr<detail::StatementPool> m_pool;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    std::string m_key;
    bool m_keep = true; // handed back to the cache when released, else finalized
    std::unique_ptr<detail::PgStatement> m_pg; // instead of m_stmt on PostgreSQL
};

class Database {
public:
    // Opens an existing database file for reading and writing. Never creates one:
    // a missing, unreadable or non-SQLite file throws.
    static std::unique_ptr<Database> open(const QString& path);
    // The program's own database: as open(), but a file without the five supplied tables is
    // refused (3078) before anything is written to it, so that another program's file stays
    // exactly as it was. A database that cannot be written (a folder where no journal can be
    // made, a lock held past the busy timeout) is refused too, left as it was.
    static std::unique_ptr<Database> openSupplied(const QString& path);
    // Creates a new, empty database file (for the set-up tool and tests). An existing
    // non-empty file is refused.
    static std::unique_ptr<Database> create(const QString& path);
    // Opens an existing database file for reading only (checking a chosen file before a
    // restore): nothing is written to it, not even a setting.
    static std::unique_ptr<Database> openReadOnly(const QString& path);
    // The database a target names: its SQLite file as open(path), or a connection to a PostgreSQL
    // server. A server that cannot be reached throws 14 (SQLSTATE 08001) without the password.
    static std::unique_ptr<Database> open(const DatabaseTarget& target);
    // As openSupplied(path); on a server, a database without the five tables throws 3078.
    static std::unique_ptr<Database> openSupplied(const DatabaseTarget& target);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QString path() const { return m_path; } // a server's: its address, without the password
    void exec(const QString& sql, const QVariantList& params = {});
    QVector<QVariantList> query(const QString& sql, const QVariantList& params = {});
    // Runs the statements of a text of several one after the other (a later one may use what an
    // earlier one made) and returns the rows they gave, in order. For tools: the program itself
    // runs one statement at a time.
    QVector<QVariantList> queryEach(const QString& sql);
    // A prepared statement, ready for binding: taken from the connection's cache when one of
    // the same text is idle there, else prepared afresh.
    Statement prepare(const QString& sql);
    // A statement for one use, finalized when the handle goes and never kept in the cache: for a
    // text made once (thousands of tables read in one go would fill the cache for good).
    Statement prepareTransient(const QString& sql);
    // How many idle statements the cache holds.
    int cachedStatements() const;
    // PostgreSQL has no rowid: a table's column "rowid" (an identity) stands in for it, and an
    // INSERT into such a table returns it; an INSERT into a table without one leaves the value
    // as it was (as SQLite's does for a table without rowid).
    qint64 lastInsertRowid() const;
    int changes() const;
    // Changes whenever another connection (another program) commits to the file: what was read
    // before may be stale. On PostgreSQL it changes whenever a transaction that wrote ends anywhere
    // on the server, this connection's own included (more often than needed, never too seldom);
    // not for this connection's transactions that only read and held rows (holdingRows).
    qint64 dataVersion();

    QStringList tableNames();
    bool tableExists(const QString& name);
    // The five tables every Rockvista database is supplied with.
    bool hasSuppliedTables();

    // Transactions nest: an inner begin() opens a savepoint, so that a procedure running in
    // one transaction may call another that opens its own. On PostgreSQL a failed statement
    // spoils its whole transaction (every later statement fails, the commit throws 4 and rolls
    // back), where SQLite undoes that statement alone; rolling back to an inner begin() mends it.
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return m_depth > 0; }
    // True the first time a key is asked on this connection (forget asks anew): for the
    // temporary set-ups a connection needs once.
    bool once(const QString& key) { return !m_once.contains(key) && (m_once.insert(key), true); }
    void forget(const QString& key) { m_once.remove(key); }
    // Runs on every connection opened for writing, before it is handed out (a store's
    // temporary triggers); it must not throw. Returns true, for a static initialiser.
    static bool addConnectionSetUp(std::function<void(Database&)> setUp);

    // Called once a commit went through — the outermost transaction's, or a statement's outside
    // any — with the tables its statements changed. Nothing is called on a rollback, and a
    // savepoint rolled back takes its tables out again. On PostgreSQL a table changed is the one
    // an INSERT, UPDATE or DELETE names (as the text names it) when it changed rows: what
    // triggers change is not seen.
    void setCommitListener(std::function<void(const QStringList& tables)> listener);
    // The commits of other connections to the same database (other programs on one server), heard
    // while the event loop turns, outside a transaction and outside a modal dialog's loop: the
    // tables each changed, as setCommitListener reports this connection's own (which never come
    // here). On PostgreSQL every connection tells the others what its commits changed; on SQLite
    // one program holds the file and nothing is heard. Null stops listening.
    void setOthersListener(std::function<void(const QStringList& tables)> listener);
    // Ends a SELECT of one table's rows read to decide a write: they stay as read, held against
    // other connections' writes until the transaction ends. Empty outside a transaction (nothing
    // to hold them for) and on SQLite, whose write transaction holds the whole file already.
    QString holdingRows();
    // Holds a table against others' writes (they may read), so that a check of its rows and the
    // write that follows see the same rows. A no-op on SQLite, as above. The table as the SQL
    // texts name it.
    void lockTable(const QString& table);
    // Holds a table only against the same hold by others (their imports into it) until the
    // transaction ends: a check of its keys and the writes that follow are not interleaved with
    // another's, while the others' reads and other writes go on. A no-op on SQLite, as above.
    void holdTable(const QString& table);
    // Holds a name against the same hold by others until the transaction ends: programs making the
    // same shared objects (functions, tables) take turns, and the later one finds them made. A
    // no-op on SQLite, as above.
    void holdName(const QString& name);
    // Makes a table of the program's own (`columns` as CREATE TABLE lists them) unless it is there.
    // Programs making it at once take turns, the later one finding it made: on a server two
    // CREATE TABLE IF NOT EXISTS at once collide. Inside a transaction the turn lasts to its end.
    void makeTable(const QString& name, const QString& columns);
    // After a write that changed much of a table: the server's planner learns its values now, not
    // at its own analysis a while later (meanwhile it would read the whole table for rows a partial
    // index holds), and the old versions of the rows are cleared as by clearOldRows. Nothing on
    // SQLite. The table as the SQL texts name it.
    void learnValues(const QString& table);
    // After a write that deleted or rewrote much of a table, outside a transaction: the server
    // clears the old versions of its rows at once, unless another holds the table (then its own
    // cleaner does later); until then a read from either end of an index passes every one of
    // them. Nothing on SQLite, which keeps none, nor in a transaction.
    void clearOldRows(const QString& table);
    // A change the row hook does not see: a table created, dropped or emptied whole.
    void touch(const QString& table);
    // Hands the tables of finished commits to the listener (when no transaction is open).
    void announceCommitted();

    // Grows with every row this connection adds to or deletes from the table, every touch and
    // rollback, and every commit of another connection: while it stays, so do the table's rows.
    quint64 changesOf(const QString& table);
    // Where the engine can tell it from a statement's own columns: the column to add to a read
    // (", …"), and changesOf(table) as of that read from the column's value. Empty where it cannot.
    QString changesColumn() const;
    quint64 changesOfAt(const QString& table, const QVariant& value);
    // The number of rows of a table. Counting reads the table's smallest index whole: the count
    // is remembered while changesOf(table) stays.
    // changesAt, when given, receives the changesOf(table) the count holds for.
    qint64 rowCount(const QString& table, quint64* changesAt = nullptr);
    // The same where changesOf(table) was just told by a read of its own (changesOfAt): the count
    // remembered at those changes, else counted afresh, its own changes in *changesAt.
    qint64 rowCountAt(const QString& table, quint64 changes, quint64* changesAt);
    // An SQL expression (", …" to add to a read) of the table's rows as that read sees them, where the
    // engine keeps them counted: the server, by triggers the table carries, made when first needed
    // (counting the rows once) where the role may. Its value is Null where the table's rows are not
    // counted after all. Empty where the engine keeps no count.
    QString keptCountColumn(const QString& table);
    // Whether a column holds a Null in any row of the table. Given changesOf(table) as just read, the
    // answer is remembered on a server while that stays and this connection writes none of the rows.
    bool hasNull(const QString& table, const QString& column, quint64 changes);

    // Whether an index of the whole table (not a partial one) has the column first.
    bool indexLeadsWith(const QString& table, const QString& column);
    // Column names and declared types of a table, in table order (on PostgreSQL without the
    // surrogate rowid).
    struct Column { QString name; QString declaredType; bool numeric; };
    QVector<Column> columns(const QString& table);
    // Whether a declared column type holds numbers (INT, REAL, FLOA, DOUB, NUM, DEC, BOOL).
    static bool isNumericType(const QString& declaredType);
    // Whether a QVariant type id holds a number (integers of any width, double, float).
    static bool isNumberType(int metaTypeId);

    // A deterministic SQL function of argCount arguments, known to this connection until the
    // returned registration goes. The body gets the arguments as column() gives them (Null,
    // qint64, double or QString) and returns the result; an RvError it throws fails the
    // statement, and the statement then throws that very error. A PostgreSQL server cannot call
    // into the program: there it throws 21 ("misuse") and registers nothing.
    class FunctionRegistration;
    using SqlFunction = std::function<QVariant(const QVariantList& args)>;
    [[nodiscard]] FunctionRegistration registerFunction(const QString& name, int argCount, SqlFunction body);

    sqlite3* handle() const { return m_db; } // null on PostgreSQL
    [[noreturn]] void fail(int rc) const;

    static QString quoteId(const QString& name); // "name" with inner quotes doubled
    // What a CREATE TABLE text spells differently on the two engines: a column type declared as
    // SQLite takes it (REAL, INTEGER, NUMERIC TEXT ...), as this engine keeps such values (unchanged
    // on SQLite); and the surrogate row id column that leads a table (empty on SQLite, which has one).
    // A number kept in its written form (NUMERIC TEXT) is, on the server, text under a type of its
    // own whose name still says numeric and text, so that the record sets check it as on SQLite.
    QString columnType(const QString& declaredType) const;
    // Makes the types columnType() names that the engine lacks; before a CREATE TABLE of them.
    void defineColumnTypes();
    QString rowidColumn() const;
    // How many rows by rowid a reader should ask for at once when it will show those that follow:
    // 1 where a read costs no round trip (SQLite), a screenful and more on a server.
    int rowsPerRead() const { return m_pg ? 64 : 1; }
    // An SQL expression of a value as text, for the string functions: SQLite's take any value as
    // it is (the expression comes back unchanged), the server's want text.
    QString textOf(const QString& expression) const;
    // Whether a connection can watch a table with triggers of its own that go with it (SQLite's
    // TEMP TRIGGER). The server has none: what a store would learn from them it must work out
    // otherwise.
    bool watchesByOwnTriggers() const { return !m_pg; }
    // Whether triggers a table carries fire for every connection's writes (and a store may define
    // the functions they run): the server's. A store watches edits there with permanent triggers
    // instead, made where a table lacks them.
    bool watchesByTableTriggers() const { return m_pg != nullptr; }
    // The names of the triggers a table carries (a connection's own included), in name order.
    QStringList triggersOn(const QString& table);
    // A condition that an integer column is one of a list bound as one parameter (the list as
    // "{1,2,3}"), where the engine parses a long list of literals slowly: the server's. Empty on
    // SQLite, where the literals themselves serve best.
    QString oneOfBoundList(const QString& column) const
    {
        return m_pg ? column + QStringLiteral(" = ANY(CAST(? AS bigint[]))") : QString();
    }
    // Whether registerFunction works.
    bool runsOwnFunctions() const { return !m_pg; }

private:
    friend class BulkInsert;
    Database(sqlite3* db, const QString& path);
    Database(std::unique_ptr<detail::PgConnection> pg, const QString& display);
    bool autocommit(); // no transaction open on the connection
    quint64 ownChangesOf(const QString& table) const; // this connection's part of changesOf
    qint64 countRows(const QString& table, quint64 changes, quint64* changesAt); // afresh, remembered
    // Makes the triggers that keep the table's rows counted, and counts them once; false when the
    // role may not (or another connection held the table too long).
    bool keepCounted(const QString& table);
    void schemaChanged(); // what was learnt of the tables' columns is asked anew
    bool indexLeads(const QString& table, const QString& column);
    static std::unique_ptr<Database> connect(const QString& path, int flags);
    static std::vector<std::function<void(Database&)>>& connectionSetUps();
    void configure(); // read-write settings: refuses a read-only file, rollback journal
    sqlite3_stmt* compile(const QString& sql, const QByteArray& utf8, unsigned flags);
    sqlite3* m_db;
    int m_depth = 0;
    QSet<QString> m_once;
    QString m_path;
    std::shared_ptr<detail::StatementPool> m_pool;
    std::unordered_map<std::string, QVector<Column>> m_columnCache;
    std::unordered_map<std::string, bool> m_leadCache; // indexLeadsWith's answers
    QHash<QString, bool> m_tables; // tableExists' answers on a server, by lower-case name
    QHash<QString, QStringList> m_triggers; // triggersOn's answers on a server, by table
    quint64 m_tablesMark = 0;      // the catalogMark they hold for
    // The server's catalogMark, what was learnt of tables and triggers forgotten when it moved.
    quint64 catalogKeptAt();
    detail::PgConnection* m_pg = nullptr; // owned by the pool, as the statements' cache is
};

class Database::FunctionRegistration {
public:
    FunctionRegistration(FunctionRegistration&& other) noexcept;
    FunctionRegistration& operator=(FunctionRegistration&&) = delete;
    ~FunctionRegistration();

private:
    friend class Database;
    FunctionRegistration(Database* db, QByteArray name, int argCount) : m_db(db), m_name(std::move(name)), m_argCount(argCount) {}
    Database* m_db;
    QByteArray m_name;
    int m_argCount;
};

// Commits at commit(); rolls back when left without it.
class Transaction {
public:
    explicit Transaction(Database& db) : m_db(db) { m_db.begin(); }
    ~Transaction();
    void commit();

private:
    Database& m_db;
    bool m_done = false;
};

} // namespace rv
