#pragma once
// Zero-corrected channel values: each charted reading relative to the first charted one.
#include <QString>
#include <QVariant>
#include <array>

namespace rv {

constexpr int kChannelCount = 10;

// A stored field as the text its value reads as: Null gives the empty text, a number its
// shortest decimal form.
QString fieldText(const QVariant& value);

// The decimal text a computed number is handed over as keeps 15 significant digits, so a
// difference like 0.3 - 0.1 is stored as 0.2, not as its binary neighbour.
double decimalValue(double value);

// The texts of Channel1 .. Channel10 of the zero reading (index 0 is channel 1).
using ReadingOffsets = std::array<QString, kChannelCount>;

// zero_i: 0 when the channel is empty, else number(channel) - number(offset), both read the
// lenient way (longest leading number, 0 when none).
double zeroedValue(const QString& channel, const QString& offset);

// NumTemp: 0 when the temperature channel is empty, else its number; no offset is taken off.
double numTemp(const QString& channelT);

} // namespace rv
