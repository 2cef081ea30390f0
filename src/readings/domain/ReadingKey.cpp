#include "readings/domain/ReadingKey.h"

namespace rv {

QString readingDateText(const QDate& date)
{
    return dateText(date, '/');
}

QString readingKey(const QString& instrumentId, const QDate& date, const QTime& time)
{
    return instrumentId + QLatin1Char(' ') + readingDateText(date) + QLatin1Char(' ') + readingTimeText(time);
}

QDateTime readingMoment(const QDate& date, const QTime& time)
{
    // Cut to the second without taking the time apart: an import makes a million moments.
    const int msecs = time.msecsSinceStartOfDay();
    const QTime whole = time.isValid() ? QTime::fromMSecsSinceStartOfDay(msecs - msecs % 1000)
                                       : QTime(time.hour(), time.minute(), time.second());
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
