// The chart tabs of one sensor with 10,000, 100,000 and 1,000,000 marked readings, each beside a
// bare SQLite baseline of the same run:
// - the first chart tab of a run with every value already stored (the pass finding nothing to
//   compute, the chart's series read and thinned, the chart painted) vs a bare read of the
//   chart's columns in date order;
// - the second chart tab of the same run;
// - the first chart tab with every value to compute (a new k factor), and the pass alone, vs a
//   bare update loop of the same rows;
// - a year of readings deleted by date from a sensor that keeps its series in blocks vs a bare
//   DELETE of the same rows;
// - the peak memory (VmHWM) of a child process: started, then each of those tabs.
#include "BenchSupport.h"
#include "app/Program.h"
#include "charts/domain/ChartDef.h"
#include "charts/domain/Preparation.h"
#include "core/State.h"
#include "db/Schema.h"
#include "readings/domain/RangeDelete.h"
#include "ui/FrmRockvista.h"

#include <QChartView>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <map>
#include <memory>
#include <sqlite3.h>

namespace {

const QString kSensor = QStringLiteral("201175001");
constexpr int kFirstTab = 3;  // "4. Strain v t (Long)", five series
constexpr int kSecondTab = 4; // the loads of the long gauges

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

// The bare update loop works on a copy of the same readings: its writes would otherwise reach
// the program's file behind the pass's back.
QByteArray bareFile(int readings)
{
    const QString copy = dataDir(readings) + QStringLiteral("/bare.db");
    if (!QFile::exists(copy))
        QFile::copy(QString::fromUtf8(dbFile(readings)), copy);
    return copy.toUtf8();
}

// Every value stored for the sensor's own k factor, and the series kept in blocks, as a run
// finds them after an earlier one that showed a chart.
void storeValues(int readings)
{
    auto db = rv::Database::open(QString::fromUtf8(dbFile(readings)));
    // A tab that computed with another k factor may have saved it with the sensor.
    db->exec(QStringLiteral("UPDATE Sensors SET boltkfactor = 25"));
    rv::ReadingStore store(*db, kSensor);
    rv::storedPass(store, 25);
    rv::readChartData(store, rv::allChartFields(), 800, store.markedSpan());
}

// ---- Baselines: the least each action can do, in plain SQLite.

// Reads the marked rows' channels, zeroes channels 1..10 against the first, takes the
// temperature, computes the four loads and writes the 15 fields back by rowid, one transaction.
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

void BM_BareUpdateLoop(benchmark::State& state)
{
    const int n = int(state.range(0));
    sqlite3* db = nullptr;
    sqlite3_open_v2(bareFile(n).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    static int i = 0;
    for (auto _ : state)
        bareComputePass(db, ++i % 2 ? 20 : 30); // a new k every time: every row is written
    sqlite3_close(db);
}

// The chart's columns (the first tab's five) of the marked rows in date order, read into
// doubles and dropped: what the stored tab cannot do with less.
void BM_BareChartRead(benchmark::State& state)
{
    const int n = int(state.range(0));
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbFile(n).constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    const QByteArray sql = "SELECT rowid, FullDate, NumTemp, zero1, zero3, zero4, zero6 FROM \"" + kSensor.toUtf8()
                           + "\" WHERE Plottemporal = 1 ORDER BY FullDate";
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        double sum = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            sum += double(sqlite3_column_bytes(st, 1));
            for (int c = 2; c < 7; ++c)
                sum += sqlite3_column_double(st, c);
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(sum);
    }
    sqlite3_close(db);
}

// ---- The program.

// The first tab's series alone, read and thinned for a plot 800 pixels wide, with the drawn
// readings read whole: the bare chart read's twin.
void BM_ChartRead(benchmark::State& state)
{
    const int n = int(state.range(0));
    storeValues(n);
    auto db = rv::Database::open(QString::fromUtf8(dbFile(n)));
    for (auto _ : state) {
        rv::ReadingStore store(*db, kSensor);
        const rv::ChartData data = rv::readChartData(store, *rv::chartForTab(kFirstTab), 800);
        benchmark::DoNotOptimize(data.size());
        state.counters["from_blocks"] = data.fromBlocks;
    }
}

// The pass as a chart tab runs it, alone: with every value to compute (a new k factor each
// time, the bare loop's twin), or with every value already stored.
void BM_Pass(benchmark::State& state)
{
    const int n = int(state.range(0));
    const bool compute = state.range(1) != 0;
    storeValues(n);
    auto db = rv::Database::open(QString::fromUtf8(dbFile(n)));
    // 20 and 30 in turn, never the stored 25: every pass computes every reading.
    static int i = 0;
    for (auto _ : state) {
        rv::ReadingStore store(*db, kSensor);
        rv::PassRun run;
        rv::storedPass(store, compute ? (++i % 2 ? 20 : 30) : 25, &run);
        if (compute && (!run.whole || run.computed != n)) {
            state.SkipWithError("not every reading was computed");
            break;
        }
        state.counters["written"] = run.written;
    }
    if (compute)
        storeValues(n); // the sensor's own k factor again, for the next benchmark
}

// A program started on the data folder, shown; timed from the tab selected until its chart is
// painted.
bool enterTab(rv::FrmRockvista* w, int tab)
{
    w->SSTab1->setCurrentIndex(tab);
    QChartView* view = tab == kFirstTab ? w->ChartSLong : w->ChartLLong;
    benchmark::DoNotOptimize(view->grab().width());
    return w->SSTab1->currentIndex() == tab;
}

// The second argument: 0 the first chart tab with every value stored, 1 the second chart tab of
// that run, 2 the first chart tab with every value to compute (another k factor typed in).
void BM_ChartTab(benchmark::State& state)
{
    const int n = int(state.range(0));
    const int which = int(state.range(1));
    storeValues(n);
    static int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto running = std::make_unique<bench::RunningProgram>(dataDir(n));
        if (!running->loaded) {
            state.SkipWithError("start-up failed");
            break;
        }
        rv::FrmRockvista* w = running->program.window();
        w->show();
        if (which == 1 && !enterTab(w, kFirstTab)) {
            state.SkipWithError("the chart tab was refused");
            break;
        }
        if (which == 2)
            w->txtBoltkfactor->setText(++i % 2 ? QStringLiteral("20") : QStringLiteral("30"));
        state.ResumeTiming();
        const bool entered = enterTab(w, which == 1 ? kSecondTab : kFirstTab);
        state.PauseTiming();
        w->close();
        running.reset();
        state.ResumeTiming();
        if (!entered) {
            state.SkipWithError("the chart tab was refused");
            break;
        }
    }
    if (which == 2)
        storeValues(n);
}

// The child's side of the memory measure: started, the first chart tab (values stored), the
// second, then the third with every value to compute; one peak per stage, in MB.
int probeMemory(const QString& dir)
{
    bench::RunningProgram running(dir);
    if (!running.loaded)
        return 1;
    rv::FrmRockvista* w = running.program.window();
    w->show();
    QApplication::processEvents();
    const double started = bench::peakMegabytes();
    w->SSTab1->setCurrentIndex(kFirstTab);
    w->ChartSLong->grab();
    const double first = bench::peakMegabytes();
    w->SSTab1->setCurrentIndex(kSecondTab);
    w->ChartLLong->grab();
    const double second = bench::peakMegabytes();
    w->SSTab1->setCurrentIndex(0);
    w->txtBoltkfactor->setText(QStringLiteral("20"));
    w->SSTab1->setCurrentIndex(kFirstTab);
    w->ChartSLong->grab();
    const double computed = bench::peakMegabytes();
    std::printf("%.1f %.1f %.1f %.1f\n", started, first, second, computed);
    w->close();
    return 0;
}

void BM_PeakMemory(benchmark::State& state)
{
    const int n = int(state.range(0));
    storeValues(n);
    for (auto _ : state) {
        const QList<double> peaks = bench::childNumbers({QStringLiteral("--probe-memory"), dataDir(n)});
        if (peaks.size() != 4) {
            state.SkipWithError("the probe failed");
            break;
        }
        state.counters["started_MB"] = peaks[0];
        state.counters["first_tab_stored_above_MB"] = peaks[1] - peaks[0];
        state.counters["second_tab_above_MB"] = peaks[2] - peaks[0];
        state.counters["tab_computed_above_MB"] = peaks[3] - peaks[0];
    }
    storeValues(n);
}

// Largest last, so that a run stopped early still has the small figures. The million-reading
// A year (2013) of readings deleted by date on a copy of the sensor's file: through the program
// (arg 1), each deleted reading marking its kept block stale, or bare (arg 0).
void BM_RangeDelete(benchmark::State& state)
{
    const int n = int(state.range(0));
    storeValues(n);
    const QString copy = dataDir(n) + QStringLiteral("/range.db");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(copy);
        QFile::copy(QString::fromUtf8(dbFile(n)), copy);
        int deleted = 0;
        if (state.range(1)) {
            auto db = rv::Database::open(copy);
            state.ResumeTiming();
            deleted = rv::deleteReadingRange(*db, kSensor, QDate(2013, 1, 1), QDate(2013, 12, 31));
        } else {
            sqlite3* db = nullptr;
            sqlite3_open_v2(copy.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
            state.ResumeTiming();
            const QByteArray sql = "DELETE FROM \"" + kSensor.toUtf8() + "\" WHERE ReadingDate BETWEEN '2013/01/01' AND '2013/12/31'";
            sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
            sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
            deleted = sqlite3_changes(db);
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        state.PauseTiming();
        if (deleted < 40000)
            state.SkipWithError("too few readings deleted");
        state.ResumeTiming();
    }
    QFile::remove(copy);
}

// actions that compute take seconds each: fewer iterations.
void sizes(benchmark::internal::Benchmark* b, std::initializer_list<int64_t> extra = {})
{
    for (const int64_t n : {10000, 100000, 1000000}) {
        if (extra.size() == 0)
            b->Arg(n);
        else
            for (const int64_t e : extra)
                b->Args({n, e});
    }
    b->Unit(benchmark::kMillisecond)->MinTime(0.5);
}

BENCHMARK(BM_BareChartRead)->Apply([](auto* b) { sizes(b); });
BENCHMARK(BM_ChartRead)->Apply([](auto* b) { sizes(b); });
BENCHMARK(BM_ChartTab)->Apply([](auto* b) { sizes(b, {0, 1}); });
BENCHMARK(BM_Pass)->Apply([](auto* b) { sizes(b, {0}); });
BENCHMARK(BM_BareUpdateLoop)->Apply([](auto* b) { sizes(b); });
BENCHMARK(BM_Pass)->Apply([](auto* b) { sizes(b, {1}); });
BENCHMARK(BM_ChartTab)->Apply([](auto* b) { sizes(b, {2}); });
BENCHMARK(BM_RangeDelete)->Args({100000, 0})->Args({100000, 1})->Args({1000000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PeakMemory)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

ROCKVISTA_BENCHMARK_MAIN_WITH_PROBE(probeMemory)
