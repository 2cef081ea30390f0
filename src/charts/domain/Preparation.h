#pragma once
// The preparation pass over a sensor's marked readings: zero offsets from the first one,
// zero-corrected values and temperature, and the loads, computed in memory.
#include "db/Errors.h"
#include "readings/domain/ReadingStore.h"

#include <optional>

namespace rv {

struct PassOutcome {
    // Rows whose computed values differ from those stored; only these need writing.
    QVector<ComputedValues> changed;
    // Rows whose loads could not be computed (k factor 0): their loads stay as stored.
    int loadFailures = 0;
    std::optional<RvError> loadError;
};

// Computes every row of the columns (oldest first; the first is the zero reading) with the
// k factor and writes the results into the columns, so that a chart can draw them at once.
PassOutcome preparePass(ReadingColumns& columns, double k);
// The same with the zero reading's channels given (NaN: Null): the columns need not hold it.
PassOutcome preparePass(ReadingColumns& columns, double k, const std::array<double, Reading::kChannels>& zeroChannels);

// The pass over the stored readings: only those added or edited since the last pass when its
// zero reading and k factor still hold, else all; the results written back.
PassOutcome storedPass(ReadingStore& store, double k, PassRun* run = nullptr);

} // namespace rv
