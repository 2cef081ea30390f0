#include "readings/domain/TableWatch.h"

#include "db/Database.h"
#include "readings/domain/ReadingStore.h"
#include "readings/domain/SeriesStore.h"

#include <algorithm>

namespace rv {

namespace {

// The functions the triggers run. The chart blocks' functions find the program's tables by the
// search path they were made under, whoever's statement fires them.
const char* const kFunctions[][2] = {
    {"rv_seconds(text)",
     "CREATE OR REPLACE FUNCTION rv_seconds(d text) RETURNS bigint LANGUAGE plpgsql IMMUTABLE STRICT AS $$ "
     "DECLARE y int; m int; dd int; "
     "BEGIN "
     "IF d !~ '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$' THEN RETURN NULL; END IF; "
     "y := substr(d, 1, 4)::int; m := substr(d, 6, 2)::int; dd := substr(d, 9, 2)::int; "
     "IF y < 1 OR m < 1 OR m > 12 OR dd < 1 OR substr(d, 12, 2)::int > 23 OR substr(d, 15, 2)::int > 59 "
     "OR substr(d, 18, 2)::int > 59 "
     "OR dd > extract(day FROM make_date(y, m, 1) + interval '1 month' - interval '1 day') THEN RETURN NULL; END IF; "
     "RETURN extract(epoch FROM d::timestamp)::bigint; "
     "END $$"},
    {"rv_dirty()",
     "CREATE OR REPLACE FUNCTION rv_dirty() RETURNS trigger LANGUAGE plpgsql AS $$ "
     "BEGIN NEW.IsDirty := 1; RETURN NEW; END $$"},
    // A reading added clean, moved or (un)marked: the blocks where it was and is become stale; one
    // the blocks cannot place (before the first, a FullDate in another form) drops them all.
    {"rv_series_moved()",
     "CREATE OR REPLACE FUNCTION rv_series_moved() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$ "
     "DECLARE o bigint; w bigint; s bigint; "
     "BEGIN "
     "SELECT Origin, Width INTO o, w FROM ChartBlocks WHERE InstrumentID = TG_TABLE_NAME LIMIT 1; "
     "IF NOT FOUND THEN RETURN NULL; END IF; "
     "FOR s IN SELECT rv_seconds(CAST(OLD.FullDate AS text)) WHERE TG_OP = 'UPDATE' "
     "UNION ALL SELECT rv_seconds(CAST(NEW.FullDate AS text)) LOOP "
     "IF s IS NULL OR s < o THEN DELETE FROM ChartBlocks WHERE InstrumentID = TG_TABLE_NAME; RETURN NULL; END IF; "
     "INSERT INTO ChartBlocks (InstrumentID, Block, Origin, Width) VALUES (TG_TABLE_NAME, (s - o) / w, o, w) "
     "ON CONFLICT (InstrumentID, Block) DO UPDATE SET Readings = NULL, Summary = NULL; "
     "END LOOP; "
     "RETURN NULL; "
     "END $$"},
    // Readings deleted, in one go per statement (a range deletion takes thousands).
    {"rv_series_gone()",
     "CREATE OR REPLACE FUNCTION rv_series_gone() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$ "
     "DECLARE o bigint; w bigint; "
     "BEGIN "
     "UPDATE ChartSeals SET Rows = Rows - (SELECT count(*) FROM gone) WHERE InstrumentID = TG_TABLE_NAME; "
     "SELECT Origin, Width INTO o, w FROM ChartBlocks WHERE InstrumentID = TG_TABLE_NAME LIMIT 1; "
     "IF NOT FOUND THEN RETURN NULL; END IF; "
     "IF EXISTS (SELECT 1 FROM gone WHERE rv_seconds(CAST(FullDate AS text)) IS NULL "
     "OR rv_seconds(CAST(FullDate AS text)) < o) THEN "
     "DELETE FROM ChartBlocks WHERE InstrumentID = TG_TABLE_NAME; "
     "ELSE "
     "INSERT INTO ChartBlocks (InstrumentID, Block, Origin, Width) "
     "SELECT DISTINCT TG_TABLE_NAME, (rv_seconds(CAST(FullDate AS text)) - o) / w, o, w FROM gone "
     "ON CONFLICT (InstrumentID, Block) DO UPDATE SET Readings = NULL, Summary = NULL; "
     "END IF; "
     "RETURN NULL; "
     "END $$"},
};

bool has(const QVector<Database::Column>& columns, const QString& name)
{
    return std::any_of(columns.begin(), columns.end(),
                       [&](const Database::Column& c) { return c.name.compare(name, Qt::CaseInsensitive) == 0; });
}

} // namespace

QString writtenSeconds(Database& db, const QString& value)
{
    if (db.watchesByTableTriggers())
        return QStringLiteral("rv_seconds(") + db.textOf(value) + QLatin1Char(')');
    return QStringLiteral("(CASE WHEN %1 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]' "
                          "AND %1 >= '0001' AND strftime('%Y-%m-%d %H:%M:%S', %1) = %1 "
                          "THEN CAST(strftime('%s', %1) AS INTEGER) END)")
        .arg(value);
}

bool watchTable(Database& db, const QString& instrumentId)
{
    if (!db.watchesByTableTriggers())
        return false;
    const QVector<Database::Column> columns = db.columns(instrumentId);
    for (const QString& needed : {readingField::isDirty, readingField::plotTemporal, readingField::fullDate})
        if (!has(columns, needed))
            return false;
    // The dirty flag's trigger is named by the watched columns the table has, so that a column
    // added since makes it anew.
    QStringList watched{readingField::channelT, readingField::plotTemporal};
    for (int i = 0; i < Reading::kChannels; ++i)
        watched << readingField::channel(i + 1);
    QStringList of, differs;
    QString mask;
    for (const QString& c : watched) {
        const bool present = has(columns, c);
        mask += present ? QLatin1Char('1') : QLatin1Char('0');
        if (present) {
            of << c;
            differs << QStringLiteral("NEW.") + c + QStringLiteral(" IS DISTINCT FROM OLD.") + c;
        }
    }
    const QString dirty = QStringLiteral("rv_dirty_") + mask;
    QStringList wanted{dirty, QStringLiteral("rv_series_delete"), QStringLiteral("rv_series_insert"),
                       QStringLiteral("rv_series_update")};
    std::sort(wanted.begin(), wanted.end());
    QStringList carried;
    try {
        for (const QString& t : db.triggersOn(instrumentId))
            if (t.startsWith(QLatin1String("rv_")))
                carried << t;
        if (carried == wanted)
            return true;
        const QString table = Database::quoteId(instrumentId);
        Transaction tx(db);
        // Two programs making them at once: one waits for the other's.
        db.lockTable(table);
        for (const auto& [signature, sql] : kFunctions)
            if (db.query(QStringLiteral("SELECT to_regprocedure(?) IS NULL"), {QString::fromLatin1(signature)})
                    .value(0)
                    .value(0)
                    .toBool())
                db.exec(QString::fromLatin1(sql));
        SeriesStore::createTables(db);
        for (const QString& t : db.triggersOn(instrumentId))
            if (t.startsWith(QLatin1String("rv_")))
                db.exec(QStringLiteral("DROP TRIGGER ") + Database::quoteId(t) + QStringLiteral(" ON ") + table);
        db.exec(QStringLiteral("CREATE TRIGGER ") + dirty + QStringLiteral(" BEFORE UPDATE OF ") + of.join(QStringLiteral(", "))
                + QStringLiteral(" ON ") + table + QStringLiteral(" FOR EACH ROW WHEN (NEW.IsDirty = 0 AND (")
                + differs.join(QStringLiteral(" OR ")) + QStringLiteral(")) EXECUTE FUNCTION rv_dirty()"));
        // A reading added dirty is the pass's to compute, and so its block's to mark.
        db.exec(QStringLiteral("CREATE TRIGGER rv_series_insert AFTER INSERT ON ") + table
                + QStringLiteral(" FOR EACH ROW WHEN (NEW.IsDirty = 0) EXECUTE FUNCTION rv_series_moved()"));
        db.exec(QStringLiteral("CREATE TRIGGER rv_series_update AFTER UPDATE OF FullDate, Plottemporal ON ") + table
                + QStringLiteral(" FOR EACH ROW WHEN (NEW.FullDate IS DISTINCT FROM OLD.FullDate OR NEW.Plottemporal IS "
                                 "DISTINCT FROM OLD.Plottemporal) EXECUTE FUNCTION rv_series_moved()"));
        db.exec(QStringLiteral("CREATE TRIGGER rv_series_delete AFTER DELETE ON ") + table
                + QStringLiteral(" REFERENCING OLD TABLE AS gone FOR EACH STATEMENT EXECUTE FUNCTION rv_series_gone()"));
        // Until now no trigger saw this table's edits.
        for (const QString& kept : {QStringLiteral("ChartPasses"), QStringLiteral("ChartBlocks"), QStringLiteral("ChartSeals")})
            if (db.tableExists(kept))
                db.exec(QStringLiteral("DELETE FROM ") + kept + QStringLiteral(" WHERE InstrumentID = ?"), {instrumentId});
        tx.commit();
        return true;
    } catch (const RvError&) {
        return false;
    }
}

} // namespace rv
