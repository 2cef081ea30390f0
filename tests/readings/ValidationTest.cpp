#include "readings/domain/Validation.h"

#include <gtest/gtest.h>

using namespace rv;

namespace {
ReadingBounds sixGauge()
{
    return ReadingBounds::fromTexts(QStringLiteral("-5000"), QStringLiteral("5000"), QStringLiteral("-40"),
                                    QStringLiteral("85.5"), QStringLiteral("1"), QStringLiteral("6"));
}
const QStringList kEmpty{QString(), QString(), QString(), QString(), QString(), QString()};
} // namespace

TEST(Validation, BoundsAreReadTheLenientWay)
{
    const ReadingBounds b = ReadingBounds::fromTexts(QStringLiteral(" 10abc"), QString(), QStringLiteral("x"),
                                                     QStringLiteral("2.5"), QStringLiteral("0"), QStringLiteral("4.9"));
    EXPECT_EQ(b.low, 10);
    EXPECT_EQ(b.high, 0);
    EXPECT_EQ(b.tempLow, 0);
    EXPECT_EQ(b.tempHigh, 2.5);
    EXPECT_FALSE(b.tempChannel);
    EXPECT_EQ(b.numChannels, 4);
    EXPECT_TRUE(yesNoText(QStringLiteral("True")));
    EXPECT_TRUE(yesNoText(QStringLiteral("-1")));
    EXPECT_FALSE(yesNoText(QStringLiteral("No")));
    EXPECT_FALSE(yesNoText(QString()));
}

TEST(Validation, KeyFilterLetsOnlyNumberKeysAndEditingKeysThrough)
{
    for (int k : std::initializer_list<int>{8, 9, 13, 127, '-', '.', '0', '5', '9'})
        EXPECT_TRUE(channelKeyAllowed(k)) << k;
    for (int k : std::initializer_list<int>{0, 27, ' ', '+', ',', 'e', 'E', 'a', '/', ':'})
        EXPECT_FALSE(channelKeyAllowed(k)) << k;
}

TEST(Validation, BoundsThemselvesAreInsideTheRange)
{
    const ReadingBounds b = sixGauge();
    EXPECT_EQ(boxError(1, QStringLiteral("5000"), b), QString());
    EXPECT_EQ(boxError(6, QStringLiteral("-5000.00"), b), QString());
    EXPECT_EQ(boxError(0, QStringLiteral("85.5"), b), QString());
    EXPECT_EQ(boxError(3, QStringLiteral("5000.01"), b), QStringLiteral("Error: Channel 3 must be > -5000 and < 5000"));
    EXPECT_EQ(boxError(0, QStringLiteral("-40.1"), b), QStringLiteral("Error: Channel T must be > -40 and < 85.5"));
}

TEST(Validation, EmptyBoxCountsAsZero)
{
    ReadingBounds b = sixGauge();
    EXPECT_EQ(boxError(2, QStringLiteral("  "), b), QString());
    b.low = 1;
    EXPECT_EQ(boxError(2, QString(), b), QStringLiteral("Error: Channel 2 must be > 1 and < 5000"));
}

TEST(Validation, TextThatIsNotANumberIsRefusedWhateverItsLeadingNumber)
{
    const ReadingBounds b = sixGauge();
    for (const char* t : {"1.2.3", "-", "5-", ".", "--1", "1-2"})
        EXPECT_EQ(boxError(4, QString::fromLatin1(t), b), QStringLiteral("Error: Channel 4 must be a number")) << t;
    EXPECT_EQ(boxError(0, QStringLiteral("2.."), b), QStringLiteral("Error: Channel T must be a number"));
    EXPECT_EQ(boxError(5, QStringLiteral("-.5"), b), QString());
    EXPECT_EQ(boxError(5, QStringLiteral(" 12. "), b), QString());
    // Not range-tested, still a number test.
    EXPECT_EQ(boxError(5, QStringLiteral("99999"), b, false), QString());
    EXPECT_EQ(boxError(5, QStringLiteral("9-"), b, false), QStringLiteral("Error: Channel 5 must be a number"));
}

// The check and the stored form agree: what passes is stored as that number, what a double
// cannot hold or another script's digits are refused rather than stored as 0 or failing the save.
TEST(Validation, OnlyAsciiNumbersADoubleHoldsPass)
{
    const ReadingBounds b = sixGauge();
    for (const QString& t : {QStringLiteral("\u0663"), QStringLiteral("1\u0662"), QStringLiteral("\u0967\u0968"),
                             QStringLiteral("\uFF15"), QStringLiteral("1e400"), QStringLiteral("-1e999")})
        EXPECT_EQ(boxError(1, t, b, false), QStringLiteral("Error: Channel 1 must be a number")) << qPrintable(t);
    EXPECT_EQ(boxError(1, QStringLiteral("1e3"), b, false), QString());
    EXPECT_EQ(channelValueText(QStringLiteral("1e3")), QStringLiteral("1000.00"));
    EXPECT_EQ(channelValueText(QStringLiteral("+2.5")), QStringLiteral("2.50"));
}

TEST(Validation, ReadingIsCheckedTemperatureFirstThenChannelsInOrder)
{
    const ReadingBounds b = sixGauge();
    QStringList ch = kEmpty;
    ch[1] = QStringLiteral("6000");
    ch[3] = QStringLiteral("x");
    EXPECT_EQ(readingError(QStringLiteral("100"), ch, b), QStringLiteral("Error: Channel T must be > -40 and < 85.5"));
    EXPECT_EQ(readingError(QStringLiteral("20"), ch, b), QStringLiteral("Error: Channel 2 must be > -5000 and < 5000"));
    ch[1] = QStringLiteral("60");
    EXPECT_EQ(readingError(QStringLiteral("20"), ch, b), QStringLiteral("Error: Channel 4 must be a number"));
    ch[3] = QStringLiteral("4");
    EXPECT_EQ(readingError(QStringLiteral("20"), ch, b), QString());
}

TEST(Validation, OnlyTheTypesChannelsAreRangeTestedAndNoTemperatureWithoutItsChannel)
{
    ReadingBounds b = sixGauge();
    b.numChannels = 4;
    b.tempChannel = false;
    QStringList ch = kEmpty;
    ch[4] = QStringLiteral("99999");
    EXPECT_EQ(readingError(QStringLiteral("999"), ch, b), QString());
    ch[3] = QStringLiteral("99999");
    EXPECT_EQ(readingError(QString(), ch, b), QStringLiteral("Error: Channel 4 must be > -5000 and < 5000"));
    ch[3].clear();
    ch[5] = QStringLiteral("1.2.3");
    EXPECT_EQ(readingError(QString(), ch, b), QStringLiteral("Error: Channel 6 must be a number"));
}

TEST(Validation, StoredForms)
{
    EXPECT_EQ(channelValueText(QStringLiteral(" 12.3 ")), QStringLiteral("12.30"));
    EXPECT_EQ(channelValueText(QStringLiteral("-3")), QStringLiteral("-3.00"));
    EXPECT_EQ(channelValueText(QStringLiteral(".125")), QStringLiteral("0.13"));
    EXPECT_EQ(channelValueText(QStringLiteral("12345.678")), QStringLiteral("12345.68"));
    EXPECT_EQ(channelValueText(QStringLiteral("-0.001")), QStringLiteral("0.00"));
    EXPECT_EQ(channelValueText(QStringLiteral("  ")), QString());
    EXPECT_EQ(temperatureValueText(QStringLiteral("7")), QStringLiteral("7.0"));
    EXPECT_EQ(temperatureValueText(QStringLiteral("21.25")), QStringLiteral("21.3"));
}

TEST(Validation, StorableMeansEveryBoxHoldsANumberOrNothingWhateverTheBounds)
{
    const QStringList ok{QStringLiteral("99999"), QString(), QStringLiteral(" -.5 "), QString(), QString(),
                         QStringLiteral("7")};
    EXPECT_EQ(storableError(QStringLiteral("-999"), ok), QString());
    EXPECT_EQ(storableError(QStringLiteral("1.2.3"), ok), QStringLiteral("Error: Channel T must be a number"));
    QStringList bad = ok;
    bad[4] = QStringLiteral("5-");
    EXPECT_EQ(storableError(QString(), bad), QStringLiteral("Error: Channel 5 must be a number"));
}
