#include "exchange/domain/ReadoutFile.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

using namespace rv;

namespace {

QString data(const char* name)
{
    return QStringLiteral(RV_TEST_DATA "/") + QLatin1String(name);
}

ReadoutFile loaded(const char* name)
{
    ReadoutFile f;
    EXPECT_EQ(f.load(data(name)), ReadoutFile::Status::Ok) << name;
    return f;
}

} // namespace

TEST(ReadoutFile, CrlfAndBomAreNotPartOfTheFields)
{
    const ReadoutFile crlf = loaded("crlf_endings.txt");
    ASSERT_EQ(crlf.lineCount(), 2);
    EXPECT_EQ(crlf.text(0, 0), "2011/03/27 10:00:00");
    EXPECT_EQ(crlf.text(0, 11), "700.7"); // the last field carries no "\r"
    EXPECT_EQ(crlf.text(1, 11), "701");

    const ReadoutFile bom = loaded("utf8_bom.txt");
    ASSERT_EQ(bom.lineCount(), 1);
    EXPECT_EQ(bom.text(0, 0), "2011/03/27 10:00:00");
}

TEST(ReadoutFile, QuotedFieldsKeepCommasAndQuotes)
{
    const ReadoutFile f = loaded("quoted_comma.txt");
    ASSERT_EQ(f.lineCount(), 2);
    EXPECT_EQ(f.text(0, 1), "N1, north drive");
    EXPECT_EQ(f.text(0, 2), "75"); // the quoted comma did not shift the columns
    EXPECT_EQ(f.text(0, 4), "21.5");
    EXPECT_EQ(f.text(0, 11), "7");
    EXPECT_EQ(f.text(1, 0), "2011/03/27 11:00:00");
    EXPECT_EQ(f.text(1, 1), "say \"hi\"");
}

TEST(ReadoutFile, BlanksAroundQuotesAndUnclosedQuotes)
{
    ReadoutFile f;
    ASSERT_EQ(f.parse("2011/03/27 10:00:00, \"N1\", 75, 201175001, \"21.5\" , \"100.1\", 200.2\n"
                      "2011/03/27 11:00:00,\"N1\" x,75\n"
                      "2011/03/27 12:00:00,\"N1,75,201175001,21.5,1\n"),
              ReadoutFile::Status::Ok);
    ASSERT_EQ(f.lineCount(), 3);
    EXPECT_EQ(f.text(0, 1), "N1");
    EXPECT_EQ(f.text(0, 2), " 75"); // an unquoted field keeps its blanks; numbers are trimmed when read
    EXPECT_EQ(f.text(0, 4), "21.5");
    EXPECT_EQ(f.text(0, 5), "100.1");
    EXPECT_EQ(f.text(1, 1), "N1 x"); // text after the closing quote still belongs to the field
    EXPECT_EQ(f.text(1, 2), "75");
    EXPECT_FALSE(f.unclosedQuote(0));
    EXPECT_FALSE(f.unclosedQuote(1));
    EXPECT_TRUE(f.unclosedQuote(2));
    EXPECT_EQ(f.text(2, 1), "N1,75,201175001,21.5,1");
}

TEST(ReadoutFile, MissingAndSurplusFields)
{
    const ReadoutFile f = loaded("missing_temperature.txt");
    ASSERT_EQ(f.lineCount(), 2);
    EXPECT_TRUE(f.field(0, 4).isEmpty());
    EXPECT_EQ(f.text(0, 5), "1");
    EXPECT_EQ(f.text(1, 3), "201175001");
    for (int c = 4; c < ReadoutFile::kColumns; ++c)
        EXPECT_TRUE(f.field(1, c).isEmpty()) << c;

    const ReadoutFile t = loaded("truncated_last_line.txt");
    ASSERT_EQ(t.lineCount(), 2);
    EXPECT_EQ(t.text(1, 3), "20117");
    EXPECT_TRUE(t.field(1, 4).isEmpty());

    const ReadoutFile x = loaded("extra_fields.txt");
    EXPECT_EQ(x.text(0, 15), "11"); // column 16 is the last one read
    EXPECT_TRUE(x.field(0, 16).isEmpty());
}

TEST(ReadoutFile, EmptyFileAndBlankLinesHoldNoLines)
{
    EXPECT_TRUE(loaded("empty.txt").isEmpty());
    ReadoutFile f;
    ASSERT_EQ(f.parse("\r\n2011/03/27 10:00:00,A\n\n   \r\n2011/03/27 11:00:00,B\n\n"), ReadoutFile::Status::Ok);
    ASSERT_EQ(f.lineCount(), 2);
    EXPECT_EQ(f.text(1, 1), "B");
}

TEST(ReadoutFile, NonTextFilesAreRefused)
{
    ReadoutFile f;
    EXPECT_EQ(f.load(data("binary_nul.txt")), ReadoutFile::Status::NotText);
    EXPECT_TRUE(f.isEmpty());
    EXPECT_EQ(f.load(data("random_bytes.txt")), ReadoutFile::Status::NotText);
    EXPECT_EQ(f.load(data("no_such_file.txt")), ReadoutFile::Status::Missing);
    // A few bytes of an 8-bit code page are still text.
    EXPECT_EQ(f.load(data("latin1_text.txt")), ReadoutFile::Status::Ok);
    EXPECT_EQ(f.text(0, 1), QString::fromUtf8("N\xc3\xa9"));
    EXPECT_EQ(ReadoutFile::refusal(ReadoutFile::Status::NotText, "x.txt"),
              "x.txt is not a text file and cannot be imported. Nothing was imported.");
}

TEST(ReadoutFile, OversizedFileIsRefusedWithoutReadingIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(ReadoutFile::kMaxBytes + 1)); // sparse
    file.close();
    ReadoutFile f;
    EXPECT_EQ(f.load(path), ReadoutFile::Status::TooLarge);
}
