#include "exchange/domain/ReadoutReading.h"

#include "exchange/domain/ReadoutFile.h"

#include <charconv>
#include <cmath>

namespace rv {

namespace {
// A cell that is not a number is stored empty rather than as text in a number field.
// The value a number cell takes once written with the pattern's decimals (half away from zero,
// on the decimal the text meant), without going through the text.
OptDouble channelValue(QStringView cell, int decimals)
{
    const QStringView t = cell.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    // A readout holds plain decimals: read them without a locale, which is many times faster.
    char buffer[64];
    if (t.size() >= qsizetype(sizeof buffer))
        return std::nullopt;
    qsizetype n = 0;
    for (const QChar ch : t) {
        const char16_t u = ch.unicode();
        if (!((u >= '0' && u <= '9') || u == '.' || u == '-' || u == '+' || u == 'e' || u == 'E'))
            return std::nullopt;
        buffer[n++] = static_cast<char>(u);
    }
    const char* begin = buffer;
    if (*begin == '+' && n > 1 && buffer[1] != '-')
        ++begin;
    double value = 0;
    const auto [end, error] = std::from_chars(begin, buffer + n, value);
    if (error != std::errc() || end != buffer + n || !std::isfinite(value))
        return std::nullopt;
    // Beyond 1e15 a double has no decimals left to round, and scaling could overflow.
    if (std::fabs(value) >= 1e15)
        return value;
    const double scale = decimals == 1 ? 10.0 : 100.0;
    const double magnitude = std::floor(std::fabs(value) * scale + 0.5 + 1e-9) / scale;
    return value < 0 ? -magnitude : magnitude;
}
} // namespace

int importedChannelCount(const QString& sensorType)
{
    if (sensorType.isEmpty() || !sensorType.at(0).isDigit())
        return 0;
    return std::min(sensorType.at(0).digitValue(), 10);
}

ReadoutReading readoutReading(const ReadoutFile& file, int line, const ReadoutSensor& sensor, DateLayout layout)
{
    ReadoutReading r;
    r.when = readNuboDate(file.field(line, 0), layout);
    if (r.when.valid)
        r.reading.moment = r.when.moment;
    int column = 4; // C4
    if (sensor.tempChannel)
        r.reading.temperature = channelValue(file.field(line, column++), 1);
    const int n = importedChannelCount(sensor.sensorType);
    for (int i = 0; i < n && column < ReadoutFile::kColumns; ++i, ++column)
        r.reading.channels[i] = channelValue(file.field(line, column), 2);
    r.reading.plotTemporal = true;
    r.reading.plotSpatial = false;
    r.reading.isDirty = true;
    return r;
}

QString invalidDateMessage(const QString& dateText)
{
    return dateText + QStringLiteral(" is not a valid date and cannot be appended.");
}

QString duplicateMessage(const QString& key)
{
    return key + QStringLiteral(" is a duplicate reading and cannot be appended.");
}

} // namespace rv
