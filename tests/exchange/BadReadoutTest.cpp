// Readout files as they come from the field and worse: each is read, its first reading built,
// and the outcome checked. Nothing here may crash, hang or store a wrong value.
#include "exchange/domain/ReadoutDate.h"
#include "exchange/domain/ReadoutFile.h"
#include "exchange/domain/ReadoutReading.h"

#include <gtest/gtest.h>
#include <cmath>
#include <functional>

using namespace rv;

namespace {

using Status = ReadoutFile::Status;
constexpr double kNull = NAN; // the cell is stored empty

struct BadFile {
    const char* name;
    std::function<QByteArray()> bytes;
    Status status;
    int lines;
    // Of the first line, read with the layout: whether its date is valid, Channel1, field 1.
    DateLayout layout = DateLayout::YearFirst;
    bool dateValid = false;
    double channel1 = kNull;
    const char* site = nullptr;
    bool unclosed = false;
};

QByteArray utf16(const QString& s, bool bigEndian)
{
    QByteArray b = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (const QChar ch : s) {
        const char hi = char(ch.unicode() >> 8), lo = char(ch.unicode() & 0xFF);
        b.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return b;
}

QByteArray text(const char* s) { return QByteArray(s); }
const char* kLine = "2011/03/27 10:00:00,N1,75,201175001,21.5,";

std::vector<BadFile> corpus()
{
    return {
        {"empty", [] { return QByteArray(); }, Status::Ok, 0},
        {"only_blank_lines", [] { return text("\r\n  \n\t\r\n\n"); }, Status::Ok, 0},
        {"bom_only", [] { return text("\xEF\xBB\xBF"); }, Status::Ok, 0},
        {"header_line", [] { return text("Date,Site,Type,Sensor,Temp,Ch1\r\n2011/03/27 10:00:00,N1,75,201175001,21.5,1.234\r\n"); },
         Status::Ok, 2, DateLayout::YearFirst, false, kNull, "Site"},
        {"ten_megabyte_line", [] { return QByteArray(kLine) + QByteArray(10 * 1024 * 1024, '7'); },
         Status::Ok, 1, DateLayout::YearFirst, true, kNull, "N1"},
        {"ten_megabyte_line_no_commas", [] { return QByteArray(10 * 1024 * 1024, 'x'); }, Status::Ok, 1},
        {"binary_all_bytes", [] { QByteArray b; for (int i = 0; i < 4096; ++i) b += char(i * 7 % 256); return b; },
         Status::NotText, 0},
        // "Unicode" text as Windows tools save it: read like UTF-8.
        {"utf16le_with_bom", [] { return utf16(QStringLiteral("2011/03/27 10:00:00,N\u00e9,75,201175001,21.5,1\r\n2011/03/27 11:00:00,N1\r\n"), false); },
         Status::Ok, 2, DateLayout::YearFirst, true, 1.0, "N\xC3\xA9"},
        {"utf16be_with_bom", [] { return utf16(QStringLiteral("2011/03/27 10:00:00,N1,75,201175001,21.5,4.25"), true); },
         Status::Ok, 1, DateLayout::YearFirst, true, 4.25, "N1"},
        {"utf16_odd_length", [] { return utf16(QStringLiteral("2011/03/27 10:00:00,N1"), false) + 'x'; }, Status::NotText, 0},
        {"utf16_with_nul", [] { return utf16(QStringLiteral("2011/03/27 10:00:00,N1"), false) + QByteArray(2, '\0'); },
         Status::NotText, 0},
        {"invalid_utf8_mostly_ascii", [] { return QByteArray(kLine) + "1\n2011/03/27 11:00:00,N\xE9\xFF,75\n"; },
         Status::Ok, 2, DateLayout::YearFirst, true, 1.0, "N1"},
        {"invalid_utf8_mostly_high", [] { return QByteArray(200, '\xC3').append(QByteArray(200, '\xFF')); },
         Status::NotText, 0},
        {"utf8_bom_and_crlf", [] { return QByteArray("\xEF\xBB\xBF") + kLine + "2\r\n"; },
         Status::Ok, 1, DateLayout::YearFirst, true, 2.0, "N1"},
        {"mixed_line_ends", [] { return QByteArray(kLine) + "1\r\n" + kLine + "2\n" + kLine + "3\r" + kLine + "4"; },
         Status::Ok, 4, DateLayout::YearFirst, true, 1.0, "N1"},
        // Old Macintosh line ends: each line is a line, not columns of the first.
        {"carriage_returns_only", [] { return QByteArray(kLine) + "1,2,3\r" + kLine + "4,5,6\r"; },
         Status::Ok, 2, DateLayout::YearFirst, true, 1.0, "N1"},
        {"too_few_columns", [] { return text("2011/03/27 10:00:00,N1,75"); },
         Status::Ok, 1, DateLayout::YearFirst, true, kNull, "N1"},
        {"too_many_columns", [] { return QByteArray(kLine) + "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17"; },
         Status::Ok, 1, DateLayout::YearFirst, true, 1.0, "N1"},
        {"only_commas", [] { return text(",,,,,,,,,,,,,,,,,,,,,"); }, Status::Ok, 1},
        {"quoted_commas", [] { return text("\"2011/03/27 10:00:00\",\"N1, north\",75,201175001,\"21.5\",\"3.5\""); },
         Status::Ok, 1, DateLayout::YearFirst, true, 3.5, "N1, north"},
        {"unclosed_quote", [] { return text("\"2011/03/27 10:00:00,N1,75,201175001,21.5,1"); }, Status::Ok, 1,
         DateLayout::YearFirst, false, kNull, nullptr, true},
        {"unclosed_quote_later", [] { return QByteArray(kLine) + "1,\"2,3"; }, Status::Ok, 1,
         DateLayout::YearFirst, true, 1.0, "N1", true},
        // A blank before or after the quotes is not part of the field.
        {"blanks_around_quotes", [] { return text("2011/03/27 10:00:00, \"N1\" ,75,201175001, \"21.5\", \"100.1\"\t, 200.2"); },
         Status::Ok, 1, DateLayout::YearFirst, true, 100.1, "N1"},
        {"decimal_comma_quoted", [] { return QByteArray(kLine) + "\"1,5\""; },
         Status::Ok, 1, DateLayout::YearFirst, true, kNull, "N1"},
        {"exponent", [] { return QByteArray(kLine) + "1.5e2"; }, Status::Ok, 1, DateLayout::YearFirst, true, 150.0, "N1"},
        {"negative_exponent", [] { return QByteArray(kLine) + "-25E-1"; }, Status::Ok, 1, DateLayout::YearFirst, true, -2.5, "N1"},
        {"exponent_out_of_range", [] { return QByteArray(kLine) + "1e400"; }, Status::Ok, 1, DateLayout::YearFirst, true, kNull, "N1"},
        // Far beyond any gauge, but a number: stored as it is, never as infinity.
        {"huge_number", [] { return QByteArray(kLine) + "1e307"; }, Status::Ok, 1, DateLayout::YearFirst, true, 1e307, "N1"},
        {"words_for_numbers", [] { return QByteArray(kLine) + "nan"; }, Status::Ok, 1, DateLayout::YearFirst, true, kNull, "N1"},
        {"hexadecimal", [] { return QByteArray(kLine) + "0x1A"; }, Status::Ok, 1, DateLayout::YearFirst, true, kNull, "N1"},
        {"lone_sign", [] { return QByteArray(kLine) + "-"; }, Status::Ok, 1, DateLayout::YearFirst, true, kNull, "N1"},
        {"day_first_read_year_first", [] { return text("27/03/2011 10:00:00,N1,75,201175001,21.5,1"); },
         Status::Ok, 1, DateLayout::YearFirst, false, 1.0, "N1"},
        {"day_first", [] { return text("27/03/2011 10:00:00,N1,75,201175001,21.5,1"); },
         Status::Ok, 1, DateLayout::DayFirst, true, 1.0, "N1"},
        {"month_first_impossible_month", [] { return text("27/03/2011 10:00:00,N1,75,201175001,21.5,1"); },
         Status::Ok, 1, DateLayout::MonthFirst, false, 1.0, "N1"},
        {"year_first_read_day_first", [] { return QByteArray(kLine) + "1"; }, Status::Ok, 1, DateLayout::DayFirst, false, 1.0, "N1"},
        {"placeholder_date", [] { return text("2000/01/01 00:00:80,N1,75,201175001,21.5,1"); },
         Status::Ok, 1, DateLayout::YearFirst, false, 1.0, "N1"},
        {"non_latin_and_controls", [] { return QByteArray("2011/03/27 10:00:00,\xD0\xA1\xD0\xB5\xD0\xB2\x01\x7F,75,201175001,21.5,1"); },
         Status::Ok, 1, DateLayout::YearFirst, true, 1.0, "\xD0\xA1\xD0\xB5\xD0\xB2\x01\x7F"},
    };
}

class BadReadout : public testing::TestWithParam<BadFile> {};

TEST_P(BadReadout, GivesItsExpectedOutcome)
{
    const BadFile& c = GetParam();
    ReadoutFile file;
    ASSERT_EQ(file.parse(c.bytes()), c.status);
    ASSERT_EQ(file.lineCount(), c.lines);
    const QVector<char> marks = defaultMarks(file, 1, c.layout);
    ASSERT_EQ(marks.size(), c.lines);
    if (c.lines == 0)
        return;
    const ReadoutReading r = readoutReading(file, 0, {QStringLiteral("201175001"), QStringLiteral("75"), true}, c.layout);
    EXPECT_EQ(r.when.valid, c.dateValid);
    if (std::isnan(c.channel1)) {
        EXPECT_FALSE(r.reading.channels[0].has_value()) << *r.reading.channels[0];
    } else {
        ASSERT_TRUE(r.reading.channels[0].has_value());
        EXPECT_DOUBLE_EQ(*r.reading.channels[0], c.channel1);
    }
    if (c.site) {
        EXPECT_EQ(file.text(0, 1), QString::fromUtf8(c.site));
    }
    EXPECT_EQ(file.unclosedQuote(0), c.unclosed);
    // Every line as a sensor with the most channels: no value is ever infinite.
    for (int line = 0; line < file.lineCount(); ++line) {
        const ReadoutReading each = readoutReading(file, line, {QStringLiteral("1"), QStringLiteral("9"), true}, c.layout);
        for (const OptDouble& v : each.reading.channels) {
            if (v) {
                EXPECT_TRUE(std::isfinite(*v)) << line;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, BadReadout, testing::ValuesIn(corpus()),
                         [](const testing::TestParamInfo<BadFile>& info) { return std::string(info.param.name); });

} // namespace
