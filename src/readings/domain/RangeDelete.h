#pragma once
// Deleting readings by their reading date, all in one transaction.
#include "db/Database.h"

#include <QDate>
#include <optional>

namespace rv {

// A stored ReadingDate read as a calendar date: year first, "/" or "-" between the parts
// ("2024/03/05", "2024-3-5"), blanks around it allowed. No date: nullopt.
std::optional<QDate> readingDay(QStringView text);

// Deletes every reading of the table whose ReadingDate lies on or between start and end
// (the time of day plays no part) and returns how many went. A reading date that cannot be
// read as a date throws 13 (94 for a Null one) and leaves the table as it was.
int deleteReadingRange(Database& db, const QString& table, QDate start, QDate end);
// How many readings deleteReadingRange would delete; throws as it does.
int countReadingRange(Database& db, const QString& table, QDate start, QDate end);

} // namespace rv
