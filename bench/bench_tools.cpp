// The command-line tools, each beside its measure in the same run:
// - rockvista-import of 50 readout files of 2,000 hourly lines (every line marked with
//   --interval 1) vs the import window's append of the same lines, in process;
// - rockvista-export --all of 100 sensors x 10,000 readings to CSV vs a bare SQLite dump of the
//   same rows to a file.
// The tools run as processes: their time includes starting them.
#include "BenchSupport.h"
#include "exchange/domain/ReadoutAppend.h"
#include "readings/domain/ReadingStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

constexpr int kImportFiles = 50, kImportLines = 2000;
constexpr int kExportSensors = 100, kExportReadings = 10000;

// CPU seconds the tool processes have used so far (user and system): the figure a loaded machine
// disturbs least.
double childCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QString sensorId(int i) { return QStringLiteral("2011750%1").arg(i, 2, 10, QLatin1Char('0')); }

// A database with that many sensors of type 75 (k factor 25) and readings each, ten minutes apart.
void makeDatabase(const QString& path, int sensors, int readings)
{
    auto db = rv::Database::create(path);
    rv::createSuppliedDatabase(*db, QStringLiteral("KLD-"));
    for (int s = 0; s < sensors; ++s)
        bench::addSensorWithReadings(*db, sensorId(s), readings);
}

struct ImportFixture {
    QTemporaryDir dir;
    QString pristine, data, in;
    ImportFixture()
        : pristine(dir.filePath(QStringLiteral("pristine.mdb"))), data(dir.filePath(QStringLiteral("data"))),
          in(dir.filePath(QStringLiteral("in")))
    {
        makeDatabase(pristine, kImportFiles, 0);
        QDir().mkpath(data);
        QDir().mkpath(in);
        const QDateTime start(QDate(2013, 1, 1), QTime(0, 0), Qt::UTC);
        for (int f = 0; f < kImportFiles; ++f) {
            QFile file(QDir(in).filePath(sensorId(f) + QStringLiteral(".txt")));
            file.open(QIODevice::WriteOnly);
            QByteArray text;
            for (int i = 0; i < kImportLines; ++i)
                text += start.addSecs(qint64(i) * 3600).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toLatin1()
                        + ",N1,75," + sensorId(f).toLatin1() + ",21.5," + QByteArray::number(100.25 + i % 7)
                        + ",200.5,300.75,400,500.25,600.5,0\r\n";
            file.write(text);
        }
    }
    QString dbPath() const { return QDir(data).filePath(rv::kDatabaseFileName); }
    void fresh() const
    {
        QFile::remove(dbPath());
        QFile::copy(pristine, dbPath());
    }
};

ImportFixture& importFixture()
{
    static ImportFixture f;
    return f;
}

void BM_ImportTool(benchmark::State& s)
{
    const ImportFixture& f = importFixture();
    const double cpuBefore = childCpuSeconds();
    for (auto _ : s) {
        s.PauseTiming();
        f.fresh();
        s.ResumeTiming();
        QProcess p;
        p.start(QStringLiteral(RV_IMPORT_TOOL), {QStringLiteral("--data-dir"), f.data, QStringLiteral("--interval"),
                                                 QStringLiteral("1"), f.in});
        p.waitForFinished(-1);
        if (p.exitCode() != 0 || !p.readAllStandardOutput().contains(", 100000 appended,"))
            s.SkipWithError("not every line was appended");
    }
    s.counters["tool_cpu_ms"] = benchmark::Counter(1000 * (childCpuSeconds() - cpuBefore), benchmark::Counter::kAvgIterations);
}

// The window's append of the same files: read, default marks, appendMarkedLines, file by file.
void BM_ImportWindowAppend(benchmark::State& s)
{
    const ImportFixture& f = importFixture();
    for (auto _ : s) {
        s.PauseTiming();
        f.fresh();
        s.ResumeTiming();
        auto db = rv::Database::openSupplied(f.dbPath());
        int appended = 0;
        for (int i = 0; i < kImportFiles; ++i) {
            rv::ReadoutFile file;
            file.load(QDir(f.in).filePath(sensorId(i) + QStringLiteral(".txt")));
            const rv::ReadoutSensor sensor{sensorId(i), QStringLiteral("75"), true};
            appended += rv::appendMarkedLines(*db, file, rv::defaultMarks(file, 1, rv::DateLayout::YearFirst), sensor,
                                              rv::DateLayout::YearFirst)
                            .inserted;
        }
        if (appended != kImportFiles * kImportLines)
            s.SkipWithError("not every line was appended");
    }
}

struct ExportFixture {
    QTemporaryDir dir;
    QString data = dir.filePath(QStringLiteral("data")), out = dir.filePath(QStringLiteral("out"));
    ExportFixture()
    {
        QDir().mkpath(data);
        makeDatabase(QDir(data).filePath(rv::kDatabaseFileName), kExportSensors, kExportReadings);
    }
};

ExportFixture& exportFixture()
{
    static ExportFixture f;
    return f;
}

void BM_ExportTool(benchmark::State& s)
{
    const ExportFixture& f = exportFixture();
    const double cpuBefore = childCpuSeconds();
    for (auto _ : s) {
        QProcess p;
        p.start(QStringLiteral(RV_EXPORT_TOOL), {QStringLiteral("--data-dir"), f.data, QStringLiteral("--all"),
                                                 QStringLiteral("--format"), QStringLiteral("csv"),
                                                 QStringLiteral("--output"), f.out});
        p.waitForFinished(-1);
        if (p.exitCode() != 0)
            s.SkipWithError("the export failed");
    }
    s.counters["tool_cpu_ms"] = benchmark::Counter(1000 * (childCpuSeconds() - cpuBefore), benchmark::Counter::kAvgIterations);
}

// Every row of every reading table as comma-separated text, straight from SQLite to one file.
void BM_ExportBaseline_BareDump(benchmark::State& s)
{
    const ExportFixture& f = exportFixture();
    const QByteArray db = QFile::encodeName(QDir(f.data).filePath(rv::kDatabaseFileName));
    const QByteArray out = QFile::encodeName(f.dir.filePath(QStringLiteral("dump.csv")));
    for (auto _ : s) {
        sqlite3* h = nullptr;
        sqlite3_open_v2(db.constData(), &h, SQLITE_OPEN_READONLY, nullptr);
        FILE* file = std::fopen(out.constData(), "w");
        for (int i = 0; i < kExportSensors; ++i) {
            const QByteArray sql = "SELECT * FROM \"" + sensorId(i).toLatin1() + "\" ORDER BY FullDate";
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(h, sql.constData(), -1, &st, nullptr);
            const int n = sqlite3_column_count(st);
            while (sqlite3_step(st) == SQLITE_ROW) {
                for (int c = 0; c < n; ++c) {
                    const auto* text = sqlite3_column_text(st, c);
                    std::fprintf(file, c ? ",%s" : "%s", text ? reinterpret_cast<const char*>(text) : "");
                }
                std::fputs("\r\n", file);
            }
            sqlite3_finalize(st);
        }
        std::fclose(file);
        sqlite3_close(h);
    }
}

} // namespace

BENCHMARK(BM_ImportTool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ImportWindowAppend)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportTool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportBaseline_BareDump)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

ROCKVISTA_BENCHMARK_MAIN()
