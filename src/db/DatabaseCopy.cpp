#include "db/DatabaseCopy.h"

#include "db/Schema.h"

#include <QRegularExpression>
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

// The file's columns: what both engines can declare of them.
QVector<TableColumn> sourceColumns(Database& from, const QString& table)
{
    // A default is kept where it is a plain value, which both engines read alike.
    static const QRegularExpression plainValue(QStringLiteral("^('([^']|'')*'|[-+]?[0-9]+(\\.[0-9]+)?|NULL)$"),
                                               QRegularExpression::CaseInsensitiveOption);
    QVector<TableColumn> columns;
    for (const QVariantList& row : from.query(QStringLiteral("SELECT name, type, \"notnull\", dflt_value "
                                                             "FROM pragma_table_info(?) ORDER BY cid"),
                                              {table})) {
        const QString name = row[0].toString();
        if (name.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0)
            continue; // the target's own row id stands in
        QStringList constraint;
        if (row[2].toInt() != 0)
            constraint << QStringLiteral("NOT NULL");
        if (!row[3].isNull() && plainValue.match(row[3].toString()).hasMatch())
            constraint << QStringLiteral("DEFAULT ") + row[3].toString();
        columns.append({name, row[1].toString(), constraint.join(QLatin1Char(' '))});
    }
    return columns;
}

// The file's indexes on plain columns (not partial ones, nor those of an expression), as
// CREATE INDEX texts both engines take. A UNIQUE constraint's index gets a name of its own.
QStringList indexSql(Database& from, const QString& table, const QStringList& copied)
{
    QStringList sql;
    for (const QVariantList& index : from.query(QStringLiteral("SELECT name, \"unique\", origin, partial "
                                                               "FROM pragma_index_list(?) ORDER BY name"),
                                                {table})) {
        if (index[3].toInt() != 0 || index[2].toString() == QLatin1String("pk"))
            continue;
        QStringList columns;
        bool plain = true;
        for (const QVariantList& part :
             from.query(QStringLiteral("SELECT name FROM pragma_index_info(?) ORDER BY seqno"), {index[0]})) {
            plain = plain && !part[0].isNull() && copied.contains(part[0].toString(), Qt::CaseInsensitive);
            columns << part[0].toString();
        }
        if (!plain || columns.isEmpty())
            continue;
        const QString name = index[2].toString() == QLatin1String("u")
                                 ? table + QLatin1Char('_') + columns.join(QLatin1Char('_')) + QStringLiteral("_key")
                                 : index[0].toString();
        sql << QStringLiteral("CREATE ") + (index[1].toInt() != 0 ? QStringLiteral("UNIQUE ") : QString())
                   + QStringLiteral("INDEX ") + Database::quoteId(name) + QStringLiteral(" ON ") + sqlName(table)
                   + QStringLiteral(" (") + columnList(columns) + QLatin1Char(')');
    }
    return sql;
}

struct Copied {
    qint64 rows = 0;
    quint64 sum = 0;
};

// Rows go in statements of many rows each, in rowid order, so that the target's row ids follow
// the file's order; the file's rows are summed as they are read.
Copied copyRows(Database& from, Database& to, const QString& table, const QStringList& columns)
{
    const int n = int(columns.size());
    // libpq takes no description of more than 7,497 parameters (a message of 30,000 bytes).
    const int perStatement = std::max(1, std::min(500, 7000 / std::max(1, n)));
    const QString head = QStringLiteral("INSERT INTO ") + sqlName(table) + QStringLiteral(" (") + columnList(columns)
                         + QStringLiteral(") VALUES ");
    const QString oneRow = QLatin1Char('(') + QStringLiteral("?, ").repeated(n - 1) + QStringLiteral("?)");
    const auto insertOf = [&](int rows) {
        return to.prepareTransient(head + QStringList(rows, oneRow).join(QStringLiteral(", ")));
    };
    Statement full = insertOf(perStatement);

    Statement read = from.prepareTransient(QStringLiteral("SELECT ") + columnList(columns) + QStringLiteral(" FROM ")
                                           + sqlName(table) + QStringLiteral(" ORDER BY rowid"));
    Checksum sum;
    Copied copied;
    std::vector<Statement::Kind> kinds(size_t(n) * size_t(perStatement));
    std::vector<double> numbers(kinds.size());
    std::vector<QByteArray> texts(kinds.size());
    int held = 0;
    const auto flush = [&](Statement& insert) {
        insert.reset();
        for (int i = 0; i < held * n; ++i) {
            if (kinds[size_t(i)] == Statement::Kind::Number)
                insert.bindNumber(i + 1, numbers[size_t(i)]);
            else if (kinds[size_t(i)] == Statement::Kind::Text)
                insert.bindUtf8(i + 1, texts[size_t(i)]);
            else
                insert.bind(i + 1, QVariant());
        }
        while (insert.step()) {
        }
        insert.reset();
        held = 0;
    };
    while (read.step()) {
        for (int c = 0; c < n; ++c) {
            const size_t at = size_t(held) * size_t(n) + size_t(c);
            double number = 0;
            const Statement::Kind kind = read.columnNumber(c, &number);
            kinds[at] = kind;
            numbers[at] = number;
            if (kind == Statement::Kind::Text)
                texts[at] = read.columnUtf8(c).toByteArray();
            sum.addValue(kind, number, texts[at]);
        }
        ++copied.rows;
        if (++held == perStatement)
            flush(full);
    }
    if (held > 0) {
        Statement rest = insertOf(held);
        flush(rest);
    }
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

CopyReport copyDatabase(Database& from, Database& to, const std::function<void(const QString& table)>& progress)
{
    requireEmptyDatabase(to);
    if (!from.hasSuppliedTables())
        throw RvError(3078, QStringLiteral("%1 lacks the tables of a Rockvista database; nothing was copied.").arg(from.path()));

    const QStringList present = from.tableNames();
    const auto named = [&present](const QString& name) {
        for (const QString& table : present)
            if (table.compare(name, Qt::CaseInsensitive) == 0)
                return table;
        return QString();
    };
    QStringList tables;
    for (const char* name : kSupplied)
        tables << named(QString::fromLatin1(name));
    const int supplied = int(tables.size());
    for (const QVariantList& row : from.query(QStringLiteral("SELECT InstrumentID FROM Sensors ORDER BY InstrumentID"))) {
        const QString table = named(row.value(0).toString());
        if (!table.isEmpty() && !tables.contains(table))
            tables << table;
    }

    CopyReport report;
    for (const QString& table : present)
        if (!tables.contains(table))
            report.leftOut << table;

    struct Check {
        QString table;
        QStringList columns;
        Copied copied;
    };
    std::vector<Check> checks;
    Transaction tx(to);
    for (const QString& table : tables) {
        if (progress)
            progress(table);
        try {
            const QVector<TableColumn> columns = sourceColumns(from, table);
            QStringList names;
            for (const TableColumn& c : columns)
                names << c.name;
            to.exec(tableSql(to, table, columns));
            const Copied copied = copyRows(from, to, table, names);
            for (const QString& sql : indexSql(from, table, names))
                to.exec(sql);
            checks.push_back({table, names, copied});
        } catch (const RvError& e) {
            throw RvError(e.number, QStringLiteral("table %1: %2").arg(table, e.description), e.state);
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
    report.tables = int(checks.size());
    report.readingsSum = readings.h;
    return report;
}

} // namespace rv
