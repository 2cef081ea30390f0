#include "exchange/domain/ReadoutReading.h"

#include "core/Formats.h"
#include "exchange/domain/ReadoutFile.h"

namespace rv {

namespace {
// A cell that is not a number is stored empty rather than as text in a number field.
OptDouble channelValue(QStringView cell, const QString& pattern)
{
    const QString t = cell.trimmed().toString();
    if (!isNumeric(t))
        return std::nullopt;
    return formatNumber(t, pattern).toDouble();
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
    r.when = readNuboDate(file.text(line, 0), layout);
    if (r.when.valid) {
        r.key = nuboKey(sensor.instrumentId, r.when);
        r.reading.moment = r.when.moment;
    }
    int column = 4; // C4
    if (sensor.tempChannel)
        r.reading.temperature = channelValue(file.field(line, column++), QStringLiteral("##0.0"));
    const int n = importedChannelCount(sensor.sensorType);
    for (int i = 0; i < n && column < ReadoutFile::kColumns; ++i, ++column)
        r.reading.channels[i] = channelValue(file.field(line, column), QStringLiteral("##0.00"));
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
