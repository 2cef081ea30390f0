// The same work on the SQLite file and on a PostgreSQL server in one run, one sensor with 100,000
// readings on each (argument 0: SQLite, 1: the server). The server is the one ROCKVISTA_DATABASE
// names (scripts/with-postgres), reached over its Unix socket when PGHOST names one; without a
// server the server halves are skipped with a message.
// - the readings tab entered: the keyset opened (counted afresh, or with the count known), the
//   newest reading gone to and shown;
// - the datasheet's first screenful (40 rows, every column), and a screenful anywhere;
// - the chart tab's work: the chart pass over values already stored, the series read and thinned;
// - a readout of 100,000 lines imported: read, each line a reading, the duplicate check, written;
// - two engineers: one connection importing 100,000 lines while another moves through the
//   readings (first, next, last, to a reading by its key); the slowest move and the 95th
//   percentile as counters;
// - a range deletion of half the readings;
// - the file copied into an empty database.
#include "charts/domain/ChartDef.h"
#include "charts/domain/Preparation.h"
#include "db/DatabaseCopy.h"
#include "db/DatabaseTarget.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "exchange/domain/ReadoutDate.h"
#include "exchange/domain/ReadoutFile.h"
#include "exchange/domain/ReadoutReading.h"
#include "readings/domain/ReadingStore.h"
#include "core/State.h"
#include "ui/FrmDatasheet.h"
#include "ui/FrmRockvista.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QChartView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <thread>
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

const QString kSensor = QStringLiteral("201175001");
constexpr int kReadings = 100000;
constexpr int kLines = 100000;
constexpr int kScreenful = 40;

// The 100,000-line readout, ten minutes apart from 2015 (after the fixture's readings).
QString readoutPath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("201175001.txt"));
        QFile out(p);
        out.open(QIODevice::WriteOnly);
        QByteArray text;
        const QDateTime first(QDate(2015, 1, 1), QTime(0, 0), Qt::UTC);
        for (int i = 0; i < kLines; ++i) {
            text += first.addSecs(i * 600LL).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toLatin1();
            text += ",NB-0412,75,201175001," + QByteArray::number(20.0 + (i % 50) * 0.1, 'f', 1);
            for (int c = 1; c <= 7; ++c)
                text += ',' + QByteArray::number(100.0 * c + (i % 97) * 0.37, 'f', 2);
            text += "\r\n";
        }
        out.write(text);
        return p;
    }();
    return path;
}

// The fixture file, made once per run as the other benchmarks make theirs.
QString sqliteFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        bench::makeSensorWithReadings(dir.path(), kSensor, kReadings);
        return dir.filePath(rv::kDatabaseFileName);
    }();
    return path;
}

// A message kept for the rest of the run (the state may keep only its pointer).
const char* kept(const QString& text)
{
    static std::deque<std::string> texts;
    return texts.emplace_back(text.toStdString()).c_str();
}

// The server's setting: over the Unix socket when the environment names one; empty without a server.
QString serverSetting()
{
    static const QString url = qEnvironmentVariable("ROCKVISTA_DATABASE");
    if (url.isEmpty())
        return {};
    const QString host = qEnvironmentVariable("PGHOST");
    if (!host.isEmpty() && QFileInfo(host).isDir())
        return QStringLiteral("host=%1 port=%2 user=%3 dbname=%4")
            .arg(host, qEnvironmentVariable("PGPORT"), qEnvironmentVariable("PGUSER"),
                 QUrl(url).path().mid(1));
    return url;
}

// A new connection to the engine, holding the fixture: the file copied in on the first call.
std::unique_ptr<rv::Database> connect(int engine)
{
    if (engine == 0)
        return rv::Database::open(sqliteFile());
    auto db = rv::Database::open(rv::DatabaseTarget::server(serverSetting()));
    static bool copied = false;
    if (!copied) {
        auto file = rv::Database::open(sqliteFile());
        rv::copyDatabase(*file, *db);
        db->exec(QStringLiteral("ANALYZE"));
        copied = true;
    }
    return db;
}

// The connection of a benchmark, or null with the reason given to the state.
std::unique_ptr<rv::Database> connectFor(benchmark::State& state)
{
    const int engine = int(state.range(0));
    state.SetLabel(engine == 0 ? "sqlite" : "server");
    if (engine == 1 && serverSetting().isEmpty()) {
        state.SkipWithError("no server: run under scripts/with-postgres (ROCKVISTA_DATABASE unset)");
        return nullptr;
    }
    try {
        return connect(engine);
    } catch (const rv::RvError& e) {
        state.SkipWithError(kept("the server refused: " + e.description));
        return nullptr;
    }
}

// The program started on the engine's database: the fixture's folder, or an empty folder of its
// own (log and pictures) beside the server. Null with the reason given to the state.
std::unique_ptr<bench::RunningProgram> startProgram(benchmark::State& state)
{
    if (!connectFor(state)) // the server holds the fixture from here on
        return nullptr;
    // The SQLite half must not follow the server's setting in the environment (read before).
    serverSetting();
    qunsetenv("ROCKVISTA_DATABASE");
    static QTemporaryDir folder;
    auto running = state.range(0) == 0
                       ? std::make_unique<bench::RunningProgram>(QFileInfo(sqliteFile()).path())
                       : std::make_unique<bench::RunningProgram>(folder.path(), serverSetting());
    if (!running->loaded) {
        state.SkipWithError("start-up failed");
        return nullptr;
    }
    return running;
}

// Every column of the current row, as the grid and the tab read them.
void readCurrent(const rv::RecordSet& rs)
{
    for (int i = 0; i < rs.fieldCount(); ++i)
        benchmark::DoNotOptimize(rs.value(i));
}

void readScreenful(const rv::RecordSet& rs, int first)
{
    for (int row = first; row < std::min(first + kScreenful, rs.recordCount()); ++row)
        for (int i = 0; i < rs.fieldCount(); ++i)
            benchmark::DoNotOptimize(rs.valueAt(row, i));
}

template <class Work>
bool guarded(benchmark::State& state, Work work)
{
    try {
        work();
        return true;
    } catch (const rv::RvError& e) {
        state.SkipWithError(kept(e.description));
        return false;
    }
}

// Second argument 1: the rows counted afresh, as after another's change.
void BM_ReadingsTab(benchmark::State& state)
{
    const auto db = connectFor(state);
    if (!db)
        return;
    const bool recount = state.range(1) != 0;
    for (auto _ : state) {
        if (recount) {
            state.PauseTiming();
            db->touch(kSensor);
            state.ResumeTiming();
        }
        if (!guarded(state, [&] {
                const auto rs = rv::ReadingStore(*db, kSensor).openAll();
                rs->moveLast();
                benchmark::DoNotOptimize(rv::ReadingStore::shown(*rs).key);
                if (rs->recordCount() != kReadings)
                    throw rv::RvError(1, QStringLiteral("readings not opened"));
            }))
            break;
    }
}
BENCHMARK(BM_ReadingsTab)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The datasheet opened: its own set, shown from its start, the first screenful read.
void BM_DatasheetFirstScreen(benchmark::State& state)
{
    const auto db = connectFor(state);
    if (!db)
        return;
    for (auto _ : state) {
        if (!guarded(state, [&] {
                const auto rs = rv::ReadingStore(*db, kSensor).openAll(true);
                readScreenful(*rs, 0);
            }))
            break;
    }
}
BENCHMARK(BM_DatasheetFirstScreen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// A screenful anywhere in an open datasheet.
void BM_DatasheetScroll(benchmark::State& state)
{
    const auto db = connectFor(state);
    if (!db)
        return;
    std::unique_ptr<rv::RecordSet> rs;
    if (!guarded(state, [&] { rs = rv::ReadingStore(*db, kSensor).openAll(); }))
        return;
    for (auto _ : state) {
        if (!guarded(state, [&] { readScreenful(*rs, QRandomGenerator::global()->bounded(kReadings - kScreenful)); }))
            break;
    }
}
BENCHMARK(BM_DatasheetScroll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The chart tab's work with every value stored: the pass finding nothing to compute, the first
// tab's series read and thinned for 800 pixels.
void BM_ChartTab(benchmark::State& state)
{
    const auto db = connectFor(state);
    if (!db)
        return;
    if (!guarded(state, [&] {
            db->exec(QStringLiteral("UPDATE Sensors SET boltkfactor = 25"));
            rv::ReadingStore store(*db, kSensor);
            rv::storedPass(store, 25);
        }))
        return;
    for (auto _ : state) {
        if (!guarded(state, [&] {
                rv::ReadingStore store(*db, kSensor);
                rv::storedPass(store, 25);
                benchmark::DoNotOptimize(rv::readChartData(store, *rv::chartForTab(3), 800).size());
            }))
            break;
    }
}
BENCHMARK(BM_ChartTab)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The import's work: the file read, every line a reading, one insertion with the duplicate check.
int importReadout(rv::Database& db)
{
    rv::ReadoutFile file;
    file.load(readoutPath());
    const rv::ReadoutSensor sensor{kSensor, QStringLiteral("75"), true};
    QVector<rv::Reading> batch;
    batch.reserve(file.lineCount());
    for (int line = 0; line < file.lineCount(); ++line)
        batch.push_back(rv::readoutReading(file, line, sensor, rv::DateLayout::YearFirst).reading);
    return rv::ReadingStore(db, kSensor).insert(batch).inserted;
}

// The imported readings taken out again as the user deletes them, so that each round finds the
// fixture as it was.
void removeImported(rv::Database& db)
{
    rv::ReadingStore(db, kSensor).deleteDatedBetween(QDate(2015, 1, 1), QDate(2099, 12, 31));
}

qint64 importedCount(rv::Database& db)
{
    return db.query(QStringLiteral("SELECT count(*) FROM \"201175001\" WHERE FullDate >= '2015'")).value(0).value(0).toLongLong();
}

// Second argument 1: into the table as a user has it once the readings and chart tabs were opened,
// with the triggers they leave (chart blocks kept, rows counted); 0: the table as found (bare when
// run alone, watched after the chart benchmarks).
void BM_Import(benchmark::State& state)
{
    const auto db = connectFor(state);
    if (!db)
        return;
    if (state.range(1) != 0 && !guarded(state, [&] {
            rv::ReadingStore store(*db, kSensor);
            rv::storedPass(store, 25);
            rv::readChartData(store, *rv::chartForTab(3), 800);
            store.openAll();
        }))
        return;
    state.counters["triggers"] = double(db->triggersOn(kSensor).size());
    for (auto _ : state) {
        state.PauseTiming();
        removeImported(*db);
        state.ResumeTiming();
        int inserted = 0;
        if (!guarded(state, [&] { inserted = importReadout(*db); }))
            break;
        if (inserted != kLines) {
            state.SkipWithError("lines refused");
            break;
        }
        // What was written, not only what the insertion took: a row lost between them is a fault.
        state.PauseTiming();
        const qint64 stored = importedCount(*db);
        state.ResumeTiming();
        if (stored != kLines) {
            state.SkipWithError(kept(QStringLiteral("%1 readings stored").arg(stored)));
            break;
        }
    }
    removeImported(*db);
}
BENCHMARK(BM_Import)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(3);

// A range deletion: the readings dated in the fixture's first 347 days (49,968 of 100,000) deleted
// as the readings tab deletes them, with the chart blocks kept; put back between rounds.
void BM_RangeDelete(benchmark::State& state)
{
    const auto db = connectFor(state);
    if (!db)
        return;
    const QString table = rv::Database::quoteId(kSensor);
    const QString inRange = QStringLiteral(" WHERE FullDate < '2012-12-13'");
    if (!guarded(state, [&] {
            db->exec(QStringLiteral("UPDATE Sensors SET boltkfactor = 25"));
            rv::ReadingStore store(*db, kSensor);
            rv::storedPass(store, 25);
            rv::readChartData(store, *rv::chartForTab(3), 800); // the blocks made
            db->exec(QStringLiteral("DROP TABLE IF EXISTS range_kept"));
            db->exec(QStringLiteral("CREATE TABLE range_kept AS SELECT * FROM ") + table + inRange);
        }))
        return;
    // The deletion is to find the blocks and, on a server, the table's own trigger there.
    if (db->watchesByTableTriggers() && !db->triggersOn(kSensor).contains(QStringLiteral("rv_series_delete"))) {
        state.SkipWithError("the table carries no trigger of its own");
        return;
    }
    state.counters["blocks"] = db->query(QStringLiteral("SELECT count(*) FROM ChartBlocks WHERE InstrumentID = ?"), {kSensor})
                                   .value(0)
                                   .value(0)
                                   .toDouble();
    for (auto _ : state) {
        int deleted = 0;
        if (!guarded(state, [&] {
                deleted = rv::ReadingStore(*db, kSensor).deleteDatedBetween(QDate(2012, 1, 1), QDate(2012, 12, 12));
            }))
            break;
        state.PauseTiming();
        const bool putBack = guarded(state, [&] {
            db->exec(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" SELECT * FROM range_kept"));
            rv::ReadingStore store(*db, kSensor);
            rv::storedPass(store, 25);
            rv::readChartData(store, *rv::chartForTab(3), 800);
        });
        state.ResumeTiming();
        if (!putBack)
            break;
        if (deleted != 49968) {
            state.SkipWithError(kept(QStringLiteral("deleted %1 readings").arg(deleted)));
            break;
        }
    }
    db->exec(QStringLiteral("DROP TABLE IF EXISTS range_kept"));
}
BENCHMARK(BM_RangeDelete)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// The fixture file copied whole into an empty database (rockvista-setup --copy-from): a new file, or
// a new schema of the server; the tables made, the rows written, every table counted and summed.
void BM_CopyDatabase(benchmark::State& state)
{
    const auto db = connectFor(state);
    if (!db)
        return;
    auto file = rv::Database::open(sqliteFile());
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        std::unique_ptr<rv::Database> target;
        const QString schema = QStringLiteral("copy_%1").arg(++round);
        if (!guarded(state, [&] {
                if (state.range(0) == 0) {
                    target = rv::Database::create(dir.filePath(QStringLiteral("copy.db")));
                } else {
                    target = rv::Database::open(rv::DatabaseTarget::server(serverSetting()));
                    target->exec(QStringLiteral("CREATE SCHEMA ") + schema);
                    target->exec(QStringLiteral("SET search_path TO ") + schema);
                }
            }))
            break;
        state.ResumeTiming();
        qint64 readings = 0;
        if (!guarded(state, [&] { readings = rv::copyDatabase(*file, *target).readings; }))
            break;
        state.PauseTiming();
        if (state.range(0) == 1)
            target->exec(QStringLiteral("DROP SCHEMA ") + schema + QStringLiteral(" CASCADE"));
        target.reset();
        state.ResumeTiming();
        if (readings != kReadings) {
            state.SkipWithError("readings not copied");
            break;
        }
    }
}
BENCHMARK(BM_CopyDatabase)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// One engineer imports on a connection of their own while the other moves through the same
// sensor's readings; each move timed with the row shown. Counters in ms.
void BM_TwoEngineers(benchmark::State& state)
{
    const auto db = connectFor(state);
    if (!db)
        return;
    const int engine = int(state.range(0));
    std::vector<double> moves;
    for (auto _ : state) {
        removeImported(*db);
        std::unique_ptr<rv::RecordSet> rs;
        if (!guarded(state, [&] { rs = rv::ReadingStore(*db, kSensor).openAll(); }))
            return;
        std::atomic<bool> done{false};
        QString failure;
        std::thread importer([&] {
            try {
                auto other = connect(engine);
                if (importReadout(*other) != kLines)
                    failure = QStringLiteral("lines refused");
            } catch (const rv::RvError& e) {
                failure = e.description;
            }
            done = true;
        });
        int step = 0;
        while (!done) {
            const auto start = std::chrono::steady_clock::now();
            try {
                switch (step++ % 4) {
                case 0: rs->moveFirst(); break;
                case 1:
                    for (int i = 0; i < 5 && !rs->eof(); ++i)
                        rs->moveNext();
                    break;
                case 2: rs->moveLast(); break;
                default:
                    rs->setBookmark(
                        rv::ReadingStore(*db, kSensor).rowidOfKey(QStringLiteral("201175001 2013/01/01 00:00:00")));
                }
                if (!rs->eof())
                    readCurrent(*rs);
            } catch (const rv::RvError& e) {
                failure = e.description;
            }
            moves.push_back(bench::seconds(start) * 1000);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        importer.join();
        if (!failure.isEmpty()) {
            state.SkipWithError(kept(failure));
            break;
        }
    }
    removeImported(*db);
    if (moves.empty())
        return;
    std::sort(moves.begin(), moves.end());
    state.counters["moves"] = double(moves.size());
    state.counters["move_max_ms"] = moves.back();
    state.counters["move_p95_ms"] = moves[size_t(double(moves.size() - 1) * 0.95)];
}
BENCHMARK(BM_TwoEngineers)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// ---- The program itself, as the user sees it.

// The readings tab entered (second argument 1: the readings counted afresh, as after a change).
void BM_ProgramReadingsTab(benchmark::State& state)
{
    const auto running = startProgram(state);
    if (!running)
        return;
    rv::Program& program = running->program;
    QTabWidget* tabs = program.window()->SSTab1;
    for (auto _ : state) {
        tabs->setCurrentIndex(2);
        state.PauseTiming();
        if (!program.state().readings || program.state().readings->recordCount() != kReadings) {
            state.SkipWithError("readings not opened");
            break;
        }
        tabs->setCurrentIndex(0);
        if (state.range(1) != 0)
            program.state().db->touch(kSensor);
        state.ResumeTiming();
    }
    program.window()->close();
}
BENCHMARK(BM_ProgramReadingsTab)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->MinTime(1.0);

void insideDatasheet(rv::Program& program, const std::function<void(rv::FrmDatasheet&)>& work)
{
    program.window()->SSTab1->setCurrentIndex(2);
    bench::insideModal(program.window()->imgDatasheet, work);
}

// The datasheet opened from the readings tab until its first screenful is painted.
void BM_ProgramDatasheet(benchmark::State& state)
{
    const auto running = startProgram(state);
    if (!running)
        return;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bool painted = false;
        insideDatasheet(running->program, [&](rv::FrmDatasheet& sheet) {
            painted = !sheet.MSFlexGrid1->viewport()->grab().isNull();
            state.SetIterationTime(bench::seconds(start));
        });
        if (!painted) {
            state.SkipWithError("datasheet not shown");
            break;
        }
    }
    running->program.window()->close();
}
BENCHMARK(BM_ProgramDatasheet)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);

// A screenful anywhere in the shown datasheet.
void BM_ProgramScroll(benchmark::State& state)
{
    const auto running = startProgram(state);
    if (!running)
        return;
    insideDatasheet(running->program, [&](rv::FrmDatasheet& sheet) {
        QScrollBar* bar = sheet.MSFlexGrid1->rowBar();
        for (auto _ : state) {
            bar->setValue(QRandomGenerator::global()->bounded(bar->maximum() + 1));
            benchmark::DoNotOptimize(sheet.MSFlexGrid1->viewport()->grab().isNull());
        }
    });
    running->program.window()->close();
}
BENCHMARK(BM_ProgramScroll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The first chart tab of a run, every value stored, until its chart is painted.
void BM_ProgramChartTab(benchmark::State& state)
{
    const auto db = connectFor(state);
    if (!db)
        return;
    try { // every value stored for the sensor's own k factor, as after an earlier run
        rv::ReadingStore store(*db, kSensor);
        rv::storedPass(store, 25);
    } catch (const rv::RvError&) {
        // the tab below says what fails
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto running = startProgram(state);
        if (!running)
            break;
        rv::FrmRockvista* w = running->program.window();
        w->show();
        state.ResumeTiming();
        w->SSTab1->setCurrentIndex(3);
        benchmark::DoNotOptimize(w->ChartSLong->grab().width());
        state.PauseTiming();
        const bool entered = w->SSTab1->currentIndex() == 3;
        w->close();
        running.reset();
        state.ResumeTiming();
        if (!entered) {
            state.SkipWithError("the chart tab was refused");
            break;
        }
    }
}
BENCHMARK(BM_ProgramChartTab)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

ROCKVISTA_BENCHMARK_MAIN()
