// The chart tabs of a sensor with 10,000 and 100,000 marked readings: the preparation pass
// beside a bare SQLite pass doing the same reads and writes, the second opening with unchanged
// data beside a bare read of the same rows, building one chart's series, and the whole tab
// switch with the drawing.
#include "BenchSupport.h"
#include "app/Program.h"
#include "charts/domain/ChartDef.h"
#include "charts/domain/Loads.h"
#include "charts/domain/Preparation.h"
#include "core/State.h"
#include "db/Schema.h"
#include "ui/FrmRockvista.h"

#include <QChartView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <map>
#include <memory>
#include <sqlite3.h>

namespace {

const QString kSensor = QStringLiteral("201175001");

// One data folder per size for the whole run.
QString dataDir(int readings)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> dirs;
    auto& dir = dirs[readings];
    if (dir)
        return dir->path();
    dir = std::make_unique<QTemporaryDir>();
    bench::makeSensorWithReadings(dir->path(), kSensor, readings);
    return dir->path();
}

QByteArray dbFile(int readings) { return (dataDir(readings) + QLatin1Char('/') + rv::kDatabaseFileName).toUtf8(); }

// ---- Baselines: the least any pass can do, in plain SQLite.

// Reads the marked rows in date order, zeroes channels 1..10 against the first, takes the
// temperature, computes the four loads and writes the 15 fields back, one transaction.
void bareComputePass(sqlite3* db, double k)
{
    const QByteArray table = "\"" + kSensor.toUtf8() + "\"";
    const QByteArray select = "SELECT rowid, ChannelT, Channel1, Channel2, Channel3, Channel4, Channel5, Channel6, "
                              "Channel7, Channel8, Channel9, Channel10 FROM "
                              + table + " WHERE Plottemporal = 1 ORDER BY FullDate";
    const QByteArray update = "UPDATE " + table
                              + " SET zero1=?, zero2=?, zero3=?, zero4=?, zero5=?, zero6=?, zero7=?, zero8=?, zero9=?, "
                                "zero10=?, NumTemp=?, Load1=?, Load2=?, Load3=?, Load5=? WHERE rowid=?";
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* sel = nullptr;
    sqlite3_stmt* upd = nullptr;
    sqlite3_prepare_v2(db, select.constData(), -1, &sel, nullptr);
    sqlite3_prepare_v2(db, update.constData(), -1, &upd, nullptr);
    double offsets[10] = {};
    bool first = true;
    while (sqlite3_step(sel) == SQLITE_ROW) {
        double z[10];
        for (int i = 0; i < 10; ++i) {
            const bool null = sqlite3_column_type(sel, 2 + i) == SQLITE_NULL;
            const double v = sqlite3_column_double(sel, 2 + i);
            if (first)
                offsets[i] = null ? 0 : v;
            z[i] = null ? 0 : v - offsets[i];
            sqlite3_bind_double(upd, 1 + i, z[i]);
        }
        first = false;
        sqlite3_bind_double(upd, 11, sqlite3_column_double(sel, 1));
        const double r = 1 / k;
        sqlite3_bind_double(upd, 12, (z[0] + z[3]) / 2 * r);
        sqlite3_bind_double(upd, 13, z[1] * r);
        sqlite3_bind_double(upd, 14, (z[2] + z[5]) / 2 * r);
        sqlite3_bind_double(upd, 15, z[4] * r);
        sqlite3_bind_int64(upd, 16, sqlite3_column_int64(sel, 0));
        sqlite3_step(upd);
        sqlite3_reset(upd);
    }
    sqlite3_finalize(sel);
    sqlite3_finalize(upd);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

void BM_BarePass(benchmark::State& state)
{
    const int n = int(state.range(0));
    sqlite3* db = nullptr;
    sqlite3_open(dbFile(n).constData(), &db);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    int i = 0;
    for (auto _ : state)
        bareComputePass(db, ++i % 2 ? 25 : 20); // a new k every time: every row is written
    sqlite3_close(db);
}
BENCHMARK(BM_BarePass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The preparation pass: the marked readings through the store, computed, written back.
void preparationPass(rv::Database& db, double k)
{
    rv::ReadingStore store(db, kSensor);
    rv::ReadingColumns columns = store.markedColumns();
    const rv::PassOutcome out = rv::preparePass(columns, k);
    store.writeComputed(out.changed);
    benchmark::DoNotOptimize(out.changed.size());
}

void BM_PreparationPass(benchmark::State& state)
{
    const int n = int(state.range(0));
    auto db = rv::Database::open(QString::fromUtf8(dbFile(n)));
    int i = 0;
    for (auto _ : state)
        preparationPass(*db, ++i % 2 ? 25 : 20);
}
BENCHMARK(BM_PreparationPass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Baseline of the second opening: the marked rows with the fields the pass reads and compares,
// read into doubles.
void BM_BareReadMarked(benchmark::State& state)
{
    const int n = int(state.range(0));
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbFile(n).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray sql = "SELECT rowid, FullDate, ChannelT, Channel1, Channel2, Channel3, Channel4, Channel5, "
                           "Channel6, Channel7, Channel8, Channel9, Channel10, zero1, zero2, zero3, zero4, zero5, "
                           "zero6, zero7, zero8, zero9, zero10, NumTemp, Load1, Load2, Load3, Load5 FROM \""
                           + kSensor.toUtf8() + "\" WHERE Plottemporal = 1 ORDER BY FullDate";
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        QVector<double> values;
        QVector<QByteArray> dates;
        while (sqlite3_step(st) == SQLITE_ROW) {
            dates.append(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(st, 1))));
            for (int c = 2; c < 28; ++c)
                values.append(sqlite3_column_type(st, c) == SQLITE_NULL ? qQNaN() : sqlite3_column_double(st, c));
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(values.size());
    }
    sqlite3_close(db);
}
BENCHMARK(BM_BareReadMarked)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The second argument is the k factor: 0, a new sensor's, leaves every load uncomputed.
void BM_SecondOpening(benchmark::State& state)
{
    const int n = int(state.range(0));
    const double k = double(state.range(1));
    auto db = rv::Database::open(QString::fromUtf8(dbFile(n)));
    preparationPass(*db, k);
    for (auto _ : state)
        preparationPass(*db, k);
}
BENCHMARK(BM_SecondOpening)->Args({100000, 25})->Args({100000, 0})->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The pass as a chart tab runs it: whole (a new k factor every time, the bare pass's twin), or
// with every value already stored (only the zero reading and the flags are looked at).
void BM_StoredPass(benchmark::State& state)
{
    const int n = int(state.range(0));
    const bool whole = state.range(1) != 0;
    auto db = rv::Database::open(QString::fromUtf8(dbFile(n)));
    int i = 0;
    rv::ReadingStore first(*db, kSensor);
    rv::storedPass(first, 25);
    for (auto _ : state) {
        rv::ReadingStore store(*db, kSensor);
        rv::PassRun run;
        rv::storedPass(store, whole && ++i % 2 ? 20 : 25, &run);
        benchmark::DoNotOptimize(run.computed);
    }
}
BENCHMARK(BM_StoredPass)
    ->ArgsProduct({{10000, 100000, 1000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

// One chart's series: the query of its fields, the points and the axis rules.
void BM_BuildChart(benchmark::State& state)
{
    const int n = int(state.range(0));
    auto db = rv::Database::open(QString::fromUtf8(dbFile(n)));
    preparationPass(*db, 25);
    for (auto _ : state) {
        rv::ReadingStore store(*db, kSensor);
        const rv::ChartData data = rv::chartData(store.markedColumns(rv::chartFields(*rv::chartForTab(3))));
        const rv::BuiltChart built = rv::buildChart(*rv::chartForTab(3), data);
        benchmark::DoNotOptimize(built.scale.max);
    }
}
BENCHMARK(BM_BuildChart)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Selecting "4. Strain v t (Long)" from the identification tab, until the chart is painted,
// with the k factor of the second argument (0 logs the loads it could not compute).
void BM_ChartTabSwitch(benchmark::State& state)
{
    const int n = int(state.range(0));
    bench::RunningProgram running(dataDir(n));
    rv::Program& program = running.program;
    if (!running.loaded) {
        state.SkipWithError("start-up failed");
        return;
    }
    rv::FrmRockvista* w = program.window();
    w->show();
    w->txtBoltkfactor->setText(QString::number(state.range(1)));
    // Once untimed: the stored values are then those of this k factor, as on every opening
    // after the first.
    w->SSTab1->setCurrentIndex(3);
    w->SSTab1->setCurrentIndex(0);
    for (auto _ : state) {
        w->SSTab1->setCurrentIndex(3);
        benchmark::DoNotOptimize(w->ChartSLong->grab().width());
        state.PauseTiming();
        if (w->SSTab1->currentIndex() != 3) {
            state.SkipWithError("the chart tab was refused");
            break;
        }
        w->SSTab1->setCurrentIndex(0);
        state.ResumeTiming();
    }
    w->close();
}
BENCHMARK(BM_ChartTabSwitch)->Args({100000, 25})->Args({100000, 0})->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

ROCKVISTA_BENCHMARK_MAIN()
