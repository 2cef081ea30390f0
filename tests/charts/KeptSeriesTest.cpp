#include "charts/domain/ChartDef.h"
#include "charts/domain/Preparation.h"
#include "readings/domain/SeriesStore.h"

#include "SuppliedOnEngine.h"
#include "db/Schema.h"

#include <QHash>
#include <QRandomGenerator>
#include <cmath>
#include <map>
#include <set>

using namespace rv;

namespace {

const QString kId = QStringLiteral("201175001");

class KeptSeries : public test::SuppliedOnEngine {
protected:
    KeptSeries() : SuppliedOnEngine(false) {}
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
    // Both engines keep blocks: by the connection's triggers or by the table's own.
    bool keeps() const { return true; }
    // A text in a number column where the engine keeps one; the server keeps its number.
    QVariant textValue() const { return server() ? QVariant(12.5) : QVariant(QStringLiteral("12.5 bar")); }
    // The SQL of a FullDate moved by a number of hours (a parameter), kept in the written form.
    QString movedFullDate() const
    {
        return server() ? QStringLiteral("to_char(CAST(FullDate AS timestamp) + CAST(? AS integer) * interval '1 hour', "
                                         "'YYYY-MM-DD HH24:MI:SS')")
                        : QStringLiteral("datetime(FullDate, ? || ' hours')");
    }

    QString table() const { return Database::quoteId(kId); }

    // A reading hours after the first of 2024; its FullDate in the written form unless told.
    void add(int hours, const QVariant& ch1, const QVariant& ch4, const QVariant& isDirty = 1, const QString& fullDate = {})
    {
        const QDateTime m = QDateTime(QDate(2024, 1, 1), QTime(8, 0), Qt::UTC).addSecs(3600LL * hours);
        const QString date = m.toString(QStringLiteral("yyyy/MM/dd")), time = m.toString(QStringLiteral("HH:mm:ss"));
        db->exec(QStringLiteral("INSERT INTO ") + table()
                     + QStringLiteral(" (DateTimeKey, ReadingDate, ReadingTime, FullDate, Channel1, Channel2, Channel4, "
                                      "ChannelT, Plottemporal, PlotSpatial, IsDirty) VALUES (?, ?, ?, ?, ?, ?, ?, 20, 1, 0, ?)"),
                 {kId + QLatin1Char(' ') + date + QLatin1Char(' ') + time, date, time,
                  fullDate.isEmpty() ? m.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : fullDate, ch1, ch1, ch4, isDirty});
    }

    // Readings every three hours.
    void fill(int n)
    {
        Transaction tx(*db);
        for (int h = 0; h < n; ++h)
            add(h * 3, h, h * 2);
        tx.commit();
    }

    void pass(double k)
    {
        ReadingStore store(*db, kId);
        storedPass(store, k);
    }

    ChartData chart(int pixels)
    {
        ReadingStore store(*db, kId);
        return readChartData(store, allChartFields(), pixels, store.markedSpan());
    }

    QStringList differences()
    {
        ReadingStore store(*db, kId);
        return SeriesStore(*db, kId).differences(store);
    }
};

// What concerns only a connection with triggers of its own (see Database::watchesByOwnTriggers).
class KeptSeriesOnFile : public KeptSeries {};

} // namespace

// Whatever the program does to the readings, and after a restart, the blocks kept after a pass
// (and after a chart read them) are those built afresh from the table: the pass and this
// connection's triggers mark stale what they change, and another program's commit drops them.
TEST_P(KeptSeries, KeptBlocksEqualBlocksBuiltAfreshAfterRandomChanges)
{
    SeriesStore::setSizing({32, 20});
    QRandomGenerator rng(23);
    const auto pick = [&](int n) { return int(rng.bounded(quint32(n))); };
    const auto value = [&]() -> QVariant {
        switch (pick(6)) {
        case 0: return QVariant();
        case 1: return textValue();
        default: return pick(4000) / 8.0 - 100;
        }
    };
    const double ks[] = {25, 25, 25, 0, 12.5};
    double k = 25;
    int hour = 0;
    {
        Transaction tx(*db);
        for (; hour < 300; ++hour)
            add(hour * 3, value(), value());
        tx.commit();
    }
    pass(k);
    ASSERT_FALSE(chart(6).fromBlocks); // builds them
    ASSERT_EQ(chart(6).fromBlocks, keeps());
    int fromBlocks = 0, checked = 0;
    for (int step = 0; step < 400; ++step) {
        const QString some = QStringLiteral(" WHERE rowid IN (SELECT rowid FROM ") + table()
                             + QStringLiteral(" ORDER BY random() LIMIT ") + QString::number(1 + pick(3)) + QLatin1Char(')');
        switch (pick(24)) {
        case 0: case 1: case 2: add(3 * hour++, value(), value(), pick(2) ? QVariant(1) : QVariant()); break;
        case 3: add(3 * pick(hour) + 1, value(), value(), 0); break; // clean: no pass computes it
        case 4: case 5:
            db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Channel1 = ?, ChannelT = ?") + some, {value(), value()});
            break;
        case 6: case 7: db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Plottemporal = 1 - Plottemporal") + some); break;
        case 8: case 9: db->exec(QStringLiteral("DELETE FROM ") + table() + some); break;
        case 10: case 11: // moved in time
            db->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET FullDate = ") + movedFullDate() + some
                         + QStringLiteral(" AND FullDate NOT LIKE '%/%'"),
                     {pick(200) - 100});
            break;
        case 12:
            db.reset();
            db = openAgain();
            break;
        case 13: k = ks[pick(5)]; break;
        case 14: {
            auto other = openAgain();
            other->exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET Channel2 = ?") + some, {value()});
            break;
        }
        case 15: add(-1 - pick(50), value(), value()); break; // before the first block
        case 16: // a FullDate in another form: no blocks while it is there
            if (pick(2) == 0)
                add(3 * hour++ + 2, value(), value(), 1, QStringLiteral("2030/01/01 08:00:00"));
            else
                db->exec(QStringLiteral("DELETE FROM ") + table() + QStringLiteral(" WHERE FullDate LIKE '%/%'"));
            break;
        default: break;
        }
        if (pick(3) == 0) {
            pass(k);
            EXPECT_EQ(differences(), QStringList()) << "step " << step << " after the pass";
            if (pick(2) == 0) {
                fromBlocks += chart(6).fromBlocks;
                EXPECT_EQ(differences(), QStringList()) << "step " << step << " after a chart";
            }
            ++checked;
        }
    }
    EXPECT_GT(fromBlocks, keeps() ? 20 : -1);
    EXPECT_GT(checked, 50);
}

// A chart read from the blocks against the whole series thinned: every point drawn is a real
// reading where it belongs; each pixel column's lowest and highest value drawn is the true one
// unless that lies in a block that straddles the column's edge (the one-block edge effect);
// counts and the time axis are exact.
TEST_P(KeptSeries, AChartFromBlocksDrawsEachColumnsExtremesUpToTheBlocksAtItsEdges)
{
    SeriesStore::setSizing({600, 1000});
    QRandomGenerator random(5);
    {
        Transaction tx(*db);
        for (int h = 0; h < 6000; ++h)
            add(h, random.bounded(1000) / 4.0 + (h % 700 == 0 ? 5000 : 0),
                random.bounded(40) == 0 ? QVariant() : QVariant(random.bounded(300)));
        tx.commit();
    }
    pass(25);
    ReadingStore store(*db, kId);
    const ReadingColumns all = store.markedColumns();
    ASSERT_FALSE(chart(100).fromBlocks); // the first read builds the blocks
    const std::optional<SeriesGeometry> g = SeriesStore(*db, kId).geometry();
    ASSERT_TRUE(g);
    const ChartData rows = chart(10000); // too few blocks to a column: read as rows, exact
    EXPECT_FALSE(rows.fromBlocks);
    for (const int pixels : {60, 100, 140}) {
        const ChartData kept = chart(pixels);
        ASSERT_TRUE(kept.fromBlocks) << pixels;
        EXPECT_EQ(kept.readings, all.size());
        for (const ChartDef& def : chartDefs()) {
            const BuiltChart whole = buildChart(def, chartData(store.markedColumns(chartFields(def))));
            const BuiltChart built = buildChart(def, kept);
            ASSERT_EQ(built.time.min, whole.time.min);
            ASSERT_EQ(built.time.max, whole.time.max);
            const double perPixel = (built.time.max - built.time.min) / pixels;
            const auto column = [&](double x) { return qint64(std::floor((x - built.time.min) / perPixel)); };
            for (int s = 0; s < def.series.size(); ++s) {
                EXPECT_EQ(built.pointCounts[s], whole.series[s].size());
                // Per block, the columns its points fall in; per column, the true and the drawn
                // extremes, and the extremes of the readings outside straddling blocks.
                std::map<qint64, std::set<qint64>> columnsOfBlock;
                for (const QPointF& p : whole.series[s])
                    columnsOfBlock[g->blockOf(qint64(p.x() / 1000))].insert(column(p.x()));
                struct Extremes {
                    double low = INFINITY, high = -INFINITY;
                    void take(double y) { low = std::min(low, y), high = std::max(high, y); }
                };
                std::map<qint64, Extremes> truth, inner, drawn;
                std::set<std::pair<double, double>> real;
                for (const QPointF& p : whole.series[s]) {
                    truth[column(p.x())].take(p.y());
                    if (columnsOfBlock[g->blockOf(qint64(p.x() / 1000))].size() == 1)
                        inner[column(p.x())].take(p.y());
                    real.insert({p.x(), p.y()});
                }
                int exactColumns = 0;
                for (const QPointF& p : built.series[s]) {
                    EXPECT_TRUE(real.count({p.x(), p.y()})) << "a point drawn that is no reading";
                    drawn[column(p.x())].take(p.y());
                }
                for (const auto& [c, t] : truth) {
                    const Extremes& d = drawn[c];
                    const Extremes i = inner.count(c) ? inner.at(c) : Extremes();
                    EXPECT_GE(d.low, t.low);
                    EXPECT_LE(d.low, i.low) << def.name << " series " << s << " column " << c;
                    EXPECT_LE(d.high, t.high);
                    EXPECT_GE(d.high, i.high) << def.name << " series " << s << " column " << c;
                    exactColumns += d.low == t.low && d.high == t.high;
                }
                EXPECT_GT(exactColumns, int(truth.size()) / 2);
            }
        }
    }
}

// A point drawn, thinned from the blocks or from the rows, for every field at once or one chart's,
// comes with what its line shows of its reading: the field's value, the raw channels it derives
// from and their zeroed values, as stored.
TEST_P(KeptSeries, ADrawnPointComesWithTheStoredValuesItsLineShows)
{
    SeriesStore::setSizing({600, 1000});
    QRandomGenerator random(11);
    {
        Transaction tx(*db);
        for (int h = 0; h < 3000; ++h)
            add(h, random.bounded(1000) / 4.0, random.bounded(30) == 0 ? QVariant() : QVariant(random.bounded(300)));
        tx.commit();
    }
    pass(25);
    ReadingStore store(*db, kId);
    const ReadingColumns all = store.markedColumns();
    QHash<qint64, int> at;
    for (int i = 0; i < all.size(); ++i)
        at.insert(all.rowids[i], i);
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    ASSERT_FALSE(chart(100).fromBlocks); // builds the blocks
    for (const int pixels : {100, 10000}) {
        for (const ChartDef& def : chartDefs()) {
            for (const bool allFields : {true, false}) {
                const ChartData d = readChartData(store, allFields ? allChartFields() : chartFields(def), pixels, store.markedSpan());
                EXPECT_EQ(d.fromBlocks, pixels == 100);
                const ReadingColumns& c = d.columns;
                for (const SeriesSpec& s : def.series) {
                    const QVector<int>& drawn = d.drawn[size_t(s.field)];
                    ASSERT_FALSE(drawn.isEmpty()) << def.name << ' ' << s.title;
                    for (const int r : drawn) {
                        const int i = at.value(c.rowids[r], -1);
                        ASSERT_GE(i, 0);
                        ASSERT_TRUE(same(fieldColumn(c, s.field).value(r, 1e99), fieldColumn(all, s.field)[i]))
                            << def.name << ' ' << s.title << " pixels " << pixels;
                        for (const int ch : sourceChannels(s.field)) {
                            const auto& raw = ch == 0 ? c.temperatures : c.channels[size_t(ch - 1)];
                            ASSERT_TRUE(same(raw.value(r, 1e99), ch == 0 ? all.temperatures[i] : all.channels[size_t(ch - 1)][i]))
                                << def.name << ' ' << s.title << " channel " << ch;
                            if (ch > 0) {
                                ASSERT_TRUE(same(c.zeroed[size_t(ch - 1)].value(r, 1e99), all.zeroed[size_t(ch - 1)][i]))
                                    << def.name << ' ' << s.title << " channel " << ch;
                            }
                        }
                    }
                }
            }
        }
    }
}

// A table overwritten (dropped and made anew under its name) keeps nothing of the old one's
// blocks, though the program closes before a pass and the new readings begin as the old did.
TEST_P(KeptSeries, ATableMadeAnewKeepsNoneOfTheOldBlocks)
{
    SeriesStore::setSizing({32, 20});
    fill(300);
    pass(25);
    ASSERT_FALSE(chart(6).fromBlocks);
    ASSERT_EQ(chart(6).fromBlocks, keeps());
    {
        Transaction tx(*db);
        dropReadingTable(*db, kId);
        createReadingTable(*db, kId);
        tx.commit();
    }
    fill(150);
    db.reset();
    db = openAgain();
    pass(25);
    const ChartData c = chart(6);
    EXPECT_EQ(c.readings, 150) << c.fromBlocks;
    EXPECT_EQ(differences(), QStringList());
}

// Stale blocks are computed by the geometry read before, unless the blocks stored now have another
// (made anew by another program since): then none is written by the old one.
TEST_P(KeptSeries, StaleBlocksAreComputedOnlyByTheGeometryStoredNow)
{
    SeriesStore::setSizing({32, 20});
    fill(300);
    pass(25);
    ASSERT_FALSE(chart(6).fromBlocks);
    SeriesStore series(*db, kId);
    const std::optional<SeriesGeometry> g = series.geometry();
    ASSERT_TRUE(g);
    db->exec(QStringLiteral("UPDATE ChartBlocks SET Summary = NULL, Readings = NULL WHERE InstrumentID = ? AND Block = "
                            "(SELECT min(Block) FROM ChartBlocks WHERE InstrumentID = ?)"),
             {kId, kId});
    const auto stale = [&] {
        return db->query(QStringLiteral("SELECT count(*) FROM ChartBlocks WHERE Summary IS NULL")).value(0).value(0).toInt();
    };
    ReadingStore store(*db, kId);
    EXPECT_FALSE(series.refresh(store, SeriesGeometry{g->origin + 1, g->width}));
    EXPECT_FALSE(series.refresh(store, SeriesGeometry{g->origin, g->width * 2}));
    EXPECT_EQ(stale(), 1);
    EXPECT_TRUE(series.refresh(store, *g));
    EXPECT_EQ(stale(), 0);
    EXPECT_EQ(differences(), QStringList());
}

// Another program, without this one's triggers, deletes readings while this one is closed: the
// blocks are not read as they were.
TEST_P(KeptSeriesOnFile, ReadingsDeletedByAnotherProgramWhileClosedAreNotDrawnFromTheBlocks)
{
    SeriesStore::setSizing({32, 20});
    {
        Transaction tx(*db);
        for (int h = 0; h < 300; ++h)
            add(h * 3, h, h * 2);
        tx.commit();
    }
    pass(25);
    ASSERT_FALSE(chart(6).fromBlocks);
    ASSERT_TRUE(chart(6).fromBlocks);
    db.reset();
    {
        auto other = openAgain();
        for (const QVariantList& t : other->query(QStringLiteral("SELECT name FROM sqlite_temp_master WHERE type = 'trigger'")))
            other->exec(QStringLiteral("DROP TRIGGER temp.") + Database::quoteId(t.value(0).toString()));
        other->exec(QStringLiteral("DELETE FROM ") + table() + QStringLiteral(" WHERE rowid BETWEEN 100 AND 200"));
    }
    db = openAgain();
    pass(25);
    EXPECT_EQ(chart(6).readings, 199);
    EXPECT_EQ(differences(), QStringList());
    EXPECT_TRUE(chart(6).fromBlocks); // built again
    // Without another program, the next session reads them, though this one added and deleted
    // readings before its first chart.
    db.reset();
    db = openAgain();
    {
        ReadingStore store(*db, kId);
        Reading r;
        r.moment = QDateTime(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC);
        r.channels[0] = 7;
        r.plotTemporal = true;
        ASSERT_EQ(store.insert({r}).inserted, 1);
    }
    db->exec(QStringLiteral("DELETE FROM ") + table() + QStringLiteral(" WHERE rowid BETWEEN 20 AND 29"));
    pass(25);
    const ChartData kept = chart(6);
    EXPECT_TRUE(kept.fromBlocks);
    EXPECT_EQ(kept.readings, 190);
    EXPECT_EQ(differences(), QStringList());
}

RV_ON_BOTH_ENGINES(KeptSeries);
INSTANTIATE_TEST_SUITE_P(File, KeptSeriesOnFile, ::testing::Values(test::Engine::Sqlite), test::engineName);
