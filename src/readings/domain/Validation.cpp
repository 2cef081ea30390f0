#include "readings/domain/Validation.h"

#include "base/Formats.h"

namespace rv {

ReadingBounds ReadingBounds::fromTexts(const QString& lowval, const QString& highval, const QString& templow,
                                       const QString& temphigh, const QString& tempChannel,
                                       const QString& numChannels)
{
    ReadingBounds b;
    b.low = leadingNumber(lowval);
    b.high = leadingNumber(highval);
    b.tempLow = leadingNumber(templow);
    b.tempHigh = leadingNumber(temphigh);
    b.tempChannel = yesNoText(tempChannel);
    b.numChannels = leadingCount(numChannels, 0, 10);
    return b;
}

bool yesNoText(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0
        || t.compare(QLatin1String("No"), Qt::CaseInsensitive) == 0)
        return false;
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0
        || t.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0)
        return true;
    return leadingNumber(t) != 0;
}

bool channelKeyAllowed(int ascii)
{
    return ascii == 8 || ascii == 9 || ascii == 13 || ascii == '-' || ascii == '.' || (ascii >= '0' && ascii <= '9')
           || ascii == 127;
}

QString boxError(int index, const QString& text, const ReadingBounds& bounds, bool testRange)
{
    const QString name = QStringLiteral("Error: Channel ") + (index == 0 ? QStringLiteral("T") : QString::number(index));
    if (!text.trimmed().isEmpty() && !isNumeric(text))
        return name + QStringLiteral(" must be a number");
    if (!testRange)
        return {};
    const double low = index == 0 ? bounds.tempLow : bounds.low;
    const double high = index == 0 ? bounds.tempHigh : bounds.high;
    if (withinBounds(leadingNumber(text), low, high))
        return {};
    return name + QStringLiteral(" must be > ") + plainNumber(low) + QStringLiteral(" and < ") + plainNumber(high);
}

QString readingError(const QString& temperature, const QStringList& channels, const ReadingBounds& bounds)
{
    if (bounds.tempChannel) {
        const QString e = boxError(0, temperature, bounds);
        if (!e.isEmpty())
            return e;
    }
    for (int i = 1; i <= channels.size(); ++i) {
        const QString e = boxError(i, channels[i - 1], bounds, i <= bounds.numChannels);
        if (!e.isEmpty())
            return e;
    }
    return {};
}

QString storableError(const QString& temperature, const QStringList& channels)
{
    const ReadingBounds none;
    QString e = boxError(0, temperature, none, false);
    for (int i = 1; e.isEmpty() && i <= channels.size(); ++i)
        e = boxError(i, channels[i - 1], none, false);
    return e;
}

QString channelValueText(const QString& text)
{
    return formatNumber(text.trimmed(), QStringLiteral("##0.00"));
}

QString temperatureValueText(const QString& text)
{
    return formatNumber(text.trimmed(), QStringLiteral("##0.0"));
}

} // namespace rv
