#pragma once
// Checks of what is typed on the readings tab against the sensor type's bounds, and the
// stored forms of the channel texts.
#include <QString>
#include <QStringList>

namespace rv {

// The bounds of the current sensor type (its Configuration row).
struct ReadingBounds {
    double low = 0, high = 0;         // lowval / highval, every channel
    double tempLow = 0, tempHigh = 0; // templow / temphigh
    bool tempChannel = false;
    int numChannels = 0;              // how many channel boxes are range-tested

    // From the row's texts, read the lenient way (the leading number, 0 for none).
    static ReadingBounds fromTexts(const QString& lowval, const QString& highval, const QString& templow,
                                   const QString& temphigh, const QString& tempChannel,
                                   const QString& numChannels);
};

// A yes/no field as text: "0", "", "False" and "No" are false.
bool yesNoText(const QString& text);

// The keys that reach a channel box: backspace, tab, enter, "-", ".", digits and delete.
bool channelKeyAllowed(int ascii);

// Both bounds belong to the range.
inline bool withinBounds(double value, double low, double high)
{
    return low <= value && value <= high;
}

// The error text for one box, empty when it passes. index 0 is the temperature box. A text
// that is not a number is refused before its range is looked at; an empty box counts as 0.
// testRange false checks only that the text is a number.
QString boxError(int index, const QString& text, const ReadingBounds& bounds, bool testRange = true);

// The first failure of a whole reading, empty when it passes: the temperature (when the type has
// one), then channels 1 ... channels.size(); only the first numChannels are range-tested, but
// every box must hold a number, since every box is stored.
QString readingError(const QString& temperature, const QStringList& channels, const ReadingBounds& bounds);

// The first box that holds neither a number nor nothing, as readingError words it; empty when
// every box can be stored.
QString storableError(const QString& temperature, const QStringList& channels);

// Stored forms: channels "##0.00", temperature "##0.0"; trimmed; an empty text stays empty.
QString channelValueText(const QString& text);
QString temperatureValueText(const QString& text);

} // namespace rv
