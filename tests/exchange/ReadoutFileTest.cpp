#include "exchange/domain/ReadoutFile.h"
#include "exchange/domain/ReadoutGrid.h"

#include <gtest/gtest.h>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <numeric>
#include <random>

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

// The file is indexed and read a block at a time, its lines on demand in any order: against
// the whole text read at once, for any block size, from memory and from a file.
namespace {

struct BlockBytes {
    explicit BlockBytes(qint64 bytes) { ReadoutFile::setBlockBytes(bytes); }
    ~BlockBytes() { ReadoutFile::setBlockBytes(1 << 20); }
};

QString written(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString path = dir.filePath(QStringLiteral("201175001.txt"));
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    return path;
}

// The lines the whole text holds: CRLF, LF or CR end one, blank ones hold no reading.
QStringList wholeLines(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n"))))
        if (!line.trimmed().isEmpty())
            lines << line;
    return lines;
}

// Each line's fields and quote as the file gives them, line by line in the order given.
void expectLines(const ReadoutFile& f, const QStringList& lines, const QVector<int>& order, const char* how)
{
    ASSERT_EQ(f.lineCount(), lines.size()) << how;
    for (const int i : order) {
        ReadoutFile alone;
        ASSERT_EQ(alone.parse(lines[i].toUtf8()), ReadoutFile::Status::Ok);
        for (int c = 0; c < ReadoutFile::kColumns; ++c)
            ASSERT_EQ(f.text(i, c), alone.text(0, c)) << how << " line " << i << " column " << c;
        ASSERT_EQ(f.unclosedQuote(i), alone.unclosedQuote(0)) << how << " line " << i;
    }
}

void expectRead(const QByteArray& bytes, const QString& text, QRandomGenerator& random)
{
    const QStringList lines = wholeLines(text);
    QVector<int> inOrder(lines.size()), shuffled;
    std::iota(inOrder.begin(), inOrder.end(), 0);
    shuffled = inOrder;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(random.generate()));
    QTemporaryDir dir;
    const QString path = written(dir, bytes);
    for (const qint64 block : {qint64(4), qint64(5 + random.bounded(60)), qint64(1 << 20)}) {
        const BlockBytes blocks(block);
        ReadoutFile fromFile, fromMemory;
        ASSERT_EQ(fromFile.load(path), ReadoutFile::Status::Ok);
        ASSERT_EQ(fromMemory.parse(bytes), ReadoutFile::Status::Ok);
        expectLines(fromMemory, lines, shuffled, "memory");
        expectLines(fromFile, lines, inOrder, "file in order");
        expectLines(fromFile, lines, shuffled, "file in any order");
        // A pass through every line, as the marks and the append make it.
        QStringList dates;
        fromFile.forEachLine([&](int, const ReadoutLine& line) { dates << line.field(0).toString(); });
        ASSERT_EQ(dates.size(), lines.size());
        for (int i = 0; i < lines.size(); ++i)
            ASSERT_EQ(dates[i], fromMemory.text(i, 0)) << i;
    }
}

QString randomText(QRandomGenerator& random, const QStringList& pieces)
{
    QString text;
    const int n = 20 + random.bounded(80);
    for (int i = 0; i < n; ++i)
        text += pieces[random.bounded(pieces.size())];
    return text;
}

} // namespace

TEST(ReadoutFile, ReadInBlocksAndOnDemandGivesTheLinesOfTheWholeText)
{
    QRandomGenerator random(824);
    const QStringList ends{QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\r\r\n")};
    const QStringList common{QStringLiteral("2011/03/27 10:00:00"), QStringLiteral(","), QStringLiteral(",75,"),
                             QStringLiteral("\""), QStringLiteral("\"\""), QStringLiteral(" "), QStringLiteral("\t"),
                             QStringLiteral("21.5"), QStringLiteral("   \r\n"), QStringLiteral("\n\n"),
                             QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r")};
    for (int round = 0; round < 40; ++round) {
        // UTF-8, with lines of blanks that are blank only as Unicode (no-break and ideographic
        // spaces) and a byte-order mark or two.
        QStringList pieces = common;
        pieces << QString::fromUtf8("\xc3\xa9t\xc3\xa9") << QString(QChar(0x00A0)) << QString(QChar(0x3000))
               << QString::fromUtf8("\xf0\x9f\x98\x80");
        QString text = randomText(random, pieces);
        QByteArray bytes = text.toUtf8();
        if (round % 4 == 1) {
            bytes.prepend("\xEF\xBB\xBF");
        } else if (round % 4 == 2) {
            bytes.prepend("\xEF\xBB\xBF\xEF\xBB\xBF"); // the second is taken as one too
        }
        expectRead(bytes, text, random);
        if (HasFatalFailure())
            return;

        // Latin-1 (not UTF-8), a few bytes above ASCII.
        text = randomText(random, common) + QString(QChar(0xE9)) + QString(QChar(0xA0)) + ends[round % 4]
               + randomText(random, common);
        expectRead(text.toLatin1(), text, random);
        if (HasFatalFailure())
            return;

        // UTF-16 with its byte-order mark, either order of bytes.
        text = randomText(random, pieces);
        QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        if (round % 2) {
            for (qsizetype i = 0; i + 1 < utf16.size(); i += 2)
                std::swap(utf16[i], utf16[i + 1]);
            utf16.prepend("\xFE\xFF");
        } else {
            utf16.prepend("\xFF\xFE");
        }
        expectRead(utf16, text, random);
        if (HasFatalFailure())
            return;
    }
}

// A sequence left open at the end of a block is broken by the ASCII block after it, though
// bytes further on would complete it: the text is Latin-1.
TEST(ReadoutFile, AnOpenSequenceBeforeAnAsciiBlockIsNoUtf8)
{
    const QByteArray bytes("abc\xE9" "defg" "\xA0\xA0hi" "jklmnopqrstuvwxyz0123456789");
    const BlockBytes blocks(4);
    QTemporaryDir dir;
    ReadoutFile f;
    ASSERT_EQ(f.load(written(dir, bytes)), ReadoutFile::Status::Ok);
    EXPECT_EQ(f.text(0, 0), QString::fromLatin1(bytes));
}

TEST(ReadoutFile, TheGridShowsTheRightLineWhereverItIsScrolledAndACutFileReadsEmpty)
{
    const BlockBytes blocks(64);
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += "2011/03/27 10:00:00,N" + QByteArray::number(i) + (i % 3 ? ",75\r\n" : ",75\n");
    bytes += "2011/03/27 10:00:00,last"; // no line end
    QTemporaryDir dir;
    const QString path = written(dir, bytes);
    ReadoutFile f;
    ASSERT_EQ(f.load(path), ReadoutFile::Status::Ok);
    ASSERT_EQ(f.lineCount(), 3001);
    ReadoutGrid grid;
    grid.populate(&f);
    // Row 0 is the header row; rows as a scrolled grid asks for them, a cell at a time.
    for (const int row : {3001, 1, 2999, 1500, 1499, 1501, 40, 2000, 3001, 2}) {
        for (int column = 0; column < ReadoutGrid::kAppendColumn; ++column)
            grid.data(grid.index(row, column));
        EXPECT_EQ(grid.data(grid.index(row, 1)).toString(),
                  row == 3001 ? QStringLiteral("last") : QStringLiteral("N%1").arg(row - 1))
            << row;
    }
    // The file cut short behind the index: the lines gone read as empty.
    ASSERT_TRUE(QFile::resize(path, 100));
    EXPECT_TRUE(f.field(2500, 1).isEmpty());
    EXPECT_EQ(f.text(0, 1), QStringLiteral("N0"));
}
