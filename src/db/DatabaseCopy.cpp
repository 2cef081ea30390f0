#include "db/DatabaseCopy.h"

#include "db/BulkInsert.h"
#include "db/Schema.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <vector>

namespace rv {

namespace {

const char* const kSupplied[] = {"Configuration", "Prefs", "Sensors", "NetworkConfig", "sensordata"};

// FNV-1a, 64 bits: fast, and the same on every machine.
struct Checksum {
    quint64 h = 14695981039346656037ull;
    void add(const void* data, size_t size)
    {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i)
            h = (h ^ p[i]) * 1099511628211ull;
    }
    void addValue(Statement::Kind kind, double number, QByteArrayView text)
    {
        const auto tag = static_cast<unsigned char>(kind);
        add(&tag, 1);
        if (kind == Statement::Kind::Number) {
            quint64 bits = 0;
            std::memcpy(&bits, &number, sizeof bits);
            add(&bits, sizeof bits);
        } else if (kind == Statement::Kind::Text) {
            const quint64 size = quint64(text.size());
            add(&size, sizeof size);
            add(text.data(), size_t(text.size()));
        }
    }
};

QString columnList(const QStringList& columns)
{
    QStringList names;
    for (const QString& c : columns)
        names << sqlName(c);
    return names.join(QStringLiteral(", "));
}

// The program's spelling of a supplied table's column (a reading table's: the template's), for a
// server that folded it to lower case; a column the program does not know keeps its name.
QString spelled(const QString& table, const QString& column)
{
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> map;
        auto db = Database::create(QStringLiteral(":memory:"));
        createSuppliedDatabase(*db, {});
        for (const char* name : kSupplied) {
            const QString supplied = QString::fromLatin1(name);
            for (const Database::Column& c : db->columns(supplied))
                map.insert(supplied.toLower() + QLatin1Char('.') + c.name.toLower(), c.name);
        }
        return map;
    }();
    return names.value(table.toLower() + QLatin1Char('.') + column.toLower(), column);
}

// A server's table as to_regclass() takes it: the name exactly as stored.
QVariant serverTable(const QString& table)
{
    return Database::quoteId(table);
}

// The source's columns: what both engines can declare of them. spelling names the supplied
// table whose spelling the columns take.
QVector<TableColumn> sourceColumns(Database& from, const QString& table, const QString& spelling)
{
    // A default is kept where it is a plain value, which both engines read alike.
    static const QRegularExpression plainValue(QStringLiteral("^('([^']|'')*'|[-+]?[0-9]+(\\.[0-9]+)?|NULL)$"),
                                               QRegularExpression::CaseInsensitiveOption);
    // A server writes its defaults with their type: ''::text.
    static const QRegularExpression typed(QStringLiteral("^(.*)::[a-z ]+$"));
    const bool server = from.handle() == nullptr;
    const auto rows = server ? from.query(QStringLiteral("SELECT a.attname, format_type(a.atttypid, a.atttypmod), "
                                                         "a.attnotnull::int, pg_get_expr(d.adbin, d.adrelid) "
                                                         "FROM pg_attribute a LEFT JOIN pg_attrdef d ON d.adrelid = "
                                                         "a.attrelid AND d.adnum = a.attnum WHERE a.attrelid = "
                                                         "to_regclass(?::text) AND a.attnum > 0 AND NOT a.attisdropped "
                                                         "ORDER BY a.attnum"),
                                          {serverTable(table)})
                             : from.query(QStringLiteral("SELECT name, type, \"notnull\", dflt_value "
                                                         "FROM pragma_table_info(?) ORDER BY cid"),
                                          {table});
    QVector<TableColumn> columns;
    for (const QVariantList& row : rows) {
        const QString name = row[0].toString();
        if (name.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0)
            continue; // the target's own row id stands in
        QStringList constraint;
        if (row[2].toInt() != 0)
            constraint << QStringLiteral("NOT NULL");
        QString value = row[3].toString();
        if (const QRegularExpressionMatch m = typed.match(value); server && m.hasMatch())
            value = m.captured(1);
        if (!row[3].isNull() && plainValue.match(value).hasMatch())
            constraint << QStringLiteral("DEFAULT ") + value;
        // The server's type for a number kept as written, spelled back as SQLite declares it.
        const QString type = server && row[1].toString() == QLatin1String("numeric_text") ? QStringLiteral("NUMERIC TEXT")
                                                                                          : row[1].toString();
        columns.append({spelled(spelling, name), type, constraint.join(QLatin1Char(' '))});
    }
    return columns;
}

// The source's indexes on plain columns (not partial ones, nor those of an expression), as
// CREATE INDEX texts both engines take. A UNIQUE constraint's index gets a name of its own.
// SQLite's indexes end with the rowid unnamed: a surrogate one is named at the end of the others
// on the way to a server (surrogateRowid), and left out on the way back.
QStringList indexSql(Database& from, const QString& table, const QString& target, const QString& spelling,
                     const QStringList& copied, bool surrogateRowid)
{
    struct Index {
        QString name;
        bool unique;
        bool constraint; // made for a UNIQUE constraint: named here
        QStringList columns;
    };
    std::vector<Index> indexes;
    if (from.handle() == nullptr) {
        for (const QVariantList& index :
             from.query(QStringLiteral("SELECT c.relname, x.indisunique::int, (SELECT string_agg(a.attname, ',' "
                                       "ORDER BY k.n) FROM unnest(x.indkey::int2[]) WITH ORDINALITY AS k(attnum, n) "
                                       "JOIN pg_attribute a ON a.attrelid = x.indrelid AND a.attnum = k.attnum) "
                                       "FROM pg_index x JOIN pg_class c ON c.oid = x.indexrelid WHERE x.indrelid = "
                                       "to_regclass(?::text) AND NOT x.indisprimary AND x.indpred IS NULL "
                                       "AND x.indexprs IS NULL ORDER BY c.relname"),
                        {serverTable(table)}))
            indexes.push_back({index[0].toString(), index[1].toInt() != 0, false, index[2].toString().split(QLatin1Char(','))});
    } else {
        for (const QVariantList& index : from.query(QStringLiteral("SELECT name, \"unique\", origin, partial "
                                                                   "FROM pragma_index_list(?) ORDER BY name"),
                                                    {table})) {
            if (index[3].toInt() != 0 || index[2].toString() == QLatin1String("pk"))
                continue;
            QStringList columns;
            for (const QVariantList& part :
                 from.query(QStringLiteral("SELECT name FROM pragma_index_info(?) ORDER BY seqno"), {index[0]}))
                columns << (part[0].isNull() ? QString() : part[0].toString());
            indexes.push_back({index[0].toString(), index[1].toInt() != 0, index[2].toString() == QLatin1String("u"), columns});
        }
    }
    QStringList sql;
    for (Index& index : indexes) {
        if (!index.unique && index.columns.size() > 1 && index.columns.last() == QLatin1String("rowid"))
            index.columns.removeLast();
        bool plain = !index.columns.isEmpty();
        for (QString& column : index.columns) {
            plain = plain && !column.isEmpty() && copied.contains(column, Qt::CaseInsensitive);
            column = spelled(spelling, column);
        }
        if (!plain)
            continue;
        const QString name = index.constraint ? target + QLatin1Char('_') + index.columns.join(QLatin1Char('_')) + QStringLiteral("_key")
                                              : index.name;
        sql << QStringLiteral("CREATE ") + (index.unique ? QStringLiteral("UNIQUE ") : QString())
                   + QStringLiteral("INDEX ") + Database::quoteId(name) + QStringLiteral(" ON ") + sqlName(target)
                   + QStringLiteral(" (") + columnList(index.columns)
                   + (surrogateRowid && !index.unique ? QStringLiteral(", rowid)") : QStringLiteral(")"));
    }
    return sql;
}

struct Copied {
    qint64 rows = 0;
    quint64 sum = 0;
};

// Rows go in as one bulk insertion, in rowid order, so that the target's row ids follow the
// file's order; the file's rows are summed as they are read.
Copied copyRows(Database& from, Database& to, const QString& table, const QStringList& columns)
{
    const int n = int(columns.size());
    QStringList names;
    for (const QString& c : columns)
        names << sqlName(c);
    // On SQLite a few thousand values a statement, as many as the oldest builds take.
    BulkInsert into(to, sqlName(table), names, std::max(1, std::min(500, 7000 / std::max(1, n))));
    Statement read = from.prepareTransient(QStringLiteral("SELECT ") + columnList(columns) + QStringLiteral(" FROM ")
                                           + sqlName(table) + QStringLiteral(" ORDER BY rowid"));
    Checksum sum;
    Copied copied;
    while (read.step()) {
        for (int c = 0; c < n; ++c) {
            double number = 0;
            const Statement::Kind kind = read.columnNumber(c, &number);
            const QByteArrayView text = kind == Statement::Kind::Text ? read.columnUtf8(c) : QByteArrayView();
            sum.addValue(kind, number, text);
            if (kind == Statement::Kind::Number)
                into.number(number);
            else if (kind == Statement::Kind::Text)
                into.utf8(text);
            else
                into.null();
        }
        into.endRow();
        ++copied.rows;
    }
    into.finish();
    copied.sum = sum.h;
    return copied;
}

} // namespace

void requireEmptyDatabase(Database& db)
{
    const QStringList tables = db.tableNames();
    if (tables.isEmpty())
        return;
    throw RvError(3012, QStringLiteral("The database %1 is not empty (it holds %2 table%3, %4 among them); only an "
                                       "empty database is set up. Nothing was changed.")
                            .arg(db.path())
                            .arg(tables.size())
                            .arg(tables.size() == 1 ? QString() : QStringLiteral("s"))
                            .arg(tables.first()));
}

quint64 tableChecksum(Database& db, const QString& table, const QStringList& columns)
{
    Statement read = db.prepareTransient(QStringLiteral("SELECT ") + columnList(columns) + QStringLiteral(" FROM ")
                                         + sqlName(table) + QStringLiteral(" ORDER BY rowid"));
    Checksum sum;
    const int n = int(columns.size());
    while (read.step()) {
        for (int c = 0; c < n; ++c) {
            double number = 0;
            const Statement::Kind kind = read.columnNumber(c, &number);
            sum.addValue(kind, number, kind == Statement::Kind::Text ? read.columnUtf8(c) : QByteArrayView());
        }
    }
    return sum.h;
}

CopyReport copyDatabase(Database& from, Database& to, const std::function<void(const QString& table)>& progress,
                        CopyInto mode)
{
    if (mode == CopyInto::Empty)
        requireEmptyDatabase(to);
    else if (!to.tableNames().isEmpty() && !to.hasSuppliedTables())
        throw RvError(3012, QStringLiteral("The database %1 holds tables but is no Rockvista database; it is not "
                                           "replaced. Nothing was changed.")
                                .arg(to.path()));
    if (!from.hasSuppliedTables())
        throw RvError(3078, QStringLiteral("%1 lacks the tables of a Rockvista database; nothing was copied.").arg(from.path()));

    const QStringList present = from.tableNames();
    const auto named = [&present](const QString& name) {
        for (const QString& table : present)
            if (table.compare(name, Qt::CaseInsensitive) == 0)
                return table;
        return QString();
    };
    // Each table as the source names it, as the copy is to name it, and whose columns' spelling it takes.
    struct Table {
        QString source, target, spelling;
    };
    std::vector<Table> tables;
    const auto copying = [&tables](const QString& source) {
        return std::any_of(tables.begin(), tables.end(), [&](const Table& t) { return t.source == source; });
    };
    for (const char* name : kSupplied)
        tables.push_back({named(QString::fromLatin1(name)), QString::fromLatin1(name), QString::fromLatin1(name)});
    const int supplied = int(tables.size());
    for (const QVariantList& row : from.query(QStringLiteral("SELECT InstrumentID FROM Sensors ORDER BY InstrumentID"))) {
        const QString table = named(row.value(0).toString());
        if (!table.isEmpty() && !copying(table))
            tables.push_back({table, table, QStringLiteral("sensordata")});
    }

    CopyReport report;
    for (const QString& table : present)
        if (!copying(table))
            report.leftOut << table;

    struct Check {
        QString table;
        QStringList columns;
        Copied copied;
    };
    std::vector<Check> checks;
    Transaction tx(to);
    if (mode == CopyInto::Replace) {
        for (const QString& table : to.tableNames()) {
            to.exec(QStringLiteral("DROP TABLE ") + Database::quoteId(table));
            to.touch(table);
        }
    }
    for (const Table& table : tables) {
        if (progress)
            progress(table.target);
        try {
            const QVector<TableColumn> columns = sourceColumns(from, table.source, table.spelling);
            QStringList names;
            for (const TableColumn& c : columns)
                names << c.name;
            to.defineColumnTypes();
            to.exec(tableSql(to, table.target, columns));
            const Copied copied = copyRows(from, to, table.source, names);
            for (const QString& sql : indexSql(from, table.source, table.target, table.spelling, names,
                                                     !to.rowidColumn().isEmpty()))
                to.exec(sql);
            checks.push_back({table.target, names, copied});
        } catch (const RvError& e) {
            throw RvError(e.number, QStringLiteral("table %1: %2").arg(table.target, e.description), e.state);
        }
    }

    Checksum readings;
    for (size_t i = 0; i < checks.size(); ++i) {
        const Check& check = checks[i];
        const qint64 rows = to.query(QStringLiteral("SELECT count(*) FROM ") + sqlName(check.table)).value(0).value(0).toLongLong();
        if (rows != check.copied.rows)
            throw RvError(3197, QStringLiteral("table %1: %2 rows were read, %3 are in the copy; nothing was copied.")
                                    .arg(check.table)
                                    .arg(check.copied.rows)
                                    .arg(rows));
        if (tableChecksum(to, check.table, check.columns) != check.copied.sum)
            throw RvError(3197, QStringLiteral("table %1: the copy's values differ from the file's; nothing was copied.")
                                    .arg(check.table));
        report.rows += rows;
        report.counts.append({check.table, rows});
        if (int(i) >= supplied) {
            ++report.sensors;
            report.readings += rows;
            readings.add(&check.copied.sum, sizeof check.copied.sum);
        }
    }
    tx.commit();
    // Learnt before the first reader comes, and on a server the rows replaced cleared.
    for (const Check& check : checks) {
        try {
            to.learnValues(sqlName(check.table));
        } catch (const RvError&) {
            // Learnt later by the server itself.
        }
    }
    report.tables = int(checks.size());
    report.readingsSum = readings.h;
    return report;
}

} // namespace rv
