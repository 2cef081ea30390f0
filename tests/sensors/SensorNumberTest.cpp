#include "sensors/domain/SensorNumber.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(SensorNumber, MessagesComeInTheirOrder)
{
    EXPECT_EQ(checkSensorNumber(QString()), NumberCheck::NotNumeric);
    EXPECT_EQ(checkSensorNumber(QStringLiteral("20117500A")), NumberCheck::NotNumeric);
    EXPECT_EQ(checkSensorNumber(QStringLiteral("20117501")), NumberCheck::NotNineDigits);
    EXPECT_EQ(checkSensorNumber(QStringLiteral("2011750011")), NumberCheck::NotNineDigits);
    // Numeric and too short wins over the serial test.
    EXPECT_EQ(checkSensorNumber(QStringLiteral("20117500")), NumberCheck::NotNineDigits);
    EXPECT_EQ(checkSensorNumber(QStringLiteral("201175000")), NumberCheck::SerialOutOfRange);
    EXPECT_EQ(checkSensorNumber(QStringLiteral("201175001")), NumberCheck::Valid);
    EXPECT_EQ(checkSensorNumber(QStringLiteral("201175999")), NumberCheck::Valid);
}

TEST(SensorNumber, NineCharactersThatAreNotNineDigitsAreRefused)
{
    // Numbers as a whole, but no sensor number: they would name odd tables and rows.
    for (const char* text : {"-20117501", "2011.7501", "2011750e1", " 20117501", "20117501 ", "+20117501"})
        EXPECT_EQ(checkSensorNumber(QString::fromLatin1(text)), NumberCheck::NotNineDigits) << text;
}

TEST(SensorNumber, MessagesAreTheProgramsTexts)
{
    EXPECT_EQ(numberCheckMessage(NumberCheck::NotNumeric), QStringLiteral("Sensor # must be a numeric value"));
    EXPECT_EQ(numberCheckMessage(NumberCheck::NotNineDigits), QStringLiteral("Sensor # must be 9 digits"));
    EXPECT_EQ(numberCheckMessage(NumberCheck::SerialOutOfRange),
              QStringLiteral("Last 3 digits must be between 001 and 999"));
    EXPECT_TRUE(numberCheckMessage(NumberCheck::Valid).isEmpty());
}

TEST(SensorNumber, SplitKeepsLeadingZeros)
{
    const SensorNumber n = splitSensorNumber(QStringLiteral("030575007"));
    EXPECT_EQ(n.id, QStringLiteral("030575007"));
    EXPECT_EQ(n.dateCode, QStringLiteral("0305"));
    EXPECT_EQ(n.typeCode, QStringLiteral("75"));
    EXPECT_EQ(n.serial, QStringLiteral("007"));
}
