#include "db/Postgres.h"

#include "db/DatabaseTarget.h"

#include <QRegularExpression>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <charconv>
#include <cmath>
#include <cstring>
#include <libpq-fe.h>
#include <limits>
#include <algorithm>

namespace rv::detail {

namespace {

// A copy sends its rows this many bytes at a time: the server works on one part while the next is made.
constexpr qsizetype kCopyChunk = 64 * 1024;

// Type oids of pg_type that hold numbers (bool as 0/1, as SQLite stores yes/no).
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kVarchar = 1043, kNumeric = 1700;

// Types whose binary form is read here as exactly as their text: a statement whose columns are
// all of these comes back binary (no hex text for bytea, no parsing of numbers). float4 is not
// among them: its text is the shortest of the float, which as a double differs from its bits.
bool readsBinary(Oid t)
{
    return t == kBool || t == kBytea || t == kInt8 || t == kInt2 || t == kInt4 || t == kText || t == kFloat8
           || t == kVarchar;
}

// Big-endian, as the wire carries it.
quint64 bigEndian(const char* v, int length)
{
    quint64 n = 0;
    for (int i = 0; i < length; ++i)
        n = (n << 8) | quint8(v[i]);
    return n;
}

qint64 binaryInteger(const char* v, int length)
{
    switch (length) {
    case 2: return qint16(bigEndian(v, 2));
    case 4: return qint32(bigEndian(v, 4));
    default: return qint64(bigEndian(v, 8));
    }
}

double binaryDouble(const char* v)
{
    const quint64 bits = bigEndian(v, 8);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

bool isIntegerType(Oid t)
{
    return t == kInt8 || t == kInt2 || t == kInt4 || t == kOid;
}

bool isNumberType(Oid t)
{
    return isIntegerType(t) || t == kFloat4 || t == kFloat8 || t == kNumeric || t == kBool;
}

qint64 toInteger(const char* text, int length)
{
    qint64 v = 0;
    std::from_chars(text, text + length, v);
    return v;
}

double toDouble(const char* text, int length)
{
    double v = 0;
    if (std::from_chars(text, text + length, v).ec == std::errc())
        return v;
    if (std::strcmp(text, "Infinity") == 0)
        return std::numeric_limits<double>::infinity();
    if (std::strcmp(text, "-Infinity") == 0)
        return -std::numeric_limits<double>::infinity();
    return std::numeric_limits<double>::quiet_NaN();
}

// SQLite's code for the same fault, so that what handles an error need not know the engine:
// by the whole SQLSTATE first, then by its class (the first two characters).
int sqliteNumber(const QByteArray& state)
{
    static const std::pair<const char*, int> kCodes[] = {
        {"23505", 2067}, // SQLITE_CONSTRAINT_UNIQUE
        {"23502", 1299}, // SQLITE_CONSTRAINT_NOTNULL
        {"23503", 787},  // SQLITE_CONSTRAINT_FOREIGNKEY
        {"23514", 275},  // SQLITE_CONSTRAINT_CHECK
        {"40001", 5},    // SQLITE_BUSY: serialization failure
        {"40P01", 5},    // deadlock
        {"55P03", 5},    // lock not available
        {"57014", 9},    // SQLITE_INTERRUPT
        {"53100", 13},   // SQLITE_FULL
        {"53200", 7},    // SQLITE_NOMEM
        {"25006", 8},    // SQLITE_READONLY
        {"42501", 3},    // SQLITE_PERM
        {"23", 19},      // SQLITE_CONSTRAINT
        {"28", 3},       // SQLITE_PERM: authorization
        {"08", 10},      // SQLITE_IOERR: the connection
        {"22", 20},      // SQLITE_MISMATCH: data
    };
    for (const auto& [code, number] : kCodes) {
        if (std::strlen(code) == 5 ? state == code : state.startsWith(code))
            return number;
    }
    return 1; // SQLITE_ERROR
}

// A double as the server writes it in its text results: the shortest digits that read back
// exactly, in fixed notation for decimal exponents -4 to 14, else as d.ddde±XX.
QByteArray serverText(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    char buf[40];
    const char* end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific).ptr;
    const char* e = std::find(static_cast<const char*>(buf), end, 'e');
    int exp = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exp);
    QByteArray digits;
    bool negative = false;
    for (const char* c = buf; c < e; ++c) {
        if (*c == '-')
            negative = true;
        else if (*c != '.')
            digits += *c;
    }
    QByteArray out = negative ? "-" : "";
    if (exp < -4 || exp >= 15) {
        out += digits.left(1);
        if (digits.size() > 1)
            out += '.' + digits.mid(1);
        out += exp < 0 ? "e-" : "e+";
        const QByteArray power = QByteArray::number(std::abs(exp));
        return out + (power.size() < 2 ? "0" + power : power);
    }
    if (exp < 0)
        return out + "0." + QByteArray(-exp - 1, '0') + digits;
    if (digits.size() <= exp + 1)
        return out + digits + QByteArray(exp + 1 - digits.size(), '0');
    return out + digits.left(exp + 1) + '.' + digits.mid(exp + 1);
}

// A finite or infinite double as the server reads it back exactly: the shortest text that does.
QByteArrayView numberText(double value, char (&buf)[32])
{
    if (std::isinf(value))
        return value > 0 ? QByteArrayView("Infinity") : QByteArrayView("-Infinity");
    return QByteArrayView(buf, std::to_chars(buf, buf + sizeof buf, value).ptr - buf);
}

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

bool completes(PGresult* r)
{
    const ExecStatusType s = PQresultStatus(r);
    return s == PGRES_TUPLES_OK || s == PGRES_COMMAND_OK;
}

// Walks a text of SQL, copying quoted texts and identifiers, dollar-quoted bodies and comments
// as they are (a `name` as "name"); every other character goes through plain(c, out).
template <class Plain>
QString walk(const QString& sql, Plain plain)
{
    QString out;
    out.reserve(sql.size() + 16);
    const int n = int(sql.size());
    auto copyUntil = [&](int from, const QString& end) {
        const int at = int(sql.indexOf(end, from));
        const int stop = at < 0 ? n : at + int(end.size());
        out += QStringView(sql).mid(from, stop - from);
        return stop;
    };
    for (int i = 0; i < n;) {
        const QChar c = sql[i];
        const QChar next = i + 1 < n ? sql[i + 1] : QChar();
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote inside is two quoted texts back to back: copied alike.
            out += c;
            i = copyUntil(i + 1, QString(c));
            continue;
        }
        if (c == QLatin1Char('`')) {
            const int at = int(sql.indexOf(QLatin1Char('`'), i + 1));
            const int stop = at < 0 ? n : at;
            out += QLatin1Char('"') + sql.mid(i + 1, stop - i - 1).replace(QLatin1Char('"'), QLatin1String("\"\""))
                   + QLatin1Char('"');
            i = stop + 1;
            continue;
        }
        if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            i = copyUntil(i, QStringLiteral("\n"));
            continue;
        }
        if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            out += QLatin1String("/*");
            i = copyUntil(i + 2, QStringLiteral("*/"));
            continue;
        }
        if (c == QLatin1Char('$') && !(i > 0 && (sql[i - 1].isLetterOrNumber() || sql[i - 1] == QLatin1Char('_')))) {
            static const QRegularExpression tag(QStringLiteral("\\G\\$([A-Za-z_][A-Za-z_0-9]*)?\\$"));
            const QRegularExpressionMatch m = tag.match(sql, i);
            if (m.hasMatch()) {
                out += m.captured(0);
                i = copyUntil(m.capturedEnd(0), m.captured(0));
                continue;
            }
        }
        plain(c, out);
        ++i;
    }
    return out;
}

const QString kIdent = QStringLiteral("((?:\"(?:[^\"]|\"\")+\"|[A-Za-z_][A-Za-z0-9_$]*)\\.)?(\"(?:[^\"]|\"\")+\"|[A-Za-z_][A-Za-z0-9_$]*)");

QString unquoted(const QString& ident)
{
    if (ident.startsWith(QLatin1Char('"')))
        return ident.mid(1, ident.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));
    return ident;
}

} // namespace

// --- PgStatement ---

PgStatement::PgStatement(PgConnection* conn, std::string name, std::string key, bool keep)
    : m_conn(conn), m_name(std::move(name)), m_key(std::move(key)), m_keep(keep)
{
}

PgStatement::~PgStatement()
{
    forgetConnection();
    PQclear(m_desc);
}

void PgStatement::forgetConnection()
{
    if (m_conn && m_conn->m_active == this)
        m_conn->m_active = nullptr;
    m_conn = nullptr;
    m_state = State::Idle;
    clearRow();
    for (PGresult* r : m_buffer)
        PQclear(r);
    m_buffer.clear();
}

void PgStatement::clearRow()
{
    PQclear(m_row);
    m_row = nullptr;
    m_at = 0;
}

void PgStatement::reset()
{
    if (m_conn && m_state == State::Streaming) {
        while (PGresult* r = nextResult())
            PQclear(r);
    }
    clearRow();
    for (PGresult* r : m_buffer)
        PQclear(r);
    m_buffer.clear();
    m_state = State::Idle;
    m_commitRefused = false;
    m_retried = false;
    m_quickEnd = false;
    std::fill(m_null.begin(), m_null.end(), char(1));
    std::fill(m_binary.begin(), m_binary.end(), char(0));
}

void PgStatement::checkIndex(int index) const
{
    if (index < 1 || index > m_params)
        throw RvError(25, QStringLiteral("column index out of range")); // SQLITE_RANGE
}

void PgStatement::bindNull(int index)
{
    checkIndex(index);
    m_null[index - 1] = 1;
}

void PgStatement::bindText(int index, QByteArray text)
{
    checkIndex(index);
    m_values[index - 1] = std::move(text);
    m_null[index - 1] = 0;
    m_binary[index - 1] = 0;
}

void PgStatement::bindBytes(int index, QByteArray bytes)
{
    bindText(index, std::move(bytes));
    m_binary[index - 1] = 1;
}

void PgStatement::bindNumber(int index, double value)
{
    if (std::isnan(value))
        return bindNull(index);
    char buf[32];
    bindText(index, numberText(value, buf).toByteArray());
}

void PgStatement::bindInteger(int index, qint64 value)
{
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    bindText(index, QByteArray(buf, int(end - buf)));
}

void PgStatement::send()
{
    if (!m_conn)
        throw RvError(21, QStringLiteral("the statement's connection is closed")); // SQLITE_MISUSE
    m_conn->takeOver();
    // A transaction that only held rows keeps nothing a crash could lose: its end need not wait for
    // the disk (a commit of one would take longer than the rest of a move). Its id, which the hold
    // took, is learnt in the same round trip; not after a failure, where the commit would not run.
    m_quickEnd = m_kind == Kind::Commit && m_conn->m_holds && !m_conn->m_wrote
                 && PQtransactionStatus(m_conn->m_conn) == PQTRANS_INTRANS;
    std::vector<const char*> values(static_cast<size_t>(m_params));
    std::vector<int> lengths(static_cast<size_t>(m_params)), formats(static_cast<size_t>(m_params));
    for (int i = 0; i < m_params; ++i) {
        values[i] = m_null[i] ? nullptr : m_values[i].constData();
        lengths[i] = int(m_values[i].size());
        formats[i] = m_binary[i];
    }
    const int sent = m_quickEnd ? PQsendQuery(m_conn->m_conn, "SELECT pg_current_xact_id_if_assigned()::text; "
                                                              "SET LOCAL synchronous_commit TO OFF; COMMIT")
                              : PQsendQueryPrepared(m_conn->m_conn, m_name.c_str(), m_params, values.data(),
                                                    lengths.data(), formats.data(), m_binaryResults ? 1 : 0);
    if (!sent)
        m_conn->failConnection("08006");
    // A read of a few rows comes whole: a result per row costs more than the rows themselves.
    m_whole = m_fewRows == kAlways
              || (m_fewRows > 0 && !m_null[size_t(m_fewRows - 1)] && m_values[size_t(m_fewRows - 1)].toLongLong() <= kFewRows);
    if (!m_whole)
        PQsetSingleRowMode(m_conn->m_conn);
    if (!readOnly())
        m_conn->m_wrote = true;
    // What may make or drop a table, or undo its making; or change where tables are looked for.
    static const QRegularExpression undoes(QStringLiteral("^(ROLLBACK|SET|RESET)\\b"), QRegularExpression::CaseInsensitiveOption);
    if (m_kind == Kind::Other || m_kind == Kind::Rollback || (m_kind == Kind::Control && undoes.match(m_text).hasMatch()))
        ++m_conn->m_catalog;
    m_state = State::Streaming;
    m_conn->m_active = this;
    m_rows = -1;
    m_status.clear();
}

PGresult* PgStatement::nextResult()
{
    for (;;) {
        if (!m_buffer.empty()) {
            PGresult* r = m_buffer.front();
            m_buffer.pop_front();
            return r;
        }
        if (m_state != State::Streaming || !m_conn)
            return nullptr;
        PGresult* r = PQgetResult(m_conn->m_conn);
        if (!r) {
            m_state = State::Done;
            if (m_conn->m_active == this)
                m_conn->m_active = nullptr;
            settle();
            return nullptr;
        }
        const ExecStatusType status = PQresultStatus(r);
        if (m_quickEnd && (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK)) {
            if (PQntuples(r) > 0 && !PQgetisnull(r, 0, 0))
                m_conn->m_lockXid = toInteger(PQgetvalue(r, 0, 0), PQgetlength(r, 0, 0));
            PQclear(r);
            continue;
        }
        if (!completes(r))
            return r;
        m_status = PQcmdStatus(r);
        const char* rows = PQcmdTuples(r);
        m_rows = rows && *rows ? toInteger(rows, int(std::strlen(rows))) : -1;
        if (m_whole && PQntuples(r) > 0)
            return r;
        PQclear(r);
    }
}

void PgStatement::takeAll()
{
    std::deque<PGresult*> taken;
    std::swap(taken, m_buffer);
    while (PGresult* r = nextResult())
        taken.push_back(r);
    m_buffer = std::move(taken);
}

void PgStatement::settle()
{
    // Only now, with the server ready for the next command, is the transaction's state known.
    const PGTransactionStatusType status = PQtransactionStatus(m_conn->m_conn);
    const PgHooks& hooks = m_conn->m_hooks;
    const bool writes = m_kind == Kind::Insert || m_kind == Kind::Update || m_kind == Kind::Delete;
    if (writes && m_rows >= 0) {
        m_conn->m_changes = int(m_rows);
        if (m_rows > 0 && hooks.rowsChanged)
            hooks.rowsChanged(hooks.context, m_table, m_kind != Kind::Update, m_rows);
    }
    if (m_kind == Kind::Commit || m_kind == Kind::Rollback) {
        // A transaction that failed earlier ends in a rollback, whatever its last word.
        const bool rolledBack = m_kind == Kind::Rollback || m_status != "COMMIT";
        m_commitRefused = m_kind == Kind::Commit && rolledBack && status == PQTRANS_IDLE;
        if (rolledBack)
            ++m_conn->m_catalog;
        if (status == PQTRANS_IDLE) {
            if (rolledBack && hooks.rolledBack)
                hooks.rolledBack(hooks.context);
            else if (!rolledBack && hooks.committed)
                hooks.committed(hooks.context);
        }
    } else if (status == PQTRANS_IDLE && m_kind != Kind::Select && hooks.committed) {
        hooks.committed(hooks.context); // a statement outside a transaction commits itself
    }
    if (status == PQTRANS_IDLE)
        m_conn->transactionEnded();
}

bool PgStatement::step()
{
    if (m_state == State::Idle)
        send();
    if (m_row && m_at + 1 < PQntuples(m_row)) {
        ++m_at;
        return true;
    }
    clearRow();
    while (PGresult* r = nextResult()) {
        if (PQresultStatus(r) != PGRES_SINGLE_TUPLE && PQresultStatus(r) != PGRES_TUPLES_OK) {
            while (PGresult* rest = nextResult())
                PQclear(rest);
            // A table it reads changed its columns since it was prepared (another program added
            // one): prepared again and run once more, where no transaction was spoilt by it.
            const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
            if (m_conn && !m_retried && state && std::strcmp(state, "0A000") == 0
                && PQtransactionStatus(m_conn->m_conn) == PQTRANS_IDLE) {
                PQclear(r);
                m_retried = true;
                m_conn->prepareOnServer(*this);
                send();
                continue;
            }
            failWith(r);
        }
        m_retried = false;
        if (m_returnsRowid) {
            m_conn->m_lastRowid = PQfformat(r, 0) == 1 ? binaryInteger(PQgetvalue(r, 0, 0), PQgetlength(r, 0, 0))
                                                       : toInteger(PQgetvalue(r, 0, 0), PQgetlength(r, 0, 0));
            PQclear(r);
            continue;
        }
        m_row = r;
        return true;
    }
    if (m_commitRefused) {
        m_commitRefused = false;
        throw RvError(4, QStringLiteral("The transaction was rolled back: a statement in it had failed."),
                      QStringLiteral("25P02")); // SQLITE_ABORT
    }
    return false;
}

void PgStatement::failWith(PGresult* error)
{
    if (m_conn && m_kind == Kind::Commit && PQtransactionStatus(m_conn->m_conn) == PQTRANS_IDLE) {
        ++m_conn->m_catalog;
        if (m_conn->m_hooks.rolledBack)
            m_conn->m_hooks.rolledBack(m_conn->m_hooks.context);
    }
    if (!m_conn) {
        PQclear(error);
        throw RvError(21, QStringLiteral("the statement's connection is closed"));
    }
    m_conn->fail(error);
}

int PgStatement::columnCount() const
{
    return PQnfields(m_desc);
}

QString PgStatement::columnName(int col) const
{
    const char* name = PQfname(m_desc, col);
    return name ? QString::fromUtf8(name) : QString();
}

bool PgStatement::isNumeric(int col) const
{
    return isNumberType(PQftype(m_desc, col));
}

bool PgStatement::isNull(int col) const
{
    return !m_row || col < 0 || col >= PQnfields(m_row) || PQgetisnull(m_row, m_at, col);
}

double PgStatement::numberAt(int col) const
{
    const char* v = PQgetvalue(m_row, m_at, col);
    const int length = PQgetlength(m_row, m_at, col);
    const Oid type = PQftype(m_row, col);
    if (PQfformat(m_row, col) == 1) {
        if (type == kBool)
            return v[0] ? 1 : 0;
        return type == kFloat8 ? binaryDouble(v) : double(binaryInteger(v, length));
    }
    if (type == kBool)
        return v[0] == 't' ? 1 : 0;
    return toDouble(v, length);
}

QVariant PgStatement::column(int col) const
{
    if (isNull(col))
        return QVariant();
    const char* v = PQgetvalue(m_row, m_at, col);
    const int length = PQgetlength(m_row, m_at, col);
    const Oid type = PQftype(m_row, col);
    if (isIntegerType(type))
        return QVariant(PQfformat(m_row, col) == 1 ? binaryInteger(v, length) : toInteger(v, length));
    if (type == kBool)
        return QVariant(qint64(numberAt(col)));
    if (isNumberType(type))
        return QVariant(numberAt(col));
    if (type == kBytea)
        return QVariant(columnBlob(col).toByteArray());
    return QVariant(QString::fromUtf8(v, length));
}

QByteArrayView PgStatement::columnBlob(int col) const
{
    if (isNull(col) || PQftype(m_row, col) != kBytea)
        return columnUtf8(col);
    if (PQfformat(m_row, col) == 1)
        return QByteArrayView(PQgetvalue(m_row, m_at, col), PQgetlength(m_row, m_at, col));
    size_t size = 0;
    unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(m_row, m_at, col)), &size);
    m_blob = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(size));
    PQfreemem(bytes);
    return m_blob;
}

Statement::Kind PgStatement::columnNumber(int col, double* number) const
{
    if (isNull(col))
        return Statement::Kind::Null;
    if (!isNumeric(col))
        return Statement::Kind::Text;
    *number = numberAt(col);
    return Statement::Kind::Number;
}

QByteArrayView PgStatement::columnUtf8(int col) const
{
    if (isNull(col))
        return QByteArrayView();
    const char* v = PQgetvalue(m_row, m_at, col);
    const int length = PQgetlength(m_row, m_at, col);
    const Oid type = PQftype(m_row, col);
    if (PQfformat(m_row, col) == 0 || type == kText || type == kVarchar)
        return QByteArrayView(v, length);
    // A binary value asked for as text: the text the server would have sent.
    QByteArray text;
    if (type == kBytea)
        text = "\\x" + QByteArray::fromRawData(v, length).toHex();
    else if (type == kBool)
        text = v[0] ? "t" : "f";
    else if (type == kFloat8)
        text = serverText(binaryDouble(v));
    else
        text = QByteArray::number(binaryInteger(v, length));
    if (m_texts.size() < size_t(PQnfields(m_row)))
        m_texts.resize(size_t(PQnfields(m_row)));
    return m_texts[size_t(col)] = text;
}

qint64 PgStatement::columnInteger(int col) const
{
    const QVariant v = column(col);
    return v.typeId() == QMetaType::QString ? v.toString().toLongLong() : v.toLongLong();
}

Statement::Source PgStatement::columnSource(int col) const
{
    const Oid table = PQftable(m_desc, col);
    const int attnum = PQftablecol(m_desc, col);
    if (!m_conn || table == InvalidOid || attnum <= 0)
        return {};
    const auto key = [](Oid t, int a) { return (quint64(t) << 16) | quint64(a); };
    auto& known = m_conn->m_sources;
    if (const auto it = known.find(key(table, attnum)); it != known.end())
        return it->second;
    // Every column of the statement in one look-up: a record set asks for them all.
    QByteArray tables = "{", columns = "{";
    for (int c = 0, n = PQnfields(m_desc); c < n; ++c) {
        if (PQftable(m_desc, c) == InvalidOid || PQftablecol(m_desc, c) <= 0)
            continue;
        tables += QByteArray::number(PQftable(m_desc, c)) + ',';
        columns += QByteArray::number(PQftablecol(m_desc, c)) + ',';
    }
    tables[tables.size() - 1] = '}';
    columns[columns.size() - 1] = '}';
    const Result r(m_conn->run("SELECT a.attrelid, a.attnum, c.relname, a.attname, format_type(a.atttypid, a.atttypmod) "
                               "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                               "JOIN unnest($1::oid[], $2::int2[]) AS k(rel, num) ON a.attrelid = k.rel AND a.attnum = k.num",
                               {tables, columns}));
    for (int row = 0, n = PQntuples(r.get()); row < n; ++row)
        known[key(Oid(std::strtoul(PQgetvalue(r.get(), row, 0), nullptr, 10)), std::atoi(PQgetvalue(r.get(), row, 1)))] =
            Statement::Source{QString::fromUtf8(PQgetvalue(r.get(), row, 4)), QString::fromUtf8(PQgetvalue(r.get(), row, 3)),
                              QString::fromUtf8(PQgetvalue(r.get(), row, 2))};
    const auto it = known.find(key(table, attnum));
    return it == known.end() ? Statement::Source{} : it->second;
}

// --- PgConnection ---

PgConnection::PgConnection(PGconn* conn, QString password) : m_conn(conn), m_password(std::move(password))
{
    // The server's notices ("... does not exist, skipping") are not errors: nothing to print.
    PQsetNoticeProcessor(m_conn, [](void*, const char*) {}, nullptr);
}

PgConnection::~PgConnection()
{
    m_socket.reset();
    m_poll.reset();
    if (m_active)
        m_active->forgetConnection();
    if (m_copy)
        m_copy->m_conn = nullptr;
    m_idle.clear();
    PQfinish(m_conn);
}

std::unique_ptr<PgConnection> PgConnection::connect(const DatabaseTarget& target)
{
    // The server's list of sessions names the program, unless the setting names another.
    const QByteArray conninfo = target.conninfo().toUtf8();
    const char* const keywords[] = {"dbname", "fallback_application_name", nullptr};
    const char* const values[] = {conninfo.constData(), "rockvista", nullptr};
    PGconn* conn = PQconnectdbParams(keywords, values, 1);
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        const QString why = conn ? QString::fromUtf8(PQerrorMessage(conn)).trimmed() : QStringLiteral("out of memory");
        PQfinish(conn);
        throw RvError(14, withoutPassword(QStringLiteral("Cannot connect to %1: %2").arg(target.display(), why),
                                          target.password()),
                      QStringLiteral("08001"));
    }
    std::unique_ptr<PgConnection> c(new PgConnection(conn, target.password()));
    if (PQsetClientEncoding(conn, "UTF8") != 0)
        c->failConnection("22021");
    return c;
}

void PgConnection::fail(PGresult* error) const
{
    const char* state = error ? PQresultErrorField(error, PG_DIAG_SQLSTATE) : nullptr;
    const char* primary = error ? PQresultErrorField(error, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const QByteArray code = state ? QByteArray(state) : QByteArrayLiteral("08006");
    if (code == "42P01") // a table gone that was thought to be there
        ++m_catalog;
    QString message = QString::fromUtf8(primary ? primary : PQerrorMessage(m_conn)).trimmed();
    PQclear(error);
    throw RvError(sqliteNumber(code), withoutPassword(message, m_password), QString::fromLatin1(code));
}

void PgConnection::failConnection(const char* state) const
{
    throw RvError(sqliteNumber(state), withoutPassword(QString::fromUtf8(PQerrorMessage(m_conn)).trimmed(), m_password),
                  QString::fromLatin1(state));
}

// The channel of a database's schema: tests and tools that share one database in schemas of their
// own do not hear each other.
static const char kChannel[] = "'rockvista ' || current_schema()";

void PgConnection::publish(const QStringList& tables)
{
    // A notification carries less than 8000 bytes: many tables go in several.
    // A notification takes a transaction id, though it writes nothing: told apart by it.
    const auto send = [this](const QStringList& part) {
        const Result r(run((QByteArrayLiteral("SELECT pg_notify(") + kChannel + ", $1), pg_current_xact_id()::text").constData(),
                           {part.join(QLatin1Char(',')).toUtf8()}));
        if (PQtransactionStatus(m_conn) == PQTRANS_IDLE)
            m_ownIds.insert(toInteger(PQgetvalue(r.get(), 0, 1), PQgetlength(r.get(), 0, 1)));
    };
    try {
        QStringList part;
        qsizetype size = 0;
        for (const QString& table : tables) {
            if (size + table.size() > 7000) {
                send(part);
                part.clear();
                size = 0;
            }
            part << table;
            size += table.size() + 1;
        }
        if (!part.isEmpty())
            send(part);
    } catch (const RvError&) {
        // The commit stands: only the others' lists stay as they were until their next look.
    }
}

void PgConnection::listen(std::function<void(const QStringList&)> heard)
{
    m_socket.reset();
    m_poll.reset();
    m_unheard.clear();
    m_heard = std::move(heard);
    if (!m_heard) {
        PQclear(run("UNLISTEN *"));
        return;
    }
    const Result channel(run((QByteArrayLiteral("SELECT ") + kChannel).constData()));
    char* name = PQescapeIdentifier(m_conn, PQgetvalue(channel.get(), 0, 0), size_t(PQgetlength(channel.get(), 0, 0)));
    const QByteArray sql = QByteArrayLiteral("LISTEN ") + name;
    PQfreemem(name);
    PQclear(run(sql.constData()));
    m_socket = std::make_unique<QSocketNotifier>(PQsocket(m_conn), QSocketNotifier::Read);
    QObject::connect(m_socket.get(), &QSocketNotifier::activated, [this] { hearOthers(); });
    m_poll = std::make_unique<QTimer>();
    m_poll->setInterval(250);
    QObject::connect(m_poll.get(), &QTimer::timeout, [this] { hearOthers(); });
    m_poll->start();
}

void PgConnection::takeNotifications()
{
    if (m_active || m_copy) // a read or copy in progress owns what arrives
        return;
    if (!PQconsumeInput(m_conn) && m_socket)
        m_socket->setEnabled(false); // a lost connection would wake it for ever; the next command says so
    while (PGnotify* n = PQnotifies(m_conn)) {
        if (n->be_pid != PQbackendPID(m_conn)) {
            m_unheard += QString::fromUtf8(n->extra).split(QLatin1Char(','), Qt::SkipEmptyParts);
            ++m_catalog;
        }
        PQfreemem(n);
    }
}

void PgConnection::hearOthers()
{
    takeNotifications();
    // A handler waiting in a dialog, or inside a transaction, must not see the data move under it.
    if (m_unheard.isEmpty() || !m_heard || m_active || PQtransactionStatus(m_conn) != PQTRANS_IDLE
        || QThread::currentThread()->loopLevel() > 1)
        return;
    QStringList tables;
    tables.swap(m_unheard);
    tables.removeDuplicates();
    const auto heard = m_heard; // the listener may stop listening
    heard(tables);
}

void PgConnection::takeOver()
{
    if (m_copy)
        m_copy->end();
    if (m_active)
        m_active->takeAll();
}

PGresult* PgConnection::run(const char* sql, const std::vector<QByteArray>& params)
{
    takeOver();
    std::vector<const char*> values;
    for (const QByteArray& p : params)
        values.push_back(p.constData());
    PGresult* r = PQexecParams(m_conn, sql, int(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
    if (!r || !completes(r))
        fail(r);
    return r;
}

bool PgConnection::hasRowidColumn(const std::string& tableAsWritten)
{
    if (const auto it = m_rowidTables.find(tableAsWritten); it != m_rowidTables.end())
        return it->second;
    const Result r(run("SELECT to_regclass($1) IS NOT NULL, EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = "
                       "to_regclass($1) AND attname = 'rowid' AND NOT attisdropped)",
                       {QByteArray::fromStdString(tableAsWritten)}));
    const bool has = PQgetvalue(r.get(), 0, 1)[0] == 't';
    if (PQgetvalue(r.get(), 0, 0)[0] == 't') // a table made later is asked about again
        m_rowidTables[tableAsWritten] = has;
    return has;
}

QString PgConnection::translate(const QString& sql, int* params)
{
    // "?NNN" names its parameter, a bare "?" the one after the highest yet (SQLite's rule). The
    // marks outside quotes are found first, their numbers read after.
    const QString marked = walk(sql, [](QChar c, QString& o) { o += c == QLatin1Char('?') ? QChar(1) : c; });
    QString out;
    out.reserve(marked.size() + 16);
    int n = 0;
    for (qsizetype i = 0; i < marked.size(); ++i) {
        if (marked[i] != QChar(1)) {
            out += marked[i];
            continue;
        }
        int number = 0;
        while (i + 1 < marked.size() && marked[i + 1].isDigit())
            number = number * 10 + marked[++i].digitValue();
        n = std::max(n, number > 0 ? number : n + 1);
        out += QLatin1Char('$') + QString::number(number > 0 ? number : n);
    }
    if (params)
        *params = n;
    return out;
}

QStringList PgConnection::splitStatements(const QString& sql)
{
    QStringList statements;
    QString text = walk(sql, [](QChar c, QString& o) { o += c == QLatin1Char(';') ? QChar(0) : c; });
    for (const QString& part : text.split(QChar(0))) {
        QString words; // outside quotes and comments: a part of comments alone is no statement
        walk(part, [&words](QChar c, QString&) { words += c; });
        if (!words.trimmed().isEmpty())
            statements << part;
    }
    return statements;
}

std::unique_ptr<PgStatement> PgConnection::prepare(const QString& sql, bool keep)
{
    const QByteArray key = sql.toUtf8();
    std::string keyText(key.constData(), size_t(key.size()));
    if (keep) {
        if (auto it = m_idle.find(keyText); it != m_idle.end()) {
            std::unique_ptr<PgStatement> st = std::move(it->second);
            m_idle.erase(it);
            return st;
        }
    }
    QString text = translate(sql, nullptr).trimmed();
    while (text.endsWith(QLatin1Char(';')))
        text.chop(1);
    static const QRegularExpression insert(QStringLiteral("^INSERT\\s+INTO\\s+") + kIdent,
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression update(QStringLiteral("^UPDATE\\s+(?:ONLY\\s+)?") + kIdent,
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression remove(QStringLiteral("^DELETE\\s+FROM\\s+(?:ONLY\\s+)?") + kIdent,
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression select(QStringLiteral("^(SELECT|VALUES|SHOW|EXPLAIN|TABLE)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression commit(QStringLiteral("^(COMMIT|END)(\\s+(WORK|TRANSACTION))?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression rollback(QStringLiteral("^(ROLLBACK|ABORT)(\\s+(WORK|TRANSACTION))?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression control(
        QStringLiteral("^(BEGIN|START\\s+TRANSACTION|SAVEPOINT|RELEASE|ROLLBACK\\s+(WORK\\s+|TRANSACTION\\s+)?TO|SET|RESET|LOCK)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression returning(QStringLiteral("\\bRETURNING\\b"), QRegularExpression::CaseInsensitiveOption);
    PgStatement::Kind kind = PgStatement::Kind::Other;
    QString table, written;
    QRegularExpressionMatch m;
    if ((m = insert.match(text)).hasMatch())
        kind = PgStatement::Kind::Insert;
    else if ((m = update.match(text)).hasMatch())
        kind = PgStatement::Kind::Update;
    else if ((m = remove.match(text)).hasMatch())
        kind = PgStatement::Kind::Delete;
    else if (select.match(text).hasMatch())
        kind = PgStatement::Kind::Select;
    else if (commit.match(text).hasMatch())
        kind = PgStatement::Kind::Commit;
    else if (rollback.match(text).hasMatch())
        kind = PgStatement::Kind::Rollback;
    else if (control.match(text).hasMatch())
        kind = PgStatement::Kind::Control;
    if (m.hasMatch()) {
        written = m.captured(0).mid(m.capturedStart(1) >= 0 ? m.capturedStart(1) : m.capturedStart(2));
        table = unquoted(m.captured(2));
    }
    bool returnsRowid = false;
    if (kind == PgStatement::Kind::Insert && !returning.match(text).hasMatch()
        && hasRowidColumn(written.toStdString())) {
        text += QLatin1String(" RETURNING rowid");
        returnsRowid = true;
    }

    // Reads bound to a few rows: by a limit, or by row ids. A read of a bound list of row ids
    // (Database::oneOfBoundList) comes whole too: its rows are held by the caller anyway, and a
    // result per row cost more than the server's own work on them.
    static const QRegularExpression limit(QStringLiteral("\\bLIMIT\\s+(?:\\$(\\d+)|(\\d+))(?:\\s+OFFSET\\s+(?:\\$\\d+|\\d+))?$"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression byRowid(QStringLiteral("\\bWHERE\\s+rowid\\s*(?:=\\s*\\$\\d+|IN\\s*\\((?:\\s*\\$\\d+\\s*,?)+\\))$"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression byRowidList(QStringLiteral("\\browid = ANY\\(CAST\\(\\$\\d+ AS bigint\\[\\]\\)\\)"),
                                                QRegularExpression::CaseInsensitiveOption);
    int fewRows = 0;
    if (kind == PgStatement::Kind::Select) {
        if ((m = limit.match(text)).hasMatch())
            fewRows = m.capturedLength(1) > 0 ? m.captured(1).toInt()
                                               : (m.captured(2).toLongLong() <= PgStatement::kFewRows ? PgStatement::kAlways : 0);
        else if (byRowid.match(text).hasMatch() || byRowidList.match(text).hasMatch())
            fewRows = PgStatement::kAlways;
    }

    auto st = std::make_unique<PgStatement>(this, "rv_" + std::to_string(++m_names), std::move(keyText), keep);
    st->m_fewRows = fewRows;
    st->m_text = text.toUtf8();
    st->m_kind = kind;
    st->m_table = table.toStdString();
    st->m_returnsRowid = returnsRowid;
    prepareOnServer(*st);
    return st;
}

void PgConnection::prepareOnServer(PgStatement& st)
{
    takeOver();
    if (st.m_desc) {
        PQclear(PQexec(m_conn, ("DEALLOCATE " + st.m_name).c_str()));
        PQclear(st.m_desc);
        st.m_desc = nullptr;
    }
    Result prepared(PQprepare(m_conn, st.m_name.c_str(), st.m_text.constData(), 0, nullptr));
    if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK)
        fail(prepared.release());
    Result desc(PQdescribePrepared(m_conn, st.m_name.c_str()));
    if (!desc || PQresultStatus(desc.get()) != PGRES_COMMAND_OK)
        fail(desc.release());
    st.m_params = PQnparams(desc.get());
    st.m_values.resize(size_t(st.m_params));
    st.m_null.resize(size_t(st.m_params), 1);
    st.m_binary.resize(size_t(st.m_params), 0);
    st.m_binaryResults = true;
    for (int c = 0, n = PQnfields(desc.get()); c < n; ++c)
        st.m_binaryResults = st.m_binaryResults && readsBinary(PQftype(desc.get(), c));
    st.m_desc = desc.release();
}

void PgConnection::release(std::unique_ptr<PgStatement> st)
{
    st->reset();
    if (st->keep()) {
        const std::string key = st->key();
        m_idle.emplace(key, std::move(st));
        return;
    }
    // Not kept: dropped on the server too (a failure there only leaves it until the connection goes).
    takeOver();
    const std::string sql = "DEALLOCATE " + st->name();
    PQclear(PQexec(m_conn, sql.c_str()));
}

bool PgConnection::inTransaction()
{
    takeOver();
    return PQtransactionStatus(m_conn) != PQTRANS_IDLE;
}

quint64 PgConnection::catalogMark()
{
    if (!m_heard)
        return 0;
    takeNotifications();
    return m_catalog;
}

void PgConnection::transactionEnded()
{
    if (m_lockXid != 0 && !m_wrote)
        m_ownIds.insert(m_lockXid);
    m_lockXid = 0;
    m_holds = false;
    m_wrote = false;
}

bool PgConnection::onlyOwnEnded(const Snapshot& now) const
{
    const Snapshot& was = *m_snapshot;
    if (now.xmax < was.xmax || now.xmin < was.xmin)
        return false;
    const auto running = [&now](qint64 xid) { return std::binary_search(now.xip.begin(), now.xip.end(), xid); };
    const auto ended = [&](qint64 xid) { return !running(xid) && !m_ownIds.count(xid); };
    // Running then, ended since: others' unless known as this connection's own.
    for (const qint64 xid : was.xip) {
        if (ended(xid))
            return false;
    }
    // Begun since (each takes an id in turn): every one still running or this connection's own.
    if (now.xmax - was.xmax > qint64(m_ownIds.size() + now.xip.size()))
        return false;
    for (qint64 xid = was.xmax; xid < now.xmax; ++xid) {
        if (ended(xid))
            return false;
    }
    return true;
}

qint64 PgConnection::changeMark()
{
    const Result r(run("SELECT pg_current_snapshot()::text"));
    return changeMarkAt(QByteArrayView(PQgetvalue(r.get(), 0, 0), PQgetlength(r.get(), 0, 0)));
}

qint64 PgConnection::changeMarkAt(QByteArrayView snapshot)
{
    // "xmin:xmax:xip,xip,…"
    const QList<QByteArray> parts = snapshot.toByteArray().split(':');
    Snapshot now;
    now.xmin = parts.value(0).toLongLong();
    now.xmax = parts.value(1).toLongLong();
    for (const QByteArray& xid : parts.value(2).split(','))
        if (!xid.isEmpty())
            now.xip.push_back(xid.toLongLong());
    std::sort(now.xip.begin(), now.xip.end());
    if (!m_snapshot || !onlyOwnEnded(now))
        ++m_mark;
    // The own transactions ended by now are accounted for.
    for (auto it = m_ownIds.begin(); it != m_ownIds.end();) {
        if (*it < now.xmax && !std::binary_search(now.xip.begin(), now.xip.end(), *it))
            it = m_ownIds.erase(it);
        else
            ++it;
    }
    m_snapshot = std::move(now);
    return m_mark;
}

void PgConnection::schemaChanged()
{
    m_rowidTables.clear();
    m_sources.clear();
    // A statement kept in the cache may read a table whose columns changed: made afresh when asked.
    takeOver();
    for (auto& entry : m_idle)
        PQclear(PQexec(m_conn, ("DEALLOCATE " + entry.second->name()).c_str()));
    m_idle.clear();
}

// --- PgCopy ---

PgCopy::PgCopy(PgConnection* conn, const QString& table, const QStringList& columns)
    : m_conn(conn), m_table(unquoted(table).toStdString())
{
    // The names as the INSERT texts write them (the server folds the unquoted ones as it did there).
    m_command = (QStringLiteral("COPY ") + table + QStringLiteral(" (")
                 + columns.join(QStringLiteral(", ")) + QStringLiteral(") FROM STDIN"))
                    .toUtf8();
    m_out.reserve(kCopyChunk + 4096);
}

PgCopy::~PgCopy()
{
    abandon();
}

void PgCopy::field()
{
    if (m_rowStarted)
        m_out += '\t';
    m_rowStarted = true;
}

void PgCopy::null()
{
    field();
    m_out += "\\N";
}

void PgCopy::number(double value)
{
    if (std::isnan(value))
        return null();
    field();
    char buf[32];
    m_out += numberText(value, buf);
}

void PgCopy::integer(qint64 value)
{
    field();
    char buf[24];
    m_out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr - buf);
}

void PgCopy::text(QByteArrayView utf8)
{
    field();
    // The text form's escapes: a backslash and the characters that end a value or a row.
    const char* p = utf8.data();
    const char* const end = p + utf8.size();
    while (p < end) {
        const char* plain = p;
        while (p < end && *p != '\\' && *p != '\t' && *p != '\n' && *p != '\r')
            ++p;
        m_out.append(plain, p - plain);
        if (p == end)
            break;
        m_out += '\\';
        m_out += *p == '\t' ? 't' : *p == '\n' ? 'n' : *p == '\r' ? 'r' : '\\';
        ++p;
    }
}

void PgCopy::endRow()
{
    m_out += '\n';
    m_whole = m_out.size();
    m_rowStarted = false;
    if (m_whole >= kCopyChunk)
        flush();
}

void PgCopy::flush()
{
    if (m_whole == 0)
        return;
    if (!m_conn)
        throw RvError(21, QStringLiteral("the statement's connection is closed")); // SQLITE_MISUSE
    if (!m_open) {
        m_conn->takeOver();
        PGresult* r = PQexec(m_conn->m_conn, m_command.constData());
        if (PQresultStatus(r) != PGRES_COPY_IN)
            m_conn->fail(r);
        PQclear(r);
        m_open = true;
        m_conn->m_copy = this;
        m_conn->m_wrote = true;
    }
    if (PQputCopyData(m_conn->m_conn, m_out.constData(), int(m_whole)) != 1)
        m_conn->failConnection("08006");
    m_out.remove(0, m_whole);
    m_whole = 0;
}

void PgCopy::end()
{
    if (!m_open)
        return;
    flush();
    m_open = false;
    m_conn->m_copy = nullptr;
    if (PQputCopyEnd(m_conn->m_conn, nullptr) != 1)
        m_conn->failConnection("08006");
    PGresult* error = nullptr;
    qint64 rows = 0;
    while (PGresult* r = PQgetResult(m_conn->m_conn)) {
        if (PQresultStatus(r) == PGRES_COMMAND_OK) {
            rows += toInteger(PQcmdTuples(r), int(std::strlen(PQcmdTuples(r))));
            PQclear(r);
        } else if (!error) {
            error = r;
        } else {
            PQclear(r);
        }
    }
    const PgHooks& hooks = m_conn->m_hooks;
    if (error) {
        if (PQtransactionStatus(m_conn->m_conn) == PQTRANS_IDLE) {
            if (hooks.rolledBack)
                hooks.rolledBack(hooks.context);
            m_conn->transactionEnded();
        }
        m_conn->fail(error);
    }
    m_conn->m_changes = int(rows);
    if (rows > 0 && hooks.rowsChanged)
        hooks.rowsChanged(hooks.context, m_table, true, rows);
    if (PQtransactionStatus(m_conn->m_conn) == PQTRANS_IDLE) {
        if (hooks.committed)
            hooks.committed(hooks.context); // a copy outside a transaction commits itself
        m_conn->transactionEnded();
    }
}

void PgCopy::finish()
{
    flush();
    end();
}

void PgCopy::abandon()
{
    if (!m_open || !m_conn)
        return;
    m_open = false;
    m_conn->m_copy = nullptr;
    // The server undoes the copy (and spoils a transaction around it, which its owner rolls back).
    if (PQputCopyEnd(m_conn->m_conn, "abandoned") == 1) {
        while (PGresult* r = PQgetResult(m_conn->m_conn))
            PQclear(r);
    }
}

} // namespace rv::detail
