// The readings tab and the datasheet of one sensor with 10,000, 100,000, 1,000,000 and
// 10,000,000 readings, each beside a bare SQLite baseline of the same run:
// - entering the readings tab after start-up (with the readings counted before, or afresh) vs
//   the count and the newest row, and vs reading every rowid in date order (to 1,000,000);
// - opening the datasheet to its first screenful, and scrolling it to any place, vs reading a
//   screenful of rows by rowid;
// - the peak memory (VmHWM) of a child process: the program started, then on the readings tab,
//   then with the datasheet shown.
#include "core/State.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "ui/FrmDatasheet.h"
#include "ui/FrmRockvista.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

const QString kSensor = QStringLiteral("201175001");
constexpr int kScreenful = 40;

// One data folder per size for the whole run.
QString dataDir(int readings)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> dirs;
    auto& dir = dirs[readings];
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>();
        bench::makeSensorWithReadings(dir->path(), kSensor, readings);
    }
    return dir->path();
}

using bench::seconds;

// Bare SQLite on the same file: the keys in date order, and rows read by rowid.
struct BareReader {
    sqlite3* db = nullptr;
    sqlite3_stmt* row = nullptr;
    explicit BareReader(int readings)
    {
        sqlite3_open_v2((dataDir(readings) + QLatin1Char('/') + rv::kDatabaseFileName).toUtf8(), &db,
                        SQLITE_OPEN_READONLY, nullptr);
        sqlite3_prepare_v2(db, "SELECT * FROM \"201175001\" WHERE rowid = ?", -1, &row, nullptr);
    }
    qint64 single(const char* sql) const
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        const qint64 value = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
        sqlite3_finalize(st);
        return value;
    }
    ~BareReader()
    {
        sqlite3_finalize(row);
        sqlite3_close(db);
    }
    QVector<qint64> keys() const
    {
        QVector<qint64> out;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT rowid FROM \"201175001\" ORDER BY FullDate", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            out.append(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        return out;
    }
    QVector<QVariant> read(qint64 rowid) const
    {
        sqlite3_bind_int64(row, 1, rowid);
        QVector<QVariant> values;
        if (sqlite3_step(row) == SQLITE_ROW) {
            for (int c = 0, n = sqlite3_column_count(row); c < n; ++c) {
                switch (sqlite3_column_type(row, c)) {
                case SQLITE_INTEGER: values.append(QVariant(qint64(sqlite3_column_int64(row, c)))); break;
                case SQLITE_FLOAT: values.append(QVariant(sqlite3_column_double(row, c))); break;
                case SQLITE_NULL: values.append(QVariant()); break;
                default:
                    values.append(QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(row, c)),
                                                             sqlite3_column_bytes(row, c))));
                }
            }
        }
        sqlite3_reset(row);
        return values;
    }
};

// Baseline of the readings tab: the rowids in date order and the newest row.
void BM_TabBaseline_BareKeys(benchmark::State& state)
{
    const BareReader bare(int(state.range(0)));
    for (auto _ : state) {
        const QVector<qint64> keys = bare.keys();
        benchmark::DoNotOptimize(bare.read(keys.last()).size());
    }
}
BENCHMARK(BM_TabBaseline_BareKeys)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// What the readings tab needs at least: the count and the newest row.
void BM_TabBaseline_BareCount(benchmark::State& state)
{
    const BareReader bare(int(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(bare.single("SELECT count(*) FROM \"201175001\""));
        benchmark::DoNotOptimize(
            bare.read(bare.single("SELECT rowid FROM \"201175001\" ORDER BY FullDate DESC, rowid DESC LIMIT 1")).size());
    }
}
BENCHMARK(BM_TabBaseline_BareCount)->Arg(10000)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

// The readings tab entered after start-up: open the set, go to the newest reading, show it.
// Second argument 1: the readings counted afresh each time, as after a change of the table.
void BM_EnterReadingsTab(benchmark::State& state)
{
    const int readings = int(state.range(0));
    const bool recount = state.range(1) != 0;
    bench::RunningProgram running(dataDir(readings));
    rv::Program& program = running.program;
    if (!running.loaded) {
        state.SkipWithError("start-up failed");
        return;
    }
    QTabWidget* tabs = program.window()->SSTab1;
    for (auto _ : state) {
        tabs->setCurrentIndex(2);
        state.PauseTiming();
        if (program.state().readings->recordCount() != readings) {
            state.SkipWithError("readings not opened");
            break;
        }
        tabs->setCurrentIndex(0);
        if (recount)
            program.state().db->touch(kSensor);
        state.ResumeTiming();
    }
    program.window()->close();
}
BENCHMARK(BM_EnterReadingsTab)
    ->ArgsProduct({{10000, 100000, 1000000, 10000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

// Baseline of a screenful: that many rows read by rowid from a random place.
void BM_ScreenfulBaseline_BareRows(benchmark::State& state)
{
    const BareReader bare(int(state.range(0)));
    const QVector<qint64> keys = bare.keys();
    for (auto _ : state) {
        const int first = QRandomGenerator::global()->bounded(keys.size() - kScreenful);
        for (int i = 0; i < kScreenful; ++i)
            benchmark::DoNotOptimize(bare.read(keys[first + i]).size());
    }
}
BENCHMARK(BM_ScreenfulBaseline_BareRows)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Runs inside the shown datasheet of a program on its readings tab: the button clicked, the
// window open modally, then work, then the window closed.
void insideDatasheet(rv::Program& program, const std::function<void(rv::FrmDatasheet&)>& work)
{
    program.window()->SSTab1->setCurrentIndex(2);
    bench::insideModal(program.window()->imgDatasheet, work);
}

// The datasheet opened from the readings tab until its first screenful is painted.
void BM_OpenDatasheet(benchmark::State& state)
{
    const int readings = int(state.range(0));
    bench::RunningProgram running(dataDir(readings));
    if (!running.loaded) {
        state.SkipWithError("start-up failed");
        return;
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bool painted = false;
        insideDatasheet(running.program, [&](rv::FrmDatasheet& sheet) {
            painted = !sheet.MSFlexGrid1->viewport()->grab().isNull();
            state.SetIterationTime(seconds(start));
        });
        if (!painted) {
            state.SkipWithError("datasheet not shown");
            break;
        }
    }
    running.program.window()->close();
}
BENCHMARK(BM_OpenDatasheet)->Arg(10000)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);

// A screenful anywhere in the shown datasheet: the scroll bar moved, the rows painted.
void BM_ScrollDatasheet(benchmark::State& state)
{
    const int readings = int(state.range(0));
    bench::RunningProgram running(dataDir(readings));
    if (!running.loaded) {
        state.SkipWithError("start-up failed");
        return;
    }
    insideDatasheet(running.program, [&](rv::FrmDatasheet& sheet) {
        QScrollBar* bar = sheet.MSFlexGrid1->rowBar(); // the view itself holds only a window of rows
        QWidget* viewport = sheet.MSFlexGrid1->viewport();
        for (auto _ : state) {
            bar->setValue(QRandomGenerator::global()->bounded(bar->maximum() + 1));
            benchmark::DoNotOptimize(viewport->grab().isNull());
        }
    });
    running.program.window()->close();
}
BENCHMARK(BM_ScrollDatasheet)->Arg(10000)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

// The child's side of the memory measure: start, readings tab, datasheet; one peak per stage.
int probeMemory(const QString& dir)
{
    bench::RunningProgram running(dir);
    if (!running.loaded)
        return 1;
    QApplication::processEvents();
    const double empty = bench::peakMegabytes();
    running.program.window()->SSTab1->setCurrentIndex(2);
    QApplication::processEvents();
    const double tab = bench::peakMegabytes();
    double sheet = 0;
    insideDatasheet(running.program, [&](rv::FrmDatasheet& window) {
        window.MSFlexGrid1->viewport()->grab();
        sheet = bench::peakMegabytes();
    });
    printf("%.1f %.1f %.1f\n", empty, tab, sheet);
    running.program.window()->close();
    return 0;
}

// Peak memory of a fresh process per stage: the program started (on the identification tab),
// then the readings tab, then the datasheet's first screenful. Counters in MB.
void BM_PeakMemory(benchmark::State& state)
{
    const QString dir = dataDir(int(state.range(0)));
    for (auto _ : state) {
        const QList<double> peaks = bench::childNumbers({QStringLiteral("--probe-memory"), dir});
        if (peaks.size() != 3) {
            state.SkipWithError("the probe failed");
            break;
        }
        state.counters["empty_MB"] = peaks[0];
        state.counters["tab_above_empty_MB"] = peaks[1] - peaks[0];
        state.counters["datasheet_above_empty_MB"] = peaks[2] - peaks[0];
        state.counters["keys_MB"] = state.range(0) * 8.0 / (1024 * 1024); // the rowids alone
    }
}
BENCHMARK(BM_PeakMemory)->Arg(10000)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

ROCKVISTA_BENCHMARK_MAIN_WITH_PROBE(probeMemory)
