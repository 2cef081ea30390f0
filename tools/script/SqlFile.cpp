#include "SqlFile.h"

#include "Failure.h"
#include "Output.h"
#include "db/Database.h"
#include "db/Maintenance.h"
#include "db/Schema.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace script {

namespace {

QString valueText(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("<null>");
    switch (value.typeId()) {
    case QMetaType::LongLong: return QString::number(value.toLongLong());
    case QMetaType::Double: return shortNumber(value.toDouble());
    case QMetaType::QByteArray: return QStringLiteral("<blob %1 bytes>").arg(value.toByteArray().size());
    default: return value.toString();
    }
}

// A connection of its own, beside the program's: what it writes is not the program's doing.
std::unique_ptr<rv::Database> connection(const rv::DatabaseTarget& target, bool create)
{
    const QString dbPath = target.sqlitePath();
    const QFileInfo file(dbPath);
    if (!target.isServer() && !create && !file.exists())
        throw StepFailure(QStringLiteral("no database file %1").arg(dbPath));
    try {
        return !target.isServer() && create && (!file.exists() || file.size() == 0) ? rv::Database::create(dbPath)
                                                                                   : rv::Database::open(target);
    } catch (const rv::RvError& e) {
        throw StepFailure(QStringLiteral("cannot open %1: %2").arg(target.display(), e.description));
    }
}

} // namespace

void copyDatabase(const rv::DatabaseTarget& target, const QString& path)
{
    try {
        rv::maintenance::backup(target, path);
    } catch (const rv::RvError& e) {
        throw StepFailure(QStringLiteral("cannot copy %1 to %2: %3").arg(target.display(), path, e.description));
    }
}

void makeReadingTables(const rv::DatabaseTarget& target, const QStringList& instrumentIds)
{
    const auto db = connection(target, false);
    try {
        for (const QString& id : instrumentIds)
            rv::createReadingTable(*db, id);
    } catch (const rv::RvError& e) {
        throw StepFailure(QStringLiteral("SQL error: ") + e.description);
    }
}

QStringList tableNames(const rv::DatabaseTarget& target, const QString& pattern)
{
    const QRegularExpression wanted(QRegularExpression::wildcardToRegularExpression(pattern),
                                    QRegularExpression::CaseInsensitiveOption);
    try {
        QStringList names = connection(target, false)->tableNames().filter(wanted);
        std::sort(names.begin(), names.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        return names;
    } catch (const rv::RvError& e) {
        throw StepFailure(QStringLiteral("SQL error: ") + e.description);
    }
}

QStringList runSql(const rv::DatabaseTarget& target, const QString& sql, bool create)
{
    const auto db = connection(target, create);
    QStringList rows;
    try {
        for (const QVariantList& row : db->queryEach(sql)) {
            QStringList values;
            for (const QVariant& value : row)
                values << valueText(value);
            rows << values.join(QLatin1Char('|'));
        }
    } catch (const rv::RvError& e) {
        throw StepFailure(QStringLiteral("SQL error: ") + e.description);
    }
    return rows;
}

} // namespace script
