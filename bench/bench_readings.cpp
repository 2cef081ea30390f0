// Returning to the readings tab of a sensor with 100,000 readings, beside a bare SQLite read of
// the same rows into QVariants. Entering it at 10,000 to 1,000,000 readings: bench_keyset.
#include "app/Program.h"
#include "core/State.h"
#include "db/Schema.h"
#include "ui/FrmRockvista.h"

#include <QApplication>
#include <QTemporaryDir>
#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

const QString kSensor = QStringLiteral("201175001");
constexpr int kReadings = 100000;

// One data folder for every benchmark of the run.
QString dataDir()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        bench::makeSensorWithReadings(dir.path(), kSensor, kReadings);
        return true;
    }();
    (void)made;
    return dir.path();
}

// Baseline: the same query read row by row into QVariants, nothing else.
void BM_BareSqliteRead(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(dataDir().toUtf8() + "/" + rv::kDatabaseFileName.toUtf8(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray sql = "SELECT rowid, * FROM \"" + kSensor.toUtf8() + "\" ORDER BY FullDate";
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        const int n = sqlite3_column_count(st);
        QVector<QVariant> values;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < n; ++c) {
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER: values.append(QVariant(qint64(sqlite3_column_int64(st, c)))); break;
                case SQLITE_FLOAT: values.append(QVariant(sqlite3_column_double(st, c))); break;
                case SQLITE_NULL: values.append(QVariant()); break;
                default:
                    values.append(QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                                             sqlite3_column_bytes(st, c))));
                }
            }
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(values.size());
    }
    sqlite3_close(db);
}
BENCHMARK(BM_BareSqliteRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Back from the installation tab: the same, returning to the remembered (first) reading.
void BM_ReturnToReadingsTab(benchmark::State& state)
{
    bench::RunningProgram running(dataDir());
    rv::Program& program = running.program;
    if (!running.loaded) {
        state.SkipWithError("start-up failed");
        return;
    }
    QTabWidget* tabs = program.window()->SSTab1;
    tabs->setCurrentIndex(2);
    emit program.window()->imgFirst->clicked();
    tabs->setCurrentIndex(1);
    for (auto _ : state) {
        tabs->setCurrentIndex(2);
        state.PauseTiming();
        if (program.state().readings->absolutePosition() != 1) {
            state.SkipWithError("not back on the remembered reading");
            break;
        }
        tabs->setCurrentIndex(1);
        state.ResumeTiming();
    }
    program.window()->close();
}
BENCHMARK(BM_ReturnToReadingsTab)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

ROCKVISTA_BENCHMARK_MAIN()
