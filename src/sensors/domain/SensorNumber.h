#pragma once
// The nine-digit sensor number: date code, type code and serial.
#include <QString>

namespace rv {

enum class NumberCheck { Valid, NotNumeric, NotNineDigits, SerialOutOfRange };

// Checks in the order the messages are given: numeric, nine characters, serial 001..999.
// A nine-character number with a sign, point, exponent or blank in it names no sensor
// and no table; it is refused as not being nine digits.
NumberCheck checkSensorNumber(const QString& number);

// The message for a refused number ("" for a valid one); caption "Invalid Sensor Number".
QString numberCheckMessage(NumberCheck check);

struct SensorNumber {
    QString id;        // all nine characters
    QString dateCode;  // characters 1-4
    QString typeCode;  // characters 5-6
    QString serial;    // characters 7-9, leading zeros kept
};

SensorNumber splitSensorNumber(const QString& number);

} // namespace rv
