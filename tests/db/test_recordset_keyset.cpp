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
