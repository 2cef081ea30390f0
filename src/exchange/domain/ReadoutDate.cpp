#include "exchange/domain/ReadoutDate.h"

#include "exchange/domain/ReadoutFile.h"
#include "readings/domain/ReadingKey.h"

#include <optional>

namespace rv {

namespace {

// The value of a decimal digit of any script, -1 for any other character. ASCII is decided
// here: a readout of years has a million dates to read, twice.
int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u >= '0' && u <= '9' ? u - '0' : -1;
    return c.isDigit() ? c.digitValue() : -1;
}

// Reads 1 to maxDigits digits at i; -1 when there is none.
int number(QStringView t, qsizetype& i, int maxDigits)
{
    int value = 0, digits = 0;
    for (int d = 0; i < t.size() && digits < maxDigits && (d = digitValue(t[i])) >= 0; ++i, ++digits)
        value = value * 10 + d;
    return digits ? value : -1;
}

bool fixedDigits(QStringView t, int from, int count, int& value)
{
    if (from + count > t.size())
        return false;
    value = 0;
    for (int i = from; i < from + count; ++i) {
        const int d = digitValue(t[i]);
        if (d < 0)
            return false;
        value = value * 10 + d;
    }
    return true;
}

// A date and time read from a line: both valid, or none.
struct DayAndTime {
    QDate date;
    QTime time;
};

std::optional<DayAndTime> valid(const QDate& date, const QTime& time)
{
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return DayAndTime{date, time};
}

std::optional<DayAndTime> readGeneral(QStringView t)
{
    if (!t.isEmpty() && (t.front().isSpace() || t.back().isSpace()))
        t = t.trimmed();
    qsizetype i = 0;
    const int year = number(t, i, 4);
    if (year < 0 || i != 4 || i >= t.size() || (t[i] != QLatin1Char('/') && t[i] != QLatin1Char('-')))
        return {};
    const QChar sep = t[i++];
    const int month = number(t, i, 2);
    if (month < 0 || i >= t.size() || t[i] != sep)
        return {};
    ++i;
    const int day = number(t, i, 2);
    if (day < 0)
        return {};
    int hour = 0, minute = 0, second = 0;
    if (i < t.size()) {
        if (t[i] != QLatin1Char(' ') && t[i] != QLatin1Char('T'))
            return {};
        while (i < t.size() && (t[i] == QLatin1Char(' ') || t[i] == QLatin1Char('T')))
            ++i;
        hour = number(t, i, 2);
        if (hour < 0 || i >= t.size() || t[i] != QLatin1Char(':'))
            return {};
        ++i;
        minute = number(t, i, 2);
        if (minute < 0)
            return {};
        if (i < t.size() && t[i] == QLatin1Char(':')) {
            ++i;
            second = number(t, i, 2);
            if (second < 0)
                return {};
        }
        if (i != t.size())
            return {};
    }
    return valid(QDate(year, month, day), QTime(hour, minute, second));
}

std::optional<DayAndTime> readFixed(QStringView t, bool dayFirst)
{
    int a = 0, b = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!fixedDigits(t, 0, 2, a) || !fixedDigits(t, 3, 2, b) || !fixedDigits(t, 6, 4, year))
        return {};
    if (t.size() < 19 || !fixedDigits(t, 11, 2, hour) || t[13] != QLatin1Char(':') || !fixedDigits(t, 14, 2, minute)
        || t[16] != QLatin1Char(':') || !fixedDigits(t, 17, 2, second))
        return {};
    // " PM" or a zone after the seconds would change the moment: such a date is not read.
    if (!t.mid(19).trimmed().isEmpty())
        return {};
    const QDate date = dayFirst ? QDate(year, b, a) : QDate(year, a, b);
    return valid(date, QTime(hour, minute, second));
}

} // namespace

QString ReadoutMoment::date() const
{
    return readingDateText(moment.date());
}

QString ReadoutMoment::time() const
{
    return readingTimeText(moment.time());
}

namespace {
std::optional<DayAndTime> readDayAndTime(QStringView text, DateLayout layout)
{
    switch (layout) {
    case DateLayout::YearFirst:
        return readGeneral(text);
    case DateLayout::DayFirst:
        return readFixed(text, true);
    case DateLayout::MonthFirst:
        return readFixed(text, false);
    }
    return std::nullopt;
}
} // namespace

ReadoutMoment readReadoutDate(QStringView text, DateLayout layout)
{
    ReadoutMoment m;
    if (const std::optional<DayAndTime> read = readDayAndTime(text, layout)) {
        m.valid = true;
        m.moment = readingMoment(read->date, read->time);
    }
    return m;
}

QString readoutKey(const QString& instrumentId, const ReadoutMoment& m)
{
    return instrumentId + QLatin1Char(' ') + m.date() + QLatin1Char(' ') + m.time();
}

QVector<char> defaultMarks(const ReadoutFile& file, int interval, DateLayout layout)
{
    QVector<char> marks(file.lineCount(), 0);
    // Each date as the number of its clock hour: the hour boundaries between two lines are
    // the difference, and no moment need be made of a date.
    std::optional<qint64> reference;
    file.forEachLine([&](int line, const ReadoutLine& split) {
        const QStringView text = split.field(0);
        const bool placeholder = text == kPlaceholderDate;
        const std::optional<DayAndTime> m = readDayAndTime(text, layout);
        const std::optional<qint64> hour =
            m ? std::optional<qint64>(m->date.toJulianDay() * 24 + m->time.hour()) : std::nullopt;
        if (line == 0) {
            marks[0] = !placeholder;
            reference = hour; // none when unreadable: no later line is counted from it
            return;
        }
        if (!hour)
            return;
        if (reference && *hour - *reference < interval)
            return;
        marks[line] = !placeholder;
        reference = hour;
    }, 1);
    return marks;
}

int markInterval(const QString& boxText)
{
    bool ok = false;
    const int hours = boxText.trimmed().toInt(&ok);
    return ok ? hours : 24;
}

} // namespace rv
