// Record sets over a reading table of 100,000 readings, beside bare SQLite loops doing the
// same work: opening and walking, finding a key near the end, and a many-row write pass.
#include "db/RecordSet.h"
#include "db/Schema.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

constexpr int kRows = 100000;
const QString kId = QStringLiteral("123475001");
const QString kSelect = QStringLiteral("SELECT * FROM `123475001` ORDER BY FullDate");
const char* const kWritten[] = {"zero1", "zero2", "zero3", "zero4", "zero5", "zero6", "zero7", "zero8",
                                "zero9", "zero10", "NumTemp", "Load1", "Load2", "Load3", "Load5"};

QString keyOf(int i)
{
    static const QDateTime start(QDate(2010, 1, 1), QTime(0, 0));
    return kId + QLatin1Char(' ') + start.addSecs(i * 3600LL).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

// One database for the whole run, filled once.
rv::Database& benchDb()
{
    static QTemporaryDir dir;
    static std::unique_ptr<rv::Database> db;
    if (!db) {
        db = rv::Database::create(dir.filePath(rv::kDatabaseFileName));
        rv::createSuppliedDatabase(*db, QString());
        rv::createReadingTable(*db, kId);
        rv::Transaction tx(*db);
        rv::Statement insert = db->prepare(QStringLiteral(
            "INSERT INTO `123475001` (DateTimeKey, ReadingDate, ReadingTime, ChannelT, Channel1, Channel2, Channel3, "
            "Channel4, Channel5, Channel6, Plottemporal, PlotSpatial, FullDate, zero1, zero2, zero3, zero4, zero5, "
            "zero6, NumTemp, IsDirty) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, 0, ?, 0, 0, 0, 0, 0, 0, 20, 1)"));
        const QDateTime start(QDate(2010, 1, 1), QTime(0, 0));
        for (int i = 0; i < kRows; ++i) {
            const QDateTime t = start.addSecs(i * 3600LL);
            insert.reset();
            insert.bind(1, keyOf(i));
            insert.bind(2, t.toString(QStringLiteral("yyyy/MM/dd")));
            insert.bind(3, t.toString(QStringLiteral("HH:mm:ss")));
            insert.bind(4, 20.5);
            for (int c = 0; c < 6; ++c)
                insert.bind(5 + c, 100.0 + c * 10 + i * 0.01);
            insert.bind(11, t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            insert.step();
        }
        insert.reset();
        tx.commit();
    }
    return *db;
}

void BM_RecordSetOpenAndWalk(benchmark::State& state)
{
    rv::Database& db = benchDb();
    for (auto _ : state) {
        rv::RecordSet rs(db, kSelect);
        double sum = 0;
        const int ch1 = rs.fieldIndex(QStringLiteral("Channel1"));
        while (!rs.eof()) {
            sum += rs.value(ch1).toDouble();
            rs.moveNext();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RecordSetOpenAndWalk)->Unit(benchmark::kMillisecond);

// The floor: the same rows read into QVariants by a bare statement loop.
void BM_BareSqliteIntoVariants(benchmark::State& state)
{
    rv::Database& db = benchDb();
    const QByteArray sql = kSelect.toUtf8();
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db.handle(), sql.constData(), -1, &st, nullptr);
        const int n = sqlite3_column_count(st);
        QVector<QVariant> values;
        QVector<qint64> rowids;
        while (sqlite3_step(st) == SQLITE_ROW) {
            rowids.append(rowids.size());
            for (int c = 0; c < n; ++c) {
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER: values.append(QVariant(static_cast<qint64>(sqlite3_column_int64(st, c)))); break;
                case SQLITE_FLOAT: values.append(QVariant(sqlite3_column_double(st, c))); break;
                case SQLITE_TEXT:
                    values.append(QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                                             sqlite3_column_bytes(st, c))));
                    break;
                default: values.append(QVariant()); break;
                }
            }
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(values.data());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_BareSqliteIntoVariants)->Unit(benchmark::kMillisecond);

void BM_FindKeyNearEnd(benchmark::State& state)
{
    rv::RecordSet rs(benchDb(), kSelect);
    const QString key = keyOf(kRows - 10);
    for (auto _ : state) {
        rs.moveFirst();
        if (!rs.find(QStringLiteral("DateTimeKey"), key))
            state.SkipWithError("key not found");
    }
}
BENCHMARK(BM_FindKeyNearEnd)->Unit(benchmark::kMillisecond);

void BM_RecordSetUpdate15Fields(benchmark::State& state)
{
    rv::Database& db = benchDb();
    rv::RecordSet rs(db, kSelect);
    int index[15];
    for (int f = 0; f < 15; ++f)
        index[f] = rs.fieldIndex(QString::fromLatin1(kWritten[f]));
    double bump = 0;
    for (auto _ : state) {
        bump += 1;
        rv::Transaction tx(db);
        rs.moveFirst();
        while (!rs.eof()) {
            for (int f = 0; f < 15; ++f)
                rs.setValue(index[f], bump + f);
            rs.update();
            rs.moveNext();
        }
        tx.commit();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RecordSetUpdate15Fields)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BareUpdate15Fields(benchmark::State& state)
{
    rv::Database& db = benchDb();
    QVector<qint64> rowids;
    for (const QVariantList& row : db.query(QStringLiteral("SELECT rowid FROM `123475001` ORDER BY FullDate")))
        rowids.append(row[0].toLongLong());
    QStringList sets;
    for (const char* name : kWritten)
        sets.append(QString::fromLatin1(name) + QStringLiteral(" = ?"));
    const QByteArray sql =
        (QStringLiteral("UPDATE `123475001` SET ") + sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE rowid = ?"))
            .toUtf8();
    double bump = 0;
    for (auto _ : state) {
        bump += 1;
        sqlite3_exec(db.handle(), "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db.handle(), sql.constData(), -1, &st, nullptr);
        for (qint64 rowid : rowids) {
            for (int f = 0; f < 15; ++f)
                sqlite3_bind_double(st, f + 1, bump + f);
            sqlite3_bind_int64(st, 16, rowid);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(db.handle(), "COMMIT", nullptr, nullptr, nullptr);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_BareUpdate15Fields)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
