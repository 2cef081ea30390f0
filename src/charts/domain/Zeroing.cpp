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
