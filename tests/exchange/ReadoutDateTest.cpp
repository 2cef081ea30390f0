#include "exchange/domain/ExchangeNames.h"
#include "exchange/domain/ReadoutDate.h"
#include "exchange/domain/ReadoutFile.h"
#include "exchange/domain/ReadoutGrid.h"
#include "exchange/domain/ReadoutReading.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>

using namespace rv;

namespace {

ReadoutFile fileOf(const QStringList& dates)
{
    QByteArray bytes;
    for (const QString& d : dates)
        bytes += d.toUtf8() + ",N1,75,201175001,21.5,1\n";
    ReadoutFile f;
    EXPECT_EQ(f.parse(bytes), ReadoutFile::Status::Ok);
    return f;
}

std::string marks(const ReadoutFile& f, int interval, DateLayout layout = DateLayout::YearFirst)
{
    std::string s;
    for (char m : defaultMarks(f, interval, layout))
        s += m ? 'x' : '.';
    return s;
}

} // namespace

TEST(ReadoutDate, ThreeLayouts)
{
    ReadoutMoment m = readReadoutDate("2011/03/27 14:05:00", DateLayout::YearFirst);
    ASSERT_TRUE(m.valid);
    EXPECT_EQ(readoutKey("201175001", m), "201175001 2011/03/27 14:05:00");
    EXPECT_EQ(m.moment, QDateTime(QDate(2011, 3, 27), QTime(14, 5), Qt::UTC));
    // A general date: other separators, single digits, no seconds, no time.
    EXPECT_EQ(readReadoutDate("2011-3-7 4:05", DateLayout::YearFirst).date(), "2011/03/07");
    EXPECT_EQ(readReadoutDate("2011-3-7 4:05", DateLayout::YearFirst).time(), "04:05:00");
    EXPECT_EQ(readReadoutDate("2011/03/27", DateLayout::YearFirst).time(), "00:00:00");

    m = readReadoutDate("05/04/2011 14:05:00", DateLayout::DayFirst);
    ASSERT_TRUE(m.valid);
    EXPECT_EQ(m.date(), "2011/04/05");
    EXPECT_EQ(readoutKey("201175001", m), "201175001 2011/04/05 14:05:00");
    m = readReadoutDate("05/04/2011 14:05:00", DateLayout::MonthFirst);
    EXPECT_EQ(m.date(), "2011/05/04");
    EXPECT_EQ(m.moment, QDateTime(QDate(2011, 5, 4), QTime(14, 5), Qt::UTC));

    // Texts that name no moment in the layout.
    for (const char* bad : {"2000/01/01 00:00:80", "2011/02/30 10:00:00", "27/03/2011 10:00:00", "", "garbage",
                            "2011/03/27 25:00:00", "2011/03/27 10:00:00 x"})
        EXPECT_FALSE(readReadoutDate(bad, DateLayout::YearFirst).valid) << bad;
    for (const char* bad : {"2011/03/27 10:00:00", "13/13/2011 10:00:00", "05/04/2011", "05/04/2011 1:05:00"}) {
        EXPECT_FALSE(readReadoutDate(bad, DateLayout::DayFirst).valid) << bad;
        EXPECT_FALSE(readReadoutDate(bad, DateLayout::MonthFirst).valid) << bad;
    }
    // Text after the seconds would change the moment: the date is not read in any layout;
    // trailing blanks are no text.
    for (const char* tail : {" PM", "+02:00", " Z", "0"}) {
        for (const char* date : {"2011/04/06 02:05:00", "06/04/2011 02:05:00"})
            for (const DateLayout layout : {DateLayout::YearFirst, DateLayout::DayFirst, DateLayout::MonthFirst})
                EXPECT_FALSE(readReadoutDate(QString::fromLatin1(date) + QLatin1String(tail), layout).valid) << date << tail;
    }
    EXPECT_EQ(readReadoutDate("06/04/2011 14:05:00  ", DateLayout::DayFirst).time(), "14:05:00");
    EXPECT_EQ(readReadoutDate("06/04/2011 14:05:00 ", DateLayout::MonthFirst).date(), "2011/06/04");
}

TEST(ReadoutDate, DefaultMarksCountClockHours)
{
    const ReadoutFile f = fileOf({"2011/03/27 10:00:00", "2011/03/27 10:59:00", "2011/03/27 11:00:00",
                                  "2011/03/28 10:00:00"});
    EXPECT_EQ(marks(f, 1), "x.xx");
    EXPECT_EQ(marks(f, 24), "x..x");
    EXPECT_EQ(marks(f, 8), "x..x");
    // 10:59 and 11:01 are one clock hour apart though two minutes lie between them.
    EXPECT_EQ(marks(fileOf({"2011/03/27 10:59:00", "2011/03/27 11:01:00"}), 1), "xx");
    // An earlier line counts negative hours: unmarked, and the reference stays.
    EXPECT_EQ(marks(fileOf({"2011/03/27 10:00:00", "2011/03/26 10:00:00", "2011/03/27 11:00:00"}), 1), "x.x");
    EXPECT_EQ(markInterval("8"), 8);
    EXPECT_EQ(markInterval(""), 24);
}

TEST(ReadoutDate, PlaceholderAndUnreadableDatesStayUnmarked)
{
    // The placeholder as first line: unmarked, and the next line starts the counting.
    const ReadoutFile f = fileOf({kPlaceholderDate, "2011/03/27 10:00:00", "2011/03/27 10:59:00",
                                  "2011/03/27 11:00:00"});
    EXPECT_EQ(marks(f, 1), ".x.x");
    const ReadoutFile g = fileOf({"2011/03/27 10:00:00", kPlaceholderDate, "not a date", "2011/03/27 11:00:00"});
    EXPECT_EQ(marks(g, 1), "x..x");
    // Marks follow the layout the dates are read in.
    const ReadoutFile d = fileOf({"05/04/2011 10:00:00", "05/04/2011 11:00:00", "06/04/2011 11:00:00"});
    EXPECT_EQ(marks(d, 24, DateLayout::DayFirst), "x.x");
    EXPECT_EQ(marks(d, 24, DateLayout::YearFirst), "x..");
}

TEST(ReadoutReading, ChannelsFollowTheType)
{
    ReadoutFile f;
    ASSERT_EQ(f.parse("2011/03/27 10:00:00,N1,75,201175001, 21.47 ,1,2.005,x,4,,6,7,8,9,10,11\n"),
              ReadoutFile::Status::Ok);
    ReadoutReading r = readoutReading(f, 0, {"201175001", "75", true}, DateLayout::YearFirst);
    EXPECT_EQ(readoutKey("201175001", r.when), "201175001 2011/03/27 10:00:00");
    const Reading& v = r.reading;
    EXPECT_EQ(v.moment, QDateTime(QDate(2011, 3, 27), QTime(10, 0), Qt::UTC));
    EXPECT_EQ(v.temperature, 21.5);
    EXPECT_EQ(v.channels[0], 1.0);
    EXPECT_EQ(v.channels[1], 2.01);
    EXPECT_FALSE(v.channels[2]); // not a number
    EXPECT_FALSE(v.channels[4]); // empty
    EXPECT_EQ(v.channels[6], 7.0); // C11; the columns after it are not taken
    EXPECT_FALSE(v.channels[7]);

    // Without a temperature channel the gauges start at the temperature's column.
    r = readoutReading(f, 0, {"201133001", "33", false}, DateLayout::YearFirst);
    EXPECT_FALSE(r.reading.temperature);
    EXPECT_EQ(r.reading.channels[0], 21.47);
    EXPECT_EQ(r.reading.channels[2], 2.01);
    EXPECT_FALSE(r.reading.channels[3]);
    EXPECT_EQ(importedChannelCount("X5"), 0);

    // Number forms: sign, no integer digit, exponent; words and thousands are no numbers.
    ReadoutFile g;
    ASSERT_EQ(g.parse("2011/03/27 10:00:00,N1,75,201175001, +5 ,.5,1e2,-0.004,nan,inf,\"1,5\",--1\n"),
              ReadoutFile::Status::Ok);
    const Reading w = readoutReading(g, 0, {"201175001", "75", true}, DateLayout::YearFirst).reading;
    EXPECT_EQ(w.temperature, 5.0);
    EXPECT_EQ(w.channels[0], 0.5);
    EXPECT_EQ(w.channels[1], 100.0);
    EXPECT_EQ(w.channels[2], 0.0);
    for (int i = 3; i < 7; ++i)
        EXPECT_FALSE(w.channels[i]) << i;

    r = readoutReading(f, 0, {"201175001", "75", true}, DateLayout::DayFirst);
    EXPECT_FALSE(r.when.valid);
    EXPECT_EQ(invalidDateMessage("2011/03/27 10:00:00"),
              "2011/03/27 10:00:00 is not a valid date and cannot be appended.");
}

// Plain decimals are read by a short way of their own: every form, long or short, signed or
// not, reads as the general reading of the number (std::from_chars, then rounded to the
// channel's decimals) reads it.
TEST(ReadoutReading, PlainDecimalsReadAsTheGeneralReadingReadsThem)
{
    const auto general = [](const std::string& cell, int decimals) -> std::optional<double> {
        std::string t = cell;
        if (t.size() > 1 && t[0] == '+' && t[1] != '-')
            t.erase(0, 1);
        double v = 0;
        const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), v);
        if (t.empty() || error != std::errc() || end != t.data() + t.size())
            return std::nullopt;
        if (std::fabs(v) >= 1e15)
            return v;
        const double scale = decimals == 1 ? 10.0 : 100.0;
        const double m = std::floor(std::fabs(v) * scale + 0.5 + 1e-9) / scale;
        return v < 0 ? -m : m;
    };
    std::mt19937 random(19);
    const char* signs[] = {"", "", "-", "+"};
    for (int round = 0; round < 2000; ++round) {
        QByteArray line = "2011/03/27 10:00:00,N1,95,201195001";
        std::vector<std::string> cells;
        for (int c = 0; c < 10; ++c) {
            std::string cell = signs[random() % 4];
            const int whole = int(random() % 17), fraction = int(random() % 18) - 1; // -1: no point
            for (int i = 0; i < whole; ++i)
                cell += char('0' + random() % 10);
            if (fraction >= 0)
                cell += '.';
            for (int i = 0; i < fraction; ++i)
                cell += char('0' + random() % 10);
            cells.push_back(cell);
            line += ',' + QByteArray::fromStdString(cell);
        }
        ReadoutFile f;
        ASSERT_EQ(f.parse(line), ReadoutFile::Status::Ok);
        const Reading r = readoutReading(f, 0, {"201195001", "95", true}, DateLayout::YearFirst).reading;
        EXPECT_EQ(r.temperature, general(cells[0], 1)) << cells[0];
        for (int c = 1; c < 10; ++c)
            EXPECT_EQ(r.channels[c - 1], general(cells[c], 2)) << cells[c];
    }
}

TEST(ReadoutGrid, CellsMarksAndToggling)
{
    const ReadoutFile f = fileOf({"2011/03/27 10:00:00", "2011/03/27 10:30:00"});
    ReadoutGrid grid;
    grid.populate(&f);
    grid.setMarks(defaultMarks(f, 1, DateLayout::YearFirst));
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.columnCount(), 12);
    EXPECT_EQ(grid.data(grid.index(0, 0)).toString(), "Reading Date & Time");
    EXPECT_EQ(grid.data(grid.index(2, 0)).toString(), "2011/03/27 10:30:00");
    EXPECT_EQ(grid.data(grid.index(1, 5)).toString(), "1");
    EXPECT_EQ(grid.data(grid.index(1, 6)).toString(), "");
    EXPECT_EQ(grid.data(grid.index(1, 11)).toString(), "[x]");
    EXPECT_EQ(grid.data(grid.index(2, 11)).toString(), "[ ]");
    EXPECT_FALSE(grid.toggle(2, 10));
    EXPECT_FALSE(grid.toggle(0, 11));
    EXPECT_TRUE(grid.toggle(2, 11));
    EXPECT_EQ(grid.markedCount(), 2);

    ReadoutFile empty;
    ASSERT_EQ(empty.parse(""), ReadoutFile::Status::Ok);
    grid.populate(&empty);
    EXPECT_EQ(grid.rowCount(), 1);
    EXPECT_EQ(grid.data(grid.index(0, 0)).toString(), "No Readings");
}

TEST(ReadoutGrid, LinesOutsideTheLimitsOrUnclosedCarryTheirReason)
{
    ReadoutFile f;
    ASSERT_EQ(f.parse("2011/03/27 10:00:00,N1,75,201175001,21.5,1,2\n"
                      "2011/03/27 11:00:00,N1,75,201175001,1000,1.2e19,-5000\n"
                      "2011/03/27 12:00:00,N1,75,201175001,85,5000,5000.01\n"
                      "2011/03/27 13:00:00,\"N1,75,201175001,21.5,1\n"
                      "2011/03/27 14:00:00,N1,75,201175001,abc,1e400,9999\n"),
              ReadoutFile::Status::Ok);
    ReadoutGrid grid;
    grid.populate(&f);
    EXPECT_EQ(grid.lineProblem(1), QString()); // no sensor given: no limits to hold to
    grid.setSensor({"201175001", "75", true, ReadoutLimits{-40, 85, -5000, 5000}});
    EXPECT_EQ(grid.lineProblem(0), QString());
    EXPECT_FALSE(grid.data(grid.index(1, 3), Qt::ToolTipRole).isValid());
    EXPECT_EQ(grid.lineProblem(1), "Outside the limits of sensor type 75:\nChannelT 1000 is outside -40 to 85\n"
                                   "Channel1 12000000000000000000 is outside -5000 to 5000");
    EXPECT_EQ(grid.data(grid.index(2, 0), Qt::ToolTipRole).toString(), grid.lineProblem(1)); // every cell of the line
    EXPECT_EQ(grid.data(grid.index(2, 11), Qt::ToolTipRole).toString(), grid.lineProblem(1));
    EXPECT_EQ(grid.lineProblem(2), "Outside the limits of sensor type 75:\nChannel2 5000.01 is outside -5000 to 5000");
    EXPECT_EQ(grid.lineProblem(3), "A quote on this line is not closed: the line cannot be appended.");
    EXPECT_EQ(grid.lineProblem(4), "Outside the limits of sensor type 75:\nChannel2 9999 is outside -5000 to 5000\n"
                                   "Not numbers, stored empty:\nChannelT \"abc\"\nChannel1 \"1e400\"");

    QStringList lines;
    for (int i = 1; i <= 11; ++i)
        lines << unclosedQuoteLine(i, QStringLiteral("2011/03/27 10:00:00"));
    const QString told = refusalsMessage(Refusal::UnclosedQuote, lines);
    EXPECT_TRUE(told.startsWith("11 lines have a quote that is not closed and cannot be appended. The first ten:\n"
                                "Line 1 (2011/03/27 10:00:00)\n"));
    EXPECT_TRUE(told.endsWith("Line 10 (2011/03/27 10:00:00)\nAll 11 are listed in the log file gSTAY.txt."));
    EXPECT_EQ(refusalsLogText(Refusal::UnclosedQuote, "201175001", lines).count('\n'), 11); // every line

    EXPECT_EQ(appendedRemarks(0, 0), QString());
    EXPECT_EQ(appendedRemarks(2, 1), "\n2 lines had channel cells that are not numbers; those cells were stored empty."
                                     "\n1 line holds values outside the limits of the sensor type.");
}

TEST(ExchangeNames, BackupAndArchiveNames)
{
    EXPECT_EQ(backupFileName(QDate(2011, 3, 27)), "gSTAYbackup2011-03-27.mdb");
    EXPECT_EQ(archiveFileName("201175001", QDate(2011, 3, 27)), "QX201175001_2011-03-27.txt");
    EXPECT_EQ(archiveFileName("201175001", QDate(2011, 3, 27), 2), "QX201175001_2011-03-27_2.txt");
    EXPECT_EQ(downloadFileName("201175001"), "QX201175001.txt");
    EXPECT_EQ(compactionCopyName("RockvistagSTAY.mdb"), "Copy_RockvistagSTAY.mdb");
    EXPECT_TRUE(kWebAddress.contains(".example"));
}
