#include "DbFixture.h"

#include <QDateTime>

using rv::RecordSet;

TEST_F(DbTest, EmptySetIsAtBofAndEof)
{
    auto rs = readings();
    EXPECT_TRUE(rs->bof());
    EXPECT_TRUE(rs->eof());
    EXPECT_EQ(rs->recordCount(), 0);
    EXPECT_NO_THROW(rs->moveFirst());
    EXPECT_NO_THROW(rs->moveLast());
    EXPECT_EQ(errorNumber([&] { rs->moveNext(); }), 3021);
    EXPECT_EQ(errorNumber([&] { rs->movePrevious(); }), 3021);
    EXPECT_EQ(errorNumber([&] { rs->value("Channel1"); }), 3021);
    EXPECT_EQ(errorNumber([&] { rs->bookmark(); }), 3021);
    EXPECT_FALSE(rs->find("DateTimeKey", "x"));
}

TEST_F(DbTest, MovesWalkTheRowsAndStopAtTheEnds)
{
    for (int d = 1; d <= 3; ++d)
        addReading(d);
    auto rs = readings();
    EXPECT_FALSE(rs->bof());
    EXPECT_EQ(rs->absolutePosition(), 1);
    rs->moveNext();
    rs->moveNext();
    EXPECT_EQ(rs->value("Channel1").toDouble(), 30.0);
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
    EXPECT_FALSE(rs->bof());
    EXPECT_EQ(rs->absolutePosition(), RecordSet::kPosEOF);
    EXPECT_EQ(errorNumber([&] { rs->moveNext(); }), 3021);
    EXPECT_EQ(errorNumber([&] { rs->text("Channel1"); }), 3021);
    rs->movePrevious();
    EXPECT_EQ(rs->absolutePosition(), 3);
    rs->moveFirst();
    rs->movePrevious();
    EXPECT_TRUE(rs->bof());
    EXPECT_EQ(errorNumber([&] { rs->movePrevious(); }), 3021);
    rs->setAbsolutePosition(2);
    EXPECT_EQ(rs->text("channel1"), "20"); // field names without regard to case
    EXPECT_EQ(errorNumber([&] { rs->setAbsolutePosition(4); }), 3021);
    EXPECT_EQ(rs->valueAt(2, rs->fieldIndex("Channel1")).toDouble(), 30.0);
}

TEST_F(DbTest, FindSearchesForwardFromTheCurrentRow)
{
    addReading(1);
    addReading(2, QStringLiteral("'s"));
    addReading(3);
    auto rs = readings();
    // A quote in the value is found like any other character; texts ignore case.
    EXPECT_TRUE(rs->find("DateTimeKey", "123475001 2024/06/02 08:00:00'S"));
    EXPECT_EQ(rs->absolutePosition(), 2);
    // Inclusive of the current row, never backwards.
    EXPECT_TRUE(rs->find("Channel1", 20));
    EXPECT_EQ(rs->absolutePosition(), 2);
    EXPECT_FALSE(rs->find("Channel1", 10));
    EXPECT_TRUE(rs->eof());
    rs->moveFirst();
    // Numbers by value, also when given as text.
    EXPECT_TRUE(rs->find("Channel1", "30.00"));
    EXPECT_EQ(rs->absolutePosition(), 3);
    EXPECT_EQ(errorNumber([&] { rs->find("NoSuchField", 1); }), 3265);
}

TEST_F(DbTest, FilterNarrowsCountAndMoves)
{
    for (int d = 1; d <= 5; ++d)
        addReading(d);
    auto rs = readings();
    const int ch1 = rs->fieldIndex("Channel1");
    rs->moveLast();
    rs->setFilter([ch1](const RecordSet& r, int row) { return r.rawValue(row, ch1).toDouble() >= 30; });
    EXPECT_EQ(rs->recordCount(), 3);
    EXPECT_EQ(rs->absolutePosition(), 1);
    EXPECT_EQ(rs->value(ch1).toDouble(), 30.0);
    rs->moveLast();
    EXPECT_EQ(rs->value(ch1).toDouble(), 50.0);
    EXPECT_FALSE(rs->find("Channel1", 20));

    rs->setFilter([](const RecordSet&, int) { return false; });
    EXPECT_EQ(rs->recordCount(), 0);
    EXPECT_TRUE(rs->eof());

    rs->clearFilter();
    EXPECT_EQ(rs->recordCount(), 5);
    EXPECT_EQ(rs->absolutePosition(), 1);
}

TEST_F(DbTest, BookmarkSurvivesRequeryButNotTheFilter)
{
    for (int d = 1; d <= 4; ++d)
        addReading(d);
    auto rs = readings();
    rs->setAbsolutePosition(3);
    const qint64 mark = rs->bookmark();
    addReading(0); // sorts first: every position shifts
    rs->requery();
    EXPECT_EQ(rs->absolutePosition(), 1);
    rs->setBookmark(mark);
    EXPECT_EQ(rs->absolutePosition(), 4);
    EXPECT_EQ(rs->value("Channel1").toDouble(), 30.0);

    const int ch1 = rs->fieldIndex("Channel1");
    rs->setFilter([ch1](const RecordSet& r, int row) { return r.rawValue(row, ch1).toDouble() < 30; });
    EXPECT_EQ(errorNumber([&] { rs->setBookmark(mark); }), 3021);
    EXPECT_EQ(errorNumber([&] { rs->setBookmark(987654); }), 3021);
}

TEST_F(DbTest, AddNewAppendsUntilRequery)
{
    addReading(2);
    auto rs = readings();
    rs->addNew();
    EXPECT_FALSE(rs->eof());
    rs->setValue("DateTimeKey", "123475001 2024/06/01 08:00:00");
    rs->setValue("FullDate", QDateTime(QDate(2024, 6, 1), QTime(8, 0)));
    rs->setValue("Channel1", " 12.5 ");
    rs->setValue("Plottemporal", true);
    EXPECT_EQ(rs->value("Channel1").toDouble(), 12.5); // the unstored edit is visible
    rs->update();
    EXPECT_EQ(rs->recordCount(), 2);
    EXPECT_EQ(rs->absolutePosition(), 2); // the new row is last, and current
    EXPECT_EQ(rs->text("FullDate"), "2024-06-01 08:00:00");
    EXPECT_EQ(rs->value("Plottemporal").toLongLong(), 1);
    EXPECT_TRUE(rs->value("Channel2").isNull());
    const qint64 mark = rs->bookmark();

    rs->requery(); // ordered by FullDate now
    rs->setBookmark(mark);
    EXPECT_EQ(rs->absolutePosition(), 1);
    EXPECT_EQ(db->query("SELECT Channel1 FROM \"123475001\" WHERE rowid = ?", {mark}).first()[0].toDouble(), 12.5);

    // Cancelled: nothing stored, back on the row that was current.
    rs->addNew();
    rs->setValue("Channel1", 1);
    rs->cancelUpdate();
    EXPECT_EQ(rs->recordCount(), 2);
    EXPECT_EQ(rs->absolutePosition(), 1);
}

TEST_F(DbTest, DeleteStandsOnTheGapUntilTheNextMove)
{
    for (int d = 1; d <= 4; ++d)
        addReading(d);
    auto rs = readings();
    rs->setAbsolutePosition(2);
    rs->deleteCurrent();
    EXPECT_EQ(rs->recordCount(), 3);
    EXPECT_FALSE(rs->eof());
    EXPECT_EQ(errorNumber([&] { rs->value("Channel1"); }), 3021);
    rs->moveNext();
    EXPECT_EQ(rs->value("Channel1").toDouble(), 30.0);

    // Deleting every row while walking forward, as a range deletion does.
    rs->moveFirst();
    const int n = rs->recordCount();
    for (int i = 0; i < n; ++i) {
        rs->deleteCurrent();
        rs->moveNext();
    }
    EXPECT_TRUE(rs->eof());
    EXPECT_EQ(rs->recordCount(), 0);
    EXPECT_EQ(db->query("SELECT count(*) FROM \"123475001\"").first()[0].toInt(), 0);
}

TEST_F(DbTest, FieldAssignmentFollowsTheColumnKind)
{
    addReading(1);
    auto rs = readings();
    rs->setValue("ChannelT", "  21.5 ");
    EXPECT_EQ(rs->value("ChannelT"), QVariant(21.5));
    rs->setValue("Channel1", "   ");
    EXPECT_TRUE(rs->value("Channel1").isNull());
    rs->setValue("ReadingTime", 7); // a text column takes the value as text
    EXPECT_EQ(rs->value("ReadingTime"), QVariant(QStringLiteral("7")));
    // The bad value raises the error at its field and leaves the edit as it was.
    EXPECT_EQ(errorNumber([&] { rs->setValue("Channel2", "12,5"); }), 13);
    EXPECT_EQ(errorNumber([&] { rs->setValue("Channel2", "abc"); }), 13);
    EXPECT_TRUE(rs->value("Channel2").isNull());
    rs->update();
    const auto stored = db->query("SELECT ChannelT, Channel1, ReadingTime FROM \"123475001\"").first();
    EXPECT_EQ(stored[0], QVariant(21.5));
    EXPECT_TRUE(stored[1].isNull());
    EXPECT_EQ(stored[2].toString(), "7");
}

TEST_F(DbTest, UpdateStoresTheRowWholeOrNotAtAll)
{
    db->exec("INSERT INTO Sensors (InstrumentID, Level) VALUES ('120375001', '1200'), ('120375002', '1350')");
    rv::RecordSet rs(*db, "SELECT Sensors.* FROM Sensors ORDER BY InstrumentID;");
    rs.moveLast();
    rs.setValue("Level", "900");
    rs.setValue("InstrumentID", "120375001"); // breaks the unique key
    const int number = errorNumber([&] { rs.update(); });
    EXPECT_EQ(number & 0xff, 19); // SQLITE_CONSTRAINT, extended code
    EXPECT_EQ(db->query("SELECT Level FROM Sensors WHERE InstrumentID = '120375002'").first()[0].toString(), "1350");
    rs.cancelUpdate();
    EXPECT_EQ(rs.text("Level"), "1350");
    EXPECT_EQ(rs.text("InstrumentID"), "120375002");

    // A move discards an edit that was not stored.
    rs.setValue("Level", "900");
    rs.moveFirst();
    rs.moveLast();
    EXPECT_EQ(rs.text("Level"), "1350");
}

TEST_F(DbTest, NumericTextColumnsKeepTheWrittenFormButRefuseLetters)
{
    db->exec("INSERT INTO Sensors (InstrumentID) VALUES ('120375001')");
    rv::RecordSet reg(*db, "SELECT Sensors.* FROM Sensors ORDER BY InstrumentID;");
    reg.setValue("LengthLongG", " 2.0 ");
    reg.setValue("PaddleLocation1", 1.25);
    reg.setValue("LengthShortG", "");
    EXPECT_EQ(errorNumber([&] { reg.setValue("Elongation", "about 15"); }), 13);
    reg.update();
    const auto stored = db->query("SELECT LengthLongG, PaddleLocation1, LengthShortG, Elongation FROM Sensors").first();
    EXPECT_EQ(stored[0], QVariant(QStringLiteral("2.0")));
    EXPECT_EQ(stored[1].toString(), QStringLiteral("1.25"));
    EXPECT_TRUE(stored[2].isNull());
    EXPECT_TRUE(stored[3].isNull());
}
