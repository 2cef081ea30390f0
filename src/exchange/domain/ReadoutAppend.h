#pragma once
// The marked lines of a readout file appended to a sensor's readings in one transaction: the
// rule the import window and the batch import share.
#include "exchange/domain/ReadoutDate.h"
#include "exchange/domain/ReadoutFile.h"
#include "exchange/domain/ReadoutReading.h"

#include <QVector>

namespace rv {

class Database;
struct SensorType;

// The sensor as the import reads it: the channels and limits of its type.
ReadoutSensor readoutSensor(const QString& instrumentId, const QString& sensorType,
                            const std::optional<SensorType>& type);

// A marked line that was not appended; its text is read again from the file when told.
struct AppendRefusal {
    int line; // 0-based
    Refusal kind;
};

struct AppendOutcome {
    int inserted = 0;
    QVector<AppendRefusal> refusals; // in line order
    int withNotNumbers = 0;          // appended lines with cells that are no number
    int outsideLimits = 0;           // appended lines outside the type's limits
    int count(Refusal kind) const;
};

// Appends the marked lines (marks[line] != 0), read from the file one after the other. A line
// with an unclosed quote or an unreadable date is refused before the store is asked; a key
// already taken is refused by the store. dryRun: nothing is written. Throws RvError when the
// write fails (nothing stored).
AppendOutcome appendMarkedLines(Database& db, const ReadoutFile& file, const QVector<char>& marks,
                                const ReadoutSensor& sensor, DateLayout layout, bool dryRun = false);

// The refused line as the messages name it: its date, "Line n (date)" or its key.
QString refusalItem(const ReadoutFile& file, const AppendRefusal& refusal, const QString& instrumentId,
                    DateLayout layout);

} // namespace rv
