#include "readings/domain/ReadingKey.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(ReadingKey, PadsEveryPartAndUsesTheTwentyFourHourClock)
{
    EXPECT_EQ(readingKey(QStringLiteral("201175001"), QDate(2024, 3, 5), QTime(14, 7, 9)),
              QStringLiteral("201175001 2024/03/05 14:07:09"));
    EXPECT_EQ(readingKey(QStringLiteral("201175001"), QDate(999, 12, 31), QTime(0, 0, 0)),
              QStringLiteral("201175001 0999/12/31 00:00:00"));
}

TEST(ReadingKey, DropsMillisecondsSoThatOneSecondGivesOneKey)
{
    const QString a = readingKey(QStringLiteral("1"), QDate(2024, 1, 1), QTime(8, 0, 0, 10));
    const QString b = readingKey(QStringLiteral("1"), QDate(2024, 1, 1), QTime(8, 0, 0, 990));
    EXPECT_EQ(a, b);
    EXPECT_EQ(readingMoment(QDate(2024, 1, 1), QTime(8, 0, 0, 990)).time(), QTime(8, 0, 0));
}

TEST(ReadingKey, MomentKeepsWallClockTimeInAClockChangeGap)
{
    // 02:30 does not exist in many local zones on this day; the stored text must not shift.
    const QDateTime m = readingMoment(QDate(2024, 3, 31), QTime(2, 30, 0));
    EXPECT_EQ(m.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), QStringLiteral("2024-03-31 02:30:00"));
}

TEST(ReadingKey, ParsesStoredDatesAndTimes)
{
    EXPECT_EQ(parseReadingDate(QStringLiteral("2024/03/05")), QDate(2024, 3, 5));
    EXPECT_EQ(parseReadingDate(QStringLiteral(" 2024-03-05 ")), QDate(2024, 3, 5));
    EXPECT_EQ(parseReadingDate(QStringLiteral("2024/3/5")), QDate(2024, 3, 5));
    EXPECT_EQ(parseReadingDate(QStringLiteral("2024-03-05 14:07:09")), QDate(2024, 3, 5));
    EXPECT_FALSE(parseReadingDate(QString()).isValid());
    EXPECT_FALSE(parseReadingDate(QStringLiteral("2024/02/30")).isValid());
    EXPECT_FALSE(parseReadingDate(QStringLiteral("05/03/2024")).isValid());

    EXPECT_EQ(parseReadingTime(QStringLiteral("14:07:09")), QTime(14, 7, 9));
    EXPECT_EQ(parseReadingTime(QStringLiteral("7:05:00")), QTime(7, 5, 0));
    EXPECT_EQ(parseReadingTime(QStringLiteral("23:59")), QTime(23, 59, 0));
    EXPECT_FALSE(parseReadingTime(QStringLiteral("24:00:00")).isValid());
    EXPECT_FALSE(parseReadingTime(QString()).isValid());
}
