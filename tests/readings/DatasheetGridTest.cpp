#include "readings/domain/DatasheetGrid.h"

#include "DatasheetTestData.h"
#include "readings/domain/ReadingStore.h"

#include <QDateTime>

using namespace rv;
using Key = DatasheetGrid::KeyResult;

class DatasheetGridTable : public testdata::ReadingTable {
protected:
    void open(const QString& id = QStringLiteral("201175001"))
    {
        readings = std::make_unique<RecordSet>(*db, QStringLiteral("SELECT * FROM `") + table
                                                        + QStringLiteral("` ORDER BY FullDate"));
        grid.populate(*readings, id);
    }
    // Types the characters into a cell as key presses; returns the last result.
    Key type(int row, int column, const char* keys)
    {
        Key last = Key::Ignored;
        for (const char* k = keys; *k; ++k) {
            int r = row, c = column;
            last = grid.keyPress(r, c, *k);
        }
        return last;
    }
    QVariant stored(const char* field, const char* date)
    {
        return scalar(QStringLiteral("SELECT %1 FROM \"201175001\" WHERE ReadingDate = '%2'")
                          .arg(QLatin1String(field), QLatin1String(date)));
    }

    std::unique_ptr<RecordSet> readings;
    DatasheetGrid grid;
};

TEST_P(DatasheetGridTable, AnEmptyTableShowsOnlyNoReadings)
{
    open();
    EXPECT_EQ(grid.rowCount(), 1);
    EXPECT_EQ(grid.columnCount(), 1);
    EXPECT_EQ(grid.text(0, 0), QStringLiteral("No Readings"));
    int r = 0, c = 0;
    EXPECT_EQ(grid.keyPress(r, c, '5'), Key::DatesNotEditable);
    EXPECT_FALSE(grid.changed());
    EXPECT_EQ(grid.writeBack(*db, *readings), 0);
}

TEST_P(DatasheetGridTable, HeadersFollowTheFirstDigitOfTheTypeCode)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("10:00:00"), {21.5, 100, 200, 300, 400, 500, 600});
    open();
    ASSERT_EQ(grid.columnCount(), 12);
    const QStringList seven{"DateTime Key", "ReadingDate", "R. Time", "ChannelT", "Channel1", "Channel2",
                            "Channel3", "Channel4", "Channel5", "Channel6", "PlotTemporal", "PlotSpatial"};
    for (int c = 0; c < 12; ++c) {
        EXPECT_EQ(grid.text(0, c), seven[c]);
        EXPECT_EQ(grid.headerData(c, Qt::Horizontal).toString(), seven[c]);
    }
    EXPECT_EQ(grid.text(1, 0), QStringLiteral("201175001 2024/03/05 10:00:00"));
    EXPECT_EQ(grid.text(1, 3), QStringLiteral("21.5"));
    EXPECT_EQ(grid.text(1, 9), QStringLiteral("600"));
    EXPECT_EQ(grid.text(1, 10), DatasheetGrid::kFlagOn);
    EXPECT_EQ(grid.text(1, 11), DatasheetGrid::kFlagOff);

    // A type code beginning with 6: channels 1 to 5, the plot columns at 9 and 10; Channel6 is
    // neither shown nor editable.
    grid.populate(*readings, QStringLiteral("201165001"));
    ASSERT_EQ(grid.columnCount(), 11);
    EXPECT_EQ(grid.text(0, 8), QStringLiteral("Channel5"));
    EXPECT_EQ(grid.text(0, 9), QStringLiteral("PlotTemporal"));
    EXPECT_EQ(grid.text(1, 9), DatasheetGrid::kFlagOn);
    EXPECT_EQ(type(1, 9, "7"), Key::DatesNotEditable);

    // With L = 4 only the two plot headers are written.
    grid.populate(*readings, QStringLiteral("201115001"));
    ASSERT_EQ(grid.columnCount(), 6);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(grid.text(0, c), QString()) << c;
    EXPECT_EQ(grid.text(0, 4), QStringLiteral("PlotTemporal"));
    EXPECT_EQ(grid.text(0, 5), QStringLiteral("PlotSpatial"));
    EXPECT_TRUE(grid.isChannelColumn(3));
}

TEST_P(DatasheetGridTable, TypedDigitsReachOnlyChannelCells)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("10:00:00"), {20.0, 100.25});
    add(QStringLiteral("2024/03/06"), QStringLiteral("10:00:00"), {21.0, 101.0});
    open();

    EXPECT_EQ(type(1, 6, "12.5"), Key::Edited); // Channel3, empty before
    EXPECT_EQ(grid.text(1, 6), QStringLiteral("12.5"));
    EXPECT_EQ(type(1, 6, "."), Key::NotNumeric); // a second point
    EXPECT_EQ(type(1, 6, "a"), Key::NotNumeric);
    EXPECT_EQ(type(1, 6, "-"), Key::NotNumeric); // no sign key
    EXPECT_EQ(grid.text(1, 6), QStringLiteral("12.5"));

    for (int column : {0, 1, 2})
        EXPECT_EQ(type(2, column, "1"), Key::DatesNotEditable) << column;
    EXPECT_EQ(type(2, 1, "\b"), Key::Ignored);
    EXPECT_EQ(type(2, 10, "1"), Key::DatesNotEditable); // plot columns change only by a click
    EXPECT_EQ(type(2, 11, "\b"), Key::DatesNotEditable);
    EXPECT_EQ(type(0, 5, "1"), Key::DatesNotEditable); // the header row
    EXPECT_EQ(grid.text(2, 1), QStringLiteral("2024/03/06"));
    EXPECT_EQ(grid.text(0, 5), QStringLiteral("Channel2"));

    // Backspace drops the last character, down to an empty cell.
    EXPECT_EQ(type(2, 4, "\b\b\b\b"), Key::Edited);
    EXPECT_EQ(grid.text(2, 4), QString());
    EXPECT_EQ(type(2, 4, "\b"), Key::Edited);
    EXPECT_EQ(type(1, 4, "\b"), Key::Edited);
    EXPECT_EQ(grid.text(1, 4), QStringLiteral("100.2"));

    ASSERT_TRUE(grid.changed());
    EXPECT_EQ(grid.writeBack(*db, *readings), 2);
    EXPECT_EQ(stored("Channel3", "2024/03/05").toDouble(), 12.5);
    EXPECT_EQ(stored("Channel1", "2024/03/05").toDouble(), 100.2);
    EXPECT_TRUE(stored("Channel1", "2024/03/06").isNull());
    // Untouched fields keep what they held.
    EXPECT_EQ(stored("ChannelT", "2024/03/06").toDouble(), 21.0);
    EXPECT_EQ(stored("DateTimeKey", "2024/03/06").toString(), QStringLiteral("201175001 2024/03/06 10:00:00"));
}

TEST_P(DatasheetGridTable, TabWalksTheCellsAndWrapsToTheTop)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("10:00:00"));
    add(QStringLiteral("2024/03/06"), QStringLiteral("10:00:00"));
    open();
    int r = 1, c = 10;
    EXPECT_EQ(grid.keyPress(r, c, '\t'), Key::Move);
    EXPECT_EQ(std::make_pair(r, c), std::make_pair(1, 11));
    grid.keyPress(r, c, '\t');
    EXPECT_EQ(std::make_pair(r, c), std::make_pair(2, 0));
    c = 11;
    grid.keyPress(r, c, '\t');
    EXPECT_EQ(std::make_pair(r, c), std::make_pair(0, 0));
    EXPECT_FALSE(grid.changed());
}

TEST_P(DatasheetGridTable, FlagsSwitchByClickAndAreWrittenBackEvenWhenBackWhereTheyWere)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("10:00:00"), {}, true, false);
    add(QStringLiteral("2024/03/06"), QStringLiteral("10:00:00"), {}, false, true);
    open();
    EXPECT_FALSE(grid.toggleFlag(1, 9));
    EXPECT_FALSE(grid.toggleFlag(0, 10));
    EXPECT_FALSE(grid.changed());

    EXPECT_TRUE(grid.toggleFlag(1, 10));
    EXPECT_TRUE(grid.toggleFlag(1, 10));
    EXPECT_TRUE(grid.toggleFlag(2, 11));
    EXPECT_EQ(grid.text(1, 10), DatasheetGrid::kFlagOn);
    EXPECT_EQ(grid.text(2, 11), DatasheetGrid::kFlagOff);
    EXPECT_TRUE(grid.changed());
    EXPECT_EQ(grid.writeBack(*db, *readings), 2);
    EXPECT_EQ(stored("Plottemporal", "2024/03/05").toInt(), 1);
    EXPECT_EQ(stored("PlotSpatial", "2024/03/06").toInt(), 0);
    EXPECT_EQ(stored("Plottemporal", "2024/03/06").toInt(), 0);
}

TEST_P(DatasheetGridTable, AnUnstorableCellLeavesTheWholeTableAsItWas)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("10:00:00"), {20.0, 1.0});
    add(QStringLiteral("2024/03/06"), QStringLiteral("10:00:00"), {21.0, 2.0});
    open();
    type(1, 4, "5");  // 15, fine
    grid.toggleFlag(1, 10);
    type(2, 4, "\b9"); // 9, which the table refuses
    refuse(QStringLiteral("UPDATE"), QStringLiteral("NEW.Channel1 = 9"));
    EXPECT_NE(testdata::errorOf([&] { grid.writeBack(*db, *readings); }), 0);
    EXPECT_EQ(stored("Channel1", "2024/03/05").toDouble(), 1.0);
    EXPECT_EQ(stored("Plottemporal", "2024/03/05").toInt(), 1);
    EXPECT_FALSE(db->inTransaction());
}

TEST_P(DatasheetGridTable, ACellLeftWithALonePointIsStoredEmptyAndTheOtherEditsStay)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("10:00:00"), {20.0, 1.0});
    add(QStringLiteral("2024/03/06"), QStringLiteral("10:00:00"), {21.0, 2.0});
    open();
    type(1, 4, "5");
    type(2, 4, "\b.");
    EXPECT_EQ(grid.text(2, 4), QStringLiteral("."));
    EXPECT_EQ(grid.writeBack(*db, *readings), 2);
    EXPECT_EQ(stored("Channel1", "2024/03/05").toDouble(), 15.0);
    EXPECT_TRUE(stored("Channel1", "2024/03/06").isNull());
}

// A text in a number column, which only SQLite keeps.
class DatasheetGridOnFile : public DatasheetGridTable {};

TEST_P(DatasheetGridOnFile, OverTheReadingsKeysetOnlyTheChangedReadingsAreCheckedAndWritten)
{
    {
        Transaction tx(*db);
        for (int i = 0; i < 2000; ++i) {
            const QDateTime t = QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC).addSecs(qint64(i) * 3600);
            add(t.toString(QStringLiteral("yyyy/MM/dd")), t.toString(QStringLiteral("HH:mm:ss")),
                {20, i, QStringLiteral("1ab")});
        }
        tx.commit();
    }
    readings = ReadingStore(*db, table).openAll();
    ASSERT_TRUE(readings->isKeyset());
    grid.populate(*readings, QStringLiteral("201175001"));
    ASSERT_EQ(grid.readingCount(), 2000);
    const int plot = grid.plotColumn();
    EXPECT_TRUE(grid.flag(1500, plot));
    // Two cells a number column cannot take, the later one edited first: found in grid order.
    EXPECT_EQ(type(1800, 5, "\b"), Key::Edited);
    EXPECT_EQ(type(300, 5, "\b"), Key::Edited);
    EXPECT_EQ(grid.firstBadCell().row, 300);
    grid.dropEdit(300, 5);
    EXPECT_EQ(grid.firstBadCell().row, 1800);
    grid.dropEdit(1800, 5);
    EXPECT_EQ(grid.firstBadCell().row, 0);
    EXPECT_TRUE(grid.toggleFlag(5, plot));
    EXPECT_EQ(type(1999, 4, "7"), Key::Edited);
    // Another writer meanwhile: a reading the user left alone keeps what it wrote.
    db->exec(QStringLiteral("UPDATE \"201175001\" SET Channel1 = 555 WHERE rowid = 1000"));
    EXPECT_EQ(grid.writeBack(*db, *readings), 4); // the two dropped edits still touched their readings
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM \"201175001\" WHERE Plottemporal = 0")).toInt(), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT Plottemporal FROM \"201175001\" WHERE rowid = 5")).toInt(), 0);
    EXPECT_EQ(scalar(QStringLiteral("SELECT Channel1 FROM \"201175001\" WHERE rowid = 1999")).toDouble(), 19987.0);
    EXPECT_EQ(scalar(QStringLiteral("SELECT Channel1 FROM \"201175001\" WHERE rowid = 1000")).toInt(), 555);
    EXPECT_EQ(scalar(QStringLiteral("SELECT Channel2 FROM \"201175001\" WHERE rowid = 300")).toString(), "1ab");
}

RV_ON_BOTH_ENGINES(DatasheetGridTable);
INSTANTIATE_TEST_SUITE_P(File, DatasheetGridOnFile, ::testing::Values(test::Engine::Sqlite), test::engineName);
