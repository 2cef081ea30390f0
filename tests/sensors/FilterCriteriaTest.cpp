#include "sensors/domain/FilterCriteria.h"

#include <gtest/gtest.h>

using namespace rv;

namespace {

const QDate kToday(2012, 7, 4);

FilterInput input()
{
    FilterInput in;
    in.typeEntries << QStringLiteral("75: g6STAY");
    return in;
}

FilterProblem read(const FilterInput& in, FilterCriteria& c)
{
    return readFilterCriteria(in, kToday, c);
}

} // namespace

TEST(FilterCriteria, TypeIsAnEntryOrItsCode)
{
    FilterCriteria c;
    for (const char* text : {"75: g6STAY", "75", "  75  "}) {
        FilterInput in = input();
        in.typeText = QString::fromLatin1(text);
        ASSERT_EQ(read(in, c), FilterProblem::None) << text;
        EXPECT_EQ(c.typeCode, QStringLiteral("75"));
    }
    for (const char* text : {"76", "g6STAY", "7", "75:"}) {
        FilterInput in = input();
        in.typeText = QString::fromLatin1(text);
        in.dontShowDestroyed = true;
        EXPECT_EQ(read(in, c), FilterProblem::UnknownType) << text;
    }
}

TEST(FilterCriteria, NothingToFilterOnIsRefused)
{
    FilterInput in = input();
    in.level = QStringLiteral("   ");
    FilterCriteria c;
    EXPECT_EQ(read(in, c), FilterProblem::NoCriteria);
    EXPECT_EQ(filterProblemMessage(FilterProblem::NoCriteria),
              QStringLiteral("You must enter criteria to filter sensors on"));

    in.dontShowDestroyed = true;
    ASSERT_EQ(read(in, c), FilterProblem::None);
    EXPECT_TRUE(c.notDestroyed);
    EXPECT_TRUE(c.level.isEmpty());
    EXPECT_FALSE(c.hasDates());
}

TEST(FilterCriteria, AMissingBoundIsCompleted)
{
    FilterCriteria c;
    FilterInput in = input();
    in.startDate = QStringLiteral("2005/01/01");
    ASSERT_EQ(read(in, c), FilterProblem::None);
    EXPECT_EQ(c.startDate, QStringLiteral("2005/01/01"));
    EXPECT_EQ(c.endDate, QStringLiteral("2012/07/04")); // today, year first whatever the locale

    in = input();
    in.endDate = QStringLiteral("2006/12/31");
    ASSERT_EQ(read(in, c), FilterProblem::None);
    EXPECT_EQ(c.startDate, QStringLiteral("1999/01/01"));
    EXPECT_EQ(c.endDate, QStringLiteral("2006/12/31"));

    in.startDate = QStringLiteral("2006-3-7");
    ASSERT_EQ(read(in, c), FilterProblem::None);
    EXPECT_EQ(c.startDate, QStringLiteral("2006/03/07"));
}

TEST(FilterCriteria, BadDatesAreRefusedStartFirst)
{
    FilterCriteria c;
    FilterInput in = input();
    in.startDate = QStringLiteral("2005/02/30");
    in.endDate = QStringLiteral("tomorrow");
    EXPECT_EQ(read(in, c), FilterProblem::BadStartDate);
    in.startDate = QStringLiteral("2005/02/28");
    EXPECT_EQ(read(in, c), FilterProblem::BadEndDate);
    EXPECT_EQ(filterProblemMessage(FilterProblem::BadEndDate),
              QStringLiteral("End date is not a valid date\nPlease enter a date in the format yyyy/mm/dd"));
}

TEST(FilterCriteria, EachCriterionNarrowsInAllCombinations)
{
    // A row that meets every criterion, and for each criterion a row that fails only it.
    struct Row { const char* destroyed; const char* type; const char* level; const char* location; const char* date; };
    const Row all{"No", "75", "1200", "North", "2006/06/30"};
    const Row failing[5] = {
        {"Yes", "75", "1200", "North", "2006/06/30"},
        {"No", "76", "1200", "North", "2006/06/30"},
        {"No", "75", "1300", "North", "2006/06/30"},
        {"No", "75", "1200", "South", "2006/06/30"},
        {"No", "75", "1200", "North", "2007/01/01"},
    };
    const auto matches = [](const FilterCriteria& c, const Row& r) {
        return c.matches(QString::fromLatin1(r.destroyed), QString::fromLatin1(r.type), QString::fromLatin1(r.level),
                         QString::fromLatin1(r.location), QString::fromLatin1(r.date));
    };
    for (int mask = 0; mask < 32; ++mask) {
        FilterInput in = input();
        in.dontShowDestroyed = mask & 1;
        in.typeText = (mask & 2) ? QStringLiteral("75") : QString();
        in.level = (mask & 4) ? QStringLiteral("1200") : QString();
        in.location = (mask & 8) ? QStringLiteral("North") : QString();
        if (mask & 16) {
            in.startDate = QStringLiteral("2006/01/01");
            in.endDate = QStringLiteral("2006/12/31");
        }
        FilterCriteria c;
        const FilterProblem problem = read(in, c);
        if (mask == 0) {
            EXPECT_EQ(problem, FilterProblem::NoCriteria);
            continue;
        }
        ASSERT_EQ(problem, FilterProblem::None) << mask;
        EXPECT_TRUE(matches(c, all)) << mask;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(matches(c, failing[i]), !(mask & (1 << i))) << "mask " << mask << " row " << i;
    }
}

TEST(FilterCriteria, TextsCompareAsValues)
{
    FilterCriteria c;
    c.level = QStringLiteral("O'Neil's drift");
    c.location = QStringLiteral("north");
    EXPECT_TRUE(c.matches(QStringLiteral("No"), QStringLiteral("75"), QStringLiteral("O'Neil's Drift"),
                          QStringLiteral("North"), QString()));
    EXPECT_FALSE(c.matches(QStringLiteral("No"), QStringLiteral("75"), QStringLiteral("O'Neil"),
                           QStringLiteral("North"), QString()));
}

TEST(FilterCriteria, DateBoundsAreInclusiveAndNeedAnInstallDate)
{
    FilterCriteria c;
    c.startDate = QStringLiteral("2006/01/01");
    c.endDate = QStringLiteral("2006/12/31");
    const auto on = [&](const char* date) {
        return c.matches(QStringLiteral("No"), QStringLiteral("75"), QString(), QString(), QString::fromLatin1(date));
    };
    EXPECT_TRUE(on("2006/01/01"));
    EXPECT_TRUE(on("2006/12/31"));
    EXPECT_TRUE(on("2006-5-1"));  // stored in another year-first layout
    EXPECT_FALSE(on("2005/12/31"));
    EXPECT_FALSE(on("2007/01/01"));
    EXPECT_FALSE(on(""));
}

TEST(FilterCriteria, DatesReadYearFirst)
{
    EXPECT_TRUE(isDateText(QStringLiteral("2005/1/31")));
    EXPECT_TRUE(isDateText(QStringLiteral(" 2005-01-31 ")));
    EXPECT_FALSE(isDateText(QStringLiteral("2005/13/01")));
    EXPECT_FALSE(isDateText(QStringLiteral("soon")));
    EXPECT_FALSE(isDateText(QString()));
    EXPECT_EQ(normalizedDate(QStringLiteral("2005-01-31 00:00:00")), QStringLiteral("2005/01/31"));
    EXPECT_EQ(normalizedDate(QStringLiteral("unknown")), QStringLiteral("unknown"));
}
