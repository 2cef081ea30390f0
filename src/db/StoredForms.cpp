#include "db/StoredForms.h"

namespace rv {

namespace {
char* twoDigits(char* out, int value)
{
    *out++ = static_cast<char>('0' + value / 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}
} // namespace

QString dateText(const QDate& date, char separator)
{
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return date.toString(QStringLiteral("yyyy") + QLatin1Char(separator) + QStringLiteral("MM")
                             + QLatin1Char(separator) + QStringLiteral("dd"));
    char text[10];
    char* p = twoDigits(text, date.year() / 100);
    p = twoDigits(p, date.year() % 100);
    *p++ = separator;
    p = twoDigits(p, date.month());
    *p++ = separator;
    twoDigits(p, date.day());
    return QString::fromLatin1(text, 10);
}

QString readingTimeText(const QTime& time)
{
    if (!time.isValid())
        return {};
    char text[8];
    char* p = twoDigits(text, time.hour());
    *p++ = ':';
    p = twoDigits(p, time.minute());
    *p++ = ':';
    twoDigits(p, time.second());
    return QString::fromLatin1(text, 8);
}

QString fullDateText(const QDateTime& moment)
{
    if (!moment.isValid())
        return {};
    return dateText(moment.date(), '-') + QLatin1Char(' ') + readingTimeText(moment.time());
}

} // namespace rv
