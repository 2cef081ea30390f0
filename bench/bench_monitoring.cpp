// The bolt status of one large sensor, and the site overview of 10,000 sensors with 100
// readings each, each beside a bare SQLite baseline of the same run:
// - the status of one sensor of 100,000 readings vs its first and last marked rows;
// - the overview's read vs the same reads in bare SQLite (one statement per read, and a hundred
//   tables per statement as the store reads them);
// - the window opened from the sensor selection frame until its grid is painted, and a column
//   sorted in it by its heading, as the user gets them;
// - the peak memory (VmHWM) of a child process: the program started, then the overview shown.
#include "BenchSupport.h"
#include "monitoring/domain/SiteOverview.h"
#include "ui/FrmOverview.h"
#include "ui/FrmRockvista.h"

#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <functional>
#include <numeric>
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

// --- 10,000 sensors with 100 readings each ---

constexpr int kSites = 10000;
constexpr int kSiteReadings = 100;
const QDate kToday(2024, 6, 15);

QString siteSensor(int s) { return QStringLiteral("2011%1").arg(s, 5, 10, QLatin1Char('0')); }

// Made by SQLite itself in one transaction: a template of 100 readings an hour apart (from a
// recursive CTE), each table created as the program creates it and filled from the template.
// The strains grow by 0 to 4 per reading as the sensor number goes, so that every status
// shows; every 50th sensor's latest reading is unmarked. One folder for the whole run.
QString siteDir()
{
    static std::unique_ptr<QTemporaryDir> dir;
    if (dir)
        return dir->path();
    dir = std::make_unique<QTemporaryDir>();
    const QString path = dir->filePath(rv::kDatabaseFileName);
    QString table;
    {
        auto db = rv::Database::create(path);
        rv::createSuppliedDatabase(*db, QStringLiteral("KLD-"));
        table = db->query(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'sensordata'")).value(0).value(0).toString();
    }
    table = table.mid(table.indexOf(QLatin1Char('(')));
    QString script = QStringLiteral(
                         "BEGIN;"
                         "CREATE TEMP TABLE tmpl AS SELECT * FROM sensordata WHERE 0;"
                         "INSERT INTO tmpl (DateTimeKey, ReadingDate, ReadingTime, ChannelT, Channel1, Channel2, Channel3, "
                         "Channel4, Channel5, Channel6, Plottemporal, PlotSpatial, FullDate, IsDirty) "
                         "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1 - 1), "
                         "m(i, t) AS (SELECT i, datetime('2024-01-01', '+' || i || ' hours') FROM n) "
                         "SELECT ' ' || replace(t, '-', '/'), replace(substr(t, 1, 10), '-', '/'), substr(t, 12), 20.5, "
                         "i, i / 2.0, i, 0, -i, 0, 1, 0, t, 1 FROM m;"
                         "INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorType, SensorNo, Family, Model, numgauges, "
                         "boltkfactor, ElasticLimit, PerfectPlasticLimit, UltimateStrength, Level, Location, InstallDate, "
                         "Destroyed, HeadLocation, LengthofCable) "
                         "WITH RECURSIVE s(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM s WHERE i < %2 - 1) "
                         "SELECT printf('2011%05d', i), '2011', '75', '75', printf('%03d', i % 1000), 'g-STAY', 'g6STAY', 6, "
                         "25, '180', '210', '15', 1000 + i % 7 * 100, 'Drive ' || (i % 13), '2011/03/27', 'No', 1, 0 FROM s;")
                         .arg(kSiteReadings)
                         .arg(kSites);
    for (int s = 0; s < kSites; ++s) {
        const QString t = rv::Database::quoteId(siteSensor(s));
        const QString step = QString::number(s % 5);
        script += QStringLiteral("CREATE TABLE ") + t + QLatin1Char(' ') + table + QStringLiteral(";CREATE INDEX ")
                  + rv::Database::quoteId(siteSensor(s) + QStringLiteral("_FullDate")) + QStringLiteral(" ON ") + t
                  + QStringLiteral(" (FullDate);INSERT INTO ") + t
                  + QStringLiteral(" (DateTimeKey, ReadingDate, ReadingTime, ChannelT, Channel1, Channel2, Channel3, "
                                   "Channel4, Channel5, Channel6, Plottemporal, PlotSpatial, FullDate, IsDirty) SELECT '")
                  + siteSensor(s) + QStringLiteral("' || DateTimeKey, ReadingDate, ReadingTime, ChannelT, 1000 + Channel1 * ")
                  + step + QStringLiteral(", 1000 + Channel2 * ") + step + QStringLiteral(", 1000 + Channel3 * ") + step
                  + QStringLiteral(", 1000, 1000 + Channel5 * ") + step + QStringLiteral(", 1000, ")
                  + (s % 50 == 0 ? QStringLiteral("rowid < %1").arg(kSiteReadings) : QStringLiteral("Plottemporal"))
                  + QStringLiteral(", PlotSpatial, FullDate, IsDirty FROM tmpl;");
    }
    script += QStringLiteral("COMMIT;");
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    char* error = nullptr;
    if (sqlite3_exec(db, script.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        fprintf(stderr, "site fixture: %s\n", error);
        sqlite3_free(error);
    }
    sqlite3_close(db);
    return dir->path();
}

rv::Database& siteDb()
{
    static std::unique_ptr<rv::Database> db = rv::Database::open(siteDir() + QLatin1Char('/') + rv::kDatabaseFileName);
    return *db;
}

void BM_SiteOverview_Read_10k(benchmark::State& state)
{
    rv::Database& db = siteDb();
    for (auto _ : state) {
        const QVector<rv::OverviewRow> rows = rv::siteOverview(db, kToday);
        if (rows.size() != kSites || rows.last().readings != kSiteReadings) {
            state.SkipWithError("the overview missed sensors");
            break;
        }
    }
}
BENCHMARK(BM_SiteOverview_Read_10k)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same reads in bare SQLite on a connection of its own: the register, the table names, then
// per table the count, the first and last marked and the latest reading; with range 0 one
// statement per read, with range 1 a hundred tables per statement as the store does. Values are
// only touched, not decoded.
void BM_BareSqlite_OverviewReads_10k(benchmark::State& state)
{
    const bool batched = state.range(0) == 1;
    sqlite3* db = nullptr;
    sqlite3_open_v2((siteDir() + QLatin1Char('/') + rv::kDatabaseFileName).toUtf8().constData(), &db,
                    SQLITE_OPEN_READONLY, nullptr);
    const std::string marked = "Plottemporal IS NOT NULL AND (Plottemporal = 1 OR lower(trim(Plottemporal)) NOT IN "
                               "('0', '0.0', '', 'false', 'no'))";
    const std::string cols = "rowid, FullDate, ReadingDate, ReadingTime, Plottemporal, Channel1, Channel2, Channel3, "
                             "Channel4, Channel5, Channel6";
    const auto each = [&](const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            for (int c = 0, n = sqlite3_column_count(st); c < n; ++c)
                benchmark::DoNotOptimize(sqlite3_column_value(st, c));
        sqlite3_finalize(st);
    };
    for (auto _ : state) {
        each("SELECT * FROM Sensors ORDER BY InstrumentID");
        each("SELECT name FROM sqlite_master WHERE type = 'table'");
        std::string compound;
        for (int s = 0; s < kSites; ++s) {
            const std::string t = "\"" + siteSensor(s).toStdString() + "\"";
            const std::string first = " FROM " + t + " WHERE rowid = (SELECT rowid FROM " + t + " ORDER BY FullDate, rowid LIMIT 1)";
            const std::string latest = " FROM " + t + " WHERE rowid = (SELECT rowid FROM " + t
                                       + " ORDER BY FullDate DESC, rowid DESC LIMIT 1)";
            if (!batched) {
                each("SELECT count(*) FROM " + t);
                each("SELECT " + cols + " FROM " + t + " WHERE " + marked + " ORDER BY FullDate, rowid LIMIT 1");
                each("SELECT " + cols + " FROM " + t + " WHERE " + marked + " ORDER BY FullDate DESC, rowid DESC LIMIT 1");
                each("SELECT " + cols + " FROM " + t + " ORDER BY FullDate DESC, rowid DESC LIMIT 1");
                continue;
            }
            compound += (compound.empty() ? "" : " UNION ALL ") + std::string("SELECT ") + std::to_string(s) + ", NULL, "
                        + cols + first + " UNION ALL SELECT " + std::to_string(s) + ", (SELECT count(*) FROM " + t
                        + "), " + cols + latest;
            if (s % 100 == 99) {
                each(compound);
                compound.clear();
            }
        }
    }
    sqlite3_close(db);
}
BENCHMARK(BM_BareSqlite_OverviewReads_10k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SiteOverview_SortAColumn_10k(benchmark::State& state)
{
    const QVector<rv::OverviewRow> rows = rv::siteOverview(siteDb(), kToday);
    QVector<int> order(rows.size());
    int column = 0;
    for (auto _ : state) {
        std::iota(order.begin(), order.end(), 0);
        rv::sortOverview(rows, order, column, true);
        column = (column + 1) % rv::OverviewColumns;
        benchmark::DoNotOptimize(order.data());
    }
}
BENCHMARK(BM_SiteOverview_SortAColumn_10k)->Unit(benchmark::kMillisecond);

using bench::seconds;

// Runs inside the overview window opened as the user opens it (its image button clicked, the
// window modal), then closes it.
void insideOverview(rv::Program& program, const std::function<void(rv::FrmOverview&)>& work)
{
    bench::insideModal(program.window()->imgOverview, work);
}

// The overview opened until its first screenful is painted.
void BM_OpenOverview_10k(benchmark::State& state)
{
    bench::RunningProgram running(siteDir());
    if (!running.loaded) {
        state.SkipWithError("start-up failed");
        return;
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bool painted = false;
        insideOverview(running.program, [&](rv::FrmOverview& window) {
            painted = !window.grdOverview->viewport()->grab().isNull()
                      && window.grdOverview->model()->rowCount() == kSites;
            state.SetIterationTime(seconds(start));
        });
        if (!painted) {
            state.SkipWithError("overview not shown");
            break;
        }
    }
    running.program.window()->close();
}
BENCHMARK(BM_OpenOverview_10k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// A column sorted in the shown overview by a click on its heading, the grid painted; each
// iteration the next column, in turn ascending and descending.
void BM_SortOverview_10k(benchmark::State& state)
{
    bench::RunningProgram running(siteDir());
    if (!running.loaded) {
        state.SkipWithError("start-up failed");
        return;
    }
    insideOverview(running.program, [&](rv::FrmOverview& window) {
        QWidget* viewport = window.grdOverview->viewport();
        int click = 0;
        for (auto _ : state) {
            // What a click on the heading leads to: the sort indicator set, the view sorted.
            const int column = click / 2 % rv::OverviewColumns;
            window.grdOverview->sortByColumn(column, click++ % 2 ? Qt::DescendingOrder : Qt::AscendingOrder);
            benchmark::DoNotOptimize(viewport->grab().isNull());
        }
    });
    running.program.window()->close();
}
BENCHMARK(BM_SortOverview_10k)->Unit(benchmark::kMillisecond)->Iterations(40);

// The child's side of the memory measure: the program started, then the overview shown.
int probeMemory(const QString& dir)
{
    bench::RunningProgram running(dir);
    if (!running.loaded)
        return 1;
    QApplication::processEvents();
    const double started = bench::peakMegabytes();
    double shown = 0;
    insideOverview(running.program, [&](rv::FrmOverview& window) {
        window.grdOverview->viewport()->grab();
        shown = bench::peakMegabytes();
    });
    printf("%.1f %.1f\n", started, shown);
    running.program.window()->close();
    return 0;
}

// Peak memory of a fresh process: started (on the identification tab), then with the overview
// of 10,000 sensors shown. Counters in MB.
void BM_PeakMemory_Overview_10k(benchmark::State& state)
{
    const QString dir = siteDir();
    for (auto _ : state) {
        const QList<double> peaks = bench::childNumbers({QStringLiteral("--probe-memory"), dir});
        if (peaks.size() != 2) {
            state.SkipWithError("the probe failed");
            break;
        }
        state.counters["started_MB"] = peaks[0];
        state.counters["overview_above_started_MB"] = peaks[1] - peaks[0];
    }
}
BENCHMARK(BM_PeakMemory_Overview_10k)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

ROCKVISTA_BENCHMARK_MAIN_WITH_PROBE(probeMemory)
