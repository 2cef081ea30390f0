#pragma once
// A scratch database with one sensor's reading table, for the deletion, datasheet and
// workbook tests.
#include "Support.h"

#include <memory>

namespace rv::testdata {

using test::errorOf;

class ReadingTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = dir.open();
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

    QVariant scalar(const QString& sql)
    {
        const auto rows = db->query(sql);
        return rows.isEmpty() ? QVariant() : rows.first().value(0);
    }
    int count() { return scalar(QStringLiteral("SELECT count(*) FROM \"") + table + QStringLiteral("\"")).toInt(); }

    test::DataFolder dir;
    std::unique_ptr<Database> db;
    QString table = QStringLiteral("201175001");
};

} // namespace rv::testdata
