#pragma once
// The key of a reading and the stored forms of its date and time.
#include "db/StoredForms.h"

namespace rv {

QString readingDateText(const QDate& date); // "yyyy/MM/dd"

// InstrumentID, a blank, "yyyy/MM/dd", a blank, "HH:mm:ss".
QString readingKey(const QString& instrumentId, const QDate& date, const QTime& time);

// The moment a date and a time name, to the second. Kept as wall-clock time (no time zone), so
// that a reading taken in the hour a clock change skips keeps the time the user gave it.
QDateTime readingMoment(const QDate& date, const QTime& time);

// Stored date and time texts as the pickers take them; invalid when the text is not a date
// (time). Besides the program's own forms, the ISO forms and times without seconds are read.
QDate parseReadingDate(const QString& text);
QTime parseReadingTime(const QString& text);

} // namespace rv
