#include "readings/domain/RangeDelete.h"

#include "DatasheetTestData.h"

using namespace rv;

TEST(DeleteRange, ReadingDatesAreReadYearFirst)
{
    EXPECT_EQ(readingDay(u"2024/03/05"), QDate(2024, 3, 5));
    EXPECT_EQ(readingDay(u" 2024-3-5 "), QDate(2024, 3, 5));
    EXPECT_EQ(readingDay(u"2024/12/31"), QDate(2024, 12, 31));
    for (const char16_t* bad : {u"", u"2024/13/01", u"2024/02/30", u"24/03/05", u"2024/03-05", u"2024/03/05 12:00",
                                u"05/03/2024", u"abc", u"2024//05"})
        EXPECT_FALSE(readingDay(bad).has_value()) << QString::fromUtf16(bad).toStdString();
}

class DeleteRangeTable : public testdata::ReadingTable {};

TEST_P(DeleteRangeTable, BothEndDaysAreIncludedWholeAndTheTimePlaysNoPart)
{
    add(QStringLiteral("2024/03/04"), QStringLiteral("23:59:59"));
    add(QStringLiteral("2024/03/05"), QStringLiteral("00:00:00"));
    add(QStringLiteral("2024/03/05"), QStringLiteral("23:59:59"));
    add(QStringLiteral("2024/03/06"), QStringLiteral("12:00:00"));
    add(QStringLiteral("2024/03/07"), QStringLiteral("23:59:59"));
    add(QStringLiteral("2024/03/08"), QStringLiteral("00:00:00"));

    EXPECT_EQ(deleteReadingRange(*db, table, QDate(2024, 3, 5), QDate(2024, 3, 7)), 4);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(deleteReadingRange(*db, table, QDate(2024, 3, 8), QDate(2024, 3, 8)), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT ReadingDate FROM \"201175001\"")).toString(),
              QStringLiteral("2024/03/04"));
}

TEST_P(DeleteRangeTable, StartAfterEndOrAnEmptyTableDeletesNothing)
{
    EXPECT_EQ(deleteReadingRange(*db, table, QDate(2024, 3, 1), QDate(2024, 3, 31)), 0);
    add(QStringLiteral("2024/03/05"), QStringLiteral("10:00:00"));
    EXPECT_EQ(deleteReadingRange(*db, table, QDate(2024, 3, 6), QDate(2024, 3, 4)), 0);
    EXPECT_EQ(count(), 1);
}

TEST_P(DeleteRangeTable, AnUnreadableDateAnywhereLeavesTheTableAsItWas)
{
    add(QStringLiteral("2024/03/05"), QStringLiteral("10:00:00"));
    add(QStringLiteral("2024/03/06"), QStringLiteral("10:00:00"));
    db->exec(QStringLiteral("UPDATE \"201175001\" SET ReadingDate = 'soon' WHERE ReadingDate = '2024/03/06'"));
    EXPECT_EQ(testdata::errorOf([&] { deleteReadingRange(*db, table, QDate(2024, 1, 1), QDate(2024, 12, 31)); }),
              err::TypeMismatch);
    EXPECT_EQ(count(), 2);
    EXPECT_FALSE(db->inTransaction());

    db->exec(QStringLiteral("UPDATE \"201175001\" SET ReadingDate = NULL WHERE ReadingDate = 'soon'"));
    EXPECT_EQ(testdata::errorOf([&] { deleteReadingRange(*db, table, QDate(2024, 1, 1), QDate(2024, 12, 31)); }),
              err::InvalidUseOfNull);
    EXPECT_EQ(count(), 2);

    // The connection is usable afterwards and the next deletion works.
    db->exec(QStringLiteral("DELETE FROM \"201175001\" WHERE ReadingDate IS NULL"));
    EXPECT_EQ(deleteReadingRange(*db, table, QDate(2024, 3, 5), QDate(2024, 3, 5)), 1);
}

RV_ON_BOTH_ENGINES(DeleteRangeTable);
