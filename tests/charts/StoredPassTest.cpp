#include "charts/domain/ChartDef.h"
#include "charts/domain/Preparation.h"
#include "readings/domain/SeriesStore.h"

#include "SuppliedOnEngine.h"
#include "db/Schema.h"

#include <QRandomGenerator>
#include <QRegularExpression>

using namespace rv;

namespace {

const QString kId = QStringLiteral("201175001");

class StoredPass : public test::SuppliedOnEngine {
protected:
    StoredPass() : SuppliedOnEngine(false) {}
    void SetUp() override
    {
        SuppliedOnEngine::SetUp();
        if (db)
            createReadingTable(*db, kId);
    }
    void TearDown() override
    {
        SeriesStore::setSizing({});
        SuppliedOnEngine::TearDown();
    }
    // A text in a number column where the engine keeps one; the server keeps its number.
    QVariant textValue() const { return server() ? QVariant(12.5) : QVariant(QStringLiteral("12.5 bar")); }

    QString table() const { return Database::quoteId(kId); }

    void add(Database& on, int day, const QVariant& ch1, const QVariant& ch4, const QVariant& isDirty = 1)
    {
        const QDate d = QDate(2024, 1, 1).addDays(day);
        const QString date = d.toString(QStringLiteral("yyyy/MM/dd"));
        on.exec(QStringLiteral("INSERT INTO ") + table()
                    + QStringLiteral(" (DateTimeKey, ReadingDate, ReadingTime, FullDate, Channel1, Channel2, Channel4, "
                                     "ChannelT, Plottemporal, PlotSpatial, IsDirty) VALUES (?, ?, '08:00:00', ?, ?, ?, ?, 20, 1, 0, ?)"),
                {kId + QLatin1Char(' ') + date + QStringLiteral(" 08:00:00"), date,
                 d.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 08:00:00"), ch1, ch1, ch4, isDirty});
    }

    // The stored results equal those a pass over every marked reading computes.
    void expectWhole(double k, const char* when)
    {
        ReadingStore store(*db, kId);
        ReadingColumns all = store.markedColumns();
        const PassOutcome fresh = preparePass(all, k);
        EXPECT_TRUE(fresh.changed.isEmpty()) << when << ": " << fresh.changed.size() << " readings differ";
    }

    PassRun pass(double k)
    {
        ReadingStore store(*db, kId);
        PassRun run;
        storedPass(store, k, &run);
        return run;
    }
};

} // namespace

TEST_P(StoredPass, ComputesOnlyWhatChangedWhileTheZeroAndKHoldAndAllElse)
{
    for (int d = 0; d < 5; ++d)
        add(*db, d, 100 + d, 200);
    PassRun run = pass(25);
    EXPECT_TRUE(run.whole);
    EXPECT_EQ(run.computed, 5);
    run = pass(25);
    EXPECT_FALSE(run.whole);
    EXPECT_EQ(run.computed, 0);

    // An edit through the program's connection, a new reading, a reading marked again.
    db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Channel1 = 150 WHERE ReadingDate = '2024/01/03'"));
    add(*db, 9, 300, QVariant(), QVariant());
    run = pass(25);
    EXPECT_FALSE(run.whole);
    EXPECT_EQ(run.computed, 2);
    expectWhole(25, "after an edit and an addition");

    // The pass's memory outlives the connection.
    db.reset();
    db = openAgain();
    run = pass(25);
    EXPECT_FALSE(run.whole);
    EXPECT_EQ(run.computed, 0);

    // Another k factor or another zero reading: all again.
    EXPECT_TRUE(pass(20).whole);
    db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Channel2 = 7 WHERE ReadingDate = '2024/01/01'"));
    EXPECT_TRUE(pass(20).whole);
    db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Plottemporal = 0 WHERE ReadingDate = '2024/01/01'"));
    EXPECT_TRUE(pass(20).whole);
    expectWhole(20, "after the zero moved");
    // Another program's edit: the file's connection learns only that the file changed (all
    // again); the server's table flags the reading itself.
    {
        auto other = openAgain();
        other->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Channel4 = 999 WHERE ReadingDate = '2024/01/04'"));
    }
    run = pass(20);
    EXPECT_EQ(run.whole, !server());
    EXPECT_EQ(run.computed, server() ? 1 : 5);
    expectWhole(20, "after another program's edit");
}

// A server's table without its triggers (made by a copy or a restore, or by an older program) saw
// edits that no trigger flagged: the pass that gives it its triggers is whole, and blocks kept
// from before are not read.
TEST_P(StoredPass, ATableThatLackedItsTriggersIsComputedWholeAndItsBlocksBuiltAgain)
{
    if (!server())
        GTEST_SKIP() << "the file's connections make their triggers afresh";
    SeriesStore::setSizing({40, 10});
    for (int d = 0; d < 40; ++d)
        add(*db, d, 100 + d, 200);
    EXPECT_TRUE(pass(25).whole);
    const auto chart = [&] {
        ReadingStore store(*db, kId);
        return readChartData(store, allChartFields(), 2, store.markedSpan());
    };
    ASSERT_FALSE(chart().fromBlocks); // builds them
    ASSERT_TRUE(chart().fromBlocks);
    ASSERT_FALSE(pass(25).whole);
    const auto chartTriggers = [&] { // beside those that keep the table's count
        return db->triggersOn(kId).filter(QRegularExpression(QStringLiteral("^rv_")));
    };
    const QStringList carried = chartTriggers();
    ASSERT_EQ(carried.size(), 4);
    for (const QString& t : carried)
        db->exec(QStringLiteral("DROP TRIGGER ") + Database::quoteId(t) + QStringLiteral(" ON ") + table());
    db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Channel1 = 5 WHERE ReadingDate = '2024/01/10'"));
    db->exec(QStringLiteral("DELETE FROM ") + table() + QStringLiteral(" WHERE ReadingDate > '2024/01/30'"));
    EXPECT_TRUE(pass(25).whole);
    expectWhole(25, "after edits no trigger saw");
    EXPECT_EQ(chartTriggers(), carried);
    const ChartData c = chart();
    EXPECT_EQ(c.readings, 30);
    EXPECT_FALSE(c.fromBlocks);
    ReadingStore store(*db, kId);
    EXPECT_EQ(SeriesStore(*db, kId).differences(store), QStringList());
}

TEST_P(StoredPass, StoredResultsEqualAWholePassAfterRandomChanges)
{
    QRandomGenerator rng(19);
    const auto pick = [&](int n) { return int(rng.bounded(quint32(n))); };
    const auto value = [&]() -> QVariant {
        switch (pick(5)) {
        case 0: return QVariant();
        case 1: return textValue();
        default: return pick(4000) / 8.0 - 100;
        }
    };
    const double ks[] = {25, 25, 25, 0, 12.5};
    double k = 25;
    int day = 0;
    for (; day < 40; ++day)
        add(*db, day * 2, value(), value());
    for (int step = 0; step < 200; ++step) {
        const QString some = QStringLiteral(" WHERE rowid IN (SELECT rowid FROM ") + table()
                             + QStringLiteral(" ORDER BY random() LIMIT ") + QString::number(1 + pick(3)) + QLatin1Char(')');
        switch (pick(9)) {
        case 0: add(*db, 2 * day++, value(), value(), pick(2) ? QVariant(1) : QVariant()); break;
        case 1: add(*db, -1 - pick(30) * 2 - 1, value(), value()); break; // perhaps a new zero
        case 2:
            db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Channel1 = ?, ChannelT = ?") + some,
                     {value(), value()});
            break;
        case 3: db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Channel4 = ?") + some, {value()}); break;
        case 4:
            db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Plottemporal = 1 - Plottemporal") + some);
            break;
        case 5: db->exec(QStringLiteral("DELETE FROM ") + table() + some); break;
        case 6: k = ks[pick(5)]; break;
        case 7: {
            db.reset();
            db = openAgain();
            break;
        }
        default: {
            auto other = openAgain();
            other->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Channel2 = ?") + some, {value()});
        }
        }
        if (pick(3) == 0) {
            pass(k);
            expectWhole(k, qPrintable(QStringLiteral("step %1").arg(step)));
        }
    }
}

// A chart read thinned as it streams draws what the whole read drawn through pointsToDraw
// draws: the same points of every series, the same time axis, the same counts; and the
// readings it keeps carry every column for the clicked-point line.
TEST_P(StoredPass, AChartReadThinnedAsItStreamsDrawsWhatTheWholeReadDraws)
{
    QRandomGenerator random(7);
    {
        Transaction tx(*db);
        for (int d = 0; d < 3000; ++d)
            add(*db, d, random.bounded(1000) / 4.0, random.bounded(50) == 0 ? QVariant() : QVariant(random.bounded(300)));
        tx.commit();
    }
    pass(25);
    // Some values missing, and one series without any.
    db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET zero3 = NULL WHERE rowid % 7 = 0"));
    db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Load3 = NULL"));
    ReadingStore store(*db, kId);
    const ReadingColumns every = store.markedColumns();
    for (const ChartDef& def : chartDefs()) {
        const ChartData whole = chartData(store.markedColumns(chartFields(def)));
        const BuiltChart all = buildChart(def, whole);
        for (const int pixels : {100, 700, 5000}) {
            const ChartData thin = readChartData(store, def, pixels);
            const BuiltChart built = buildChart(def, thin);
            EXPECT_EQ(thin.readings, 3000);
            EXPECT_EQ(built.time.min, all.time.min);
            EXPECT_EQ(built.time.max, all.time.max);
            EXPECT_EQ(built.scale.min, all.scale.min);
            EXPECT_EQ(built.scale.max, all.scale.max);
            for (int s = 0; s < def.series.size(); ++s) {
                EXPECT_EQ(built.pointCounts[s], all.series[s].size());
                EXPECT_EQ(pointsToDraw(built.series[s], built.time.min, built.time.max, pixels),
                          pointsToDraw(all.series[s], all.time.min, all.time.max, pixels))
                    << def.name << " series " << s << " at " << pixels << " pixels";
            }
            if (pixels == 100) {
                EXPECT_LT(thin.size(), 1000);
                const int i = thin.size() / 2;
                const int w = int(every.rowids.indexOf(thin.columns.rowids[i]));
                ASSERT_GE(w, 0);
                EXPECT_EQ(thin.columns.channels[0][i], every.channels[0][w]);
                EXPECT_EQ(thin.columns.loads[0][i], every.loads[0][w]);
                EXPECT_EQ(thin.columns.moments[i], every.moments[w]);
            }
        }
    }
}

RV_ON_BOTH_ENGINES(StoredPass);
