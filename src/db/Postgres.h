#pragma once
// The PostgreSQL side of Database and Statement (libpq), for db/ only. A statement is prepared on
// the server under a name of its own and read in single-row mode, so a long read holds one row at a
// time; when another statement needs the connection before a read is finished, the rest of that
// read is taken into its statement's memory first (the wire carries one result at a time).
#include "db/Database.h"

#include <QByteArray>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

class QSocketNotifier;
class QTimer;

namespace rv {

class DatabaseTarget;

namespace detail {

class PgConnection;
class PgCopy;

// What a command did, reported as SQLite's hooks report it.
struct PgHooks {
    void* context = nullptr;
    void (*rowsChanged)(void* context, const std::string& table, bool addedOrDeleted, qint64 rows) = nullptr;
    void (*committed)(void* context) = nullptr;
    void (*rolledBack)(void* context) = nullptr;
};

class PgStatement {
public:
    PgStatement(PgConnection* conn, std::string name, std::string key, bool keep);
    ~PgStatement();
    PgStatement(const PgStatement&) = delete;
    PgStatement& operator=(const PgStatement&) = delete;

    const std::string& key() const { return m_key; }
    bool keep() const { return m_keep; }
    const std::string& name() const { return m_name; }

    void reset(); // what is left of a read is dropped; the bindings go
    void forgetConnection(); // the connection closes: only the memory is freed from here on
    void detach() { m_conn = nullptr; } // the connection is gone already
    void bindNull(int index);
    void bindText(int index, QByteArray text);
    void bindBytes(int index, QByteArray bytes);
    void bindNumber(int index, double value);
    void bindInteger(int index, qint64 value);
    bool step();
    int columnCount() const;
    QString columnName(int col) const;
    QVariant column(int col) const;
    Statement::Kind columnNumber(int col, double* number) const;
    QByteArrayView columnUtf8(int col) const;
    QByteArrayView columnBlob(int col) const;
    qint64 columnInteger(int col) const;
    Statement::Source columnSource(int col) const;
    // As SQLite says of its statements: a read, or a word on the transaction.
    bool readOnly() const { return m_kind != Kind::Insert && m_kind != Kind::Update && m_kind != Kind::Delete && m_kind != Kind::Other; }

private:
    friend class PgConnection;
    enum class Kind { Select, Insert, Update, Delete, Commit, Rollback, Control, Other };
    enum class State { Idle, Streaming, Done };
    void checkIndex(int index) const;
    void send();
    void takeAll();            // the rest of the read into m_buffer, before another command
    PGresult* nextResult();    // from the buffer, else from the wire; null at the end
    void settle(); // the command's end: its changes, the hooks
    [[noreturn]] void failWith(PGresult* error);
    void clearRow();
    bool isNumeric(int col) const;
    bool isNull(int col) const; // of the row read
    double numberAt(int col) const; // a number column's value, not Null

    PgConnection* m_conn;
    std::string m_name, m_key;
    bool m_keep;
    Kind m_kind = Kind::Other;
    QByteArray m_text;            // as prepared on the server
    std::string m_table;          // written by an INSERT, UPDATE or DELETE, as the text names it
    bool m_returnsRowid = false;  // RETURNING rowid added for lastInsertRowid()
    PGresult* m_desc = nullptr;   // parameters and result columns
    int m_params = 0;
    std::vector<QByteArray> m_values;
    std::vector<char> m_null, m_binary;
    State m_state = State::Idle;
    std::deque<PGresult*> m_buffer;
    PGresult* m_row = nullptr;
    qint64 m_rows = -1;         // rows the command changed, as the server reported
    QByteArray m_status;        // the command's tag ("COMMIT", "INSERT 0 1" ...)
    bool m_commitRefused = false;
    bool m_retried = false;     // prepared again once already for this run
    bool m_quickEnd = false;    // a commit of a transaction that only held rows
    mutable QByteArray m_blob; // a bytea value unescaped, until the next step
    mutable std::vector<QByteArray> m_texts; // binary values asked for as text, by column
    bool m_binaryResults = false; // every column's type is read in binary
    int m_at = 0;              // the row of m_row read (several come at once when whole)
    // A read of at most kFewRows rows (kAlways), or as many as its parameter of that number says.
    static constexpr int kAlways = -1;
    static constexpr qint64 kFewRows = 4096;
    int m_fewRows = 0;
    bool m_whole = false;      // this run's rows come in one result
};

class PgConnection {
public:
    static std::unique_ptr<PgConnection> connect(const DatabaseTarget& target);
    ~PgConnection();

    void setHooks(PgHooks hooks) { m_hooks = hooks; }
    const PgHooks& hooks() const { return m_hooks; }
    PGconn* handle() const { return m_conn; }

    std::unique_ptr<PgStatement> prepare(const QString& sql, bool keep);
    // Hands a statement back: kept for the next prepare of its text, or dropped on the server.
    void release(std::unique_ptr<PgStatement> st);
    int idleCount() const { return int(m_idle.size()); }

    bool inTransaction();
    void schemaChanged(); // what was learnt of the tables is asked anew
    qint64 lastInsertRowid() const { return m_lastRowid; }
    int changes() const { return m_changes; }
    // Moves whenever a transaction that may have written ends anywhere on the server: another
    // connection's, or this one's unless all it did was read and hold rows (holdsRows). Asks the
    // server for its snapshot: the transactions ended since the last ask are known by their ids.
    qint64 changeMark();
    // The same, from a snapshot a statement returned (pg_current_snapshot() among its columns): the
    // mark of the data that statement read, without a round trip of its own.
    qint64 changeMarkAt(QByteArrayView snapshot);
    // The transaction open here holds rows it read: if it writes nothing, its end does not move
    // changeMark, and its commit learns the id that holding them took.
    void holdsRows() { m_holds = true; }
    // Moves when a table may have been made or dropped: by this connection's statements other than
    // reads and row writes, and by every commit another connection announced (heard or not yet).
    // Null (0) while no announcements are listened to: nothing learnt of the tables is then kept.
    quint64 catalogMark();
    // The statements of a text, split where a ";" ends one (not inside quotes or comments).
    static QStringList splitStatements(const QString& sql);
    // "?" placeholders as $1, $2 ... and `names` as "names", outside quotes and comments.
    static QString translate(const QString& sql, int* params);

    // What this connection's commits changed, told to every connection of the same database and
    // schema that listens (each program's one); heard there once this one's transaction ends.
    void publish(const QStringList& tables);
    // Listens from now on: heard() is called from the event loop with the tables another
    // connection's commit changed, never this one's own; while a transaction is open, a statement
    // is being read or the event loop runs nested (a modal dialog), they wait. Null: no longer.
    void listen(std::function<void(const QStringList& tables)> heard);

    // The one statement reading from the wire, if any, takes the rest of its read before anything
    // else is sent; an open copy is ended (and throws what the server refused of it).
    void takeOver();
    // Runs a text with text parameters outside the statement cache (catalog look-ups); throws.
    PGresult* run(const char* sql, const std::vector<QByteArray>& params = {});
    [[noreturn]] void fail(PGresult* error) const;
    [[noreturn]] void failConnection(const char* state) const;

private:
    friend class PgStatement;
    friend class PgCopy;
    explicit PgConnection(PGconn* conn, QString password);
    bool hasRowidColumn(const std::string& tableAsWritten);
    // Prepares st's text under its name (again, after a table it reads changed): its description anew.
    void prepareOnServer(PgStatement& st);
    void hearOthers(); // takes what the server has brought and hands it on when it may
    void takeNotifications(); // what the server has brought, into m_unheard
    void transactionEnded();
    // The server's snapshot: transactions below xmin have ended, those in xip and from xmax on not.
    struct Snapshot {
        qint64 xmin = 0, xmax = 0;
        std::vector<qint64> xip;
    };
    bool onlyOwnEnded(const Snapshot& now) const; // since m_snapshot, only the transactions of m_ownIds

    std::function<void(const QStringList&)> m_heard;
    std::unique_ptr<QSocketNotifier> m_socket;
    std::unique_ptr<QTimer> m_poll; // what was taken in with a result leaves the socket quiet
    QStringList m_unheard;          // taken in, not yet handed on

    PGconn* m_conn;
    QString m_password; // taken out of every message
    PgHooks m_hooks;
    PgStatement* m_active = nullptr;
    PgCopy* m_copy = nullptr; // a copy the connection is given over to
    quint64 m_names = 0;
    std::unordered_multimap<std::string, std::unique_ptr<PgStatement>> m_idle;
    std::unordered_map<std::string, bool> m_rowidTables;
    std::unordered_map<quint64, Statement::Source> m_sources; // by table oid and column number
    qint64 m_lastRowid = 0;
    int m_changes = 0;
    qint64 m_mark = 0;
    std::optional<Snapshot> m_snapshot; // at the last changeMark
    std::set<qint64> m_ownIds;          // this connection's ended transactions that wrote nothing
    bool m_holds = false;               // the open transaction holds rows (holdsRows)
    qint64 m_lockXid = 0;               // its id, as its commit learnt it
    bool m_wrote = false;               // the open transaction ran a statement that may write
    mutable quint64 m_catalog = 1; // moved by fail() too
};

// Rows streamed into a table by COPY in its text form, sent while more are being made. While the
// copy is open the connection is its own: any other command first ends it (the rows sent so far
// are written, or their error is thrown there), and the next whole row begins another copy.
class PgCopy {
public:
    // The table and columns as the SQL texts name them.
    PgCopy(PgConnection* conn, const QString& table, const QStringList& columns);
    ~PgCopy(); // an open copy is abandoned: the server undoes it
    PgCopy(const PgCopy&) = delete;
    PgCopy& operator=(const PgCopy&) = delete;

    void null();
    void number(double value); // NaN: Null
    void integer(qint64 value);
    void text(QByteArrayView utf8);
    void endRow();
    // Sends the rest and ends the copy; throws what the server refused.
    void finish();

private:
    friend class PgConnection;
    void field(); // before each value of a row
    void flush(); // the whole rows made so far to the server
    void end();
    void abandon();

    PgConnection* m_conn;
    std::string m_table;
    QByteArray m_command;
    QByteArray m_out;         // rows not sent yet, the last one maybe unfinished
    qsizetype m_whole = 0;    // bytes of m_out that are whole rows
    bool m_rowStarted = false;
    bool m_open = false;
};

} // namespace detail
} // namespace rv
