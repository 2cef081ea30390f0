#include "charts/domain/Zeroing.h"

#include "base/Formats.h"

#include <QLocale>
#include <array>
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
    static const auto powers = [] {
        std::array<double, 23> p{};
        p[0] = 1;
        for (size_t i = 1; i < p.size(); ++i)
            p[i] = p[i - 1] * 10;
        return p;
    }();
    // The decimal exponent by comparison with exact powers of ten where they exist: a
    // logarithm per value costs as much as the rest of the pass's arithmetic.
    const double a = std::fabs(value);
    int e;
    if (a >= 1 && a < 1e22) {
        e = 0;
        while (powers[size_t(e) + 1] <= a)
            ++e;
    } else {
        e = int(std::floor(std::log10(a)));
    }
    const int shift = 14 - e;
    if (shift >= 0 && shift <= 22)
        return std::round(value * powers[size_t(shift)]) / powers[size_t(shift)];
    if (shift < 0 && shift >= -22)
        return std::round(value / powers[size_t(-shift)]) * powers[size_t(-shift)];
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
