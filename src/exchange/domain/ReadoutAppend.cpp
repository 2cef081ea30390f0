#include "exchange/domain/ReadoutAppend.h"

#include "readings/domain/ReadingStore.h"
#include "sensors/domain/SensorStore.h"

#include <QSet>

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

namespace {

// What insert() would refuse, without writing: keys the table holds or the batch repeats.
InsertOutcome dryInsert(const ReadingStore& store, const QVector<Reading>& batch)
{
    InsertOutcome outcome;
    QSet<QString> seen;
    for (int i = 0; i < batch.size(); ++i) {
        const QString key = store.keyOf(batch[i].moment);
        if (seen.contains(key) || store.keyExists(key)) {
            outcome.refusedKeys << key;
            outcome.refusedIndex << i;
        } else {
            seen.insert(key);
            ++outcome.inserted;
        }
    }
    return outcome;
}

} // namespace

AppendOutcome appendMarkedLines(Database& db, const ReadoutFile& file, const QVector<char>& marks,
                                const ReadoutSensor& sensor, DateLayout layout, bool dryRun)
{
    AppendOutcome result;
    QVector<Reading> batch;
    QVector<int> lineOf;
    QVector<char> notNumbers, outside;
    for (int line = 0; line < file.lineCount() && line < marks.size(); ++line) {
        if (!marks[line])
            continue;
        const QString date = file.text(line, 0);
        if (file.unclosedQuote(line)) {
            result.refusals.push_back({line, Refusal::UnclosedQuote, unclosedQuoteMessage(line + 1, date),
                                       unclosedQuoteLine(line + 1, date)});
            continue;
        }
        const ReadoutReading r = readoutReading(file, line, sensor, layout);
        if (!r.when.valid) {
            result.refusals.push_back({line, Refusal::InvalidDate, invalidDateMessage(date), date});
            continue;
        }
        batch.push_back(r.reading);
        lineOf.push_back(line);
        notNumbers.push_back(!r.notNumbers.isEmpty());
        outside.push_back(!outsideLimits(r.reading, sensor).isEmpty());
    }
    ReadingStore store(db, sensor.instrumentId);
    const InsertOutcome outcome = dryRun ? dryInsert(store, batch) : store.insert(batch);
    for (int i = 0; i < outcome.refusedIndex.size(); ++i) {
        const int index = outcome.refusedIndex[i];
        result.refusals.push_back({lineOf[index], Refusal::Duplicate, duplicateMessage(outcome.refusedKeys[i]),
                                   outcome.refusedKeys[i]});
        notNumbers[index] = outside[index] = 0;
    }
    std::stable_sort(result.refusals.begin(), result.refusals.end(),
                     [](const AppendRefusal& a, const AppendRefusal& b) { return a.line < b.line; });
    result.inserted = outcome.inserted;
    result.withNotNumbers = static_cast<int>(std::count(notNumbers.begin(), notNumbers.end(), 1));
    result.outsideLimits = static_cast<int>(std::count(outside.begin(), outside.end(), 1));
    return result;
}

} // namespace rv
