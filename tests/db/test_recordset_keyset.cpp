// The record set's behaviour, once more for a keyset that reads its rows on demand.
#include "DbFixture.h"

class KeysetDbTest : public DbTest {
protected:
    std::unique_ptr<rv::RecordSet> readings()
    {
        auto rs = std::make_unique<rv::RecordSet>(*db, QStringLiteral("SELECT * FROM `123475001` ORDER BY FullDate"),
                                                  QVariantList(), rv::RecordSet::Keyset());
        EXPECT_TRUE(rs->isKeyset());
        return rs;
    }

    // Readings on many days (Channel1 = row number), more than the keyset keeps read.
    void addManyReadings(int count)
    {
        rv::Transaction tx(*db);
        for (int i = 0; i < count; ++i) {
            const QString moment = QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC)
                                       .addSecs(qint64(i) * 60)
                                       .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            db->exec(QStringLiteral("INSERT INTO \"123475001\" (DateTimeKey, Channel1, FullDate) VALUES (?, ?, ?)"),
                     {QStringLiteral("k") + QString::number(i), i + 1, moment});
        }
        tx.commit();
    }
};

#define DbTest KeysetDbTest
#include "test_recordset.cpp"
#undef DbTest

TEST_F(KeysetDbTest, RowsReadAgainAfterTheCacheLetThemGoKeepTheirEdits)
{
    addManyReadings(3000);
    auto rs = readings();
    ASSERT_EQ(rs->recordCount(), 3000);
    const int channel1 = rs->fieldIndex("Channel1");
    rs->setAbsolutePosition(5);
    rs->setValue("Channel1", 12345);
    rs->update();
    // Walk every row: the early ones leave the cache and are read again from the table.
    for (int row = 0; row < 3000; ++row)
        ASSERT_EQ(rs->valueAt(row, channel1).toLongLong(), row == 4 ? 12345 : row + 1);
    EXPECT_EQ(rs->valueAt(4, channel1).toLongLong(), 12345);
    rs->moveLast();
    EXPECT_EQ(rs->text("DateTimeKey"), "k2999");
    // A find reaches past what the cache holds.
    rs->moveFirst();
    EXPECT_TRUE(rs->find("DateTimeKey", "K2500"));
    EXPECT_EQ(rs->absolutePosition(), 2501);
}

TEST_F(KeysetDbTest, ARowidGivenAgainToAnAddedRowNamesThatRow)
{
    addReading(1);
    addReading(2);
    auto rs = readings();
    rs->moveLast();
    const qint64 last = rs->bookmark();
    rs->deleteCurrent();
    rs->addNew();
    rs->setValue("DateTimeKey", "again");
    rs->setValue("FullDate", "2024-06-03 08:00:00");
    rs->update();
    ASSERT_EQ(rs->bookmark(), last); // the table reuses the highest rowid
    rs->moveFirst();
    rs->setBookmark(last);
    EXPECT_EQ(rs->text("DateTimeKey"), "again");
    EXPECT_EQ(rs->absolutePosition(), 2);
}

TEST_F(KeysetDbTest, ARowGoneFromTheTableReadsAsNull)
{
    addReading(1);
    addReading(2);
    auto rs = readings();
    db->exec(QStringLiteral("DELETE FROM \"123475001\" WHERE Channel1 = 20"));
    EXPECT_EQ(rs->recordCount(), 2);
    EXPECT_TRUE(rs->valueAt(1, rs->fieldIndex("Channel1")).isNull());
    rs->requery();
    EXPECT_EQ(rs->recordCount(), 1);
}

// A whole table in date order is read a page of rowids at a time, where the positions are asked
// for: these walk the jumps, the joins of pages and the writes at their edges.
class PagedKeysetTest : public KeysetDbTest {
protected:
    // Readings whose dates repeat (ties are ordered by rowid), added out of date order.
    void addTiedReadings(int count, int dates)
    {
        rv::Transaction tx(*db);
        for (int i = 0; i < count; ++i) {
            const int date = (i * 7) % dates;
            db->exec(QStringLiteral("INSERT INTO \"123475001\" (DateTimeKey, Channel1, FullDate) VALUES (?, ?, ?)"),
                     {QStringLiteral("t") + QString::number(i), i,
                      QStringLiteral("2021-03-%1 00:00:00").arg(date + 1, 2, 10, QLatin1Char('0'))});
        }
        tx.commit();
    }
    // The rowids in the order the set shows them.
    QVector<qint64> expected()
    {
        QVector<qint64> rowids;
        for (const QVariantList& row :
             db->query(QStringLiteral("SELECT rowid FROM \"123475001\" ORDER BY FullDate, rowid")))
            rowids << row[0].toLongLong();
        return rowids;
    }
    // Every position in a scattered order, then its bookmark.
    void expectOrder(rv::RecordSet& rs, const QVector<qint64>& order)
    {
        ASSERT_EQ(rs.recordCount(), order.size());
        for (int i = 0, n = order.size(); i < n; ++i) {
            const int position = int((qint64(i) * 1237) % n) + 1;
            rs.setAbsolutePosition(position);
            ASSERT_EQ(rs.bookmark(), order[position - 1]) << "at " << position;
        }
    }
};

TEST_F(PagedKeysetTest, JumpsToTheEndTheMiddleAndAnyPlaceShowTheRowsInOrder)
{
    addTiedReadings(6000, 23);
    const QVector<qint64> order = expected();
    auto rs = readings();
    ASSERT_EQ(rs->recordCount(), 6000);
    rs->moveLast();
    EXPECT_EQ(rs->bookmark(), order.last());
    EXPECT_EQ(rs->absolutePosition(), 6000);
    rs->setAbsolutePosition(3001);
    EXPECT_EQ(rs->bookmark(), order[3000]);
    rs->movePrevious();
    EXPECT_EQ(rs->bookmark(), order[2999]);
    expectOrder(*rs, order);
    // Straight through, as a find or a datasheet read it.
    auto again = readings();
    const int channel1 = again->fieldIndex("Channel1");
    for (int i = 0; i < 6000; ++i)
        ASSERT_EQ(again->valueAt(i, channel1), db->query(QStringLiteral("SELECT Channel1 FROM \"123475001\" WHERE rowid = ?"),
                                                         {order[i]})[0][0]);
    again->moveFirst();
    EXPECT_TRUE(again->find("Channel1", 4321));
    EXPECT_EQ(again->bookmark(), db->query(QStringLiteral("SELECT rowid FROM \"123475001\" WHERE Channel1 = 4321"))[0][0]);
}

TEST_F(PagedKeysetTest, ABookmarkAfterRequeryFindsItsPlaceFromEitherEnd)
{
    addTiedReadings(5000, 17);
    const QVector<qint64> order = expected();
    auto rs = readings();
    for (const int position : {1, 2, 700, 2500, 2501, 4300, 4999, 5000}) {
        rs->requery(); // nothing read: the place is counted
        rs->setBookmark(order[position - 1]);
        EXPECT_EQ(rs->absolutePosition(), position);
        rs->requery(); // from where it stood before
        rs->setAbsolutePosition(position);
        rs->requery();
        rs->setBookmark(order[position - 1]);
        EXPECT_EQ(rs->absolutePosition(), position);
        rs->moveNext();
        if (position < 5000) {
            EXPECT_EQ(rs->bookmark(), order[position]);
        }
    }
    rs->requery();
    EXPECT_EQ(errorNumber([&] { rs->setBookmark(order.last() + 100); }), 3021);
}

TEST_F(PagedKeysetTest, DeletesAndAddsAtTheEdgeOfAPageKeepThePositions)
{
    addManyReadings(4000);
    QVector<qint64> order = expected();
    auto rs = readings();
    // The first page read from the front ends at 1024, the last from the back starts at 2977.
    rs->setAbsolutePosition(1);
    rs->moveLast();
    for (const int position : {1024, 1025, 2977, 2976, 2000}) {
        rs->setAbsolutePosition(position);
        rs->deleteCurrent();
        order.remove(position - 1);
        rs->moveNext();
        ASSERT_EQ(rs->bookmark(), order[position - 1]);
        EXPECT_EQ(rs->absolutePosition(), position);
    }
    expectOrder(*rs, order);
    // An added reading dated first still shows last until the set is read again.
    rs->addNew();
    rs->setValue("DateTimeKey", "first");
    rs->setValue("FullDate", "2019-01-01 00:00:00");
    rs->update();
    const qint64 added = rs->bookmark();
    EXPECT_EQ(rs->absolutePosition(), 3996);
    rs->setAbsolutePosition(1);
    EXPECT_EQ(rs->bookmark(), order.first());
    rs->setBookmark(added);
    EXPECT_EQ(rs->absolutePosition(), 3996);
    rs->setAbsolutePosition(3000); // read past the added one
    EXPECT_EQ(rs->bookmark(), order[2999]);
    rs->moveLast();
    rs->deleteCurrent();
    EXPECT_EQ(rs->recordCount(), 3995);
    rs->addNew();
    rs->setValue("DateTimeKey", "again");
    rs->setValue("FullDate", "2019-01-01 00:00:00");
    rs->update();
    order.prepend(rs->bookmark());
    rs->requery();
    EXPECT_EQ(rs->text("DateTimeKey"), "again");
    expectOrder(*rs, order);
    // Rows not yet read are found and counted without the added one, dated before them all.
    auto fresh = readings();
    fresh->addNew();
    fresh->setValue("DateTimeKey", "early");
    fresh->setValue("FullDate", "2018-01-01 00:00:00");
    fresh->update();
    fresh->setBookmark(order[2500]);
    EXPECT_EQ(fresh->absolutePosition(), 2501);
    fresh->setAbsolutePosition(1);
    EXPECT_EQ(fresh->bookmark(), order.first());
    fresh->moveLast();
    EXPECT_EQ(fresh->text("DateTimeKey"), "early");
}
