// The readout import and the whole-file maintenance, each beside a bare baseline measured in the
// same run:
// - reading a readout file and its default marks (10,000 and 100,000 lines);
// - the import window opened with its grid over 100,000 lines, offscreen;
// - appending every line as a reading vs reading the file, splitting the commas and inserting
//   in one bare transaction (10,000 and 100,000 lines, to show the growth);
// - a readout of years imported end to end through the window (10,000, 100,000 and 824,000
//   lines, the last a 99 MB file) vs the same rows, already parsed, through one prepared INSERT in
//   one transaction, one row a statement and 16 (as the import writes them); and the peak memory
//   of a child process that imports it;
// - backup and compaction of a 200 MB database vs a plain copy of its file.
#include "db/Maintenance.h"
#include "db/Schema.h"
#include "exchange/ReadoutGridModel.h"
#include "exchange/domain/ReadoutDate.h"
#include "exchange/domain/ReadoutFile.h"
#include "exchange/domain/ReadoutReading.h"
#include "readings/domain/ReadingStore.h"
#include "ui/FrmNuboData.h"
#include "core/State.h"
#include "ui/FrmRockvista.h"

#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTimer>
#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <unistd.h>

namespace {

const QString kSensor = QStringLiteral("201175001");

struct Files {
    QTemporaryDir dir;
    QString readout(int lines) const { return dir.filePath(QStringLiteral("readout%1.txt").arg(lines)); }
};

Files& files()
{
    static Files f;
    static const bool made = [] {
        for (int lines : {10000, 100000}) {
            QFile out(f.readout(lines));
            out.open(QIODevice::WriteOnly);
            QByteArray text;
            const QDateTime first(QDate(2015, 1, 1), QTime(0, 0), Qt::UTC);
            for (int i = 0; i < lines; ++i) {
                const QDateTime t = first.addSecs(i * 600LL);
                text += t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toLatin1();
                text += ",NB-0412,75,201175001," + QByteArray::number(20.0 + (i % 50) * 0.1, 'f', 1);
                for (int c = 1; c <= 7; ++c)
                    text += ',' + QByteArray::number(100.0 * c + (i % 97) * 0.37, 'f', 2);
                text += "\r\n";
            }
            out.write(text);
        }
        return true;
    }();
    (void)made;
    return f;
}

// A fresh database with the sensor's empty reading table, per measured round.
struct Target {
    QTemporaryDir dir;
    std::unique_ptr<rv::Database> db;
    Target()
    {
        db = rv::Database::create(dir.filePath(rv::kDatabaseFileName));
        rv::createSuppliedDatabase(*db, QStringLiteral("BENCH"));
        rv::createReadingTable(*db, kSensor);
    }
    void empty() { db->exec(QStringLiteral("DELETE FROM \"201175001\"")); }
};

void BM_ParseAndMarks(benchmark::State& s)
{
    const QString path = files().readout(static_cast<int>(s.range(0)));
    for (auto _ : s) {
        rv::ReadoutFile file;
        if (file.load(path) != rv::ReadoutFile::Status::Ok)
            s.SkipWithError("not read");
        const QVector<char> marks = rv::defaultMarks(file, 1, rv::DateLayout::YearFirst);
        benchmark::DoNotOptimize(marks.data());
    }
}

// The window as the import shows it: read, grid filled, marks set, shown and laid out.
void BM_OpenImportWindow(benchmark::State& s)
{
    const QString path = files().readout(static_cast<int>(s.range(0)));
    for (auto _ : s) {
        rv::ReadoutFile file;
        file.load(path);
        rv::FrmNuboData window;
        auto* grid = new rv::ReadoutGridModel(window.img_x_on->pixmap(), window.img_x_off->pixmap(), &window);
        window.MSFlexGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        window.MSFlexGrid1->setModel(grid);
        grid->populate(&file);
        window.MSFlexGrid1->setRowHidden(0, true);
        grid->setMarks(rv::defaultMarks(file, 24, rv::DateLayout::YearFirst));
        for (int c = 0; c < rv::ReadoutGrid::kColumns; ++c)
            window.MSFlexGrid1->setColumnWidth(c, 90);
        window.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(grid->markedCount());
    }
}

// Read the file, split the commas, insert every line in one transaction.
void BM_AppendBaseline_Bare(benchmark::State& s)
{
    const QString path = files().readout(static_cast<int>(s.range(0)));
    Target t;
    for (auto _ : s) {
        s.PauseTiming();
        t.empty();
        s.ResumeTiming();
        QFile in(path);
        in.open(QIODevice::ReadOnly);
        const QByteArray all = in.readAll();
        sqlite3* h = t.db->handle();
        sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h,
                           "INSERT INTO \"201175001\" (DateTimeKey, ReadingDate, ReadingTime, FullDate, ChannelT, "
                           "Channel1, Channel2, Channel3, Channel4, Channel5, Channel6, Channel7, IsDirty, PlotSpatial, "
                           "Plottemporal) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, 0, 1)",
                           -1, &st, nullptr);
        for (const QByteArray& line : all.split('\n')) {
            const QList<QByteArray> f = line.trimmed().split(',');
            if (f.size() < 12)
                continue;
            const QByteArray key = "201175001 " + f[0];
            sqlite3_bind_text(st, 1, key.constData(), key.size(), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, f[0].constData(), 10, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, f[0].constData() + 11, 8, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 4, f[0].constData(), f[0].size(), SQLITE_TRANSIENT);
            for (int c = 4; c < 12; ++c)
                sqlite3_bind_double(st, c + 1, f[c].toDouble());
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    }
}

// What cmdAppend does with every line marked: read, build each reading, one insertion with the
// duplicate check.
void BM_Append(benchmark::State& s)
{
    const QString path = files().readout(static_cast<int>(s.range(0)));
    Target t;
    const rv::ReadoutSensor sensor{kSensor, QStringLiteral("75"), true};
    for (auto _ : s) {
        s.PauseTiming();
        t.empty();
        s.ResumeTiming();
        rv::ReadoutFile file;
        file.load(path);
        QVector<rv::Reading> batch;
        batch.reserve(file.lineCount());
        for (int line = 0; line < file.lineCount(); ++line)
            batch.push_back(rv::readoutReading(file, line, sensor, rv::DateLayout::YearFirst).reading);
        const rv::InsertOutcome out = rv::ReadingStore(*t.db, kSensor).insert(batch);
        if (out.inserted != file.lineCount())
            s.SkipWithError("lines refused");
    }
}

// --- a readout of years through the import, 10,000 to 824,000 lines ---

// A line as a readout unit writes it: 16 fields, about 120 bytes (824,000 lines make a 99 MB
// file), each line one clock hour after the last so that interval 1 marks them all.
constexpr int kReadoutChannels = 7; // type 75

struct ReadoutValues {
    QByteArray key, date, time, fullDate;
    std::array<double, 1 + kReadoutChannels> values; // ChannelT, Channel1 …
};

ReadoutValues readoutValues(int i)
{
    static const QDateTime first(QDate(2015, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime t = first.addSecs(i * 3600LL);
    ReadoutValues v;
    v.date = t.toString(QStringLiteral("yyyy/MM/dd")).toLatin1();
    v.time = t.toString(QStringLiteral("HH:mm:ss")).toLatin1();
    v.key = "201175001 " + v.date + ' ' + v.time;
    v.fullDate = t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1();
    v.values[0] = 20.0 + (i % 50) * 0.1;
    for (int c = 1; c <= kReadoutChannels; ++c)
        v.values[c] = 100.0 * c + (i % 97) * 0.37;
    return v;
}

QByteArray readoutLine(const ReadoutValues& v, int i)
{
    QByteArray line = v.date + ' ' + v.time + ",NB-0412,75,201175001," + QByteArray::number(v.values[0], 'f', 1);
    for (int c = 1; c <= kReadoutChannels; ++c)
        line += ',' + QByteArray::number(v.values[c], 'f', 2);
    return line + ",12.94,3.612,000" + QByteArray::number(i % 7) + ",OK-041\r\n";
}

// The readout file of that many lines, named for its sensor, made once per run.
QString readoutFile(int lines)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> dirs;
    auto& dir = dirs[lines];
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>();
        QFile out(dir->filePath(QStringLiteral("201175001.txt")));
        out.open(QIODevice::WriteOnly);
        QByteArray block;
        for (int i = 0; i < lines; ++i) {
            block += readoutLine(readoutValues(i), i);
            if (block.size() > (1 << 20) || i + 1 == lines) {
                out.write(block);
                block.clear();
            }
        }
    }
    return dir->filePath(QStringLiteral("201175001.txt"));
}

// A data folder with the sensor and its empty reading table.
std::unique_ptr<QTemporaryDir> importFolder()
{
    auto dir = std::make_unique<QTemporaryDir>();
    bench::makeSensorWithReadings(dir->path(), kSensor, 0);
    return dir;
}

// The import as the user makes it: the button, the file read, the window with its grid and
// marks, "append" answered Yes, the readings tab shown again on the new readings.
bool importThroughWindow(bench::RunningProgram& running, const QString& path, int lines)
{
    rv::FrmRockvista* form = running.program.window();
    running.dialogs.nextFile = path;
    running.dialogs.alwaysYes = true;
    QTimer::singleShot(0, [] {
        if (QWidget* window = QApplication::activeModalWidget())
            if (auto* append = window->findChild<QPushButton*>(QStringLiteral("cmdAppend")))
                append->click();
    });
    emit form->imgAddNuboData->clicked();
    return form->txtRcount->text() == QStringLiteral("%1 of %1").arg(lines);
}

void prepareImport(rv::FrmRockvista* form)
{
    form->SSTab1->setCurrentIndex(2);
    form->cboNuboInt->setCurrentText(QStringLiteral("1"));
}

void BM_ImportEndToEnd(benchmark::State& s)
{
    const int lines = static_cast<int>(s.range(0));
    const QString path = readoutFile(lines);
    const auto dir = importFolder();
    bench::RunningProgram running(dir->path());
    if (!running.loaded) {
        s.SkipWithError("the program did not start");
        return;
    }
    rv::FrmRockvista* form = running.program.window();
    prepareImport(form);
    for (auto _ : s) {
        s.PauseTiming();
        form->SSTab1->setCurrentIndex(0);
        running.program.state().db->exec(QStringLiteral("DELETE FROM \"201175001\""));
        form->SSTab1->setCurrentIndex(2);
        s.ResumeTiming();
        if (!importThroughWindow(running, path, lines))
            s.SkipWithError("not every line was appended");
    }
    s.counters["file_MB"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
    form->close();
}

// The same rows, their values already parsed and formed, through one prepared INSERT of the
// columns the import writes, in one transaction, on a database of the same settings. The second
// argument: rows a statement (1, as the baseline; 16, as the import writes them; the
// sizes are multiples of 16).
void BM_ImportBaseline_Bare(benchmark::State& s)
{
    const int lines = static_cast<int>(s.range(0));
    const int perStatement = static_cast<int>(s.range(1));
    std::vector<ReadoutValues> rows;
    rows.reserve(lines);
    for (int i = 0; i < lines; ++i)
        rows.push_back(readoutValues(i));
    const auto dir = importFolder();
    auto db = rv::Database::open(dir->filePath(rv::kDatabaseFileName));
    sqlite3* h = db->handle();
    QByteArray sql = "INSERT INTO \"201175001\" (DateTimeKey, ReadingDate, ReadingTime, FullDate, ChannelT";
    for (int c = 1; c <= 10; ++c)
        sql += ", Channel" + QByteArray::number(c);
    for (int c = 1; c <= 10; ++c)
        sql += ", zero" + QByteArray::number(c);
    sql += ", NumTemp, Load1, Load2, Load3, Load5, IsDirty, PlotSpatial, Plottemporal) VALUES ";
    for (int r = 0; r < perStatement; ++r) {
        sql += r ? ", (?" : "(?";
        for (int i = 1; i < 33; ++i)
            sql += ", ?";
        sql += ')';
    }
    for (auto _ : s) {
        s.PauseTiming();
        sqlite3_exec(h, "DELETE FROM \"201175001\"", nullptr, nullptr, nullptr);
        s.ResumeTiming();
        sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, sql.constData(), -1, &st, nullptr);
        for (int row = 0; row < lines; ++row) {
            const ReadoutValues& v = rows[size_t(row)];
            // The other columns stay Null, as cleared.
            const int first = (row % perStatement) * 33;
            int at = first + 1;
            for (const QByteArray* text : {&v.key, &v.date, &v.time, &v.fullDate})
                sqlite3_bind_text(st, at++, text->constData(), int(text->size()), SQLITE_STATIC);
            for (const double value : v.values)
                sqlite3_bind_double(st, at++, value);
            sqlite3_bind_int(st, first + 31, 1);
            sqlite3_bind_int(st, first + 32, 0);
            sqlite3_bind_int(st, first + 33, 1);
            if (row % perStatement != perStatement - 1)
                continue;
            if (sqlite3_step(st) != SQLITE_DONE)
                s.SkipWithError("insert failed");
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    }
}

// The child's side of the memory measure: the started program, then the whole import.
int probeImport(const QString& path, int lines)
{
    const auto dir = importFolder();
    bench::RunningProgram running(dir->path());
    if (!running.loaded)
        return 1;
    prepareImport(running.program.window());
    QApplication::processEvents();
    const double started = bench::peakMegabytes();
    if (!importThroughWindow(running, path, lines))
        return 1;
    printf("%.1f %.1f\n", started, bench::peakMegabytes());
    running.program.window()->close();
    return 0;
}

// Peak memory (VmHWM) of a fresh process: started, then after the import. Counters in MB.
void BM_ImportPeakMemory(benchmark::State& s)
{
    const int lines = static_cast<int>(s.range(0));
    const QString path = readoutFile(lines);
    for (auto _ : s) {
        const QList<double> peaks = bench::childNumbers({QStringLiteral("--probe-import"), path, QString::number(lines)});
        if (peaks.size() != 2) {
            s.SkipWithError("the probe failed");
            break;
        }
        s.counters["started_MB"] = peaks[0];
        s.counters["import_peak_MB"] = peaks[1];
        s.counters["above_started_MB"] = peaks[1] - peaks[0];
    }
}

// --- whole-file maintenance on a 200 MB database ---

struct BigDatabase {
    QTemporaryDir dir;
    QString master;      // 200 MB, a tenth of its pages free
    QString working;
    QString target;
};

BigDatabase& big()
{
    static BigDatabase b;
    static const bool made = [] {
        b.master = b.dir.filePath(QStringLiteral("master.mdb"));
        b.working = b.dir.filePath(rv::kDatabaseFileName);
        b.target = b.dir.filePath(QStringLiteral("gSTAYbackup2024-06-15.mdb"));
        auto db = rv::Database::create(b.master);
        rv::createSuppliedDatabase(*db, QStringLiteral("BENCH"));
        rv::createReadingTable(*db, kSensor);
        rv::Transaction tx(*db);
        db->exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 699999) "
            "INSERT INTO \"201175001\" (DateTimeKey, ReadingDate, ReadingTime, FullDate, ChannelT, Channel1, "
            "Channel2, Channel3, Channel4, Channel5, Channel6, Channel7, zero1, zero2, zero3, zero4, zero5, zero6, "
            "Load1, Load2, Load3, Load5, Plottemporal, PlotSpatial, IsDirty) "
            "SELECT '201175001 ' || strftime('%Y/%m/%d %H:%M:%S', 1420070400 + i * 60, 'unixepoch'), "
            "strftime('%Y/%m/%d', 1420070400 + i * 60, 'unixepoch'), strftime('%H:%M:%S', 1420070400 + i * 60, "
            "'unixepoch'), strftime('%Y-%m-%d %H:%M:%S', 1420070400 + i * 60, 'unixepoch'), 20.5, i * 0.1, i * 0.2, "
            "i * 0.3, i * 0.4, i * 0.5, i * 0.6, i * 0.7, i * 0.01, i * 0.02, i * 0.03, i * 0.04, i * 0.05, i * 0.06, "
            "i * 0.001, i * 0.002, i * 0.003, i * 0.005, 1, 0, 1 FROM n"));
        // The oldest tenth deleted: whole pages become free, as after a range deletion.
        db->exec(QStringLiteral("DELETE FROM \"201175001\" WHERE rowid <= 70000"));
        tx.commit();
        return true;
    }();
    (void)made;
    return b;
}

void copyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    QFile::copy(from, to);
}

void BM_MaintenanceBaseline_FileCopy(benchmark::State& s)
{
    BigDatabase& b = big();
    copyFile(b.master, b.working);
    s.counters["MB"] = static_cast<double>(QFileInfo(b.working).size()) / 1e6;
    for (auto _ : s)
        copyFile(b.working, b.target);
}

// The same copy made durable, as a backup must be.
void BM_MaintenanceBaseline_FileCopySynced(benchmark::State& s)
{
    BigDatabase& b = big();
    copyFile(b.master, b.working);
    for (auto _ : s) {
        copyFile(b.working, b.target);
        QFile f(b.target);
        f.open(QIODevice::ReadWrite);
        ::fsync(f.handle());
    }
}

void BM_Backup(benchmark::State& s)
{
    BigDatabase& b = big();
    copyFile(b.master, b.working);
    for (auto _ : s)
        rv::maintenance::backupFile(b.working, b.target);
}

void BM_Compaction(benchmark::State& s)
{
    BigDatabase& b = big();
    const QString copy = b.dir.filePath(QStringLiteral("Copy_") + rv::kDatabaseFileName);
    for (auto _ : s) {
        s.PauseTiming();
        copyFile(b.master, b.working);
        s.ResumeTiming();
        if (!rv::maintenance::compactFile(b.working, copy)) {
            s.SkipWithError("nothing to compact");
            break;
        }
    }
}

} // namespace

BENCHMARK(BM_ParseAndMarks)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenImportWindow)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_AppendBaseline_Bare)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Append)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportBaseline_Bare)
    ->ArgsProduct({{10000, 100000, 824000}, {1, 16}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_ImportEndToEnd)->Arg(10000)->Arg(100000)->Arg(824000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ImportPeakMemory)->Arg(10000)->Arg(100000)->Arg(824000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_MaintenanceBaseline_FileCopy)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MaintenanceBaseline_FileCopySynced)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Backup)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Compaction)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--probe-import") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return probeImport(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    }
    return bench::run(argc, argv);
}
