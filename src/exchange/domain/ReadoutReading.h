#pragma once
// A marked readout line as the reading it becomes: its key, date and time texts, moment and
// channel values, with the same forms manual entry stores.
#include "exchange/domain/ReadoutDate.h"
#include "readings/domain/Reading.h"

#include <QStringList>

namespace rv {

class ReadoutFile;
class ReadoutLine;

struct ReadoutReading {
    ReadoutMoment when;   // invalid: the line's date cannot be read in the layout
    // ChannelT only when the type has a temperature channel ("##0.0"); Channel1 .. Channel n
    // ("##0.00", n from the type code); a cell that is not a number stays empty.
    Reading reading;
    QStringList notNumbers; // channel cells holding text that is no number (stored empty), as
                            // name and text: Channel1 "abc"
};

// The type's limits (Configuration templow, temphigh, lowval, highval), both ends included as
// for a typed reading.
struct ReadoutLimits {
    double tempLow = 0, tempHigh = 0, low = 0, high = 0;
};

struct ReadoutSensor {
    QString instrumentId;
    QString sensorType;          // its first digit is the number of gauge channels taken
    bool tempChannel = false;
    std::optional<ReadoutLimits> limits = std::nullopt; // none: nothing is outside
};

// How many gauge channels a line fills: the first digit of the type code, at most 10.
int importedChannelCount(const QString& sensorType);

ReadoutReading readoutReading(const ReadoutLine& line, const ReadoutSensor& sensor, DateLayout layout);
ReadoutReading readoutReading(const ReadoutFile& file, int line, const ReadoutSensor& sensor, DateLayout layout);

// Why the reading's values lie outside the type's limits ("ChannelT 1000.0 is outside -40 to
// 85"; several joined by line breaks); empty when they all lie within.
QString outsideLimits(const Reading& reading, const ReadoutSensor& sensor);
// Whether any lies outside: outsideLimits() not empty, without forming the text.
bool isOutsideLimits(const Reading& reading, const ReadoutSensor& sensor);

// The message for a line that is not appended because its date cannot be read.
QString invalidDateMessage(const QString& dateText);
// ... because a quote on it is never closed (line counts from 1); the line as that message
// names it: "Line 2 (2011/03/27 11:00:00)".
QString unclosedQuoteMessage(int line, const QString& dateText);
QString unclosedQuoteLine(int line, const QString& dateText);
// ... and for one whose key is already taken.
QString duplicateMessage(const QString& key);

// Why marked lines were not appended. More than kRefusalsTold lines of one kind are told in one
// message (how many, the first ten), and all of them go to the log.
enum class Refusal { InvalidDate, UnclosedQuote, Duplicate };
inline constexpr int kRefusalsTold = 10;
// items: the dates, "Line n (date)" or the keys, in line order.
QString refusalsMessage(Refusal kind, const QStringList& items);
QString refusalsLogText(Refusal kind, const QString& instrumentId, const QStringList& items);
// The same for count refusals, of which only the first ten items are at hand; the log text
// from its items already joined by line breaks.
QString refusalsMessage(Refusal kind, int count, const QStringList& firstItems);
QString refusalsLogText(Refusal kind, const QString& instrumentId, int count, const QString& joinedItems);
// The message for one refused line, from its item.
QString refusalMessage(Refusal kind, const QString& item);

// The lines after " records appended to ...": how many appended lines had cells that are not
// numbers (stored empty) and how many hold values outside the type's limits; empty for none.
QString appendedRemarks(int withNotNumbers, int outsideLimits);

} // namespace rv
