// The datasheet and the deletions with a sensor of 100,000 readings, each beside a bare SQLite
// baseline doing the same least work on the same connection in the same run:
// - opening the datasheet (reading set, grid model and view) vs reading the rows into QVariants;
// - the write-back of every reading vs a bare UPDATE loop in one transaction;
// - deleting 50,000 readings by date vs one bare DELETE with the same dates.
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "readings/DatasheetModel.h"
#include "readings/domain/RangeDelete.h"

#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>
#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

const QString kTable = QStringLiteral("201175001");
constexpr int kReadings = 100000;
constexpr int kPerDay = 100; // 50,000 readings are the first 500 days
const QDate kFirstDay(2015, 1, 1);

struct Data {
    QTemporaryDir dir;
    std::unique_ptr<rv::Database> db;
    QString select = QStringLiteral("SELECT * FROM \"201175001\" ORDER BY FullDate");
};

Data& data()
{
    static Data d;
    static const bool made = [] {
        d.db = rv::Database::create(d.dir.filePath(rv::kDatabaseFileName));
        rv::createSuppliedDatabase(*d.db, QStringLiteral("BENCH"));
        rv::createReadingTable(*d.db, kTable);
        rv::Transaction tx(*d.db);
        rv::Statement insert = d.db->prepare(
            QStringLiteral("INSERT INTO \"201175001\" (DateTimeKey, ReadingDate, ReadingTime, ChannelT, Channel1, "
                           "Channel2, Channel3, Channel4, Channel5, Channel6, Plottemporal, PlotSpatial, FullDate, "
                           "IsDirty) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, 0, ?, 1)"));
        for (int i = 0; i < kReadings; ++i) {
            const QDateTime t(kFirstDay.addDays(i / kPerDay), QTime(0, 0).addSecs((i % kPerDay) * 600));
            insert.reset();
            insert.bindAll({kTable + t.toString(QStringLiteral(" yyyy/MM/dd HH:mm:ss")),
                            t.toString(QStringLiteral("yyyy/MM/dd")), t.toString(QStringLiteral("HH:mm:ss")), 20.5,
                            100.25 + i % 7, 200.5, 300.75, 400.0, 500.25, 600.5,
                            t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
            insert.step();
        }
        d.db->exec(QStringLiteral("CREATE TABLE spare AS SELECT * FROM \"201175001\""));
        tx.commit();
        return true;
    }();
    (void)made;
    return d;
}

// Puts back the readings a deletion took.
void refill(rv::Database& db)
{
    rv::Transaction tx(db);
    db.exec(QStringLiteral("DELETE FROM \"201175001\""));
    db.exec(QStringLiteral("INSERT INTO \"201175001\" SELECT * FROM spare"));
    tx.commit();
}

QVariant columnValue(sqlite3_stmt* st, int c)
{
    switch (sqlite3_column_type(st, c)) {
    case SQLITE_INTEGER: return QVariant(static_cast<qint64>(sqlite3_column_int64(st, c)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(st, c));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                          sqlite3_column_bytes(st, c)));
    default: return QVariant();
    }
}

void BM_OpenBaseline_BareRead(benchmark::State& s)
{
    Data& d = data();
    for (auto _ : s) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(d.db->handle(), "SELECT rowid, * FROM \"201175001\" ORDER BY FullDate", -1, &st, nullptr);
        QVector<QVariant> values;
        const int n = sqlite3_column_count(st);
        values.reserve(kReadings * n);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < n; ++c)
                values.append(columnValue(st, c));
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(values.size());
    }
}

void BM_OpenDatasheet(benchmark::State& s)
{
    Data& d = data();
    const QPixmap on(16, 16), off(16, 16);
    for (auto _ : s) {
        rv::RecordSet readings(*d.db, d.select);
        rv::DatasheetModel model(on, off);
        QTableView view;
        view.setModel(&model);
        model.populate(readings, kTable);
        view.setRowHidden(0, true);
        view.setCurrentIndex(model.index(1, 0));
        benchmark::DoNotOptimize(model.rowCount());
    }
}

void BM_WriteBackBaseline_BareUpdateLoop(benchmark::State& s)
{
    Data& d = data();
    QVector<qint64> rowids;
    for (const QVariantList& row : d.db->query(QStringLiteral("SELECT rowid FROM \"201175001\" ORDER BY FullDate")))
        rowids.append(row[0].toLongLong());
    sqlite3* h = d.db->handle();
    int flag = 0;
    for (auto _ : s) {
        flag = !flag;
        sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, "UPDATE \"201175001\" SET ChannelT = ?, Channel1 = ?, Channel2 = ?, Channel3 = ?, "
                              "Channel4 = ?, Channel5 = ?, Channel6 = ?, Plottemporal = ?, PlotSpatial = ? "
                              "WHERE rowid = ?", -1, &st, nullptr);
        for (qint64 rowid : rowids) {
            for (int c = 1; c <= 7; ++c)
                sqlite3_bind_double(st, c, 100.0 + c);
            sqlite3_bind_int(st, 8, flag);
            sqlite3_bind_int(st, 9, flag);
            sqlite3_bind_int64(st, 10, rowid);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    }
}

// Every reading touched (its flags switched), so that every row is written.
void BM_WriteBack(benchmark::State& s)
{
    Data& d = data();
    const QPixmap on(16, 16), off(16, 16);
    rv::RecordSet readings(*d.db, d.select);
    rv::DatasheetModel model(on, off);
    for (auto _ : s) {
        s.PauseTiming();
        model.populate(readings, kTable);
        for (int r = 1; r <= kReadings; ++r)
            model.toggleFlag(r, 10);
        s.ResumeTiming();
        benchmark::DoNotOptimize(model.writeBack(*d.db, readings));
    }
}

void BM_RangeDeleteBaseline_BareDelete(benchmark::State& s)
{
    Data& d = data();
    const QByteArray last = kFirstDay.addDays(kReadings / kPerDay / 2 - 1).toString(QStringLiteral("yyyy/MM/dd")).toUtf8();
    for (auto _ : s) {
        s.PauseTiming();
        refill(*d.db);
        s.ResumeTiming();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(d.db->handle(), "DELETE FROM \"201175001\" WHERE ReadingDate BETWEEN ? AND ?", -1, &st,
                           nullptr);
        sqlite3_bind_text(st, 1, "2015/01/01", -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 2, last.constData(), -1, SQLITE_STATIC);
        sqlite3_step(st);
        sqlite3_finalize(st);
        if (sqlite3_changes(d.db->handle()) != kReadings / 2)
            s.SkipWithError("wrong count");
    }
}

// With argument 1 the reading set is read again afterwards, as the delete button does.
void BM_RangeDelete(benchmark::State& s)
{
    Data& d = data();
    const QDate last = kFirstDay.addDays(kReadings / kPerDay / 2 - 1);
    rv::RecordSet readings(*d.db, d.select);
    for (auto _ : s) {
        s.PauseTiming();
        refill(*d.db);
        s.ResumeTiming();
        if (rv::deleteReadingRange(*d.db, kTable, kFirstDay, last) != kReadings / 2)
            s.SkipWithError("wrong count");
        if (s.range(0))
            readings.requery();
    }
}

} // namespace

BENCHMARK(BM_OpenBaseline_BareRead)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenDatasheet)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WriteBackBaseline_BareUpdateLoop)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WriteBack)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RangeDeleteBaseline_BareDelete)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RangeDelete)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

ROCKVISTA_BENCHMARK_MAIN()
