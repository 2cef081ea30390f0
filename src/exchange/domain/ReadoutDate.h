#pragma once
// The date column of a readout line (NuboDate) in the three layouts a readout unit may write,
// and the default Append marks that thin the lines out to one per mark interval.
#include <QDateTime>
#include <QString>
#include <QVector>

namespace rv {

class ReadoutFile;

enum class DateLayout { YearFirst = 0, DayFirst = 1, MonthFirst = 2 }; // optDateFormat 0..2

// The readout unit writes this impossible time on lines it has no clock for.
inline const QString kPlaceholderDate = QStringLiteral("2000/01/01 00:00:80");

struct ReadoutMoment {
    bool valid = false;
    QDateTime moment;   // wall-clock, to the second
    QString date() const; // "yyyy/MM/dd"
    QString time() const; // "HH:mm:ss"
};

// YearFirst reads the text as a general date ("2011/03/27 14:05:00", also "-" separators,
// single-digit month, day or hour, no seconds or no time). DayFirst and MonthFirst take fixed
// positions: characters 1-2 and 4-5 are day and month in the named order, 7-10 the year,
// 12-19 the time "HH:mm:ss" as it stands. In every layout anything but blanks after the seconds
// (" PM", "+02:00") makes the date unreadable.
ReadoutMoment readReadoutDate(QStringView text, DateLayout layout);
inline ReadoutMoment readReadoutDate(const QString& text, DateLayout layout)
{
    return readReadoutDate(QStringView(text), layout);
}

// The reading key of an imported line: the sensor's number, a blank, date, a blank, time.
QString readoutKey(const QString& instrumentId, const ReadoutMoment& m);

// The marks a freshly read file starts with: the first line, then each line at least
// `interval` clock hours after the last marked one; placeholder lines stay unmarked and a line
// whose date cannot be read is unmarked and moves nothing.
QVector<char> defaultMarks(const ReadoutFile& file, int interval, DateLayout layout);

// The whole number of hours in the interval box's text ("1", "8", "24"); 24 when it holds none.
int markInterval(const QString& boxText);

} // namespace rv
