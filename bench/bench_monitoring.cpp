// The bolt status of one large sensor, and the site overview of a large register.
#include "BenchSupport.h"
#include "monitoring/domain/SiteOverview.h"

#include <QTemporaryDir>
#include <sqlite3.h>

namespace {

const QString kSensor = QStringLiteral("201175001");

struct LargeSensor {
    QTemporaryDir dir;
    std::unique_ptr<rv::Database> db;
    LargeSensor()
    {
        bench::makeSensorWithReadings(dir.path(), kSensor, 100000);
        db = rv::Database::open(dir.filePath(rv::kDatabaseFileName));
    }
};

LargeSensor& largeSensor()
{
    static LargeSensor s;
    return s;
}

void BM_BoltStatus_100k(benchmark::State& state)
{
    rv::Database& db = *largeSensor().db;
    const rv::Sensor sensor = *rv::SensorStore(db).sensor(kSensor);
    for (auto _ : state)
        benchmark::DoNotOptimize(rv::boltStatus(db, sensor));
}
BENCHMARK(BM_BoltStatus_100k)->Unit(benchmark::kMillisecond);

// The least the status can cost: the first and the last marked row, in plain SQLite.
void BM_BareSqlite_TwoIndexedReads_100k(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(largeSensor().dir.filePath(rv::kDatabaseFileName).toUtf8().constData(), &db, SQLITE_OPEN_READONLY,
                    nullptr);
    for (auto _ : state) {
        for (const char* sql : {"SELECT * FROM \"201175001\" WHERE Plottemporal = 1 ORDER BY FullDate LIMIT 1",
                                "SELECT * FROM \"201175001\" WHERE Plottemporal = 1 ORDER BY FullDate DESC LIMIT 1"}) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW)
                benchmark::DoNotOptimize(sqlite3_column_double(st, 5));
            sqlite3_finalize(st);
        }
    }
    sqlite3_close(db);
}
BENCHMARK(BM_BareSqlite_TwoIndexedReads_100k)->Unit(benchmark::kMillisecond);

// 10,000 sensors with 100 readings each.
struct LargeSite {
    QTemporaryDir dir;
    std::unique_ptr<rv::Database> db;
    LargeSite()
    {
        db = rv::Database::create(dir.filePath(rv::kDatabaseFileName));
        rv::createSuppliedDatabase(*db, QStringLiteral("KLD-"));
        rv::Transaction tx(*db);
        for (int s = 0; s < 10000; ++s) {
            const QString id = QStringLiteral("2011%1").arg(s, 5, 10, QLatin1Char('0'));
            db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, boltkfactor, ElasticLimit, PerfectPlasticLimit, "
                                    "UltimateStrength, Level, Location, Destroyed) VALUES (?, 25, '180', '210', '250', ?, "
                                    "'Drive', 'No')"),
                     {id, QString::number(1000 + s % 7 * 100)});
            rv::createReadingTable(*db, id);
            rv::Statement insert = db->prepare(
                QStringLiteral("INSERT INTO ") + rv::Database::quoteId(id)
                + QStringLiteral(" (DateTimeKey, ReadingDate, ReadingTime, Channel1, Channel2, Channel3, Channel4, "
                                 "Channel5, Channel6, Plottemporal, PlotSpatial, FullDate) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 1, 0, ?)"));
            const QDateTime start(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
            for (int i = 0; i < 100; ++i) {
                const QDateTime t = start.addSecs(qint64(i) * 3600 + s);
                insert.reset();
                insert.bindAll({id + t.toString(QStringLiteral(" yyyy/MM/dd HH:mm:ss")), t.toString(QStringLiteral("yyyy/MM/dd")),
                                t.toString(QStringLiteral("HH:mm:ss")), 100 + i + s % 300, 200, 300 - i, 400, 500, 600,
                                t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
                insert.step();
            }
        }
        tx.commit();
    }
};

LargeSite& largeSite()
{
    static LargeSite s;
    return s;
}

void BM_SiteOverview_10kSensors(benchmark::State& state)
{
    rv::Database& db = *largeSite().db;
    for (auto _ : state)
        benchmark::DoNotOptimize(rv::siteOverview(db, QDate(2024, 6, 15)));
}
BENCHMARK(BM_SiteOverview_10kSensors)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SiteOverview_SortAColumn_10k(benchmark::State& state)
{
    const QVector<rv::OverviewRow> rows = rv::siteOverview(*largeSite().db, QDate(2024, 6, 15));
    int column = 0;
    for (auto _ : state) {
        QVector<rv::OverviewRow> copy = rows;
        rv::sortOverview(copy, column, true);
        column = (column + 1) % rv::OverviewColumns;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_SiteOverview_SortAColumn_10k)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return bench::run(argc, argv); }
