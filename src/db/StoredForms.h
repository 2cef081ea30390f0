#pragma once
// The stored text forms of dates and times: one writer, used by the record sets when a date or
// a moment is assigned to a field, and by the reading store.
#include <QDateTime>
#include <QString>

namespace rv {

// "yyyy" + separator + "MM" + separator + "dd"; empty for an invalid date. Written digit by digit:
// the locale's formatter is a large share of a many-row insertion.
QString dateText(const QDate& date, char separator);
QString readingTimeText(const QTime& time); // "HH:mm:ss", seconds truncated
// FullDate as written: "yyyy-MM-dd HH:mm:ss" (sorts in time order); empty when invalid.
QString fullDateText(const QDateTime& moment);

} // namespace rv
