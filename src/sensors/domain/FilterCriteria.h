#pragma once
// The criteria of the register filter: read from the panel's texts, checked, and turned into
// a predicate on the register's rows (values compared as values, never pasted into SQL).
#include "db/RecordSet.h"

#include <QDate>
#include <QStringList>

namespace rv {

// The panel's texts as the user left them.
struct FilterInput {
    QString typeText;
    QStringList typeEntries; // the type box's list, "75: g6STAY"
    QString level;
    QString location;
    QString startDate;
    QString endDate;
    bool dontShowDestroyed = false;
};

struct FilterCriteria {
    bool notDestroyed = false;
    QString typeCode;  // empty: any type
    QString level;     // empty: any level
    QString location;  // empty: any location
    QString startDate; // "yyyy/MM/dd"; both or neither
    QString endDate;
    bool hasDates() const { return !startDate.isEmpty(); }
    bool isEmpty() const
    {
        return !notDestroyed && typeCode.isEmpty() && level.isEmpty() && location.isEmpty() && !hasDates();
    }
    // Text comparisons ignore letter case, as the register's find does.
    bool matches(const QString& destroyed, const QString& sensorType, const QString& level,
                 const QString& location, const QString& installDate) const;
};

enum class FilterProblem { None, UnknownType, BadStartDate, BadEndDate, NoCriteria };

// Reads and completes the criteria: an entry of the type list or its two-digit code, trimmed
// level and location, dates checked and the missing end (today) or start ("1999/01/01") supplied.
FilterProblem readFilterCriteria(const FilterInput& input, const QDate& today, FilterCriteria& criteria);

// The message the panel shows for a problem ("" for None).
QString filterProblemMessage(FilterProblem problem);

// Whether a text reads as a date: year first ("2005/1/31", "2005-01-31") or the system's
// short date form.
bool isDateText(const QString& text);
// The date as "yyyy/MM/dd" when the text reads as a date (a time after it is ignored);
// otherwise the text unchanged.
QString normalizedDate(const QString& text);

// A predicate for the register's filter. The field positions are looked up once.
RecordSet::Predicate filterPredicate(const RecordSet& registerSet, const FilterCriteria& criteria);

} // namespace rv
