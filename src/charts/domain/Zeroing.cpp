#include "charts/domain/Zeroing.h"

#include "core/Formats.h"

#include <QLocale>
#include <cmath>

namespace rv {

QString fieldText(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', 15);
    default:
        return value.toString();
    }
}

double decimalValue(double value)
{
    if (!std::isfinite(value) || value == 0)
        return value == 0 ? 0.0 : value;
    // Scaling by an exact power of ten and rounding gives the same double as printing 15
    // digits and reading them back, at a fraction of the cost (the pass does it a million
    // times on a large sensor).
    const int e = int(std::floor(std::log10(std::fabs(value))));
    const int shift = 14 - e;
    if (shift >= 0 && shift <= 22) {
        const double scale = std::pow(10.0, shift);
        return std::round(value * scale) / scale;
    }
    if (shift < 0 && shift >= -22) {
        const double scale = std::pow(10.0, -shift);
        return std::round(value / scale) * scale;
    }
    return QLocale::c().toDouble(QString::number(value, 'g', 15));
}

double zeroedValue(const QString& channel, const QString& offset)
{
    if (channel.isEmpty())
        return 0;
    return decimalValue(leadingNumber(channel) - leadingNumber(offset));
}

double numTemp(const QString& channelT)
{
    if (channelT.isEmpty())
        return 0;
    return leadingNumber(channelT);
}

} // namespace rv
