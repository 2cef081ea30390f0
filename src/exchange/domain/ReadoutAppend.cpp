#include "exchange/domain/ReadoutAppend.h"

#include "readings/domain/ReadingStore.h"
#include "sensors/domain/SensorStore.h"

#include <algorithm>

namespace rv {

ReadoutSensor readoutSensor(const QString& instrumentId, const QString& sensorType,
                            const std::optional<SensorType>& type)
{
    ReadoutSensor sensor;
    sensor.instrumentId = instrumentId;
    sensor.sensorType = sensorType;
    if (type) {
        sensor.tempChannel = type->tempChannel;
        sensor.limits = ReadoutLimits{type->tempLow, type->tempHigh, type->low, type->high};
    }
    return sensor;
}

int AppendOutcome::count(Refusal kind) const
{
    return static_cast<int>(std::count_if(refusals.begin(), refusals.end(),
                                          [kind](const AppendRefusal& r) { return r.kind == kind; }));
}

AppendOutcome appendMarkedLines(Database& db, const ReadoutFile& file, const QVector<char>& marks,
                                const ReadoutSensor& sensor, DateLayout layout, bool dryRun)
{
    AppendOutcome result;
    ReadingStore store(db, sensor.instrumentId);
    // The store is asked only once there is a reading for it.
    std::optional<ReadingStore::Insertion> insertion;
    file.forEachLine([&](int line, const ReadoutLine& split) {
        if (line >= marks.size() || !marks[line])
            return;
        if (split.unclosedQuote()) {
            result.refusals.push_back({line, Refusal::UnclosedQuote});
            return;
        }
        const ReadoutReading r = readoutReading(split, sensor, layout);
        if (!r.when.valid) {
            result.refusals.push_back({line, Refusal::InvalidDate});
            return;
        }
        if (!insertion)
            insertion.emplace(store, !dryRun);
        if (!insertion->add(r.reading)) {
            result.refusals.push_back({line, Refusal::Duplicate});
            return;
        }
        ++result.inserted;
        result.withNotNumbers += !r.notNumbers.isEmpty();
        result.outsideLimits += isOutsideLimits(r.reading, sensor);
    });
    if (insertion)
        insertion->commit();
    return result;
}

QString refusalItem(const ReadoutFile& file, const AppendRefusal& refusal, const QString& instrumentId,
                    DateLayout layout)
{
    const QString date = file.text(refusal.line, 0);
    switch (refusal.kind) {
    case Refusal::InvalidDate:
        return date;
    case Refusal::UnclosedQuote:
        return unclosedQuoteLine(refusal.line + 1, date);
    case Refusal::Duplicate:
        break;
    }
    return readoutKey(instrumentId, readReadoutDate(date, layout));
}

} // namespace rv
