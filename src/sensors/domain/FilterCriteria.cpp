#include "sensors/domain/FilterCriteria.h"

#include "sensors/domain/SensorStore.h"

#include <QLocale>

namespace rv {

namespace {

bool sameText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QDate readDate(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    for (const char* format : {"yyyy/M/d", "yyyy-M-d"}) {
        const QDate d = QDate::fromString(t, QString::fromLatin1(format));
        if (d.isValid())
            return d;
    }
    return QLocale::system().toDate(t, QLocale::ShortFormat);
}

// The type code the box's text stands for; false when it stands for none.
bool typeCodeOf(const QString& text, const QStringList& entries, QString& code)
{
    for (const QString& entry : entries) {
        const QString entryCode = entry.section(QLatin1Char(':'), 0, 0).trimmed();
        if (sameText(text, entry.trimmed()) || sameText(text, entryCode)) {
            code = entryCode;
            return true;
        }
    }
    return false;
}

} // namespace

bool isDateText(const QString& text)
{
    return readDate(text).isValid();
}

// "yyyy/MM/dd" already: the stored form, checked without parsing (filters run over every row).
static bool isStoredForm(const QString& t)
{
    if (t.size() != 10 || t[4] != QLatin1Char('/') || t[7] != QLatin1Char('/'))
        return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (t[i] < QLatin1Char('0') || t[i] > QLatin1Char('9'))
            return false;
    }
    return true;
}

QString normalizedDate(const QString& text)
{
    if (isStoredForm(text))
        return text;
    QDate d = readDate(text);
    if (!d.isValid())
        d = readDate(text.trimmed().section(QLatin1Char(' '), 0, 0));
    return d.isValid() ? d.toString(QStringLiteral("yyyy/MM/dd")) : text;
}

bool FilterCriteria::matches(const QString& destroyed, const QString& sensorType, const QString& rowLevel,
                             const QString& rowLocation, const QString& installDate) const
{
    if (notDestroyed && !sameText(destroyed, QStringLiteral("No")))
        return false;
    if (!typeCode.isEmpty() && !sameText(sensorType, typeCode))
        return false;
    if (!level.isEmpty() && !sameText(rowLevel, level))
        return false;
    if (!location.isEmpty() && !sameText(rowLocation, location))
        return false;
    if (hasDates()) {
        // A sensor without an install date lies in no range.
        if (installDate.isEmpty())
            return false;
        const QString d = normalizedDate(installDate);
        if (d < startDate || d > endDate)
            return false;
    }
    return true;
}

FilterProblem readFilterCriteria(const FilterInput& input, const QDate& today, FilterCriteria& criteria)
{
    criteria = FilterCriteria();
    const QString type = input.typeText.trimmed();
    if (!type.isEmpty() && !typeCodeOf(type, input.typeEntries, criteria.typeCode))
        return FilterProblem::UnknownType;
    criteria.level = input.level.trimmed();
    criteria.location = input.location.trimmed();

    const bool hasStart = !input.startDate.isEmpty();
    const bool hasEnd = !input.endDate.isEmpty();
    if (hasStart && !isDateText(input.startDate))
        return FilterProblem::BadStartDate;
    if (hasEnd && !isDateText(input.endDate))
        return FilterProblem::BadEndDate;
    if (hasStart || hasEnd) {
        criteria.startDate = hasStart ? normalizedDate(input.startDate) : QStringLiteral("1999/01/01");
        criteria.endDate = hasEnd ? normalizedDate(input.endDate) : today.toString(QStringLiteral("yyyy/MM/dd"));
    }
    criteria.notDestroyed = input.dontShowDestroyed;
    return criteria.isEmpty() ? FilterProblem::NoCriteria : FilterProblem::None;
}

QString filterProblemMessage(FilterProblem problem)
{
    switch (problem) {
    case FilterProblem::UnknownType:
        return QStringLiteral("Sensor Type is not recognized\n\nPlease choose a sensor from the list, or enter the 2 "
                              "digit sensor #");
    case FilterProblem::BadStartDate:
        return QStringLiteral("Start date is not a valid date\nPlease enter a date in the format yyyy/mm/dd");
    case FilterProblem::BadEndDate:
        return QStringLiteral("End date is not a valid date\nPlease enter a date in the format yyyy/mm/dd");
    case FilterProblem::NoCriteria:
        return QStringLiteral("You must enter criteria to filter sensors on");
    case FilterProblem::None:
        break;
    }
    return {};
}

RecordSet::Predicate filterPredicate(const RecordSet& registerSet, const FilterCriteria& criteria)
{
    const int destroyed = registerSet.fieldIndex(sensorField::destroyed);
    const int type = registerSet.fieldIndex(sensorField::sensorType);
    const int level = registerSet.fieldIndex(sensorField::level);
    const int location = registerSet.fieldIndex(sensorField::location);
    const int installDate = registerSet.fieldIndex(sensorField::installDate);
    if (destroyed < 0 || type < 0 || level < 0 || location < 0 || installDate < 0)
        throw RvError(3265, QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                           "name or ordinal."));
    return [=](const RecordSet& rs, int row) {
        const auto text = [&](int col) { return rs.rawValue(row, col).toString(); };
        return criteria.matches(text(destroyed), text(type), text(level), text(location), text(installDate));
    };
}

} // namespace rv
