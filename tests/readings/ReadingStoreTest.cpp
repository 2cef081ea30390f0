#include "readings/domain/ReadingStore.h"

#include "DatasheetTestData.h"
#include "db/RecordSet.h"

#include <QRandomGenerator>
#include <QSet>

#include <cmath>
#include <random>

using namespace rv;
using namespace rv::readingForms;

namespace {
QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}
} // namespace

TEST(ReadingForms, FullDateIsWrittenInOneFormAndReadInEveryStoredForm)
{
    EXPECT_EQ(fullDateText(at(2024, 3, 5, 14, 7, 9)), QStringLiteral("2024-03-05 14:07:09"));
    const QDateTime m = at(2024, 3, 5, 14, 7, 9);
    for (const char* text : {"2024-03-05 14:07:09", "2024/03/05 14:07:09", "2024-03-05T14:07:09",
                             "2024-03-05T14:07:09.250Z", " 2024-3-5 14:07:09 "})
        EXPECT_EQ(parseFullDate(QString::fromLatin1(text)), m) << text;
    EXPECT_EQ(parseFullDate(QStringLiteral("2024-03-05 14:07")), at(2024, 3, 5, 14, 7));
    EXPECT_EQ(parseFullDate(QStringLiteral("2024/03/05")), at(2024, 3, 5));
    // A serial date as a converted Access file holds it: days since 1899-12-30, noon = .5
    const double serial = QDate(1899, 12, 30).daysTo(QDate(2024, 3, 5)) + 0.5;
    EXPECT_EQ(parseFullDate(serial), at(2024, 3, 5, 12));
    EXPECT_EQ(parseFullDate(parseFullDate(QStringLiteral("2024-03-05 14:07:09"))), m);
    for (const char* bad : {"", "abc", "2024-13-01 10:00:00", "2024-03-05 25:00:00", "05/03/2024 10:00:00"})
        EXPECT_FALSE(parseFullDate(QString::fromLatin1(bad)).isValid()) << bad;
    EXPECT_FALSE(parseFullDate(QVariant()).isValid());
    // An unreadable FullDate falls back on the date and time texts.
    EXPECT_EQ(momentOf(QVariant(), QStringLiteral("2024/03/05"), QStringLiteral("14:07:09")), m);
    EXPECT_EQ(momentOf(QStringLiteral("x"), QStringLiteral("2024/03/05"), QStringLiteral("14:07:09")), m);
    EXPECT_FALSE(momentOf(QVariant(), QStringLiteral("x"), QStringLiteral("14:07:09")).isValid());
}

TEST(ReadingForms, NumberFieldsReadNullAndBlankAsNothingAndTextByItsLeadingNumber)
{
    EXPECT_FALSE(number(QVariant()).has_value());
    EXPECT_FALSE(number(QStringLiteral("  ")).has_value());
    EXPECT_EQ(number(QStringLiteral(" 12.30")), 12.3);
    EXPECT_EQ(number(QStringLiteral("7abc")), 7.0);
    EXPECT_EQ(number(QStringLiteral("abc")), 0.0);
    EXPECT_EQ(number(QVariant(qint64(5))), 5.0);
    EXPECT_EQ(number(QVariant(-3.25)), -3.25);
}

class ReadingStoreTest : public testdata::ReadingTable {
protected:
    ReadingStore store() { return ReadingStore(*db, table); }
    Reading reading(const QDateTime& moment, double ch1)
    {
        Reading r;
        r.moment = moment;
        r.channels[0] = ch1;
        return r;
    }
    // Makes any write of the table fail when it touches Channel1 = 666 (update) or inserts one.
    void failOn666()
    {
        refuse(QStringLiteral("UPDATE"), QStringLiteral("OLD.Channel1 = 666"));
        refuse(QStringLiteral("INSERT"), QStringLiteral("NEW.Channel1 = 666"));
    }
};

TEST_P(ReadingStoreTest, MarkedReadingsComeAsColumnsInDateOrderWithNullsAsNaN)
{
    add(QStringLiteral("2024/03/06"), QStringLiteral("08:00:00"), {21.5, 130.0, QVariant()});
    add(QStringLiteral("2024/03/05"), QStringLiteral("08:00:00"), {QVariant(), QStringLiteral("120.50"), 4.0});
    add(QStringLiteral("2024/03/04"), QStringLiteral("08:00:00"), {1.0, 1.0}, /*temporal*/ false);
    db->exec(QStringLiteral("INSERT INTO \"201175001\" (DateTimeKey, FullDate, Plottemporal) VALUES ('n', "
                            "'2024-01-01 00:00:00', NULL)"));

    const ReadingColumns c = store().markedColumns();
    ASSERT_EQ(c.size(), 2);
    EXPECT_EQ(c.moments[0], at(2024, 3, 5, 8));
    EXPECT_EQ(c.moments[1], at(2024, 3, 6, 8));
    EXPECT_TRUE(std::isnan(c.temperatures[0]));
    EXPECT_EQ(c.temperatures[1], 21.5);
    EXPECT_EQ(c.channels[0][0], 120.5);
    EXPECT_EQ(c.channels[1][0], 4.0);
    EXPECT_TRUE(std::isnan(c.channels[1][1]));
    EXPECT_TRUE(std::isnan(c.zeroed[0][0]));
    EXPECT_LT(c.rowids[1], c.rowids[0]);

    const auto [first, last] = store().markedEnds();
    EXPECT_EQ(first->moment, at(2024, 3, 5, 8));
    EXPECT_EQ(last->moment, at(2024, 3, 6, 8));
    EXPECT_EQ(store().readings().size(), 4);
    // Only the fields a chart asks for; the others stay empty.
    const ReadingColumns some = store().markedColumns({QStringLiteral("channel2"), QStringLiteral("ChannelT")});
    ASSERT_EQ(some.size(), 2);
    EXPECT_EQ(some.channels[1][0], 4.0);
    EXPECT_EQ(some.temperatures[1], 21.5);
    EXPECT_TRUE(some.channels[0].isEmpty());
    EXPECT_TRUE(some.zeroed[0].isEmpty());
}

TEST_P(ReadingStoreTest, NoMarkedReadingGivesNothing)
{
    add(QStringLiteral("2024/03/04"), QStringLiteral("08:00:00"), {}, false);
    EXPECT_FALSE(store().markedEnds().first.has_value());
    EXPECT_FALSE(store().markedEnds().second.has_value());
    EXPECT_EQ(store().markedColumns().size(), 0);
}

TEST_P(ReadingStoreTest, ComputedValuesAreWrittenOnceAndUnchangedRowsAreLeftAlone)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("08:00:00"), {QVariant(), 120.5});
    add(QStringLiteral("2024/03/06"), QStringLiteral("08:00:00"), {QVariant(), 130.0});
    ReadingStore s = store();
    QVector<ComputedValues> rows;
    for (const qint64 rowid : s.markedColumns().rowids) {
        ComputedValues v;
        v.rowid = rowid;
        v.zeroed.fill(0.0);
        v.numTemp = 0.0;
        v.loads = {1.0, 2.0, std::nullopt, 3.0};
        rows.append(v);
    }
    rows[1].zeroed[0] = 9.5;
    EXPECT_EQ(s.writeComputed(rows), 2);
    EXPECT_EQ(s.writeComputed(rows), 0);
    const ReadingColumns c = s.markedColumns();
    EXPECT_EQ(c.zeroed[0][1], 9.5);
    EXPECT_EQ(c.loads[3][0], 3.0);
    EXPECT_TRUE(std::isnan(c.loads[2][0]));

    // A failed load computation keeps the stored loads.
    rows[0].writeLoads = false;
    rows[0].loads = {};
    rows[0].zeroed[1] = 4.0;
    EXPECT_EQ(s.writeComputed(rows), 1);
    EXPECT_EQ(s.markedColumns().loads[0][0], 1.0);
    EXPECT_EQ(s.markedColumns().zeroed[1][0], 4.0);
}

TEST_P(ReadingStoreTest, AFailedComputedWriteLeavesTheTableAsItWas)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("08:00:00"), {QVariant(), 1.0});
    add(QStringLiteral("2024/03/06"), QStringLiteral("08:00:00"), {QVariant(), 666.0});
    failOn666();
    ReadingStore s = store();
    QVector<ComputedValues> rows;
    for (const qint64 rowid : s.markedColumns().rowids) {
        ComputedValues v;
        v.rowid = rowid;
        v.zeroed.fill(5.0);
        rows.append(v);
    }
    EXPECT_NE(testdata::errorOf([&] { s.writeComputed(rows); }), 0);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM \"201175001\" WHERE zero1 IS NOT NULL")).toInt(), 0);
    EXPECT_FALSE(db->inTransaction());
}

TEST_P(ReadingStoreTest, InsertRefusesKeysOfTheTableAndOfEarlierReadingsInTheBatch)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("08:00:00"));
    Reading a = reading(at(2024, 3, 5, 8), 1.0);   // in the table
    Reading b = reading(at(2024, 3, 6, 9, 5), 2.0);
    b.temperature = 21.5;
    Reading c = reading(at(2024, 3, 6, 9, 5), 3.0); // same second as b
    Reading d = reading(at(2024, 3, 7, 0, 0, 1), 4.0);
    d.plotTemporal = false;
    const InsertOutcome out = store().insert({a, b, c, d});
    EXPECT_EQ(out.inserted, 2);
    EXPECT_EQ(out.refusedKeys, QStringList({QStringLiteral("201175001 2024/03/05 08:00:00"),
                                            QStringLiteral("201175001 2024/03/06 09:05:00")}));
    EXPECT_EQ(out.refusedIndex, QVector<int>({0, 2}));
    EXPECT_EQ(count(), 3);

    const auto row = db->query(QStringLiteral(
        "SELECT DateTimeKey, ReadingDate, ReadingTime, FullDate, ChannelT, Channel1, Channel2, IsDirty, PlotSpatial, "
        "Plottemporal FROM \"201175001\" WHERE Channel1 = 2"));
    ASSERT_EQ(row.size(), 1);
    EXPECT_EQ(row[0], QVariantList({QStringLiteral("201175001 2024/03/06 09:05:00"), QStringLiteral("2024/03/06"),
                                    QStringLiteral("09:05:00"), QStringLiteral("2024-03-06 09:05:00"), 21.5, 2.0,
                                    QVariant(), qint64(1), qint64(0), qint64(1)}));
    EXPECT_TRUE(store().keyExists(QStringLiteral("201175001 2024/03/07 00:00:01")));
    EXPECT_EQ(store().markedEnds().second->channels[0], 2.0);
}

// The keys are checked as numbers: every refusal must still be that of the key texts.
TEST_P(ReadingStoreTest, InsertRefusesByKeyTextOverManyReadingsInAnyOrder)
{
    QSet<QString> taken;
    const auto stored = [&](const QString& key) {
        db->exec(QStringLiteral("INSERT INTO \"201175001\" (DateTimeKey) VALUES (?)"), {key});
        taken.insert(key);
    };
    stored(QStringLiteral("201175001 2024/03/05 08:00:00"));
    stored(QStringLiteral("201175001 2024/3/5 09:00:00"));   // no key this program writes
    stored(QStringLiteral("201175002 2024/03/05 10:00:00")); // another sensor's
    stored(store().keyOf(QDateTime()));                      // that of a reading without a moment
    stored(QString());
    db->exec(QStringLiteral("INSERT INTO \"201175001\" (DateTimeKey) VALUES (NULL)"));

    // Two days of minutes in random order, many twice, some with milliseconds (the same key).
    QVector<Reading> batch;
    QRandomGenerator random(19);
    const QDateTime start = at(2024, 3, 5, 7);
    for (int i = 0; i < 20000; ++i) {
        QDateTime moment = start.addSecs(60LL * (i < 10000 ? i : random.bounded(2 * 24 * 60)));
        if (random.bounded(10) == 0)
            moment = moment.addMSecs(250);
        batch.push_back(reading(moment, i));
    }
    std::shuffle(batch.begin() + 5000, batch.end(), std::mt19937(7));
    batch.insert(100, reading(at(2024, 3, 5, 9), 1.0));
    batch.insert(200, reading(at(2024, 3, 5, 10), 1.0));
    batch.insert(300, reading(QDateTime(), 1.0));

    InsertOutcome expected;
    QVector<QVariantList> rows; // as they are to be stored, in the order given
    for (int i = 0; i < batch.size(); ++i) {
        const QString key = store().keyOf(batch[i].moment);
        if (taken.contains(key)) {
            expected.refusedKeys << key;
            expected.refusedIndex << i;
        } else {
            taken.insert(key);
            ++expected.inserted;
            rows.push_back({key, *batch[i].channels[0]});
        }
    }
    const int before = count();
    const InsertOutcome out = store().insert(batch);
    EXPECT_EQ(out.inserted, expected.inserted);
    EXPECT_EQ(out.refusedIndex, expected.refusedIndex);
    EXPECT_EQ(out.refusedKeys, expected.refusedKeys);
    EXPECT_EQ(count(), before + expected.inserted);
    // Written several to a statement: each reading whole, in its own row, in the order given.
    EXPECT_EQ(db->query(QStringLiteral("SELECT DateTimeKey, Channel1 FROM \"201175001\" WHERE Channel1 IS NOT NULL "
                                       "ORDER BY rowid")),
              rows);
    EXPECT_GT(expected.inserted, 2000);
    EXPECT_GT(expected.refusedIndex.size(), 2000);

    // Again, without writing: everything is refused, and nothing is written.
    const ReadingStore readings = store();
    ReadingStore::Insertion dry(readings, false);
    for (const Reading& r : batch)
        EXPECT_FALSE(dry.add(r));
    EXPECT_EQ(count(), before + expected.inserted);
}

TEST_P(ReadingStoreTest, AFailedInsertLeavesTheTableAsItWas)
{
    failOn666();
    EXPECT_NE(testdata::errorOf([&] {
        store().insert({reading(at(2024, 3, 5, 8), 1.0), reading(at(2024, 3, 6, 8), 666.0)});
    }), 0);
    EXPECT_EQ(count(), 0);
}

TEST_P(ReadingStoreTest, TheTabsSetIsInDateOrderAndAReadingIsFoundByKeyWithoutMovingIt)
{
    add(QStringLiteral("2024/03/06"), QStringLiteral("08:00:00"), {21.5, QStringLiteral("130.25")});
    add(QStringLiteral("2024/03/05"), QStringLiteral("08:00:00"), {QVariant(), 4.0});
    auto rs = store().openAll();
    ASSERT_EQ(rs->recordCount(), 2);
    EXPECT_EQ(rs->absolutePosition(), 1);
    ShownReading first = ReadingStore::shown(*rs);
    EXPECT_EQ(first.key, QStringLiteral("201175001 2024/03/05 08:00:00"));
    EXPECT_EQ(first.temperature, QString()); // Null shows as nothing
    EXPECT_EQ(first.channels.size(), 6);
    EXPECT_EQ(first.channels[0], QStringLiteral("4"));

    rs->moveLast();
    const qint64 last = rs->bookmark();
    EXPECT_EQ(store().rowidOfKey(first.key), first.rowid);
    EXPECT_EQ(store().rowidOfKey(QStringLiteral("201175001 2024/03/07 08:00:00")), 0);
    EXPECT_EQ(rs->bookmark(), last);

    // Re-keyed before the other one: all four forms of the moment follow, and the order.
    rs->setBookmark(first.rowid);
    store().setMoment(*rs, QDate(2024, 3, 7), QTime(9, 30, 15));
    rs->update();
    rs->requery();
    rs->moveLast();
    const ShownReading moved = ReadingStore::shown(*rs);
    EXPECT_EQ(moved.rowid, first.rowid);
    EXPECT_EQ(moved.key, QStringLiteral("201175001 2024/03/07 09:30:15"));
    EXPECT_EQ(moved.date, QDate(2024, 3, 7));
    EXPECT_EQ(moved.time, QTime(9, 30, 15));
    EXPECT_EQ(rs->text(QStringLiteral("FullDate")), QStringLiteral("2024-03-07 09:30:15"));

    // Date and time texts unreadable: the moment comes from FullDate; all unreadable: 13.
    db->exec(QStringLiteral("UPDATE \"201175001\" SET ReadingDate = 'x', ReadingTime = NULL WHERE rowid = ?"), {first.rowid});
    rs->requery();
    rs->moveLast();
    EXPECT_EQ(ReadingStore::shown(*rs).date, QDate(2024, 3, 7));
    EXPECT_EQ(ReadingStore::shown(*rs).time, QTime(9, 30, 15));
    db->exec(QStringLiteral("UPDATE \"201175001\" SET FullDate = 'x' WHERE rowid = ?"), {first.rowid});
    rs->requery();
    rs->setBookmark(first.rowid);
    try {
        ReadingStore::shown(*rs);
        ADD_FAILURE() << "no error";
    } catch (const RvError& e) {
        EXPECT_EQ(e.number, 13);
    }
}

// The moment a key names is looked up through the date index; the key itself decides: an older
// file's FullDate written in another form, and a moment whose reading holds another key.
TEST_P(ReadingStoreTest, AReadingIsFoundByItsKeyWhateverFormItsFullDateHas)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("08:00:00"));
    const QString older = QStringLiteral("201175001 2024/03/01 08:00:00");
    db->exec(QStringLiteral("INSERT INTO \"201175001\" (DateTimeKey, FullDate) VALUES (?, '2024/03/01 08:00'), "
                            "('201175001 2024/03/02 08:00', '2024-03-02 08:00:00')"),
             {older});
    const auto rowidWhere = [&](const QString& condition) {
        return scalar(QStringLiteral("SELECT rowid FROM \"201175001\" WHERE ") + condition).toLongLong();
    };
    EXPECT_EQ(store().rowidOfKey(QStringLiteral("201175001 2024/03/05 08:00:00")), rowidWhere(QStringLiteral("FullDate = '2024-03-05 08:00:00'")));
    EXPECT_EQ(store().rowidOfKey(older), rowidWhere(QStringLiteral("FullDate = '2024/03/01 08:00'")));
    EXPECT_EQ(store().rowidOfKey(QStringLiteral("201175001 2024/03/02 08:00:00")), 0);
    EXPECT_EQ(store().rowidOfKey(QStringLiteral("201175001 2024/03/02 08:00")), rowidWhere(QStringLiteral("FullDate = '2024-03-02 08:00:00'")));
    EXPECT_EQ(store().rowidOfKey(QStringLiteral("201175002 2024/03/05 08:00:00")), 0);
}

// The key, the date and time texts and FullDate come from one function, and a moment assigned to
// a record set's field is stored in the same FullDate form, so that the readings tab and the
// import never write two forms of one moment.
TEST_P(ReadingStoreTest, OneMomentGivesTheSameStoredFormsThroughTheStoreAndThroughARecordSet)
{
    const QDateTime m = at(2024, 3, 5, 14, 7, 9);
    const StoredMoment f = store().formsOf(m);
    EXPECT_EQ(f.key, QStringLiteral("201175001 2024/03/05 14:07:09"));
    EXPECT_EQ(f.key, store().keyOf(m));
    EXPECT_EQ(f.date, QStringLiteral("2024/03/05"));
    EXPECT_EQ(f.time, QStringLiteral("14:07:09"));
    EXPECT_EQ(f.fullDate, QStringLiteral("2024-03-05 14:07:09"));

    RecordSet rs(*db, QStringLiteral("SELECT * FROM \"201175001\""));
    for (const QDateTime& moment : {m, at(12, 1, 2, 3, 4, 5), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9, 999), Qt::UTC)}) {
        rs.addNew();
        rs.setValue(readingField::fullDate, moment);
        rs.setValue(readingField::readingDate, moment.date());
        rs.update();
        EXPECT_EQ(rs.text(readingField::fullDate), store().formsOf(moment).fullDate);
        EXPECT_EQ(rs.text(readingField::readingDate), store().formsOf(moment).date);
    }
}

// A chart names its columns by a typed field; it gets exactly the columns the store names so.
TEST_P(ReadingStoreTest, TypedChartFieldsReadTheirOwnColumnsOnly)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("08:00:00"), {1.0, 2.0});
    add(QStringLiteral("2024/03/06"), QStringLiteral("08:00:00"), {1.0, 3.0});
    store().writeComputed({ComputedValues{1, {5.0, 6.0}, 20.0, true, {7.0, 8.0, 9.0, 10.0}}});
    const ReadingColumns c = store().markedColumns({ComputedField::Zero2, ComputedField::Load5, ComputedField::NumTemp});
    ASSERT_EQ(c.size(), 2);
    EXPECT_EQ(c.zeroed[1][0], 6.0);
    EXPECT_EQ(c.loads[3][0], 10.0);
    EXPECT_EQ(c.numTemps[0], 20.0);
    EXPECT_TRUE(c.zeroed[0].isEmpty());
    EXPECT_TRUE(c.loads[0].isEmpty());
    EXPECT_TRUE(c.channels[0].isEmpty());
}

// A table from an older program may lack computed columns: its readings are read all the same.
TEST_P(ReadingStoreTest, AValueColumnTheTableLacksReadsAsNothing)
{
    db->exec(QStringLiteral("ALTER TABLE ") + Database::quoteId(table) + QStringLiteral(" DROP COLUMN zero10"));
    add(QStringLiteral("2024/03/05"), QStringLiteral("08:00:00"), {20.0, 1.0});
    const std::optional<Reading> r = store().markedEnds().first;
    ASSERT_TRUE(r);
    EXPECT_EQ(r->channels[0], 1.0);
    EXPECT_FALSE(r->zeroed[9].has_value());
    EXPECT_EQ(store().readings().size(), 1);
}

RV_ON_BOTH_ENGINES(ReadingStoreTest);
