#include "readings/domain/ReadingKey.h"

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

QString readingDateText(const QDate& date)
{
    return dateText(date, '/');
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

QString readingKey(const QString& instrumentId, const QDate& date, const QTime& time)
{
    return instrumentId + QLatin1Char(' ') + readingDateText(date) + QLatin1Char(' ') + readingTimeText(time);
}

QDateTime readingMoment(const QDate& date, const QTime& time)
{
    const QTime whole(time.hour(), time.minute(), time.second());
    return QDateTime(date, whole, Qt::UTC);
}

QDate parseReadingDate(const QString& text)
{
    const QString t = text.trimmed();
    for (const char* format : {"yyyy/MM/dd", "yyyy-MM-dd", "yyyy/M/d", "yyyy-M-d"}) {
        const QDate d = QDate::fromString(t, QLatin1String(format));
        if (d.isValid())
            return d;
    }
    // A date with a time after it (a FullDate text).
    const int blank = t.indexOf(QLatin1Char(' '));
    return blank > 0 ? parseReadingDate(t.left(blank)) : QDate();
}

QTime parseReadingTime(const QString& text)
{
    const QString t = text.trimmed();
    for (const char* format : {"HH:mm:ss", "H:mm:ss", "HH:mm", "H:mm"}) {
        const QTime time = QTime::fromString(t, QLatin1String(format));
        if (time.isValid())
            return time;
    }
    return QTime();
}

} // namespace rv
