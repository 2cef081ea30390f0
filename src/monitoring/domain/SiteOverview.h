#pragma once
// Every sensor of the register at a glance: its readings, how long since the last one, and
// its bolt status.
#include "monitoring/domain/BoltStatus.h"

#include <QVector>

namespace rv {

struct OverviewRow {
    QString instrumentId, level, location;
    int readings = 0;
    QDateTime lastReading; // the latest reading, marked or not; invalid when none
    int daysSince = -1;    // whole days from it to today; -1 when none
    BoltStatus status;
};

enum OverviewColumn { ColId, ColLevel, ColLocation, ColReadings, ColLast, ColDays, ColLong, ColShort, ColLoad, ColStatus, OverviewColumns };

// Past this many days without a reading, a sensor calls for a look.
constexpr int kOverdueDays = 30;

QVector<OverviewRow> siteOverview(Database& db, const QDate& today);
// The column headings.
QStringList overviewHeadings();
// A cell as shown: "yyyy/MM/dd HH:mm:ss", "##0.0", the status text; empty when not known.
QString overviewCell(const OverviewRow& row, int column);
// Sorts positions into rows by a column: numbers and moments by value (the unknown ones last),
// texts as texts; equal keys keep the order they had. Each key is made once, not per comparison.
void sortOverview(const QVector<OverviewRow>& rows, QVector<int>& order, int column, bool ascending);
// The rows themselves sorted so.
void sortOverview(QVector<OverviewRow>& rows, int column, bool ascending);

} // namespace rv
