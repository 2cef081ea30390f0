#include "sensors/domain/SensorNumber.h"

#include "base/Formats.h"

namespace rv {

namespace {
bool allDigits(const QString& text)
{
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}
} // namespace

NumberCheck checkSensorNumber(const QString& number)
{
    if (!isNumeric(number))
        return NumberCheck::NotNumeric;
    if (number.size() != 9 || !allDigits(number))
        return NumberCheck::NotNineDigits;
    const int serial = number.mid(6, 3).toInt();
    if (serial < 1 || serial > 999)
        return NumberCheck::SerialOutOfRange;
    return NumberCheck::Valid;
}

QString numberCheckMessage(NumberCheck check)
{
    switch (check) {
    case NumberCheck::NotNumeric: return QStringLiteral("Sensor # must be a numeric value");
    case NumberCheck::NotNineDigits: return QStringLiteral("Sensor # must be 9 digits");
    case NumberCheck::SerialOutOfRange: return QStringLiteral("Last 3 digits must be between 001 and 999");
    case NumberCheck::Valid: break;
    }
    return {};
}

SensorNumber splitSensorNumber(const QString& number)
{
    return SensorNumber{number, number.left(4), number.mid(4, 2), number.mid(6, 3)};
}

} // namespace rv
