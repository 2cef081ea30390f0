#pragma once
// A scratch database with one sensor's reading table, for the deletion, datasheet and
// workbook tests.
#include "SuppliedOnEngine.h"

#include <memory>

namespace rv::testdata {

using test::errorOf;

// On both engines (the test files instantiate it with RV_ON_BOTH_ENGINES).
class ReadingTable : public test::SuppliedOnEngine {
protected:
    ReadingTable() : SuppliedOnEngine(false) {}
    void SetUp() override
    {
        SuppliedOnEngine::SetUp();
        if (db)
            createReadingTable(*db, table);
    }

    // date "yyyy/MM/dd", time "HH:mm:ss"; channels as given (Null where empty).
    void add(const QString& date, const QString& time, const QVariantList& channels = {}, bool temporal = true,
             bool spatial = false)
    {
        QVariantList values{table + QLatin1Char(' ') + date + QLatin1Char(' ') + time, date, time,
                            QString(date).replace(QLatin1Char('/'), QLatin1Char('-')) + QLatin1Char(' ') + time,
                            temporal ? 1 : 0, spatial ? 1 : 0};
        QVariantList ch = channels;
        while (ch.size() < 7)
            ch.append(QVariant());
        values += ch;
        db->exec(QStringLiteral("INSERT INTO ") + Database::quoteId(table)
                     + QStringLiteral(" (DateTimeKey, ReadingDate, ReadingTime, FullDate, Plottemporal, PlotSpatial, "
                                      "ChannelT, Channel1, Channel2, Channel3, Channel4, Channel5, Channel6) "
                                      "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                 values);
    }

    // Makes the table refuse a write (event "INSERT" or "UPDATE") whose row meets the condition
    // (on NEW or OLD), on either engine.
    void refuse(const QString& event, const QString& condition)
    {
        static int made = 0;
        const QString name = QStringLiteral("refuse_%1").arg(++made);
        if (!server()) {
            db->exec(QStringLiteral("CREATE TRIGGER ") + name + QStringLiteral(" BEFORE ") + event + QStringLiteral(" ON ")
                     + Database::quoteId(table) + QStringLiteral(" WHEN ") + condition
                     + QStringLiteral(" BEGIN SELECT RAISE(ABORT, 'refused'); END"));
            return;
        }
        db->exec(QStringLiteral("CREATE FUNCTION ") + name + QStringLiteral("() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF ")
                 + condition + QStringLiteral(" THEN RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$"));
        db->exec(QStringLiteral("CREATE TRIGGER ") + name + QStringLiteral(" BEFORE ") + event + QStringLiteral(" ON ")
                 + Database::quoteId(table) + QStringLiteral(" FOR EACH ROW EXECUTE FUNCTION ") + name + QStringLiteral("()"));
    }

    QVariant scalar(const QString& sql)
    {
        const auto rows = db->query(sql);
        return rows.isEmpty() ? QVariant() : rows.first().value(0);
    }
    int count() { return scalar(QStringLiteral("SELECT count(*) FROM \"") + table + QStringLiteral("\"")).toInt(); }

    QString table = QStringLiteral("201175001");
};

} // namespace rv::testdata
