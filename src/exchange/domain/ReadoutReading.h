#pragma once
// A marked readout line as the reading it becomes: its key, date and time texts, moment and
// channel values, with the same forms manual entry stores.
#include "exchange/domain/NuboDate.h"
#include "readings/domain/Reading.h"

namespace rv {

class ReadoutFile;

struct ReadoutReading {
    NuboMoment when;   // invalid: the line's date cannot be read in the layout
    // ChannelT only when the type has a temperature channel ("##0.0"); Channel1 .. Channel n
    // ("##0.00", n from the type code); a cell that is not a number stays empty.
    Reading reading;
};

struct ReadoutSensor {
    QString instrumentId;
    QString sensorType;          // its first digit is the number of gauge channels taken
    bool tempChannel = false;
};

// How many gauge channels a line fills: the first digit of the type code, at most 10.
int importedChannelCount(const QString& sensorType);

ReadoutReading readoutReading(const ReadoutFile& file, int line, const ReadoutSensor& sensor, DateLayout layout);

// The message for a line that is not appended because its date cannot be read.
QString invalidDateMessage(const QString& dateText);
// ... and for one whose key is already taken.
QString duplicateMessage(const QString& key);

} // namespace rv
