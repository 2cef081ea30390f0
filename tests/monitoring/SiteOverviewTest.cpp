#include "monitoring/domain/SiteOverview.h"

#include "SuppliedOnEngine.h"
#include "readings/domain/ReadingStore.h"

using namespace rv;

namespace {

// A register whose reading tables hold every case the overview reads apart: the first or the
// latest reading unmarked, none marked, marks stored as texts, two readings at one moment, a
// table named in another case, an empty table, no table, numbers stored as texts, a moment
// only in ReadingDate and ReadingTime.
class OverviewTest : public test::SuppliedOnEngine {
protected:
    OverviewTest() : SuppliedOnEngine(false) {}

    void sensor(const QString& id, bool table = true)
    {
        db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, boltkfactor, ElasticLimit, PerfectPlasticLimit, "
                                "UltimateStrength, Level, Destroyed) VALUES (?, 100, '180', '210', '2.5', ?, 'No')"),
                 {id, id.right(1)});
        if (table)
            createReadingTable(*db, id);
    }
    // A reading on that day of June 2024 whose six gauges read 1000 + strain.
    void reading(const QString& table, int day, const QVariant& marked, double strain, int hour = 8)
    {
        const QString at = QStringLiteral("2024-06-%1 %2:00:00").arg(day, 2, 10, QLatin1Char('0')).arg(hour, 2, 10, QLatin1Char('0'));
        db->exec(QStringLiteral("INSERT INTO ") + Database::quoteId(table)
                     + QStringLiteral(" (DateTimeKey, FullDate, Plottemporal, Channel1, Channel2, Channel3, Channel4, "
                                      "Channel5, Channel6) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                 {table + at, at, marked, 1000 + strain, 1000, 1000 + strain / 2, 1000, 1000 - strain, 1000});
    }
};

// Marks and numbers stored as texts, and table names told apart by case only, as only SQLite keeps them.
class OverviewOnFile : public OverviewTest {};

} // namespace

TEST_P(OverviewOnFile, ReadTogetherAsEachSensorAlone)
{
    sensor(QStringLiteral("000000001")); // all marked
    reading(QStringLiteral("000000001"), 1, 1, 0);
    reading(QStringLiteral("000000001"), 2, 1, 150);
    reading(QStringLiteral("000000001"), 3, 1, 190);
    sensor(QStringLiteral("000000002")); // first and latest unmarked, marks as texts
    reading(QStringLiteral("000000002"), 1, QStringLiteral(" No "), 500);
    reading(QStringLiteral("000000002"), 2, QStringLiteral("Yes"), 0);
    reading(QStringLiteral("000000002"), 3, 2, 215);
    reading(QStringLiteral("000000002"), 4, 0.0, 900);
    sensor(QStringLiteral("000000003")); // none marked
    reading(QStringLiteral("000000003"), 1, 0, 10);
    reading(QStringLiteral("000000003"), 2, QStringLiteral("false"), 20);
    sensor(QStringLiteral("000000004")); // two readings at the latest moment: the later row counts
    reading(QStringLiteral("000000004"), 1, 1, 0);
    reading(QStringLiteral("000000004"), 5, 1, 100);
    reading(QStringLiteral("000000004"), 5, 1, 300);
    sensor(QStringLiteral("000000005")); // an empty table
    sensor(QStringLiteral("000000006"), false);
    sensor(QStringLiteral("00000000A"), false); // its table named in lower case
    createReadingTable(*db, QStringLiteral("00000000a"));
    reading(QStringLiteral("00000000a"), 7, 1, 0);
    reading(QStringLiteral("00000000a"), 8, 1, 260);
    sensor(QStringLiteral("000000007")); // texts for numbers, a moment in its date and time only
    db->exec(QStringLiteral("INSERT INTO \"000000007\" (DateTimeKey, ReadingDate, ReadingTime, FullDate, Plottemporal, "
                            "Channel1, Channel2, Channel3, Channel4, Channel5, Channel6) VALUES "
                            "('a', '2024/06/01', '08:00:00', '2024-06-01 08:00:00', 1, '1000', '1000', '1000', '1000', "
                            "'1000', '1000'), "
                            "('b', '2024/06/09', '10:30:00', 'garbled', 1, '1195 ue', 1000, 1000, 1000, 1000, 1000)"));

    const QVector<OverviewRow> rows = siteOverview(*db, QDate(2024, 6, 15));
    const QVector<Sensor> sensors = SensorStore(*db).sensors();
    ASSERT_EQ(rows.size(), sensors.size());
    for (int i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(sensors[i].instrumentId.toStdString());
        const OverviewRow& r = rows[i];
        const ReadingStore store(*db, sensors[i].instrumentId);
        const bool table = store.tableExists();
        EXPECT_EQ(r.readings, table ? store.count() : 0);
        const std::optional<Reading> last = table ? store.last() : std::nullopt;
        EXPECT_EQ(r.lastReading, last ? last->moment : QDateTime());
        const BoltStatus alone = boltStatus(*db, sensors[i]);
        EXPECT_EQ(r.status.state, alone.state);
        EXPECT_EQ(r.status.longStrain, alone.longStrain);
        EXPECT_EQ(r.status.shortStrain, alone.shortStrain);
        EXPECT_EQ(r.status.load, alone.load);
        EXPECT_EQ(r.status.zeroMoment, alone.zeroMoment);
        EXPECT_EQ(r.status.latestMoment, alone.latestMoment);
    }
    // The cases themselves, as the user reads them.
    QStringList seen;
    for (const OverviewRow& r : rows)
        seen << r.instrumentId + QLatin1Char(' ') + QString::number(r.readings) + QLatin1Char(' ')
                    + overviewCell(r, ColLast) + QLatin1Char(' ') + overviewCell(r, ColLong) + QLatin1Char(' ') + r.status.text();
    EXPECT_EQ(seen.join(QLatin1Char('\n')).toStdString(), QStringList({
                        QStringLiteral("000000001 3 2024/06/03 08:00:00 190.0 Beyond elastic limit"),
                        QStringLiteral("000000002 4 2024/06/04 08:00:00 215.0 Beyond plastic limit"),
                        QStringLiteral("000000003 2 2024/06/02 08:00:00  No readings"),
                        QStringLiteral("000000004 3 2024/06/05 08:00:00 300.0 Beyond ultimate strength"),
                        QStringLiteral("000000005 0   No readings"),
                        QStringLiteral("000000006 0   No readings"),
                        QStringLiteral("000000007 2 2024/06/09 10:30:00 195.0 Beyond elastic limit"),
                        QStringLiteral("00000000A 2 2024/06/08 08:00:00 260.0 Beyond ultimate strength"),
                    }).join(QLatin1Char('\n')).toStdString());
}

TEST_P(OverviewTest, ManySensorsLeaveNoStatementCachedPerTable)
{
    Transaction tx(*db);
    for (int i = 1; i <= 250; ++i) {
        const QString id = QStringLiteral("%1").arg(i, 9, 10, QLatin1Char('0'));
        sensor(id);
        reading(id, 1, 1, 0);
        reading(id, 2, i % 2, i);
    }
    tx.commit();
    const int before = db->cachedStatements();
    const QVector<OverviewRow> rows = siteOverview(*db, QDate(2024, 6, 15));
    ASSERT_EQ(rows.size(), 250);
    EXPECT_EQ(rows[249].readings, 2); // past the first hundred tables of a statement
    EXPECT_EQ(overviewCell(rows[248], ColLong), QStringLiteral("249.0"));
    EXPECT_EQ(overviewCell(rows[249], ColLong), QStringLiteral("0.0")); // its latest reading unmarked: the zero alone
    EXPECT_LT(db->cachedStatements() - before, 10);
}

TEST_P(OverviewTest, SortedByAnyColumnTheUnknownLast)
{
    sensor(QStringLiteral("000000001"));
    reading(QStringLiteral("000000001"), 1, 1, 0);
    reading(QStringLiteral("000000001"), 3, 1, 100);
    sensor(QStringLiteral("000000002"), false);
    sensor(QStringLiteral("000000003"));
    reading(QStringLiteral("000000003"), 1, 1, 0);
    reading(QStringLiteral("000000003"), 2, 1, -250);
    sensor(QStringLiteral("000000004"));
    reading(QStringLiteral("000000004"), 9, 1, 0);
    QVector<OverviewRow> rows = siteOverview(*db, QDate(2024, 6, 15));
    const auto ids = [&] {
        QStringList out; // the last digits of the sensors, in the order shown
        for (const OverviewRow& r : rows)
            out << r.instrumentId.right(1);
        return out.join(QString());
    };
    sortOverview(rows, ColLong, true);
    EXPECT_EQ(ids().toStdString(), std::string("4132"));
    sortOverview(rows, ColLong, false);
    EXPECT_EQ(ids().toStdString(), std::string("3142"));
    sortOverview(rows, ColDays, true);
    EXPECT_EQ(ids().toStdString(), std::string("4132"));
    sortOverview(rows, ColStatus, false);
    EXPECT_EQ(ids().toStdString(), std::string("3412"));
    sortOverview(rows, ColLevel, false); // texts, as texts
    EXPECT_EQ(ids().toStdString(), std::string("4321"));
    sortOverview(rows, ColId, true);
    EXPECT_EQ(ids().toStdString(), std::string("1234"));
    // Equal keys keep the order they had.
    sortOverview(rows, ColReadings, false);
    EXPECT_EQ(ids().toStdString(), std::string("1342"));
}

RV_ON_BOTH_ENGINES(OverviewTest);
INSTANTIATE_TEST_SUITE_P(File, OverviewOnFile, ::testing::Values(test::Engine::Sqlite), test::engineName);
