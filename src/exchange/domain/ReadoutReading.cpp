#include "exchange/domain/ReadoutReading.h"

#include "base/Formats.h"
#include "exchange/domain/ReadoutFile.h"
#include "readings/domain/ReadingStore.h"
#include "readings/domain/Validation.h"

#include <QStringList>

#include <charconv>
#include <cmath>

namespace rv {

namespace {
// A plain decimal ("-12.34": a sign, digits, a point and digits) of at most 15 digits, the
// form a readout writes; nullopt for any other. Its digits as a whole number and a power of
// ten are both exact doubles, so their quotient is the correctly rounded value, as
// std::from_chars gives it, at a fraction of the cost.
std::optional<double> plainDecimal(QStringView t)
{
    static constexpr double kTens[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    qsizetype i = 0;
    const bool negative = t[0] == QLatin1Char('-');
    if (negative || t[0] == QLatin1Char('+'))
        ++i;
    qint64 digits = 0;
    int count = 0, whole = 0, fraction = -1; // fraction: digits after the point; -1 no point
    for (; i < t.size(); ++i) {
        const char16_t u = t[i].unicode();
        if (u >= '0' && u <= '9') {
            if (++count > 15)
                return std::nullopt;
            digits = digits * 10 + (u - '0');
            fraction >= 0 ? ++fraction : ++whole;
        } else if (u == '.' && fraction < 0) {
            fraction = 0;
        } else {
            return std::nullopt;
        }
    }
    if (whole == 0 || fraction == 0)
        return std::nullopt; // "", "-", ".5", "5.": left to the general reading
    const double magnitude = double(digits) / kTens[std::max(fraction, 0)];
    return negative ? -magnitude : magnitude;
}

// A cell that is not a number is stored empty rather than as text in a number field.
// The value a number cell takes once written with the pattern's decimals (half away from zero,
// on the decimal the text meant), without going through the text.
OptDouble channelValue(QStringView cell, int decimals)
{
    // Most cells have no blanks around them.
    const QStringView t =
        cell.isEmpty() || cell.front().isSpace() || cell.back().isSpace() ? cell.trimmed() : cell;
    if (t.isEmpty())
        return std::nullopt;
    double value = 0;
    if (const std::optional<double> plain = plainDecimal(t)) {
        value = *plain;
    } else {
        // A readout holds plain decimals: read them without a locale, which is many times faster.
        char buffer[64];
        if (t.size() >= qsizetype(sizeof buffer))
            return std::nullopt;
        qsizetype n = 0;
        for (const QChar ch : t) {
            const char16_t u = ch.unicode();
            if (!((u >= '0' && u <= '9') || u == '.' || u == '-' || u == '+' || u == 'e' || u == 'E'))
                return std::nullopt;
            buffer[n++] = static_cast<char>(u);
        }
        const char* begin = buffer;
        if (*begin == '+' && n > 1 && buffer[1] != '-')
            ++begin;
        const auto [end, error] = std::from_chars(begin, buffer + n, value);
        if (error != std::errc() || end != buffer + n || !std::isfinite(value))
            return std::nullopt;
    }
    // Beyond 1e15 a double has no decimals left to round, and scaling could overflow.
    if (std::fabs(value) >= 1e15)
        return value;
    const double scale = decimals == 1 ? 10.0 : 100.0;
    const double magnitude = std::floor(std::fabs(value) * scale + 0.5 + 1e-9) / scale;
    return value < 0 ? -magnitude : magnitude;
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
    return readoutReading(file.line(line), sensor, layout);
}

ReadoutReading readoutReading(const ReadoutLine& line, const ReadoutSensor& sensor, DateLayout layout)
{
    ReadoutReading r;
    r.when = readReadoutDate(line.field(0), layout);
    if (r.when.valid)
        r.reading.moment = r.when.moment;
    // channel 0: ChannelT; the name is formed only for a cell that is no number.
    const auto cell = [&](int column, int decimals, int channel) {
        const QStringView text = line.field(column);
        const OptDouble value = channelValue(text, decimals);
        if (!value && !text.trimmed().isEmpty())
            r.notNumbers << (channel ? readingField::channel(channel) : readingField::channelT) + QStringLiteral(" \"")
                                + text.trimmed().toString() + QLatin1Char('"');
        return value;
    };
    int column = 4; // C4
    if (sensor.tempChannel)
        r.reading.temperature = cell(column++, 1, 0);
    const int n = importedChannelCount(sensor.sensorType);
    for (int i = 0; i < n && column < ReadoutFile::kColumns; ++i, ++column)
        r.reading.channels[i] = cell(column, 2, i + 1);
    r.reading.plotTemporal = true;
    r.reading.plotSpatial = false;
    r.reading.isDirty = true;
    return r;
}

namespace {
// Calls outside(channel, value, low, high) for each value outside the limits (channel 0:
// ChannelT) until it returns false.
template <class Outside>
void forEachOutside(const Reading& reading, const ReadoutSensor& sensor, Outside outside)
{
    if (!sensor.limits)
        return;
    const ReadoutLimits& l = *sensor.limits;
    if (sensor.tempChannel && reading.temperature && !withinBounds(*reading.temperature, l.tempLow, l.tempHigh)
        && !outside(0, *reading.temperature, l.tempLow, l.tempHigh))
        return;
    for (int i = 0; i < Reading::kChannels; ++i)
        if (reading.channels[i] && !withinBounds(*reading.channels[i], l.low, l.high)
            && !outside(i + 1, *reading.channels[i], l.low, l.high))
            return;
}
} // namespace

QString outsideLimits(const Reading& reading, const ReadoutSensor& sensor)
{
    QStringList problems;
    forEachOutside(reading, sensor, [&](int channel, double value, double low, double high) {
        problems << (channel ? readingField::channel(channel) : readingField::channelT) + QLatin1Char(' ')
                        + plainNumber(value) + QStringLiteral(" is outside ") + plainNumber(low)
                        + QStringLiteral(" to ") + plainNumber(high);
        return true;
    });
    return problems.join(QLatin1Char('\n'));
}

bool isOutsideLimits(const Reading& reading, const ReadoutSensor& sensor)
{
    bool outside = false;
    forEachOutside(reading, sensor, [&](int, double, double, double) {
        outside = true;
        return false; // one is enough
    });
    return outside;
}

QString unclosedQuoteLine(int line, const QString& dateText)
{
    return QStringLiteral("Line ") + QString::number(line) + QStringLiteral(" (") + dateText + QLatin1Char(')');
}

QString unclosedQuoteMessage(int line, const QString& dateText)
{
    return refusalMessage(Refusal::UnclosedQuote, unclosedQuoteLine(line, dateText));
}

QString invalidDateMessage(const QString& dateText)
{
    return dateText + QStringLiteral(" is not a valid date and cannot be appended.");
}

QString duplicateMessage(const QString& key)
{
    return key + QStringLiteral(" is a duplicate reading and cannot be appended.");
}

namespace {
QString lines(int n)
{
    return QString::number(n) + (n == 1 ? QStringLiteral(" line") : QStringLiteral(" lines"));
}

QString refusalHead(Refusal kind, int n)
{
    switch (kind) {
    case Refusal::InvalidDate:
        return lines(n) + QStringLiteral(" have a date that is not valid and cannot be appended.");
    case Refusal::UnclosedQuote:
        return lines(n) + QStringLiteral(" have a quote that is not closed and cannot be appended.");
    case Refusal::Duplicate:
        break;
    }
    return lines(n) + QStringLiteral(" are duplicate readings and cannot be appended.");
}
} // namespace

QString refusalsMessage(Refusal kind, int count, const QStringList& firstItems)
{
    return refusalHead(kind, count) + QStringLiteral(" The first ten:\n")
           + firstItems.mid(0, kRefusalsTold).join(QLatin1Char('\n')) + QStringLiteral("\nAll ")
           + QString::number(count) + QStringLiteral(" are listed in the log file gSTAY.txt.");
}

QString refusalsMessage(Refusal kind, const QStringList& items)
{
    return refusalsMessage(kind, static_cast<int>(items.size()), items);
}

QString refusalsLogText(Refusal kind, const QString& instrumentId, int count, const QString& joinedItems)
{
    return QStringLiteral("Import to ") + instrumentId + QStringLiteral(": ") + refusalHead(kind, count)
           + QLatin1Char('\n') + joinedItems;
}

QString refusalsLogText(Refusal kind, const QString& instrumentId, const QStringList& items)
{
    return refusalsLogText(kind, instrumentId, static_cast<int>(items.size()), items.join(QLatin1Char('\n')));
}

QString refusalMessage(Refusal kind, const QString& item)
{
    switch (kind) {
    case Refusal::InvalidDate:
        return invalidDateMessage(item);
    case Refusal::UnclosedQuote:
        return item + QStringLiteral(" has a quote that is not closed and cannot be appended.");
    case Refusal::Duplicate:
        break;
    }
    return duplicateMessage(item);
}

QString appendedRemarks(int withNotNumbers, int outsideLimits)
{
    QString text;
    if (withNotNumbers > 0)
        text += QLatin1Char('\n') + lines(withNotNumbers)
                + QStringLiteral(" had channel cells that are not numbers; those cells were stored empty.");
    if (outsideLimits > 0)
        text += QLatin1Char('\n') + lines(outsideLimits)
                + (outsideLimits == 1 ? QStringLiteral(" holds") : QStringLiteral(" hold"))
                + QStringLiteral(" values outside the limits of the sensor type.");
    return text;
}

} // namespace rv
