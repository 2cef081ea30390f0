#include "SqlFile.h"

#include "Failure.h"
#include "Output.h"

#include <QFileInfo>
#include <sqlite3.h>

namespace script {

namespace {

QString valueText(sqlite3_stmt* st, int col)
{
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL: return QStringLiteral("<null>");
    case SQLITE_INTEGER: return QString::number(sqlite3_column_int64(st, col));
    case SQLITE_FLOAT: return shortNumber(sqlite3_column_double(st, col));
    case SQLITE_BLOB: return QStringLiteral("<blob %1 bytes>").arg(sqlite3_column_bytes(st, col));
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)),
                                 sqlite3_column_bytes(st, col));
    }
}

struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close(db); }
};

struct Statement {
    sqlite3_stmt* st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

} // namespace

QStringList runSql(const QString& dbPath, const QString& sql, bool create)
{
    if (!create && !QFileInfo::exists(dbPath))
        throw StepFailure(QStringLiteral("no database file %1").arg(dbPath));
    Connection c;
    if (sqlite3_open_v2(dbPath.toUtf8().constData(), &c.db,
                        SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0), nullptr) != SQLITE_OK)
        throw StepFailure(QStringLiteral("cannot open %1: %2").arg(dbPath, QString::fromUtf8(sqlite3_errmsg(c.db))));
    sqlite3_busy_timeout(c.db, 5000);

    QStringList rows;
    const QByteArray text = sql.toUtf8();
    const char* tail = text.constData();
    while (tail && *tail) {
        Statement s;
        if (sqlite3_prepare_v2(c.db, tail, -1, &s.st, &tail) != SQLITE_OK)
            throw StepFailure(QStringLiteral("SQL error: ") + QString::fromUtf8(sqlite3_errmsg(c.db)));
        if (!s.st)
            continue; // blanks or a comment after the last statement
        int rc;
        while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
            QStringList values;
            for (int i = 0; i < sqlite3_column_count(s.st); ++i)
                values << valueText(s.st, i);
            rows << values.join(QLatin1Char('|'));
        }
        if (rc != SQLITE_DONE)
            throw StepFailure(QStringLiteral("SQL error: ") + QString::fromUtf8(sqlite3_errmsg(c.db)));
    }
    return rows;
}

} // namespace script
