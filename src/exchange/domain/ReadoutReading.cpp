#include "exchange/domain/ReadoutReading.h"

#include "core/Formats.h"
#include "exchange/domain/ReadoutFile.h"

namespace rv {

namespace {
// A cell that is not a number is stored empty rather than as text in a number field.
QVariant channelValue(QStringView cell, const QString& pattern)
{
    const QString t = cell.trimmed().toString();
    if (!isNumeric(t))
        return QVariant();
    return formatNumber(t, pattern);
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
    if (r.when.valid)
        r.key = nuboKey(sensor.instrumentId, r.when);
    int column = 4; // C4
    if (sensor.tempChannel)
        r.channelT = channelValue(file.field(line, column++), QStringLiteral("##0.0"));
    const int n = importedChannelCount(sensor.sensorType);
    r.channels.reserve(n);
    for (int i = 0; i < n; ++i, ++column)
        r.channels.push_back(column < ReadoutFile::kColumns ? channelValue(file.field(line, column), QStringLiteral("##0.00"))
                                                             : QVariant());
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
