#include "base/Formats.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(LeadingNumber, TakesTheLongestNumericPrefix)
{
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("  12.5abc")), 12.5);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("-3")), -3);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("1.2.3")), 1.2);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("5-")), 5);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("1e3x")), 1000);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("2e")), 2);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral(".5")), 0.5);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("7.")), 7);
}

TEST(LeadingNumber, GivesZeroWithoutDigits)
{
    EXPECT_EQ(leadingNumber(QString()), 0);
    EXPECT_EQ(leadingNumber(QStringLiteral("-")), 0);
    EXPECT_EQ(leadingNumber(QStringLiteral("abc")), 0);
    EXPECT_EQ(leadingNumber(QStringLiteral(".")), 0);
}

TEST(IsNumeric, WholeTextMustBeANumber)
{
    EXPECT_TRUE(isNumeric(QStringLiteral(" 201175001 ")));
    EXPECT_TRUE(isNumeric(QStringLiteral("-2.5")));
    EXPECT_FALSE(isNumeric(QStringLiteral("20117500A")));
    EXPECT_FALSE(isNumeric(QStringLiteral("1.2.3")));
    EXPECT_FALSE(isNumeric(QString()));
    EXPECT_FALSE(isNumeric(QStringLiteral("-")));
}

TEST(FormatNumber, LengthAndPaddlePatternsKeepOneOrTwoDecimals)
{
    EXPECT_EQ(formatNumber(QStringLiteral("2"), QStringLiteral("###0.0#")), QStringLiteral("2.0"));
    EXPECT_EQ(formatNumber(QStringLiteral("1.5"), QStringLiteral("###0.0#")), QStringLiteral("1.5"));
    EXPECT_EQ(formatNumber(QStringLiteral("2.567"), QStringLiteral("###0.0#")), QStringLiteral("2.57"));
    EXPECT_EQ(formatNumber(QStringLiteral("2.567"), QStringLiteral("##0.0#")), QStringLiteral("2.57"));
    EXPECT_EQ(formatNumber(QStringLiteral("12345.1"), QStringLiteral("##0.0#")), QStringLiteral("12345.1"));
    EXPECT_EQ(formatNumber(QStringLiteral(".5"), QStringLiteral("##0.0#")), QStringLiteral("0.5"));
}

TEST(FormatNumber, ChannelPatternsRoundHalfAwayFromZero)
{
    EXPECT_EQ(formatNumber(QStringLiteral("12.3"), QStringLiteral("##0.00")), QStringLiteral("12.30"));
    EXPECT_EQ(formatNumber(QStringLiteral("-3"), QStringLiteral("##0.00")), QStringLiteral("-3.00"));
    EXPECT_EQ(formatNumber(QStringLiteral("7"), QStringLiteral("##0.0")), QStringLiteral("7.0"));
    EXPECT_EQ(formatNumber(QStringLiteral("2.675"), QStringLiteral("##0.00")), QStringLiteral("2.68"));
    EXPECT_EQ(formatNumber(QStringLiteral("-2.25"), QStringLiteral("##0.0")), QStringLiteral("-2.3"));
    EXPECT_EQ(formatNumber(QStringLiteral("-0.001"), QStringLiteral("##0.00")), QStringLiteral("0.00"));
}

TEST(FormatNumber, PassesTextsThatAreNotNumbers)
{
    EXPECT_EQ(formatNumber(QString(), QStringLiteral("##0.00")), QString());
    EXPECT_EQ(formatNumber(QStringLiteral("abc"), QStringLiteral("###0.0#")), QStringLiteral("abc"));
    EXPECT_EQ(formatNumber(QStringLiteral("1.2.3"), QStringLiteral("##0.00")), QStringLiteral("1.2.3"));
}

TEST(PlainNumber, WritesTheShortestDecimalForm)
{
    EXPECT_EQ(plainNumber(0), QStringLiteral("0"));
    EXPECT_EQ(plainNumber(2.5), QStringLiteral("2.5"));
    EXPECT_EQ(plainNumber(-40), QStringLiteral("-40"));
    EXPECT_EQ(plainNumber(5000), QStringLiteral("5000"));
    EXPECT_EQ(plainNumber(-3.25), QStringLiteral("-3.25"));
    EXPECT_EQ(plainNumber(1e-7), QStringLiteral("0.0000001"));
    EXPECT_EQ(plainNumber(-0.000012345), QStringLiteral("-0.000012345"));
    EXPECT_EQ(plainNumber(0.1 + 0.2), QStringLiteral("0.3"));
    EXPECT_EQ(plainNumber(1234.5678), QStringLiteral("1234.5678"));
    EXPECT_EQ(plainNumber(1e20), QStringLiteral("100000000000000000000"));
}

TEST(FormatNumber, HugeNumbersStayNumbers)
{
    // Scaling these for the rounding overflowed to "inf", which was stored in a number field.
    EXPECT_EQ(formatNumber(QStringLiteral("1e16"), QStringLiteral("##0.00")), QStringLiteral("10000000000000000.00"));
    for (const char* text : {"1e307", "-1.7e308", "9e15"})
        for (const char* pattern : {"###0.0#", "##0.0#", "##0.0", "##0.00"}) {
            const QString out = formatNumber(QString::fromLatin1(text), QString::fromLatin1(pattern));
            EXPECT_TRUE(isNumeric(out)) << text << " " << pattern << " -> " << out.left(20).toStdString();
            EXPECT_DOUBLE_EQ(leadingNumber(out), leadingNumber(QString::fromLatin1(text)));
        }
}

TEST(LeadingCount, StaysWithinItsBounds)
{
    // Found by fuzzing: "-4444444444444" as a channel count was cast to int out of range.
    EXPECT_EQ(leadingCount(QStringLiteral("-4444444444444"), 0, 10), 0);
    EXPECT_EQ(leadingCount(QStringLiteral("1e300"), 0, 10), 10);
    EXPECT_EQ(leadingCount(QStringLiteral("6 channels"), 0, 10), 6);
    EXPECT_EQ(leadingCount(QStringLiteral("5.9"), 0, 10), 5);
    EXPECT_EQ(leadingCount(QStringLiteral("none"), 0, 6), 0);
}
